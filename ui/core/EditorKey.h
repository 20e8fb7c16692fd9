#pragma once

// The editor keys of the control window, named apart from any toolkit's key codes: each window
// toolkit maps its own codes to these.
enum class EditorKey { Space, K, J, L, Left, Right, I, O, Escape };

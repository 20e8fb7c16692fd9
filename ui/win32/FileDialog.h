#pragma once

#include <optional>
#include <string>

class Window;

// The system's file dialogs (GetOpenFileNameW / GetSaveFileNameW). Folders and the chosen path
// are UTF-8; nothing is chosen when the operator cancels. The dialog runs its own message loop
// on the window thread, as a modal dialog does.
class FileDialog {
 public:
  // startFolder may be empty (the system's choice); proposal is a file name to start with.
  static std::optional<std::string> open(const Window* owner, const std::string& title,
                                         const std::string& startFolder);
  static std::optional<std::string> save(const Window* owner, const std::string& title,
                                         const std::string& startFolder,
                                         const std::string& proposal = "");
};

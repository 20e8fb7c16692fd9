#pragma once

#include <chrono>
#include <functional>

// Polls `cond` until it holds or the deadline passes; answers its last value.
bool waitFor(const std::function<bool()>& cond,
             std::chrono::milliseconds deadline = std::chrono::seconds(2));

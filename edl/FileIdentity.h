#pragma once

#include <string>

// Whether two paths name one existing file: the same path, or another path to it (a link, a
// relative path, another spelling of the folder). Used to refuse writing a list over the file
// it was read from. Paths are UTF-8.
class FileIdentity {
 public:
  // True only when both paths name existing files and they are the same file; false when
  // either does not exist or cannot be examined.
  static bool same(const std::string& a, const std::string& b);
};

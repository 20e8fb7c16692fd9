#pragma once

#include <string>

// A temporary file beside a target file, for saving a list without ever leaving a half-written
// file behind: the text is written and flushed to the temporary file, which is then renamed onto
// the target in one step. The temporary file is removed unless it was renamed.
// Every operation answers 0 or the error number (errno) of what failed. Callers pass the
// resolved target (resolve), so that a link stays a link and its file gets the new text.
class TempFile {
 public:
  explicit TempFile(const std::string& target);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  int openError() const { return openError_; }  // why it could not be created
  int fd() const { return fd_; }

  // The file a save to path replaces: the one a symbolic link names (through any chain of
  // links, dangling or not), else path itself. Renaming onto a link would replace the link.
  static std::string resolve(const std::string& path);
  // Gives the temporary file the permission bits (and, where allowed, the owner) of an
  // existing file at target, so that the save keeps them; nothing when there is none.
  int keepModeOf(const std::string& target);

  // Writes every byte, and then flushes it to the disk.
  int writeAndSync(const std::string& text);
  int close();
  int commit(const std::string& target);  // rename onto the target

  // Writes every byte to an open descriptor, retrying interrupted and short writes.
  static int writeAll(int fd, const std::string& text);

 private:
  std::string name_;
  int fd_ = -1;
  int openError_ = 0;
};

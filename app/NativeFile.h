#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// File calls on path names held as UTF-8, the one form paths take inside the program. On
// Windows each goes through the wide-character call, so that a name outside the ANSI code page
// (a Japanese clip list, say) opens as it is; elsewhere it is the POSIX call on the same bytes.
// Flags and modes are the platform's own (O_* or _O_*), as for the call they stand for.
class NativeFile {
 public:
  // open / _wopen: a descriptor, or -1 with errno set.
  static int openFd(const std::string& path, int flags, int mode = 0);
  // fopen / _wfopen: a stream, or null with errno set.
  static std::FILE* openStream(const std::string& path, const char* mode);
  // stat / _wstat64: 0, or -1 with errno set. On Windows the type, size and times are filled.
  static int statPath(const std::string& path, struct stat& st);
  // access / _waccess: 0 when the mode is allowed, or -1 with errno set.
  static int accessPath(const std::string& path, int mode);
  // unlink / _wunlink: 0, or -1 with errno set.
  static int removeFile(const std::string& path);
  // Renames from onto to, replacing to in one step (rename / MoveFileExW with write-through):
  // 0, or an errno value.
  static int replaceFile(const std::string& from, const std::string& to);
  // A path for std::filesystem and the file streams, taken from UTF-8 on every platform.
  static std::filesystem::path fsPath(const std::string& path);
  // The other way: a std::filesystem path as UTF-8.
  static std::string utf8Path(const std::filesystem::path& path);
  // Makes the open descriptor fd the process's standard output, for the C runtime's stdout and
  // std::cout alike (the descriptor stays open; the caller closes it). It does not depend on
  // what the process inherited: a Windows program started from Explorer or the Start menu has
  // no standard handles, and its stdout no descriptor, until this gives it one. False when it
  // fails; standard output is then unchanged.
  static bool attachStdout(int fd);
  // The command line as UTF-8, program name first. On Windows it is read from the wide command
  // line, since argv holds the ANSI code page's approximation of the names.
  static std::vector<std::string> arguments(int argc, char** argv);

#ifdef _WIN32
  // UTF-8 to UTF-16 and back, for the calls that take wide strings. Invalid input gives the
  // replacement character where it was.
  static std::wstring wide(const std::string& utf8);
  static std::string utf8(const std::wstring& wide);
  static std::string utf8(const wchar_t* wide);
#endif
};

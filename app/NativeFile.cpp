#include "app/NativeFile.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
// After windows.h: the command-line splitter.
#include <shellapi.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32

std::wstring NativeFile::wide(const std::string& utf8) {
  if (utf8.empty()) {
    return {};
  }
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string NativeFile::utf8(const std::wstring& wide) {
  if (wide.empty()) {
    return {};
  }
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::string NativeFile::utf8(const wchar_t* wide) {
  return wide == nullptr ? std::string() : utf8(std::wstring(wide));
}

int NativeFile::openFd(const std::string& path, int flags, int mode) {
  return ::_wopen(wide(path).c_str(), flags, mode);
}

std::FILE* NativeFile::openStream(const std::string& path, const char* mode) {
  return ::_wfopen(wide(path).c_str(), wide(mode).c_str());
}

int NativeFile::statPath(const std::string& path, struct stat& st) {
  struct _stat64 w {};
  if (::_wstat64(wide(path).c_str(), &w) != 0) {
    return -1;
  }
  st = {};
  st.st_mode = static_cast<decltype(st.st_mode)>(w.st_mode);
  st.st_size = static_cast<decltype(st.st_size)>(w.st_size);
  st.st_atime = static_cast<decltype(st.st_atime)>(w.st_atime);
  st.st_mtime = static_cast<decltype(st.st_mtime)>(w.st_mtime);
  st.st_ctime = static_cast<decltype(st.st_ctime)>(w.st_ctime);
  return 0;
}

int NativeFile::accessPath(const std::string& path, int mode) {
  return ::_waccess(wide(path).c_str(), mode);
}

int NativeFile::removeFile(const std::string& path) {
  return ::_wunlink(wide(path).c_str());
}

int NativeFile::replaceFile(const std::string& from, const std::string& to) {
  // rename() on Windows refuses an existing target; MoveFileExW replaces it in one step.
  if (MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  const DWORD e = GetLastError();
  return e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION ? EACCES
         : e == ERROR_PATH_NOT_FOUND || e == ERROR_FILE_NOT_FOUND ? ENOENT
         : e == ERROR_DISK_FULL || e == ERROR_HANDLE_DISK_FULL    ? ENOSPC
                                                                  : EIO;
}

bool NativeFile::attachStdout(int fd) {
  std::fflush(stdout);
  if (::_fileno(stdout) < 0) {
    // Started without standard handles, stdout has no descriptor (-2), and not every C runtime
    // lets freopen replace such a stream (Wine's refuses). Descriptor 1 is given the file and
    // the stream that descriptor.
    if (::_dup2(fd, 1) != 0) {
      return false;
    }
#ifdef _UCRT
    if (std::freopen("NUL", "w", stdout) == nullptr) {
      return false;
    }
#else
    stdout->_file = 1;
    stdout->_flag = (stdout->_flag & ~(_IOERR | _IOEOF)) | _IOWRT;
#endif
  }
  if (::_dup2(fd, ::_fileno(stdout)) != 0) {
    return false;
  }
  // Whoever asks Windows for the standard output (a child process, the console calls) gets the
  // same file.
  SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stdout))));
  return true;
}

std::vector<std::string> NativeFile::arguments(int argc, char** argv) {
  int n = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &n);
  if (wargv == nullptr || n != argc) {
    // Not the command line this process was given (an embedding caller): take argv as it is.
    if (wargv != nullptr) {
      LocalFree(wargv);
    }
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i) {
    args.push_back(utf8(wargv[i]));
  }
  LocalFree(wargv);
  return args;
}

#else

int NativeFile::openFd(const std::string& path, int flags, int mode) {
  return ::open(path.c_str(), flags, mode);
}

std::FILE* NativeFile::openStream(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

int NativeFile::statPath(const std::string& path, struct stat& st) {
  return ::stat(path.c_str(), &st);
}

int NativeFile::accessPath(const std::string& path, int mode) {
  return ::access(path.c_str(), mode);
}

int NativeFile::removeFile(const std::string& path) {
  return ::unlink(path.c_str());
}

int NativeFile::replaceFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool NativeFile::attachStdout(int fd) {
  std::fflush(stdout);
  return fd == STDOUT_FILENO || ::dup2(fd, STDOUT_FILENO) == STDOUT_FILENO;
}

std::vector<std::string> NativeFile::arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

#endif

std::filesystem::path NativeFile::fsPath(const std::string& path) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

std::string NativeFile::utf8Path(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

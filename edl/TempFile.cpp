#include "edl/TempFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#endif

#include <atomic>
#include <cerrno>

#include "app/NativeFile.h"

TempFile::TempFile(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    name_ = target + ".orva-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
#ifdef _WIN32
    // Binary, so that the list's line ends reach the disk as they are.
    fd_ = NativeFile::openFd(name_, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                             _S_IREAD | _S_IWRITE);
#else
    fd_ = NativeFile::openFd(name_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
    if (fd_ < 0 && errno != EEXIST) {
      break;
    }
  }
  if (fd_ < 0) {
    openError_ = errno;
    name_.clear();
  }
}

TempFile::~TempFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  if (!name_.empty()) {
    NativeFile::removeFile(name_);
  }
}

int TempFile::writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

int TempFile::writeAndSync(const std::string& text) {
  if (const int err = writeAll(fd_, text); err != 0) {
    return err;
  }
  // Some file systems cannot sync; the rename still replaces the file in one step there.
#ifdef _WIN32
  if (::_commit(fd_) != 0) {
    return errno;
  }
#else
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    return errno;
  }
#endif
  return 0;
}

int TempFile::close() {
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 || errno == EINTR ? 0 : errno;
}

int TempFile::commit(const std::string& target) {
  if (const int err = NativeFile::replaceFile(name_, target); err != 0) {
    return err;
  }
  name_.clear();
  return 0;
}

#ifdef _WIN32
// Windows: a file's access comes from its folder's rules, which the temporary file in the same
// folder inherits, and lists are not saved through links there; the path is used as given.
std::string TempFile::resolve(const std::string& path) {
  return path;
}

int TempFile::keepModeOf(const std::string&) {
  return 0;
}
#else
std::string TempFile::resolve(const std::string& path) {
  std::string p = path;
  // As many links as the system itself follows before it gives up (ELOOP).
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      return p;
    }
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) {
      return p;
    }
    std::string link(buf, static_cast<std::size_t>(n));
    if (link.front() != '/') {
      const auto slash = p.rfind('/');
      link = (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + link;
    }
    p = link;
  }
  return p;
}

int TempFile::keepModeOf(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    return errno == ENOENT ? 0 : errno;
  }
  // Only root may give a file away; anyone else keeps their own file, with its mode.
  if (::fchown(fd_, st.st_uid, st.st_gid) != 0 && errno != EPERM) {
    return errno;
  }
  return ::fchmod(fd_, st.st_mode & 07777) == 0 ? 0 : errno;
}
#endif

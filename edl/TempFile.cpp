#include "edl/TempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

TempFile::TempFile(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    name_ = target + ".orva-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    ::unlink(name_.c_str());
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
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    return errno;
  }
  return 0;
}

int TempFile::close() {
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 || errno == EINTR ? 0 : errno;
}

int TempFile::commit(const std::string& target) {
  if (::rename(name_.c_str(), target.c_str()) != 0) {
    return errno;
  }
  name_.clear();
  return 0;
}

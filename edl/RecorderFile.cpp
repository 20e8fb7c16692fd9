#include "edl/RecorderFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Owns the temporary file until it has been renamed into place; removes it otherwise.
class TempFile {
 public:
  explicit TempFile(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      path_ = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && errno != EEXIST) {
        break;
      }
    }
    if (fd_ < 0) {
      error_ = std::strerror(errno);
    }
  }
  ~TempFile() {
    closeFd();
    if (!kept_ && !path_.empty()) {
      ::unlink(path_.c_str());
    }
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }

  bool write(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
      if (n < 0) {
        if (errno == EINTR) {
          continue;
        }
        error_ = std::strerror(errno);
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Flushes and closes; a failure here means the text may not be on disk.
  bool finish() {
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
      error_ = std::strerror(errno);
      closeFd();
      return false;
    }
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && errno != EINTR) {
      error_ = std::strerror(errno);
      return false;
    }
    return true;
  }

  bool renameTo(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) {
      error_ = std::strerror(errno);
      return false;
    }
    kept_ = true;
    return true;
  }

 private:
  void closeFd() {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

  std::string path_;
  std::string error_;
  int fd_ = -1;
  bool kept_ = false;
};

}  // namespace

std::string RecorderFile::fileName(const std::string& name) {
  if (name.size() < 5) {
    return {};
  }
  if (name.compare(name.size() - 4, 4, ".edl") != 0) {
    return name + ".edl";
  }
  return name;
}

std::string RecorderFile::join(const std::string& directory, const std::string& name) {
  if (directory.empty()) {
    return name;
  }
  if (directory.back() == '/') {
    return directory + name;
  }
  return directory + "/" + name;
}

RecorderFile::Result RecorderFile::saveedl2(const std::string& directory, const std::string& name,
                                            const std::string& text) {
  Result result;
  const std::string file = fileName(name);
  if (file.empty()) {
    result.status = Status::NameError;
    return result;
  }
  result.path = join(directory, file);
  TempFile tmp(result.path);
  if (!tmp.ok() || !tmp.write(text) || !tmp.finish() || !tmp.renameTo(result.path)) {
    result.status = Status::WriteError;
    result.error = tmp.error();
  }
  return result;
}

#include "edl/SourceEdl.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

const std::string kFiller = " ";

#ifdef _WIN32
// Binary: the bytes of the file as they are, carriage returns included.
int openForReading(const std::string& path) {
  return ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
#else
int openForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}
#endif

// Owns one file descriptor for the length of a read.
class ReadFd {
 public:
  explicit ReadFd(const std::string& path) : fd_(openForReading(path)) {}
  ~ReadFd() {
    if (fd_ >= 0) {
      ::close(fd_);  // errors on closing are of no consequence for a reader
    }
  }
  ReadFd(const ReadFd&) = delete;
  ReadFd& operator=(const ReadFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

void SourceEdl::newrawedl() {
  rawedl_.fill(kFiller);
  rawlinecount_ = 0;
  encoding_ = TextCodec::Encoding::Utf8;
}

bool SourceEdl::lineok(std::string_view line) {
  if (line.empty()) {
    return true;
  }
  const auto c = static_cast<unsigned char>(line.front());
  return c >= 0x20 && c <= 0x7F;
}

const std::string& SourceEdl::line(int i) const {
  if (i < 0 || i >= capacity) {
    return kFiller;
  }
  return rawedl_[i];
}

std::string SourceEdl::showrawedl() const {
  std::string text;
  for (int i = 0; i < rawlinecount_; ++i) {
    if (rawedl_[i].size() > 1) {
      text += rawedl_[i];
      text += '\n';
    }
  }
  return text;
}

SourceEdl::ReadResult SourceEdl::read(const std::string& path,
                                      const std::function<void(const std::string&)>& onLine) {
  newrawedl();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? ReadResult::NotFound : ReadResult::ReadError;
  }
  ReadFd fd(path);
  if (fd.get() < 0) {
    return ReadResult::ReadError;
  }
  if (S_ISDIR(st.st_mode)) {
    return ReadResult::ReadError;
  }
  const long long filesize = static_cast<long long>(st.st_size);
  long long readsofar = 0;

  // Splits the byte stream at LF, CR or CR LF; the terminator is not part of the line.
  std::string data;
  bool pendingCr = false;  // the previous chunk ended in CR: a following LF belongs to it
  bool done = false;
  // Lines are kept as bytes until the whole read is known: the file is UTF-8 only when every
  // line read is.
  std::vector<std::string> lines;
  bool stopLine = false;  // the last line read ended the reading and is not stored
  // Takes one complete line; answers false when reading must stop.
  auto take = [&](std::string& l) {
    const bool ok = lineok(l);
    if (ok) {
      readsofar += static_cast<long long>(l.size());
    }
    lines.push_back(std::move(l));
    l.clear();
    stopLine = !ok;
    return ok && static_cast<int>(lines.size()) < capacity;
  };
  char buf[65536];
  bool firstChunk = true;
  // A regular file is read to its end whatever readsofar says; the size test only matters for
  // files that grow while being read, which are cut at the length seen when reading began.
  while (!done) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      store(lines, stopLine, onLine);
      return ReadResult::ReadError;
    }
    if (n == 0) {
      break;
    }
    ssize_t from = 0;
    if (firstChunk) {
      firstChunk = false;
      // A byte-order mark is no part of the first line (its first byte would end the reading).
      if (n >= 3 && TextCodec::hasBom(std::string_view(buf, 3))) {
        from = 3;
        readsofar += 3;
      }
    }
    for (ssize_t i = from; i < n && !done; ++i) {
      const char c = buf[i];
      if (pendingCr) {
        pendingCr = false;
        if (c == '\n') {
          continue;
        }
      }
      if (c == '\n' || c == '\r') {
        pendingCr = (c == '\r');
        if (!take(data) || (S_ISREG(st.st_mode) && readsofar >= filesize)) {
          done = true;
        }
      } else {
        data.push_back(c);
      }
    }
  }
  if (!done && !data.empty()) {
    take(data);
  }
  store(lines, stopLine, onLine);
  return ReadResult::Ok;
}

void SourceEdl::store(std::vector<std::string>& lines, bool stopLine,
                      const std::function<void(const std::string&)>& onLine) {
  encoding_ = TextCodec::Encoding::Utf8;
  for (const std::string& l : lines) {
    if (!TextCodec::isUtf8(l)) {
      encoding_ = TextCodec::Encoding::Latin1;
      break;
    }
  }
  const std::size_t stored = lines.size() - (stopLine ? 1 : 0);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string l = TextCodec::decode(lines[i], encoding_);
    if (onLine) {
      onLine(l);
    }
    if (i < stored) {
      rawedl_[rawlinecount_] = std::move(l);
      ++rawlinecount_;
    }
  }
}

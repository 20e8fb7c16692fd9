#include "app/PropertiesReader.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "app/NativeFile.h"
#include "app/TextCodec.h"

namespace {

// Problems beyond this many are counted but not described: a damaged 10 MB file must not turn
// into a 10 MB report.
constexpr std::size_t kMaxProblems = 10;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\f';
}

std::string_view stripLeadingBlanks(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isBlank(s[i])) {
    ++i;
  }
  return s.substr(i);
}

std::size_t trailingBackslashes(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && s[s.size() - 1 - n] == '\\') {
    ++n;
  }
  return n;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Builds UTF-8 from UTF-16 code units. Escapes give code units (\uD83D\uDE00 is one
// character); a pair is joined here and a surrogate without its partner becomes U+FFFD, since
// UTF-8 cannot carry it.
class Utf8Builder {
 public:
  explicit Utf8Builder(std::size_t expected) { out_.reserve(expected); }

  void add(char32_t unit) {
    if (high_ != 0) {
      const char32_t high = high_;
      high_ = 0;
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        appendUtf8(out_, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
        return;
      }
      appendUtf8(out_, 0xFFFD);
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      high_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      appendUtf8(out_, 0xFFFD);
    } else {
      appendUtf8(out_, unit);
    }
  }

  std::string take() {
    if (high_ != 0) {
      appendUtf8(out_, 0xFFFD);
      high_ = 0;
    }
    return std::move(out_);
  }

 private:
  std::string out_;
  char32_t high_ = 0;
};

// The length of the well-formed UTF-8 sequence of a character that starts at bytes[i] (a byte
// of 0x80 or more), or 0 when none starts there.
std::size_t utf8SequenceAt(std::string_view bytes, std::size_t i) {
  const auto lead = static_cast<unsigned char>(bytes[i]);
  const std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  return n != 0 && i + n <= bytes.size() && TextCodec::isUtf8(bytes.substr(i, n)) ? n : 0;
}

char32_t utf8CodePoint(std::string_view sequence) {
  const auto lead = static_cast<unsigned char>(sequence[0]);
  char32_t cp = lead & (sequence.size() == 2 ? 0x1F : sequence.size() == 3 ? 0x0F : 0x07);
  for (std::size_t k = 1; k < sequence.size(); ++k) {
    cp = (cp << 6) | (static_cast<unsigned char>(sequence[k]) & 0x3F);
  }
  return cp;
}

bool isPlainAscii(std::string_view s) {
  for (char c : s) {
    if (c == '\\' || static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

// Splits text into natural lines ending in LF, CR LF or CR, counting them from 1.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text) {}

  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) {
      return false;
    }
    std::size_t end = text_.find_first_of("\r\n", pos_);
    if (end == std::string_view::npos) {
      line = text_.substr(pos_);
      pos_ = text_.size();
    } else {
      line = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
        ++pos_;
      }
    }
    ++number_;
    return true;
  }

  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

// Owns one open file descriptor and closes it on every path.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (fd_ >= 0) {
      ::close(fd_);  // a failure to close a file we only read changes nothing
    }
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string errnoText(int e) {
  return std::system_category().message(e);
}

}  // namespace

void PropertiesReader::parse(std::string_view bytes) {
  entries_.clear();
  raw_.clear();
  problems_.clear();
  problemCount_ = 0;
  error_.clear();

  // Editors that save UTF-8 (Windows Notepad among them) put a byte order mark in front. It
  // says the file is UTF-8; left in place it would also become part of the first key and
  // silently hide that setting.
  utf8_ = TextCodec::hasBom(bytes);
  if (utf8_) {
    bytes.remove_prefix(TextCodec::kBom.size());
  }

  LineCursor cursor(bytes);
  std::string logical;
  std::string_view natural;
  while (cursor.next(natural)) {
    natural = stripLeadingBlanks(natural);
    if (natural.empty() || natural.front() == '#' || natural.front() == '!') {
      continue;
    }
    const int firstLine = cursor.number();
    logical.assign(natural);
    // An odd number of backslashes at the end joins the next line; an even number is a run of
    // escaped backslashes. Each joined piece is judged on its own trailing backslashes.
    std::string_view piece = natural;
    while (trailingBackslashes(piece) % 2 == 1) {
      logical.pop_back();
      std::string_view next;
      if (!cursor.next(next)) {
        break;  // a backslash at the very end of the file continues nothing
      }
      next = stripLeadingBlanks(next);
      if (next.empty()) {
        break;  // a blank line ends the value
      }
      logical.append(next);
      piece = next;
    }
    addLogicalLine(logical, firstLine);
  }
  if (problemCount_ > problems_.size()) {
    problems_.push_back(std::to_string(problemCount_ - problems_.size()) + " more problems");
  }
}

void PropertiesReader::noteProblem(int lineNumber, const char* what) {
  if (problemCount_++ < kMaxProblems) {
    problems_.push_back("line " + std::to_string(lineNumber) + ": " + what);
  }
}

void PropertiesReader::addLogicalLine(std::string_view line, int lineNumber) {
  // The key ends at the first unescaped '=', ':' or blank. Blanks after it are skipped, and so
  // is one '=' or ':' among them when the key ended at a blank.
  const std::size_t n = line.size();
  std::size_t keyLen = 0;
  std::size_t valueStart = n;
  bool hasSeparator = false;
  bool escaped = false;
  while (keyLen < n) {
    const char c = line[keyLen];
    if ((c == '=' || c == ':') && !escaped) {
      valueStart = keyLen + 1;
      hasSeparator = true;
      break;
    }
    if (isBlank(c) && !escaped) {
      valueStart = keyLen + 1;
      break;
    }
    escaped = (c == '\\') ? !escaped : false;
    ++keyLen;
  }
  while (valueStart < n) {
    const char c = line[valueStart];
    if (!isBlank(c)) {
      if (!hasSeparator && (c == '=' || c == ':')) {
        hasSeparator = true;
      } else {
        break;
      }
    }
    ++valueStart;
  }
  std::string key = decode(line.substr(0, keyLen), lineNumber);
  std::string value = decode(line.substr(valueStart), lineNumber);
  raw_.insert_or_assign(key, std::string(line.substr(valueStart)));
  entries_.insert_or_assign(std::move(key), std::move(value));
}

std::string PropertiesReader::decode(std::string_view raw, int lineNumber) {
  if (isPlainAscii(raw)) {
    return std::string(raw);  // the common case: nothing to decode
  }
  Utf8Builder out(raw.size() + raw.size() / 2);
  std::size_t i = 0;
  while (i < raw.size()) {
    // In a UTF-8 file a character is its whole sequence; otherwise, and for a byte that starts
    // no well-formed sequence, each byte is one ISO 8859-1 character, whose code equals the
    // byte's value (no byte is lost).
    if (utf8_ && static_cast<unsigned char>(raw[i]) >= 0x80) {
      if (const std::size_t n = utf8SequenceAt(raw, i); n > 0) {
        out.add(utf8CodePoint(raw.substr(i, n)));
        i += n;
        continue;
      }
    }
    const auto c = static_cast<unsigned char>(raw[i++]);
    if (c != '\\') {
      out.add(c);
      continue;
    }
    if (i >= raw.size()) {
      break;  // nothing left to escape
    }
    const auto e = static_cast<unsigned char>(raw[i++]);
    switch (e) {
      case 't':
        out.add(U'\t');
        break;
      case 'n':
        out.add(U'\n');
        break;
      case 'r':
        out.add(U'\r');
        break;
      case 'f':
        out.add(U'\f');
        break;
      case 'u': {
        char32_t value = 0;
        bool ok = i + 4 <= raw.size();
        for (std::size_t k = 0; ok && k < 4; ++k) {
          const int h = hexValue(raw[i + k]);
          ok = h >= 0;
          value = value * 16 + static_cast<char32_t>(h);
        }
        if (ok) {
          out.add(value);
          i += 4;
        } else {
          // Keep what was written after the backslash, as for any other escaped character.
          out.add(U'u');
          noteProblem(lineNumber, "malformed \\uXXXX escape");
        }
        break;
      }
      default:
        // An escaped character stands for itself, a whole UTF-8 sequence included.
        if (const std::size_t n = utf8_ && e >= 0x80 ? utf8SequenceAt(raw, i - 1) : 0; n > 0) {
          out.add(utf8CodePoint(raw.substr(i - 1, n)));
          i += n - 1;
        } else {
          out.add(e);
        }
        break;
    }
  }
  return out.take();
}

PropertiesReader::LoadResult PropertiesReader::load(const std::string& path) {
  entries_.clear();
  raw_.clear();
  problems_.clear();
  problemCount_ = 0;
  error_.clear();

  struct stat st {};
  if (NativeFile::statPath(path, st) != 0) {
    const int e = errno;
    if (e == ENOENT || e == ENOTDIR) {
      return LoadResult::Missing;
    }
    error_ = errnoText(e);
    return LoadResult::Unreadable;
  }
  // O_NONBLOCK: should a pipe or device take the file's place, opening it must not hang.
#ifdef _WIN32
  // Binary: the parser sees the file's own line ends, as on every other system.
  FileHandle file(NativeFile::openFd(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT));
#else
  FileHandle file(NativeFile::openFd(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
#endif
  if (file.get() < 0) {
    error_ = errnoText(errno);
    return LoadResult::Unreadable;
  }
  if (::fstat(file.get(), &st) != 0) {
    error_ = errnoText(errno);
    return LoadResult::Unreadable;
  }
  if (!S_ISREG(st.st_mode)) {
    error_ = "not a regular file";
    return LoadResult::Unreadable;
  }
  if (static_cast<unsigned long long>(st.st_size) > kMaxFileBytes) {
    error_ = "file too large";
    return LoadResult::Unreadable;
  }

  std::string bytes;
  bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size()) {
      if (bytes.size() > kMaxFileBytes) {
        error_ = "file too large";
        return LoadResult::Unreadable;
      }
      // The file may have grown since fstat: keep reading until end of file.
      bytes.resize(bytes.size() + 4096);
    }
    const ssize_t r = ::read(file.get(), bytes.data() + got, bytes.size() - got);
    if (r < 0) {
      if (errno == EINTR) {
        continue;
      }
      error_ = errnoText(errno);
      return LoadResult::Unreadable;
    }
    if (r == 0) {
      break;
    }
    got += static_cast<std::size_t>(r);
  }
  bytes.resize(got);
  parse(bytes);
  return LoadResult::Loaded;
}

std::optional<std::string> PropertiesReader::get(const std::string& key) const {
  auto it = entries_.find(key);
  if (it == entries_.end()) {
    return std::nullopt;
  }
  return it->second;
}

std::optional<std::string> PropertiesReader::getRaw(const std::string& key) const {
  auto it = raw_.find(key);
  if (it == raw_.end()) {
    return std::nullopt;
  }
  return it->second;
}

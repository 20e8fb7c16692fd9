#include "edl/EditList.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>

#include "app/ControllerApp.h"
#include "app/TextCodec.h"
#include "edl/TempFile.h"
#include "edl/Timecode.h"

namespace {

// "path (reason)", the way a file that cannot be opened is described.
std::string describe(const std::string& path, int err) {
  return path + " (" + std::strerror(err) + ")";
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) {
      std::fclose(f);
    }
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Takes the line of text starting at pos, ending at CR, LF or CR LF (the terminator is not
// kept), and moves pos past it. Answers false at the end of the text.
bool nextLine(const std::string& text, std::size_t& pos, std::string& line) {
  if (pos >= text.size()) {
    return false;
  }
  const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
  line.assign(text, pos, end - pos);
  pos = end + 1;
  if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') {
    ++pos;
  }
  return true;
}

}  // namespace

EditList::EditList() : rate(ControllerApp::getframerate()) {
  FCMString = std::string(1, rate.separator());
  setOutput(std::cout);
  for (int i = 0; i < kEntries; ++i) {
    EdNumArray[i] = eventNumber(i);
    ClipNameArray[i] = initialName(i);
    SrcInArray[i] = std::string(TCString);
    SrcOutArray[i] = std::string(TCString);
  }
}

std::string EditList::eventNumber(int i) {
  int n = i + 1;
  if (n < 10) {
    return "00" + std::to_string(n);
  }
  if (n < 100) {
    return "0" + std::to_string(n);
  }
  return std::to_string(n);
}

std::string EditList::initialName(int i) {
  int n = (i + 1) % 100;
  return std::string("Name") + static_cast<char>('0' + n / 10) + static_cast<char>('0' + n % 10);
}

void EditList::setOutput(std::ostream& out) {
  sink_ = [&out](const std::string& line) {
    out << line << '\n';
    out.flush();
  };
}

void EditList::println(std::string_view text) {
  if (sink_) {
    sink_(std::string(text));
  }
}

void EditList::getduration(int i) {
  // Both conversions happen before anything is stored, so a failure changes nothing.
  int in = Timecode::frames(SrcInArray.at(i), rate);
  int out = Timecode::frames(SrcOutArray.at(i), rate);
  startframes = in;
  endframes = out;
  duration = out - in;
}

std::string EditList::eventLine(int i, const std::string& recordIn,
                                const std::string& recordOut) const {
  // Six characters of the name, never a part of one.
  std::string reel = ClipNameArray[i].empty() ? std::string("S")
                                              : std::string(TextCodec::cut(ClipNameArray[i], 0, 6));
  reel += ' ';
  for (std::size_t n = TextCodec::length(reel); n < 6; ++n) {
    reel += ' ';
  }
  std::string line = eventNumber(i);
  line += "  ";
  line += reel;
  line += "   ";
  line += "AA/V  C        ";
  line += SrcInArray[i];
  line += ' ';
  line += SrcOutArray[i];
  line += ' ';
  line += recordIn;
  line += ' ';
  line += recordOut;
  line += " \r\n";
  const std::string& name = ClipNameArray[i];
  if (TextCodec::length(name) > 6 || name.find(' ') != std::string::npos) {
    line += kClipNameComment;
    line += name;
    line += "\r\n";
  }
  return line;
}

bool EditList::SaveEDL(const std::string& path) {
  std::string content = "TITLE: " + savename + " \r\n";
  content += "REM Made by " + ControllerApp::title + " \r\n";
  content += rate.dropFrame() ? "FCM: DROP FRAME \r\n" : "FCM: NON-DROP FRAME \r\n";

  // Compose every event before touching the disk: a malformed time must not cost the operator
  // the list saved there before.
  std::string recordIn = rate.text(rate.framesPerHour());  // 01:00:00:00
  for (int i = 0;; ++i) {
    std::string recordOut;
    try {
      getduration(i);
      recordOut = Timecode::MakeZeroString2(recordIn, duration, rate);
    } catch (const std::exception&) {
      std::string what = "source in";
      std::string text = SrcInArray[i];
      if (Timecode::wellFormed(SrcInArray[i])) {
        what = Timecode::wellFormed(SrcOutArray[i]) ? "record in" : "source out";
        text = what == "record in" ? recordIn : SrcOutArray[i];
      }
      println("EDL not saved: entry " + std::to_string(i + 1) + " " + what + " \"" + text +
              "\" is not a time hh:mm:ss:ff");
      return false;
    }
    const bool last = i + 1 >= kEntries || SrcOutArray[i + 1] == TCString;
    // A list that runs backwards past the start of the record timeline has no record out to
    // write. On an earlier entry the next record in is refused above; the last one is here.
    if (last && Timecode::frames(recordIn, rate) + duration < 0) {
      println("EDL not saved: entry " + std::to_string(i + 1) + " record out \"" + recordOut +
              "\" is before 00:00:00:00");
      return false;
    }
    content += eventLine(i, recordIn, recordOut);
    recordIn = recordOut;
    if (last) {
      break;
    }
  }

  // Written back in the encoding the list was loaded in, with its byte-order mark if it had one.
  content = TextCodec::encode(content, encoding);
  if (bom) {
    content.insert(0, TextCodec::kBom);
  }

  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // Never replace a directory, device or pipe by a list file.
    println("FileStreamError: " +
            (S_ISDIR(st.st_mode) ? describe(path, EISDIR) : path + " (Not a regular file)"));
    return false;
  }
  // A link is followed, even a dangling one, so the file it names is the one replaced.
  const std::string target = TempFile::resolve(path);
  TempFile tmp(target);
  if (!tmp.ok()) {
    const int openErr = tmp.openError();
    // A writable file in a directory we cannot create files in is still written, in place.
    if (exists && ::access(target.c_str(), W_OK) == 0) {
      return writeInPlace(path, target, content);
    }
    println("FileStreamError: " + describe(path, openErr));
    return false;
  }
  int err = tmp.keepModeOf(target);  // the replaced file's permissions stay
  if (err == 0) {
    err = tmp.writeAndSync(content);
  }
  if (err != 0) {
    println(std::string("FileIOError: ") + std::strerror(err) + " 1");
    return false;
  }
  err = tmp.close();
  if (err == 0) {
    err = tmp.commit(target);
  }
  if (err != 0) {
    println(std::string("FileIOError: ") + std::strerror(err) + " 2");
    return false;
  }
  return true;
}

bool EditList::writeInPlace(const std::string& path, const std::string& target,
                            const std::string& content) {
#ifdef _WIN32
  // Binary: the list's line ends are written as they are, never translated.
  const int fd = ::_open(target.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY | _O_NOINHERIT);
#else
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
#endif
  if (fd < 0) {
    println("FileStreamError: " + describe(path, errno));
    return false;
  }
  int err = TempFile::writeAll(fd, content);
  if (err != 0) {
    ::close(fd);
    println(std::string("FileIOError: ") + std::strerror(err) + " 1");
    return false;
  }
  if (::close(fd) != 0) {
    println(std::string("FileIOError: ") + std::strerror(errno) + " 2");
    return false;
  }
  return true;
}

bool EditList::getsourcetime(std::string_view line, std::size_t from) {
  // Positions count characters; the line is UTF-8.
  if (TextCodec::length(line) < 20) {
    return true;
  }
  // Drop-frame times may carry ';' where the others have ':'.
  std::size_t p = line.find_first_of(":;", from);
  if (p == std::string_view::npos || TextCodec::length(line.substr(0, p)) < 20 ||
      !Timecode::isnumeric(line[p - 1])) {
    return true;
  }
  // The times start two characters before the colon: the digit and the one before it.
  std::size_t start = p - 2;
  while (start > 0 && (static_cast<unsigned char>(line[start]) & 0xC0) == 0x80) {
    --start;
  }
  std::string_view ts = line.substr(start);
  const std::size_t length = TextCodec::length(ts);
  // Both times must be there in full; otherwise the line is left out rather than half taken.
  if (length < 13) {
    return false;
  }
  std::size_t second = TextCodec::cut(ts, 12, 1) == " " ? 13 : 12;
  if (length < second + 11) {
    return false;
  }
  timestring = std::string(ts);
  timestring1 = std::string(TextCodec::cut(ts, 0, 11));
  timestring2 = std::string(TextCodec::cut(ts, second, 11));
  if (ControllerApp::verbose) {
    println(timestring1 + " " + timestring2);
  }
  return true;
}

void EditList::takeClipName(std::string_view comment, int entry) {
  if (entry < 0 || comment.substr(0, kClipNameComment.size()) != kClipNameComment) {
    return;
  }
  std::string_view name = comment.substr(kClipNameComment.size());
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
    name.remove_prefix(1);
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
    name.remove_suffix(1);
  }
  // Only a name that this list's own reel column was cut from: the event line then holds its
  // first six characters up to the first blank. Another tool's clip name under an unrelated
  // or longer reel (a source file name) is no name of this entry.
  std::string_view reel = TextCodec::cut(name, 0, 6);
  reel = reel.substr(0, reel.find(' '));
  if (!reel.empty() && ClipNameArray[entry] == reel) {
    ClipNameArray[entry] = std::string(name);
  }
}

int EditList::LoadEDL(const std::string& path) {
  println(" ");
  // Only regular files: a directory cannot be read, and a pipe or device could hold the
  // window forever.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    println("FileStreamError: " +
            (S_ISDIR(st.st_mode) ? describe(path, EISDIR) : path + " (Not a regular file)"));
    println(" ");
    return 0;
  }
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    println("FileStreamError: " + describe(path, errno));
    println(" ");
    return 0;
  }

  // The whole file decides its encoding (see TextCodec); a save writes the list back in it.
  std::string bytes;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, file.get())) > 0;) {
    bytes.append(buf, n);
  }
  bom = TextCodec::stripBom(bytes);
  encoding = TextCodec::detect(bytes);
  const std::string text = TextCodec::decode(bytes, encoding);

  int i = 0;
  if (!text.empty() && text.front() == 'T') {
    std::string line;
    bool first = true;
    std::size_t pos = 1;
    while (i < kEntries && nextLine(text, pos, line)) {
      // The first line lost its leading T to the check above; a long title line is still a
      // title line and must not become an entry.
      bool titleLine = first ? line.compare(0, 2, "IT") == 0 : line.compare(0, 3, "TIT") == 0;
      first = false;
      // A comment is never an event, however long; one may carry the whole name of the entry
      // before it.
      const std::size_t lead = line.find_first_not_of(" \t");
      if (lead != std::string::npos && line[lead] == '*') {
        takeClipName(line.substr(lead), i - 1);
        continue;
      }
      // Lengths and positions count characters.
      const std::size_t length = TextCodec::length(line);
      if (length <= 5) {
        continue;
      }
      if (ControllerApp::verbose) {
        println(line);
      }
      if (length <= 60 || titleLine) {
        continue;
      }
      const std::size_t nameAt = TextCodec::offset(line, 5);
      std::size_t blank = line.find(' ', nameAt);
      if (blank == std::string::npos) {
        break;
      }
      std::string name = line.substr(nameAt, blank - nameAt);
      if (!getsourcetime(line, blank)) {
        continue;
      }
      ClipNameArray[i] = name;
      SrcInArray[i] = timestring1;
      SrcOutArray[i] = timestring2;
      ++i;
    }
  }
  int readErr = errno;
  if (std::ferror(file.get())) {
    println(std::string("FileIOError: ") + std::strerror(readErr) + " 1");
  }
  if (std::fclose(file.release()) != 0) {
    println(std::string("FileIOError: ") + std::strerror(errno) + " 2");
  }
  println(" ");
  return i;
}

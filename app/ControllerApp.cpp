#include "app/ControllerApp.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <vector>

#include "app/NativeFile.h"
#include "app/PropertiesReader.h"
#include "app/Utils.h"
#include "serial/SerOutPort.h"
#include "serial/port/PortLister.h"
#include "sim/SimSerialDriver.h"

std::string ControllerApp::comport1 = "COM1";
std::string ControllerApp::note;
std::optional<std::string> ControllerApp::verbo;
bool ControllerApp::verbose = false;
std::optional<std::string> ControllerApp::UseClipboard;
bool ControllerApp::useclipboard = false;
std::optional<std::string> ControllerApp::StopOnExit;
bool ControllerApp::stoponexit = true;
std::function<void(const std::string&, int)> ControllerApp::fatalPause;
std::string ControllerApp::VCRType = "LX1";
bool ControllerApp::lx1 = true;
bool ControllerApp::zarix = false;
bool ControllerApp::lanc = false;
std::string ControllerApp::finalizestring = "YES";
bool ControllerApp::finalize = true;
std::string ControllerApp::initializestring = "YES";
bool ControllerApp::initialize = true;
std::string ControllerApp::automodestring = "Title";
bool ControllerApp::onetitle = false;
std::string ControllerApp::autochapstring = "NO";
bool ControllerApp::autochapter = false;
std::string ControllerApp::namechapterstring = "NO";
bool ControllerApp::namechapters = false;
std::string ControllerApp::optimizestring = "NO";
bool ControllerApp::optimize = false;
std::string ControllerApp::FilterString = "2";
std::string ControllerApp::optifilter = "F:2";
std::string ControllerApp::NFString = "1";
int ControllerApp::namefirst = 1;
std::string ControllerApp::NLString = "10";
int ControllerApp::namelast = 10;
std::string ControllerApp::namedelimiter = ".";
int ControllerApp::remoteport = 0;
int ControllerApp::hyperdeckport = 0;
int ControllerApp::hyperdeckclients = 4;
std::string ControllerApp::remoteallow;
std::string ControllerApp::videoformat;
bool ControllerApp::remotekeys = false;
TimecodeRate ControllerApp::framerate;
std::optional<int> ControllerApp::stoplatency;
int ControllerApp::width = 320;
int ControllerApp::fontheight = 13;
const std::string ControllerApp::versionstring = "_v2";
int ControllerApp::compression = 4;
std::string ControllerApp::VideoMode = "NTSC";
std::string ControllerApp::VideoType = "COMP";
std::string ControllerApp::LoopRecMode = "NO";
std::string ControllerApp::LoopPlayMode = "NO";
std::string ControllerApp::name = " ORVA";
std::string ControllerApp::title = " ORVA_v2";
bool ControllerApp::nodos = true;
Utils* ControllerApp::utils = nullptr;
SerOutPort* ControllerApp::sop = nullptr;
LocalVCR* ControllerApp::svcr = nullptr;
std::unique_ptr<Utils> ControllerApp::ownedUtils;
std::unique_ptr<SerOutPort> ControllerApp::ownedLink;

namespace {

// Keyword tests ignore letter case and nothing else: "yes" is YES, "YES " is not.
bool isKeyword(std::string_view value, std::string_view keyword) {
  if (value.size() != keyword.size()) {
    return false;
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    char a = value[i];
    char b = keyword[i];
    if (a >= 'a' && a <= 'z') {
      a = static_cast<char>(a - 'a' + 'A');
    }
    if (b >= 'a' && b <= 'z') {
      b = static_cast<char>(b - 'a' + 'A');
    }
    if (a != b) {
      return false;
    }
  }
  return true;
}

bool isKeywordIfSet(const std::optional<std::string>& value, std::string_view keyword) {
  return value && isKeyword(*value, keyword);
}

// The first n characters of a UTF-8 text (the reader decodes the file into UTF-8, so an
// accented letter is one character of two bytes and must not be cut in half).
std::string firstChars(const std::string& text, std::size_t n) {
  std::size_t i = 0;
  std::size_t count = 0;
  while (i < text.size() && count < n) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
      ++i;
    }
    ++count;
  }
  return text.substr(0, i);
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') {
    s.remove_prefix(1);
  }
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') {
    s.remove_suffix(1);
  }
  return s;
}

// A decimal integer with an optional sign; blanks around it are allowed (an editor may leave
// a trailing blank that nobody sees). A number beyond the int range counts as the nearest end
// of that range, so clamping rules still give the obvious result.
std::optional<long long> parseDecimal(std::string_view text) {
  std::string_view s = trimmed(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) {
    return std::nullopt;
  }
  long long value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    if (value <= static_cast<long long>(INT_MAX) + 1) {
      value = value * 10 + (c - '0');
    }
  }
  value = negative ? -value : value;
  if (value > INT_MAX) {
    return INT_MAX;
  }
  if (value < INT_MIN) {
    return INT_MIN;
  }
  return value;
}

// The keys the settings file can set. A key that matches one of them only when letter case is
// ignored is a typing slip: it is named in one line (keys stay case-sensitive).
constexpr const char* kKnownKeys[] = {
    "COMPort",          "UserNote",    "Verbose",    "UseClipboard",    "StopOnExit",
    "VCRType",          "Finalize",    "Initialize", "RECMode",         "AutoChapter",
    "NameChapters",     "Optimize",    "Filter",     "FirstNameColumn", "LastNameColumn",
    "NameDelimiter",    "FrameRate",   "RemotePort", "HyperDeckPort",   "RemoteAllow",
    "HyperDeckClients", "VideoFormat", "StopLatency"};

std::string withoutTrailingBlanks(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\f')) {
    s.pop_back();
  }
  return s;
}

// Prints the message (after the line that explains it, when there is one, so the log ends
// with the message), shows both for the pause and ends the process.
[[noreturn]] void fatalExit(const std::string& message, int status,
                            const std::string& detail = {}) {
  if (!detail.empty()) {
    std::cout << detail << '\n';
  }
  std::cout << message << '\n';
  std::cout.flush();
  std::fflush(stdout);
  if (ControllerApp::fatalPause) {
    try {
      ControllerApp::fatalPause(detail.empty() ? message : message + "\n" + detail, 5000);
    } catch (...) {
      Utils::DelayT(5000);  // the message window failed; the pause still happens
    }
  } else {
    Utils::DelayT(5000);
  }
  std::exit(status);
}

}  // namespace

void ControllerApp::resetSettings() {
  comport1 = "COM1";
  note.clear();
  verbo.reset();
  verbose = false;
  UseClipboard.reset();
  useclipboard = false;
  StopOnExit.reset();
  stoponexit = true;
  VCRType = "LX1";
  lx1 = true;
  zarix = false;
  lanc = false;
  finalizestring = "YES";
  finalize = true;
  initializestring = "YES";
  initialize = true;
  automodestring = "Title";
  onetitle = false;
  autochapstring = "NO";
  autochapter = false;
  namechapterstring = "NO";
  namechapters = false;
  optimizestring = "NO";
  optimize = false;
  FilterString = "2";
  optifilter = "F:2";
  NFString = "1";
  namefirst = 1;
  NLString = "10";
  namelast = 10;
  namedelimiter = ".";
  remoteport = 0;
  hyperdeckport = 0;
  hyperdeckclients = 4;
  remoteallow.clear();
  videoformat.clear();
  remotekeys = false;
  framerate = TimecodeRate();
  stoplatency.reset();
}

void ControllerApp::resetDefaults() {
  resetSettings();
  width = 320;
  fontheight = 13;
  compression = 4;
  VideoMode = "NTSC";
  VideoType = "COMP";
  LoopRecMode = "NO";
  LoopPlayMode = "NO";
  name = " ORVA";
  title = " ORVA_v2";
  nodos = true;
}

void ControllerApp::GetProps() {
  if (!GetPropsFrom(kSettingsFile)) {
    fatalExit("No Settings File found!", 1);
  }
}

bool ControllerApp::GetPropsFrom(const std::string& path) {
  return GetPropsFrom(path, std::cout);
}

bool ControllerApp::GetPropsFrom(const std::string& path, std::ostream& log) {
  std::vector<std::string> problems;
  try {
    PropertiesReader props;
    const PropertiesReader::LoadResult loaded = props.load(path);
    if (loaded == PropertiesReader::LoadResult::Missing) {
      return false;
    }
    // No value is taken before the whole file is in: a file that cannot be read leaves every
    // default in force.
    resetSettings();
    if (loaded == PropertiesReader::LoadResult::Unreadable) {
      log << "Settings File Problem" << '\n' << "  " << path << ": " << props.error() << '\n';
      return true;
    }
    for (const std::string& p : props.problems()) {
      problems.push_back(path + " " + p);
    }
    auto notNumber = [&problems](const char* key, const std::string& value, const char* kept) {
      problems.push_back(std::string(key) + " = \"" + value + "\" is not a whole number; " + kept +
                         " is used");
    };

    for (const auto& [key, value] : props.entries()) {
      for (const char* known : kKnownKeys) {
        if (key != known && isKeyword(key, known)) {
          log << "Setting \"" << key << "\" is ignored: keys are case-sensitive; the known key is "
              << known << '\n';
        }
      }
    }
    // Blanks that nobody sees after a port name would make the port "unavailable".
    if (auto v = props.get("COMPort")) {
      comport1 = withoutTrailingBlanks(*v);
      // Windows names any port \\.\COMn; read with the file's escapes it would lose its
      // backslashes (\.COMn), so such a device path is taken as written.
      if (auto raw = props.getRaw("COMPort"); raw && raw->rfind("\\\\.\\", 0) == 0) {
        comport1 = withoutTrailingBlanks(*raw);
      }
    }
    if (auto v = props.get("UserNote")) {
      note = firstChars(*v, 12);
    }
    if (auto v = props.get("Verbose")) {
      verbo = *v;
    }
    verbose = isKeywordIfSet(verbo, "YES");
    if (auto v = props.get("UseClipboard")) {
      UseClipboard = *v;
    }
    if (auto v = props.get("StopOnExit")) {
      StopOnExit = *v;
    }
    if (auto v = props.get("VCRType")) {
      VCRType = *v;
    }
    zarix = isKeyword(VCRType, "ZARIX");
    lx1 = isKeyword(VCRType, "LX1");
    if (auto v = props.get("Finalize")) {
      finalizestring = *v;
    }
    finalize = !isKeyword(finalizestring, "NO");
    if (auto v = props.get("Initialize")) {
      initializestring = *v;
    }
    initialize = !isKeyword(initializestring, "NO");
    if (auto v = props.get("RECMode")) {
      automodestring = *v;
    }
    onetitle = isKeyword(automodestring, "PAUSE");
    if (auto v = props.get("AutoChapter")) {
      autochapstring = *v;
    }
    autochapter = isKeyword(autochapstring, "YES");
    if (auto v = props.get("NameChapters")) {
      namechapterstring = *v;
    }
    namechapters = isKeyword(namechapterstring, "YES");
    if (auto v = props.get("Optimize")) {
      optimizestring = *v;
    }
    optimize = isKeyword(optimizestring, "YES");

    if (auto v = props.get("Filter")) {
      if (auto n = parseDecimal(*v)) {
        // A value inside the range stays as written (05 gives the filter word F:05).
        FilterString = *n > 16 ? "16" : *n < 1 ? "1" : std::string(trimmed(*v));
      } else {
        notNumber("Filter", *v, "2");
      }
    }
    optifilter = "F:" + FilterString;

    // The raw column texts keep what the file says; the numbers follow the column rules.
    long long first = namefirst;
    long long last = namelast;
    if (auto v = props.get("FirstNameColumn")) {
      if (auto n = parseDecimal(*v)) {
        NFString = *v;
        first = *n;
      } else {
        notNumber("FirstNameColumn", *v, "1");
      }
    }
    if (auto v = props.get("LastNameColumn")) {
      if (auto n = parseDecimal(*v)) {
        NLString = *v;
        last = *n;
      } else {
        notNumber("LastNameColumn", *v, "10");
      }
    }
    if (first < 0) {
      first = 0;
    }
    if (first > INT_MAX - 1) {
      first = INT_MAX - 1;  // keeps namelast, at least one above, inside the int range
    }
    if (last - first < 1) {
      last = first + 1;
    }
    if (last - first > 31) {
      last = first + 31;
    }
    namefirst = static_cast<int>(first);
    namelast = static_cast<int>(last);

    if (auto v = props.get("NameDelimiter")) {
      namedelimiter = firstChars(*v, 1);
    }
    // A port outside 1..65535 leaves that server off; 0 is off as well.
    for (auto [key, port] : {std::pair<const char*, int*>{"RemotePort", &remoteport},
                             std::pair<const char*, int*>{"HyperDeckPort", &hyperdeckport}}) {
      if (auto v = props.get(key)) {
        remotekeys = true;
        const auto n = parseDecimal(*v);
        if (n && *n >= 0 && *n <= 65535) {
          *port = static_cast<int>(*n);
        } else {
          problems.push_back(std::string(key) + " = \"" + *v +
                             "\" is not a port number (1 to 65535); the server stays off");
        }
      }
    }
    if (auto v = props.get("RemoteAllow")) {
      remotekeys = true;
      remoteallow = std::string(trimmed(*v));
    }
    if (auto v = props.get("HyperDeckClients")) {
      remotekeys = true;
      const auto n = parseDecimal(*v);
      if (n && *n >= 1 && *n <= 8) {
        hyperdeckclients = static_cast<int>(*n);
      } else {
        problems.push_back("HyperDeckClients = \"" + *v + "\" is not 1 to 8; 4 is used");
      }
    }
    if (auto v = props.get("FrameRate")) {
      if (auto rate = TimecodeRate::parse(trimmed(*v))) {
        framerate = *rate;
      } else {
        log << "FrameRate = \"" << *v << "\" is not 30, 25, 24 or 29.97DF; 30 is used" << '\n';
      }
    }
    if (auto v = props.get("VideoFormat")) {
      remotekeys = true;
      if (auto format = VideoFormat::parse(trimmed(*v))) {
        videoformat = *format;
      } else {
        log << "VideoFormat = \"" << *v
            << "\" is not a video format of the HyperDeck protocol; the frame rate's is used"
            << '\n';
      }
    }
    if (auto v = props.get("StopLatency")) {
      const auto frames = parseDecimal(*v);
      if (frames && *frames >= 0 && *frames <= 10) {
        stoplatency = static_cast<int>(*frames);
      } else {
        log << "StopLatency = \"" << *v << "\" is not 0 to 10 frames; it is learned" << '\n';
      }
    }
    lanc = !lx1 && !zarix && isKeyword(VCRType, "LANC");
    if (isKeywordIfSet(UseClipboard, "YES")) {
      useclipboard = true;
    }
    if (isKeywordIfSet(StopOnExit, "YES")) {
      stoponexit = true;
    } else if (isKeywordIfSet(StopOnExit, "NO")) {
      stoponexit = false;
    }
  } catch (const std::exception& e) {
    // Only running out of memory can land here; start-up goes on with the defaults.
    resetSettings();
    problems.assign(1, path + ": " + e.what());
  }
  if (!problems.empty()) {
    log << "Settings File Problem" << '\n';
    for (const std::string& p : problems) {
      log << "  " << p << '\n';
    }
  }
  return true;
}

void ControllerApp::showprops() {
  showprops(std::cout);
}

void ControllerApp::showprops(std::ostream& out) {
  const auto raw = [](const std::optional<std::string>& v) -> std::string {
    return v ? *v : "null";
  };
  out << " " << '\n';
  out << "COM Port         = " << comport1 << '\n';
  out << "VCR Type         = " << VCRType << '\n';
  out << "User Note        = " << note << '\n';
  out << "Use Clipboard    = " << raw(UseClipboard) << '\n';
  out << "Stop On Exit     = " << raw(StopOnExit) << '\n';
  out << "Verbose          = " << raw(verbo) << '\n';
  if (framerate != TimecodeRate()) {
    out << "Frame Rate       = " << framerate.name() << '\n';
  }
  if (stoplatency) {
    out << "Stop Latency     = " << *stoplatency << '\n';
  }
  if (zarix) {
    out << "Compression      = " << compression << '\n';
    out << "VideoMode        = " << VideoMode << '\n';
    out << "VideoType        = " << VideoType << '\n';
    out << "LoopRecMode      = " << LoopRecMode << '\n';
    out << "LoopPlayMode     = " << LoopPlayMode << '\n';
  }
  out << " " << '\n';
  out << "EDL Conversion Settings:" << '\n';
  out << "Initialize Disk  = " << initializestring << '\n';
  out << "Finalize Disk    = " << finalizestring << '\n';
  out << "Record Mode      = " << automodestring << '\n';
  out << "AutoChapter      = " << autochapstring << '\n';
  out << "NameChapters     = " << namechapterstring << '\n';
  out << "FirstNameColumn  = " << NFString << '\n';
  out << "LastNameColumn   = " << NLString << '\n';
  out << "NameDelimiter    = " << namedelimiter << '\n';
  out << "Optimize         = " << optimizestring << '\n';
  out << "Filter           = " << FilterString << '\n';
  // Only a file that names the remote keys gets their lines, so the report of every other
  // file stays as it always was.
  if (remotekeys) {
    const auto port = [](int p) { return p > 0 ? std::to_string(p) : std::string("off"); };
    out << " " << '\n';
    out << "Remote Control Settings:" << '\n';
    out << "Remote Port      = " << port(remoteport) << '\n';
    out << "HyperDeck Port   = " << port(hyperdeckport) << '\n';
    out << "HyperDeck Clients = " << hyperdeckclients << '\n';
    out << "Remote Allow     = " << (remoteallow.empty() ? "loopback only" : remoteallow) << '\n';
    if (!videoformat.empty()) {
      out << "Video Format     = " << videoformat << '\n';
    }
  }
  out << " " << '\n';
  out.flush();
}

bool ControllerApp::keepPreviousLog() {
  // Only a regular file with something in it is kept; a FIFO or folder in the log's place is
  // left alone (redirectLog then leaves the output on the console).
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path log = NativeFile::fsPath(kLogFile);
  if (!fs::is_regular_file(fs::symlink_status(log, ec)) || fs::file_size(log, ec) == 0 || ec) {
    return false;
  }
  // Replaces the older one; a failure loses nothing.
  return NativeFile::replaceFile(kLogFile, kPrevLogFile) == 0;
}

namespace {

// Whether the log can be written where it is: no file yet, or a regular file this process may
// open for writing. Nothing is changed.
bool logWritable() {
  struct stat st {};
  if (NativeFile::statPath(ControllerApp::kLogFile, st) != 0) {
    return errno == ENOENT;
  }
  if ((st.st_mode & S_IFMT) != S_IFREG) {
    return false;
  }
#ifdef _WIN32
  // A read-only file, or one another program holds without sharing, fails here.
  const int fd = NativeFile::openFd(ControllerApp::kLogFile, _O_WRONLY | _O_NOINHERIT);
  if (fd < 0) {
    return false;
  }
  ::_close(fd);
#else
  const int fd =
      NativeFile::openFd(ControllerApp::kLogFile, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  ::close(fd);
#endif
  return true;
}

// Creates or empties the log, only once it is known to be a regular file: a descriptor, or -1.
int openLog() {
#ifdef _WIN32
  // Text mode: the log gets the platform's CR LF line ends, as any Windows editor expects.
  const int fd = NativeFile::openFd(
      ControllerApp::kLogFile, _O_WRONLY | _O_CREAT | _O_TEXT | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    return -1;
  }
  struct _stat64 st {};
  if (::_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG || ::_chsize_s(fd, 0) != 0) {
    ::_close(fd);
    return -1;
  }
#else
  // Opened without waiting: a FIFO without a reader would block here for good.
  const int fd = NativeFile::openFd(ControllerApp::kLogFile,
                                    O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) {
    return -1;
  }
  struct stat st {};
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0 || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
#endif
  return fd;
}

}  // namespace

void ControllerApp::redirectLog() {
  if (!nodos) {
    return;
  }
  std::cout.flush();
  std::fflush(stdout);
  // The log is opened here, whatever standard output the process was given (a program started
  // from Explorer or the Start menu has none). When it cannot be written, the output stays
  // where it was and the previous log stays as it is, neither moved nor emptied.
  if (!logWritable()) {
    return;
  }
  const bool moved = keepPreviousLog();
  const int fd = openLog();
  const bool attached = fd >= 0 && NativeFile::attachStdout(fd);
#ifdef _WIN32
  if (fd >= 0 && fd != ::_fileno(stdout)) {
    ::_close(fd);
  }
#else
  if (fd >= 0 && fd != STDOUT_FILENO) {
    ::close(fd);
  }
#endif
  if (!attached) {
    if (moved) {
      NativeFile::replaceFile(kPrevLogFile, kLogFile);  // the previous log back in its place
    }
    return;
  }
#ifdef _WIN32
  // The Windows C runtime buffers a line-buffered stream fully: unbuffered, every piece of
  // output is in the log at once, so the last words before a crash or a fatal exit are not lost.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
#else
  // A file makes stdout fully buffered; line buffering puts every finished line in the log at
  // once, so the last words before a crash or a fatal exit are not lost.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
#endif
}

void ControllerApp::init() {
  ownedUtils = std::make_unique<Utils>();
  utils = ownedUtils.get();
  GetProps();
  name = zarix ? " TEKU" : " ORVA";
  MakeSerial();
  name += versionstring;
  title = name;
  std::cout << title << '\n';
  showprops();
  std::cout << '\n';
  std::cout.flush();
}

void ControllerApp::MakeSerial() {
  try {
    std::shared_ptr<SerialDriver> driver;
    if (isKeyword(comport1, "SIM")) {
      driver = std::make_shared<SimSerialDriver>();
    }
    ownedLink = std::make_unique<SerOutPort>(comport1, driver);
  } catch (const std::exception& e) {
    // The link reports its own failures; anything it lets escape still means no link.
    std::cout << e.what() << '\n';
    ownedLink.reset();
  }
  if (!ownedLink || ownedLink->isBad()) {
    // The most common first run with a real deck names a port that is not there: the ports
    // that are come with the message.
    fatalExit("Serial port " + comport1 + " for VCR not available.", 0,
              PortLister::summary(PortLister::list()));
  }
  sop = ownedLink.get();
  sop->setwait(9);
  std::cout << "Serial Port " << comport1 << " Opened OK" << '\n';
}

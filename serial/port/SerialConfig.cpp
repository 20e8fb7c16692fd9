#include "serial/port/SerialConfig.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

#include <stdexcept>

namespace {
constexpr const char* kNumberedBase = "/dev/ttyS";
}

SerialConfig::SerialConfig() : portName_("COM1"), baseName_(kNumberedBase), osName_(systemName()) {}

SerialConfig::SerialConfig(int port) : baseName_(kNumberedBase), osName_(systemName()) {
  setPortNum(port);
}

SerialConfig::SerialConfig(int port, int txLen, int rxLen)
    : baseName_(kNumberedBase), txLen_(txLen), rxLen_(rxLen), osName_(systemName()) {
  setPortNum(port);
}

SerialConfig::SerialConfig(const std::string& portName)
    : portName_(portName), osName_(systemName()) {}

std::string SerialConfig::systemName() {
#ifdef _WIN32
  // The names the port layer knows Windows by: the family, not the release.
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExA(&v)) {
    return "Windows NT";  // every system this build can run on is of that family
  }
  switch (v.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
      return v.dwMinorVersion == 0 ? "Windows 95" : "Windows 98";
    default:
      return "Windows NT";
  }
#else
  utsname u{};
  if (uname(&u) != 0) {
    return {};
  }
  return u.sysname;
#endif
}

void SerialConfig::setPortNum(int port) {
  if (port < 0) {
    throw std::invalid_argument("Invalid Port Number: " + std::to_string(port));
  }
  port_ = port;
}

void SerialConfig::setBitRate(int code) {
  if (code < BR_110 || code > BR_115200) {
    throw std::invalid_argument("Invalid Serial Port Bit Rate");
  }
  bitRate_ = code;
}

void SerialConfig::setParity(int code) {
  // Mark parity has a code but no driver offers it.
  if (code < PY_NONE || code > PY_EVEN) {
    throw std::invalid_argument("Invalid Serial Port Parity");
  }
  parity_ = code;
}

void SerialConfig::setDataBits(int code) {
  if (code < LN_5BITS || code > LN_8BITS) {
    throw std::invalid_argument("Invalid Serial Port Data Bits");
  }
  dataBits_ = code;
}

void SerialConfig::setStopBits(int code) {
  if (code != ST_1BITS && code != ST_2BITS) {
    throw std::invalid_argument("Invalid Serial Port Stop Bits");
  }
  stopBits_ = code;
}

void SerialConfig::setHandshake(int code) {
  // DSR/DTR handshaking exists only in the drivers of these systems; asking for it elsewhere is
  // a platform limit, reported before the general range check.
  if (code == HS_DSRDTR && osName_ != "Windows 95" && osName_ != "Windows NT" &&
      osName_ != "Windows CE" && osName_ != "Windows 98" && osName_ != "OS/2") {
    throw std::invalid_argument("DSRDTR handshaking not available on this platform");
  }
  const bool plain = code >= HS_NONE && code <= HS_DSRDTR;
  const bool bits = code >= HS_HARD_IN && code <= 240;
  if (!plain && !bits) {
    throw std::invalid_argument("Invalid Serial Port Handshake");
  }
  handshake_ = code;
}

#include "serial/port/Win32SerialDriver.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <limits>
#include <thread>

#include "serial/port/PortName.h"

namespace {

DWORD baudFor(int code) {
  switch (code) {
    case SerialConfig::BR_110:
      return CBR_110;
    case SerialConfig::BR_150:
      return 150;
    case SerialConfig::BR_300:
      return CBR_300;
    case SerialConfig::BR_600:
      return CBR_600;
    case SerialConfig::BR_1200:
      return CBR_1200;
    case SerialConfig::BR_2400:
      return CBR_2400;
    case SerialConfig::BR_4800:
      return CBR_4800;
    case SerialConfig::BR_9600:
      return CBR_9600;
    case SerialConfig::BR_19200:
      return CBR_19200;
    case SerialConfig::BR_38400:
      return CBR_38400;
    case SerialConfig::BR_57600:
      return CBR_57600;
    case SerialConfig::BR_115200:
      return CBR_115200;
    default:
      return CBR_9600;
  }
}

// "\\.\COM12" -> 12 (comNumber reads every form of a COM port's name).
int portNumberOf(const std::string& path) {
  return PortName::comNumber(path);
}

int openFailure(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
      return Win32SerialDriver::kNotValid;
    case ERROR_ACCESS_DENIED:  // what Windows answers for a port another handle holds
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return Win32SerialDriver::kInUse;
    default:
      return error != 0 ? static_cast<int>(error) : 1;
  }
}

}  // namespace

struct Win32SerialDriver::Slot {
  HANDLE port = INVALID_HANDLE_VALUE;
  std::string path;
  DCB saved{};
  bool dtrOn = true;
  bool rtsOn = true;
  int timeoutRx = 0;
  int timeoutTx = std::numeric_limits<int>::max();
  // Milliseconds one character takes on the line, rounded up; sizes the write time-out.
  DWORD msPerChar = 1;
  // Line errors reported by the system and not yet asked for (CE_* flags).
  DWORD pendingErrors = 0;
};

Win32SerialDriver::Win32SerialDriver() = default;

Win32SerialDriver::~Win32SerialDriver() {
  std::lock_guard lock(mu_);
  for (auto& [handle, slot] : slots_) {
    SetCommState(slot->port, &slot->saved);
    CloseHandle(slot->port);
  }
  slots_.clear();
}

std::string Win32SerialDriver::deviceName(const SerialConfig& config) {
  const std::string name = config.getPortName();
  if (!name.empty() && name[0] != '\0') {
    if (const int n = PortName::comNumber(name); n > 0) {
      // The device namespace reaches every port, COM10 and above included.
      return "\\\\.\\COM" + std::to_string(n);
    }
    return name;
  }
  if (config.getPort() > 0) {
    return "\\\\.\\COM" + std::to_string(config.getPort());
  }
  return {};
}

int Win32SerialDriver::SerOpenPort(SerialConfig& config) {
  const std::string path = deviceName(config);
  if (path.empty()) {
    return kNotValid;
  }
  std::lock_guard lock(mu_);
  for (const auto& [handle, slot] : slots_) {
    if (slot->path == path) {
      return kAlreadyOpen;
    }
  }
  // No sharing: while this handle is open, any other open of the port fails.
  HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    return openFailure(GetLastError());
  }
  auto slot = std::make_unique<Slot>();
  slot->port = port;
  slot->path = path;
  slot->saved.DCBlength = sizeof(DCB);
  if (!GetCommState(port, &slot->saved)) {
    // Not a communications device at all.
    CloseHandle(port);
    return kNotValid;
  }
  if (!applyTimeouts(*slot)) {
    const int code = static_cast<int>(GetLastError());
    CloseHandle(port);
    return code != 0 ? code : 1;
  }
  // Numbered ports keep their number as handle, so the record still names the same device
  // when it is opened again; named ones take the first free handle.
  int handle = 0;
  const int wanted = config.getPortName().empty() ? config.getPort() - 1 : portNumberOf(path) - 1;
  if (wanted >= 0 && !slots_.contains(wanted)) {
    handle = wanted;
  } else {
    while (slots_.contains(handle)) {
      ++handle;
    }
  }
  slots_.emplace(handle, std::move(slot));
  config.setPortNum(handle + 1);
  return 0;
}

bool Win32SerialDriver::applyTimeouts(Slot& slot) {
  COMMTIMEOUTS t{};
  // Reads return at once with what is waiting, even when nothing is; waiting for the receive
  // time-out is done in SerGetData.
  t.ReadIntervalTimeout = MAXDWORD;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = 0;
  // A write may take as long as its bytes need on the line, plus the caller's time-out capped
  // at the stall limit. Both zero would mean "no time-out at all", so the constant is at
  // least 1 ms.
  t.WriteTotalTimeoutMultiplier = slot.msPerChar;
  t.WriteTotalTimeoutConstant =
      static_cast<DWORD>(std::clamp(slot.timeoutTx, 1, static_cast<int>(kMaxWriteStallMs)));
  return SetCommTimeouts(slot.port, &t) != 0;
}

int Win32SerialDriver::SerConfigure(const SerialConfig& config) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(config.getPort() - 1);
  if (it == slots_.end()) {
    return kNotValid;
  }
  Slot& slot = *it->second;
  DCB d = slot.saved;
  d.DCBlength = sizeof(DCB);
  d.BaudRate = baudFor(config.getBitRate());
  d.ByteSize = static_cast<BYTE>(5 + config.getDataBits());
  d.fBinary = TRUE;
  d.fParity = config.getParity() != SerialConfig::PY_NONE;
  d.Parity = config.getParity() == SerialConfig::PY_ODD    ? ODDPARITY
             : config.getParity() == SerialConfig::PY_EVEN ? EVENPARITY
                                                           : NOPARITY;
  d.StopBits = config.getStopBits() == SerialConfig::ST_2BITS ? TWOSTOPBITS : ONESTOPBIT;
  const int hs = config.getHandshake();
  const bool ctsRts = hs == SerialConfig::HS_CTSRTS ||
                      (hs & (SerialConfig::HS_HARD_IN | SerialConfig::HS_HARD_OUT)) != 0;
  const bool dsrDtr = hs == SerialConfig::HS_DSRDTR;
  d.fOutxCtsFlow = ctsRts;
  d.fRtsControl =
      ctsRts ? RTS_CONTROL_HANDSHAKE : (slot.rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE);
  d.fOutxDsrFlow = dsrDtr;
  d.fDtrControl =
      dsrDtr ? DTR_CONTROL_HANDSHAKE : (slot.dtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE);
  d.fDsrSensitivity = FALSE;
  d.fInX = hs == SerialConfig::HS_XONXOFF || (hs & SerialConfig::HS_SOFT_IN) != 0;
  d.fOutX = hs == SerialConfig::HS_XONXOFF || (hs & SerialConfig::HS_SOFT_OUT) != 0;
  d.fTXContinueOnXoff = TRUE;
  d.fErrorChar = FALSE;
  d.fNull = FALSE;
  // With abort-on-error every read and write would fail after a line error until the error is
  // cleared; errors are collected by ClearCommError instead.
  d.fAbortOnError = FALSE;
  if (config.getRxLen() > 0 && config.getTxLen() > 0) {
    // Only a request: drivers that keep fixed queues ignore it.
    SetupComm(slot.port, static_cast<DWORD>(config.getRxLen()),
              static_cast<DWORD>(config.getTxLen()));
  }
  if (!SetCommState(slot.port, &d)) {
    const int code = static_cast<int>(GetLastError());
    return code != 0 ? code : 1;
  }
  // Start bit, data bits, parity and stop bits of one character.
  const int bits = 1 + d.ByteSize + (d.fParity ? 1 : 0) + (d.StopBits == TWOSTOPBITS ? 2 : 1);
  slot.msPerChar = static_cast<DWORD>((bits * 1000 + d.BaudRate - 1) / d.BaudRate);
  return applyTimeouts(slot) ? 0 : 1;
}

int Win32SerialDriver::SerClosePort(int handle) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return -1;
  }
  // Errors are of no use here: a vanished device refuses its old settings too.
  SetCommState(it->second->port, &it->second->saved);
  CloseHandle(it->second->port);
  slots_.erase(it);
  return 0;
}

void* Win32SerialDriver::portOf(int handle) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  return it == slots_.end() ? nullptr : it->second->port;
}

bool Win32SerialDriver::status(int handle, unsigned long* inQueue, unsigned long* outQueue) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return false;
  }
  DWORD errors = 0;
  COMSTAT st{};
  if (!ClearCommError(it->second->port, &errors, &st)) {
    return false;
  }
  it->second->pendingErrors |= errors;
  if (inQueue != nullptr) {
    *inQueue = st.cbInQue;
  }
  if (outQueue != nullptr) {
    *outQueue = st.cbOutQue;
  }
  return true;
}

int Win32SerialDriver::errorSeen(int handle, unsigned long flag) {
  if (!status(handle, nullptr, nullptr)) {
    return -1;
  }
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return -1;
  }
  const bool seen = (it->second->pendingErrors & flag) != 0;
  it->second->pendingErrors &= ~flag;
  return seen ? 1 : 0;
}

int Win32SerialDriver::SerPutByte(int handle, std::uint8_t b) {
  return SerPutData(handle, &b, 1) == 1 ? 0 : -1;
}

int Win32SerialDriver::SerPutData(int handle, const std::uint8_t* data, int count) {
  HANDLE port = portOf(handle);
  if (port == nullptr) {
    return -1;
  }
  if (count <= 0) {
    return 0;
  }
  DWORD written = 0;
  if (!WriteFile(port, data, static_cast<DWORD>(count), &written, nullptr)) {
    return written > 0 ? static_cast<int>(written) : -1;
  }
  return static_cast<int>(written);  // fewer than count when the write timed out
}

int Win32SerialDriver::SerGetByte(int handle) {
  std::uint8_t b = 0;
  return SerGetData(handle, &b, 1) == 1 ? b : -1;
}

int Win32SerialDriver::SerGetData(int handle, std::uint8_t* data, int count) {
  HANDLE port = nullptr;
  int timeout = 0;
  {
    std::lock_guard lock(mu_);
    auto it = slots_.find(handle);
    if (it == slots_.end()) {
      return -1;
    }
    port = it->second->port;
    timeout = it->second->timeoutRx;
  }
  if (count <= 0) {
    return 0;
  }
  if (timeout > 0) {
    // Wait for the first byte, at most the receive time-out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    DWORD waiting = 0;
    while (status(handle, &waiting, nullptr) && waiting == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  DWORD got = 0;
  if (!ReadFile(port, data, static_cast<DWORD>(count), &got, nullptr)) {
    // A line error with abort-on-error set by another program, or a vanished device.
    return -1;
  }
  return static_cast<int>(got);
}

int Win32SerialDriver::SerRxReadyCount(int handle) {
  DWORD in = 0;
  return status(handle, &in, nullptr) ? static_cast<int>(in) : -1;
}

int Win32SerialDriver::SerTxBufCount(int handle) {
  DWORD out = 0;
  return status(handle, nullptr, &out) ? static_cast<int>(out) : -1;
}

int Win32SerialDriver::modemBit(int handle, unsigned long bit) {
  HANDLE port = portOf(handle);
  DWORD lines = 0;
  if (port == nullptr || !GetCommModemStatus(port, &lines)) {
    return -1;
  }
  return (lines & bit) != 0 ? 1 : 0;
}

int Win32SerialDriver::SerSigDSR(int handle) {
  return modemBit(handle, MS_DSR_ON);
}
int Win32SerialDriver::SerSigCTS(int handle) {
  return modemBit(handle, MS_CTS_ON);
}
int Win32SerialDriver::SerSigCD(int handle) {
  return modemBit(handle, MS_RLSD_ON);
}
int Win32SerialDriver::SerSigRing(int handle) {
  return modemBit(handle, MS_RING_ON);
}
int Win32SerialDriver::SerSigBreak(int handle) {
  return errorSeen(handle, CE_BREAK);
}
int Win32SerialDriver::SerSigFrameErr(int handle) {
  return errorSeen(handle, CE_FRAME);
}
int Win32SerialDriver::SerSigOverrun(int handle) {
  return errorSeen(handle, CE_OVERRUN);
}
int Win32SerialDriver::SerSigParityErr(int handle) {
  return errorSeen(handle, CE_RXPARITY);
}
int Win32SerialDriver::SerRxOverflow(int handle) {
  return errorSeen(handle, CE_RXOVER);
}

int Win32SerialDriver::escape(int handle, unsigned long function) {
  HANDLE port = portOf(handle);
  return port == nullptr || !EscapeCommFunction(port, function) ? -1 : 0;
}

int Win32SerialDriver::SerSetDTR(int handle, bool on) {
  const int rc = escape(handle, on ? SETDTR : CLRDTR);
  if (rc == 0) {
    // Kept, so that a later configure leaves the line as the caller set it.
    std::lock_guard lock(mu_);
    if (auto it = slots_.find(handle); it != slots_.end()) {
      it->second->dtrOn = on;
    }
  }
  return rc;
}

int Win32SerialDriver::SerSetRTS(int handle, bool on) {
  const int rc = escape(handle, on ? SETRTS : CLRRTS);
  if (rc == 0) {
    std::lock_guard lock(mu_);
    if (auto it = slots_.find(handle); it != slots_.end()) {
      it->second->rtsOn = on;
    }
  }
  return rc;
}

int Win32SerialDriver::SerSendBreak(int handle, int duration) {
  // The duration is in milliseconds; 0 gives a standard break of a quarter of a second.
  HANDLE port = portOf(handle);
  if (port == nullptr || !SetCommBreak(port)) {
    return -1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(duration > 0 ? duration : 250));
  return ClearCommBreak(port) ? 0 : -1;
}

int Win32SerialDriver::SerRxFlush(int handle) {
  HANDLE port = portOf(handle);
  return port == nullptr || !PurgeComm(port, PURGE_RXCLEAR | PURGE_RXABORT) ? -1 : 0;
}

int Win32SerialDriver::SerTxFlush(int handle) {
  HANDLE port = portOf(handle);
  return port == nullptr || !PurgeComm(port, PURGE_TXCLEAR | PURGE_TXABORT) ? -1 : 0;
}

int Win32SerialDriver::SerTxDrain(int handle) {
  HANDLE port = portOf(handle);
  return port == nullptr || !FlushFileBuffers(port) ? -1 : 0;
}

int Win32SerialDriver::SerSetTimeoutRx(int handle, int ms) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return -1;
  }
  it->second->timeoutRx = std::max(ms, 0);
  return 0;
}

int Win32SerialDriver::SerSetTimeoutTx(int handle, int ms) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return -1;
  }
  it->second->timeoutTx = std::max(ms, 0);
  return applyTimeouts(*it->second) ? 0 : -1;
}

int Win32SerialDriver::SerGetTimeoutRx(int handle) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  return it == slots_.end() ? -1 : it->second->timeoutRx;
}

int Win32SerialDriver::SerGetTimeoutTx(int handle) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  return it == slots_.end() ? -1 : it->second->timeoutTx;
}

int Win32SerialDriver::SerGetLibVer() {
  return kLibVersion;
}

int Win32SerialDriver::SerFlowTask(int handle) {
  // The system moves the handshake lines itself; a pass only keeps the caller's loop from
  // spinning, and lets it notice a stop request several times a second.
  if (portOf(handle) == nullptr) {
    return -1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return 0;
}

#include "serial/port/SerialPortLocal.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include "serial/port/Win32SerialDriver.h"
#else
#include "serial/port/PosixSerialDriver.h"
#endif
#include "serial/port/SerialIOError.h"

namespace {

bool isOneOf(const std::string& s, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    if (s == n) {
      return true;
    }
  }
  return false;
}

std::string sentOnly(const char* prefix, int sent, int wanted) {
  return std::string(prefix) + std::to_string(sent) + " of " + std::to_string(wanted) + " bytes";
}

}  // namespace

SerialPortLocal::SerialPortLocal(const SerialConfig& config, std::shared_ptr<SerialDriver> driver)
    : SerialPortLocal(config, std::move(driver), SerialConfig::systemName()) {}

SerialPortLocal::SerialPortLocal(const SerialConfig& config, std::shared_ptr<SerialDriver> driver,
                                 const std::string& osName)
    : config_(config) {
  init(std::move(driver), osName);
  try {
    open();
  } catch (...) {
    // The destructor does not run for an object whose constructor throws: a port that opened
    // but could not be set up is closed here, so its device and lock are not held on.
    try {
      close();
    } catch (...) {
    }
    throw;
  }
}

SerialPortLocal::SerialPortLocal(std::shared_ptr<SerialDriver> driver)
    : SerialPortLocal(std::move(driver), SerialConfig::systemName()) {}

SerialPortLocal::SerialPortLocal(std::shared_ptr<SerialDriver> driver, const std::string& osName) {
  init(std::move(driver), osName);
  config_ = SerialConfig(devName_);
}

void SerialPortLocal::init(std::shared_ptr<SerialDriver> driver, const std::string& osName) {
  if (driver) {
    nativeLib_ = "supplied driver";
    driver_ = std::move(driver);
  } else {
    // The platform's own driver: it depends on the machine we run on, not on the name a
    // caller may have given for the port's system.
    const std::string host = SerialConfig::systemName();
    requireSupportedPlatform(host);
    nativeLib_ = *nativeLibraryFor(host);
#ifdef _WIN32
    driver_ = std::make_shared<Win32SerialDriver>();
#else
    driver_ = std::make_shared<PosixSerialDriver>();
#endif
  }
  osName_ = osName;
  featureSetup();
}

SerialPortLocal::~SerialPortLocal() {
  try {
    close();
  } catch (...) {
    // Nothing useful can be done about a failing close while the object goes away.
  }
}

SerialPortLocal::SerialPortLocal(SerialPortLocal&& other) noexcept
    : driver_(std::move(other.driver_)),
      nativeLib_(std::move(other.nativeLib_)),
      port_(std::exchange(other.port_, -1)),
      isOpen_(std::exchange(other.isOpen_, false)),
      name_(std::move(other.name_)),
      osName_(std::move(other.osName_)),
      devName_(std::move(other.devName_)),
      config_(std::move(other.config_)),
      flowControl_(std::move(other.flowControl_)),
      softGetDataTimeout_(other.softGetDataTimeout_),
      supSigBreak_(other.supSigBreak_),
      supSigFrameErr_(other.supSigFrameErr_),
      supSigOverrun_(other.supSigOverrun_),
      supSigParityErr_(other.supSigParityErr_),
      supRxOverflow_(other.supRxOverflow_),
      supSigRing_(other.supSigRing_),
      supSigCTS_(other.supSigCTS_),
      supSigDSR_(other.supSigDSR_),
      supSigCD_(other.supSigCD_),
      supSetRTS_(other.supSetRTS_),
      supSetDTR_(other.supSetDTR_),
      supRxReadyCount_(other.supRxReadyCount_),
      supTxBufCount_(other.supTxBufCount_),
      supSetTimeoutTx_(other.supSetTimeoutTx_),
      supGetTimeoutTx_(other.supGetTimeoutTx_) {}

SerialPortLocal& SerialPortLocal::operator=(SerialPortLocal&& other) noexcept {
  if (this != &other) {
    try {
      close();
    } catch (...) {
    }
    SerialPortLocal moved(std::move(other));
    std::swap(driver_, moved.driver_);
    std::swap(nativeLib_, moved.nativeLib_);
    std::swap(port_, moved.port_);
    std::swap(isOpen_, moved.isOpen_);
    std::swap(name_, moved.name_);
    std::swap(osName_, moved.osName_);
    std::swap(devName_, moved.devName_);
    std::swap(config_, moved.config_);
    std::swap(flowControl_, moved.flowControl_);
    softGetDataTimeout_ = moved.softGetDataTimeout_;
    supSigBreak_ = moved.supSigBreak_;
    supSigFrameErr_ = moved.supSigFrameErr_;
    supSigOverrun_ = moved.supSigOverrun_;
    supSigParityErr_ = moved.supSigParityErr_;
    supRxOverflow_ = moved.supRxOverflow_;
    supSigRing_ = moved.supSigRing_;
    supSigCTS_ = moved.supSigCTS_;
    supSigDSR_ = moved.supSigDSR_;
    supSigCD_ = moved.supSigCD_;
    supSetRTS_ = moved.supSetRTS_;
    supSetDTR_ = moved.supSetDTR_;
    supRxReadyCount_ = moved.supRxReadyCount_;
    supTxBufCount_ = moved.supTxBufCount_;
    supSetTimeoutTx_ = moved.supSetTimeoutTx_;
    supGetTimeoutTx_ = moved.supGetTimeoutTx_;
  }
  return *this;
}

std::optional<std::string> SerialPortLocal::nativeLibraryFor(const std::string& osName) {
#ifdef _WIN32
  // The Win32 communications driver serves the Windows systems this build runs on.
  if (isOneOf(osName, {"Windows 95", "Windows NT", "Windows 98"})) {
    return "win32-comm";
  }
  return std::nullopt;
#else
  // The POSIX termios driver serves every system with termios and flock; systems whose
  // serial access needs a vendor library (Windows, classic Mac OS, OS/2) have none here.
  if (isOneOf(osName, {"Linux", "FreeBSD", "NetBSD", "OpenBSD", "Darwin", "SunOS", "Solaris"})) {
    return "posix-termios";
  }
  return std::nullopt;
#endif
}

void SerialPortLocal::requireSupportedPlatform(const std::string& osName) {
  if (!nativeLibraryFor(osName)) {
    std::cout << "Platform not supported\n" << std::flush;
    std::exit(1);
  }
}

void SerialPortLocal::featureSetup() {
  if (isOneOf(osName_, {"Windows 95", "Windows NT", "Windows 98", "OS/2"})) {
    supSigBreak_ = supSigFrameErr_ = supSigOverrun_ = supSigParityErr_ = true;
    supRxOverflow_ = supSigRing_ = supSigCTS_ = supSigDSR_ = supSigCD_ = true;
    supSetRTS_ = supSetDTR_ = supRxReadyCount_ = supTxBufCount_ = true;
    supSetTimeoutTx_ = supGetTimeoutTx_ = true;
    softGetDataTimeout_ = false;
    devName_ = "COM1";
  } else if (osName_ == "Mac OS") {
    supSigBreak_ = supSigFrameErr_ = supSigParityErr_ = supSigOverrun_ = true;
    supRxOverflow_ = supRxReadyCount_ = supSetTimeoutTx_ = supGetTimeoutTx_ = true;
    supSigCTS_ = supSetDTR_ = true;
    softGetDataTimeout_ = true;
    devName_ = "Modem Port";
  } else if (isOneOf(osName_, {"Linux", "FreeBSD", "Solaris", "HP/UX", "IRIX", "AIX"})) {
    supSigRing_ = supSetRTS_ = supSetDTR_ = supSigCD_ = true;
    supRxReadyCount_ = supTxBufCount_ = supSigCTS_ = supSigDSR_ = true;
    softGetDataTimeout_ = true;
    devName_ = "/dev/tty0";
    if (osName_ == "Linux") {
      devName_ = "/dev/ttyS0";
    } else if (osName_ == "Solaris") {
      devName_ = "/dev/ttya";
    }
  }
}

bool SerialPortLocal::isSupported(const std::string& feature) const {
  if (feature == "sigBreak")
    return supSigBreak_;
  if (feature == "sigFrameErr")
    return supSigFrameErr_;
  if (feature == "sigOverrun")
    return supSigOverrun_;
  if (feature == "sigParityErr")
    return supSigParityErr_;
  if (feature == "rxOverflow")
    return supRxOverflow_;
  if (feature == "sigRing")
    return supSigRing_;
  if (feature == "sigCTS")
    return supSigCTS_;
  if (feature == "sigDSR")
    return supSigDSR_;
  if (feature == "sigCD")
    return supSigCD_;
  if (feature == "setRTS")
    return supSetRTS_;
  if (feature == "setDTR")
    return supSetDTR_;
  if (feature == "rxReadyCount")
    return supRxReadyCount_;
  if (feature == "txBufCount")
    return supTxBufCount_;
  if (feature == "setTimeoutTx")
    return supSetTimeoutTx_;
  return true;
}

std::string SerialPortLocal::getName(int /*portNumber*/) const {
  return "Not implemented";
}

void SerialPortLocal::open() {
  if (osName_ == "Windows 95") {
    config_.setHardFlow(false);
  }
  const int rc = driver_->SerOpenPort(config_);
  if (rc != 0) {
    switch (rc) {
      case 1000:
        throw SerialIOError("SerOpenPort failed: Port is already open");
      case 1002:
        throw SerialIOError("SerOpenPort failed: Port is in use");
      case 1003:
        throw SerialIOError("SerOpenPort failed: Port not valid");
      default:
        throw SerialIOError("SerOpenPort failed: " + std::to_string(rc));
    }
  }
  isOpen_ = true;
  port_ = config_.getPort() - 1;
  configure(config_);
  if (osName_ == "Mac OS") {
    setTimeoutRx(2000);
    setTimeoutTx(2000);
  } else {
    setTimeoutRx(0);
    if (supSetTimeoutTx_) {
      setTimeoutTx(0);
    }
  }
}

void SerialPortLocal::configure() {
  configure(config_);
}

void SerialPortLocal::configure(const SerialConfig& config) {
  stopFlowControl();
  const int rc = driver_->SerConfigure(config);
  if (rc != 0) {
    throw SerialIOError("Configure failed: " + std::to_string(rc));
  }
  const int hs = config.getHandshake();
  if (config.getHardFlow() && osName_ == "Windows 95" &&
      (hs == SerialConfig::HS_CTSRTS || hs == SerialConfig::HS_DSRDTR) && !flowControl_) {
    flowControl_ = std::make_unique<FlowControlTask>(driver_, port_);
    flowControl_->start();
  }
}

void SerialPortLocal::stopFlowControl() {
  flowControl_.reset();
}

void SerialPortLocal::close() {
  stopFlowControl();
  if (port_ >= 0) {
    if (driver_->SerClosePort(port_) != 0) {
      throw SerialIOError("ClosePort failed");
    }
    isOpen_ = false;
    port_ = -1;
  }
}

void SerialPortLocal::reset() {
  close();
  const int rc = driver_->SerOpenPort(config_);
  if (rc != 0) {
    throw SerialIOError("reset: SerOpenPort failed: " + std::to_string(rc));
  }
  isOpen_ = true;
  port_ = config_.getPort() - 1;
  configure();
}

void SerialPortLocal::requireFlag(bool flag, const char* op) const {
  if (!flag) {
    throw SerialIOError(std::string(op) + " not supported on " + osName_);
  }
}

void SerialPortLocal::requireOpen(const char* op) const {
  if (port_ < 0) {
    throw SerialIOError(std::string(op) + ": Port not open");
  }
}

void SerialPortLocal::putByte(std::uint8_t b) {
  if (driver_->SerPutByte(port_, b) != 0) {
    throw SerialIOError("PutByte failed");
  }
}

void SerialPortLocal::sendAll(std::span<const std::uint8_t> bytes, const char* prefix) {
  const int wanted = static_cast<int>(bytes.size());
  const int sent = driver_->SerPutData(port_, bytes.data(), wanted);
  if (sent != wanted) {
    throw SerialIOError(sentOnly(prefix, sent, wanted));
  }
}

void SerialPortLocal::putString(const std::string& text) {
  if (text.empty()) {
    return;
  }
  sendAll({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
          "PutString: sent only ");
}

void SerialPortLocal::putData(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) {
    return;
  }
  sendAll(bytes, "PutData1: Sent only ");
}

void SerialPortLocal::putData(std::span<const std::uint8_t> bytes, int count) {
  if (count < 0 || static_cast<std::size_t>(count) > bytes.size()) {
    throw SerialIOError("putData: count out of bounds");
  }
  if (count == 0) {
    return;
  }
  sendAll(bytes.first(count), "PutData2: Sent only ");
}

void SerialPortLocal::putData(std::span<const std::uint8_t> bytes, int offset, int count) {
  if (offset < 0 || count < 0 ||
      static_cast<std::size_t>(offset) + static_cast<std::size_t>(count) > bytes.size()) {
    throw SerialIOError("putData3: count out of bounds");
  }
  if (count == 0) {
    return;
  }
  // The driver is given the slice in place; it only reads from it.
  sendAll(bytes.subspan(offset, count), "Sent only ");
}

bool SerialPortLocal::waitForBytes(int wanted) {
  const int timeout = driver_->SerGetTimeoutRx(port_);
  if (!softGetDataTimeout_ || timeout <= 0) {
    return true;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
  for (;;) {
    const int ready = driver_->SerRxReadyCount(port_);
    if (ready >= wanted) {
      return true;
    }
    if (ready < 0 || std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    // A short sleep rather than a bare yield keeps a waiting reader off the processor.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int SerialPortLocal::getByte() {
  requireOpen("getByte");
  if (!waitForBytes(1)) {
    return -1;
  }
  return driver_->SerGetByte(port_);
}

int SerialPortLocal::getData(std::span<std::uint8_t> bytes) {
  waitForBytes(static_cast<int>(bytes.size()));
  const int n = driver_->SerGetData(port_, bytes.data(), static_cast<int>(bytes.size()));
  if (n == -1) {
    throw SerialIOError("getData: failed");
  }
  return n;
}

int SerialPortLocal::getData(std::span<std::uint8_t> bytes, int offset, int count) {
  if (count == 0) {
    return 0;
  }
  if (offset < 0 || count < 0 ||
      static_cast<std::size_t>(offset) + static_cast<std::size_t>(count) > bytes.size()) {
    throw SerialIOError("getData: count out of bounds");
  }
  // The slice receives a fresh count-byte read: the bytes past those read are zero, so no
  // tail of an earlier, longer reply stays behind in the caller's buffer.
  const std::span<std::uint8_t> slice = bytes.subspan(offset, count);
  const int n = getData(slice);
  std::fill(slice.begin() + std::max(n, 0), slice.end(), std::uint8_t{0});
  return n;
}

void SerialPortLocal::rxFlush() {
  if (driver_->SerRxFlush(port_) == -1) {
    throw SerialIOError("rxFlush failed");
  }
}

void SerialPortLocal::txFlush() {
  if (driver_->SerTxFlush(port_) == -1) {
    throw SerialIOError("txFlush failed");
  }
}

void SerialPortLocal::txDrain() {
  if (driver_->SerTxDrain(port_) == -1) {
    throw SerialIOError("txDrain failed");
  }
}

int SerialPortLocal::rxReadyCount() {
  requireFlag(supRxReadyCount_, "rxReadyCount");
  requireOpen("rxReadyCount");
  const int n = driver_->SerRxReadyCount(port_);
  if (n == -1) {
    throw SerialIOError("rxReadyCount failed");
  }
  return n;
}

int SerialPortLocal::txBufCount() {
  requireFlag(supTxBufCount_, "txBufCount");
  requireOpen("txBufCount");
  const int n = driver_->SerTxBufCount(port_);
  if (n == -1) {
    throw SerialIOError("txBufCount failed");
  }
  return n;
}

bool SerialPortLocal::signal(bool flag, const char* op, int (SerialDriver::*call)(int),
                             const char* failure) {
  requireFlag(flag, op);
  requireOpen(op);
  const int r = (driver_.get()->*call)(port_);
  if (failure != nullptr && r == -1) {
    throw SerialIOError(failure);
  }
  return r == 1;
}

bool SerialPortLocal::rxOverflow() {
  return signal(supRxOverflow_, "rxOverflow", &SerialDriver::SerRxOverflow, "rxOverflow failed");
}

bool SerialPortLocal::sigCD() {
  return signal(supSigCD_, "sigCD", &SerialDriver::SerSigCD, "sigCD failed");
}

bool SerialPortLocal::sigFrameErr() {
  return signal(supSigFrameErr_, "sigFrameErr", &SerialDriver::SerSigFrameErr,
                "sigFrameErr failed");
}

bool SerialPortLocal::sigOverrun() {
  return signal(supSigOverrun_, "sigOverrun", &SerialDriver::SerSigOverrun, "sigOverrun failed");
}

bool SerialPortLocal::sigBreak() {
  return signal(supSigBreak_, "sigBreak", &SerialDriver::SerSigBreak, "sigBreak failed");
}

bool SerialPortLocal::sigParityErr() {
  return signal(supSigParityErr_, "sigParityErr", &SerialDriver::SerSigParityErr, nullptr);
}

bool SerialPortLocal::sigRing() {
  return signal(supSigRing_, "sigRing", &SerialDriver::SerSigRing, nullptr);
}

bool SerialPortLocal::sigDSR() {
  return signal(true, "sigDSR", &SerialDriver::SerSigDSR, "sigDSR failed");
}

bool SerialPortLocal::sigCTS() {
  return signal(true, "sigCTS", &SerialDriver::SerSigCTS, "sigCTS failed");
}

void SerialPortLocal::setDTR(bool on) {
  requireFlag(supSetDTR_, "setDTR");
  if (driver_->SerSetDTR(port_, on) == -1) {
    throw SerialIOError("setDTR failed");
  }
}

void SerialPortLocal::setRTS(bool on) {
  requireFlag(supSetRTS_, "setRts");
  if (driver_->SerSetRTS(port_, on) == -1) {
    throw SerialIOError("setRTS failed");
  }
}

void SerialPortLocal::sendBreak(int duration) {
  if (driver_->SerSendBreak(port_, duration) == -1) {
    throw SerialIOError("sendBreak failed");
  }
}

int SerialPortLocal::getTimeoutRx() {
  return driver_->SerGetTimeoutRx(port_);
}

int SerialPortLocal::getTimeoutTx() {
  return driver_->SerGetTimeoutTx(port_);
}

void SerialPortLocal::setTimeoutRx(int ms) {
  if (driver_->SerSetTimeoutRx(port_, ms) == -1) {
    throw SerialIOError("setTimeoutRx failed");
  }
}

void SerialPortLocal::setTimeoutTx(int ms) {
  if (driver_->SerSetTimeoutTx(port_, ms) == -1) {
    throw SerialIOError("setTimeoutTx failed");
  }
}

int SerialPortLocal::getLibVer() {
  return driver_->SerGetLibVer();
}

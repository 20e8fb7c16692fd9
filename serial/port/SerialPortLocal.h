#pragma once

#include <memory>
#include <optional>
#include <string>

#include "serial/port/FlowControlTask.h"
#include "serial/port/SerialConfig.h"
#include "serial/port/SerialDriver.h"
#include "serial/port/SerialPort.h"

// The serial port on top of a native port driver. Made from a configuration it opens the port
// at once and keeps it open until close() or destruction. Which operations the platform offers
// is decided by the operating system's name (featureSetup); asking for one it lacks throws
// "<operation> not supported on <system>". Move-only: it owns the open port.
class SerialPortLocal : public SerialPort {
 public:
  // Opens the port the configuration names. A null driver selects the platform's own driver
  // (the POSIX termios driver, or the Win32 one on Windows); on a platform without one the
  // process ends (status 1).
  SerialPortLocal(const SerialConfig& config, std::shared_ptr<SerialDriver> driver);
  // Same, with the operating system's name given instead of read from the system.
  SerialPortLocal(const SerialConfig& config, std::shared_ptr<SerialDriver> driver,
                  const std::string& osName);
  // No port opened; the configuration names the platform's default device.
  explicit SerialPortLocal(std::shared_ptr<SerialDriver> driver);
  SerialPortLocal(std::shared_ptr<SerialDriver> driver, const std::string& osName);
  ~SerialPortLocal() override;

  SerialPortLocal(const SerialPortLocal&) = delete;
  SerialPortLocal& operator=(const SerialPortLocal&) = delete;
  SerialPortLocal(SerialPortLocal&& other) noexcept;
  SerialPortLocal& operator=(SerialPortLocal&& other) noexcept;

  void open();
  // Applies the kept configuration again.
  void configure();
  // Closes the port and opens it again with the kept configuration.
  void reset();
  bool isOpen() const { return isOpen_; }
  std::string getName(int portNumber) const;
  void featureSetup();
  // Whether the named operation is offered here; names without a support flag answer true.
  bool isSupported(const std::string& feature) const;

  // These read or change the kept configuration only; the open port keeps its settings until
  // configure() is called.
  void setPortName(const std::string& name) { config_.setPortName(name); }
  std::string getPortName() const { return config_.getPortName(); }
  void setBitRate(int code) { config_.setBitRate(code); }
  int getBitRate() const { return config_.getBitRate(); }
  void setDataBits(int code) { config_.setDataBits(code); }
  int getDataBits() const { return config_.getDataBits(); }
  void setStopBits(int code) { config_.setStopBits(code); }
  int getStopBits() const { return config_.getStopBits(); }
  void setParity(int code) { config_.setParity(code); }
  int getParity() const { return config_.getParity(); }
  void setHandshake(int code) { config_.setHandshake(code); }
  int getHandshake() const { return config_.getHandshake(); }

  std::string getOsName() const { return osName_; }
  std::string getDevName() const { return devName_; }
  std::string getNativeLib() const { return nativeLib_; }
  bool getSoftGetDataTimeout() const { return softGetDataTimeout_; }
  bool hasFlowControl() const { return flowControl_ != nullptr; }

  // The driver that stands in for the native library on the named system, if there is one.
  static std::optional<std::string> nativeLibraryFor(const std::string& osName);
  // Prints "Platform not supported" and ends the process with status 1 when the named system
  // has no driver.
  static void requireSupportedPlatform(const std::string& osName);

  // SerialPort
  void setConfig(const SerialConfig& config) override { config_ = config; }
  SerialConfig getConfig() const override { return config_; }
  void configure(const SerialConfig& config) override;
  void close() override;
  void putByte(std::uint8_t b) override;
  void putString(const std::string& text) override;
  void putData(std::span<const std::uint8_t> bytes) override;
  void putData(std::span<const std::uint8_t> bytes, int count) override;
  void putData(std::span<const std::uint8_t> bytes, int offset, int count) override;
  int getByte() override;
  int getData(std::span<std::uint8_t> bytes) override;
  int getData(std::span<std::uint8_t> bytes, int offset, int count) override;
  void rxFlush() override;
  void txFlush() override;
  void txDrain() override;
  int rxReadyCount() override;
  int txBufCount() override;
  bool rxOverflow() override;
  bool sigDSR() override;
  bool sigCTS() override;
  bool sigCD() override;
  bool sigFrameErr() override;
  bool sigOverrun() override;
  bool sigParityErr() override;
  bool sigRing() override;
  bool sigBreak() override;
  void setDTR(bool on) override;
  void setRTS(bool on) override;
  void sendBreak(int duration) override;
  int getTimeoutRx() override;
  int getTimeoutTx() override;
  void setTimeoutRx(int ms) override;
  void setTimeoutTx(int ms) override;
  int getLibVer() override;
  int getPortNum() const override { return port_; }
  void setName(const std::string& name) override { name_ = name; }
  std::string getName() const override { return name_; }

 private:
  void init(std::shared_ptr<SerialDriver> driver, const std::string& osName);
  void stopFlowControl();
  void requireFlag(bool flag, const char* op) const;
  void requireOpen(const char* op) const;
  void sendAll(std::span<const std::uint8_t> bytes, const char* prefix);
  // Waits until the driver reports `wanted` bytes ready or its receive time-out passes.
  bool waitForBytes(int wanted);
  bool signal(bool flag, const char* op, int (SerialDriver::*call)(int), const char* failure);

  std::shared_ptr<SerialDriver> driver_;
  std::string nativeLib_;
  int port_ = -1;
  bool isOpen_ = false;
  std::string name_ = "Serial Port";
  std::string osName_;
  std::string devName_;
  SerialConfig config_;
  std::unique_ptr<FlowControlTask> flowControl_;
  bool softGetDataTimeout_ = false;
  bool supSigBreak_ = false;
  bool supSigFrameErr_ = false;
  bool supSigOverrun_ = false;
  bool supSigParityErr_ = false;
  bool supRxOverflow_ = false;
  bool supSigRing_ = false;
  bool supSigCTS_ = false;
  bool supSigDSR_ = false;
  bool supSigCD_ = false;
  bool supSetRTS_ = false;
  bool supSetDTR_ = false;
  bool supRxReadyCount_ = false;
  bool supTxBufCount_ = false;
  bool supSetTimeoutTx_ = false;
  bool supGetTimeoutTx_ = false;
};

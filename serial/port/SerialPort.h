#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "serial/port/SerialConfig.h"

// A serial port as an object. Every failure of the port throws SerialIOError with one of the
// port layer's fixed texts. The port takes no locks: its user serialises access.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual void setConfig(const SerialConfig& config) = 0;
  virtual SerialConfig getConfig() const = 0;
  virtual void configure(const SerialConfig& config) = 0;
  virtual void close() = 0;

  virtual void putByte(std::uint8_t b) = 0;
  virtual void putString(const std::string& text) = 0;
  virtual void putData(std::span<const std::uint8_t> bytes) = 0;
  virtual void putData(std::span<const std::uint8_t> bytes, int count) = 0;
  virtual void putData(std::span<const std::uint8_t> bytes, int offset, int count) = 0;

  // The next byte as 0 to 255, or -1 when none is waiting.
  virtual int getByte() = 0;
  // Fills the start of bytes with what is waiting; answers the count (0 when nothing waits).
  virtual int getData(std::span<std::uint8_t> bytes) = 0;
  virtual int getData(std::span<std::uint8_t> bytes, int offset, int count) = 0;

  virtual void rxFlush() = 0;
  virtual void txFlush() = 0;
  virtual void txDrain() = 0;
  virtual int rxReadyCount() = 0;
  virtual int txBufCount() = 0;
  virtual bool rxOverflow() = 0;

  virtual bool sigDSR() = 0;
  virtual bool sigCTS() = 0;
  virtual bool sigCD() = 0;
  virtual bool sigFrameErr() = 0;
  virtual bool sigOverrun() = 0;
  virtual bool sigParityErr() = 0;
  virtual bool sigRing() = 0;
  virtual bool sigBreak() = 0;

  virtual void setDTR(bool on) = 0;
  virtual void setRTS(bool on) = 0;
  virtual void sendBreak(int duration) = 0;

  virtual int getTimeoutRx() = 0;
  virtual int getTimeoutTx() = 0;
  virtual void setTimeoutRx(int ms) = 0;
  virtual void setTimeoutTx(int ms) = 0;

  virtual int getLibVer() = 0;
  // The driver handle while open, -1 while closed.
  virtual int getPortNum() const = 0;
  virtual void setName(const std::string& name) = 0;
  virtual std::string getName() const = 0;
};

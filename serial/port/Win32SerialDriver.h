#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "serial/port/SerialConfig.h"
#include "serial/port/SerialDriver.h"

// The serial driver for Windows: the communications functions of the Win32 API on a port
// opened without sharing. Ports are named "COMn" (any letter case), by a device path such as
// "\\.\COM12", or by the configuration's number (port n is COMn). Opening a port another
// program holds answers 1002. The line settings found at open are put back at close.
// Reads answer at once with what is waiting (or wait the receive time-out for the first byte);
// a write gives up after the time a full write takes at the line's rate plus at most
// kMaxWriteStallMs. Line errors the system reports are kept until asked for, each condition
// answering 1 once per occurrence. Safe to call from several threads; the table of open ports
// is locked, and the system serialises calls on one port handle.
class Win32SerialDriver : public SerialDriver {
 public:
  static constexpr int kLibVersion = 100;
  static constexpr int kMaxWriteStallMs = 500;
  // Open codes of the driver contract.
  static constexpr int kAlreadyOpen = 1000;
  static constexpr int kInUse = 1002;
  static constexpr int kNotValid = 1003;

  Win32SerialDriver();
  ~Win32SerialDriver() override;
  Win32SerialDriver(const Win32SerialDriver&) = delete;
  Win32SerialDriver& operator=(const Win32SerialDriver&) = delete;

  // The device path the configuration names ("\\.\COM3"); empty when it names none.
  static std::string deviceName(const SerialConfig& config);

  int SerOpenPort(SerialConfig& config) override;
  int SerConfigure(const SerialConfig& config) override;
  int SerClosePort(int handle) override;
  int SerPutByte(int handle, std::uint8_t b) override;
  int SerPutData(int handle, const std::uint8_t* data, int count) override;
  int SerGetByte(int handle) override;
  int SerGetData(int handle, std::uint8_t* data, int count) override;
  int SerRxReadyCount(int handle) override;
  int SerTxBufCount(int handle) override;
  int SerSigDSR(int handle) override;
  int SerSigCTS(int handle) override;
  int SerSigCD(int handle) override;
  int SerSigRing(int handle) override;
  int SerSigBreak(int handle) override;
  int SerSigFrameErr(int handle) override;
  int SerSigOverrun(int handle) override;
  int SerSigParityErr(int handle) override;
  int SerRxOverflow(int handle) override;
  int SerSetDTR(int handle, bool on) override;
  int SerSetRTS(int handle, bool on) override;
  int SerSendBreak(int handle, int duration) override;
  int SerRxFlush(int handle) override;
  int SerTxFlush(int handle) override;
  int SerTxDrain(int handle) override;
  int SerSetTimeoutRx(int handle, int ms) override;
  int SerSetTimeoutTx(int handle, int ms) override;
  int SerGetTimeoutRx(int handle) override;
  int SerGetTimeoutTx(int handle) override;
  int SerGetLibVer() override;
  int SerFlowTask(int handle) override;

 private:
  // One open port; its Win32 types stay in the implementation file.
  struct Slot;

  // The port's handle (a Win32 HANDLE), or null when the handle names no open port.
  void* portOf(int handle);
  // Queue sizes and pending line errors; false when the port is not open or has failed.
  bool status(int handle, unsigned long* inQueue, unsigned long* outQueue);
  // 1 when the error flag was reported since the last question about it, else 0; -1 on failure.
  int errorSeen(int handle, unsigned long flag);
  int modemBit(int handle, unsigned long bit);
  int escape(int handle, unsigned long function);
  // Applies the slot's time-outs to its port; false on failure. The lock is held.
  bool applyTimeouts(Slot& slot);

  std::mutex mu_;
  std::map<int, std::unique_ptr<Slot>> slots_;
};

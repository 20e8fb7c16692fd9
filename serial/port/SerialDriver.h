#pragma once

#include <cstdint>

class SerialConfig;

// The native port driver below the port layer: one call per driver entry. Every call but open
// and configure takes the port handle (the port number counting from 1, less one). All return
// an integer as the driver contract gives it (0 success / -1 failure / a count / a code).
// Implementations: the POSIX termios driver, the in-process deck emulator, and test fakes.
class SerialDriver {
 public:
  virtual ~SerialDriver() = default;

  // 0 on success, else 1000 (already open), 1002 (in use), 1003 (not valid) or another code.
  // On success the configuration's port number holds the port's number counting from 1.
  virtual int SerOpenPort(SerialConfig& config) = 0;
  virtual int SerConfigure(const SerialConfig& config) = 0;
  virtual int SerClosePort(int handle) = 0;
  virtual int SerPutByte(int handle, std::uint8_t b) = 0;
  virtual int SerPutData(int handle, const std::uint8_t* data, int count) = 0;
  virtual int SerGetByte(int handle) = 0;
  virtual int SerGetData(int handle, std::uint8_t* data, int count) = 0;
  virtual int SerRxReadyCount(int handle) = 0;
  virtual int SerTxBufCount(int handle) = 0;
  virtual int SerSigDSR(int handle) = 0;
  virtual int SerSigCTS(int handle) = 0;
  virtual int SerSigCD(int handle) = 0;
  virtual int SerSigRing(int handle) = 0;
  virtual int SerSigBreak(int handle) = 0;
  virtual int SerSigFrameErr(int handle) = 0;
  virtual int SerSigOverrun(int handle) = 0;
  virtual int SerSigParityErr(int handle) = 0;
  virtual int SerRxOverflow(int handle) = 0;
  virtual int SerSetDTR(int handle, bool on) = 0;
  virtual int SerSetRTS(int handle, bool on) = 0;
  virtual int SerSendBreak(int handle, int duration) = 0;
  virtual int SerRxFlush(int handle) = 0;
  virtual int SerTxFlush(int handle) = 0;
  virtual int SerTxDrain(int handle) = 0;
  virtual int SerSetTimeoutRx(int handle, int ms) = 0;
  virtual int SerSetTimeoutTx(int handle, int ms) = 0;
  virtual int SerGetTimeoutRx(int handle) = 0;
  virtual int SerGetTimeoutTx(int handle) = 0;
  virtual int SerGetLibVer() = 0;
  // One pass of driver-assisted flow control; called again at once when it returns.
  virtual int SerFlowTask(int handle) = 0;
};

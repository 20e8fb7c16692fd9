#include "serial/SerOutPort.h"

#include <chrono>
#include <exception>
#include <iostream>
#include <thread>
#include <utility>

#include "serial/port/SerialIOError.h"

namespace {

// One whole line per call, so lines of different threads do not mix in the log.
void outLine(const std::string& text) {
  std::cout << (text + "\n") << std::flush;
}

}  // namespace

SerOutPort::SerOutPort(const std::string& portName, std::shared_ptr<SerialDriver> driver)
    : driver_(driver) {
  try {
    serCfg_ = SerialConfig(portName);
    serCfg_.setBitRate(SerialConfig::BR_38400);
    serCfg_.setDataBits(SerialConfig::LN_8BITS);
    serCfg_.setStopBits(SerialConfig::ST_1BITS);
    serCfg_.setParity(SerialConfig::PY_ODD);
    serCfg_.setHandshake(SerialConfig::HS_NONE);
    serCfg_.setHardFlow(false);
    serCfg_.setTxLen(txBuf);
    serCfg_.setRxLen(rxBuf);
    serialPort_ = std::make_unique<SerialPortLocal>(serCfg_, std::move(driver));
  } catch (const std::exception&) {
    // Any failure to open (no such port, in use, refused settings) leaves the link without a
    // port; the creator tests isBad().
    outLine(" ");
    outLine("Serial Port " + portName + " not available");
    noCOM_ = true;
    bad_ = true;
    return;
  }
  hasPort_ = true;
  openStepsLocked();
}

void SerOutPort::openStepsLocked() {
  try {
    serialPort_->setDTR(true);
  } catch (const std::exception&) {
    outLine("Unable to set DTR");
    noCOM_ = true;
  }
  try {
    serialPort_->setRTS(true);
  } catch (const std::exception&) {
    outLine("Unable to set RTS");
    noCOM_ = true;
  }
  try {
    serialOutStream_.emplace(*serialPort_);
    hasOutStream_ = true;
  } catch (const std::exception&) {
    outLine("Unable to make OutputStream");
    noCOM_ = true;
  }
  try {
    serialInStream_.emplace(*serialPort_);
  } catch (const std::exception&) {
    outLine("Unable to make InputStream");
    noCOM_ = true;
  }
}

SerOutPort::~SerOutPort() {
  closeLocked();
}

void SerOutPort::closeLocked() {
  // The streams refer to the port: drop them before the port closes.
  hasOutStream_ = false;
  serialInStream_.reset();
  serialOutStream_.reset();
  serialPort_.reset();
}

void SerOutPort::recoverLocked() {
  if (!hasPort_) {
    return;  // never opened: the creator gave up on this link
  }
  const auto now = Clock::now();
  if (!lost_ && failingSince_ && now - *failingSince_ >= kLostAfter) {
    closeLocked();
    lost_ = true;
    losses_.fetch_add(1);
    lastAttempt_ = now;
    outLine("Serial Port " + serCfg_.getPortName() + " lost; trying to open it again every second");
    return;
  }
  if (!lost_ || now - lastAttempt_ < kRetryEvery) {
    return;
  }
  lastAttempt_ = now;
  try {
    serialPort_ = std::make_unique<SerialPortLocal>(serCfg_, driver_);
  } catch (const std::exception&) {
    return;  // not back yet; the next attempt is a second away
  }
  lost_ = false;
  failingSince_.reset();
  writeFailing_ = false;
  openStepsLocked();
  outLine("Serial Port " + serCfg_.getPortName() + " Opened OK");
}

void SerOutPort::noteResultLocked(bool failed) {
  if (!failed) {
    failingSince_.reset();
  } else if (!failingSince_ && serialOutStream_) {
    // Only a port that was working counts: a link without an output stream is not "lost".
    failingSince_ = Clock::now();
  }
}

SerialReply SerOutPort::SendSerial(std::span<const std::uint8_t> command) {
  std::lock_guard lock(mu_);
  recoverLocked();
  serin_.fill(0);
  serError_ = 0;
  if (!sendLocked(command)) {
    noteResultLocked(true);
    return SerialReply{};
  }
  const int ms = wait_;
  if (ms > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  readLocked();
  noteResultLocked(serError_ == 2);
  return replyLocked();
}

bool SerOutPort::SendSer(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mu_);
  return sendLocked(bytes);
}

SerialReply SerOutPort::ReadSer() {
  std::lock_guard lock(mu_);
  readLocked();
  return replyLocked();
}

bool SerOutPort::sendLocked(std::span<const std::uint8_t> bytes) {
  try {
    if (!serialOutStream_) {
      throw SerialIOError("Port not open");
    }
    serialOutStream_->write(bytes);
  } catch (const std::exception&) {
    // A port that has gone away fails every exchange of the polling thread, 30 times a second;
    // the line is written once per run of failures so the log does not grow without end.
    if (!writeFailing_) {
      outLine("Unable to write to Serial Port");
    }
    writeFailing_ = true;
    serError_ = 1;
    return false;
  }
  writeFailing_ = false;
  return true;
}

void SerOutPort::readLocked() {
  numBytes_ = 0;
  if (!serialInStream_) {
    return;
  }
  try {
    // A peer that never stops sending must not hold the link: after a receive buffer's worth
    // the rest waits for the next read.
    int total = 0;
    while (total < rxBuf && serialInStream_->available() > 0) {
      const int n = serialInStream_->read(serin_, 0, buffersize);
      numBytes_ = n;
      total += n;
    }
  } catch (const std::exception&) {
    serError_ = 2;
  }
}

SerialReply SerOutPort::replyLocked() const {
  SerialReply reply;
  reply.bytes = serin_;
  reply.count = numBytes_;
  return reply;
}

#include "serial/port/PosixSerialDriver.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>

#include "serial/port/PortName.h"

namespace {

speed_t speedFor(int code) {
  switch (code) {
    case SerialConfig::BR_110:
      return B110;
    case SerialConfig::BR_150:
      return B150;
    case SerialConfig::BR_300:
      return B300;
    case SerialConfig::BR_600:
      return B600;
    case SerialConfig::BR_1200:
      return B1200;
    case SerialConfig::BR_2400:
      return B2400;
    case SerialConfig::BR_4800:
      return B4800;
    case SerialConfig::BR_9600:
      return B9600;
    case SerialConfig::BR_19200:
      return B19200;
    case SerialConfig::BR_38400:
      return B38400;
    case SerialConfig::BR_57600:
      return B57600;
    case SerialConfig::BR_115200:
      return B115200;
    default:
      return B0;
  }
}

tcflag_t sizeFor(int code) {
  switch (code) {
    case SerialConfig::LN_5BITS:
      return CS5;
    case SerialConfig::LN_6BITS:
      return CS6;
    case SerialConfig::LN_7BITS:
      return CS7;
    default:
      return CS8;
  }
}

int failureCode() {
  return errno != 0 ? errno : 1;
}

}  // namespace

PosixSerialDriver::PosixSerialDriver(std::shared_ptr<PosixCalls> calls)
    : sys_(calls ? std::move(calls) : std::make_shared<PosixCalls>()) {}

PosixSerialDriver::~PosixSerialDriver() {
  std::lock_guard lock(mu_);
  for (auto& [handle, slot] : slots_) {
    closeSlot(slot);
  }
  slots_.clear();
}

std::string PosixSerialDriver::deviceName(const SerialConfig& config) {
  const std::string name = config.getPortName();
  if (!name.empty() && name[0] != '\0') {
    if (const int n = PortName::comNumber(name); n > 0) {
      return "/dev/ttyS" + std::to_string(n - 1);
    }
    return name;
  }
  if (config.getPort() > 0 && !config.getBaseName().empty()) {
    return config.getBaseName() + std::to_string(config.getPort() - 1);
  }
  return {};
}

int PosixSerialDriver::SerOpenPort(SerialConfig& config) {
  const std::string path = deviceName(config);
  if (path.empty()) {
    return kNotValid;
  }
  std::lock_guard lock(mu_);
  for (const auto& [handle, slot] : slots_) {
    if (slot.path == path) {
      return kAlreadyOpen;
    }
  }
  errno = 0;
  const int fd = sys_->open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    switch (errno) {
      case ENOENT:
      case ENODEV:
      case ENXIO:
      case ENOTDIR:
        return kNotValid;
      case EBUSY:
        return kInUse;
      default:
        return failureCode();
    }
  }
  errno = 0;
  if (sys_->flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int code = errno == EWOULDBLOCK ? kInUse : failureCode();
    sys_->close(fd);
    return code;
  }
  Slot slot;
  slot.fd = fd;
  slot.path = path;
  slot.timeoutTx = std::numeric_limits<int>::max();
  if (sys_->tcgetattr(fd, &slot.saved) != 0) {
    // Not a terminal device at all.
    sys_->close(fd);
    return kNotValid;
  }
  // Numbered ports keep their number as handle, so the record still names the same device
  // when it is opened again; named ones take the first free handle.
  int handle = 0;
  const int wanted =
      config.getPortName().empty() ? config.getPort() - 1 : PortName::comNumber(path) - 1;
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

int PosixSerialDriver::SerConfigure(const SerialConfig& config) {
  termios t{};
  int fd = -1;
  {
    std::lock_guard lock(mu_);
    auto it = slots_.find(config.getPort() - 1);
    if (it == slots_.end()) {
      return kNotValid;
    }
    fd = it->second.fd;
    t = it->second.saved;
  }
  cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD | sizeFor(config.getDataBits());
  if (config.getParity() == SerialConfig::PY_ODD) {
    t.c_cflag |= PARENB | PARODD;
  } else if (config.getParity() == SerialConfig::PY_EVEN) {
    t.c_cflag |= PARENB;
  }
  if (config.getStopBits() == SerialConfig::ST_2BITS) {
    t.c_cflag |= CSTOPB;
  }
  const int hs = config.getHandshake();
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (hs == SerialConfig::HS_CTSRTS ||
      (hs & (SerialConfig::HS_HARD_IN | SerialConfig::HS_HARD_OUT)) != 0) {
    t.c_cflag |= CRTSCTS;
  }
  if (hs == SerialConfig::HS_XONXOFF || (hs & SerialConfig::HS_SOFT_IN) != 0) {
    t.c_iflag |= IXOFF;
  }
  if (hs == SerialConfig::HS_XONXOFF || (hs & SerialConfig::HS_SOFT_OUT) != 0) {
    t.c_iflag |= IXON;
  }
  // Reads never block in the kernel: the driver answers with what is waiting.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  const speed_t speed = speedFor(config.getBitRate());
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  errno = 0;
  if (sys_->tcsetattr(fd, TCSANOW, &t) != 0) {
    return failureCode();
  }
  return 0;
}

void PosixSerialDriver::closeSlot(Slot& slot) {
  if (slot.fd < 0) {
    return;
  }
  // Errors are of no use here: a vanished device refuses its old settings too.
  sys_->tcsetattr(slot.fd, TCSANOW, &slot.saved);
  sys_->flock(slot.fd, LOCK_UN);
  sys_->close(slot.fd);
  slot.fd = -1;
}

int PosixSerialDriver::SerClosePort(int handle) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return -1;
  }
  closeSlot(it->second);
  slots_.erase(it);
  return 0;
}

int PosixSerialDriver::fdOf(int handle) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  return it == slots_.end() ? -1 : it->second.fd;
}

bool PosixSerialDriver::vanished(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (sys_->poll(&p, 1, 0) < 0) {
    return errno != EINTR;
  }
  return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int PosixSerialDriver::SerPutByte(int handle, std::uint8_t b) {
  return SerPutData(handle, &b, 1) == 1 ? 0 : -1;
}

int PosixSerialDriver::SerPutData(int handle, const std::uint8_t* data, int count) {
  int timeout = 0;
  int fd = -1;
  {
    std::lock_guard lock(mu_);
    auto it = slots_.find(handle);
    if (it == slots_.end()) {
      return -1;
    }
    fd = it->second.fd;
    timeout = it->second.timeoutTx;
  }
  if (count <= 0) {
    return 0;
  }
  // However long the caller would wait, a line that takes nothing for this long is stuck.
  const int stallMs = std::min(timeout, kMaxWriteStallMs);
  int sent = 0;
  while (sent < count) {
    const ssize_t n = sys_->write(fd, data + sent, static_cast<size_t>(count - sent));
    if (n > 0) {
      sent += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      return sent > 0 ? sent : -1;
    }
    if (stallMs <= 0) {
      break;
    }
    pollfd p{fd, POLLOUT, 0};
    const int r = sys_->poll(&p, 1, stallMs);
    if (r < 0 && errno == EINTR) {
      continue;
    }
    if (r <= 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      break;
    }
  }
  return sent;
}

int PosixSerialDriver::SerGetByte(int handle) {
  std::uint8_t b = 0;
  return SerGetData(handle, &b, 1) == 1 ? b : -1;
}

int PosixSerialDriver::SerGetData(int handle, std::uint8_t* data, int count) {
  int timeout = 0;
  int fd = -1;
  {
    std::lock_guard lock(mu_);
    auto it = slots_.find(handle);
    if (it == slots_.end()) {
      return -1;
    }
    fd = it->second.fd;
    timeout = it->second.timeoutRx;
  }
  if (count <= 0) {
    return 0;
  }
  bool waited = false;
  for (;;) {
    const ssize_t n = sys_->read(fd, data, static_cast<size_t>(count));
    if (n > 0) {
      return static_cast<int>(n);
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      return -1;
    }
    // Nothing read: either nothing is waiting or the device hung up (a read of 0 bytes on a
    // terminal after hang-up looks the same as an empty queue, poll tells them apart).
    if (vanished(fd)) {
      return -1;
    }
    if (waited || timeout <= 0) {
      return 0;
    }
    pollfd p{fd, POLLIN, 0};
    sys_->poll(&p, 1, timeout);
    waited = true;
  }
}

int PosixSerialDriver::SerRxReadyCount(int handle) {
  const int fd = fdOf(handle);
  int n = 0;
  if (fd < 0 || sys_->ioctl(fd, FIONREAD, &n) != 0) {
    return -1;
  }
  return n;
}

int PosixSerialDriver::SerTxBufCount(int handle) {
  const int fd = fdOf(handle);
  int n = 0;
  if (fd < 0 || sys_->ioctl(fd, TIOCOUTQ, &n) != 0) {
    return -1;
  }
  return n;
}

int PosixSerialDriver::modemBit(int handle, int bit) {
  const int fd = fdOf(handle);
  int lines = 0;
  if (fd < 0 || sys_->ioctl(fd, TIOCMGET, &lines) != 0) {
    return -1;
  }
  return (lines & bit) != 0 ? 1 : 0;
}

int PosixSerialDriver::setModemBit(int handle, int bit, bool on) {
  const int fd = fdOf(handle);
  if (fd < 0 || sys_->ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) != 0) {
    return -1;
  }
  return 0;
}

int PosixSerialDriver::counterRose(int handle, Counter which) {
#ifdef TIOCGICOUNT
  const int fd = fdOf(handle);
  serial_icounter_struct counts{};
  if (fd < 0 || sys_->ioctl(fd, TIOCGICOUNT, &counts) != 0) {
    return -1;
  }
  const std::array<long, kCounters> now{counts.brk, counts.frame, counts.overrun, counts.parity,
                                        counts.buf_overrun};
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return -1;
  }
  // The kernel counts events since the device was set up; a condition is present when its
  // count rose since the last question about it.
  const bool rose = now[which] != it->second.seen[which];
  it->second.seen[which] = now[which];
  return rose ? 1 : 0;
#else
  (void)handle;
  (void)which;
  return -1;
#endif
}

int PosixSerialDriver::SerSigDSR(int handle) {
  return modemBit(handle, TIOCM_DSR);
}
int PosixSerialDriver::SerSigCTS(int handle) {
  return modemBit(handle, TIOCM_CTS);
}
int PosixSerialDriver::SerSigCD(int handle) {
  return modemBit(handle, TIOCM_CAR);
}
int PosixSerialDriver::SerSigRing(int handle) {
  return modemBit(handle, TIOCM_RNG);
}
int PosixSerialDriver::SerSigBreak(int handle) {
  return counterRose(handle, kBreak);
}
int PosixSerialDriver::SerSigFrameErr(int handle) {
  return counterRose(handle, kFrame);
}
int PosixSerialDriver::SerSigOverrun(int handle) {
  return counterRose(handle, kOverrun);
}
int PosixSerialDriver::SerSigParityErr(int handle) {
  return counterRose(handle, kParity);
}
int PosixSerialDriver::SerRxOverflow(int handle) {
  return counterRose(handle, kBufOverrun);
}

int PosixSerialDriver::SerSetDTR(int handle, bool on) {
  return setModemBit(handle, TIOCM_DTR, on);
}

int PosixSerialDriver::SerSetRTS(int handle, bool on) {
  return setModemBit(handle, TIOCM_RTS, on);
}

int PosixSerialDriver::SerSendBreak(int handle, int duration) {
  // The duration is in milliseconds; the system rounds it up to tenths of a second, and 0
  // gives its standard break of a quarter to half a second.
  const int fd = fdOf(handle);
  if (fd < 0 || sys_->tcsendbreak(fd, std::max(duration, 0)) != 0) {
    return -1;
  }
  return 0;
}

int PosixSerialDriver::SerRxFlush(int handle) {
  const int fd = fdOf(handle);
  return fd < 0 || sys_->tcflush(fd, TCIFLUSH) != 0 ? -1 : 0;
}

int PosixSerialDriver::SerTxFlush(int handle) {
  const int fd = fdOf(handle);
  return fd < 0 || sys_->tcflush(fd, TCOFLUSH) != 0 ? -1 : 0;
}

int PosixSerialDriver::SerTxDrain(int handle) {
  const int fd = fdOf(handle);
  if (fd < 0) {
    return -1;
  }
  int r = 0;
  do {
    r = sys_->tcdrain(fd);
  } while (r != 0 && errno == EINTR);
  return r != 0 ? -1 : 0;
}

int PosixSerialDriver::SerSetTimeoutRx(int handle, int ms) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return -1;
  }
  it->second.timeoutRx = std::max(ms, 0);
  return 0;
}

int PosixSerialDriver::SerSetTimeoutTx(int handle, int ms) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  if (it == slots_.end()) {
    return -1;
  }
  it->second.timeoutTx = std::max(ms, 0);
  return 0;
}

int PosixSerialDriver::SerGetTimeoutRx(int handle) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  return it == slots_.end() ? -1 : it->second.timeoutRx;
}

int PosixSerialDriver::SerGetTimeoutTx(int handle) {
  std::lock_guard lock(mu_);
  auto it = slots_.find(handle);
  return it == slots_.end() ? -1 : it->second.timeoutTx;
}

int PosixSerialDriver::SerGetLibVer() {
  return kLibVersion;
}

int PosixSerialDriver::SerFlowTask(int handle) {
  // The kernel moves the handshake lines itself; a pass only keeps the caller's loop from
  // spinning, and lets it notice a stop request several times a second.
  if (fdOf(handle) < 0) {
    return -1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return 0;
}

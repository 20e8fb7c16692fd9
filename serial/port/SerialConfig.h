#pragma once

#include <string>

// The settings of one serial port: which port, its buffer sizes and its line settings as the
// driver's integer codes. Setters refuse values the driver does not know with
// std::invalid_argument, before anything reaches the driver.
class SerialConfig {
 public:
  // Bit rates.
  static constexpr int BR_110 = 0;
  static constexpr int BR_150 = 1;
  static constexpr int BR_300 = 2;
  static constexpr int BR_600 = 3;
  static constexpr int BR_1200 = 4;
  static constexpr int BR_2400 = 5;
  static constexpr int BR_4800 = 6;
  static constexpr int BR_9600 = 7;
  static constexpr int BR_19200 = 8;
  static constexpr int BR_38400 = 9;
  static constexpr int BR_57600 = 10;
  static constexpr int BR_115200 = 11;
  // Parity.
  static constexpr int PY_NONE = 0;
  static constexpr int PY_ODD = 1;
  static constexpr int PY_EVEN = 2;
  static constexpr int PY_MARK = 3;
  // Data bits.
  static constexpr int LN_5BITS = 0;
  static constexpr int LN_6BITS = 1;
  static constexpr int LN_7BITS = 2;
  static constexpr int LN_8BITS = 3;
  // Stop bits.
  static constexpr int ST_1BITS = 0;
  static constexpr int ST_2BITS = 1;
  // Handshake; the HS_HARD_* and HS_SOFT_* values are bits that may be combined.
  static constexpr int HS_NONE = 0;
  static constexpr int HS_XONXOFF = 1;
  static constexpr int HS_CTSRTS = 2;
  static constexpr int HS_CTSDTR = 2;
  static constexpr int HS_DSRDTR = 3;
  static constexpr int HS_HARD_IN = 16;
  static constexpr int HS_HARD_OUT = 32;
  static constexpr int HS_SOFT_IN = 64;
  static constexpr int HS_SOFT_OUT = 128;

  static constexpr int kDefaultTxLen = 2048;
  static constexpr int kDefaultRxLen = 4096;

  // Port "COM1", base name "/dev/ttyS".
  SerialConfig();
  // A numbered port (counting from 1) under the base name "/dev/ttyS".
  explicit SerialConfig(int port);
  SerialConfig(int port, int txLen, int rxLen);
  // A port by name ("COM1", "/dev/ttyUSB0"); the base name stays empty.
  explicit SerialConfig(const std::string& portName);

  // A field-by-field duplicate.
  SerialConfig copy() const { return *this; }

  void setPortNum(int port);
  void setPortName(const std::string& name) { portName_ = name; }
  void setBaseName(const std::string& name) { baseName_ = name; }
  void setBitRate(int code);
  void setParity(int code);
  void setDataBits(int code);
  void setStopBits(int code);
  void setHandshake(int code);
  void setHardFlow(bool on) { hardFlow_ = on; }
  void setTxLen(int len) { txLen_ = len; }
  void setRxLen(int len) { rxLen_ = len; }
  // The operating system name decides which handshakes the platform offers. It is read from
  // the system when the record is made; tests replace it.
  void setOsName(const std::string& name) { osName_ = name; }

  int getPort() const { return port_; }
  int getTxLen() const { return txLen_; }
  int getRxLen() const { return rxLen_; }
  int getBitRate() const { return bitRate_; }
  int getParity() const { return parity_; }
  int getDataBits() const { return dataBits_; }
  int getStopBits() const { return stopBits_; }
  int getHandshake() const { return handshake_; }
  std::string getPortName() const { return portName_; }
  std::string getBaseName() const { return baseName_; }
  bool getHardFlow() const { return hardFlow_; }
  std::string getOsName() const { return osName_; }

  // The running system's name as uname() gives it ("Linux"); empty when uname() fails.
  static std::string systemName();

 private:
  int port_ = 0;
  std::string portName_;
  std::string baseName_;
  int txLen_ = kDefaultTxLen;
  int rxLen_ = kDefaultRxLen;
  int bitRate_ = BR_9600;
  int parity_ = PY_NONE;
  int dataBits_ = LN_8BITS;
  int stopBits_ = ST_1BITS;
  int handshake_ = HS_NONE;
  bool hardFlow_ = true;
  std::string osName_;
};

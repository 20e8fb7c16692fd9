#pragma once

#include <string>
#include <vector>

// The serial ports this system has, for the operator who has to name one in the settings.
//   Windows: every COMn in the registry's serial device map, with its device name.
//   Linux: /dev/serial/by-id/* with their targets, /dev/ttyUSB*, /dev/ttyACM*, and each
//   /dev/ttyS* that has a UART behind it.
class PortLister {
 public:
  struct Port {
    std::string name;    // what COMPort takes: "COM3", "/dev/ttyUSB0", "/dev/serial/by-id/..."
    std::string detail;  // the device behind it: "\Device\Serial0", "/dev/ttyUSB0"; may be empty
  };
  // Where the lister looks. A test points them at folders of its own.
  struct Places {
    std::string byId = "/dev/serial/by-id";
    std::string dev = "/dev";
    std::string sysTty = "/sys/class/tty";  // tells a ttyS with a UART from an empty one
    std::string registryKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";  // under HKEY_LOCAL_MACHINE
  };

  static std::vector<Port> list() { return list(Places{}); }
  // The ports found there, in a stable order (COM2 before COM10, ttyUSB2 before ttyUSB10).
  static std::vector<Port> list(const Places& places);

  static constexpr const char* kNone = "No serial ports found";
  // One line per port, "name (detail)", or the one line "No serial ports found".
  static std::vector<std::string> lines(const std::vector<Port>& ports);
  // All of them in one line for a message: "Serial ports found: COM3, COM4", or
  // "No serial ports found".
  static std::string summary(const std::vector<Port>& ports);
};

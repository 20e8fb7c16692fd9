#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/port/PortLister.h"
#include "serial/support/PtyPair.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

// The lister looks in folders laid out as /dev/serial/by-id, /dev and /sys/class/tty are: a
// by-id link names its port with the node it leads to; ttyUSB and ttyACM nodes are ports; a
// ttyS node is one only when a UART is behind it, which the kernel tells by the port's type or,
// without one, by the device's bus: "platform" is a legacy port with no hardware. Empty folders
// give the one line "No serial ports found".
TEST(PortLister, FindsByIdLinksAndPortNodesAndSaysWhenThereAreNone) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  TempFolder root("orva-ports");
  PortLister::Places places{root.file("by-id"), root.file("dev"), root.file("sys"), ""};
  for (const auto& folder : {places.byId, places.dev, places.sysTty}) {
    fs::create_directories(folder);
  }
  EXPECT_EQ(PortLister::lines(PortLister::list(places)),
            std::vector<std::string>{"No serial ports found"});
  EXPECT_EQ(PortLister::summary(PortLister::list(places)), "No serial ports found");

  const std::string byId = places.byId + "/usb-FTDI_FT232R_USB_UART_A10K-if00-port0";
  fs::create_symlink(pty.slavePath(), byId);
  fs::create_symlink(root.file("nowhere"), places.byId + "/usb-unplugged-if00-port0");
  for (const char* node : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "tty0"}) {
    fs::create_symlink(pty.slavePath(), places.dev + "/" + node);
  }
  // ttyS0 as older kernels show a legacy port: its device on the platform bus. ttyS1 as Linux
  // 6.5 and later show a real one: the port and its controller on the serial core's bus, the
  // UART above them on pnp.
  const auto onBus = [](const fs::path& device, const std::string& bus) {
    fs::create_directories(device);
    fs::create_symlink("/sys/bus/" + bus, device / "subsystem");
  };
  onBus(places.sysTty + "/ttyS0/device", "platform");
  const fs::path uart = root.file("devices/pnp0/00:01");
  onBus(uart, "pnp");
  onBus(uart / "00:01:0", "serial-base");
  onBus(uart / "00:01:0" / "00:01:0.0", "serial-base");
  fs::create_directories(places.sysTty + "/ttyS1");
  fs::create_symlink(uart / "00:01:0" / "00:01:0.0", places.sysTty + "/ttyS1/device");
  // Where the serial core gives the UART's type, that decides (0: none).
  for (const auto& [node, type] : {std::pair{"ttyS2", "0\n"}, std::pair{"ttyS3", "4\n"}}) {
    fs::create_symlink(pty.slavePath(), places.dev + "/" + node);
    onBus(places.sysTty + "/" + node + "/device", "pnp");
    std::ofstream(places.sysTty + "/" + node + "/type") << type;
  }
  const std::vector<PortLister::Port> ports = PortLister::list(places);
  EXPECT_EQ(PortLister::lines(ports),
            (std::vector<std::string>{byId + " (" + pty.slavePath() + ")", places.dev + "/ttyACM0",
                                      places.dev + "/ttyS1", places.dev + "/ttyS3",
                                      places.dev + "/ttyUSB2", places.dev + "/ttyUSB10"}));
  EXPECT_EQ(PortLister::summary(ports), "Serial ports found: " + byId + ", " + places.dev +
                                            "/ttyACM0, " + places.dev + "/ttyS1, " + places.dev +
                                            "/ttyS3, " + places.dev + "/ttyUSB2, " + places.dev +
                                            "/ttyUSB10");
}

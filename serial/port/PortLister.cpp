#include "serial/port/PortLister.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// Names compared with their digit runs as numbers: COM2 < COM10, ttyUSB2 < ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t ei = i;
      std::size_t ej = j;
      while (ei < a.size() && digit(a[ei])) {
        ++ei;
      }
      while (ej < b.size() && digit(b[ej])) {
        ++ej;
      }
      const std::string na = a.substr(i, ei - i);
      const std::string nb = b.substr(j, ej - j);
      const std::size_t za = na.find_first_not_of('0');
      const std::size_t zb = nb.find_first_not_of('0');
      const std::string ta = za == std::string::npos ? "" : na.substr(za);
      const std::string tb = zb == std::string::npos ? "" : nb.substr(zb);
      if (ta.size() != tb.size()) {
        return ta.size() < tb.size();
      }
      if (ta != tb) {
        return ta < tb;
      }
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) {
        return a[i] < b[j];
      }
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

#ifndef _WIN32

namespace fs = std::filesystem;

// The names in a folder, in natural order; none when it cannot be read.
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end(), naturalLess);
  return names;
}

bool startsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// A ttyS device node exists for every port the kernel could have; only one with a UART behind
// it is a port. The serial core says so in the port's "type" (0: no UART), readable by anyone
// and without opening the port, which would raise its modem lines. Where that is missing, the
// device's bus tells: the fixed legacy ports without hardware sit on the "platform" bus, real
// ones on pnp, pci and the like.
bool hasUart(const std::string& sysTty, const std::string& name) {
  const fs::path tty = fs::path(sysTty) / name;
  std::ifstream typeFile(tty / "type");
  int type = 0;
  if (typeFile >> type) {
    return type != 0;
  }
  // Since Linux 6.5 the tty's device is a port of the serial core's own bus ("serial-base"),
  // and the bus of the hardware is that of a device above it.
  std::error_code ec;
  fs::path device = fs::canonical(tty / "device", ec);
  for (int up = 0; !ec && up < 4; ++up, device = device.parent_path()) {
    const fs::path bus = fs::read_symlink(device / "subsystem", ec).filename();
    if (!ec && bus != "serial-base") {
      return bus != "platform";
    }
  }
  return false;
}

#endif

}  // namespace

#ifdef _WIN32

std::vector<PortLister::Port> PortLister::list(const Places& places) {
  std::vector<Port> ports;
  const std::wstring key(places.registryKey.begin(), places.registryKey.end());
  HKEY map = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &map) != ERROR_SUCCESS) {
    return ports;
  }
  const auto utf8 = [](const wchar_t* w, std::size_t n) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(n), s.data(), size, nullptr, nullptr);
    return s;
  };
  // Each value: the device's name ("\Device\Serial0") = its port name ("COM1").
  for (DWORD i = 0;; ++i) {
    wchar_t device[256];
    DWORD deviceLen = 256;
    wchar_t port[64] = {};
    DWORD portBytes = sizeof(port) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG r = RegEnumValueW(map, i, device, &deviceLen, nullptr, &type,
                                 reinterpret_cast<BYTE*>(port), &portBytes);
    if (r == ERROR_NO_MORE_ITEMS) {
      break;
    }
    if (r != ERROR_SUCCESS || type != REG_SZ) {
      continue;  // a value too long or of another kind is no port name
    }
    std::size_t portLen = portBytes / sizeof(wchar_t);
    while (portLen > 0 && port[portLen - 1] == L'\0') {
      --portLen;
    }
    if (portLen > 0) {
      ports.push_back({utf8(port, portLen), utf8(device, deviceLen)});
    }
  }
  RegCloseKey(map);
  std::stable_sort(ports.begin(), ports.end(),
                   [](const Port& a, const Port& b) { return naturalLess(a.name, b.name); });
  return ports;
}

#else

std::vector<PortLister::Port> PortLister::list(const Places& places) {
  std::vector<Port> ports;
  for (const std::string& name : namesIn(places.byId)) {
    // The stable names of USB adapters, each a link to the node it stands for today.
    const fs::path link = fs::path(places.byId) / name;
    std::error_code ec;
    const fs::path target = fs::canonical(link, ec);
    if (!ec) {
      ports.push_back({link.string(), target.string()});
    }
  }
  // Then the port nodes, in the folder's natural order.
  for (const std::string& name : namesIn(places.dev)) {
    if (startsWith(name, "ttyUSB") || startsWith(name, "ttyACM") ||
        (startsWith(name, "ttyS") && hasUart(places.sysTty, name))) {
      ports.push_back({(fs::path(places.dev) / name).string(), ""});
    }
  }
  return ports;
}

#endif

std::vector<std::string> PortLister::lines(const std::vector<Port>& ports) {
  std::vector<std::string> out;
  for (const Port& p : ports) {
    out.push_back(p.detail.empty() ? p.name : p.name + " (" + p.detail + ")");
  }
  if (out.empty()) {
    out.emplace_back(kNone);
  }
  return out;
}

std::string PortLister::summary(const std::vector<Port>& ports) {
  if (ports.empty()) {
    return kNone;
  }
  std::string line = "Serial ports found: ";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    line += (i == 0 ? "" : ", ") + ports[i].name;
  }
  return line;
}

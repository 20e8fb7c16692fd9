// Settings file: the properties reader and every derivation rule of the settings.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "app/ControllerApp.h"
#include "app/PropertiesReader.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PropertiesReader reader;
  reader.parse(std::string_view(reinterpret_cast<const char*>(data), size));
  ControllerApp::resetDefaults();
  std::ostringstream log;
  ControllerApp::GetPropsFrom(FuzzInput::write(data, size), log);
  ControllerApp::showprops(log);
  return 0;
}

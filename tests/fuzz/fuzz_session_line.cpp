// The session server's line handling: any bytes, in any chunks, through the line reader and the
// session parser. Each line is classified without a crash, and a reply text is always one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "remote/LineReader.h"
#include "remote/SessionProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t chunk = 1 + data[0] % 64;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  LineReader reader;
  for (std::size_t i = 0; i < input.size(); i += chunk) {
    reader.feed(input.substr(i, chunk));
    while (auto line = reader.next()) {
      if (line->oversize && !line->text.empty()) {
        std::abort();
      }
      if (line->text.size() > LineReader::kMaxLine) {
        std::abort();
      }
      for (bool lx1 : {false, true}) {
        const auto r = SessionProtocol::parse(line->text, lx1);
        if ((r.kind == SessionProtocol::Kind::Error) != (r.command == nullptr)) {
          std::abort();
        }
      }
      const std::string reply = SessionProtocol::error(line->text);
      if (reply.find('\n') != reply.size() - 1 || reply.find('\r') != std::string::npos) {
        std::abort();
      }
    }
    if (reader.pending() > LineReader::kMaxLine + 1 + chunk) {
      std::abort();
    }
  }
  return 0;
}

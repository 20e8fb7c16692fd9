// The HyperDeck server's command reading: any bytes, in any chunks, through the line reader and
// the parser of both command forms. Names come out in lower case and parameter lists stay
// bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "remote/HyperDeckParser.h"
#include "remote/LineReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t chunk = 1 + data[0] % 64;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  LineReader reader;
  HyperDeckParser parser;
  for (std::size_t i = 0; i < input.size(); i += chunk) {
    reader.feed(input.substr(i, chunk));
    while (auto line = reader.next()) {
      if (line->oversize) {
        parser = HyperDeckParser();
        continue;
      }
      if (auto c = parser.line(line->text)) {
        if (c->params.size() > HyperDeckParser::kMaxParams) {
          std::abort();
        }
        for (char ch : c->name) {
          if (ch >= 'A' && ch <= 'Z') {
            std::abort();
          }
        }
        for (const auto& [k, v] : c->params) {
          (void)v;
          if (HyperDeckParser::paramsOf(c->name) == nullptr || k.empty()) {
            std::abort();
          }
        }
      }
    }
  }
  return 0;
}

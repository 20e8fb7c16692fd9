#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remote/LineReader.h"

namespace {
std::vector<std::string> readAll(LineReader& r) {
  std::vector<std::string> out;
  while (auto l = r.next()) {
    out.push_back(l->oversize ? "<oversize>" : l->text);
  }
  return out;
}
}  // namespace

TEST(LineReaderTest, LinesComeOutWholeWhateverTheChunking) {
  const std::string input = "Play\r\nStop\n" + std::string(1024, 'a') + "\r\n" +
                            std::string(1025, 'b') + "\nGetTC\n\n" + std::string(5000, 'c') +
                            "\r\nStatus\n";
  const std::vector<std::string> expected = {"Play",  "Stop", std::string(1024, 'a'), "<oversize>",
                                             "GetTC", "",     "<oversize>",           "Status"};
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{700}, input.size()}) {
    LineReader r;
    std::vector<std::string> got;
    for (std::size_t i = 0; i < input.size(); i += chunk) {
      r.feed(std::string_view(input).substr(i, chunk));
      for (auto& l : readAll(r)) {
        got.push_back(l);
      }
      // An oversize line is never held in memory.
      EXPECT_LE(r.pending(), LineReader::kMaxLine + 1 + chunk);
    }
    EXPECT_EQ(got, expected) << "chunk " << chunk;
    EXPECT_EQ(r.pending(), 0u);
  }
}

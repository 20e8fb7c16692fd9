// Time and status reply decoding of the deck controller: any reply bytes, any byte count.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/ControllerApp.h"
#include "deck/BcdTimecode.h"
#include "deck/LocalVCR.h"

namespace {
// Answers every request with the fuzzer's bytes.
class ReplayLink : public CommandLink {
 public:
  SerialReply reply;
  SerialReply SendSerial(std::span<const std::uint8_t>) override { return reply; }
  bool hasPort() const override { return false; }  // no polling thread, no cue threads
  bool hasOutStream() const override { return true; }
};

class NullView : public DeckView {
 public:
  void ShowTC(const std::string&) override {}
  void ShowStatus(const std::string&) override {}
  void clearbuttons() override {}
  void hilight(DeckButton) override {}
  void setCueLocked(bool) override {}
  void ShowCueField(const std::string&) override {}
  void ShowEndField(const std::string&) override {}
  void copyToClipboard(const std::string&) override {}
  void openLogger() override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  static ReplayLink link;
  static NullView view;
  static LocalVCR vcr = [] {
    ControllerApp::resetDefaults();
    ControllerApp::lx1 = false;
    ControllerApp::useclipboard = true;
    return LocalVCR(link, false, view);
  }();
  vcr.setLineSink([](const std::string&) {});
  // First byte: the byte count the link reports (may disagree with the bytes); the rest: the
  // reply bytes.
  link.reply = SerialReply{};
  link.reply.count = data[0] % 20;
  std::copy_n(data + 1, std::min<std::size_t>(size - 1, 16), link.reply.bytes.begin());
  vcr.CommandB8();
  vcr.CommandStatus();
  BcdTimecode::decode(link.reply.bytes.data() + 2);
  return 0;
}

// The command families a 9-pin controller sends, each with the reply a deck gives and the
// status bits it leaves, through the emulator's byte interface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/DeckEmulator.h"
#include "sim/SimTimecode.h"
#include "support/ManualClock.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kAck = {0x10, 0x01, 0x11};
const Bytes kNakUnknown = {0x11, 0x12, 0x01, 0x24};

// The tape stands at 01:00:00:00 = 02 as hours, the rest 00.
constexpr int kStart = 108000;
const Bytes kAtStart = {0x00, 0x00, 0x00, 0x01};

struct StatusBit {
  int byte = -1;  // D0..D9; -1: nothing to check
  std::uint8_t mask = 0;
  std::uint8_t value = 0;
};

struct Case {
  const char* name;
  std::vector<Bytes> setup;  // frames sent before, without checksum
  Bytes command;             // without checksum
  Bytes reply;               // without checksum; empty: ACK
  StatusBit after;
};

Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes talk(DeckEmulator& deck, const Bytes& withoutSum) {
  Bytes out;
  for (const auto& w : deck.receive(SimTimecode::withChecksum(withoutSum)))
    out.insert(out.end(), w.bytes.begin(), w.bytes.end());
  return out;
}

TEST(DeckCommandTable, EveryFamilyAnswersAndSetsItsStatusBits) {
  const Bytes ub = {0x12, 0x34, 0x56, 0x78};
  const Case cases[] = {
      // System control.
      {"device type", {}, {0x00, 0x11}, {0x12, 0x11, 0xF0, 0x00}, {}},
      {"local disable", {}, {0x00, 0x0C}, {}, {0, 0x01, 0x00}},
      {"local enable", {{0x00, 0x0C}}, {0x00, 0x1D}, {}, {}},
      // Transport: two-byte speeds in both directions, steps, eject, preroll, E-E.
      {"jog fwd 2 bytes", {}, {0x22, 0x11, 0x40, 0x00}, {}, {2, 0xFF, 0x10}},
      {"jog rev 2 bytes", {}, {0x22, 0x21, 0x40, 0x80}, {}, {2, 0xFF, 0x14}},
      {"var fwd 2 bytes", {}, {0x22, 0x12, 0x36, 0x00}, {}, {2, 0xFF, 0x08}},
      {"var rev 2 bytes", {}, {0x22, 0x22, 0x36, 0x10}, {}, {2, 0xFF, 0x0C}},
      {"shuttle fwd 2 bytes", {}, {0x22, 0x13, 0x60, 0x00}, {}, {2, 0xFF, 0x20}},
      {"shuttle rev 2 bytes", {}, {0x22, 0x23, 0x60, 0xFF}, {}, {2, 0xFF, 0x24}},
      {"shuttle 2 bytes, N = 0", {}, {0x22, 0x13, 0x00, 0x00}, {}, {2, 0xFF, 0x22}},
      {"frame step fwd",
       {{0x20, 0x14}},
       {0x61, 0x0C, 0x01},
       {0x74, 0x04, 0x01, 0x00, 0x00, 0x01},
       {2, 0x02, 0x02}},
      {"frame step rev",
       {{0x20, 0x24}},
       {0x61, 0x0C, 0x01},
       {0x74, 0x04, 0x29, 0x59, 0x59, 0x00},
       {2, 0x06, 0x06}},
      {"eject", {}, {0x20, 0x0F}, {}, {1, 0xFF, 0x10}},
      {"eject: media out", {}, {0x20, 0x0F}, {}, {0, 0x20, 0x20}},
      {"play after eject", {{0x20, 0x0F}}, {0x20, 0x01}, {}, {1, 0xFF, 0x10}},
      {"preroll", {}, {0x20, 0x30}, {}, {4, 0x01, 0x01}},
      {"full E-E on", {}, {0x20, 0x61}, {}, {4, 0xC0, 0x40}},
      {"full E-E off", {{0x20, 0x61}}, {0x20, 0x60}, {}, {4, 0xC0, 0x00}},
      {"select E-E on", {}, {0x20, 0x63}, {}, {4, 0xC0, 0x80}},
      {"edit on", {}, {0x20, 0x65}, {}, {4, 0x10, 0x10}},
      {"edit off ends select E-E", {{0x20, 0x63}, {0x20, 0x65}}, {0x20, 0x64}, {}, {4, 0x90, 0}},
      // Preset / select.
      {"timer mode select", {}, {0x41, 0x36, 0x01}, {}, {}},
      {"timer mode sense", {{0x41, 0x36, 0x01}}, {0x60, 0x36}, {0x71, 0x36, 0x01}, {}},
      {"in entry", {}, {0x40, 0x10}, {}, {3, 0x03, 0x01}},
      {"out entry", {}, {0x40, 0x11}, {}, {3, 0x03, 0x02}},
      {"in entry, in data sense", {{0x40, 0x10}}, {0x60, 0x10}, cat({0x74, 0x10}, kAtStart), {}},
      {"out data preset, sense",
       {{0x44, 0x15, 0x12, 0x34, 0x56, 0x01}},
       {0x60, 0x11},
       {0x74, 0x11, 0x12, 0x34, 0x56, 0x01},
       {3, 0x02, 0x02}},
      {"in shift +",
       {{0x44, 0x14, 0x29, 0x00, 0x00, 0x01}, {0x40, 0x18}},
       {0x60, 0x10},
       {0x74, 0x10, 0x00, 0x01, 0x00, 0x01},
       {}},
      {"out shift -",
       {{0x40, 0x11}, {0x40, 0x1B}},
       {0x60, 0x11},
       {0x74, 0x11, 0x29, 0x59, 0x59, 0},
       {}},
      {"in flag reset", {{0x40, 0x10}}, {0x40, 0x20}, {}, {3, 0x01, 0x00}},
      {"in recall", {{0x40, 0x10}, {0x40, 0x20}}, {0x40, 0x24}, {}, {3, 0x01, 0x01}},
      {"preroll time preset, sense",
       {{0x44, 0x31, 0x00, 0x03, 0x00, 0x00}},
       {0x60, 0x31},
       {0x74, 0x31, 0x00, 0x03, 0x00, 0x00},
       {}},
      {"auto mode on", {}, {0x40, 0x41}, {}, {3, 0x80, 0x80}},
      {"spot erase on", {}, {0x40, 0x43}, {}, {7, 0x04, 0x04}},
      {"audio split on", {}, {0x40, 0x45}, {}, {7, 0x20, 0x20}},
      {"edit preset 2 bytes", {}, {0x42, 0x30, 0x53, 0x0C}, {}, {5, 0xFF, 0x5F}},
      {"edit preset 1 byte", {}, {0x41, 0x30, 0x21}, {}, {5, 0xFF, 0x21}},
      {"lost lock reset", {}, {0x40, 0x2D}, {}, {}},
      {"head select", {}, {0x41, 0x34, 0x01}, {}, {}},
      {"standby off time", {}, {0x42, 0xFA, 0x00, 0x10}, {}, {}},
      {"timer-1 reset, sense", {{0x40, 0x08}}, {0x61, 0x0C, 0x04}, {0x74, 0x00, 0, 0, 0, 0}, {}},
      {"timer-1 preset, sense",
       {{0x44, 0x00, 0x05, 0x00, 0x00, 0x00}},
       {0x61, 0x0C, 0x04},
       {0x74, 0x00, 0x05, 0x00, 0x00, 0x00},
       {}},
      {"user bits preset, LTC user bits",
       {cat({0x44, 0x05}, ub)},
       {0x61, 0x0C, 0x10},
       cat({0x74, 0x05}, ub),
       {}},
      // Sense requests.
      {"time sense LTC", {}, {0x61, 0x0C, 0x01}, cat({0x74, 0x04}, kAtStart), {}},
      {"time sense either", {}, {0x61, 0x0C, 0x03}, cat({0x74, 0x04}, kAtStart), {}},
      {"time sense VITC", {}, {0x61, 0x0C, 0x02}, cat({0x74, 0x06}, kAtStart), {}},
      {"time sense timer-2", {}, {0x61, 0x0C, 0x08}, cat({0x74, 0x01}, kAtStart), {}},
      {"time sense VITC user bits",
       {cat({0x44, 0x05}, ub)},
       {0x61, 0x0C, 0x20},
       cat({0x74, 0x07}, ub),
       {}},
      {"time sense LTC + user bits",
       {cat({0x44, 0x05}, ub)},
       {0x61, 0x0C, 0x11},
       cat(cat({0x78, 0x04}, kAtStart), ub),
       {}},
      {"time sense VITC + user bits",
       {},
       {0x61, 0x0C, 0x22},
       cat({0x78, 0x06}, cat(kAtStart, {0, 0, 0, 0})),
       {}},
      {"generator time",
       {{0x44, 0x04, 0x00, 0x00, 0x00, 0x10}},
       {0x61, 0x0A, 0x01},
       {0x74, 0x08, 0x00, 0x00, 0x00, 0x10},
       {}},
      {"status sense D0..D9",
       {{0x20, 0x05}},
       {0x61, 0x20, 0x0A},
       {0x7A, 0x20, 0x00, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0},
       {}},
      {"status sense D2..D3", {{0x21, 0x13, 0x00}}, {0x61, 0x20, 0x22}, {0x72, 0x20, 0x22, 0}, {}},
      {"extended status", {}, {0x61, 0x21, 0x00}, {0x71, 0x21, 0x00}, {}},
      // Unknown: undefined groups, codes, data counts and manufacturer extensions.
      {"undefined transport code", {}, {0x20, 0x03}, kNakUnknown, {}},
      {"sync play", {}, {0x20, 0x34}, kNakUnknown, {}},
      {"extension with a base code", {}, {0x41, 0x42, 0x01}, kNakUnknown, {}},
      {"wrong data count", {}, {0x23, 0x13, 0x40, 0x00, 0x00}, kNakUnknown, {1, 0x20, 0x20}},
      {"group 3", {}, {0x30, 0x00}, kNakUnknown, {}},
      {"group 8 extension", {}, {0x81, 0x03, 0x01}, kNakUnknown, {}},
      {"seek extension", {}, {0x02, 0x02, 0x00, 0x01}, kNakUnknown, {}},
      {"remaining time sense", {}, {0x60, 0x2B}, kNakUnknown, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ManualClock clock;
    EmulatorOptions o;
    o.clock = clock.fn();
    o.startFrame = kStart;
    DeckEmulator deck(o);
    for (const auto& s : c.setup)
      ASSERT_NE(talk(deck, s), kNakUnknown) << "setup frame refused";
    const Bytes expected = c.reply.empty()          ? kAck
                           : c.reply == kNakUnknown ? kNakUnknown
                                                    : SimTimecode::withChecksum(c.reply);
    EXPECT_EQ(talk(deck, c.command), expected);
    if (c.after.byte >= 0) {
      const Bytes r = talk(deck, {0x61, 0x20, 0x0A});
      ASSERT_EQ(r.size(), 13u);
      EXPECT_EQ(r[2 + c.after.byte] & c.after.mask, c.after.value)
          << "D" << c.after.byte << " = " << int(r[2 + c.after.byte]);
    }
  }
}

TEST(DeckCommandTable, DeviceTypeIsTheConfiguredOne) {
  EmulatorOptions o;
  o.deviceId = {0xAB, 0x01};
  DeckEmulator deck(o);
  EXPECT_EQ(talk(deck, {0x00, 0x11}), SimTimecode::withChecksum({0x12, 0x11, 0xAB, 0x01}));
}

}  // namespace

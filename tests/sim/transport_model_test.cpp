#include "sim/TransportModel.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr std::int64_t kSecond = 1000000;
constexpr int kHour = 108000;

EmulatorOptions at(int startFrame) {
  EmulatorOptions o;
  o.startFrame = startFrame;
  return o;
}

TEST(TransportModel, PlayAndRecordAdvanceOneFramePerFrame) {
  TransportModel t(at(0), 0);
  t.play(0);
  EXPECT_EQ(t.frame(kSecond / 30 - 1), 0);
  EXPECT_EQ(t.frame(kSecond / 30 + 1), 1);
  EXPECT_EQ(t.frame(10 * kSecond), 300);
  t.record(10 * kSecond);
  EXPECT_EQ(t.frame(70 * kSecond), 300 + 1800);
  t.stop(70 * kSecond);
  EXPECT_EQ(t.frame(100 * kSecond), 2100);
}

TEST(TransportModel, WindsFiftyTimesPlaySpeed) {
  TransportModel t(at(kHour), 0);
  t.fastForward(0);
  EXPECT_EQ(t.frame(kSecond), kHour + 1500);
  t.rewind(kSecond);
  EXPECT_EQ(t.frame(3 * kSecond), kHour - 1500);
  EXPECT_DOUBLE_EQ(t.speed(3 * kSecond), -50.0);
}

TEST(TransportModel, SpeedByteFollowsTheLogarithmicScale) {
  EXPECT_EQ(TransportModel::speedFromByte(0), 0.0);
  EXPECT_DOUBLE_EQ(TransportModel::speedFromByte(32), 0.1);
  EXPECT_DOUBLE_EQ(TransportModel::speedFromByte(64), 1.0);
  EXPECT_DOUBLE_EQ(TransportModel::speedFromByte(96), 10.0);
  EXPECT_NEAR(TransportModel::speedFromByte(0x4A), 2.05, 0.01);  // the "fast two" byte
  EXPECT_NEAR(TransportModel::speedFromByte(0x36), 0.487, 0.001);
}

TEST(TransportModel, SecondSpeedByteRefinesBetweenNeighbouringSteps) {
  EXPECT_EQ(TransportModel::speedFromBytes(0, 0), 0.0);
  EXPECT_DOUBLE_EQ(TransportModel::speedFromBytes(0x40, 0), 1.0);
  const double next = TransportModel::speedFromByte(0x41);
  EXPECT_DOUBLE_EQ(TransportModel::speedFromBytes(0x40, 0x80), (1.0 + next) / 2);
  EXPECT_LT(TransportModel::speedFromBytes(0x3F, 0xFF), 1.0);
  EXPECT_GT(TransportModel::speedFromBytes(0x3F, 0xFF), TransportModel::speedFromByte(0x3F));
  // Two bytes move the tape like one: 10 s of a two-byte shuttle at 10x in reverse.
  TransportModel t(at(kHour), 0);
  t.shuttle(0x60, 0x00, true, 0);
  EXPECT_EQ(t.frame(10 * kSecond), kHour - 3000);
}

TEST(TransportModel, ShuttleJogAndVariableMoveAtTheirByteSpeedInBothDirections) {
  using Starter = std::function<void(TransportModel&, std::uint8_t, bool)>;
  const Starter starters[] = {
      [](TransportModel& t, std::uint8_t n, bool rev) { t.shuttle(n, rev, 0); },
      [](TransportModel& t, std::uint8_t n, bool rev) { t.jog(n, rev, 0); },
      [](TransportModel& t, std::uint8_t n, bool rev) { t.variable(n, rev, 0); },
  };
  // 10 s at 0x40 (play speed), 0x60 (10x), 0x20 (0.1x) and 0 (still).
  const std::pair<std::uint8_t, int> speeds[] = {{0x40, 300}, {0x60, 3000}, {0x20, 30}, {0, 0}};
  for (const auto& start : starters) {
    for (const auto& [n, moved] : speeds) {
      TransportModel fwd(at(kHour), 0);
      start(fwd, n, false);
      EXPECT_EQ(fwd.frame(10 * kSecond), kHour + moved) << "N=" << int(n);
      TransportModel rev(at(kHour), 0);
      start(rev, n, true);
      EXPECT_EQ(rev.frame(10 * kSecond), kHour - moved) << "N=" << int(n);
    }
  }
}

TEST(TransportModel, StopsAtTheEndOfTheTapeAndAtItsStart) {
  EmulatorOptions o = at(kHour * 2 - 10);
  TransportModel t(o, 0);
  t.play(0);
  EXPECT_EQ(t.mode(kSecond / 10), TransportMode::Play);
  EXPECT_EQ(t.frame(5 * kSecond), 2 * kHour);
  EXPECT_EQ(t.mode(5 * kSecond), TransportMode::Stop);
  EXPECT_EQ(t.statusData(5 * kSecond)[1], 0x20);
  // Pressing play or FF at the end cannot move the tape.
  t.fastForward(6 * kSecond);
  EXPECT_EQ(t.mode(6 * kSecond), TransportMode::Stop);
  EXPECT_EQ(t.frame(7 * kSecond), 2 * kHour);

  t.rewind(10 * kSecond);  // 2 h at 1500 frames/s: 144 s
  EXPECT_EQ(t.frame(10 * kSecond + 144 * kSecond - kSecond), 1500);
  EXPECT_EQ(t.frame(200 * kSecond), 0);
  EXPECT_EQ(t.mode(200 * kSecond), TransportMode::Stop);
  t.shuttle(0x60, true, 201 * kSecond);
  EXPECT_EQ(t.frame(202 * kSecond), 0);
}

TEST(TransportModel, EndOfTapeIsConfigurableAndStartIsClampedToIt) {
  EmulatorOptions o = at(5000);
  o.endFrame = 3000;
  TransportModel t(o, 0);
  EXPECT_EQ(t.frame(0), 3000);
  EXPECT_EQ(t.endFrame(), 3000);
}

TEST(TransportModel, CueWindsInARealisticTimeThenStillsCuedUp) {
  TransportModel t(at(0), 0);
  EXPECT_EQ(t.cueDurationUs(0), 500000);
  EXPECT_EQ(t.cueDurationUs(kHour), 4000000);
  EXPECT_EQ(t.cueDurationUs(10 * kHour), 4000000);
  EXPECT_GT(t.cueDurationUs(1800), 500000);
  EXPECT_LT(t.cueDurationUs(1800), t.cueDurationUs(18000));

  const int target = kHour / 2;
  const std::int64_t takes = t.cueDurationUs(target);
  t.cue(target, 0);
  const std::int64_t mid = takes / 2;
  EXPECT_EQ(t.mode(mid), TransportMode::Cueing);
  EXPECT_GT(t.frame(mid), 0);
  EXPECT_LT(t.frame(mid), target);
  auto d = t.statusData(mid);
  EXPECT_EQ(d[4] & 0x01, 0x01) << "cueing in progress";
  EXPECT_EQ(d[2] & 0x01, 0x00) << "not cued up yet";
  EXPECT_FALSE(t.cuedUp(takes - 1));

  EXPECT_TRUE(t.cuedUp(takes));
  EXPECT_EQ(t.frame(takes), target);
  EXPECT_EQ(t.frame(takes + 10 * kSecond), target) << "stills at the cue point";
  d = t.statusData(takes);
  EXPECT_EQ(d[2], 0x03) << "cued up and still";
  EXPECT_EQ(d[4], 0x00);
}

TEST(TransportModel, CuedUpClearsOnTheNextTransportCommandOnly) {
  TransportModel t(at(kHour), 0);
  t.cue(kHour - 300, 0);
  EXPECT_EQ(t.statusData(kSecond)[2] & 0x04, 0x04) << "winding backwards";
  std::int64_t now = 10 * kSecond;
  ASSERT_TRUE(t.cuedUp(now));
  t.setEE(true);
  t.setStandby(true, now);
  EXPECT_TRUE(t.cuedUp(now));
  t.shuttle(0, false, now);  // pause
  EXPECT_FALSE(t.cuedUp(now));
  EXPECT_EQ(t.frame(now + kSecond), kHour - 300);
}

TEST(TransportModel, CueTargetBeyondTheTapeIsClamped) {
  TransportModel t(at(0), 0);
  t.cue(20 * kHour, 0);
  EXPECT_EQ(t.frame(10 * kSecond), 2 * kHour);
  EXPECT_TRUE(t.cuedUp(10 * kSecond));
}

TEST(TransportModel, StandbyOffStopsAMovingTransport) {
  TransportModel t(at(0), 0);
  t.setStandby(true, 0);
  t.play(0);
  EXPECT_EQ(t.statusData(kSecond)[1], 0x81);
  t.setStandby(false, kSecond);
  EXPECT_EQ(t.mode(kSecond), TransportMode::Stop);
  EXPECT_EQ(t.statusData(2 * kSecond)[1], 0x20);
  EXPECT_EQ(t.frame(2 * kSecond), 30);
}

struct StatusCase {
  const char* name;
  std::function<void(TransportModel&)> start;
  std::uint8_t d1, d2, d4;
};

TEST(TransportModel, StatusBitsTellTheTruthInEveryState) {
  const StatusCase cases[] = {
      {"stop", [](TransportModel& t) { t.stop(0); }, 0x20, 0x00, 0x00},
      {"play", [](TransportModel& t) { t.play(0); }, 0x01, 0x00, 0x00},
      {"record", [](TransportModel& t) { t.record(0); }, 0x03, 0x00, 0x00},
      {"ff", [](TransportModel& t) { t.fastForward(0); }, 0x04, 0x00, 0x00},
      {"rew", [](TransportModel& t) { t.rewind(0); }, 0x08, 0x04, 0x00},
      {"shuttle fwd", [](TransportModel& t) { t.shuttle(0x40, false, 0); }, 0x00, 0x20, 0x00},
      {"shuttle rev", [](TransportModel& t) { t.shuttle(0x40, true, 0); }, 0x00, 0x24, 0x00},
      {"pause", [](TransportModel& t) { t.shuttle(0, false, 0); }, 0x00, 0x22, 0x00},
      {"jog fwd", [](TransportModel& t) { t.jog(0x10, false, 0); }, 0x00, 0x10, 0x00},
      {"jog rev", [](TransportModel& t) { t.jog(0x10, true, 0); }, 0x00, 0x14, 0x00},
      {"slow", [](TransportModel& t) { t.variable(0x2D, false, 0); }, 0x00, 0x08, 0x00},
      {"cueing", [](TransportModel& t) { t.cue(kHour + 900, 0); }, 0x00, 0x00, 0x01},
      {"standby", [](TransportModel& t) { t.setStandby(true, 0); }, 0xA0, 0x00, 0x00},
  };
  for (const auto& c : cases) {
    TransportModel t(at(kHour), 0);
    c.start(t);
    const auto d = t.statusData(kSecond / 10);
    EXPECT_EQ(d[1], c.d1) << c.name;
    EXPECT_EQ(d[2], c.d2) << c.name;
    EXPECT_EQ(d[4], c.d4) << c.name;
    EXPECT_EQ(d[0] | d[3] | d[5], 0) << c.name;
  }
}

}  // namespace

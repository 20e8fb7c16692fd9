#include <gtest/gtest.h>

#include <stdexcept>

#include "deck/BcdTimecode.h"

namespace {
std::string tcf(std::uint8_t b) {
  std::string t = "00";
  BcdTimecode::TCFBCD(b, 0, t);
  return t;
}
}  // namespace

TEST(BcdTimecode, FramesAndHoursIgnoreFlagBitsAndReduceUnits) {
  EXPECT_EQ(tcf(0x59), "19");
  EXPECT_EQ(tcf(0x45), "05");
  EXPECT_EQ(tcf(0x0F), "05");
  EXPECT_EQ(tcf(0xE9), "29");  // colour frame and drop frame flags set
  std::string t = "00";
  EXPECT_EQ(BcdTimecode::TCFBCD(0x80 | 0x23, 0, t), 23);
}

TEST(BcdTimecode, MinutesAndSecondsTakeBothNibblesOrNothing) {
  std::string t = "00";
  EXPECT_EQ(BcdTimecode::TCBCD(0x59, 0, t), 59);
  EXPECT_EQ(t, "59");
  EXPECT_FALSE(BcdTimecode::TCBCD(0x5A, 0, t).has_value());
  EXPECT_FALSE(BcdTimecode::TCBCD(0xA5, 0, t).has_value());
  // Out of range but decimal: decoded as it stands, as the deck sent it.
  EXPECT_EQ(BcdTimecode::TCBCD(0x80, 0, t), 80);
}

TEST(BcdTimecode, DecodesReplyBytesFramesFirst) {
  const std::uint8_t bytes[] = {0x12, 0x34, 0x56, 0x01};
  auto d = BcdTimecode::decode(bytes);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->text, "01:56:34:12");
  EXPECT_EQ(d->frames, 209832);

  const std::uint8_t flagged[] = {0xC0 | 0x29, 0x59, 0x59, 0x80 | 0x23};
  d = BcdTimecode::decode(flagged);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->text, "23:59:59:29");
  EXPECT_EQ(d->frames, 23 * 108000 + 59 * 1800 + 59 * 30 + 29);
}

TEST(BcdTimecode, BadMinutesOrSecondsMakeTheReplyUnusable) {
  const std::uint8_t badMinutes[] = {0x00, 0x00, 0x6A, 0x01};
  const std::uint8_t badSeconds[] = {0x00, 0xF0, 0x00, 0x01};
  EXPECT_FALSE(BcdTimecode::decode(badMinutes));
  EXPECT_FALSE(BcdTimecode::decode(badSeconds));
}

TEST(BcdTimecode, EncodesTextAndCountsFrames) {
  EXPECT_EQ(BcdTimecode::encode("01:02:03:04", "x"), (std::array<std::uint8_t, 4>{4, 3, 2, 1}));
  // Separators are not checked; there is no range check.
  EXPECT_EQ(BcdTimecode::encode("00.99x99;99", "x"),
            (std::array<std::uint8_t, 4>{0x99, 0x99, 0x99, 0x00}));
  EXPECT_EQ(BcdTimecode::framesOf("00:99:99:99", "x"), 181269);
  EXPECT_EQ(BcdTimecode::framesOf("01:00:00:00 and more", "x"), 108000);
}

TEST(BcdTimecode, MalformedTextThrowsAClearMessage) {
  try {
    BcdTimecode::encode("01:02:03", "Cue point");
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Cue point \"01:02:03\" is too short for a timecode hh:mm:ss:ff");
  }
  try {
    BcdTimecode::framesOf("01:02:0x:04", "Out point");
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(),
                 "Out point \"01:02:0x:04\" has a non-digit at position 7 of hh:mm:ss:ff");
  }
  EXPECT_THROW(BcdTimecode::encode(" 1:00:00:00", "x"), std::invalid_argument);
  EXPECT_THROW(BcdTimecode::encode("", "x"), std::invalid_argument);
}

TEST(BcdTimecode, ChecksumIsTheLowByteOfTheSum) {
  const std::uint8_t a[] = {0x20, 0x01};
  const std::uint8_t b[] = {0x44, 0x31, 0x00, 0x05, 0x00, 0x00};
  const std::uint8_t c[] = {0x24, 0x31, 0x99, 0x99, 0x99, 0x99};
  EXPECT_EQ(BcdTimecode::checksum(a, 2), 0x21);
  EXPECT_EQ(BcdTimecode::checksum(b, 6), 0x7A);
  EXPECT_EQ(BcdTimecode::checksum(c, 6), 0xB9);
}

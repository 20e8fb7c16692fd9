#include <gtest/gtest.h>

#include <stdexcept>

#include "edl/EditList.h"
#include "edl/Timecode.h"

TEST(LoggerTimecode, FrameCounts) {
  EXPECT_EQ(Timecode::frames("00:00:00:00"), 0);
  EXPECT_EQ(Timecode::frames("01:00:00:00"), 108000);
  EXPECT_EQ(Timecode::frames("23:59:59:29"), 2591999);
  EXPECT_EQ(Timecode::frames("00:01:02:03"), 1800 + 60 + 3);
  // Out-of-range fields are not checked, only digits.
  EXPECT_EQ(Timecode::frames("00:99:99:99"), 99 * 1800 + 99 * 30 + 99);
  EXPECT_EQ(Timecode::frames("99:59:59:29"), 99 * 108000 + 59 * 1800 + 59 * 30 + 29);
}

TEST(LoggerTimecode, SeparatorsAndTrailingTextAreIgnored) {
  EXPECT_EQ(Timecode::frames("01-00-00-00"), 108000);
  EXPECT_EQ(Timecode::frames("01x00y00;05"), 108005);
  EXPECT_EQ(Timecode::frames("00:00:01:00 trailing"), 30);
}

TEST(LoggerTimecode, MalformedTextThrows) {
  EXPECT_THROW(Timecode::frames(""), std::out_of_range);
  EXPECT_THROW(Timecode::frames("00:00:00:0"), std::out_of_range);
  EXPECT_THROW(Timecode::frames("00:00:0a:00"), std::invalid_argument);
  EXPECT_THROW(Timecode::frames(" 0:00:00:00"), std::invalid_argument);
  EXPECT_THROW(Timecode::frames("00:00:00:-1"), std::invalid_argument);
  EXPECT_FALSE(Timecode::wellFormed("00:00:0a:00"));
  EXPECT_FALSE(Timecode::wellFormed("0:00:00:00"));
  EXPECT_TRUE(Timecode::wellFormed("00.00.00.00"));
}

TEST(LoggerTimecode, MakeZeroString2AddsTheDuration) {
  EXPECT_EQ(Timecode::MakeZeroString2("01:00:00:00", 300), "01:00:10:00");
  EXPECT_EQ(Timecode::MakeZeroString2("01:00:00:00", 0), "01:00:00:00");
  EXPECT_EQ(Timecode::MakeZeroString2("01-02-03-04", 0), "01:02:03:04");  // normalised form
  EXPECT_EQ(Timecode::MakeZeroString2("00:00:59:29", 1), "00:01:00:00");
  EXPECT_EQ(Timecode::MakeZeroString2("00:59:59:29", 1), "01:00:00:00");
  EXPECT_EQ(Timecode::MakeZeroString2("01:00:00:00", -1), "00:59:59:29");
  EXPECT_EQ(Timecode::MakeZeroString2("00:00:00:00", 0, ";"), "00:00:00;00");
}

TEST(LoggerTimecode, HoursAreNotWrapped) {
  EXPECT_EQ(Timecode::MakeZeroString2("99:00:00:00", 108000), "100:00:00:00");
  EXPECT_EQ(Timecode::MakeZeroString2("23:59:59:29", 1), "24:00:00:00");
}

TEST(LoggerTimecode, NegativeTotalsKeepTheSignOfEachPiece) {
  // Truncating division: each piece carries its own sign.
  EXPECT_EQ(Timecode::MakeZeroString2("00:00:00:00", -15), "00:00:00:-1-5");
}

TEST(LoggerTimecode, CharacterClasses) {
  for (char c = '0'; c <= '9'; ++c) {
    EXPECT_TRUE(Timecode::isnumeric(c));
  }
  EXPECT_FALSE(Timecode::isnumeric('/'));
  EXPECT_FALSE(Timecode::isnumeric(':'));
  EXPECT_FALSE(Timecode::isnumeric(' '));
  EXPECT_FALSE(Timecode::isnumeric('\xB2'));  // superscript two in a single-byte charset
  EXPECT_TRUE(Timecode::iscolon(':'));
  EXPECT_FALSE(Timecode::iscolon(';'));
}

TEST(LoggerGetDuration, SetsStartEndAndSignedDuration) {
  EditList list;
  list.SrcInArray[3] = "00:00:10:00";
  list.SrcOutArray[3] = "00:00:05:00";
  list.getduration(3);
  EXPECT_EQ(list.startframes, 300);
  EXPECT_EQ(list.endframes, 150);
  EXPECT_EQ(list.duration, -150);
}

TEST(LoggerGetDuration, FailureLeavesAllThreeUnchanged) {
  EditList list;
  list.SrcInArray[0] = "00:00:01:00";
  list.SrcOutArray[0] = "00:00:02:00";
  list.getduration(0);
  list.SrcInArray[1] = "00:00:05:00";
  list.SrcOutArray[1] = "00:00:0";
  EXPECT_THROW(list.getduration(1), std::out_of_range);
  list.SrcOutArray[1] = "00:00:0x:00";
  EXPECT_THROW(list.getduration(1), std::invalid_argument);
  EXPECT_EQ(list.startframes, 30);
  EXPECT_EQ(list.endframes, 60);
  EXPECT_EQ(list.duration, 30);
}

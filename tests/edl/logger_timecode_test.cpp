#include <gtest/gtest.h>

#include <stdexcept>

#include "edl/EditList.h"
#include "edl/Timecode.h"

TEST(LoggerTimecode, FrameCountsReadOnlyTheDigitPositions) {
  EXPECT_EQ(Timecode::frames("00:00:00:00"), 0);
  EXPECT_EQ(Timecode::frames("01:00:00:00"), 108000);
  EXPECT_EQ(Timecode::frames("23:59:59:29"), 2591999);
  EXPECT_EQ(Timecode::frames("00:99:99:99"), 99 * 1800 + 99 * 30 + 99);  // no range check
  EXPECT_EQ(Timecode::frames("01-00-00-00"), 108000);
  EXPECT_EQ(Timecode::frames("00:00:01:00 and more"), 30);
}

TEST(LoggerTimecode, MalformedTextThrows) {
  EXPECT_THROW(Timecode::frames("00:00:00:0"), std::out_of_range);
  EXPECT_THROW(Timecode::frames("00:00:0a:00"), std::invalid_argument);
  EXPECT_THROW(Timecode::frames("00:00:00:-1"), std::invalid_argument);
  EXPECT_FALSE(Timecode::wellFormed(" 0:00:00:00"));
  EXPECT_TRUE(Timecode::wellFormed("00.00.00.00"));
}

TEST(LoggerTimecode, MakeZeroString2AddsTheDuration) {
  EXPECT_EQ(Timecode::MakeZeroString2("01:00:00:00", 300), "01:00:10:00");
  EXPECT_EQ(Timecode::MakeZeroString2("01-02-03-04", 0), "01:02:03:04");
  EXPECT_EQ(Timecode::MakeZeroString2("00:59:59:29", 1), "01:00:00:00");
  EXPECT_EQ(Timecode::MakeZeroString2("01:00:00:00", -1), "00:59:59:29");
  EXPECT_EQ(Timecode::MakeZeroString2("99:00:00:00", 108000), "100:00:00:00");  // not wrapped
  // Truncating division: a negative total gives each piece its own sign.
  EXPECT_EQ(Timecode::MakeZeroString2("00:00:00:00", -15), "00:00:00:-1-5");
}

TEST(LoggerTimecode, GetDurationIsSignedAndAllOrNothing) {
  EditList list;
  list.SrcInArray[3] = "00:00:10:00";
  list.SrcOutArray[3] = "00:00:05:00";
  list.getduration(3);
  EXPECT_EQ(list.startframes, 300);
  EXPECT_EQ(list.endframes, 150);
  EXPECT_EQ(list.duration, -150);
  list.SrcInArray[1] = "00:00:05:00";
  list.SrcOutArray[1] = "00:00:0";
  EXPECT_THROW(list.getduration(1), std::out_of_range);
  EXPECT_EQ(list.startframes, 300);
  EXPECT_EQ(list.duration, -150);
}

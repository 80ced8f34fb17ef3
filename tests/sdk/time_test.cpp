// Scene time, frames at the scene's rate, and timecodes.

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "sdk_test_support.h"

namespace {

using TimeTest = SdkTest;

const kLongLong kSecond = 46186158000LL;
const kLongLong kMax = std::numeric_limits<kLongLong>::max();
const kLongLong kMin = std::numeric_limits<kLongLong>::min();

TEST_F(TimeTest, FramesFollowTheSceneRate) {
  EXPECT_EQ(FBTime::kTicksPerSecond, kSecond);
  EXPECT_EQ(fbhost::FrameRate(), 30.0);
  EXPECT_EQ(FBTime(kSecond).GetFrame(), 30);
  fbhost::SetFrameRate(24.0);
  EXPECT_EQ(FBTime(kSecond).GetFrame(), 24);
  EXPECT_EQ(FBTime(kSecond).GetFrame(kFBTimeMode60Frames), 60);
  EXPECT_EQ(FBTime(kSecond).GetFrame(kFBTimeMode1000Hz), 1000);

  // Refused rates keep the current one.
  for (double lRate : {0.0, -30.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    fbhost::SetFrameRate(lRate);
    EXPECT_EQ(fbhost::FrameRate(), 24.0);
  }
}

TEST_F(TimeTest, FramesRoundDownAndRoundTripAtEveryRate) {
  for (double lRate : {24.0, 25.0, 29.97, 30.0, 60.0}) {
    fbhost::SetFrameRate(lRate);
    for (kLongLong lFrame = -1000; lFrame <= 1000; lFrame += 37) {
      FBTime lTime;
      lTime.SetFrame(lFrame);
      EXPECT_EQ(lTime.GetFrame(), lFrame) << lRate;
      // Halfway to the next frame is still this frame, for negative times too.
      const kLongLong lHalf = static_cast<kLongLong>(kSecond / lRate / 2.0);
      EXPECT_EQ(FBTime(lTime.Get() + lHalf).GetFrame(), lFrame) << lRate;
      EXPECT_EQ(FBTime(lTime.Get() - lHalf).GetFrame(), lFrame - 1) << lRate;
    }
  }
  fbhost::SetFrameRate(30.0);
  FBTime lTwelveBack;
  lTwelveBack.SetFrame(-12);
  EXPECT_EQ(lTwelveBack.Get(), -12 * kSecond / 30);
  EXPECT_EQ(lTwelveBack.GetFrame(), -12);
  // A frame starts on its exact tick.
  EXPECT_EQ(FBTime(10 * kSecond / 30 - 1).GetFrame(), 9);
  EXPECT_EQ(FBTime(-1).GetFrame(), -1);
}

TEST_F(TimeTest, GetTimeSplitsTheTimeWithItsSign) {
  int lHour, lMinute, lSecond, lFrame, lField, lMilli;
  const kLongLong lTicks = 3723 * kSecond + 4 * (kSecond / 30);
  ASSERT_TRUE(FBTime(lTicks).GetTime(lHour, lMinute, lSecond, lFrame, lField, lMilli));
  EXPECT_EQ(lHour, 1);
  EXPECT_EQ(lMinute, 2);
  EXPECT_EQ(lSecond, 3);
  EXPECT_EQ(lFrame, 4);
  EXPECT_EQ(lField, 0);
  EXPECT_EQ(lMilli, 133);
  EXPECT_EQ(FBTime(lTicks).GetMilliSeconds(), 3723133);
  ASSERT_TRUE(FBTime(lTicks - 1).GetTime(lHour, lMinute, lSecond, lFrame, lField, lMilli));
  EXPECT_EQ(lFrame, 3);  // the tick before a frame starts

  FBTime lBack;
  lBack.SetFrame(-45);  // one and a half seconds before zero
  ASSERT_TRUE(lBack.GetTime(lHour, lMinute, lSecond, lFrame, lField, lMilli));
  EXPECT_EQ(lHour, 0);
  EXPECT_EQ(lSecond, -1);
  EXPECT_EQ(lFrame, -15);
  EXPECT_EQ(lMilli, -500);
  EXPECT_EQ(lBack.GetMilliSeconds(), -1500);

  FBTime lMillis;
  lMillis.SetMilliSeconds(1500);
  EXPECT_EQ(lMillis.Get(), kSecond * 3 / 2);
  EXPECT_DOUBLE_EQ(lMillis.GetSecondDouble(), 1.5);
}

// Timecode fields count frames as SMPTE timecode does: 30 (24, 48, 60) to a
// timecode second at an NTSC rate, with drop-frame numbers in the drop mode only.
TEST_F(TimeTest, NtscTimeCodeFieldsCountFramesAtTheNominalRate) {
  auto lFields = [](kLongLong pFrame, FBTimeMode pMode) {
    int lHour, lMinute, lSecond, lFrame, lField, lMilli;
    FBTime lTime;
    lTime.SetFrame(pFrame, pMode);
    EXPECT_TRUE(lTime.GetTime(lHour, lMinute, lSecond, lFrame, lField, lMilli, pMode));
    return std::vector<int>{lHour, lMinute, lSecond, lFrame};
  };
  fbhost::SetFrameRate(29.97);
  // 107892 frames are an hour of drop-frame timecode.
  EXPECT_EQ(lFields(107892, kFBTimeModeDefault), (std::vector<int>{0, 59, 56, 12}));
  EXPECT_EQ(lFields(107892, kFBTimeMode2997Frames), (std::vector<int>{0, 59, 56, 12}));
  EXPECT_EQ(lFields(107892, kFBTimeMode2997Frames_Drop), (std::vector<int>{1, 0, 0, 0}));
  EXPECT_EQ(lFields(1800, kFBTimeMode2997Frames_Drop), (std::vector<int>{0, 1, 0, 2}));
  EXPECT_EQ(lFields(17982, kFBTimeMode2997Frames_Drop), (std::vector<int>{0, 10, 0, 0}));
  fbhost::SetFrameRate(23.976);
  EXPECT_EQ(lFields(86400 + 23, kFBTimeModeDefault), (std::vector<int>{1, 0, 0, 23}));

  // The 29.97 modes are exact whatever the scene's rate.
  fbhost::SetFrameRate(25.0);
  FBTime lOne;
  lOne.SetFrame(1, kFBTimeMode2997Frames);
  EXPECT_EQ(lOne.Get(), kSecond * 1001 / 30000);
  EXPECT_EQ(lOne.GetFrame(kFBTimeMode2997Frames), 1);
  EXPECT_EQ(FBTime(lOne.Get() - 1).GetFrame(kFBTimeMode2997Frames), 0);
}

TEST_F(TimeTest, HugeValuesSaturate) {
  FBTime lTime;
  lTime.SetFrame(kMax);
  EXPECT_EQ(lTime.Get(), kMax);
  lTime.SetFrame(kMin);
  EXPECT_EQ(lTime.Get(), kMin);
  lTime.SetSecondDouble(1e300);
  EXPECT_EQ(lTime.Get(), kMax);
  lTime.SetSecondDouble(-std::numeric_limits<double>::infinity());
  EXPECT_EQ(lTime.Get(), kMin);
  lTime.SetSecondDouble(std::nan(""));
  EXPECT_EQ(lTime.Get(), 0);

  fbhost::SetFrameRate(1e300);
  EXPECT_EQ(FBTime(kMax).GetFrame(), kMax);
  EXPECT_EQ(FBTime(kMin).GetFrame(), kMin);
  int lHour, lMinute, lSecond, lFrame, lField, lMilli;
  EXPECT_TRUE(FBTime(kMin).GetTime(lHour, lMinute, lSecond, lFrame, lField, lMilli));
  EXPECT_LT(lHour, 0);
  EXPECT_LE(lFrame, 0);
  EXPECT_LE(lMilli, 0);
}

TEST_F(TimeTest, TimeCodeKeepsWholeSecondsFramesAndRate) {
  FBTimeCode lCode;
  EXPECT_FLOAT_EQ(FBTimeCode::NTSC_DROP, 29.97f);
  EXPECT_EQ(lCode.GetRate(), static_cast<double>(FBTimeCode::NTSC_DROP));
  lCode.SetTimeCode(5);
  EXPECT_EQ(lCode.GetSeconds(), 18000.0);
  EXPECT_EQ(lCode.GetFrames(), 0.0);

  ASSERT_TRUE(fbhost::ParseTimeCode("01:02:03:04", lCode, FBTimeCode::PAL_25));
  EXPECT_EQ(lCode.GetSeconds(), 3723.0);
  EXPECT_EQ(lCode.GetFrames(), 4.0);
  EXPECT_EQ(lCode.GetRate(), -25.0);
  EXPECT_EQ(fbhost::FormatTimeCode(lCode), "01:02:03:04");

  ASSERT_TRUE(fbhost::ParseTimeCode("10:00:00;12", lCode));  // drop-frame separator
  EXPECT_EQ(fbhost::FormatTimeCode(lCode), "10:00:00:12");
  EXPECT_EQ(lCode.GetRate(), static_cast<double>(FBTimeCode::NTSC_DROP));
  EXPECT_EQ(fbhost::FormatTimeCode(FBTimeCode()), "00:00:00:00");

  const char* lMalformed[] = {"",
                              "1:2:3",
                              "01:02:03:04:05",
                              "aa:bb:cc:dd",
                              "01:02:03:04 ",
                              "1234567:0:0:0",
                              "01;02:03:04",
                              "-1:00:00:00"};
  for (const char* lText : lMalformed) {
    FBTimeCode lKept(FBTimeCode::FILM_24);
    lKept.SetTimeCode(0, 0, 7, 0);
    EXPECT_FALSE(fbhost::ParseTimeCode(lText, lKept)) << lText;
    EXPECT_EQ(lKept.GetSeconds(), 7.0) << lText;
  }
  EXPECT_FALSE(fbhost::ParseTimeCode(nullptr, lCode));

  // Values no timecode text can hold still format, without undefined behaviour.
  const double lHuge[3] = {1e300, std::nan(""), 25.0};
  FBTimeCode lOdd;
  std::memcpy(static_cast<void*>(&lOdd), lHuge, sizeof(lHuge));
  EXPECT_FALSE(fbhost::FormatTimeCode(lOdd).empty());
}

}  // namespace

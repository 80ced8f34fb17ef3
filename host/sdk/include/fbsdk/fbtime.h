#pragma once
// Scene time and timecode values.

#include <fbsdk/fbdefines.h>

namespace ORSDK2014 {

// kFBTimeModeDefault means "the scene's frame rate"; the others are fixed rates.
enum FBTimeMode {
  kFBTimeModeDefault = 0,
  kFBTimeMode1000Hz = 1,
  kFBTimeMode120Frames = 2,
  kFBTimeMode100Frames = 3,
  kFBTimeMode60Frames = 4,
  kFBTimeMode50Frames = 5,
  kFBTimeMode48Frames = 6,
  kFBTimeMode30Frames = 7,
  kFBTimeMode2997Frames_Drop = 8,
  kFBTimeMode2997Frames = 9,
  kFBTimeMode25Frames = 10,
  kFBTimeMode24Frames = 11
};

// A point in time counted in ticks: 46,186,158,000 per second.
class FBSDK_DLL FBTime {
 public:
  static const kLongLong kTicksPerSecond = 46186158000LL;

  FBTime(kLongLong pTime = 0) : mTime(pTime) {}

  kLongLong Get() const { return mTime; }
  void Set(kLongLong pTime) { mTime = pTime; }

  // Frame index at the mode's rate, rounded down; saturates at the 64-bit limits.
  kLongLong GetFrame(FBTimeMode pTimeMode = kFBTimeModeDefault) const;
  void SetFrame(kLongLong pFrame, FBTimeMode pTimeMode = kFBTimeModeDefault);
  // Splits the time into hours, minutes, seconds and frames at the mode's rate.
  bool GetTime(int& pHour, int& pMinute, int& pSecond, int& pFrame, int& pField, int& pMilliSecond,
               FBTimeMode pTimeMode = kFBTimeModeDefault) const;
  kLongLong GetMilliSeconds() const { return mTime / 46186158LL; }
  void SetMilliSeconds(kLongLong pMilliSeconds);
  double GetSecondDouble() const;
  void SetSecondDouble(double pSeconds);

  bool operator==(const FBTime& pOther) const { return mTime == pOther.mTime; }
  bool operator!=(const FBTime& pOther) const { return mTime != pOther.mTime; }

 private:
  kLongLong mTime;
};

// A timecode as the host keeps it: whole seconds, frames within the second,
// and the rate (drop-frame rates positive, non-drop rates negative).
class FBSDK_DLL FBTimeCode {
 public:
  static const float NTSC_DROP;
  static const float NTSC_FULL;
  static const float FRAMES_30;
  static const float PAL_25;
  static const float FILM_24;

  FBTimeCode(float pRate = NTSC_DROP) : mSeconds(0.0), mFrames(0.0), mRate(pRate) {}

  void SetTimeCode(int pHour, int pMinute = 0, int pSecond = 0, float pFrame = 0);

  double GetSeconds() const { return mSeconds; }
  double GetFrames() const { return mFrames; }
  double GetRate() const { return mRate; }

  bool operator==(const FBTimeCode& pOther) const {
    return mSeconds == pOther.mSeconds && mFrames == pOther.mFrames && mRate == pOther.mRate;
  }
  bool operator!=(const FBTimeCode& pOther) const { return !(*this == pOther); }

 private:
  double mSeconds;
  double mFrames;
  double mRate;
};
static_assert(sizeof(FBTimeCode) == 24, "a timecode's raw value is 24 bytes");

}  // namespace ORSDK2014

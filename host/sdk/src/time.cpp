#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime_state.h"

namespace ORSDK2014 {

const float FBTimeCode::NTSC_DROP = 29.97f;
const float FBTimeCode::NTSC_FULL = -29.97f;
const float FBTimeCode::FRAMES_30 = -30.0f;
const float FBTimeCode::PAL_25 = -25.0f;
const float FBTimeCode::FILM_24 = -24.0f;

namespace {

double RateOf(FBTimeMode pMode) {
  switch (pMode) {
    case kFBTimeMode1000Hz:
      return 1000.0;
    case kFBTimeMode120Frames:
      return 120.0;
    case kFBTimeMode100Frames:
      return 100.0;
    case kFBTimeMode60Frames:
      return 60.0;
    case kFBTimeMode50Frames:
      return 50.0;
    case kFBTimeMode48Frames:
      return 48.0;
    case kFBTimeMode30Frames:
      return 30.0;
    case kFBTimeMode2997Frames_Drop:
    case kFBTimeMode2997Frames:
      return 29.97;
    case kFBTimeMode25Frames:
      return 25.0;
    case kFBTimeMode24Frames:
      return 24.0;
    default:
      return fbhost::detail::S().fps;
  }
}

kLongLong SaturateToLongLong(long double pValue) {
  if (std::isnan(pValue)) return 0;
  const long double lMax = static_cast<long double>(std::numeric_limits<kLongLong>::max());
  if (pValue >= lMax) return std::numeric_limits<kLongLong>::max();
  if (pValue <= -lMax) return std::numeric_limits<kLongLong>::min();
  return static_cast<kLongLong>(pValue);
}

int SaturateToInt(long double pValue) {
  if (pValue >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (pValue <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(pValue);
}

// Index of the last frame starting at or before pTicks. Frame starts are
// SetFrame's rounded ticks, so the estimate is checked against them.
long double FloorFrame(long double pTicks, double pRate) {
  auto lStart = [pRate](long double pFrame) {
    return std::round(pFrame * FBTime::kTicksPerSecond / pRate);
  };
  long double lFrame = std::floor(pTicks * pRate / FBTime::kTicksPerSecond);
  if (lStart(lFrame + 1) <= pTicks) {
    lFrame += 1;
  } else if (lStart(lFrame) > pTicks) {
    lFrame -= 1;
  }
  return lFrame;
}

}  // namespace

kLongLong FBTime::GetFrame(FBTimeMode pTimeMode) const {
  return SaturateToLongLong(FloorFrame(static_cast<long double>(mTime), RateOf(pTimeMode)));
}

void FBTime::SetFrame(kLongLong pFrame, FBTimeMode pTimeMode) {
  const long double lTicks = static_cast<long double>(pFrame) * kTicksPerSecond / RateOf(pTimeMode);
  mTime = SaturateToLongLong(std::round(lTicks));
}

bool FBTime::GetTime(int& pHour, int& pMinute, int& pSecond, int& pFrame, int& pField,
                     int& pMilliSecond, FBTimeMode pTimeMode) const {
  // Split the magnitude, then give every part the time's sign.
  const bool lNegative = mTime < 0;
  const unsigned long long lTicks = lNegative ? 0ULL - static_cast<unsigned long long>(mTime)
                                              : static_cast<unsigned long long>(mTime);
  const unsigned long long lSeconds = lTicks / kTicksPerSecond;
  const unsigned long long lRemainder = lTicks % kTicksPerSecond;
  const long double lFrame = FloorFrame(static_cast<long double>(lRemainder), RateOf(pTimeMode));
  const int lSign = lNegative ? -1 : 1;
  pHour = lSign * SaturateToInt(static_cast<long double>(lSeconds / 3600ULL));
  pMinute = lSign * static_cast<int>((lSeconds / 60ULL) % 60ULL);
  pSecond = lSign * static_cast<int>(lSeconds % 60ULL);
  pFrame = lSign * SaturateToInt(lFrame);
  pField = 0;
  pMilliSecond = lSign * static_cast<int>(lRemainder / 46186158ULL);
  return true;
}

void FBTime::SetMilliSeconds(kLongLong pMilliSeconds) {
  mTime = SaturateToLongLong(static_cast<long double>(pMilliSeconds) * 46186158.0L);
}

double FBTime::GetSecondDouble() const {
  return static_cast<double>(static_cast<long double>(mTime) / kTicksPerSecond);
}

void FBTime::SetSecondDouble(double pSeconds) {
  mTime = SaturateToLongLong(std::round(static_cast<long double>(pSeconds) * kTicksPerSecond));
}

void FBTimeCode::SetTimeCode(int pHour, int pMinute, int pSecond, float pFrame) {
  mSeconds = pHour * 3600.0 + pMinute * 60.0 + pSecond;
  mFrames = pFrame;
}

}  // namespace ORSDK2014

namespace fbhost {

bool ParseTimeCode(const char* pText, ORSDK2014::FBTimeCode& pTimeCode, float pRate) {
  if (!pText) return false;
  int lParts[4] = {0, 0, 0, 0};
  const char* lCursor = pText;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (*lCursor != ':' && !(i == 3 && *lCursor == ';')) return false;
      ++lCursor;
    }
    int lDigits = 0;
    long lValue = 0;
    while (*lCursor >= '0' && *lCursor <= '9') {
      if (++lDigits > 6) return false;
      lValue = lValue * 10 + (*lCursor - '0');
      ++lCursor;
    }
    if (lDigits == 0) return false;
    lParts[i] = static_cast<int>(lValue);
  }
  if (*lCursor != '\0') return false;
  pTimeCode = ORSDK2014::FBTimeCode(pRate);
  pTimeCode.SetTimeCode(lParts[0], lParts[1], lParts[2], static_cast<float>(lParts[3]));
  return true;
}

std::string FormatTimeCode(const ORSDK2014::FBTimeCode& pTimeCode) {
  auto lClamp = [](double pValue) -> long long {
    if (!(pValue == pValue)) return 0;
    if (pValue > 1e15) return 1000000000000000LL;
    if (pValue < -1e15) return -1000000000000000LL;
    return static_cast<long long>(pValue);
  };
  const long long lSeconds = lClamp(pTimeCode.GetSeconds());
  const long long lFrames = lClamp(pTimeCode.GetFrames());
  char lText[96];
  std::snprintf(lText, sizeof(lText), "%02lld:%02lld:%02lld:%02lld", lSeconds / 3600,
                (lSeconds / 60) % 60, lSeconds % 60, lFrames);
  return lText;
}

}  // namespace fbhost

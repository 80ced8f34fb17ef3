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

using fbhost::detail::Rate;
using Wide = __int128;

Rate RateOf(FBTimeMode pMode) {
  switch (pMode) {
    case kFBTimeMode1000Hz:
      return {1000, 1, 1000.0};
    case kFBTimeMode120Frames:
      return {120, 1, 120.0};
    case kFBTimeMode100Frames:
      return {100, 1, 100.0};
    case kFBTimeMode60Frames:
      return {60, 1, 60.0};
    case kFBTimeMode50Frames:
      return {50, 1, 50.0};
    case kFBTimeMode48Frames:
      return {48, 1, 48.0};
    case kFBTimeMode30Frames:
      return {30, 1, 30.0};
    case kFBTimeMode2997Frames_Drop:
    case kFBTimeMode2997Frames:
      return {30000, 1001, 30000.0 / 1001.0};
    case kFBTimeMode25Frames:
      return {25, 1, 25.0};
    case kFBTimeMode24Frames:
      return {24, 1, 24.0};
    default:
      return fbhost::detail::S().rate;
  }
}

kLongLong SaturateToLongLong(long double pValue) {
  if (std::isnan(pValue)) return 0;
  const long double lMax = static_cast<long double>(std::numeric_limits<kLongLong>::max());
  if (pValue >= lMax) return std::numeric_limits<kLongLong>::max();
  if (pValue <= -lMax) return std::numeric_limits<kLongLong>::min();
  return static_cast<kLongLong>(pValue);
}

kLongLong SaturateToLongLong(Wide pValue) {
  if (pValue > std::numeric_limits<kLongLong>::max()) return std::numeric_limits<kLongLong>::max();
  if (pValue < std::numeric_limits<kLongLong>::min()) return std::numeric_limits<kLongLong>::min();
  return static_cast<kLongLong>(pValue);
}

int SaturateToInt(long double pValue) {
  if (pValue >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (pValue <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(pValue);
}

Wide FloorDiv(Wide pNumerator, Wide pDenominator) {
  Wide lQuotient = pNumerator / pDenominator;
  if (pNumerator % pDenominator != 0 && pNumerator < 0) --lQuotient;
  return lQuotient;
}

// At a rate that is an exact fraction, frame F starts on the last tick at or
// before its exact time F * den / num seconds: a time rounded to the nearest
// tick from a frame's exact time is never counted a frame early. The products
// fit 128 bits for any 64-bit frame or tick (SetFrameRate bounds num).
Wide ExactFrameStart(Wide pFrame, const Rate& pRate) {
  return FloorDiv(pFrame * FBTime::kTicksPerSecond * pRate.den, pRate.num);
}

// The last frame starting at or before pTicks: F * T * den < (pTicks + 1) * num.
Wide ExactFrameAt(Wide pTicks, const Rate& pRate) {
  return FloorDiv((pTicks + 1) * pRate.num - 1,
                  static_cast<Wide>(FBTime::kTicksPerSecond) * pRate.den);
}

// Other rates: index of the last frame starting at or before pTicks. Frame
// starts are SetFrame's rounded ticks, so the estimate is checked against them.
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

// The frame count a 29.97 drop-frame timecode shows: numbers 0 and 1 are
// skipped at every minute but every tenth.
Wide DropFrameLabel(Wide pFrame) {
  const Wide lTens = pFrame / 17982;
  const Wide lRest = pFrame % 17982;
  return pFrame + 18 * lTens + (lRest > 1 ? 2 * ((lRest - 2) / 1798) : 0);
}

}  // namespace

kLongLong FBTime::GetFrame(FBTimeMode pTimeMode) const {
  const Rate lRate = RateOf(pTimeMode);
  if (lRate.den > 0) return SaturateToLongLong(ExactFrameAt(mTime, lRate));
  return SaturateToLongLong(FloorFrame(static_cast<long double>(mTime), lRate.value));
}

void FBTime::SetFrame(kLongLong pFrame, FBTimeMode pTimeMode) {
  const Rate lRate = RateOf(pTimeMode);
  if (lRate.den > 0) {
    mTime = SaturateToLongLong(ExactFrameStart(pFrame, lRate));
    return;
  }
  const long double lTicks = static_cast<long double>(pFrame) * kTicksPerSecond / lRate.value;
  mTime = SaturateToLongLong(std::round(lTicks));
}

bool FBTime::GetTime(int& pHour, int& pMinute, int& pSecond, int& pFrame, int& pField,
                     int& pMilliSecond, FBTimeMode pTimeMode) const {
  // Split the magnitude, then give every part the time's sign.
  const bool lNegative = mTime < 0;
  const unsigned long long lTicks = lNegative ? 0ULL - static_cast<unsigned long long>(mTime)
                                              : static_cast<unsigned long long>(mTime);
  const unsigned long long lRemainder = lTicks % kTicksPerSecond;
  unsigned long long lSeconds = lTicks / kTicksPerSecond;
  long double lFrame = 0.0L;
  const Rate lRate = RateOf(pTimeMode);
  if (lRate.den > 0) {
    // Timecode fields: the frame count split at the nominal rate, so at an
    // NTSC rate a timecode second is 30 (24, 48, 60) frames, not a clock second.
    const Wide lNominal = (lRate.num + lRate.den - 1) / lRate.den;
    Wide lCount = ExactFrameAt(static_cast<Wide>(lTicks), lRate);
    if (pTimeMode == kFBTimeMode2997Frames_Drop) lCount = DropFrameLabel(lCount);
    lSeconds = static_cast<unsigned long long>(lCount / lNominal);
    lFrame = static_cast<long double>(lCount % lNominal);
  } else {
    lFrame = FloorFrame(static_cast<long double>(lRemainder), lRate.value);
  }
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

#pragma once
// Conversions for values a user or a scene can set to anything: clamp first,
// then convert, so no out-of-range value reaches an integer or float cast.

#include <cfloat>
#include <climits>
#include <cmath>

// Truncates toward zero; NaN gives 0, values beyond int saturate.
inline int TruncToInt(double pValue) {
  if (std::isnan(pValue)) return 0;
  if (pValue >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (pValue <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(pValue);
}

// Rounds to single precision; values beyond float's range become infinities.
inline float ToFloat(double pValue) {
  if (pValue > static_cast<double>(FLT_MAX)) return INFINITY;
  if (pValue < -static_cast<double>(FLT_MAX)) return -INFINITY;
  return static_cast<float>(pValue);
}

// A frame index as the 32-bit integer the timeline works on.
inline int FrameToInt(long long pFrame) {
  if (pFrame > INT_MAX) return INT_MAX;
  if (pFrame < INT_MIN) return INT_MIN;
  return static_cast<int>(pFrame);
}

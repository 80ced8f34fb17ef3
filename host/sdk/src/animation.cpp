#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime_state.h"

namespace ORSDK2014 {

int FBFCurve::KeyAdd(FBTime& pTime, double pValue, FBInterpolation pInterpolation, FBTangentMode) {
  if (pInterpolation < kFBInterpolationConstant || pInterpolation > kFBInterpolationCubic)
    pInterpolation = kFBInterpolationCubic;
  const Key lKey{pTime.Get(), pValue, pInterpolation};
  auto lAt = std::lower_bound(mKeys.begin(), mKeys.end(), lKey.time,
                              [](const Key& pKey, kLongLong pTime) { return pKey.time < pTime; });
  if (lAt != mKeys.end() && lAt->time == lKey.time) {
    *lAt = lKey;
  } else {
    lAt = mKeys.insert(lAt, lKey);
  }
  return static_cast<int>(lAt - mKeys.begin());
}

float FBFCurve::Evaluate(FBTime& pTime) { return static_cast<float>(EvaluateDouble(pTime.Get())); }

FBTime FBFCurve::KeyGetTime(int pIndex) const {
  return pIndex >= 0 && pIndex < KeyCount() ? FBTime(mKeys[static_cast<size_t>(pIndex)].time)
                                            : FBTime(0);
}

double FBFCurve::KeyGetValue(int pIndex) const {
  return pIndex >= 0 && pIndex < KeyCount() ? mKeys[static_cast<size_t>(pIndex)].value : 0.0;
}

FBInterpolation FBFCurve::KeyGetInterpolation(int pIndex) const {
  return pIndex >= 0 && pIndex < KeyCount() ? mKeys[static_cast<size_t>(pIndex)].interpolation
                                            : kFBInterpolationCubic;
}

namespace {

// pTo - pFrom for pFrom < pTo, exact in 64 bits even for keys at the ends of
// the time range, where the signed difference would overflow.
double TickSpan(kLongLong pFrom, kLongLong pTo) {
  return static_cast<double>(static_cast<kULongLong>(pTo) - static_cast<kULongLong>(pFrom));
}

}  // namespace

// Clamped Catmull-Rom: flat at the ends and where the curve turns.
double FBFCurve::Slope(size_t pIndex) const {
  if (pIndex == 0 || pIndex + 1 >= mKeys.size()) return 0.0;
  const Key& lBefore = mKeys[pIndex - 1];
  const Key& lKey = mKeys[pIndex];
  const Key& lAfter = mKeys[pIndex + 1];
  if ((lKey.value - lBefore.value) * (lAfter.value - lKey.value) <= 0.0) return 0.0;
  return (lAfter.value - lBefore.value) / TickSpan(lBefore.time, lAfter.time);
}

double FBFCurve::EvaluateDouble(kLongLong pTime, bool pStep) const {
  if (mKeys.empty()) return 0.0;
  if (pTime <= mKeys.front().time) return mKeys.front().value;
  if (pTime >= mKeys.back().time) return mKeys.back().value;
  const auto lAfter =
      std::upper_bound(mKeys.begin(), mKeys.end(), pTime,
                       [](kLongLong pTime, const Key& pKey) { return pTime < pKey.time; });
  const size_t lIndex = static_cast<size_t>(lAfter - mKeys.begin()) - 1;
  const Key& lA = mKeys[lIndex];
  const Key& lB = mKeys[lIndex + 1];
  const double lSpan = TickSpan(lA.time, lB.time);
  const double s = TickSpan(lA.time, pTime) / lSpan;
  switch (pStep ? kFBInterpolationConstant : lA.interpolation) {
    case kFBInterpolationConstant:
      return lA.value;
    case kFBInterpolationLinear:
      return lA.value + (lB.value - lA.value) * s;
    default: {
      const double s2 = s * s;
      const double s3 = s2 * s;
      return (2 * s3 - 3 * s2 + 1) * lA.value + (s3 - 2 * s2 + s) * lSpan * Slope(lIndex) +
             (-2 * s3 + 3 * s2) * lB.value + (s3 - s2) * lSpan * Slope(lIndex + 1);
    }
  }
}

FBAnimationNode::FBAnimationNode(FBPropertyAnimatable* pOwner, int pComponents, bool pTimeCode)
    : mOwner(pOwner),
      mTimeCode(pTimeCode),
      mCurves(pTimeCode ? 1 : static_cast<size_t>(pComponents)) {
  FCurve = &mCurves[0];
}

double FBAnimationNode::TimeCodeBase() {
  return std::max(1.0, std::round(fbhost::detail::S().rate.value));
}

bool FBAnimationNode::KeyAdd(const FBTime& pTime, double* pData, FBInterpolation pInterpolation,
                             FBTangentMode pTangentMode) {
  if (!pData) return false;
  FBTime lTime = pTime;
  if (mTimeCode) {
    mCurves[0].KeyAdd(lTime, pData[0] * TimeCodeBase() + pData[1], pInterpolation, pTangentMode);
    return true;
  }
  for (size_t i = 0; i < mCurves.size(); ++i)
    mCurves[i].KeyAdd(lTime, pData[i], pInterpolation, pTangentMode);
  return true;
}

int FBAnimationNode::KeyCount() { return FCurve->KeyCount(); }

void FBAnimationNode::EvaluateKeys(double* pData, kLongLong pTime) const {
  if (mTimeCode) {
    // Whole frames, shown until the next one; both parts take the count's sign.
    const double lBase = TimeCodeBase();
    const double lCount = std::floor(mCurves[0].EvaluateDouble(pTime));
    pData[0] = std::trunc(lCount / lBase);
    pData[1] = lCount - pData[0] * lBase;
    return;
  }
  const FBPropertyType lType = mOwner->mType;
  // Bools step from key to key.
  for (size_t i = 0; i < mCurves.size(); ++i)
    pData[i] = mCurves[i].EvaluateDouble(pTime, lType == kFBPT_bool);
}

bool FBAnimationNode::Evaluate(double* pData, FBTime pTime, bool pEvaluateCandidate) {
  if (!pData) return false;
  if (pEvaluateCandidate && pTime == fbhost::detail::S().localTime && mOwner->CandidateHolds()) {
    RawToData(mOwner->mType, &mOwner->mRaw, pData);
    return true;
  }
  EvaluateKeys(pData, pTime.Get());
  return true;
}

}  // namespace ORSDK2014

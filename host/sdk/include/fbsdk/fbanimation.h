#pragma once
// Keys on animatable properties: function curves and the animation node that
// holds one curve per component of a property's value.

#include <fbsdk/fbtime.h>

#include <vector>

namespace ORSDK2014 {

class FBPropertyAnimatable;

enum FBInterpolation {
  kFBInterpolationConstant = 0,
  kFBInterpolationLinear = 1,
  kFBInterpolationCubic = 2
};

enum FBTangentMode { kFBTangentModeAuto = 0 };

// One component's keys, kept in time order. Before the first key and after
// the last a curve holds the nearest key's value. A key's interpolation
// decides the segment that follows it; cubic segments take clamped
// Catmull-Rom tangents: the slope between the two neighbouring keys, flat at
// the first and last key and at a key that is a local minimum or maximum.
class FBSDK_DLL FBFCurve {
 public:
  // Adds a key, or sets the value and interpolation of the key already at
  // that time; answers the key's index.
  int KeyAdd(FBTime& pTime, double pValue, FBInterpolation pInterpolation = kFBInterpolationCubic,
             FBTangentMode pTangentMode = kFBTangentModeAuto);
  float Evaluate(FBTime& pTime);
  int KeyCount() const { return static_cast<int>(mKeys.size()); }
  // Key access (later releases' names). The host keeps floats; the stand-in
  // keeps doubles, so that scene files write keyed values back exactly.
  FBTime KeyGetTime(int pIndex) const;
  double KeyGetValue(int pIndex) const;
  FBInterpolation KeyGetInterpolation(int pIndex) const;
  void EditClear() { mKeys.clear(); }

  // The curve's value at a time, in double precision; pStep holds each key's
  // value up to the next key whatever its interpolation.
  double EvaluateDouble(kLongLong pTime, bool pStep = false) const;

 private:
  struct Key {
    kLongLong time;
    double value;
    FBInterpolation interpolation;
  };
  double Slope(size_t pIndex) const;
  std::vector<Key> mKeys;
};

// The keys of one animated property. Its data, as KeyAdd takes it and
// Evaluate gives it, is the property's value as doubles: one for a bool, an
// integer or a number, four for a colour, and for a timecode its seconds and
// frames. A timecode's curve counts frames at the scene's rate, so a key
// 1 frame and 1 scene frame after another is the next frame of timecode.
class FBSDK_DLL FBAnimationNode {
 public:
  FBAnimationNode(FBPropertyAnimatable* pOwner, int pComponents, bool pTimeCode);
  FBAnimationNode(const FBAnimationNode&) = delete;
  FBAnimationNode& operator=(const FBAnimationNode&) = delete;

  // Keys every component at pTime with pData.
  bool KeyAdd(const FBTime& pTime, double* pData,
              FBInterpolation pInterpolation = kFBInterpolationCubic,
              FBTangentMode pTangentMode = kFBTangentModeAuto);
  int KeyCount();
  // The value at pTime into pData; with pEvaluateCandidate, a value written
  // without a key at that time (see FBPropertyAnimatable) wins over the keys.
  bool Evaluate(double* pData, FBTime pTime, bool pEvaluateCandidate = true);
  // Number of doubles in the node's data.
  int GetDataDoubleArrayCount() const { return static_cast<int>(mCurves.size()); }

  // The curve of the first component: the whole value for a bool, an
  // integer, a number or a timecode.
  FBFCurve* FCurve;

  // The curves' value at pTime, without a candidate, into pData.
  void EvaluateKeys(double* pData, kLongLong pTime) const;
  // Frames a timecode second counts at the scene's rate.
  static double TimeCodeBase();

 private:
  FBPropertyAnimatable* mOwner;
  bool mTimeCode;
  std::vector<FBFCurve> mCurves;
};

}  // namespace ORSDK2014

// Keys: curve shapes against a model of each rule, and animated properties
// read at the scene's time.

#include <climits>
#include <utility>
#include <vector>

#include "sdk_test_support.h"

namespace {

using AnimationTest = SdkTest;

FBTime Frame(double pFrame) {
  FBTime lTime;
  lTime.SetSecondDouble(pFrame / 30.0);
  return lTime;
}

void GoTo(long long pFrame) {
  FBTime lTime;
  lTime.SetFrame(pFrame);
  fbhost::SetLocalTime(lTime);
}

double At(FBFCurve& pCurve, double pFrame) {
  FBTime lTime = Frame(pFrame);
  return pCurve.EvaluateDouble(lTime.Get());
}

// Hermite basis on one segment of span h frames, slopes per frame.
double Hermite(double v0, double m0, double v1, double m1, double h, double s) {
  return (2 * s * s * s - 3 * s * s + 1) * v0 + (s * s * s - 2 * s * s + s) * h * m0 +
         (-2 * s * s * s + 3 * s * s) * v1 + (s * s * s - s * s) * h * m1;
}

TEST_F(AnimationTest, CurvesFollowTheirInterpolationBetweenKeys) {
  FBFCurve lLinear, lConstant, lCubic, lPeak;
  using Keys = std::vector<std::pair<double, double>>;
  for (auto lKey : Keys{{0, 0}, {10, 10}, {20, 40}}) {
    FBTime lTime = Frame(lKey.first);
    lLinear.KeyAdd(lTime, lKey.second, kFBInterpolationLinear);
    lConstant.KeyAdd(lTime, lKey.second, kFBInterpolationConstant);
    lCubic.KeyAdd(lTime, lKey.second);
  }
  for (auto lKey : Keys{{0, 0}, {10, 10}, {20, 0}}) {
    FBTime lTime = Frame(lKey.first);
    lPeak.KeyAdd(lTime, lKey.second);
  }
  for (FBFCurve* lCurve : {&lLinear, &lConstant, &lCubic, &lPeak}) {
    EXPECT_EQ(At(*lCurve, 0), 0.0);
    EXPECT_EQ(At(*lCurve, 10), 10.0);
    EXPECT_EQ(At(*lCurve, -50), 0.0);  // held before the first key
  }
  EXPECT_EQ(At(lLinear, 25), 40.0);  // and after the last
  EXPECT_DOUBLE_EQ(At(lLinear, 5), 5.0);
  EXPECT_DOUBLE_EQ(At(lLinear, 12.5), 17.5);
  EXPECT_EQ(At(lConstant, 19.9), 10.0);
  // Cubic: flat at the ends, the neighbours' slope (40/20 per frame) inside.
  EXPECT_NEAR(At(lCubic, 2.5), Hermite(0, 0, 10, 2, 10, 0.25), 1e-9);
  EXPECT_NEAR(At(lCubic, 5), 3.75 - 1.25, 1e-9);  // 5 - 1/8 * 10 * 2
  EXPECT_NEAR(At(lCubic, 15), Hermite(10, 2, 40, 0, 10, 0.5), 1e-9);
  // A key that turns the curve is flat: no overshoot past 10.
  EXPECT_NEAR(At(lPeak, 5), 5.0, 1e-9);
  EXPECT_NEAR(At(lPeak, 2.5), 10 * (3 * 0.0625 - 2 * 0.015625), 1e-9);
  for (double f = 0; f <= 20; f += 0.5) EXPECT_LE(At(lPeak, f), 10.0) << f;
  // The published single-precision read agrees.
  FBTime lMiddle = Frame(5);
  EXPECT_FLOAT_EQ(lLinear.Evaluate(lMiddle), 5.0f);
  // Keys at the ends of the time range: their span does not overflow.
  FBFCurve lWide;
  FBTime lEarliest(LLONG_MIN), lLatest(LLONG_MAX);
  lWide.KeyAdd(lEarliest, 0.0, kFBInterpolationLinear);
  lWide.KeyAdd(lLatest, 2.0, kFBInterpolationLinear);
  EXPECT_NEAR(lWide.EvaluateDouble(0), 1.0, 1e-9);
  // Keying a time again replaces that key.
  FBTime lTen = Frame(10);
  EXPECT_EQ(lLinear.KeyAdd(lTen, 11.0, kFBInterpolationLinear), 1);
  EXPECT_EQ(lLinear.KeyCount(), 3);
  EXPECT_EQ(lLinear.KeyGetValue(1), 11.0);
}

class Rig : public FBHUDElement {
 public:
  Rig() : FBHUDElement("rig") {
    double lZero[4] = {0, 0, 0, 0};
    Count.Init(this, "Count", "Integer", lZero);
    Scale.Init(this, "Scale", "Number", lZero);
    On.Init(this, "On", "Bool", lZero);
    Tint.Init(this, "Tint", "ColorAndAlpha", lZero);
    Stamp.Init(this, "Stamp", "TimeCode", lZero);
    Shown.Init(this, "Shown", "TimeCode", lZero);
    for (FBPropertyAnimatable* lProperty :
         std::initializer_list<FBPropertyAnimatable*>{&Count, &Scale, &On, &Tint, &Stamp})
      lProperty->SetAnimated(true);
  }
  // Keys at scene frames, each with its values.
  void Key(FBPropertyAnimatable& pProperty,
           std::vector<std::pair<long long, std::vector<double>>> pKeys,
           FBInterpolation pInterpolation = kFBInterpolationLinear) {
    for (auto& lKey : pKeys) {
      FBTime lTime;
      lTime.SetFrame(lKey.first);
      pProperty.GetAnimationNode()->KeyAdd(lTime, lKey.second.data(), pInterpolation);
    }
  }

  FBPropertyAnimatableInt Count;
  FBPropertyAnimatableDouble Scale;
  FBPropertyAnimatableBool On;
  FBPropertyAnimatableColorAndAlpha Tint;
  FBPropertyAnimatableTimeCode Stamp;
  FBPropertyAnimatableTimeCode Shown;
};

TEST_F(AnimationTest, ReadsGiveTheKeysValueAtTheScenesTime) {
  Rig lRig;
  lRig.Key(lRig.Count, {{0, {0}}, {2, {3}}, {4, {0}}, {6, {-3}}});
  lRig.Key(lRig.Scale, {{0, {1.0}}, {4, {3.0}}});
  lRig.Key(lRig.On, {{0, {0}}, {4, {1}}}, kFBInterpolationCubic);
  lRig.Key(lRig.Tint, {{0, {0.0, 1.0, 0.2, 1.0}}, {4, {1.0, 0.0, 0.2, 0.5}}});
  GoTo(1);
  EXPECT_EQ(static_cast<int>(lRig.Count), 2);  // 1.5 rounds away from zero
  EXPECT_EQ(static_cast<double>(lRig.Scale), 1.5);
  EXPECT_FALSE(static_cast<bool>(lRig.On));
  const FBColorAndAlpha lTint = lRig.Tint;
  EXPECT_DOUBLE_EQ(lTint[0], 0.25);
  EXPECT_DOUBLE_EQ(lTint[1], 0.75);
  EXPECT_DOUBLE_EQ(lTint[2], 0.2);
  EXPECT_DOUBLE_EQ(lTint[3], 0.875);
  GoTo(3);
  EXPECT_FALSE(static_cast<bool>(lRig.On));  // bools step, whatever the interpolation
  GoTo(5);
  EXPECT_EQ(static_cast<int>(lRig.Count), -2);  // -1.5 too
  EXPECT_TRUE(static_cast<bool>(lRig.On));
  // Limits hold for keyed values as for set ones.
  lRig.Scale.SetMinMax(0.0, 2.0, true, true);
  EXPECT_EQ(static_cast<double>(lRig.Scale), 2.0);
}

TEST_F(AnimationTest, AValueSetWithoutAKeyHoldsUntilTheTimeChanges) {
  Rig lRig;
  lRig.Key(lRig.Count, {{0, {10}}, {10, {20}}});
  GoTo(5);
  lRig.Count = 99;
  EXPECT_EQ(static_cast<int>(lRig.Count), 99);
  double lData = 0;
  lRig.Count.GetAnimationNode()->Evaluate(&lData, Frame(5));
  EXPECT_EQ(lData, 99.0);
  lRig.Count.GetAnimationNode()->Evaluate(&lData, Frame(5), false);
  EXPECT_EQ(lData, 15.0);
  GoTo(6);
  EXPECT_EQ(static_cast<int>(lRig.Count), 16);
  GoTo(5);  // back at the same time, the candidate is gone
  EXPECT_EQ(static_cast<int>(lRig.Count), 15);
  // Without keys a set value is just the value.
  lRig.Scale = 4.5;
  GoTo(7);
  EXPECT_EQ(static_cast<double>(lRig.Scale), 4.5);
  // Turning animation off drops the keys; the last value set stays.
  lRig.Count.SetAnimated(false);
  EXPECT_EQ(lRig.Count.GetAnimationNode(), nullptr);
  EXPECT_EQ(static_cast<int>(lRig.Count), 99);
}

TEST_F(AnimationTest, ATimecodeCountsFramesAtTheScenesRateAndConnectionsFollowIt) {
  Rig lRig;
  // 09:41:12:03 at frame 0, one frame of timecode per scene frame.
  const double lStart = 9 * 3600 + 41 * 60 + 12;
  lRig.Key(lRig.Stamp, {{0, {lStart, 3}}, {90, {lStart, 93}}});
  ASSERT_TRUE(lRig.Shown.ConnectSrc(&lRig.Stamp));
  for (long long lFrame : {0LL, 26LL, 27LL, 45LL, 90LL}) {
    GoTo(lFrame);
    const long long lTotal = 3 + lFrame;
    const FBTimeCode lShown = lRig.Shown;
    EXPECT_EQ(lShown.GetSeconds(), lStart + lTotal / 30) << lFrame;
    EXPECT_EQ(lShown.GetFrames(), static_cast<double>(lTotal % 30)) << lFrame;
  }
  GoTo(45);
  EXPECT_EQ(fbhost::FormatTimeCode(lRig.Shown), "09:41:13:18");
  // The rate the property counts in is kept.
  const FBTimeCode lStamp = lRig.Stamp;
  EXPECT_FLOAT_EQ(static_cast<float>(lStamp.GetRate()), FBTimeCode::NTSC_DROP);
}

}  // namespace

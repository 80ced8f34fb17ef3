// Random values, extremes included, for every property of the element and
// its camera and for the scene around them, over many passes: every pass runs
// clean (and under the sanitizers, without a report), hands back the GL
// stacks as it found them, keeps "Aspect" in its limits, and the intrinsic
// size stays the viewing camera's resolution, truncated and saturated.

#include <GL/gl.h>
#include <fbsdk/runtime.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "hud_fixture.h"

namespace {

using Chaos = vexatest::HudTest;

class Random {
 public:
  explicit Random(unsigned pSeed) : mEngine(pSeed) {}

  template <class tValue>
  const tValue& Pick(const std::vector<tValue>& pValues) {
    return pValues[Below(pValues.size())];
  }
  size_t Below(size_t pCount) {
    return std::uniform_int_distribution<size_t>(0, pCount - 1)(mEngine);
  }
  bool Coin() { return Below(2) == 0; }

  int Int() {
    static const std::vector<int> kExtremes = {INT_MIN, INT_MIN + 1, -2000000000, -1,     0,
                                               1,       2000000000,  INT_MAX - 1, INT_MAX};
    if (Coin()) return Pick(kExtremes);
    return std::uniform_int_distribution<int>(-3000, 3000)(mEngine);
  }
  long long Frame() {
    static const std::vector<long long> kExtremes = {
        LLONG_MIN, LLONG_MAX, INT_MIN, INT_MAX, INT_MIN - 1LL, INT_MAX + 1LL, -1, 0, 100};
    if (Coin()) return Pick(kExtremes);
    return std::uniform_int_distribution<long long>(-1000, 1000)(mEngine);
  }
  double Double() {
    static const std::vector<double> kExtremes = {
        NAN,    INFINITY, -INFINITY, DBL_MAX, -DBL_MAX, DBL_MIN, -0.0,  1e300, -1e300,
        3.5e38, 2e9,      -2e9,      1.0,     3.0,      0.5,     180.0, 90.0};
    if (Coin()) return Pick(kExtremes);
    return std::uniform_real_distribution<double>(-1e4, 1e4)(mEngine);
  }
  const char* Text() {
    static const std::string kLong(3000, 'W');
    static const std::vector<const char*> kTexts = {"",
                                                    "x",
                                                    "Saving...",
                                                    "%s%n%d%%",
                                                    "\xE2\x82",
                                                    "\xFF\xC0\x80",
                                                    "ShowCrosshair",
                                                    "ShowOpticalCenter",
                                                    "Take \xC3\xA9",
                                                    kLong.c_str()};
    return Pick(kTexts);
  }

  // A value of the property's own kind; lists and events are left alone.
  void Assign(FBProperty& pProperty) {
    switch (pProperty.GetPropertyType()) {
      case kFBPT_bool: {
        bool lValue = Coin();
        pProperty.SetData(&lValue);
        break;
      }
      case kFBPT_int:
      case kFBPT_enum: {
        int lValue = Int();
        pProperty.SetData(&lValue);
        break;
      }
      case kFBPT_double:
      case kFBPT_TimeCode:
      case kFBPT_ColorRGBA: {
        double lValues[4] = {Double(), Double(), Double(), Double()};
        pProperty.SetData(lValues);
        break;
      }
      case kFBPT_charptr: {
        const char* lText = Text();
        pProperty.SetData(&lText);
        break;
      }
      default:
        break;
    }
  }

 private:
  std::mt19937 mEngine;
};

// A resolution as an int: toward zero, saturated, NaN as 0.
int ResolutionAsInt(double pValue) {
  if (std::isnan(pValue)) return 0;
  if (pValue >= INT_MAX) return INT_MAX;
  if (pValue <= INT_MIN) return INT_MIN;
  return static_cast<int>(pValue);
}

std::vector<GLint> StackDepths() {
  std::vector<GLint> lDepths(4);
  const GLenum lNames[] = {GL_ATTRIB_STACK_DEPTH, GL_MODELVIEW_STACK_DEPTH,
                           GL_PROJECTION_STACK_DEPTH, GL_TEXTURE_STACK_DEPTH};
  for (int i = 0; i < 4; ++i) glGetIntegerv(lNames[i], &lDepths[i]);
  return lDepths;
}

TEST_F(Chaos, ExtremePropertiesAndScenesDrawClean) {
  Random lRandom(20240611);
  Scene().AddCustomProperty(mCamera, "ShowCrosshair", kFBPT_bool);
  Scene().AddCustomProperty(mCamera, "ShowOpticalCenter", kFBPT_int);
  FBCamera* lOther = Scene().AddCamera("Camera 2");
  const std::vector<std::pair<int, int>> kSizes = {{1, 1},     {2, 1},     {1, 3},      {7, 5},
                                                   {64, 4000}, {640, 480}, {1920, 1080}};
  const std::vector<FBComponent*> kOwners = {mHud, mCamera, lOther};
  const std::vector<double> kRates = {24.0, 29.97, 30.0, 1000.0, 0.5};

  for (int lPass = 0; lPass < 1500; ++lPass) {
    FBComponent* lOwner = lRandom.Pick(kOwners);
    const int lChanges = lPass % 50 == 0 ? 200 : 8;
    for (int i = 0; i < lChanges; ++i) {
      lRandom.Assign(lOwner->PropertyList[static_cast<int>(
          lRandom.Below(static_cast<size_t>(lOwner->PropertyList.GetCount())))]);
    }
    mHud->Show = true;
    switch (lRandom.Below(8)) {
      case 0:
        SetFrame(lRandom.Frame());
        break;
      case 1:
        fbhost::SetLocalTime(FBTime(lRandom.Coin() ? LLONG_MIN : LLONG_MAX));
        break;
      case 2:
        Scene().SetPlayRange(lRandom.Frame(), lRandom.Frame());
        break;
      case 3:
        Scene().SetTransport(lRandom.Coin(), lRandom.Coin());
        break;
      case 4:
        Scene().SetCurrentCamera(lRandom.Coin() ? nullptr : lRandom.Coin() ? mCamera : lOther);
        Scene().SetCurrentTake(lRandom.Coin() ? nullptr : mTake);
        break;
      case 5:
        Scene().SetFrameRate(lRandom.Pick(kRates));
        break;
      case 6:
        Scene().SetSystemTimeMs(lRandom.Frame());
        break;
      default:
        break;
    }
    if (lPass % 40 == 0) {
      const auto& lSize = lRandom.Pick(kSizes);
      ASSERT_TRUE(vexatest::Viewer().Resize(lSize.first, lSize.second));
    }
    const std::vector<GLint> lDepths = StackDepths();
    vexatest::Viewer().RenderFrame(Scene().Elements(), lRandom.Coin() ? mCamera : nullptr);
    glFinish();
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "pass " << lPass;
    ASSERT_EQ(StackDepths(), lDepths) << "pass " << lPass;
    const double lAspect = mHud->Aspect;
    ASSERT_TRUE(lAspect >= 1.0 && lAspect <= 3.0) << lAspect;

    FBCamera* lViewing = lRandom.Coin() ? mCamera : lOther;
    FBViewingOptions lOptions(lViewing);
    int lWidth = -1, lHeight = -1;
    mHud->GetIntrinsicDimension(&lOptions, lWidth, lHeight);
    ASSERT_EQ(lWidth, ResolutionAsInt(lViewing->ResolutionWidth)) << "pass " << lPass;
    ASSERT_EQ(lHeight, ResolutionAsInt(lViewing->ResolutionHeight)) << "pass " << lPass;
  }
}

}  // namespace

// Keyed properties and running sources seen on pixels: each keyed frame
// draws as the same element does with the value a model of the keys gives,
// set by hand; and keyed draw passes stay free of heap allocation.

#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "hud_fixture.h"

namespace {

bool gCounting = false;
long gAllocations = 0;

}  // namespace

#if !defined(__SANITIZE_ADDRESS__)
void* operator new(size_t pSize) {
  if (gCounting) ++gAllocations;
  if (void* lMemory = std::malloc(pSize ? pSize : 1)) return lMemory;
  throw std::bad_alloc();
}
void* operator new[](size_t pSize) { return operator new(pSize); }
void operator delete(void* pMemory) noexcept { std::free(pMemory); }
void operator delete[](void* pMemory) noexcept { std::free(pMemory); }
void operator delete(void* pMemory, size_t) noexcept { std::free(pMemory); }
void operator delete[](void* pMemory, size_t) noexcept { std::free(pMemory); }
#endif

namespace {

using vexatest::HudTest;
using vexatest::Region;
using vexatest::Set;

const Region kWholeFrame{0, 0, 1919, 1079};

FBPropertyAnimatable& Animatable(FBComponent* pOwner, const char* pName) {
  FBProperty* lProperty = pOwner->PropertyList.Find(pName);
  EXPECT_TRUE(lProperty) << pName;
  return dynamic_cast<FBPropertyAnimatable&>(*lProperty);
}

// Keys pData (one value per key, or a timecode's seconds and frames) at frames.
void Key(FBPropertyAnimatable& pProperty,
         std::vector<std::pair<long long, std::vector<double>>> pKeys,
         FBInterpolation pInterpolation = kFBInterpolationLinear) {
  pProperty.SetAnimated(true);
  for (auto& lKey : pKeys) {
    FBTime lTime;
    lTime.SetFrame(lKey.first);
    pProperty.GetAnimationNode()->KeyAdd(lTime, lKey.second.data(), pInterpolation);
  }
}

class Animated : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    vexatest::HideAllItems(mHud);
  }
  QImage At(long long pFrame) {
    SetFrame(pFrame);
    return Render();
  }
};

TEST_F(Animated, KeyedInOutAndMarkerFramesFollowTheScenesTime) {
  Set(mHud, "Show Timeline", true);
  Set(mHud, "Show Marker 1", true);
  Set(mHud, "Marker 1 Name", "HIT");
  Scene().SetPlayRange(0, 100);
  Key(Animatable(mHud, "In Frame"), {{0, {10}}, {100, {30}}});
  Key(Animatable(mHud, "Out Frame"), {{0, {50}}, {100, {90}}});
  Key(Animatable(mHud, "Marker 1 Frame"), {{0, {20}}, {100, {70}}});
  const QImage lStart = At(0);
  const QImage lMiddle = At(50);
  EXPECT_FALSE(vexatest::SameIn(lStart, lMiddle, Region{0, 0, 1919, 120}));
  // The same frame with the model's values set by hand.
  for (const char* lName : {"In Frame", "Out Frame", "Marker 1 Frame"})
    Animatable(mHud, lName).SetAnimated(false);
  Set(mHud, "In Frame", 20);
  Set(mHud, "Out Frame", 70);
  Set(mHud, "Marker 1 Frame", 45);
  EXPECT_TRUE(vexatest::SameIn(At(50), lMiddle, kWholeFrame));
}

TEST_F(Animated, ARunningSourceShowsItsStartPlusTheFramesPlayed) {
  Set(mHud, "Show Character Timecode", true);
  Set(mHud, "Show Scene Frame", true);
  Scene().SetPlayRange(0, 300);
  FBComponent* lSource = Scene().AddObject("performer");
  auto& lTimecode = static_cast<FBPropertyAnimatable&>(
      *Scene().AddCustomProperty(lSource, "TimeCode", kFBPT_TimeCode));
  // 09:41:12:03 at frame 0, running one frame of timecode per scene frame.
  const double lStart = 9 * 3600 + 41 * 60 + 12;
  Key(lTimecode, {{0, {lStart, 3}}, {300, {lStart, 303}}});
  mHud->setCharacterTimecodeSource(lSource);
  const QImage lRunning = At(45);
  EXPECT_FALSE(vexatest::SameIn(lRunning, At(44), kWholeFrame));
  // 3 + 45 frames at 30 fps: 09:41:13:18, set as a still timecode.
  lTimecode.SetAnimated(false);
  FBTimeCode lExpected(FBTimeCode::NTSC_DROP);
  lExpected.SetTimeCode(9, 41, 13, 18.0f);
  lTimecode.SetData(&lExpected);
  EXPECT_TRUE(vexatest::SameIn(At(45), lRunning, kWholeFrame));
}

TEST_F(Animated, KeyedLensesMoveTheFocalLengthText) {
  Set(mHud, "Show Focal Length", true);
  // Focal-length mode shows the keyed focal length: 24 to 85 over 60 frames.
  mCamera->ApertureMode = kFBApertureFocalLength;
  Key(mCamera->FocalLength, {{0, {24.0}}, {60, {85.0}}});
  const QImage lZoomed = At(30);
  EXPECT_FALSE(vexatest::SameIn(lZoomed, At(0), kWholeFrame));
  mCamera->FocalLength.SetAnimated(false);
  mCamera->FocalLength = 54.5;
  EXPECT_TRUE(vexatest::SameIn(At(30), lZoomed, kWholeFrame));
  // Vertical mode derives it from the keyed field of view: 40 to 20 degrees.
  mCamera->ApertureMode = kFBApertureVertical;
  Key(mCamera->FieldOfView, {{0, {40.0}}, {60, {20.0}}});
  const QImage lNarrowed = At(30);
  EXPECT_FALSE(vexatest::SameIn(lNarrowed, At(0), kWholeFrame));
  mCamera->FieldOfView.SetAnimated(false);
  mCamera->FieldOfView = 30.0;
  EXPECT_TRUE(vexatest::SameIn(At(30), lNarrowed, kWholeFrame));
  // Horizontal mode reads the other field of view.
  mCamera->ApertureMode = kFBApertureHorizontal;
  Key(mCamera->FieldOfViewX, {{0, {60.0}}, {60, {40.0}}});
  const QImage lWide = At(15);
  mCamera->FieldOfViewX.SetAnimated(false);
  mCamera->FieldOfViewX = 55.0;
  EXPECT_TRUE(vexatest::SameIn(At(15), lWide, kWholeFrame));
}

TEST_F(Animated, DrawPassesWithTwentyKeyedPropertiesAllocateNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer owns operator new here";
#endif
  for (const char* lName : {"Show Scene Frame", "Show Character Timecode", "Show Focal Length",
                            "Show Timeline", "Show Reticle", "Show Value 1", "Show Value 2",
                            "Show Marker 1", "Show Marker 2", "Show Marker 3", "Show Marker 4"})
    Set(mHud, lName, true);
  const std::pair<const char*, std::vector<double>> kKeyed[] = {{"In Frame", {5, 30}},
                                                                {"Out Frame", {60, 95}},
                                                                {"Marker 1 Frame", {10, 40}},
                                                                {"Marker 2 Frame", {20, 50}},
                                                                {"Marker 3 Frame", {30, 60}},
                                                                {"Marker 4 Frame", {40, 70}},
                                                                {"Value 1", {1, 9}},
                                                                {"Value 2", {0.5, 0.25}},
                                                                {"Reticle Size", {40, 80}},
                                                                {"Aspect", {1.5, 2.35}},
                                                                {"Interoccular", {6, 7}},
                                                                {"Convergence", {200, 300}},
                                                                {"Show Labels", {1, 0}},
                                                                {"Timeline Offset", {0, 10}},
                                                                {"Bloop Light Duration", {5, 9}},
                                                                {"Reticle Color", {1, 0, 0, 1}},
                                                                {"Font Color", {1, 1, 1, 1}},
                                                                {"Mask Color", {0, 0, 0, 0.5}}};
  int lKeyedCount = 0;
  for (const auto& lEntry : kKeyed) {
    FBProperty* lFound = mHud->PropertyList.Find(lEntry.first);
    auto* lProperty = dynamic_cast<FBPropertyAnimatable*>(lFound);
    if (!lProperty) continue;  // some offsets are plain integers
    std::vector<double> lFirst = lEntry.second, lLast = lEntry.second;
    if (lFirst.size() == 2) lFirst.resize(1), lLast = {lEntry.second[1]};
    Key(*lProperty, {{0, lFirst}, {100, lLast}}, kFBInterpolationCubic);
    ++lKeyedCount;
  }
  mCamera->ApertureMode = kFBApertureFocalLength;
  Key(mCamera->FocalLength, {{0, {24.0}}, {100, {85.0}}});
  FBComponent* lSource = Scene().AddObject("performer");
  auto& lTimecode = static_cast<FBPropertyAnimatable&>(
      *Scene().AddCustomProperty(lSource, "TimeCode", kFBPT_TimeCode));
  Key(lTimecode, {{0, {36000, 0}}, {100, {36000, 100}}});
  mHud->setCharacterTimecodeSource(lSource);
  EXPECT_GE(lKeyedCount + 2, 18);

  fbhost::OffscreenViewer& lViewer = vexatest::Viewer();
  const std::vector<FBHUDElement*> lElements = Scene().Elements();
  for (int i = 0; i < 20; ++i) {
    Scene().SetFrame(i);
    lViewer.RenderFrame(lElements, mCamera);
  }
  gAllocations = 0;
  gCounting = true;
  for (int i = 20; i < 100; ++i) {
    Scene().SetFrame(i);
    lViewer.RenderFrame(lElements, mCamera);
  }
  gCounting = false;
  EXPECT_EQ(gAllocations, 0);
}

}  // namespace

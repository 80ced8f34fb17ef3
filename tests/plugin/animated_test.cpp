// Keyed properties and running sources seen on pixels: each keyed frame
// draws as the same element does with the value a model of the keys gives,
// set by hand.

#include "hud_fixture.h"

namespace {

using vexatest::Animatable;
using vexatest::HudTest;
using vexatest::Key;
using vexatest::Set;

const vexatest::Region kWholeFrame{0, 0, 1919, 1079};

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
  const QImage lMiddle = At(50);
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
  // 3 + 45 frames at 30 fps: 09:41:13:18, set as a still timecode.
  lTimecode.SetAnimated(false);
  FBTimeCode lExpected(FBTimeCode::NTSC_DROP);
  lExpected.SetTimeCode(9, 41, 13, 18.0f);
  lTimecode.SetData(&lExpected);
  EXPECT_TRUE(vexatest::SameIn(At(45), lRunning, kWholeFrame));
}

TEST_F(Animated, KeyedLensesMoveTheFocalLengthText) {
  Set(mHud, "Show Focal Length", true);
  // Each aperture mode reads its own lens property; a keyed frame draws as
  // the model's value between the keys does, set by hand.
  const struct {
    FBCameraApertureMode mode;
    FBPropertyAnimatableDouble* lens;
    double first, last;  // keyed at frames 0 and 60
    long long frame;
    double model;
  } kCases[] = {{kFBApertureFocalLength, &mCamera->FocalLength, 24.0, 85.0, 30, 54.5},
                {kFBApertureVertical, &mCamera->FieldOfView, 40.0, 20.0, 30, 30.0},
                {kFBApertureHorizontal, &mCamera->FieldOfViewX, 60.0, 40.0, 15, 55.0}};
  for (const auto& lCase : kCases) {
    mCamera->ApertureMode = lCase.mode;
    Key(*lCase.lens, {{0, {lCase.first}}, {60, {lCase.last}}});
    const QImage lKeyed = At(lCase.frame);
    lCase.lens->SetAnimated(false);
    *lCase.lens = lCase.model;
    EXPECT_TRUE(vexatest::SameIn(At(lCase.frame), lKeyed, kWholeFrame)) << lCase.mode;
  }
}

}  // namespace

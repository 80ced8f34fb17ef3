// Many elements, bindings and recordings in one process: nothing accumulates
// and every rule still holds at the end.

#include <GL/gl.h>
#include <fbsdk/runtime.h>

#include <cstdio>

#include "hud_fixture.h"

namespace {

using vexatest::ChangedPixels;
using vexatest::HudTest;
using vexatest::Region;
using vexatest::Set;

// Texture names in use in the current context, among the first few thousand.
int LiveTextures() {
  int lCount = 0;
  for (GLuint lName = 1; lName < 4096; ++lName) lCount += glIsTexture(lName) ? 1 : 0;
  return lCount;
}

using Volume = HudTest;

TEST_F(Volume, AThousandElementsComeAndGoWithoutATrace) {
  Set(mHud, "Saving", true);
  Render();  // the driver's first-use costs, paid before the baseline
  const int lLive = fbhost::LiveComponentCount();
  const int lNotify = fbhost::ConnectionNotifyHandlerCount();
  const int lPipeline = fbhost::RenderingPipelineHandlerCount();
  vexatest::Viewer().MakeCurrent();
  const int lTextures = LiveTextures();
  long long lBaseline = 0;

  for (int i = 0; i < 1000; ++i) {
    VexaHUDElement* lHud = CreateHud("transient");
    ASSERT_NE(lHud, nullptr);
    Set(lHud, "Show Slate", true);
    // Every tenth draws, so some glyph textures are made and must go too.
    if (i % 10 == 0) Render(64, 36);
    Scene().DeleteElement(lHud);
    if (i == 99) lBaseline = vexatest::ResidentBytes();
  }
  vexatest::Viewer().MakeCurrent();
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive);
  EXPECT_EQ(fbhost::ConnectionNotifyHandlerCount(), lNotify);
  EXPECT_EQ(fbhost::RenderingPipelineHandlerCount(), lPipeline);
  EXPECT_EQ(LiveTextures(), lTextures);
  // Nine hundred more elements after the first hundred cost nothing lasting.
  if (vexatest::kMemoryIsMeasurable) {
    EXPECT_LT(vexatest::ResidentBytes() - lBaseline, 8LL * 1000 * 1000);
  }
}

TEST_F(Volume, TenThousandBindingsLeaveOneConnection) {
  FBComponent* lSingle = Scene().AddObject("single");
  FBProperty* lTimecode = Scene().AddCustomProperty(lSingle, "master", kFBPT_TimeCode);
  FBComponent* lFour = Scene().AddObject("four");
  for (const char* lName : {"TCHour", "TCMinute", "TCSecond", "TCFrame"})
    Scene().AddCustomProperty(lFour, lName, kFBPT_int);
  vexatest::DebugCapture lQuiet;

  FBComponent* const kCharacterSources[] = {lFour, lSingle, nullptr};
  FBComponent* const kCameraSources[] = {lSingle, lFour, nullptr};
  for (int i = 0; i < 10000; ++i) {
    const int lTurn = (i / 2) % 3;
    if (i % 2 == 0) {
      mHud->setCharacterTimecodeSource(kCharacterSources[lTurn]);
    } else {
      mHud->setCameraTimecodeSource(kCameraSources[lTurn]);
    }
  }
  // The last turn binds the character side to the single property and the
  // camera side to the four.
  EXPECT_EQ(mHud->CharacterTimecode.GetSrcCount(), 1);
  EXPECT_EQ(mHud->CharacterTimecode.GetSrc(0), lTimecode);
  EXPECT_EQ(mHud->CharacterHour.GetSrcCount(), 0);
  EXPECT_EQ(mHud->CameraTimecode.GetSrcCount(), 0);
  for (FBProperty* lProperty : std::vector<FBProperty*>{&mHud->CameraHour, &mHud->CameraMinute,
                                                        &mHud->CameraSecond, &mHud->CameraFrame}) {
    EXPECT_EQ(lProperty->GetSrcCount(), 1) << lProperty->GetName();
  }
  // Each source holds the lists and connections of now, not of the past.
  EXPECT_EQ(lTimecode->GetDstCount(), 1);
  EXPECT_EQ(lSingle->GetDstCount(), 1);
  EXPECT_EQ(lFour->GetDstCount(), 1);

  FBTimeCode lValue;
  ASSERT_TRUE(fbhost::ParseTimeCode("10:20:30:15", lValue));
  lTimecode->SetData(&lValue);
  Set(lFour, "TCHour", 4);
  Set(lFour, "TCFrame", 9);
  Render(64, 36);
  EXPECT_EQ(static_cast<int>(mHud->CharacterHour), 10);
  EXPECT_EQ(static_cast<int>(mHud->CharacterMinute), 20);
  EXPECT_EQ(static_cast<int>(mHud->CharacterSecond), 30);
  EXPECT_EQ(static_cast<int>(mHud->CharacterFrame), 15);
  EXPECT_EQ(static_cast<int>(mHud->CameraHour), 4);
  EXPECT_EQ(static_cast<int>(mHud->CameraFrame), 9);
}

TEST_F(Volume, RecordingToggledEveryPassForTenThousandPasses) {
  vexatest::HideAllItems(mHud);
  Set(mHud, "Aspect", 1.0);
  Set(mHud, "Status Offset", -1000);
  Set(mHud, "Bloop Light Duration", 3);
  // A pixel on the flash's first stripe and off everything else.
  const Region kFlash{32, 32, 32, 32};
  Scene().SetTransport(false, false);
  for (int i = 0; i < 10000; ++i) {
    const bool lRecording = i % 2 == 0;
    Scene().SetTransport(lRecording, lRecording);
    const QImage lFrame = Render(64, 64);
    // Every recording pass is the first of a new recording: it flashes.
    EXPECT_EQ(ChangedPixels(lFrame, kFlash) > 0, lRecording) << i;
    if (HasFailure()) break;
  }
  // A recording that then keeps rolling flashes exactly three passes.
  Scene().SetTransport(false, false);
  Render(64, 64);
  Scene().SetTransport(true, true);
  int lFlashes = 0;
  for (int i = 0; i < 10; ++i) lFlashes += ChangedPixels(Render(64, 64), kFlash) > 0 ? 1 : 0;
  EXPECT_EQ(lFlashes, 3);
}

}  // namespace

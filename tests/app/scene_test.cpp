#include <fbhost/components.h>
#include <fbhost/plugin_loader.h>
#include <fbhost/scene.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>

namespace {

using fbhost::Scene;

TEST(Scene, StartsFreshAndCountsFramesAtItsOwnRate) {
  fbhost::SetFrameRate(60.0);
  fbhost::SetTransport(true, true);
  Scene lScene;
  EXPECT_EQ(lScene.FrameRate(), 30.0);
  EXPECT_FALSE(fbhost::IsRecording());
  lScene.SetFrameRate(25.0);
  lScene.SetFrame(50);
  EXPECT_EQ(fbhost::LocalTime().Get(), 2 * FBTime::kTicksPerSecond);
  EXPECT_EQ(lScene.Frame(), 50);
  lScene.SetPlayRange(-10, 100);
  EXPECT_EQ(fbhost::PlayStart().Get(), -FBTime::kTicksPerSecond * 10 / 25);
  EXPECT_EQ(fbhost::PlayStop().GetFrame(), 100);
  lScene.SetSystemTimeMs(1500);
  EXPECT_EQ(fbhost::SystemTime().Get(), FBTime::kTicksPerSecond * 3 / 2);
  EXPECT_EQ(lScene.SystemTimeMs(), 1500);
}

// Footage frame N is presented N * den / num seconds after the play range's
// start; at the footage's NTSC rate it must show scene frame N, whatever frame
// the range starts on. Whole rates are as they were.
TEST(Scene, NtscRatesAreExactSoEachFootageFrameShowsItsSceneFrame) {
  Scene lScene;
  const struct {
    double written;
    long long num, den;
  } kRates[] = {{23.976, 24000, 1001}, {29.97, 30000, 1001}, {47.952, 48000, 1001},
                {59.94, 60000, 1001},  {24.0, 24, 1},        {25.0, 25, 1}};
  for (const auto& lRate : kRates) {
    lScene.SetFrameRate(lRate.written);
    EXPECT_EQ(lScene.FrameRate(), static_cast<double>(lRate.num) / lRate.den);
    for (long long lStart : {0LL, 1LL, 7LL}) {
      lScene.SetPlayRange(lStart, lStart + 200000);
      for (long long lFrame : {1LL, 2LL, 3LL, 4LL, 1000LL, 107892LL}) {
        lScene.SetTimeAfterStart(static_cast<double>(lFrame) * lRate.den / lRate.num);
        EXPECT_EQ(lScene.Frame(), lStart + lFrame) << lRate.written << " from " << lStart;
      }
    }
    // A frame starts on the tick at or before its exact time.
    lScene.SetFrame(107892);
    EXPECT_EQ(fbhost::LocalTime().Get(), 107892 * FBTime::kTicksPerSecond * lRate.den / lRate.num)
        << lRate.written;
  }
}

TEST(Scene, FindsComponentsByNameAndKeepsTheirCustomProperties) {
  Scene lScene;
  FBCamera* lCamera = lScene.AddCamera("Cam");
  FBComponent* lActor = lScene.AddObject("Actor");
  EXPECT_EQ(lScene.FindComponent("Cam"), lCamera);
  EXPECT_EQ(lScene.FindComponent("Actor"), lActor);
  EXPECT_EQ(lScene.FindComponent("cam"), nullptr);
  EXPECT_EQ(lScene.FindObject("Cam"), nullptr);

  FBProperty* lMaster = lScene.AddCustomProperty(lActor, "master", kFBPT_TimeCode);
  FBProperty* lHour = lScene.AddCustomProperty(lActor, "TCHour", kFBPT_int);
  ASSERT_NE(lMaster, nullptr);
  ASSERT_NE(lHour, nullptr);
  EXPECT_EQ(lScene.AddCustomProperty(lActor, "event", kFBPT_event), nullptr);
  EXPECT_EQ(lActor->PropertyList.Find("master"), lMaster);
  EXPECT_TRUE(lMaster->IsAnimatable());
  EXPECT_EQ(lScene.CustomProperties(lActor), (std::vector<FBProperty*>{lMaster, lHour}));
  EXPECT_TRUE(lScene.CustomProperties(lCamera).empty());
}

TEST(Scene, TeardownDeletesEverythingAndForgetsOnlyItsOwnCurrentComponents) {
  std::string lError;
  auto lLibrary = fbhost::PluginLibrary::Load(TEST_HUD_PLUGIN, &lError);
  ASSERT_TRUE(lLibrary) << lError;
  const int lLive = fbhost::LiveComponentCount();
  FBCamera lForeign("Foreign");
  {
    Scene lScene;
    lScene.SetCurrentTake(lScene.AddTake("Take 001"));
    lScene.SetCurrentCamera(lScene.AddCamera("Cam"));
    FBHUDElement* lElement = lScene.CreateElement("TestHUDElement", "hud");
    ASSERT_NE(lElement, nullptr);
    EXPECT_TRUE(static_cast<bool>(lElement->Show));
    EXPECT_EQ(lScene.CreateElement("TestHUDElement", "refuse"), nullptr);
    EXPECT_EQ(lScene.Elements().size(), 1u);
    // A list still holding the camera when the scene goes.
    auto* lSources = dynamic_cast<FBPropertyListObject*>(lElement->PropertyList.Find("Sources"));
    ASSERT_NE(lSources, nullptr);
    lSources->Add(lScene.FindCamera("Cam"));
  }
  EXPECT_EQ(fbhost::CurrentTake(), nullptr);
  EXPECT_EQ(fbhost::CurrentCamera(), nullptr);
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive);

  {
    Scene lScene;
    lScene.SetCurrentCamera(&lForeign);
  }
  EXPECT_EQ(fbhost::CurrentCamera(), &lForeign);
  fbhost::SetCurrentCamera(nullptr);
}

}  // namespace

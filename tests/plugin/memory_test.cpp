// What one element costs in memory once it has drawn everything it can.

#include <cstdio>

#include "hud_fixture.h"

namespace {

using vexatest::HudTest;
using vexatest::Set;

void ShowEverything(FBComponent* pHud) {
  for (const char* lName :
       {"Show Scene Frame", "Show Scene Timecode", "Show Character Timecode",
        "Show Camera Timecode", "Show Focal Length", "Show Camera Name", "Show Interoccular",
        "Show Convergence", "Show FQN", "Show Slate", "Show FPS", "Show Value 1", "Show Value 2",
        "Show Timeline", "Show Reticle", "Show Marker 1", "Show Marker 2", "Saving"}) {
    Set(pHud, lName, true);
  }
  Set(pHud, "Marker 1 Name", "Marker ÀÉÎÕÜ àéîõü ŠŽ");
  Set(pHud, "Marker 2 Name", "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  Set(pHud, "Marker 2 Frame", 60);
}

using ElementMemory = HudTest;

TEST_F(ElementMemory, AnElementThatDrewEverythingStaysUnderItsBound) {
  if (!vexatest::kMemoryIsMeasurable) GTEST_SKIP() << "resident memory is the sanitizer's here";
  // The driver pays once for the first textured text it draws; an element
  // drawn and deleted beforehand takes that cost out of the measurement. It
  // leaves the saving message out, so no freed message texture is there for
  // the measured element to reuse.
  ShowEverything(mHud);
  Set(mHud, "Saving", false);
  Render();
  Scene().DeleteElement(mHud);
  mHud = nullptr;
  Render();
  const long long lBaseline = vexatest::ResidentBytes();
  ASSERT_GT(lBaseline, 0);

  VexaHUDElement* lHud = CreateHud("measured");
  ASSERT_NE(lHud, nullptr);
  ShowEverything(lHud);
  Set(lHud, "Save Message", "Saving... 0123456789 ÀÉÎÕÜ");
  Render();
  Render();
  const long long lGrowth = vexatest::ResidentBytes() - lBaseline;
  RecordProperty("growth_bytes", std::to_string(lGrowth));
  printf("resident growth of one element: %.1f MB\n", lGrowth / 1e6);
  EXPECT_LT(lGrowth, 48LL * 1000 * 1000);
}

}  // namespace

// Values and labels drawn by RenderText, read back as pixels.

#include <string>

#include "hud_fixture.h"

namespace {

using vexatest::ChangedPixels;
using vexatest::HudTest;
using vexatest::Region;
using vexatest::Set;

using RenderText = HudTest;

const Region kWhole{0, 0, 1919, 1079};

// Exactly the model's pixels: offsets and spacing off by one pixel show.
TEST_F(RenderText, DrawsTheValueTightenedAndItsLabelBelowWhileLabelsAreShown) {
  struct Case {
    const char* value;
    int x, y;
    const char* label;
  };
  // On a small viewport: frames and their comparison cost less.
  for (const Case& lCase :
       {Case{"0042", 100, 500, "FRAME"}, Case{"1", 10, 24, "X"}, Case{"11", 300, 560, "SLATE"},
        Case{"", 100, 300, "SLATE"}, Case{"READY", 600, 24, nullptr}, Case{"-7.5", -20, 590, ""}}) {
    SCOPED_TRACE(std::string(lCase.value) + " at " + std::to_string(lCase.x));
    for (bool lLabels : {true, false}) {
      Set(mHud, "Show Labels", lLabels);
      const QImage lText = RenderWith(
          [&](int, int) { mHud->RenderText(lCase.value, lCase.x, lCase.y, lCase.label); }, 800,
          600);
      const QImage lModel = RenderWith(
          [&](int, int) {
            vexatest::DrawTextModel(lCase.value, lCase.x, lCase.y, lLabels ? lCase.label : nullptr);
          },
          800, 600);
      EXPECT_TRUE(vexatest::SameIn(lText, lModel, kWhole)) << "labels " << lLabels;
      if (lCase.label && *lCase.label) {
        EXPECT_EQ(
            ChangedPixels(lText, Region{lCase.x + 5, lCase.y - 20, lCase.x + 60, lCase.y - 3}) > 20,
            lLabels);
      }
    }
  }
}

TEST_F(RenderText, InvalidTextDrawsWhatIsValidAndNeverReadsPastIt) {
  const char lTruncated[] = {'1', '2', static_cast<char>(0xE2), static_cast<char>(0x82), 0};
  const char lLone[] = {'1', static_cast<char>(0x80), '2', 0};
  const std::string lLong(10000, 'W');
  const char lControl[] = {'1', '\t', '\n', '\x01', '2', 0};
  const QImage lValid = RenderWith([&](int, int) { mHud->RenderText("12", 100, 500, "12"); });
  for (const char* lText : {lTruncated, lLone}) {
    const QImage lImage = RenderWith([&](int, int) { mHud->RenderText(lText, 100, 500, lText); });
    EXPECT_TRUE(vexatest::SameIn(lValid, lImage, Region{0, 400, 600, 600}));
  }
  // A long text is cut to what the glyph buffer holds; controls pass on.
  const std::string lKept(1023, 'W');
  for (auto [lText, lDrawn] : {std::pair{lLong.c_str(), lKept.c_str()}, {lControl, lControl}}) {
    const QImage lImage = RenderWith([&](int, int) { mHud->RenderText(lText, 100, 500, lText); });
    const QImage lModel =
        RenderWith([&](int, int) { vexatest::DrawTextModel(lDrawn, 100, 500, lDrawn); });
    EXPECT_TRUE(vexatest::SameIn(lImage, lModel, kWhole));
  }
}

TEST_F(RenderText, EachElementOwnsItsFonts) {
  VexaHUDElement* lOther = CreateHud("other");
  ASSERT_NE(lOther, nullptr);
  const QImage lBefore = RenderWith([&](int, int) { lOther->RenderText("77", 100, 500, "X"); });
  Scene().DeleteElement(mHud);
  mHud = nullptr;
  const QImage lAfter = RenderWith([&](int, int) { lOther->RenderText("77", 100, 500, "X"); });
  EXPECT_GT(ChangedPixels(lAfter, Region{100, 500, 400, 548}), 100);
  EXPECT_TRUE(vexatest::SameIn(lBefore, lAfter, kWhole));
}

}  // namespace

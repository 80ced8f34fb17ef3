// Values and labels drawn by RenderText, read back as pixels.

#include <FTGL/ftgl.h>

#include <QFile>

#include "hud_fixture.h"

namespace {

using vexatest::ChangedPixels;
using vexatest::HudTest;
using vexatest::Region;
using vexatest::Set;

using RenderText = HudTest;

// A value drawn at (100, 500): its glyphs stand on the baseline, its label's
// capitals stand on y = 484, 5 pixels to the right.
const Region kValue{100, 500, 400, 548};
const Region kLabel{105, 484, 300, 497};

TEST_F(RenderText, DrawsTheValueAndItsLabelWhileLabelsAreShown) {
  const QImage lWithLabel =
      RenderWith([&](int, int) { mHud->RenderText("0042", 100, 500, "FRAME"); });
  EXPECT_GT(ChangedPixels(lWithLabel, kValue), 100);
  EXPECT_GT(ChangedPixels(lWithLabel, kLabel), 20);
  // Nothing left of the value's origin or below the label.
  EXPECT_EQ(ChangedPixels(lWithLabel, Region{0, 470, 98, 560}), 0);
  EXPECT_EQ(ChangedPixels(lWithLabel, Region{100, 400, 400, 480}), 0);

  Set(mHud, "Show Labels", false);
  const QImage lWithout =
      RenderWith([&](int, int) { mHud->RenderText("0042", 100, 500, "FRAME"); });
  EXPECT_TRUE(vexatest::SameIn(lWithLabel, lWithout, kValue));
  EXPECT_EQ(ChangedPixels(lWithout, kLabel), 0);
}

TEST_F(RenderText, AnEmptyValueStillHasItsLabelAndANullLabelDrawsNone) {
  const QImage lEmpty = RenderWith([&](int, int) { mHud->RenderText("", 100, 500, "SLATE"); });
  EXPECT_EQ(ChangedPixels(lEmpty, kValue), 0);
  EXPECT_GT(ChangedPixels(lEmpty, kLabel), 20);

  const QImage lNoLabel =
      RenderWith([&](int, int) { mHud->RenderText("READY", 100, 500, nullptr); });
  EXPECT_GT(ChangedPixels(lNoLabel, kValue), 100);
  EXPECT_EQ(ChangedPixels(lNoLabel, kLabel), 0);
}

TEST_F(RenderText, ValuesAreSetFivePixelsPerCharacterTighter) {
  // The face's own advance of "1" at the value size.
  QFile lFace(":resources/OratorStd.otf");
  ASSERT_TRUE(lFace.open(QIODevice::ReadOnly));
  const QByteArray lBytes = lFace.readAll();
  FTTextureFont lFont(reinterpret_cast<const unsigned char*>(lBytes.constData()),
                      static_cast<size_t>(lBytes.size()));
  lFont.FaceSize(48, 72);
  const double lAdvance = lFont.Advance("1");
  ASSERT_GT(lAdvance, 10.0);

  auto lRightmost = [](const QImage& pImage) {
    for (int x = 600; x >= 0; --x)
      if (ChangedPixels(pImage, Region{x, 500, x, 548}) > 0) return x;
    return -1;
  };
  const QImage lPair = RenderWith([&](int, int) { mHud->RenderText("11", 100, 500, nullptr); });
  const QImage lSingle = RenderWith([&](int, int) { mHud->RenderText("1", 100, 500, nullptr); });
  const int lOne = lRightmost(lSingle);
  ASSERT_GT(lOne, 100);
  EXPECT_NEAR(lRightmost(lPair) - lOne, lAdvance - 5.0, 1.0);
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
  RenderWith([&](int, int) {
    mHud->RenderText(lLong.c_str(), 100, 500, lLong.c_str());
    mHud->RenderText(lControl, 100, 500, lControl);
  });
}

TEST_F(RenderText, EachElementOwnsItsFonts) {
  VexaHUDElement* lOther = CreateHud("other");
  ASSERT_NE(lOther, nullptr);
  const QImage lBefore = RenderWith([&](int, int) { lOther->RenderText("77", 100, 500, "X"); });
  Scene().DeleteElement(mHud);
  mHud = nullptr;
  const QImage lAfter = RenderWith([&](int, int) { lOther->RenderText("77", 100, 500, "X"); });
  EXPECT_GT(ChangedPixels(lAfter, kValue), 100);
  EXPECT_TRUE(vexatest::SameIn(lBefore, lAfter, Region{0, 0, 1919, 1079}));
}

}  // namespace

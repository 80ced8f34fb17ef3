// The timeline bar read back as pixels: the worked layout, the in/out clamps,
// markers and a play range of no length.

#include <string>

#include "hud_fixture.h"

namespace {

using vexatest::ChangedBounds;
using vexatest::ChangedPixels;
using vexatest::HudTest;
using vexatest::Over;
using vexatest::PixelNear;
using vexatest::Region;
using vexatest::Set;

// Play range 0..100, frame 50, in 20, out 80, on a flat frame with nothing
// else drawn.
class Timeline : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    vexatest::HideEverything(mHud);
    Set(mHud, "Show Timeline", true);
    Set(mHud, "In Frame", 20);
    Set(mHud, "Out Frame", 80);
    SetFrame(50);
  }

  void ShowMarker(int pNumber, int pFrame, const char* pName, bool pShown = true) {
    const std::string lNumber = std::to_string(pNumber);
    Set(mHud, ("Show Marker " + lNumber).c_str(), pShown);
    Set(mHud, ("Marker " + lNumber + " Frame").c_str(), pFrame);
    Set(mHud, ("Marker " + lNumber + " Name").c_str(), pName);
  }
};

// Default colours: the highlight is (-0.55, 0.55, -0.55) at 0.25, clamped by
// GL; the cursor (0.55, -0.55, -0.55) opaque; outline and markers white.
const double kShift = static_cast<double>(0.55f);
::testing::AssertionResult Highlighted(const QImage& pImage, int pX, int pY) {
  return PixelNear(pImage, pX, pY, Over(0, 0.25), Over(kShift, 0.25), Over(0, 0.25));
}
::testing::AssertionResult Cursor(const QImage& pImage, int pX, int pY) {
  return PixelNear(pImage, pX, pY, kShift * 255, 0, 0);
}
::testing::AssertionResult White(const QImage& pImage, int pX, int pY) {
  return PixelNear(pImage, pX, pY, 255, 255, 255);
}
::testing::AssertionResult Grey(const QImage& pImage, int pX, int pY) {
  return PixelNear(pImage, pX, pY, 102, 102, 102, 0);
}

// Highlighted columns of the bar's middle row, as [first, last].
std::pair<int, int> HighlightSpan(const QImage& pImage) {
  std::pair<int, int> lSpan{pImage.width(), -1};
  for (int x = 0; x < pImage.width(); ++x) {
    if (!Highlighted(pImage, x, 100)) continue;
    lSpan = {std::min(lSpan.first, x), std::max(lSpan.second, x)};
  }
  return lSpan;
}

TEST_F(Timeline, LaysOutTheWorkedExample) {
  ShowMarker(1, 25, "");
  const QImage lImage = Render();
  // The outline's lines lie on pixel edges, so either neighbouring row lights.
  for (int x : {200, 700, 1700}) {
    EXPECT_TRUE(White(lImage, x, 89) || White(lImage, x, 90)) << x;
    EXPECT_TRUE(White(lImage, x, 109) || White(lImage, x, 110)) << x;
  }
  for (int y : {95, 105}) {
    EXPECT_TRUE(White(lImage, 9, y) || White(lImage, 10, y)) << y;
    EXPECT_TRUE(White(lImage, 1909, y) || White(lImage, 1910, y)) << y;
    EXPECT_TRUE(Grey(lImage, 7, y));
    EXPECT_TRUE(Grey(lImage, 1912, y));
  }
  EXPECT_EQ(ChangedPixels(lImage, Region{0, 0, 1919, 87}), 0);
  EXPECT_EQ(ChangedPixels(lImage, Region{0, 112, 1919, 1079}), 0);

  EXPECT_EQ(HighlightSpan(lImage), std::make_pair(390, 1529));
  EXPECT_TRUE(Highlighted(lImage, 700, 91));
  EXPECT_TRUE(Highlighted(lImage, 700, 108));
  EXPECT_TRUE(Grey(lImage, 389, 100));
  EXPECT_TRUE(Grey(lImage, 1530, 100));

  for (int x : {958, 961}) EXPECT_TRUE(Cursor(lImage, x, 91) && Cursor(lImage, x, 108)) << x;
  EXPECT_TRUE(Highlighted(lImage, 957, 100));
  EXPECT_TRUE(Highlighted(lImage, 962, 100));

  // Triangle: apex (485, 101), base (475..495, 91).
  for (auto [x, y] : {std::pair{485, 99}, {477, 92}, {492, 92}, {485, 91}})
    EXPECT_TRUE(White(lImage, x, y)) << x << "," << y;
  for (auto [x, y] : {std::pair{485, 102}, {473, 92}, {497, 92}, {480, 99}})
    EXPECT_TRUE(Highlighted(lImage, x, y)) << x << "," << y;
}

TEST_F(Timeline, TakesItsColoursFromTheMaskAndFontColours) {
  Set(mHud, "Mask Color", FBColorAndAlpha(0.3, 0.2, 0.1, 0.75));
  Set(mHud, "Font Color", FBColorAndAlpha(0.0, 0.0, 1.0, 1.0));
  ShowMarker(1, 25, "");
  const QImage lImage = Render();
  EXPECT_TRUE(PixelNear(lImage, 700, 100, Over(0, 0.25), Over(0.2 + kShift, 0.25), Over(0, 0.25)));
  EXPECT_TRUE(PixelNear(lImage, 960, 100, (0.3 + kShift) * 255, 0, 0));
  EXPECT_TRUE(PixelNear(lImage, 485, 95, 0, 0, 255));
}

TEST_F(Timeline, ClampsInAndOutToThePlayRange) {
  struct Case {
    int in, out;
    bool empty;
  };
  // In before the start and out after the stop span the whole bar; out before
  // in, or both past the stop, leave nothing to highlight.
  for (const Case& lCase : {Case{-50, 500, false}, Case{60, 40, true}, Case{150, 200, true}}) {
    SCOPED_TRACE(std::to_string(lCase.in) + ".." + std::to_string(lCase.out));
    Set(mHud, "In Frame", lCase.in);
    Set(mHud, "Out Frame", lCase.out);
    const QImage lImage = Render();
    const auto lSpan = HighlightSpan(lImage);
    if (lCase.empty) {
      EXPECT_EQ(lSpan.second, -1);
    } else {
      EXPECT_TRUE(lSpan.first == 10 || lSpan.first == 11) << lSpan.first;
      EXPECT_TRUE(lSpan.second == 1908 || lSpan.second == 1909) << lSpan.second;
      EXPECT_TRUE(Grey(lImage, 7, 100));
    }
    EXPECT_TRUE(Cursor(lImage, 960, 100));
  }
}

TEST_F(Timeline, DrawsOnlyShownMarkersInsideThePlayRange) {
  const QImage lNone = Render();
  const Region kWhole{0, 0, 1919, 1079};
  // Neither triangle nor name for a hidden marker or one outside the range.
  for (auto [lFrame, lShown] : {std::pair{25, false}, {-1, true}, {101, true}}) {
    ShowMarker(2, lFrame, "M2", lShown);
    EXPECT_TRUE(vexatest::SameIn(lNone, Render(), kWhole)) << lFrame;
  }
  ShowMarker(2, 0, "", true);
  ShowMarker(3, 100, "", true);
  const QImage lEnds = Render();
  EXPECT_TRUE(White(lEnds, 12, 93));
  EXPECT_TRUE(White(lEnds, 1907, 93));
  EXPECT_EQ(ChangedPixels(lEnds, Region{0, 0, 1919, 87}), 0);

  // The name, centred under its marker, its top 5 pixels below the bar.
  ShowMarker(4, 25, "M4");
  const Region lName = ChangedBounds(Render(), Region{0, 0, 1919, 87});
  EXPECT_NEAR((lName.x0 + lName.x1) / 2.0, 485, 2);
  EXPECT_NEAR(lName.y1, 84, 1);
  EXPECT_GT(lName.x1 - lName.x0, 10);
}

TEST_F(Timeline, PutsEverythingAtTheLeftEndOfAPlayRangeOfNoLength) {
  Scene().SetPlayRange(50, 50);
  ShowMarker(1, 50, "");
  const QImage lImage = Render();
  EXPECT_TRUE(Cursor(lImage, 8, 100));
  EXPECT_TRUE(Cursor(lImage, 11, 100));
  EXPECT_TRUE(Grey(lImage, 12, 100));
  EXPECT_TRUE(White(lImage, 16, 92));
  EXPECT_EQ(HighlightSpan(lImage).second, -1);
}

}  // namespace

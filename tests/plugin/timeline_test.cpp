// The timeline bar read back as pixels: the worked layout, the in/out clamps,
// markers and a play range of no length.

#include <FTGL/ftgl.h>
#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <vector>

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
  // The rest of the layout is the model's; these are the worked numbers.
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

TEST_F(Timeline, DrawsNothingWhileOffMarkersIncluded) {
  Set(mHud, "Show Timeline", false);
  ShowMarker(1, 25, "M1");
  EXPECT_EQ(ChangedPixels(Render(), Region{0, 0, 1919, 1079}), 0);
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

struct Mark {
  int frame;
  const char* name;
};

// The timeline as it is meant to look in the default colours: x from a frame
// in single precision, truncated toward zero; markers in number order; names
// in the test's own label face.
void DrawTimelineModel(int pWidth, int pO, int pS, int pE, int pK, int pIn, int pOut,
                       const std::vector<Mark>& pMarks) {
  auto X = [&](int pFrame) {
    return static_cast<int>(static_cast<float>(pFrame - pS) / static_cast<float>(pE - pS) *
                                static_cast<float>(pWidth - 20) +
                            10.0f);
  };
  const int lLo = pIn < pS ? pS : std::min(pIn, pE);
  const int lHi = std::min(std::max(pOut, lLo), pE);
  auto Box = [](double pX0, double pY0, double pX1, double pY1) {
    glBegin(GL_QUADS);
    glVertex2d(pX0, pY1);
    glVertex2d(pX0, pY0);
    glVertex2d(pX1, pY0);
    glVertex2d(pX1, pY1);
    glEnd();
  };
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBegin(GL_LINE_LOOP);
  for (auto [x, y] : {std::pair{10, pO + 20}, {10, pO}, {pWidth - 10, pO}, {pWidth - 10, pO + 20}})
    glVertex2d(x, y);
  glEnd();
  glColor4f(-0.55f, 0.55f, -0.55f, 0.25f);
  Box(X(lLo), pO + 1, X(lHi), pO + 19);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  for (const Mark& lMark : pMarks) {
    if (lMark.frame < pS || lMark.frame > pE) continue;
    const double lX = X(lMark.frame);
    glBegin(GL_POLYGON);
    glVertex2d(lX, pO + 11);
    glVertex2d(lX - 10, pO + 1);
    glVertex2d(lX + 10, pO + 1);
    glEnd();
    FTFont& lFont = vexatest::LabelFontModel();
    const FTPoint lUpper = lFont.BBox(lMark.name).Upper();
    lFont.Render(lMark.name, -1, FTPoint(lX - 0.5 * lUpper.X(), pO - lUpper.Y() - 5));
  }
  glColor4f(0.55f, -0.55f, -0.55f, 1.0f);
  Box(X(pK) - 2, pO + 1, X(pK) + 2, pO + 19);
}

TEST_F(Timeline, MatchesTheModelPixelForPixel) {
  struct Case {
    const char* what;
    int o, s, e, k, in, out;
    std::vector<Mark> marks;  // markers 1, 2, ... in turn
  };
  const std::vector<Case> lCases = {
      {"worked example", 90, 0, 100, 50, 20, 80, {{25, "A1"}, {0, "Start"}, {100, "End"}}},
      {"single precision", 90, 0, 100, 26, 26, 26, {{26, "26"}}},
      {"in and out clamped to the range", 90, 0, 100, 50, -50, 500, {}},
      {"out before in", 90, 0, 100, 50, 60, 40, {}},
      {"in and out past the stop", 90, 0, 100, 50, 150, 200, {}},
      {"one place, the last on top",
       90,
       0,
       100,
       70,
       0,
       0,
       {{40, "Wide one"}, {40, "iiii"}, {40, "MAM"}, {40, "ovo"}}},
      {"cursor before the start", 90, 0, 1000, -3, 0, 0, {}},
      {"cursor truncated toward zero", 90, 0, 10000, -55, 0, 0, {}},
      {"cursor after the stop", 90, 0, 100, 101, 0, 0, {{101, "out"}, {-1, "out"}}},
      {"stop before start", 90, 100, 0, 50, 20, 80, {{50, "none"}}},
      {"below the viewport", -10, 0, 100, 50, 20, 80, {{60, "lost"}}},
  };
  for (const Case& lCase : lCases) {
    SCOPED_TRACE(lCase.what);
    Set(mHud, "Timeline Offset", lCase.o);
    Scene().SetPlayRange(lCase.s, lCase.e);
    SetFrame(lCase.k);
    Set(mHud, "In Frame", lCase.in);
    Set(mHud, "Out Frame", lCase.out);
    for (int i = 0; i < 4; ++i) {
      const bool lShown = i < static_cast<int>(lCase.marks.size());
      ShowMarker(i + 1, lShown ? lCase.marks[i].frame : 0, lShown ? lCase.marks[i].name : "",
                 lShown);
    }
    const QImage lImage = Render(1920, 240);
    const QImage lModel = RenderWith(
        [&](int pWidth, int) {
          DrawTimelineModel(pWidth, lCase.o, lCase.s, lCase.e, lCase.k, lCase.in, lCase.out,
                            lCase.marks);
        },
        1920, 240);
    EXPECT_TRUE(vexatest::SameIn(lImage, lModel, Region{0, 0, 1919, 239}));
  }
}

}  // namespace

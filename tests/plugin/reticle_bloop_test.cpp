// The reticle and the bloop light read back as pixels.

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

class Reticle : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    vexatest::HideEverything(mHud);
    Set(mHud, "Show Reticle", true);
  }
  bool Drawn() {
    const QImage lImage = Render();
    return ChangedPixels(lImage, Region{0, 0, 1919, 1079}) > 0;
  }
};

const Region kAround{880, 460, 1040, 620};

// The largest difference of a channel between two images in a region.
int MaxDifference(const QImage& pA, const QImage& pB, const Region& pRegion) {
  int lMax = 0;
  for (int y = pRegion.y0; y <= pRegion.y1; ++y) {
    for (int x = pRegion.x0; x <= pRegion.x1; ++x) {
      const QRgb lA = fbhost::GlPixel(pA, x, y), lB = fbhost::GlPixel(pB, x, y);
      lMax = std::max({lMax, std::abs(qRed(lA) - qRed(lB)), std::abs(qGreen(lA) - qGreen(lB)),
                       std::abs(qBlue(lA) - qBlue(lB))});
    }
  }
  return lMax;
}

TEST_F(Reticle, DrawsThePictureTintedInTheCentredSquare) {
  const QImage lImage = Render();
  // The picture's ticks stop just short of its edges.
  const Region lBounds = ChangedBounds(lImage, Region{0, 0, 1919, 1079});
  EXPECT_TRUE(lBounds.x0 >= 935 && lBounds.x0 <= 936) << lBounds.x0;
  EXPECT_TRUE(lBounds.x1 >= 983 && lBounds.x1 <= 984) << lBounds.x1;
  EXPECT_TRUE(lBounds.y0 >= 515 && lBounds.y0 <= 516) << lBounds.y0;
  EXPECT_TRUE(lBounds.y1 >= 563 && lBounds.y1 <= 564) << lBounds.y1;
  // On the opaque outer ring, and in the clear centre.
  EXPECT_TRUE(PixelNear(lImage, 973, 553, Over(1, 0.9), Over(0, 0.9), Over(0, 0.9), 2));
  EXPECT_TRUE(PixelNear(lImage, 960, 540, 102, 102, 102, 0));

  Set(mHud, "Reticle Color", FBColorAndAlpha(0.0, 0.0, 1.0, 0.5));
  EXPECT_TRUE(PixelNear(Render(), 973, 553, Over(0, 0.5), Over(0, 0.5), Over(1, 0.5), 2));
}

// The picture's alpha sampled as GL's linear filter does at a point of the
// texture (s, t in 0..1): the four nearest texels, weighted, wrapping at the
// edges. Texture rows run from the picture's bottom row up.
double LinearAlpha(const QImage& pPicture, double pS, double pT) {
  const int lSize = pPicture.width();
  const double lU = pS * lSize - 0.5, lV = pT * lSize - 0.5;
  const int lI = static_cast<int>(std::floor(lU)), lJ = static_cast<int>(std::floor(lV));
  const double lA = lU - lI, lB = lV - lJ;
  auto lTexel = [&](int pI, int pJ) {
    const int lColumn = (pI % lSize + lSize) % lSize, lRow = (pJ % lSize + lSize) % lSize;
    return qAlpha(pPicture.pixel(lColumn, lSize - 1 - lRow)) / 255.0;
  };
  return (1 - lA) * (1 - lB) * lTexel(lI, lJ) + lA * (1 - lB) * lTexel(lI + 1, lJ) +
         (1 - lA) * lB * lTexel(lI, lJ + 1) + lA * lB * lTexel(lI + 1, lJ + 1);
}

TEST_F(Reticle, IsSampledLinearlyWhetherReducedOrMagnified) {
  const QImage lPicture(":resources/reticle-15-circle.png");
  ASSERT_EQ(lPicture.width(), 512);
  struct Case {
    int size;
    Region region;  // the whole square reduced; across the rings' edges magnified
  };
  for (const Case& lCase :
       {Case{50, Region{935, 515, 984, 564}}, Case{1024, Region{1150, 740, 1300, 890}},
        Case{1024, Region{990, 550, 1040, 600}}}) {
    SCOPED_TRACE(lCase.size);
    Set(mHud, "Reticle Size", lCase.size);
    const QImage lImage = Render();
    const double lX0 = std::trunc(960 - lCase.size * 0.5), lY0 = std::trunc(540 - lCase.size * 0.5);
    int lWrong = 0;
    for (int y = lCase.region.y0; y <= lCase.region.y1; ++y) {
      for (int x = lCase.region.x0; x <= lCase.region.x1; ++x) {
        // The quad's top edge takes the texture's first row.
        const double lS = (x + 0.5 - lX0) / lCase.size, lT = 1.0 - (y + 0.5 - lY0) / lCase.size;
        const double lAlpha = 0.9 * LinearAlpha(lPicture, lS, lT);
        const ::testing::AssertionResult lNear =
            PixelNear(lImage, x, y, Over(1, lAlpha), Over(0, lAlpha), Over(0, lAlpha), 2);
        if (!lNear && ++lWrong <= 3) ADD_FAILURE() << lNear.message();
      }
    }
    EXPECT_EQ(lWrong, 0);
  }
}

TEST_F(Reticle, DropsTheHalfPixelOfOddSizes) {
  // Truncation gives the same corner for both viewports of each pair; the
  // projection's rounding differs by a unit at most.
  const QImage lEven = Render(1920, 1080);
  EXPECT_LE(MaxDifference(lEven, Render(1921, 1081), kAround), 1);
  Set(mHud, "Reticle Size", 51);
  const QImage lOdd = Render(1920, 1080);
  EXPECT_LE(MaxDifference(lOdd, Render(1919, 1079), kAround), 1);
  EXPECT_GT(MaxDifference(lOdd, Render(1921, 1081), kAround), 100);
}

TEST_F(Reticle, IsHiddenOnlyByAFalseBoolCameraProperty) {
  ASSERT_TRUE(Drawn());
  ASSERT_NE(Scene().AddCustomProperty(mCamera, "ShowCrosshair", kFBPT_bool), nullptr);
  Set(mCamera, "ShowCrosshair", false);
  EXPECT_FALSE(Drawn());
  Set(mCamera, "ShowCrosshair", true);
  EXPECT_TRUE(Drawn());

  // A name the camera lacks falls back to "ShowOpticalCenter".
  Set(mHud, "Reticle Bound Property", "Missing");
  EXPECT_TRUE(Drawn());
  ASSERT_NE(Scene().AddCustomProperty(mCamera, "ShowOpticalCenter", kFBPT_bool), nullptr);
  Set(mCamera, "ShowOpticalCenter", false);
  EXPECT_FALSE(Drawn());

  // A property that is found decides alone; one that is not a bool hides nothing.
  Set(mHud, "Reticle Bound Property", "ShowCrosshair");
  EXPECT_TRUE(Drawn());
  ASSERT_NE(Scene().AddCustomProperty(mCamera, "Level", kFBPT_int), nullptr);
  Set(mCamera, "Level", 0);
  Set(mHud, "Reticle Bound Property", "Level");
  EXPECT_TRUE(Drawn());

  Scene().SetCurrentCamera(nullptr);
  EXPECT_TRUE(Drawn());
  Set(mHud, "Show Reticle", false);
  EXPECT_FALSE(Drawn());
}

TEST_F(Reticle, SizeZeroHidesItAndANegativeSizeMirrorsIt) {
  const QImage lPositive = Render();
  Set(mHud, "Reticle Size", -50);
  EXPECT_LE(MaxDifference(lPositive, Render(), kAround), 1);
  Set(mHud, "Reticle Size", 0);
  EXPECT_FALSE(Drawn());
}

class Bloop : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    vexatest::HideEverything(mHud);
    Set(mHud, "Bloop Light Duration", 3);
    // The flash as it is meant to look: the first stripe is narrower on its
    // upper-right side (40, not 75, at its right and top vertices).
    mFlash = RenderWith([](int pW, int pH) {
      glColor4f(1.0f, 0.0f, 0.0f, 0.25f);
      glBegin(GL_QUADS);
      for (auto [x, y] : {std::pair{0, pH - 75},
                          {pW - 75, 0},
                          {pW, 40},
                          {40, pH},
                          {0, 75},
                          {75, 0},
                          {pW, pH - 75},
                          {pW - 75, pH}})
        glVertex2d(x, y);
      glEnd();
    });
  }
  // One pass under the given transport: 'X' when it flashed, '.' when not.
  char Pass(bool pRecording, bool pPlaying) {
    Scene().SetTransport(pRecording, pPlaying);
    const QImage lImage = Render();
    if (ChangedPixels(lImage, Region{0, 0, 1919, 1079}) == 0) return '.';
    EXPECT_TRUE(vexatest::SameIn(lImage, mFlash, Region{0, 0, 1919, 1079}));
    return 'X';
  }
  std::string Passes(int pCount, bool pRecording, bool pPlaying) {
    std::string lFlashes;
    for (int i = 0; i < pCount; ++i) lFlashes += Pass(pRecording, pPlaying);
    return lFlashes;
  }
  QImage mFlash;
};

TEST_F(Bloop, FlashesForItsDurationInPlayingPassesUntilTheRecordingStops) {
  std::string lFlashes = Passes(1, false, false);
  lFlashes += Passes(2, true, false) + "|";  // recording, paused
  lFlashes += Passes(1, true, true);
  lFlashes += Passes(2, true, false) + "|";  // paused passes do not count
  lFlashes += Passes(3, true, true);
  lFlashes += Passes(1, true, false);
  lFlashes += Passes(1, true, true) + "|";
  lFlashes += Passes(1, false, false);  // stopping re-arms
  lFlashes += Passes(4, true, true);
  EXPECT_EQ(lFlashes, "...|X..|XX...|.XXX.");
}

TEST_F(Bloop, StaysOnWhileTheCountCannotMeetTheDuration) {
  Set(mHud, "Bloop Light Duration", 0);
  EXPECT_EQ(Passes(6, true, true), "XXXXXX");
  Passes(1, false, false);
  Set(mHud, "Bloop Light Duration", 5);
  std::string lFlashes = Passes(3, true, true);
  Set(mHud, "Bloop Light Duration", 2);
  lFlashes += Passes(3, true, true);
  EXPECT_EQ(lFlashes, "XXXXXX");
}

TEST_F(Bloop, AnElementCreatedWhileRollingWaitsForTheNextRecording) {
  Scene().DeleteElement(mHud);
  Scene().SetTransport(true, true);
  mHud = CreateHud("late");
  ASSERT_NE(mHud, nullptr);
  vexatest::HideEverything(mHud);
  Set(mHud, "Bloop Light Duration", 1);
  std::string lFlashes = Passes(2, true, true);
  lFlashes += Passes(1, false, false);
  lFlashes += Passes(2, true, true);
  EXPECT_EQ(lFlashes, "...X.");

  // Created while recording but paused, it is armed.
  Scene().DeleteElement(mHud);
  Scene().SetTransport(true, false);
  mHud = CreateHud("paused");
  ASSERT_NE(mHud, nullptr);
  vexatest::HideEverything(mHud);
  EXPECT_EQ(Passes(1, true, true), "X");
}

}  // namespace

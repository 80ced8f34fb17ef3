#pragma once
// Shared set-up for tests that draw: one offscreen viewer for the program,
// and per test a scene with a camera, a take and one HUD element.

#include <fbhost/offscreen_viewer.h>
#include <fbhost/scene.h>
#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "element/vexa_hud_element.h"

class FTFont;

namespace vexatest {

// Under AddressSanitizer resident memory includes its shadow and quarantine,
// so memory figures say nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryIsMeasurable = false;
#else
constexpr bool kMemoryIsMeasurable = true;
#endif

// The flat background every frame is cleared to, as 0-255 grey.
constexpr double kBackground = 0.4;
constexpr int kBackgroundGrey = 102;

// Collects Qt debug messages while alive.
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  const std::vector<std::string>& Messages() const;
  void Clear();
};

fbhost::OffscreenViewer& Viewer();

// The process's resident memory, in bytes.
long long ResidentBytes();

class HudTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  VexaHUDElement* CreateHud(const char* pName = "hud");
  // Draws one frame of the scene's elements at the given size.
  QImage Render(int pWidth = 1920, int pHeight = 1080);
  // Draws one frame in which pDraw runs inside the viewer's context, with a
  // pixel projection over the viewport and blending on, as the draw pass has.
  QImage RenderWith(const std::function<void(int, int)>& pDraw, int pWidth = 1920,
                    int pHeight = 1080);
  void SetFrame(long long pFrame);

  fbhost::Scene& Scene() { return *mScene; }

  std::unique_ptr<fbhost::Scene> mScene;
  FBCamera* mCamera = nullptr;
  FBTake* mTake = nullptr;
  VexaHUDElement* mHud = nullptr;
};

// Property writes by display name, as a user or a scene file would make them.
void Set(FBComponent* pOwner, const char* pName, bool pValue);
void Set(FBComponent* pOwner, const char* pName, int pValue);
void Set(FBComponent* pOwner, const char* pName, double pValue);
void Set(FBComponent* pOwner, const char* pName, const char* pValue);
void Set(FBComponent* pOwner, const char* pName, const FBColorAndAlpha& pValue);

// An animatable property by display name, and keys for it: one value per key
// (four for a colour, a timecode's seconds and frames) at scene frames.
FBPropertyAnimatable& Animatable(FBComponent* pOwner, const char* pName);
void Key(FBPropertyAnimatable& pProperty,
         const std::vector<std::pair<long long, std::vector<double>>>& pKeys,
         FBInterpolation pInterpolation = kFBInterpolationLinear);

// Turns every text item of the element off (the status item always draws).
void HideAllItems(FBComponent* pHud);
// HideAllItems, with no mask band and the status moved out of view: the
// element then leaves the frame flat.
void HideEverything(FBComponent* pHud);

// RenderText as it is meant to draw, with fonts of the test's own built from
// the bundle's faces: the value at (x, y) set 5 pixels per character tighter,
// and unless pLabel is null the label at (x + 5, y - 16), in the current colour.
void DrawTextModel(const char* pValue, int pX, int pY, const char* pLabel);
// The test's own label face (16 pixels), as the timeline's names use it.
FTFont& LabelFontModel();

// Pixels of an image compared with the background.
struct Region {
  int x0, y0, x1, y1;  // OpenGL coordinates, inclusive
};
// Number of pixels in the region that differ from the flat background.
int ChangedPixels(const QImage& pImage, const Region& pRegion);
// Whether two images are equal in a region.
bool SameIn(const QImage& pA, const QImage& pB, const Region& pRegion);
// The smallest region holding every changed pixel of pRegion; x0 > x1 when
// none changed.
Region ChangedBounds(const QImage& pImage, const Region& pRegion);

// A channel (0-255) after a source channel (0-1) is blended at pAlpha over
// pBelow (0-255).
constexpr double Over(double pSource, double pAlpha, double pBelow = kBackgroundGrey) {
  return pSource * 255.0 * pAlpha + pBelow * (1.0 - pAlpha);
}
// Whether a pixel's channels each lie within pTolerance of the expected ones,
// which leaves room for GL's rounding of blended values.
::testing::AssertionResult PixelNear(const QImage& pImage, int pX, int pY, double pRed,
                                     double pGreen, double pBlue, double pTolerance = 1.0);

}  // namespace vexatest

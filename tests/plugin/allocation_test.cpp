// A draw pass in steady state makes no heap allocation: everything it needs
// exists once the first passes have made their glyphs.

#include <cstdlib>
#include <new>

#include "hud_fixture.h"

namespace {

bool gCounting = false;
long gAllocations = 0;

}  // namespace

// Every C++ allocation in the process, the plug-in's and the host's included,
// goes through these while the test counts. AddressSanitizer keeps its own
// books on allocations, so the sanitizer build counts nothing.
#if !defined(__SANITIZE_ADDRESS__)
void* operator new(size_t pSize) {
  if (gCounting) ++gAllocations;
  if (void* lMemory = std::malloc(pSize ? pSize : 1)) return lMemory;
  throw std::bad_alloc();
}
void* operator new[](size_t pSize) { return operator new(pSize); }
void operator delete(void* pMemory) noexcept { std::free(pMemory); }
void operator delete[](void* pMemory) noexcept { std::free(pMemory); }
void operator delete(void* pMemory, size_t) noexcept { std::free(pMemory); }
void operator delete[](void* pMemory, size_t) noexcept { std::free(pMemory); }
#endif

namespace {

using vexatest::Animatable;
using vexatest::HudTest;
using vexatest::Key;
using vexatest::Set;

using SteadyState = HudTest;

TEST_F(SteadyState, DrawPassesAllocateNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer owns operator new here";
#endif
  for (const char* lName :
       {"Show Scene Frame", "Show Scene Timecode", "Show Character Timecode",
        "Show Camera Timecode", "Show Focal Length", "Show Camera Name", "Show Interoccular",
        "Show Convergence", "Show FQN", "Show Slate", "Show FPS", "Show Value 1", "Show Value 2",
        "Show Timeline", "Show Reticle", "Show Marker 1", "Show Marker 2", "Saving", "Standby"}) {
    Set(mHud, lName, true);
  }
  Set(mHud, "Marker 1 Name", "Start of action");
  Set(mHud, "Marker 2 Frame", 70);
  Set(mHud, "Marker 2 Name", "Cut");
  Scene().AddCustomProperty(mCamera, "ShowCrosshair", kFBPT_bool);
  Set(mCamera, "ShowCrosshair", true);
  FBComponent* lSource = Scene().AddObject("performer");
  Scene().AddCustomProperty(lSource, "TimeCode", kFBPT_TimeCode);
  // Keyed properties, a keyed lens and a running source are evaluated on
  // every pass as well.
  for (const char* lName :
       {"In Frame", "Out Frame", "Marker 1 Frame", "Marker 2 Frame", "Marker 3 Frame",
        "Marker 4 Frame", "Value 1", "Value 2", "Reticle Size", "Aspect", "Interoccular",
        "Convergence", "Bloop Light Duration", "Show Labels", "Show Reticle"}) {
    Key(Animatable(mHud, lName), {{0, {1.0}}, {50, {40.0}}, {100, {60.0}}}, kFBInterpolationCubic);
  }
  for (const char* lName : {"Reticle Color", "Font Color", "Mask Color"})
    Key(Animatable(mHud, lName), {{0, {1.0, 0.0, 0.0, 1.0}}, {100, {0.0, 1.0, 0.0, 0.5}}});
  mCamera->ApertureMode = kFBApertureFocalLength;
  Key(mCamera->FocalLength, {{0, {24.0}}, {100, {85.0}}});
  Key(Animatable(lSource, "TimeCode"), {{0, {36000.0, 0.0}}, {100, {36000.0, 100.0}}});
  mHud->setCharacterTimecodeSource(lSource);
  mHud->setCameraTimecodeSource(lSource);
  Scene().SetTransport(true, true);

  fbhost::OffscreenViewer& lViewer = vexatest::Viewer();
  const std::vector<FBHUDElement*> lElements = Scene().Elements();
  // The first passes make glyphs and the driver's state; then it is settled.
  for (int i = 0; i < 20; ++i) {
    Scene().SetFrame(i);
    Scene().SetSystemTimeMs(i * 33);
    lViewer.RenderFrame(lElements, mCamera);
  }

  gAllocations = 0;
  gCounting = true;
  for (int i = 20; i < 120; ++i) {
    Scene().SetFrame(i % 100);
    Scene().SetSystemTimeMs(i * 33);
    lViewer.RenderFrame(lElements, mCamera);
  }
  gCounting = false;
  EXPECT_EQ(gAllocations, 0);

  // The counter does see what the libraries allocate.
  gCounting = true;
  Scene().AddTake("a take with a name too long for any small-string buffer");
  gCounting = false;
  EXPECT_GT(gAllocations, 0);
}

}  // namespace

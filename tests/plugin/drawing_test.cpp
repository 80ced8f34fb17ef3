// The draw pass read back as pixels: mask bands, text items, status, saving
// overlay, and the GL state it hands back.

#include <FTGL/ftgl.h>
#include <GL/gl.h>
#include <fbsdk/runtime.h>

#include <QFile>
#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "hud_fixture.h"

namespace {

using vexatest::ChangedPixels;
using vexatest::HideAllItems;
using vexatest::HideEverything;
using vexatest::HudTest;
using vexatest::Over;
using vexatest::PixelNear;
using vexatest::Region;
using vexatest::SameIn;
using vexatest::Set;

using DrawPass = HudTest;

Region Whole(const QImage& pImage) { return Region{0, 0, pImage.width() - 1, pImage.height() - 1}; }

// Pixels of the region whose channels are not all within 1 of (r, g, b).
int PixelsNotNear(const QImage& pImage, const Region& pRegion, double pR, double pG, double pB) {
  int lCount = 0;
  for (int y = pRegion.y0; y <= pRegion.y1; ++y)
    for (int x = pRegion.x0; x <= pRegion.x1; ++x)
      if (!PixelNear(pImage, x, y, pR, pG, pB)) ++lCount;
  return lCount;
}

// The band in single precision but for the quotient, rounded to single.
int BandModel(int pWidth, int pHeight, double pAspect) {
  const float lQuotient =
      static_cast<float>(static_cast<double>(static_cast<float>(pWidth)) / pAspect);
  return static_cast<int>((static_cast<float>(pHeight) - lQuotient) * 0.5f);
}

TEST_F(DrawPass, MaskBandsFollowTheViewportAndAspect) {
  HideAllItems(mHud);
  Set(mHud, "Status Offset", 5000);
  struct Case {
    int width, height;
    double aspect;
    int band;
    FBColorAndAlpha color;
  };
  // At 2.76 the two sizes give 1 in single precision and 0 in double.
  const Case lCases[] = {{1920, 1080, 2.35, 131, FBColorAndAlpha(0.0, 0.0, 0.0, 0.75)},
                         {1280, 720, 2.35, 87, FBColorAndAlpha(0.0, 0.0, 0.0, 0.75)},
                         {1920, 1080, 3.0, 220, FBColorAndAlpha(1.0, 0.0, 0.5, 0.5)},
                         {138, 52, 2.76, 1, FBColorAndAlpha(0.0, 0.0, 0.0, 0.75)},
                         {552, 202, 2.76, 1, FBColorAndAlpha(0.0, 0.0, 0.0, 0.75)}};
  for (const Case& lCase : lCases) {
    SCOPED_TRACE(lCase.band);
    ASSERT_EQ(BandModel(lCase.width, lCase.height, lCase.aspect), lCase.band);
    Set(mHud, "Aspect", lCase.aspect);
    Set(mHud, "Mask Color", lCase.color);
    const QImage lImage = Render(lCase.width, lCase.height);
    const double lA = lCase.color[3];
    const double lR = Over(lCase.color[0], lA), lG = Over(lCase.color[1], lA),
                 lB = Over(lCase.color[2], lA);
    const int lW = lCase.width - 1, lTop = lCase.height - lCase.band;
    EXPECT_EQ(PixelsNotNear(lImage, Region{0, 0, lW, lCase.band - 1}, lR, lG, lB), 0);
    EXPECT_EQ(PixelsNotNear(lImage, Region{0, lTop, lW, lCase.height - 1}, lR, lG, lB), 0);
    EXPECT_EQ(ChangedPixels(lImage, Region{0, lCase.band, lW, lTop - 1}), 0);
  }
  Set(mHud, "Aspect", 1.0);
  const QImage lSquare = Render();
  EXPECT_EQ(ChangedPixels(lSquare, Whole(lSquare)), 0);
}

TEST_F(DrawPass, StatusShowsRecordingOverStandbyOverReadyWithoutALabel) {
  HideAllItems(mHud);
  Set(mHud, "Aspect", 1.0);
  struct Case {
    bool recording, standby;
    const char* text;
    float red, green, alpha;
  };
  // Only the alpha of "Font Color" reaches the status.
  for (const Case& lCase : {Case{true, true, " REC ", 1, 0, 1}, Case{false, true, "STDBY", 1, 1, 1},
                            Case{false, false, "READY", 0, 1, 0.5f}}) {
    SCOPED_TRACE(lCase.text);
    Scene().SetTransport(lCase.recording, false);
    Set(mHud, "Standby", lCase.standby);
    Set(mHud, "Font Color", FBColorAndAlpha(0.2, 0.2, 0.2, lCase.alpha));
    const QImage lHud = Render();
    const QImage lReference = RenderWith([&](int, int) {
      glColor4f(lCase.red, lCase.green, 0.0f, lCase.alpha);
      vexatest::DrawTextModel(lCase.text, 1700, 24, nullptr);
    });
    EXPECT_GT(ChangedPixels(lHud, Region{1700, 24, 1919, 80}), 200);
    EXPECT_TRUE(SameIn(lHud, lReference, Whole(lHud)));
  }
}

TEST_F(DrawPass, SavingDarkensTheWholeViewAndCentresTheMessageInWhite) {
  HideEverything(mHud);
  Set(mHud, "Saving", true);
  const double lDark = Over(0.0, 0.85);
  Set(mHud, "Save Message", "");
  const QImage lEmpty = Render();
  EXPECT_EQ(PixelsNotNear(lEmpty, Whole(lEmpty), lDark, lDark, lDark), 0);

  // The message font, measured as the element measures it.
  QFile lFile(":resources/Arial.ttf");
  ASSERT_TRUE(lFile.open(QIODevice::ReadOnly));
  const QByteArray lBytes = lFile.readAll();
  FTTextureFont lFont(reinterpret_cast<const unsigned char*>(lBytes.constData()),
                      static_cast<size_t>(lBytes.size()));
  lFont.FaceSize(256, 72);
  const char* lMessage = "Saving...";
  const FTBBox lBox = lFont.BBox(lMessage, -1, FTPoint(), FTPoint());
  const double lX = 960 - 0.5 * lBox.Upper().X(), lY = 540 - 0.5 * lBox.Upper().Y();

  Set(mHud, "Save Message", lMessage);
  const QImage lImage = Render();
  Region lInk{1920, 1080, -1, -1};
  for (int y = 0; y < 1080; ++y) {
    for (int x = 0; x < 1920; ++x) {
      const QRgb lPixel = fbhost::GlPixel(lImage, x, y);
      if (qRed(lPixel) < 128) continue;
      EXPECT_TRUE(qRed(lPixel) == qGreen(lPixel) && qGreen(lPixel) == qBlue(lPixel));
      lInk = Region{std::min(lInk.x0, x), std::min(lInk.y0, y), std::max(lInk.x1, x),
                    std::max(lInk.y1, y)};
    }
  }
  EXPECT_NEAR(lInk.x0, lX + lBox.Lower().X(), 3);
  EXPECT_NEAR(lInk.x1, lX + lBox.Upper().X(), 3);
  EXPECT_NEAR(lInk.y0, lY + lBox.Lower().Y(), 3);
  EXPECT_NEAR(lInk.y1, lY + lBox.Upper().Y(), 3);
  EXPECT_TRUE(PixelNear(lImage, 5, 5, lDark, lDark, lDark));
}

TEST_F(DrawPass, EachTextItemShowsItsFormattedValueAndLabelAtItsPlace) {
  HideEverything(mHud);
  // Places and values other than the defaults, so that each is seen read.
  for (auto [lName, lValue] :
       {std::pair{"Frame Offset", 40}, {"Scene TC Offset", 250},    {"Character TC Offset", 520},
        {"Camera TC Offset", 810},     {"Focal Length Offset", 30}, {"Camera Name Offset", 210},
        {"Interoccular Offset", 333},  {"Convergence Offset", 410}, {"FQN Offset", 620},
        {"Slate Offset", 900},         {"FPS Offset", 1000},        {"Value 1 Offset X", 300},
        {"Value 1 Offset Y", 600},     {"Value 2 Offset X", 900},   {"Value 2 Offset Y", 300},
        {"Character Hour", 1},         {"Character Minute", 2},     {"Character Second", 3},
        {"Character Frame", 4},        {"Camera Hour", 10},         {"Camera Minute", 20},
        {"Camera Second", 30},         {"Camera Frame", 5}}) {
    Set(mHud, lName, lValue);
  }
  for (auto [lName, lValue] : {std::pair{"Interoccular", 6.48},
                               {"Convergence", -120.04},
                               {"Value 1", -3.14159},
                               {"Value 2", 1234.56}}) {
    Set(mHud, lName, lValue);
  }
  for (auto [lName, lValue] : {std::pair{"FQN", "AB_12"},
                               {"Slate", "Q7-A"},
                               {"Value 1 Label", "Dist"},
                               {"Value 2 Label", ""}}) {
    Set(mHud, lName, lValue);
  }
  mCamera->FilmSizeHeight = 0.945;
  mCamera->FocalLength = 0.15;  // 0.1 in double precision, 0.2 in single
  auto lMode = [&](int pMode) {
    return [this, pMode] {
      Scene().SetCurrentCamera(mCamera);
      mCamera->ApertureMode = static_cast<FBCameraApertureMode>(pMode);
    };
  };
  const int kTop = 720 - 48;
  struct Item {
    const char* show;
    std::function<void()> setUp;
    const char* value;
    int x, y;
    const char* label;
  };
  const std::vector<Item> lItems = {
      {"Show Scene Frame", [&] { SetFrame(-12); }, "-0012", 40, 24, "FRAME"},
      {"Show Scene Timecode", [&] { SetFrame(12345); }, "00:06:51:15", 250, 24, "SCENE"},
      {"Show Character Timecode", nullptr, "01:02:03:04", 520, 24, "CHARACTER"},
      {"Show Camera Timecode", nullptr, "10:20:30:05", 810, 24, "CAMERA"},
      {"Show Focal Length", lMode(0), "33.0", 30, kTop, "FOCAL LENGTH"},
      {"Show Focal Length", lMode(1), "28.5", 30, kTop, "FOCAL LENGTH"},
      {"Show Focal Length", lMode(2), "21.4", 30, kTop, "FOCAL LENGTH"},
      {"Show Focal Length", lMode(3), "0.2", 30, kTop, "FOCAL LENGTH"},
      {"Show Focal Length", lMode(7), "20.6", 30, kTop, "FOCAL LENGTH"},
      {"Show Focal Length", [&] { Scene().SetCurrentCamera(nullptr); }, "0.0", 30, kTop,
       "FOCAL LENGTH"},
      {"Show Camera Name", nullptr, "", 210, kTop, "CAMERA"},
      {"Show Camera Name", lMode(0), "Camera 1", 210, kTop, "CAMERA"},
      {"Show Interoccular", nullptr, "6.5", 333, kTop, "IO"},
      {"Show Convergence", nullptr, "-120.0", 410, kTop, "CONVERGENCE"},
      {"Show FQN", nullptr, "Take 001", 620, kTop, "FQN"},
      {"Show FQN", [&] { Set(mHud, "Use Take for FQN", false); }, "AB_12", 620, kTop, "FQN"},
      {"Show FQN",
       [&] {
         Set(mHud, "Use Take for FQN", true);
         Scene().SetCurrentTake(nullptr);
       },
       "AB_12", 620, kTop, "FQN"},
      {"Show Slate", nullptr, "Q7-A", 900, kTop, "SLATE"},
      {"Show FPS", nullptr, "0.0", 1000, kTop, "FRAMERATE"},
      {"Show Value 1", nullptr, "-3.1", 300, 600, "Dist"},
      {"Show Value 2", nullptr, "1234.6", 900, 300, ""},
  };

  const QImage lNothing = Render(1280, 720);
  EXPECT_EQ(ChangedPixels(lNothing, Whole(lNothing)), 0);
  for (const Item& lItem : lItems) {
    SCOPED_TRACE(std::string(lItem.show) + " \"" + lItem.value + "\"");
    if (lItem.setUp) lItem.setUp();
    Set(mHud, lItem.show, true);
    for (bool lLabels : {true, false}) {
      Set(mHud, "Show Labels", lLabels);
      const QImage lHud = Render(1280, 720);
      const QImage lReference = RenderWith(
          [&](int, int) {
            vexatest::DrawTextModel(lItem.value, lItem.x, lItem.y, lLabels ? lItem.label : nullptr);
          },
          1280, 720);
      EXPECT_TRUE(SameIn(lHud, lReference, Whole(lHud))) << "labels " << lLabels;
    }
    Set(mHud, lItem.show, false);
    Set(mHud, "Show Labels", true);
  }
}

// A host may hand a string back null (cleared through its interface): every
// text the element reads then counts as "", in drawing and in binding alike.
TEST_F(DrawPass, TextsHandedBackNullReadAsEmptyOnes) {
  for (const char* lShow : {"Show Camera Name", "Show FQN", "Show Slate", "Show Value 1",
                            "Show Value 2", "Show Marker 1", "Show Reticle", "Saving"})
    Set(mHud, lShow, true);
  Set(mHud, "Marker 1 Frame", 50);
  // Found by the fixed names only once the preferred name reads "".
  FBComponent* lActor = Scene().AddObject("Actor");
  FBProperty* lMaster = Scene().AddCustomProperty(lActor, "master", kFBPT_TimeCode);
  ASSERT_NE(lMaster, nullptr);
  double lRaw[3] = {3723.0, 4.0, FBTimeCode::NTSC_DROP};
  lMaster->SetData(lRaw);
  // An empty bound name falls back to a property that hides the reticle.
  ASSERT_NE(Scene().AddCustomProperty(mCamera, "ShowOpticalCenter", kFBPT_bool), nullptr);
  Set(mCamera, "ShowOpticalCenter", false);

  std::vector<FBProperty*> lTexts = {&mCamera->Name, &mTake->Name};
  for (const char* lName : {"FQN", "Slate", "Value 1 Label", "Value 2 Label", "Marker 1 Name",
                            "Save Message", "Reticle Bound Property", "Timecode Property Name"})
    lTexts.push_back(mHud->PropertyList.Find(lName));
  const auto lSetAll = [&](const char* pText) {
    for (FBProperty* lText : lTexts) lText->SetData(&pText);
  };

  lSetAll("");
  mHud->setCharacterTimecodeSource(lActor);
  const QImage lEmpty = Render();
  mHud->setCharacterTimecodeSource(nullptr);

  lSetAll("Not shown");
  for (FBProperty* lText : lTexts) fbhost::HandBackNullText(lText);
  mHud->setCharacterTimecodeSource(lActor);
  EXPECT_EQ(mHud->CharacterTimecode.GetSrc(0), lMaster);
  EXPECT_TRUE(SameIn(Render(), lEmpty, Whole(lEmpty)));
}

TEST_F(DrawPass, DrawsItsLayersInOrderWhereTheyOverlap) {
  HideAllItems(mHud);
  Set(mHud, "Status Offset", 5000);
  // The bloop light under the bottom band: one stripe at (100, 60).
  Scene().SetTransport(true, true);
  const double lBelow[3] = {Over(1, 0.25), Over(0, 0.25), Over(0, 0.25)};
  EXPECT_TRUE(PixelNear(Render(), 100, 60, Over(0, 0.75, lBelow[0]), Over(0, 0.75, lBelow[1]),
                        Over(0, 0.75, lBelow[2])));
  Scene().SetTransport(false, false);

  // The timeline over the band: its opaque cursor keeps its colour.
  Set(mHud, "Show Timeline", true);
  SetFrame(50);
  EXPECT_TRUE(PixelNear(Render(), 960, 100, static_cast<double>(0.55f) * 255, 0, 0));
  Set(mHud, "Show Timeline", false);

  // Text over the reticle: where a value is solid white, it stays white.
  Set(mHud, "Show Reticle", true);
  const QImage lReticle = Render();
  Set(mHud, "Value 1", 888.8);
  Set(mHud, "Value 1 Offset X", 900);
  Set(mHud, "Value 1 Offset Y", 530);
  Set(mHud, "Show Value 1", true);
  const QImage lBoth = Render();
  Set(mHud, "Show Reticle", false);
  const QImage lText = Render();
  int lShared = 0;
  for (int y = 515; y <= 565; ++y) {
    for (int x = 935; x <= 985; ++x) {
      if (!PixelNear(lText, x, y, 255, 255, 255, 0) || ChangedPixels(lReticle, {x, y, x, y}) == 0)
        continue;
      ++lShared;
      EXPECT_TRUE(PixelNear(lBoth, x, y, 255, 255, 255, 0));
    }
  }
  EXPECT_GT(lShared, 20);

  // The saving overlay over everything, the text and the status included.
  Set(mHud, "Status Offset", 1700);
  Set(mHud, "Saving", true);
  Set(mHud, "Save Message", "");
  const QImage lSaving = Render();
  int lBright = 0;
  for (int y = 0; y < 1080; ++y)
    for (int x = 0; x < 1920; ++x) lBright += qRed(fbhost::GlPixel(lSaving, x, y)) > 40;
  EXPECT_EQ(lBright, 0);
}

TEST_F(DrawPass, IntrinsicSizeIsTheViewingCamerasResolutionTruncated) {
  FBCamera* lViewing = Scene().AddCamera("Witness");
  for (auto [lWidth, lHeight] : {std::pair{1919.9, 1080.7}, {-3.7, 0.99}}) {
    lViewing->ResolutionWidth = lWidth;
    lViewing->ResolutionHeight = lHeight;
    FBViewingOptions lOptions(lViewing);
    int lW = 12345, lH = 12345;
    mHud->GetIntrinsicDimension(&lOptions, lW, lH);
    EXPECT_EQ(lW, static_cast<int>(lWidth));
    EXPECT_EQ(lH, static_cast<int>(lHeight));
  }
  // A view without a camera, or without options, has no size of its own.
  FBViewingOptions lNoCamera;
  for (FBViewingOptions* lOptions : {&lNoCamera, static_cast<FBViewingOptions*>(nullptr)}) {
    int lW = 12345, lH = 12345;
    mHud->GetIntrinsicDimension(lOptions, lW, lH);
    EXPECT_EQ(std::make_pair(lW, lH), std::make_pair(0, 0));
  }
}

TEST_F(DrawPass, AViewportOfNoSizeDrawsNothing) {
  const QImage lImage = RenderWith([&](int pWidth, int pHeight) {
    glViewport(0, 0, 0, 0);
    FBHUDElement::Rect lRect{};
    mHud->DrawElement(nullptr, lRect);
    glViewport(0, 0, pWidth, pHeight);
  });
  EXPECT_EQ(ChangedPixels(lImage, Whole(lImage)), 0);
}

struct GlState {
  std::array<GLfloat, 16> projection, modelview, texture;
  std::array<GLfloat, 4> color;
  std::array<GLint, 4> depths;
  std::array<GLboolean, 3> enables;
  std::array<GLint, 2> blend;
  GLint matrixMode;
};

GlState CaptureGlState() {
  GlState lState;
  glGetFloatv(GL_PROJECTION_MATRIX, lState.projection.data());
  glGetFloatv(GL_MODELVIEW_MATRIX, lState.modelview.data());
  glGetFloatv(GL_TEXTURE_MATRIX, lState.texture.data());
  glGetFloatv(GL_CURRENT_COLOR, lState.color.data());
  const GLenum lDepths[] = {GL_PROJECTION_STACK_DEPTH, GL_MODELVIEW_STACK_DEPTH,
                            GL_TEXTURE_STACK_DEPTH, GL_ATTRIB_STACK_DEPTH};
  for (int i = 0; i < 4; ++i) glGetIntegerv(lDepths[i], &lState.depths[i]);
  lState.enables = {glIsEnabled(GL_DEPTH_TEST), glIsEnabled(GL_BLEND), glIsEnabled(GL_TEXTURE_2D)};
  glGetIntegerv(GL_BLEND_SRC, &lState.blend[0]);
  glGetIntegerv(GL_BLEND_DST, &lState.blend[1]);
  glGetIntegerv(GL_MATRIX_MODE, &lState.matrixMode);
  return lState;
}

TEST_F(DrawPass, HandsBackTheMatricesEnablesAndBlendFunctionItFound) {
  // Every drawing step runs: all items, the reticle, a marker, the bloop
  // light and the saving overlay.
  for (int i = 0; i < mHud->PropertyList.GetCount(); ++i) {
    FBProperty& lProperty = mHud->PropertyList[i];
    const std::string lName = lProperty.GetName();
    if (lProperty.GetPropertyType() == kFBPT_bool && lName != "Standby") {
      bool lOn = true;
      lProperty.SetData(&lOn);
    }
  }
  Scene().SetTransport(true, true);
  SetFrame(30);
  Set(mHud, "Marker 1 Frame", 40);

  GlState lBefore{}, lAfter{};
  GLenum lError = GL_NO_ERROR;
  const QImage lImage = RenderWith([&](int, int) {
    while (glGetError() != GL_NO_ERROR) {
    }
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glScalef(2.0f, 3.0f, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glTranslatef(0.25f, 0.5f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    glRotatef(30.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    lBefore = CaptureGlState();
    FBHUDElement::Rect lRect{};
    mHud->DrawElement(nullptr, lRect);
    lAfter = CaptureGlState();
    lError = glGetError();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
  });
  EXPECT_GT(ChangedPixels(lImage, Region{0, 0, 1919, 1079}), 100000);
  EXPECT_EQ(lError, static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(lAfter.projection, lBefore.projection);
  EXPECT_EQ(lAfter.modelview, lBefore.modelview);
  EXPECT_EQ(lAfter.color, lBefore.color);
  EXPECT_EQ(lAfter.depths, lBefore.depths);
  EXPECT_EQ(lAfter.enables, lBefore.enables);
  EXPECT_EQ(lAfter.blend, lBefore.blend);
  // The texture matrix is reset, not saved; the mode ends at the modelview.
  const std::array<GLfloat, 16> lIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_EQ(lAfter.texture, lIdentity);
  EXPECT_EQ(lAfter.matrixMode, GL_MODELVIEW);
}

}  // namespace

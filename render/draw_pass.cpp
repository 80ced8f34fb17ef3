// The draw pass: projection, mask, text items, status and saving overlay.

#include <FTGL/ftgl.h>
#include <GL/gl.h>

#include <cmath>

#include "element/vexa_hud_element.h"
#include "render/format.h"
#include "render/safe_math.h"

namespace {

const double kPi = 3.141592653589793;
const double kInchToMillimetre = 2.54 * 10;

// The camera's focal length in millimetres, from its aperture mode.
double FocalLengthOf(FBCamera& pCamera) {
  const int lMode = static_cast<int>(static_cast<FBCameraApertureMode>(pCamera.ApertureMode));
  switch (lMode) {
    case kFBApertureVertical:
      return static_cast<double>(pCamera.FilmSizeHeight) * kInchToMillimetre * 0.5 /
             std::tan(static_cast<double>(pCamera.FieldOfView) * kPi / 180 * 0.5);
    case kFBApertureHorizontal:
      return static_cast<double>(pCamera.FilmSizeWidth) * kInchToMillimetre * 0.5 /
             std::tan(static_cast<double>(pCamera.FieldOfView) * kPi / 180 * 0.5);
    case kFBApertureVertHoriz:
      return static_cast<double>(pCamera.FilmSizeWidth) * kInchToMillimetre * 0.5 /
             std::tan(static_cast<double>(pCamera.FieldOfViewX) * kPi / 180 * 0.5);
    case kFBApertureFocalLength:
      return pCamera.FocalLength;
    default:
      // The tangent of half of 53.3333 degrees.
      return static_cast<double>(pCamera.FilmSizeWidth) * kInchToMillimetre * 0.5 /
             0.5022185117656606;
  }
}

void Color(const FBColorAndAlpha& pColor) {
  glColor4f(ToFloat(pColor[0]), ToFloat(pColor[1]), ToFloat(pColor[2]), ToFloat(pColor[3]));
}

}  // namespace

void VexaHUDElement::GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth,
                                           int& pHeight) {
  FBCamera* lCamera = pViewingOptions ? pViewingOptions->GetViewingCamera() : nullptr;
  if (!lCamera) {
    pWidth = 0;
    pHeight = 0;
    return;
  }
  pWidth = TruncToInt(lCamera->ResolutionWidth);
  pHeight = TruncToInt(lCamera->ResolutionHeight);
}

void VexaHUDElement::DrawElement(FBViewingOptions*, FBHUDElement::Rect&) {
  _updateTimecodeProperties();

  GLint lViewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, lViewport);
  const int lWidth = lViewport[2];
  const int lHeight = lViewport[3];

  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, lWidth, 0, lHeight, -1.0, 1.0);
  // Set before the inner push: some drivers (Mesa 22) leave a change made under
  // a nested push of other groups in place when the outer group is popped.
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glPushAttrib(GL_CURRENT_BIT | GL_TRANSFORM_BIT | GL_ENABLE_BIT | GL_LIST_BIT);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);

  // The camera is described on every pass, shown or not.
  FBRenderer* lRenderer = mSystem.Renderer;
  FBCamera* lCamera = lRenderer ? static_cast<FBCamera*>(lRenderer->CurrentCamera) : nullptr;
  if (lCamera) {
    mCurrentFocalLength = static_cast<double>(ToFloat(FocalLengthOf(*lCamera)));
    mCurrentCameraName = TextOf(lCamera->Name);
  } else {
    mCurrentFocalLength = 0.0;
    mCurrentCameraName = "";
  }

  glEnable(GL_BLEND);

  RenderBloop(lWidth, lHeight);
  _drawMask(lWidth, lHeight);
  RenderTimeline(lWidth, lHeight);
  RenderReticle(lWidth, lHeight);

  const FBColorAndAlpha lFontColor = FontColor;
  Color(lFontColor);
  _drawTextItems(lWidth, lHeight);
  _drawStatus(lFontColor[3]);
  if (Saving) _drawSavingOverlay(lWidth, lHeight);

  glPopAttrib();
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}

void VexaHUDElement::_drawMask(int pWidth, int pHeight) {
  // Single precision but for the quotient, which is rounded to single.
  const double lAspect = Aspect;
  int lBand = 0;
  if (lAspect > 0.0) {
    const float lQuotient = ToFloat(static_cast<double>(static_cast<float>(pWidth)) / lAspect);
    lBand = TruncToInt((static_cast<float>(pHeight) - lQuotient) * 0.5f);
  }
  const double lTop = static_cast<double>(pHeight) - lBand;

  Color(MaskColor);
  glBegin(GL_QUADS);
  glVertex2d(0, pHeight);
  glVertex2d(0, lTop);
  glVertex2d(pWidth, lTop);
  glVertex2d(pWidth, pHeight);
  glVertex2d(0, lBand);
  glVertex2d(0, 0);
  glVertex2d(pWidth, 0);
  glVertex2d(pWidth, lBand);
  glEnd();
}

void VexaHUDElement::_drawTextItems(int, int pHeight) {
  char lText[256];
  const int lBottom = 24;
  const int lTop = pHeight - 48;

  FBTime lLocalTime(0);
  mSystem.LocalTime.GetData(&lLocalTime, sizeof(lLocalTime));
  const long long lFrame = lLocalTime.GetFrame(kFBTimeModeDefault);
  int lHour = 0, lMinute = 0, lSecond = 0, lFrames = 0, lField = 0, lMilliSecond = 0;
  lLocalTime.GetTime(lHour, lMinute, lSecond, lFrames, lField, lMilliSecond, kFBTimeModeDefault);

  if (ShowSceneFrame) {
    sprintf_s(lText, sizeof(lText), "%05lld", lFrame);
    RenderText(lText, FrameOffset, lBottom, "FRAME");
  }
  if (ShowSceneTimecode) {
    sprintf_s(lText, sizeof(lText), "%02d:%02d:%02d:%02d", lHour, lMinute, lSecond, lFrames);
    RenderText(lText, SceneTCOffset, lBottom, "SCENE");
  }
  if (ShowCharacterTimecode) {
    sprintf_s(lText, sizeof(lText), "%02d:%02d:%02d:%02d", static_cast<int>(CharacterHour),
              static_cast<int>(CharacterMinute), static_cast<int>(CharacterSecond),
              static_cast<int>(CharacterFrame));
    RenderText(lText, CharacterTCOffset, lBottom, "CHARACTER");
  }
  if (ShowCameraTimecode) {
    sprintf_s(lText, sizeof(lText), "%02d:%02d:%02d:%02d", static_cast<int>(CameraHour),
              static_cast<int>(CameraMinute), static_cast<int>(CameraSecond),
              static_cast<int>(CameraFrame));
    RenderText(lText, CameraTCOffset, lBottom, "CAMERA");
  }
  if (ShowFocalLength) {
    sprintf_s(lText, sizeof(lText), "%0.01f", mCurrentFocalLength);
    RenderText(lText, FocalLengthOffset, lTop, "FOCAL LENGTH");
  }
  if (ShowCameraName) {
    sprintf_s(lText, sizeof(lText), "%s", static_cast<const char*>(mCurrentCameraName));
    RenderText(lText, CameraNameOffset, lTop, "CAMERA");
  }
  if (ShowInteroccular) {
    sprintf_s(lText, sizeof(lText), "%0.01f", static_cast<double>(Interoccular));
    RenderText(lText, InteroccularOffset, lTop, "IO");
  }
  if (ShowConvergence) {
    sprintf_s(lText, sizeof(lText), "%0.01f", static_cast<double>(Convergence));
    RenderText(lText, ConvergenceOffset, lTop, "CONVERGENCE");
  }
  if (ShowFQN) {
    const char* lFQN = TextOf(FQN);
    if (UseTakeForFQN) {
      // Without a current take the typed text stands.
      FBTake* lTake = mSystem.CurrentTake;
      if (lTake) lFQN = TextOf(lTake->Name);
    }
    RenderText(lFQN, FQNOffset, lTop, "FQN");
  }
  if (ShowSlate) RenderText(TextOf(Slate), SlateOffset, lTop, "SLATE");
  if (ShowFPS) {
    const double lInterval = mAverageFrameInterval;
    sprintf_s(lText, sizeof(lText), "%0.01f", lInterval > 0.0 ? 1.0 / (lInterval / 1000.0) : 0.0);
    RenderText(lText, FPSOffset, lTop, "FRAMERATE");
  }
  if (ShowValue1) {
    sprintf_s(lText, sizeof(lText), "%0.1f", static_cast<double>(Value1));
    RenderText(lText, Value1OffsetX, Value1OffsetY, TextOf(Value1Label));
  }
  if (ShowValue2) {
    sprintf_s(lText, sizeof(lText), "%0.1f", static_cast<double>(Value2));
    RenderText(lText, Value2OffsetX, Value2OffsetY, TextOf(Value2Label));
  }
}

void VexaHUDElement::_drawStatus(double pAlpha) {
  FBPlayerControl lPlayerControl;
  bool lRecording = false;
  lPlayerControl.IsRecording.GetData(&lRecording, sizeof(lRecording));
  const float lAlpha = ToFloat(pAlpha);
  const char* lText = "READY";
  if (lRecording) {
    glColor4f(1.0f, 0.0f, 0.0f, lAlpha);
    lText = " REC ";
  } else if (Standby) {
    glColor4f(1.0f, 1.0f, 0.0f, lAlpha);
    lText = "STDBY";
  } else {
    glColor4f(0.0f, 1.0f, 0.0f, lAlpha);
  }
  RenderText(lText, StatusOffset, 24, nullptr);
}

void VexaHUDElement::_drawSavingOverlay(int pWidth, int pHeight) {
  glColor4f(0.0f, 0.0f, 0.0f, 0.85f);
  glBegin(GL_QUADS);
  glVertex2d(0, 0);
  glVertex2d(pWidth, 0);
  glVertex2d(pWidth, pHeight);
  glVertex2d(0, pHeight);
  glEnd();

  if (!mMessageFont) return;
  _noteGlyphContext();
  const char* lMessage = _validText(TextOf(SaveMessage));
  const FTBBox lBox =
      mMessageFont->BBox(lMessage, -1, FTPoint(0.0, 0.0, 0.0), FTPoint(0.0, 0.0, 0.0));
  glColor3f(1.0f, 1.0f, 1.0f);
  const double lX = (pWidth / 2) + lBox.Upper().X() * -0.5;
  const double lY = (pHeight / 2) + lBox.Upper().Y() * -0.5;
  mMessageFont->Render(lMessage, -1, FTPoint(lX, lY, 0.0), FTPoint(0.0, 0.0, 0.0),
                       FTGL::RENDER_ALL);
}

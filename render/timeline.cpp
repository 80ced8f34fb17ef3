// The timeline bar: play range, in/out highlight, markers and the cursor.

#include <FTGL/ftgl.h>
#include <GL/gl.h>

#include "element/vexa_hud_element.h"
#include "render/safe_math.h"

namespace {

// 0.55 as the single-precision constant it is, widened to double.
const double kShift = static_cast<double>(0.55f);

// Maps frames of the play range [start, stop] onto the track [10, 10 + length].
class FrameScale {
 public:
  FrameScale(int pStart, int pStop, int pLength)
      : mStart(pStart),
        mRange(static_cast<float>(static_cast<long long>(pStop) - pStart)),
        mLength(static_cast<float>(pLength)) {}

  double X(int pFrame) const {
    // A range of no length puts everything at the track's left end.
    if (mRange == 0.0f) return 10.0;
    const float lOffset = static_cast<float>(static_cast<long long>(pFrame) - mStart);
    return TruncToInt(lOffset / mRange * mLength + 10.0f);
  }

 private:
  int mStart;
  float mRange;
  float mLength;
};

}  // namespace

void VexaHUDElement::RenderTimeline(int pWidth, int) {
  if (!ShowTimeline) return;

  const double lO = static_cast<int>(TimelineOffset);
  const int lLength = pWidth - 20;
  const FBColorAndAlpha lF = FontColor;
  const FBColorAndAlpha lM = MaskColor;
  const double lRight = static_cast<double>(pWidth) - 10.0;

  glColor4f(ToFloat(lF[0]), ToFloat(lF[1]), ToFloat(lF[2]), ToFloat(lF[3]));
  glBegin(GL_LINE_LOOP);
  glVertex2d(10, lO + 20);
  glVertex2d(10, lO);
  glVertex2d(lRight, lO);
  glVertex2d(lRight, lO + 20);
  glEnd();

  FBPlayerControl lPlayerControl;
  FBTime lStartTime = lPlayerControl.LoopStart;
  FBTime lStopTime = lPlayerControl.LoopStop;
  FBTime lNow(0);
  mSystem.LocalTime.GetData(&lNow, sizeof(lNow));
  const int lS = FrameToInt(lStartTime.GetFrame(kFBTimeModeDefault));
  const int lE = FrameToInt(lStopTime.GetFrame(kFBTimeModeDefault));
  const int lK = FrameToInt(lNow.GetFrame(kFBTimeModeDefault));
  const int lI = InFrame;
  const int lU = OutFrame;

  const int lLo = lI < lS ? lS : (lI < lE ? lI : lE);
  int lHi = lU > lLo ? lU : lLo;
  lHi = lHi < lE ? lHi : lE;

  const FrameScale lScale(lS, lE, lLength);
  const double lCx = lScale.X(lK);
  const double lLx = lScale.X(lLo);
  const double lHx = lScale.X(lHi);

  glColor4f(ToFloat(lM[0] - kShift), ToFloat(lM[1] + kShift), ToFloat(lM[2] - kShift), 0.25f);
  glBegin(GL_QUADS);
  glVertex2d(lLx, lO + 19);
  glVertex2d(lLx, lO + 1);
  glVertex2d(lHx, lO + 1);
  glVertex2d(lHx, lO + 19);
  glEnd();

  glColor4f(ToFloat(lF[0]), ToFloat(lF[1]), ToFloat(lF[2]), ToFloat(lF[3]));
  for (Marker& lMarker : Markers) {
    const int lFrame = lMarker.Frame;
    if (!lMarker.Show || lFrame < lS || lFrame > lE) continue;
    const double lMx = lScale.X(lFrame);
    glBegin(GL_POLYGON);
    glVertex2d(lMx, lO + 11);
    glVertex2d(lMx - 10, lO + 1);
    glVertex2d(lMx + 10, lO + 1);
    glEnd();
    if (!mLabelFont) continue;
    _noteGlyphContext();
    const char* lName = _validText(TextOf(lMarker.Name));
    const FTBBox lBox = mLabelFont->BBox(lName, -1, FTPoint(0.0, 0.0, 0.0), FTPoint(0.0, 0.0, 0.0));
    mLabelFont->Render(lName, -1,
                       FTPoint(lMx - 0.5 * lBox.Upper().X(), lO - lBox.Upper().Y() - 5, 0.0),
                       FTPoint(0.0, 0.0, 0.0), FTGL::RENDER_ALL);
  }

  glColor4f(ToFloat(lM[0] + kShift), ToFloat(lM[1] - kShift), ToFloat(lM[2] - kShift), 1.0f);
  glBegin(GL_QUADS);
  glVertex2d(lCx - 2, lO + 19);
  glVertex2d(lCx - 2, lO + 1);
  glVertex2d(lCx + 2, lO + 1);
  glVertex2d(lCx + 2, lO + 19);
  glEnd();
}

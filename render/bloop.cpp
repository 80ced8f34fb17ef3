// The bloop light: a red flash across the view when a recording starts.

#include <GL/gl.h>

#include <climits>

#include "element/vexa_hud_element.h"

void VexaHUDElement::RenderBloop(int pWidth, int pHeight) {
  FBPlayerControl lPlayerControl;
  bool lRecording = false;
  lPlayerControl.IsRecording.GetData(&lRecording, sizeof(lRecording));
  if (!lRecording) {
    // Stopping re-arms the flash for the next recording.
    mBloopFired = false;
    mBloopPassCount = 0;
    return;
  }
  bool lPlaying = false;
  lPlayerControl.IsPlaying.GetData(&lPlaying, sizeof(lPlaying));
  if (!lPlaying || mBloopFired) return;

  const double lW = pWidth;
  const double lH = pHeight;
  glColor4f(1.0f, 0.0f, 0.0f, 0.25f);
  glBegin(GL_QUADS);
  glVertex2d(0, lH - 75);
  glVertex2d(lW - 75, 0);
  glVertex2d(lW, 40);
  glVertex2d(40, lH);
  glVertex2d(0, 75);
  glVertex2d(75, 0);
  glVertex2d(lW, lH - 75);
  glVertex2d(lW - 75, lH);
  glEnd();

  // Counted in passes that drew; a duration of 0 or less never ends the flash.
  if (mBloopPassCount < INT_MAX) ++mBloopPassCount;
  if (mBloopPassCount == static_cast<int>(BloopLightDuration)) mBloopFired = true;
}

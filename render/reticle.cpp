// The reticle: a tinted picture in the centre of the view.

#include <GL/gl.h>

#include <QImage>
#include <QtGlobal>
#include <cmath>
#if QT_VERSION_MAJOR < 6
#include <QGLWidget>
#endif

#include "element/vexa_hud_element.h"
#include "render/safe_math.h"

namespace {

// RGBA bytes, bottom row first, as glTexImage2D takes them. Qt 6 has no
// QGLWidget; the same bytes come from a plain conversion and a flip.
QImage GlTextureImage(const QImage& pPicture) {
#if QT_VERSION_MAJOR < 6
  return QGLWidget::convertToGLFormat(pPicture);
#else
  return pPicture.convertToFormat(QImage::Format_RGBA8888).mirrored();
#endif
}

}  // namespace

void VexaHUDElement::_createReticleTexture() {
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
  GLuint lTexture = 0;
  glGenTextures(1, &lTexture);
  mReticleTexture = lTexture;
  mReticleContext = CurrentGlContext();
  glEnable(GL_TEXTURE_2D);
  {
    const QImage lPicture(":resources/reticle-15-circle.png");
    const QImage lPixels = GlTextureImage(lPicture);
    glBindTexture(GL_TEXTURE_2D, mReticleTexture);
    // A picture that failed to decode leaves the texture empty: nothing shows.
    if (!lPixels.isNull()) {
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, lPixels.width(), lPixels.height(), 0, GL_RGBA,
                   GL_UNSIGNED_BYTE, lPixels.constBits());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  }
  glPopAttrib();
}

void VexaHUDElement::RenderReticle(int pWidth, int pHeight) {
  if (!ShowReticle) return;

  // A bool camera property can hide the reticle; with no camera it shows.
  FBRenderer* lRenderer = mSystem.Renderer;
  FBCamera* lCamera = lRenderer ? static_cast<FBCamera*>(lRenderer->CurrentCamera) : nullptr;
  if (lCamera) {
    FBProperty* lBound = lCamera->PropertyList.Find(TextOf(ReticleBoundProperty), true);
    if (!lBound) lBound = lCamera->PropertyList.Find("ShowOpticalCenter", true);
    if (lBound && lBound->GetPropertyType() == kFBPT_bool) {
      bool lShown = true;
      lBound->GetData(&lShown, sizeof(lShown));
      if (!lShown) return;
    }
  }

  const double lSize = static_cast<int>(ReticleSize);
  const double lX0 = std::trunc(pWidth * 0.5 - lSize * 0.5);
  const double lY0 = std::trunc(pHeight * 0.5 - lSize * 0.5);
  const FBColorAndAlpha lColor = ReticleColor;

  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT);
  glColor4f(ToFloat(lColor[0]), ToFloat(lColor[1]), ToFloat(lColor[2]), ToFloat(lColor[3]));
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, mReticleTexture);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2d(lX0, lY0 + lSize);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2d(lX0, lY0);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2d(lX0 + lSize, lY0);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2d(lX0 + lSize, lY0 + lSize);
  glEnd();
  glPopAttrib();
}

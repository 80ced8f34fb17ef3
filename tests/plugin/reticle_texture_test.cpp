// The element's textures: the reticle's upload, and the context each is released in.

#include <GL/gl.h>

#include <QImage>
#include <set>
#include <utility>
#include <vector>

#include "hud_fixture.h"

namespace {

using vexatest::HudTest;

// Texture names alive in the current context, among the first few hundred.
std::set<GLuint> LiveTextures() {
  std::set<GLuint> lNames;
  for (GLuint lName = 1; lName < 512; ++lName)
    if (glIsTexture(lName)) lNames.insert(lName);
  return lNames;
}

class ReticleTexture : public HudTest {
 protected:
  // Creates an element and answers the one texture its creation made.
  GLuint CreateAndFindTexture(const char* pName) {
    const std::set<GLuint> lBefore = LiveTextures();
    mCreated = CreateHud(pName);
    std::set<GLuint> lNew = LiveTextures();
    for (GLuint lName : lBefore) lNew.erase(lName);
    EXPECT_EQ(lNew.size(), 1u);
    return lNew.empty() ? 0 : *lNew.begin();
  }
  VexaHUDElement* mCreated = nullptr;
};

TEST_F(ReticleTexture, HoldsThePictureAsRgbaBytesBottomRowFirst) {
  const GLuint lName = CreateAndFindTexture("probe");
  glBindTexture(GL_TEXTURE_2D, lName);
  GLint lWidth = 0, lHeight = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &lWidth);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &lHeight);
  ASSERT_EQ(std::make_pair(lWidth, lHeight), std::make_pair(512, 512));
  std::vector<unsigned char> lBytes(512 * 512 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, lBytes.data());
  glBindTexture(GL_TEXTURE_2D, 0);

  // Straight colour, pixel by pixel, the picture's bottom row first.
  const QImage lPicture =
      QImage(":resources/reticle-15-circle.png").convertToFormat(QImage::Format_ARGB32);
  std::vector<unsigned char> lExpected;
  for (int y = 511; y >= 0; --y) {
    for (int x = 0; x < 512; ++x) {
      const QRgb lPixel = lPicture.pixel(x, y);
      for (int lChannel : {qRed(lPixel), qGreen(lPixel), qBlue(lPixel), qAlpha(lPixel)})
        lExpected.push_back(static_cast<unsigned char>(lChannel));
    }
  }
  EXPECT_TRUE(lBytes == lExpected);
}

// The reticle's texture is made at creation, the fonts' glyph textures by the
// first draw; all of them belong to the viewer's context.
TEST_F(ReticleTexture, TexturesAreReleasedOnlyInTheContextTheyWereMadeIn) {
  Render();  // the fixture's element makes its own glyphs first
  const auto lCreateAndDraw = [this](const char* pName) {
    const std::set<GLuint> lBefore = LiveTextures();
    mCreated = CreateHud(pName);
    vexatest::Set(mCreated, "Saving", true);  // the message font too
    Render();
    std::set<GLuint> lMade = LiveTextures();
    for (GLuint lName : lBefore) lMade.erase(lName);
    EXPECT_GE(lMade.size(), 4u) << "the reticle and three fonts' glyphs";
    return lMade;
  };

  const std::set<GLuint> lKept = lCreateAndDraw("torn down elsewhere");
  ASSERT_FALSE(lKept.empty());
  {
    // A second viewer, whose context holds textures of its own under the
    // same names, is current when the element goes.
    std::string lError;
    auto lOther = fbhost::OffscreenViewer::Create(16, 16, &lError);
    ASSERT_TRUE(lOther) << lError;
    std::vector<GLuint> lOwn(*lKept.rbegin() + 4);
    glGenTextures(static_cast<GLsizei>(lOwn.size()), lOwn.data());
    for (GLuint lName : lOwn) glBindTexture(GL_TEXTURE_2D, lName);
    glBindTexture(GL_TEXTURE_2D, 0);
    mScene->DeleteElement(mCreated);
    for (GLuint lName : lKept)
      EXPECT_TRUE(glIsTexture(lName)) << "another context's texture " << lName << " was deleted";
  }
  vexatest::Viewer().MakeCurrent();
  for (GLuint lName : lKept) EXPECT_TRUE(glIsTexture(lName)) << lName;  // left to their context

  const std::set<GLuint> lReleased = lCreateAndDraw("torn down at home");
  mScene->DeleteElement(mCreated);
  for (GLuint lName : lReleased) EXPECT_FALSE(glIsTexture(lName)) << lName;
}

}  // namespace

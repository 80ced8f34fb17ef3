// Fonts from the resource bundle, and text drawn with them.

#include <FTGL/ftgl.h>

#include <QByteArray>
#include <QFile>
#include <QtGlobal>
#include <cstring>

#include "element/vexa_hud_element.h"
#include "render/utf8.h"

namespace {

// Reads a whole resource into a new buffer of exactly its size.
unsigned char* ReadResource(QFile& pFile, size_t& pSize) {
  const QByteArray lBytes = pFile.readAll();
  pSize = static_cast<size_t>(lBytes.size());
  unsigned char* lBuffer = new unsigned char[pSize > 0 ? pSize : 1];
  if (pSize > 0) std::memcpy(lBuffer, lBytes.constData(), pSize);
  pFile.close();
  return lBuffer;
}

}  // namespace

bool VexaHUDElement::_loadFonts() {
  QFile lOrator(":resources/OratorStd.otf");
  if (!lOrator.open(QIODevice::ReadOnly)) {
    qDebug("Couldn't open oratorstd font: %d ", static_cast<int>(lOrator.error()));
    return false;
  }
  size_t lOratorSize = 0;
  mOratorFontBytes = ReadResource(lOrator, lOratorSize);
  mValueFont = new FTTextureFont(mOratorFontBytes, lOratorSize);

  QFile lArial(":resources/Arial.ttf");
  if (!lArial.open(QIODevice::ReadOnly)) {
    qDebug("Couldn't open arial font: %d ", static_cast<int>(lArial.error()));
    return false;
  }
  size_t lArialSize = 0;
  mArialFontBytes = ReadResource(lArial, lArialSize);
  // Both fonts read the one buffer, which outlives them.
  mLabelFont = new FTTextureFont(mArialFontBytes, lArialSize);
  mMessageFont = new FTTextureFont(mArialFontBytes, lArialSize);

  mValueFont->FaceSize(48, 72);
  mLabelFont->FaceSize(16, 72);
  mMessageFont->FaceSize(256, 72);
  return true;
}

const char* VexaHUDElement::_validText(const char* pText) {
  CopyValidUtf8(pText, mGlyphText, sizeof(mGlyphText));
  return mGlyphText;
}

void VexaHUDElement::RenderText(const char* pValue, int pX, int pY, const char* pLabel) {
  if (!mValueFont || !mLabelFont) return;
  _noteGlyphContext();
  // Each value is set 5 pixels per character tighter than the face's advances.
  mValueFont->Render(_validText(pValue), -1, FTPoint(pX, pY, 0.0), FTPoint(-5.0, 0.0, 0.0),
                     FTGL::RENDER_ALL);
  if (!ShowLabels || !pLabel) return;
  const long long lX = static_cast<long long>(pX) + 5;
  const long long lY = static_cast<long long>(pY) - 16;
  mLabelFont->Render(_validText(pLabel), -1,
                     FTPoint(static_cast<double>(lX), static_cast<double>(lY), 0.0),
                     FTPoint(0.0, 0.0, 0.0), FTGL::RENDER_ALL);
}

#pragma once
// An offscreen viewer: an OpenGL compatibility context made current through
// EGL with no window, drawing into a framebuffer object of any size.

#include <fbsdk/fbsdk.h>

#include <QImage>
#include <QRgb>
#include <memory>
#include <string>
#include <vector>

namespace fbhost {

class OffscreenViewer {
 public:
  // Makes a context current and a width x height framebuffer; null with
  // pError set when no context can be made.
  static std::unique_ptr<OffscreenViewer> Create(int pWidth, int pHeight, std::string* pError);
  ~OffscreenViewer();

  OffscreenViewer(const OffscreenViewer&) = delete;
  OffscreenViewer& operator=(const OffscreenViewer&) = delete;

  // Makes this viewer's context current (it already is after Create).
  void MakeCurrent();
  // Resizes the framebuffer; false when the size is not drawable.
  bool Resize(int pWidth, int pHeight);
  int Width() const;
  int Height() const;

  // What each frame is cleared to: a flat colour (0..1) or a picture scaled
  // to the viewport.
  void SetBackground(double pRed, double pGreen, double pBlue);
  void SetBackgroundImage(const QImage& pImage);
  // A frame of footage: pWidth x pHeight RGBA pixels, rows packed, top row
  // first (bottom row first when pBottomUp, as OpenGL keeps them: a frame the
  // viewport's size is then copied, not drawn). It fills the viewport scaled to
  // fit with its aspect kept, on black bars where the aspects differ. The
  // pixels are copied to the GPU at once, so the buffer may be reused as soon
  // as this returns.
  bool SetBackgroundFrame(const unsigned char* pRgba, int pWidth, int pHeight,
                          bool pBottomUp = false);

  // Layer mode: frames are drawn over no background but over black and over
  // white at once (two colour buffers, one pass of the elements), so that
  // what the HUD covers, and by how much, can be told apart from what it
  // shows: over black is the HUD's colour already weighted by its coverage,
  // white minus black what of the background still shows through. Blending
  // weighs the background alike in red, green and blue, so over white only
  // red is kept: a quarter of the memory to clear, draw into and read. False
  // when the context cannot draw to two buffers.
  bool SetLayerMode(bool pLayer);

  // One frame: clear to the background, raise the rendering-pipeline event for
  // stage 4, call DrawElement of every shown element (one view), raise stage 5. pViewingCamera is
  // what the view's options report.
  void RenderFrame(const std::vector<ORSDK2014::FBHUDElement*>& pElements,
                   ORSDK2014::FBCamera* pViewingCamera = nullptr);

  // The framebuffer as an image, top row first (QImage::Format_RGBA8888).
  QImage ReadPixels();
  // The framebuffer's RGBA pixels into pRgba (Width() * Height() * 4 bytes),
  // bottom row first as OpenGL hands them: no copy to turn them over.
  void ReadPixelsBottomUp(unsigned char* pRgba);
  // In layer mode: the frame over black as ReadPixelsBottomUp reads it, and
  // over white its red alone (Width() * Height() bytes), in the same order.
  // Only the rows the frame drew in are read: with pRowsDrawn, it says which
  // (bottom row first) and the other rows are left as they were; without,
  // those rows are filled clear (black, and white).
  // False when not in layer mode.
  bool ReadLayerBottomUp(unsigned char* pOverBlack, unsigned char* pOverWhite,
                         std::vector<unsigned char>* pRowsDrawn = nullptr);

 private:
  OffscreenViewer();
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

// A pixel of an image read back from the viewer, addressed as OpenGL does:
// x from the left, y from the bottom.
inline QRgb GlPixel(const QImage& pImage, int pX, int pY) {
  return pImage.pixel(pX, pImage.height() - 1 - pY);
}

}  // namespace fbhost

#include "fbhost/offscreen_viewer.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <fbsdk/runtime.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace fbhost {

namespace {

// Largest framebuffer side accepted even where the driver allows more: one
// such frame already takes a gigabyte of colour and depth.
const int kSideCap = 16384;

// " (EGL error 0x3001)" for the last EGL error, or nothing when there was none.
std::string LastEglError() {
  const EGLint lError = eglGetError();
  if (lError == EGL_SUCCESS) return "";
  char lText[32];
  std::snprintf(lText, sizeof(lText), " (EGL error 0x%04x)", static_cast<unsigned>(lError));
  return lText;
}

bool HasExtension(const char* pList, const char* pName) {
  if (!pList) return false;
  const size_t lLength = std::strlen(pName);
  for (const char* lAt = std::strstr(pList, pName); lAt; lAt = std::strstr(lAt + 1, pName)) {
    const bool lStarts = lAt == pList || lAt[-1] == ' ';
    const bool lEnds = lAt[lLength] == ' ' || lAt[lLength] == '\0';
    if (lStarts && lEnds) return true;
  }
  return false;
}

// Viewers share the process's one display (EGL hands out the same handle for
// the same platform). It stays open for the life of the process, as a host's
// does: terminating it under a later viewer would break that viewer, and
// llvmpipe leaks a little with every terminate.
EGLDisplay& TheDisplay() {
  static EGLDisplay sDisplay = EGL_NO_DISPLAY;
  return sDisplay;
}

// A compatibility-profile context made on pDisplay, or EGL_NO_CONTEXT.
EGLContext MakeContext(EGLDisplay pDisplay) {
  if (!eglBindAPI(EGL_OPENGL_API)) return EGL_NO_CONTEXT;
  const char* lExtensions = eglQueryString(pDisplay, EGL_EXTENSIONS);
  if (!HasExtension(lExtensions, "EGL_KHR_surfaceless_context")) return EGL_NO_CONTEXT;
  EGLConfig lConfig = EGL_NO_CONFIG_KHR;
  if (!HasExtension(lExtensions, "EGL_KHR_no_config_context")) {
    const EGLint lWanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint lCount = 0;
    if (!eglChooseConfig(pDisplay, lWanted, &lConfig, 1, &lCount) || lCount < 1)
      return EGL_NO_CONTEXT;
  }
  const EGLint lCompatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext lContext = eglCreateContext(pDisplay, lConfig, EGL_NO_CONTEXT, lCompatibility);
  if (lContext == EGL_NO_CONTEXT) {
    // Drivers without profile selection give a compatibility context by default.
    lContext = eglCreateContext(pDisplay, lConfig, EGL_NO_CONTEXT, nullptr);
  }
  return lContext;
}

// Initialises pDisplay and makes a context on it; false (display released) when either fails.
bool TryDisplay(EGLDisplay pDisplay, EGLContext* pContext) {
  if (pDisplay == EGL_NO_DISPLAY) return false;
  EGLint lMajor = 0, lMinor = 0;
  if (!eglInitialize(pDisplay, &lMajor, &lMinor)) return false;
  *pContext = MakeContext(pDisplay);
  if (*pContext != EGL_NO_CONTEXT) return true;
  eglTerminate(pDisplay);
  return false;
}

// Opens a display with no window system (Mesa's surfaceless platform, else the
// first EGL device) and makes a context on it.
bool OpenDisplay(EGLDisplay* pDisplay, EGLContext* pContext, std::string* pError) {
  EGLDisplay& lShared = TheDisplay();
  if (lShared != EGL_NO_DISPLAY) {
    *pContext = MakeContext(lShared);
    if (*pContext == EGL_NO_CONTEXT) {
      *pError = "cannot make an OpenGL context" + LastEglError();
      return false;
    }
    *pDisplay = lShared;
    return true;
  }
  const char* lClient = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  auto lGetPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!lGetPlatformDisplay) {
    *pError = "EGL offers no eglGetPlatformDisplayEXT";
    return false;
  }
  EGLDisplay lDisplay = EGL_NO_DISPLAY;
  bool lOpen = false;
  if (HasExtension(lClient, "EGL_MESA_platform_surfaceless")) {
    lDisplay = lGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    lOpen = TryDisplay(lDisplay, pContext);
  }
  auto lQueryDevices =
      reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  if (!lOpen && lQueryDevices && HasExtension(lClient, "EGL_EXT_platform_device")) {
    EGLDeviceEXT lDevice = nullptr;
    EGLint lCount = 0;
    if (lQueryDevices(1, &lDevice, &lCount) && lCount > 0) {
      lDisplay = lGetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, lDevice, nullptr);
      lOpen = TryDisplay(lDisplay, pContext);
    }
  }
  if (!lOpen) {
    *pError =
        "no EGL display without a window can make an OpenGL compatibility context" + LastEglError();
    return false;
  }
  lShared = lDisplay;
  *pDisplay = lDisplay;
  return true;
}

void DestroyContext(EGLDisplay pDisplay, EGLContext pContext) {
  if (eglGetCurrentContext() == pContext)
    eglMakeCurrent(pDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(pDisplay, pContext);
}

// Framebuffer-object entry points (OpenGL 3.0), which libOpenGL need not export.
struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D = nullptr;
  // OpenGL 4.3; without it footage is always drawn as a textured quad.
  PFNGLCOPYIMAGESUBDATAPROC CopyImageSubData = nullptr;
  // OpenGL 2.0 and 3.0, for drawing the HUD as a layer over two backgrounds at once.
  PFNGLDRAWBUFFERSPROC DrawBuffers = nullptr;
  PFNGLCLEARBUFFERFVPROC ClearBufferfv = nullptr;

  template <class tFunction>
  static bool Load(tFunction& pFunction, const char* pName) {
    pFunction = reinterpret_cast<tFunction>(eglGetProcAddress(pName));
    return pFunction != nullptr;
  }

  bool LoadAll() {
    return Load(GenFramebuffers, "glGenFramebuffers") &&
           Load(DeleteFramebuffers, "glDeleteFramebuffers") &&
           Load(BindFramebuffer, "glBindFramebuffer") &&
           Load(CheckFramebufferStatus, "glCheckFramebufferStatus") &&
           Load(FramebufferTexture2D, "glFramebufferTexture2D") &&
           (Load(CopyImageSubData, "glCopyImageSubData") || true) &&
           (Load(DrawBuffers, "glDrawBuffers") || true) &&
           (Load(ClearBufferfv, "glClearBufferfv") || true);
  }
};

}  // namespace

struct OffscreenViewer::Impl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  FramebufferCalls gl;
  GLuint framebuffer = 0;
  GLuint colour = 0;  // a texture, so a footage frame can be copied straight in
  // A layer: the second colour buffer, cleared white while the first is black.
  bool layer = false;
  GLuint white = 0;
  // Between layer frames both colour buffers stay clear except in the rows
  // the last frame drew in: only those are cleared again and read back, so a
  // HUD of two bands costs two bands, not the whole frame. The rows are found
  // from what was drawn, recorded as it is drawn and played back in feedback
  // mode, which gives every primitive's place without drawing it again.
  std::vector<unsigned char> rowsDrawn;  // bottom row first
  bool layerClear = false;               // false: clear all before the next frame
  GLuint drawing = 0;                    // the display list recording a frame's drawing
  std::vector<GLfloat> feedback;
  std::vector<unsigned char> clearBlack, clearWhite;  // a block of clear rows of each
  // The same blocks as textures, with one of depth 1 and stencil 0, copied in
  // where the context copies between textures; 0 until made for this width.
  GLuint clearBlocks[3] = {0, 0, 0};
  int clearBlocksWidth = 0;
  // A texture, not a renderbuffer, so that layer frames can clear it again
  // only in the rows drawn, as they do the colour.
  GLuint depthStencil = 0;
  int width = 0;
  int height = 0;
  int maxSide = 0;

  double background[3] = {0.0, 0.0, 0.0};
  QImage picture;  // null for a flat background
  GLuint pictureTexture = 0;
  int textureWidth = 0;  // the viewport size the texture was scaled to; 0 when stale
  int textureHeight = 0;

  // Footage: one texture the size of the frame, refilled for every frame.
  bool footage = false;
  GLuint footageTexture = 0;
  int footageWidth = 0;
  int footageHeight = 0;
  bool footageBottomUp = false;

  bool Allocate(int pWidth, int pHeight);
  void ClearLayer();
  bool FindDrawnRows();
  void DrawPicture();
  void DrawFootage();
};

namespace {

// Draws the bound 2D texture over the current viewport, row 0 at the top
// (at the bottom when pBottomUp).
void DrawTexturedQuad(bool pBottomUp = false) {
  const float lBottom = pBottomUp ? 0.0f : 1.0f;
  const float lTop = 1.0f - lBottom;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glLoadIdentity();
  for (GLenum lCap : {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_BLEND, GL_ALPHA_TEST, GL_LIGHTING,
                      GL_CULL_FACE, GL_FOG, GL_SCISSOR_TEST})
    glDisable(lCap);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, lBottom);
  glVertex2f(-1.0f, -1.0f);
  glTexCoord2f(1.0f, lBottom);
  glVertex2f(1.0f, -1.0f);
  glTexCoord2f(1.0f, lTop);
  glVertex2f(1.0f, 1.0f);
  glTexCoord2f(0.0f, lTop);
  glVertex2f(-1.0f, 1.0f);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
}

void SetUnpackedRows() {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

}  // namespace

bool OffscreenViewer::Impl::Allocate(int pWidth, int pHeight) {
  while (glGetError() != GL_NO_ERROR) {
  }
  glPushAttrib(GL_TEXTURE_BIT);
  glBindTexture(GL_TEXTURE_2D, colour);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pWidth, pHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  if (white) {
    glBindTexture(GL_TEXTURE_2D, white);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, pWidth, pHeight, 0, GL_RED, GL_UNSIGNED_BYTE, nullptr);
  }
  glBindTexture(GL_TEXTURE_2D, depthStencil);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH24_STENCIL8, pWidth, pHeight, 0, GL_DEPTH_STENCIL,
               GL_UNSIGNED_INT_24_8, nullptr);
  glPopAttrib();
  gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  return glGetError() == GL_NO_ERROR &&
         gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void OffscreenViewer::Impl::DrawPicture() {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  if (textureWidth != width || textureHeight != height) {
    // Scaled here rather than by the texture unit so each pixel is one texel.
    const QImage lScaled =
        picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGBX8888);
    if (!pictureTexture) glGenTextures(1, &pictureTexture);
    glBindTexture(GL_TEXTURE_2D, pictureTexture);
    SetUnpackedRows();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 lScaled.constBits());
    textureWidth = width;
    textureHeight = height;
  }
  glBindTexture(GL_TEXTURE_2D, pictureTexture);
  DrawTexturedQuad();
  glPopClientAttrib();
  glPopAttrib();
}

void OffscreenViewer::Impl::DrawFootage() {
  if (!footageTexture) return;
  // The largest rectangle of the frame's aspect that fits, centred; 64-bit
  // products, since both sides may reach the viewer's limit.
  const long long lW = width, lH = height, lFw = footageWidth, lFh = footageHeight;
  long long lFitW = lW, lFitH = lH;
  if (lW * lFh > lH * lFw) {
    lFitW = std::max(1LL, (lH * lFw * 2 + lFh) / (2 * lFh));
  } else {
    lFitH = std::max(1LL, (lW * lFh * 2 + lFw) / (2 * lFw));
  }
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glViewport(static_cast<GLint>((lW - lFitW) / 2), static_cast<GLint>((lH - lFitH) / 2),
             static_cast<GLsizei>(lFitW), static_cast<GLsizei>(lFitH));
  glBindTexture(GL_TEXTURE_2D, footageTexture);
  // One texel a pixel at the frame's own size; filtered when scaled.
  const GLint lFilter = lFitW == lFw && lFitH == lFh ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, lFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, lFilter);
  DrawTexturedQuad(footageBottomUp);
  glPopAttrib();
}

OffscreenViewer::OffscreenViewer() : mImpl(new Impl) {}

std::unique_ptr<OffscreenViewer> OffscreenViewer::Create(int pWidth, int pHeight,
                                                         std::string* pError) {
  std::string lError;
  std::unique_ptr<OffscreenViewer> lViewer(new OffscreenViewer);
  Impl& lImpl = *lViewer->mImpl;
  auto lFail = [&](const std::string& pMessage) {
    if (pError) *pError = pMessage;
    return nullptr;
  };
  if (pWidth <= 0 || pHeight <= 0 || pWidth > kSideCap || pHeight > kSideCap) {
    return lFail("viewport " + std::to_string(pWidth) + "x" + std::to_string(pHeight) +
                 " is not drawable: each side must be 1 to " + std::to_string(kSideCap));
  }
  if (!OpenDisplay(&lImpl.display, &lImpl.context, &lError)) return lFail(lError);
  if (!eglMakeCurrent(lImpl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, lImpl.context)) {
    // The destructor releases the context and the display.
    return lFail("cannot make the OpenGL context current" + LastEglError());
  }
  if (!lImpl.gl.LoadAll()) return lFail("the OpenGL context has no framebuffer objects");

  GLint lTexture = 0, lViewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &lTexture);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, lViewport);
  lImpl.maxSide = std::min({kSideCap, static_cast<int>(lTexture), static_cast<int>(lViewport[0]),
                            static_cast<int>(lViewport[1])});

  lImpl.gl.GenFramebuffers(1, &lImpl.framebuffer);
  glGenTextures(1, &lImpl.colour);
  glGenTextures(1, &lImpl.depthStencil);
  // A name becomes an object when first bound; only then can it be attached.
  for (GLuint lName : {lImpl.colour, lImpl.depthStencil}) {
    glBindTexture(GL_TEXTURE_2D, lName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  lImpl.gl.BindFramebuffer(GL_FRAMEBUFFER, lImpl.framebuffer);
  lImpl.gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, lImpl.colour,
                                0);
  lImpl.gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D,
                                lImpl.depthStencil, 0);
  if (!lViewer->Resize(pWidth, pHeight)) {
    return lFail("viewport " + std::to_string(pWidth) + "x" + std::to_string(pHeight) +
                 " is not drawable here: each side must be 1 to " + std::to_string(lImpl.maxSide));
  }
  return lViewer;
}

OffscreenViewer::~OffscreenViewer() {
  Impl& lImpl = *mImpl;
  if (lImpl.context == EGL_NO_CONTEXT) return;
  if (eglMakeCurrent(lImpl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, lImpl.context) &&
      lImpl.gl.DeleteFramebuffers) {
    if (lImpl.pictureTexture) glDeleteTextures(1, &lImpl.pictureTexture);
    if (lImpl.footageTexture) glDeleteTextures(1, &lImpl.footageTexture);
    lImpl.gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    lImpl.gl.DeleteFramebuffers(1, &lImpl.framebuffer);
    glDeleteTextures(1, &lImpl.colour);
    if (lImpl.white) glDeleteTextures(1, &lImpl.white);
    if (lImpl.clearBlocks[0]) glDeleteTextures(3, lImpl.clearBlocks);
    if (lImpl.drawing) glDeleteLists(lImpl.drawing, 1);
    glDeleteTextures(1, &lImpl.depthStencil);
  }
  DestroyContext(lImpl.display, lImpl.context);
}

void OffscreenViewer::MakeCurrent() {
  if (eglGetCurrentContext() != mImpl->context)
    eglMakeCurrent(mImpl->display, EGL_NO_SURFACE, EGL_NO_SURFACE, mImpl->context);
}

bool OffscreenViewer::Resize(int pWidth, int pHeight) {
  Impl& lImpl = *mImpl;
  if (pWidth <= 0 || pHeight <= 0 || pWidth > lImpl.maxSide || pHeight > lImpl.maxSide)
    return false;
  MakeCurrent();
  if (!lImpl.Allocate(pWidth, pHeight)) {
    // Out of memory, say: keep the framebuffer that worked.
    if (lImpl.width > 0) lImpl.Allocate(lImpl.width, lImpl.height);
    return false;
  }
  lImpl.width = pWidth;
  lImpl.height = pHeight;
  lImpl.textureWidth = 0;
  lImpl.layerClear = false;
  return true;
}

int OffscreenViewer::Width() const { return mImpl->width; }
int OffscreenViewer::Height() const { return mImpl->height; }

void OffscreenViewer::SetBackground(double pRed, double pGreen, double pBlue) {
  mImpl->background[0] = pRed;
  mImpl->background[1] = pGreen;
  mImpl->background[2] = pBlue;
  mImpl->picture = QImage();
  mImpl->footage = false;
}

void OffscreenViewer::SetBackgroundImage(const QImage& pImage) {
  mImpl->picture = pImage;
  mImpl->textureWidth = 0;
  mImpl->footage = false;
}

bool OffscreenViewer::SetBackgroundFrame(const unsigned char* pRgba, int pWidth, int pHeight,
                                         bool pBottomUp) {
  Impl& lImpl = *mImpl;
  if (!pRgba || pWidth <= 0 || pHeight <= 0 || pWidth > lImpl.maxSide || pHeight > lImpl.maxSide)
    return false;
  MakeCurrent();
  glPushAttrib(GL_TEXTURE_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  SetUnpackedRows();
  if (!lImpl.footageTexture) glGenTextures(1, &lImpl.footageTexture);
  glBindTexture(GL_TEXTURE_2D, lImpl.footageTexture);
  if (lImpl.footageWidth != pWidth || lImpl.footageHeight != pHeight) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // Complete without mipmaps, as a copy's source must be.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pWidth, pHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, pRgba);
    lImpl.footageWidth = pWidth;
    lImpl.footageHeight = pHeight;
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, pWidth, pHeight, GL_RGBA, GL_UNSIGNED_BYTE, pRgba);
  }
  glPopClientAttrib();
  glPopAttrib();
  lImpl.picture = QImage();
  lImpl.background[0] = lImpl.background[1] = lImpl.background[2] = 0.0;
  lImpl.footage = true;
  lImpl.footageBottomUp = pBottomUp;
  return true;
}

bool OffscreenViewer::SetLayerMode(bool pLayer) {
  Impl& lImpl = *mImpl;
  if (pLayer == lImpl.layer) return true;
  if (pLayer && (!lImpl.gl.DrawBuffers || !lImpl.gl.ClearBufferfv)) return false;
  MakeCurrent();
  lImpl.gl.BindFramebuffer(GL_FRAMEBUFFER, lImpl.framebuffer);
  if (pLayer) {
    if (!lImpl.white) {
      glGenTextures(1, &lImpl.white);
      glPushAttrib(GL_TEXTURE_BIT);
      glBindTexture(GL_TEXTURE_2D, lImpl.white);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, lImpl.width, lImpl.height, 0, GL_RED, GL_UNSIGNED_BYTE,
                   nullptr);
      glPopAttrib();
      lImpl.gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D,
                                    lImpl.white, 0);
    }
    // Whatever the plug-in draws, with whatever blending, lands in both.
    const GLenum lBoth[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    lImpl.gl.DrawBuffers(2, lBoth);
  } else {
    const GLenum lOne = GL_COLOR_ATTACHMENT0;
    lImpl.gl.DrawBuffers(1, &lOne);
  }
  lImpl.layer = pLayer;
  lImpl.layerClear = false;
  return lImpl.gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void OffscreenViewer::RenderFrame(const std::vector<ORSDK2014::FBHUDElement*>& pElements,
                                  ORSDK2014::FBCamera* pViewingCamera) {
  Impl& lImpl = *mImpl;
  MakeCurrent();
  lImpl.gl.BindFramebuffer(GL_FRAMEBUFFER, lImpl.framebuffer);
  glViewport(0, 0, lImpl.width, lImpl.height);

  // A frame of footage the viewport's size, rows as OpenGL keeps them, is
  // copied into the colour buffer instead of clearing it and drawing it.
  const bool lCopy = lImpl.footage && lImpl.footageBottomUp && lImpl.gl.CopyImageSubData &&
                     lImpl.footageWidth == lImpl.width && lImpl.footageHeight == lImpl.height;
  // Clear all of it whatever masks and scissor the last frame's drawing left.
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_SCISSOR_BIT);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(~0u);
  glClearColor(static_cast<GLfloat>(lImpl.background[0]), static_cast<GLfloat>(lImpl.background[1]),
               static_cast<GLfloat>(lImpl.background[2]), 1.0f);
  glClearDepth(1.0);
  glClearStencil(0);
  if (lImpl.layer) {
    lImpl.ClearLayer();
  } else {
    glClear((lCopy ? 0 : GL_COLOR_BUFFER_BIT) | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }
  glPopAttrib();
  if (lImpl.layer && !lImpl.drawing) lImpl.drawing = glGenLists(1);
  const bool lRecording = lImpl.layer && lImpl.drawing;
  if (lRecording) glNewList(lImpl.drawing, GL_COMPILE_AND_EXECUTE);
  if (lImpl.layer) {
    // No background: the layer is what is drawn over any.
  } else if (!lImpl.picture.isNull()) {
    lImpl.DrawPicture();
  }
  if (lImpl.layer) {
  } else if (lCopy) {
    lImpl.gl.CopyImageSubData(lImpl.footageTexture, GL_TEXTURE_2D, 0, 0, 0, 0, lImpl.colour,
                              GL_TEXTURE_2D, 0, 0, 0, 0, lImpl.width, lImpl.height, 1);
  } else if (lImpl.footage) {
    lImpl.DrawFootage();
  }

  // The rendering-pipeline event carries the render stages only: 4 before the
  // views are drawn, 5 after them.
  RaiseRenderingPipeline(ORSDK2014::kFBGlobalEvalCallbackBeforeRender);
  // One view covering the whole framebuffer.
  ORSDK2014::FBViewingOptions lOptions(pViewingCamera);
  for (ORSDK2014::FBHUDElement* lElement : pElements) {
    if (!lElement || !static_cast<bool>(lElement->Show)) continue;
    ORSDK2014::FBHUDElement::Rect lRect{
        0.0, 0.0, static_cast<double>(lImpl.width), static_cast<double>(lImpl.height), 1.0, 1.0};
    lElement->DrawElement(&lOptions, lRect);
  }
  RaiseRenderingPipeline(ORSDK2014::kFBGlobalEvalCallbackAfterRender);
  if (lRecording) {
    // A plug-in that ended the list itself (one that records lists of its
    // own) leaves it incomplete: then every row counts as drawn.
    GLint lList = 0;
    glGetIntegerv(GL_LIST_INDEX, &lList);
    if (lList == static_cast<GLint>(lImpl.drawing)) glEndList();
    if (lList != static_cast<GLint>(lImpl.drawing) || !lImpl.FindDrawnRows()) {
      lImpl.rowsDrawn.assign(static_cast<size_t>(lImpl.height), 1);
      lImpl.layerClear = false;
    }
  } else if (lImpl.layer) {
    lImpl.rowsDrawn.assign(static_cast<size_t>(lImpl.height), 1);
    lImpl.layerClear = false;
  }
  glFinish();
}

void OffscreenViewer::Impl::ClearLayer() {
  const bool lCopies = gl.CopyImageSubData != nullptr;
  if (!layerClear || static_cast<int>(rowsDrawn.size()) != height) {
    glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    const GLfloat lBlack[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const GLfloat lWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    gl.ClearBufferfv(GL_COLOR, 0, lBlack);
    gl.ClearBufferfv(GL_COLOR, 1, lWhite);
    layerClear = true;
    return;
  }
  // Every buffer again clear where the last frame drew: a block of clear rows
  // copied in at a time. A clear of a whole buffer costs llvmpipe a write of
  // all of it, one of some rows (scissored) a quad drawn over them.
  constexpr int kBlock = 64;
  const size_t lBlockBytes = static_cast<size_t>(width) * 4 * kBlock;
  glPushAttrib(GL_TEXTURE_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  SetUnpackedRows();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows of red alone are packed
  if (clearBlack.size() != lBlockBytes) {
    clearBlack.assign(lBlockBytes, 0);
    clearWhite.assign(lBlockBytes / 4, 255);
  }
  if (lCopies && clearBlocksWidth != width) {
    if (!clearBlocks[0]) {
      glGenTextures(3, clearBlocks);
      // Complete without mipmaps, as a copy's source must be.
      for (GLuint lBlock : clearBlocks) {
        glBindTexture(GL_TEXTURE_2D, lBlock);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      }
    }
    // Depth in the top 24 bits, stencil in the low 8.
    const std::vector<GLuint> lDepthStencil(lBlockBytes / 4, 0xFFFFFF00u);
    glBindTexture(GL_TEXTURE_2D, clearBlocks[0]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, kBlock, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 clearBlack.data());
    glBindTexture(GL_TEXTURE_2D, clearBlocks[1]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, width, kBlock, 0, GL_RED, GL_UNSIGNED_BYTE,
                 clearWhite.data());
    glBindTexture(GL_TEXTURE_2D, clearBlocks[2]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH24_STENCIL8, width, kBlock, 0, GL_DEPTH_STENCIL,
                 GL_UNSIGNED_INT_24_8, lDepthStencil.data());
    clearBlocksWidth = width;
  }
  // Without copies between textures, depth and stencil are cleared whole.
  if (!lCopies) glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  for (int lRow = 0; lRow < height;) {
    if (!rowsDrawn[static_cast<size_t>(lRow)]) {
      ++lRow;
      continue;
    }
    int lEnd = lRow + 1;
    while (lEnd < height && lEnd - lRow < kBlock && rowsDrawn[static_cast<size_t>(lEnd)]) ++lEnd;
    if (lCopies) {
      const GLuint lTargets[3] = {colour, white, depthStencil};
      for (int i = 0; i < 3; ++i) {
        gl.CopyImageSubData(clearBlocks[i], GL_TEXTURE_2D, 0, 0, 0, 0, lTargets[i], GL_TEXTURE_2D,
                            0, 0, lRow, 0, width, lEnd - lRow, 1);
      }
    } else {
      glBindTexture(GL_TEXTURE_2D, colour);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, lRow, width, lEnd - lRow, GL_RGBA, GL_UNSIGNED_BYTE,
                      clearBlack.data());
      glBindTexture(GL_TEXTURE_2D, white);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, lRow, width, lEnd - lRow, GL_RED, GL_UNSIGNED_BYTE,
                      clearWhite.data());
    }
    lRow = lEnd;
  }
  glPopClientAttrib();
  glPopAttrib();
}

bool OffscreenViewer::Impl::FindDrawnRows() {
  // Fragments reach a little past a primitive's vertices: smoothed edges by
  // a pixel, wide lines and points by half their width.
  constexpr float kEdge = 2.0f;
  GLfloat lWidths[2] = {1.0f, 1.0f};
  glGetFloatv(GL_LINE_WIDTH, &lWidths[0]);
  glGetFloatv(GL_POINT_SIZE, &lWidths[1]);
  const float lWide = std::max({8.0f, lWidths[0], lWidths[1]}) / 2.0f + kEdge;
  if (feedback.empty()) feedback.resize(1 << 16);
  GLint lCount = -1;
  for (;;) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_2D, feedback.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(drawing);
    lCount = glRenderMode(GL_RENDER);
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    if (lCount >= 0) break;
    // More than the buffer holds: a bigger one, up to a bound.
    if (feedback.size() >= (size_t{1} << 24)) return false;
    feedback.resize(feedback.size() * 4);
  }
  rowsDrawn.assign(static_cast<size_t>(height), 0);
  auto lMark = [&](float pLow, float pHigh, float pMargin) {
    if (!(pLow <= pHigh)) return;  // NaN
    const float lFrom = std::clamp(std::floor(pLow - pMargin), 0.0f, static_cast<float>(height));
    const float lTo = std::clamp(std::ceil(pHigh + pMargin), 0.0f, static_cast<float>(height));
    std::fill(rowsDrawn.begin() + static_cast<long>(lFrom),
              rowsDrawn.begin() + static_cast<long>(lTo), 1);
  };
  const GLfloat* lAt = feedback.data();
  const GLfloat* lEnd = lAt + lCount;
  while (lAt < lEnd) {
    const GLint lToken = static_cast<GLint>(*lAt++);
    int lVertices = 0;
    float lMargin = kEdge;
    switch (lToken) {
      case GL_POLYGON_TOKEN:
        if (lAt >= lEnd) return false;
        lVertices = static_cast<int>(std::clamp(*lAt++, 0.0f, 1.0e6f));
        break;
      case GL_LINE_TOKEN:
      case GL_LINE_RESET_TOKEN:
        lVertices = 2;
        lMargin = lWide;
        break;
      case GL_POINT_TOKEN:
        lVertices = 1;
        lMargin = lWide;
        break;
      case GL_PASS_THROUGH_TOKEN:
        ++lAt;
        continue;
      default:
        // Bitmaps and pixel rectangles: their size is not in the feedback.
        return false;
    }
    if (lEnd - lAt < 2L * lVertices) return false;
    float lLow = lAt[1], lHigh = lAt[1];
    for (int i = 1; i < lVertices; ++i) {
      lLow = std::min(lLow, lAt[2 * i + 1]);
      lHigh = std::max(lHigh, lAt[2 * i + 1]);
    }
    if (lVertices > 0) lMark(lLow, lHigh, lMargin);
    lAt += 2L * lVertices;
  }
  return true;
}

QImage OffscreenViewer::ReadPixels() {
  Impl& lImpl = *mImpl;
  QImage lImage(lImpl.width, lImpl.height, QImage::Format_RGBA8888);
  if (lImage.isNull()) return lImage;
  ReadPixelsBottomUp(lImage.bits());
  // OpenGL hands the bottom row first.
  return lImage.mirrored(false, true);
}

void OffscreenViewer::ReadPixelsBottomUp(unsigned char* pRgba) {
  Impl& lImpl = *mImpl;
  MakeCurrent();
  lImpl.gl.BindFramebuffer(GL_FRAMEBUFFER, lImpl.framebuffer);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glReadPixels(0, 0, lImpl.width, lImpl.height, GL_RGBA, GL_UNSIGNED_BYTE, pRgba);
  glPopClientAttrib();
}

bool OffscreenViewer::ReadLayerBottomUp(unsigned char* pOverBlack, unsigned char* pOverWhite,
                                        std::vector<unsigned char>* pRowsDrawn) {
  Impl& lImpl = *mImpl;
  if (!lImpl.layer) return false;
  MakeCurrent();
  lImpl.gl.BindFramebuffer(GL_FRAMEBUFFER, lImpl.framebuffer);
  const size_t lRowBytes = static_cast<size_t>(lImpl.width) * 4;
  const size_t lWhiteRowBytes = static_cast<size_t>(lImpl.width);
  const bool lKnown = static_cast<int>(lImpl.rowsDrawn.size()) == lImpl.height;
  if (pRowsDrawn) pRowsDrawn->assign(static_cast<size_t>(lImpl.height), 0);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);  // rows of red alone are packed too
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  auto lDrawn = [&](int pRow) { return !lKnown || lImpl.rowsDrawn[static_cast<size_t>(pRow)]; };
  for (int lRow = 0; lRow < lImpl.height;) {
    const bool lRead = lDrawn(lRow);
    int lEnd = lRow + 1;
    while (lEnd < lImpl.height && lDrawn(lEnd) == lRead) ++lEnd;
    const int lRows = lEnd - lRow;
    const size_t lAt = static_cast<size_t>(lRow) * lRowBytes;
    if (lRead) {
      glReadBuffer(GL_COLOR_ATTACHMENT0);
      glReadPixels(0, lRow, lImpl.width, lRows, GL_RGBA, GL_UNSIGNED_BYTE, pOverBlack + lAt);
      glReadBuffer(GL_COLOR_ATTACHMENT1);
      glReadPixels(0, lRow, lImpl.width, lRows, GL_RED, GL_UNSIGNED_BYTE,
                   pOverWhite + static_cast<size_t>(lRow) * lWhiteRowBytes);
      if (pRowsDrawn) std::fill_n(pRowsDrawn->begin() + lRow, lRows, 1);
    } else if (!pRowsDrawn) {
      // Nothing drawn there: as clear as the buffers are.
      std::memset(pOverBlack + lAt, 0, static_cast<size_t>(lRows) * lRowBytes);
      std::memset(pOverWhite + static_cast<size_t>(lRow) * lWhiteRowBytes, 255,
                  static_cast<size_t>(lRows) * lWhiteRowBytes);
    }
    lRow = lEnd;
  }
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glPopClientAttrib();
  return true;
}

}  // namespace fbhost

#include "hud_fixture.h"

#include <FTGL/ftgl.h>
#include <GL/gl.h>
#include <fbsdk/runtime.h>
#include <unistd.h>

#include <QFile>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <list>

namespace vexatest {

namespace {

std::vector<std::string>& CapturedMessages() {
  static std::vector<std::string> sMessages;
  return sMessages;
}

void Capture(QtMsgType, const QMessageLogContext&, const QString& pMessage) {
  CapturedMessages().push_back(pMessage.toStdString());
}

FBProperty* Find(FBComponent* pOwner, const char* pName) {
  FBProperty* lProperty = pOwner->PropertyList.Find(pName);
  if (!lProperty) ADD_FAILURE() << "no property \"" << pName << "\"";
  return lProperty;
}

}  // namespace

DebugCapture::DebugCapture() {
  CapturedMessages().clear();
  qInstallMessageHandler(Capture);
}

DebugCapture::~DebugCapture() { qInstallMessageHandler(nullptr); }

const std::vector<std::string>& DebugCapture::Messages() const { return CapturedMessages(); }
void DebugCapture::Clear() { CapturedMessages().clear(); }

fbhost::OffscreenViewer& Viewer() {
  static std::unique_ptr<fbhost::OffscreenViewer> sViewer = [] {
    std::string lError;
    auto lViewer = fbhost::OffscreenViewer::Create(1920, 1080, &lError);
    if (!lViewer) {
      fprintf(stderr, "no offscreen viewer: %s\n", lError.c_str());
      std::abort();
    }
    lViewer->SetBackground(kBackground, kBackground, kBackground);
    return lViewer;
  }();
  sViewer->MakeCurrent();
  return *sViewer;
}

long long ResidentBytes() {
  long long lPages = 0, lResident = 0;
  FILE* lFile = fopen("/proc/self/statm", "r");
  if (!lFile) return -1;
  if (fscanf(lFile, "%lld %lld", &lPages, &lResident) != 2) lResident = -1;
  fclose(lFile);
  return lResident * sysconf(_SC_PAGESIZE);
}

void HudTest::SetUp() {
  // A call the host leaves undefined fails the test instead of ending the program.
  fbhost::SetMisuseHandler(
      [](const char* pReport) { ADD_FAILURE() << "host misuse: " << pReport; });
  Viewer();
  mScene = std::make_unique<fbhost::Scene>();
  mCamera = mScene->AddCamera("Camera 1");
  mTake = mScene->AddTake("Take 001");
  mScene->SetCurrentCamera(mCamera);
  mScene->SetCurrentTake(mTake);
  mScene->SetPlayRange(0, 100);
  mHud = CreateHud();
  ASSERT_NE(mHud, nullptr);
}

void HudTest::TearDown() {
  Viewer();
  mScene.reset();
  fbhost::SetMisuseHandler(nullptr);
}

VexaHUDElement* HudTest::CreateHud(const char* pName) {
  // The plug-in is linked into this program, so the element class is ours;
  // naming its type keeps the library linked where no test calls a method.
  FBHUDElement* lElement = mScene->CreateElement("VexaHUDElement", pName);
  if (!lElement || !lElement->Is(VexaHUDElement::TypeInfo)) return nullptr;
  return static_cast<VexaHUDElement*>(lElement);
}

QImage HudTest::Render(int pWidth, int pHeight) {
  fbhost::OffscreenViewer& lViewer = Viewer();
  if (lViewer.Width() != pWidth || lViewer.Height() != pHeight) {
    EXPECT_TRUE(lViewer.Resize(pWidth, pHeight));
  }
  lViewer.RenderFrame(mScene->Elements(), mCamera);
  return lViewer.ReadPixels();
}

namespace {

// A bare HUD element whose drawing is the test's.
class CallbackElement : public FBHUDElement {
 public:
  explicit CallbackElement(const std::function<void(int, int)>& pDraw)
      : FBHUDElement("callback"), mDraw(pDraw) {
    Show = true;
  }
  void DrawElement(FBViewingOptions*, Rect&) override {
    GLint lViewport[4];
    glGetIntegerv(GL_VIEWPORT, lViewport);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, lViewport[2], 0, lViewport[3], -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    mDraw(lViewport[2], lViewport[3]);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
  }

 private:
  std::function<void(int, int)> mDraw;
};

}  // namespace

QImage HudTest::RenderWith(const std::function<void(int, int)>& pDraw, int pWidth, int pHeight) {
  fbhost::OffscreenViewer& lViewer = Viewer();
  if (lViewer.Width() != pWidth || lViewer.Height() != pHeight) {
    EXPECT_TRUE(lViewer.Resize(pWidth, pHeight));
  }
  CallbackElement lElement(pDraw);
  lViewer.RenderFrame({&lElement}, mCamera);
  return lViewer.ReadPixels();
}

void HudTest::SetFrame(long long pFrame) { mScene->SetFrame(pFrame); }

namespace {

// A face of the bundle at a size, kept for the program's life with the bytes
// it reads from: its glyph textures belong to the shared viewer's context.
FTFont& ModelFont(const char* pResource, unsigned pSize) {
  QFile lFile(pResource);
  if (!lFile.open(QIODevice::ReadOnly)) ADD_FAILURE() << "no resource " << pResource;
  static std::list<QByteArray> sFaces;
  const QByteArray& lBytes = sFaces.emplace_back(lFile.readAll());
  FTFont* lFont = new FTTextureFont(reinterpret_cast<const unsigned char*>(lBytes.constData()),
                                    static_cast<size_t>(lBytes.size()));
  lFont->FaceSize(pSize, 72);
  return *lFont;
}

}  // namespace

FTFont& LabelFontModel() {
  static FTFont& sFont = ModelFont(":resources/Arial.ttf", 16);
  return sFont;
}

void DrawTextModel(const char* pValue, int pX, int pY, const char* pLabel) {
  static FTFont& sValueFont = ModelFont(":resources/OratorStd.otf", 48);
  sValueFont.Render(pValue, -1, FTPoint(pX, pY), FTPoint(-5.0, 0.0));
  if (pLabel) LabelFontModel().Render(pLabel, -1, FTPoint(pX + 5, pY - 16), FTPoint());
}

void Set(FBComponent* pOwner, const char* pName, bool pValue) {
  if (FBProperty* lProperty = Find(pOwner, pName)) {
    ASSERT_EQ(lProperty->GetPropertyType(), kFBPT_bool) << pName;
    lProperty->SetData(&pValue);
  }
}

void Set(FBComponent* pOwner, const char* pName, int pValue) {
  if (FBProperty* lProperty = Find(pOwner, pName)) {
    ASSERT_EQ(lProperty->GetPropertyType(), kFBPT_int) << pName;
    lProperty->SetData(&pValue);
  }
}

void Set(FBComponent* pOwner, const char* pName, double pValue) {
  if (FBProperty* lProperty = Find(pOwner, pName)) {
    ASSERT_EQ(lProperty->GetPropertyType(), kFBPT_double) << pName;
    lProperty->SetData(&pValue);
  }
}

void Set(FBComponent* pOwner, const char* pName, const char* pValue) {
  if (FBProperty* lProperty = Find(pOwner, pName)) {
    ASSERT_EQ(lProperty->GetPropertyType(), kFBPT_charptr) << pName;
    lProperty->SetData(&pValue);
  }
}

void Set(FBComponent* pOwner, const char* pName, const FBColorAndAlpha& pValue) {
  if (FBProperty* lProperty = Find(pOwner, pName)) {
    ASSERT_EQ(lProperty->GetPropertyType(), kFBPT_ColorRGBA) << pName;
    FBColorAndAlpha lValue = pValue;
    lProperty->SetData(&lValue);
  }
}

FBPropertyAnimatable& Animatable(FBComponent* pOwner, const char* pName) {
  FBProperty* lProperty = pOwner->PropertyList.Find(pName);
  EXPECT_TRUE(lProperty) << pName;
  return dynamic_cast<FBPropertyAnimatable&>(*lProperty);
}

void Key(FBPropertyAnimatable& pProperty,
         const std::vector<std::pair<long long, std::vector<double>>>& pKeys,
         FBInterpolation pInterpolation) {
  pProperty.SetAnimated(true);
  for (const auto& lKey : pKeys) {
    FBTime lTime;
    lTime.SetFrame(lKey.first);
    std::vector<double> lValues = lKey.second;
    pProperty.GetAnimationNode()->KeyAdd(lTime, lValues.data(), pInterpolation);
  }
}

void HideAllItems(FBComponent* pHud) {
  for (const char* lName :
       {"Show Scene Frame", "Show Scene Timecode", "Show Character Timecode",
        "Show Camera Timecode", "Show Focal Length", "Show Camera Name", "Show Interoccular",
        "Show Convergence", "Show FQN", "Show Slate", "Show FPS", "Show Value 1", "Show Value 2",
        "Show Timeline", "Show Reticle"}) {
    Set(pHud, lName, false);
  }
}

void HideEverything(FBComponent* pHud) {
  HideAllItems(pHud);
  Set(pHud, "Aspect", 1.0);
  Set(pHud, "Status Offset", 5000);
}

namespace {

// The region's rows as byte ranges of the read-back images, which hold 4
// bytes a pixel (red, green, blue, alpha), top row first.
template <class tVisit>
bool EachRow(const QImage& pImage, const Region& pRegion, tVisit pVisit) {
  const int lX0 = std::max(pRegion.x0, 0), lX1 = std::min(pRegion.x1, pImage.width() - 1);
  const int lY0 = std::max(pRegion.y0, 0), lY1 = std::min(pRegion.y1, pImage.height() - 1);
  for (int y = lY0; lX0 <= lX1 && y <= lY1; ++y) {
    const int lRow = pImage.height() - 1 - y;
    if (!pVisit(lRow, 4 * lX0, 4 * (lX1 - lX0 + 1))) return false;
  }
  return true;
}

}  // namespace

int ChangedPixels(const QImage& pImage, const Region& pRegion) {
  const QImage lImage = pImage.convertToFormat(QImage::Format_RGBA8888);
  int lChanged = 0;
  EachRow(lImage, pRegion, [&](int pRow, int pStart, int pLength) {
    const uchar* lBytes = lImage.constScanLine(pRow) + pStart;
    for (int i = 0; i < pLength; i += 4) {
      lChanged += lBytes[i] != kBackgroundGrey || lBytes[i + 1] != kBackgroundGrey ||
                  lBytes[i + 2] != kBackgroundGrey;
    }
    return true;
  });
  return lChanged;
}

bool SameIn(const QImage& pA, const QImage& pB, const Region& pRegion) {
  if (pA.size() != pB.size() || pA.format() != pB.format()) return false;
  return EachRow(pA, pRegion, [&](int pRow, int pStart, int pLength) {
    return std::memcmp(pA.constScanLine(pRow) + pStart, pB.constScanLine(pRow) + pStart,
                       static_cast<size_t>(pLength)) == 0;
  });
}

Region ChangedBounds(const QImage& pImage, const Region& pRegion) {
  Region lBounds{pRegion.x1 + 1, pRegion.y1 + 1, pRegion.x0 - 1, pRegion.y0 - 1};
  for (int y = pRegion.y0; y <= pRegion.y1; ++y) {
    for (int x = pRegion.x0; x <= pRegion.x1; ++x) {
      if (ChangedPixels(pImage, Region{x, y, x, y}) == 0) continue;
      lBounds = Region{std::min(lBounds.x0, x), std::min(lBounds.y0, y), std::max(lBounds.x1, x),
                       std::max(lBounds.y1, y)};
    }
  }
  return lBounds;
}

::testing::AssertionResult PixelNear(const QImage& pImage, int pX, int pY, double pRed,
                                     double pGreen, double pBlue, double pTolerance) {
  const QRgb lPixel = fbhost::GlPixel(pImage, pX, pY);
  if (std::abs(qRed(lPixel) - pRed) <= pTolerance &&
      std::abs(qGreen(lPixel) - pGreen) <= pTolerance &&
      std::abs(qBlue(lPixel) - pBlue) <= pTolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "pixel (" << pX << ", " << pY << ") is (" << qRed(lPixel) << ", " << qGreen(lPixel)
         << ", " << qBlue(lPixel) << "), expected (" << pRed << ", " << pGreen << ", " << pBlue
         << ") within " << pTolerance;
}

}  // namespace vexatest

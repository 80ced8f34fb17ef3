#include <GL/gl.h>
#include <fbhost/components.h>
#include <fbhost/offscreen_viewer.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using fbhost::GlPixel;
using fbhost::OffscreenViewer;

// Logs every rendering-pipeline stage it is told of.
class StageLog : public ICallback {
 public:
  explicit StageLog(std::vector<std::string>* pLog) : mLog(pLog) {
    FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Add(this, (FBCallback)&StageLog::OnStage);
  }
  ~StageLog() override {
    FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Remove(this,
                                                                (FBCallback)&StageLog::OnStage);
  }
  void OnStage(HIRegister, HKEventBase pEvent) {
    mLog->push_back("stage " + std::to_string(FBEventEvalGlobalCallback(pEvent).GetTiming()));
  }

 private:
  std::vector<std::string>* mLog;
};

// Logs its draws and fills the lower-left quarter of the view with its colour.
class ProbeElement : public FBHUDElement {
 public:
  ProbeElement(const char* pName, std::vector<std::string>* pLog, bool pShown)
      : FBHUDElement(pName), mLog(pLog) {
    Show = pShown;
  }
  void DrawElement(FBViewingOptions* pOptions, Rect& pRect) override {
    if (mLog) mLog->push_back(std::string("draw ") + static_cast<const char*>(Name));
    mCamera = pOptions->GetViewingCamera();
    mRect = pRect;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4ub(250, 10, 20, 255);
    glRectd(-1.0, -1.0, 0.0, 0.0);
  }
  FBCamera* mCamera = nullptr;
  Rect mRect{};

 private:
  std::vector<std::string>* mLog;
};

const QRgb kProbe = qRgba(250, 10, 20, 255);

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string lError;
    mViewer = OffscreenViewer::Create(64, 32, &lError);
    ASSERT_TRUE(mViewer) << lError;
  }
  void TearDown() override {
    for (FBHUDElement* lElement : mElements) fbhost::DeleteComponent(lElement);
  }
  ProbeElement* AddProbe(const char* pName, bool pShown = true) {
    mElements.push_back(new ProbeElement(pName, &mLog, pShown));
    return static_cast<ProbeElement*>(mElements.back());
  }

  std::unique_ptr<OffscreenViewer> mViewer;
  std::vector<FBHUDElement*> mElements;
  std::vector<std::string> mLog;
};

// Every pixel of pImage equals pColour.
::testing::AssertionResult IsFilled(const QImage& pImage, QRgb pColour) {
  for (int y = 0; y < pImage.height(); ++y) {
    for (int x = 0; x < pImage.width(); ++x) {
      if (pImage.pixel(x, y) != pColour)
        return ::testing::AssertionFailure()
               << "pixel " << x << "," << y << " is " << std::hex << pImage.pixel(x, y);
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(ViewerTest, AFrameClearsEveryPixelToTheFlatBackground) {
  mViewer->SetBackground(0.2, 0.4, 0.6);
  mViewer->RenderFrame({});
  const QImage lImage = mViewer->ReadPixels();
  EXPECT_EQ(lImage.format(), QImage::Format_RGBA8888);
  EXPECT_EQ(lImage.size(), QSize(64, 32));
  EXPECT_TRUE(IsFilled(lImage, qRgba(51, 102, 153, 255)));
}

TEST_F(ViewerTest, PixelsComeBackTopRowFirst) {
  mViewer->SetBackground(0.0, 0.0, 1.0);
  mViewer->RenderFrame({AddProbe("probe")});
  const QImage lImage = mViewer->ReadPixels();
  const QRgb lBlue = qRgba(0, 0, 255, 255);
  // The probe filled OpenGL's lower-left quarter: the image's bottom-left.
  EXPECT_EQ(GlPixel(lImage, 0, 0), kProbe);
  EXPECT_EQ(GlPixel(lImage, 31, 15), kProbe);
  EXPECT_EQ(GlPixel(lImage, 32, 0), lBlue);
  EXPECT_EQ(GlPixel(lImage, 0, 16), lBlue);
  EXPECT_EQ(lImage.pixel(0, 31), kProbe);
  EXPECT_EQ(lImage.pixel(0, 0), lBlue);
}

TEST_F(ViewerTest, OnlyTheRenderStagesRiseWithShownElementsDrawnBetweenFourAndFive) {
  StageLog lStages(&mLog);
  FBCamera lCamera("Viewer camera");
  ProbeElement* lFirst = AddProbe("first");
  AddProbe("hidden", false);
  AddProbe("last");
  mViewer->RenderFrame(mElements, &lCamera);
  const std::vector<std::string> lExpected = {"stage 4", "draw first", "draw last", "stage 5"};
  EXPECT_EQ(mLog, lExpected);
  EXPECT_EQ(lFirst->mCamera, &lCamera);
  EXPECT_EQ(lFirst->mRect.mX, 0.0);
  EXPECT_EQ(lFirst->mRect.mY, 0.0);
  EXPECT_EQ(lFirst->mRect.mWidth, 64.0);
  EXPECT_EQ(lFirst->mRect.mHeight, 32.0);
  EXPECT_EQ(lFirst->mRect.mWidthScale, 1.0);
  EXPECT_EQ(lFirst->mRect.mHeightScale, 1.0);
}

TEST_F(ViewerTest, APictureFillsTheViewportUprightAndLeavesTheStateAlone) {
  QImage lPicture(2, 2, QImage::Format_RGBA8888);
  lPicture.setPixel(0, 0, qRgba(255, 0, 0, 255));
  lPicture.setPixel(1, 0, qRgba(0, 255, 0, 255));
  lPicture.setPixel(0, 1, qRgba(0, 0, 255, 255));
  lPicture.setPixel(1, 1, qRgba(255, 255, 255, 255));
  mViewer->SetBackgroundImage(lPicture);
  mViewer->RenderFrame({});
  QImage lImage = mViewer->ReadPixels();
  EXPECT_EQ(lImage.pixel(0, 0), qRgba(255, 0, 0, 255));
  EXPECT_EQ(lImage.pixel(63, 0), qRgba(0, 255, 0, 255));
  EXPECT_EQ(lImage.pixel(0, 31), qRgba(0, 0, 255, 255));
  EXPECT_EQ(lImage.pixel(63, 31), qRgba(255, 255, 255, 255));

  // Texturing is off again when the element draws its flat quad.
  mViewer->RenderFrame({AddProbe("probe")});
  lImage = mViewer->ReadPixels();
  EXPECT_EQ(GlPixel(lImage, 0, 0), kProbe);
  EXPECT_EQ(GlPixel(lImage, 31, 15), kProbe);

  mViewer->SetBackground(1.0, 1.0, 0.0);
  mViewer->RenderFrame({});
  EXPECT_TRUE(IsFilled(mViewer->ReadPixels(), qRgba(255, 255, 0, 255)));
}

TEST_F(ViewerTest, UndrawableSizesAreRefusedAndTheFramebufferKept) {
  EXPECT_FALSE(mViewer->Resize(0, 10));
  EXPECT_FALSE(mViewer->Resize(10, -1));
  EXPECT_FALSE(mViewer->Resize(16385, 10));
  EXPECT_EQ(mViewer->Width(), 64);
  EXPECT_EQ(mViewer->Height(), 32);

  ASSERT_TRUE(mViewer->Resize(33, 17));
  mViewer->SetBackground(1.0, 0.0, 1.0);
  mViewer->RenderFrame({});
  const QImage lImage = mViewer->ReadPixels();
  EXPECT_EQ(lImage.size(), QSize(33, 17));
  EXPECT_TRUE(IsFilled(lImage, qRgba(255, 0, 255, 255)));

  for (const QSize lSize : {QSize(0, 10), QSize(10, 0), QSize(-5, 5), QSize(1000000000, 1)}) {
    std::string lError;
    EXPECT_FALSE(OffscreenViewer::Create(lSize.width(), lSize.height(), &lError));
    EXPECT_NE(lError.find("not drawable"), std::string::npos) << lError;
  }
}

TEST_F(ViewerTest, ViewersShareTheDisplayAndOutliveEachOther) {
  std::string lError;
  auto lSecond = OffscreenViewer::Create(8, 8, &lError);
  ASSERT_TRUE(lSecond) << lError;
  mViewer.reset();
  lSecond->SetBackground(0.0, 1.0, 0.0);
  lSecond->RenderFrame({});
  EXPECT_TRUE(IsFilled(lSecond->ReadPixels(), qRgba(0, 255, 0, 255)));
  lSecond.reset();
  // A viewer made after every other one has gone draws as well.
  mViewer = OffscreenViewer::Create(4, 4, &lError);
  ASSERT_TRUE(mViewer) << lError;
  mViewer->RenderFrame({});
  EXPECT_TRUE(IsFilled(mViewer->ReadPixels(), qRgba(0, 0, 0, 255)));
}

// Draws a translucent quad over the lower rows only where depth and stencil
// are as a clear leaves them, and marks both where it draws.
class MarkingElement : public FBHUDElement {
 public:
  MarkingElement() : FBHUDElement("marking") { Show = true; }
  void DrawElement(FBViewingOptions*, Rect&) override {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_EQUAL, 0, 0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    glColor4ub(200, 100, 50, 128);
    glRectd(-1.0, -1.0, 1.0, -0.5);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
  }
};

TEST_F(ViewerTest, EachLayerFrameStartsFromClearBuffersWhereTheLastOneDrew) {
  ASSERT_TRUE(mViewer->SetLayerMode(true));
  mElements.push_back(new MarkingElement);
  const size_t lBytes = 64 * 32 * 4;
  std::vector<unsigned char> lBlack[3], lWhite[3];
  for (int lFrame = 0; lFrame < 3; ++lFrame) {
    lBlack[lFrame].resize(lBytes);
    lWhite[lFrame].resize(lBytes / 4);
    mViewer->RenderFrame(mElements);
    ASSERT_TRUE(mViewer->ReadLayerBottomUp(lBlack[lFrame].data(), lWhite[lFrame].data(), nullptr));
  }
  // Drawn in the bottom rows, over black and over white alike.
  EXPECT_NE(lBlack[0][0], 0);
  EXPECT_NE(lWhite[0][0], 255);
  EXPECT_EQ(lBlack[0][lBytes - 4], 0);
  // Colour, depth and stencil left from one frame would change the next.
  for (int lFrame = 1; lFrame < 3; ++lFrame) {
    EXPECT_EQ(lBlack[lFrame], lBlack[0]) << "frame " << lFrame;
    EXPECT_EQ(lWhite[lFrame], lWhite[0]) << "frame " << lFrame;
  }
}

}  // namespace

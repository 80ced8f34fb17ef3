// The resource bundle compiled into the plug-in, and creation when an entry
// is missing from it.

#include <fbhost/plugin_loader.h>
#include <fbhost/scene.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QResource>
#include <QtGlobal>
#include <regex>
#include <string>
#include <vector>

namespace {

QByteArray ReadAll(const char* pPath) {
  QFile lFile(pPath);
  if (!lFile.open(QIODevice::ReadOnly)) return QByteArray();
  return lFile.readAll();
}

std::vector<std::string> gMessages;
void Capture(QtMsgType, const QMessageLogContext&, const QString& pMessage) {
  gMessages.push_back(pMessage.toStdString());
}

class Bundle : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string lError;
    mLibrary = fbhost::PluginLibrary::Load(fbhost::DefaultPluginPath(), &lError);
    ASSERT_TRUE(mLibrary) << lError;
    mInit = reinterpret_cast<int (*)()>(mLibrary->Symbol("_Z29qInitResources_vexahudelementv"));
    mCleanup =
        reinterpret_cast<int (*)()>(mLibrary->Symbol("_Z32qCleanupResources_vexahudelementv"));
    ASSERT_NE(mInit, nullptr);
    ASSERT_NE(mCleanup, nullptr);
  }
  void TearDown() override {
    qInstallMessageHandler(nullptr);
    mLibrary.reset();
  }

  // Swaps the shipped bundle for a test-only one lacking an entry (or for
  // none when null), creates an element, and puts the shipped bundle back.
  FBHUDElement* CreateWithBundle(const char* pBundle, fbhost::Scene& pScene) {
    const QString lPath = QString(VEXAHUD_TEST_BUNDLE_DIR) + "/" + (pBundle ? pBundle : "");
    EXPECT_EQ(mCleanup(), 1);
    if (pBundle) {
      EXPECT_TRUE(QResource::registerResource(lPath)) << lPath.toStdString();
    }
    gMessages.clear();
    qInstallMessageHandler(Capture);
    FBHUDElement* lElement = pScene.CreateElement("VexaHUDElement", "hud");
    qInstallMessageHandler(nullptr);
    if (pBundle) {
      EXPECT_TRUE(QResource::unregisterResource(lPath));
    }
    EXPECT_EQ(mInit(), 1);
    return lElement;
  }

  std::unique_ptr<fbhost::PluginLibrary> mLibrary;
  int (*mInit)() = nullptr;
  int (*mCleanup)() = nullptr;
};

TEST_F(Bundle, EntriesOpenUnderBothPathFormsOnlyWhileLoaded) {
  const QByteArray lLabel = ReadAll(":resources/Arial.ttf");
  EXPECT_EQ(lLabel, ReadAll(":/resources/Arial.ttf"));
  ASSERT_GE(lLabel.size(), 4);
  EXPECT_EQ(lLabel.left(4), QByteArray("\x00\x01\x00\x00", 4));

  const QByteArray lValue = ReadAll(":resources/OratorStd.otf");
  EXPECT_EQ(lValue, ReadAll(":/resources/OratorStd.otf"));
  EXPECT_EQ(lValue.left(4), QByteArray("OTTO"));

  // The entries are the faces the build placed in the bundle, byte for byte.
  QFile lValueFile(VEXAHUD_VALUE_FONT_BUILT);
  ASSERT_TRUE(lValueFile.open(QIODevice::ReadOnly));
  EXPECT_EQ(lValue, lValueFile.readAll());
  QFile lLabelFile(VEXAHUD_LABEL_FONT_BUILT);
  ASSERT_TRUE(lLabelFile.open(QIODevice::ReadOnly));
  EXPECT_EQ(lLabel, lLabelFile.readAll());

  const QImage lReticle(":resources/reticle-15-circle.png");
  EXPECT_EQ(lReticle.width(), 512);
  EXPECT_EQ(lReticle.height(), 512);
  EXPECT_TRUE(lReticle.hasAlphaChannel());
  // White everywhere, the shape in alpha: opaque outer ring, clear centre.
  EXPECT_EQ(lReticle.pixelColor(256 + 196, 256).alpha(), 255);
  EXPECT_EQ(lReticle.pixelColor(256 + 100, 256 + 10).alpha(), 38);
  EXPECT_EQ(lReticle.pixelColor(256 + 5, 256 + 5).alpha(), 0);
  EXPECT_EQ(lReticle.pixelColor(256 + 196, 256).red(), 255);

  mLibrary.reset();
  EXPECT_FALSE(QFile(":resources/Arial.ttf").open(QIODevice::ReadOnly));
  EXPECT_FALSE(QFile(":/resources/OratorStd.otf").open(QIODevice::ReadOnly));
  EXPECT_TRUE(QImage(":resources/reticle-15-circle.png").isNull());
}

TEST_F(Bundle, WithoutTheValueFaceCreationFailsBeforeTheLabelFace) {
  fbhost::Scene lScene;
  const int lLiveBefore = fbhost::LiveComponentCount();
  const int lHandlersBefore = fbhost::ConnectionNotifyHandlerCount();
  // With no bundle at all, a look at the label face would say so too.
  for (const char* lBundle : {"label-font-only.rcc", static_cast<const char*>(nullptr)}) {
    FBHUDElement* lElement = CreateWithBundle(lBundle, lScene);
    EXPECT_EQ(lElement, nullptr);
    EXPECT_EQ(fbhost::LiveComponentCount(), lLiveBefore);
    EXPECT_EQ(fbhost::ConnectionNotifyHandlerCount(), lHandlersBefore);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_TRUE(std::regex_match(gMessages[0], std::regex("Couldn't open oratorstd font: [0-9]+ ")))
        << gMessages[0];
  }
}

TEST_F(Bundle, WithoutTheLabelFaceCreationFailsAndReleasesTheValueFont) {
  fbhost::Scene lScene;
  const int lLiveBefore = fbhost::LiveComponentCount();
  const int lPipelineBefore = fbhost::RenderingPipelineHandlerCount();
  FBHUDElement* lElement = CreateWithBundle("value-font-only.rcc", lScene);
  EXPECT_EQ(lElement, nullptr);
  EXPECT_EQ(fbhost::LiveComponentCount(), lLiveBefore);
  EXPECT_EQ(fbhost::RenderingPipelineHandlerCount(), lPipelineBefore);
  ASSERT_EQ(gMessages.size(), 1u);
  EXPECT_TRUE(std::regex_match(gMessages[0], std::regex("Couldn't open arial font: [0-9]+ ")))
      << gMessages[0];

  // With the shipped bundle back, creation works again.
  EXPECT_NE(lScene.CreateElement("VexaHUDElement", "hud"), nullptr);

  // The value font made before the failure is released with the element: many
  // failures hold no more heap than one. (The sanitizer's leak check sees to
  // this in its own build, where the heap is its own.)
#if !defined(__SANITIZE_ADDRESS__)
  const long long lHeld = static_cast<long long>(mallinfo2().uordblks);
  for (int i = 0; i < 20; ++i) CreateWithBundle("value-font-only.rcc", lScene);
  EXPECT_LT(static_cast<long long>(mallinfo2().uordblks) - lHeld, 20 * 1024);
#endif
}

}  // namespace

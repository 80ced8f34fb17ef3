// vexahud-preview: renders the HUD a scene file describes, exactly as the
// plug-in draws it in a host, to PNG.

#include <fbhost/offscreen_viewer.h>
#include <fbhost/plugin_loader.h>
#include <fbhost/scene.h>
#include <fbhost/scene_file.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <cmath>
#include <cstdio>
#include <memory>

#include "options.h"
#include "progress.h"

namespace {

const char kElementClass[] = "VexaHUDElement";

enum ExitStatus { kDone = 0, kRenderFailed = 1, kBadInput = 2 };

int Complain(int pStatus, const std::string& pMessage) {
  std::fprintf(stderr, "vexahud-preview: %s\n", pMessage.c_str());
  return pStatus;
}

// Whether pPath can be written as a file: its folder exists and it is no folder itself.
bool CanWriteFile(const std::string& pPath, const char* pWhat, std::string* pError) {
  const QFileInfo lFile(QString::fromStdString(pPath));
  if (lFile.isDir()) {
    *pError = std::string(pWhat) + " '" + pPath + "' is a folder";
    return false;
  }
  if (!lFile.absoluteDir().exists()) {
    *pError =
        std::string(pWhat) + " '" + pPath + "': no folder " + lFile.absolutePath().toStdString();
    return false;
  }
  return true;
}

// Writes the frame as an opaque PNG (the viewer shows colour, not coverage)
// through a temporary file, so no partial image is ever left.
bool SavePng(const QImage& pImage, const std::string& pPath, std::string* pError) {
  QSaveFile lFile(QString::fromStdString(pPath));
  if (!pImage.isNull() && lFile.open(QIODevice::WriteOnly) &&
      pImage.convertToFormat(QImage::Format_RGB888).save(&lFile, "PNG") && lFile.commit()) {
    return true;
  }
  *pError = "cannot write " + pPath + ": " +
            (pImage.isNull() ? std::string("the frame could not be read back")
                             : lFile.errorString().toStdString());
  return false;
}

void ListProperties(const fbhost::Scene& pScene) {
  for (FBHUDElement* lElement : pScene.Elements()) {
    std::printf("# %s\n", static_cast<const char*>(lElement->Name));
    for (FBProperty* lProperty : fbhost::Scene::OwnProperties(lElement)) {
      const char* lKind = fbhost::SceneKindName(*lProperty);
      std::printf("%s\t%s\t%s\n", lProperty->GetName(), lKind ? lKind : "unknown",
                  fbhost::DumpJson(fbhost::PropertyToJson(*lProperty)).c_str());
    }
  }
  std::fflush(stdout);
}

// Whether pFrame is one of the pCount frames spaced evenly from pFirst to
// pLast (every frame when there are no more than pCount).
bool InStrip(long long pFrame, long long pFirst, long long pLast, int pCount) {
  const long long lSpan = pLast - pFirst;
  if (lSpan < pCount) return true;
  for (int i = 0; i < pCount; ++i) {
    const long long lPick = pFirst + (lSpan * i + (pCount - 1) / 2) / (pCount - 1);
    if (lPick == pFrame) return true;
  }
  return false;
}

// The frames side by side, each at half size.
QImage SideBySide(const std::vector<QImage>& pFrames) {
  if (pFrames.empty()) return QImage();
  const QSize lCell = pFrames.front().size() / 2;
  QImage lStrip(lCell.width() * static_cast<int>(pFrames.size()), lCell.height(),
                QImage::Format_RGB888);
  lStrip.fill(Qt::black);
  QPainter lPainter(&lStrip);
  for (size_t i = 0; i < pFrames.size(); ++i) {
    lPainter.drawImage(lCell.width() * static_cast<int>(i), 0,
                       pFrames[i]
                           .convertToFormat(QImage::Format_RGB32)
                           .scaled(lCell, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  }
  return lStrip;
}

// Renders the frames asked for: each sets the local time to its frame and
// moves the system clock on by one frame of the scene's rate.
int Render(const PreviewOptions& pOptions, fbhost::Scene& pScene,
           fbhost::OffscreenViewer& pViewer) {
  const long long lFirst = pOptions.frames ? pOptions.firstFrame : pScene.Frame();
  const long long lLast = pOptions.frames ? pOptions.lastFrame : lFirst;
  const double lFps = pScene.FrameRate();
  std::vector<QImage> lStrip;
  ProgressBar lProgress(lLast - lFirst + 1);
  for (long long lFrame = lFirst; lFrame <= lLast; ++lFrame) {
    const long long lDone = lFrame - lFirst + 1;
    pScene.SetFrame(lFrame);
    pScene.SetSystemTimeSeconds(static_cast<double>(lDone) / lFps);
    pViewer.RenderFrame(pScene.Elements(), pScene.CurrentCamera());
    const std::string lPath = pOptions.pattern ? pOptions.pattern->Format(lFrame) : pOptions.output;
    std::string lError;
    const QImage lImage = pViewer.ReadPixels();
    if (!SavePng(lImage, lPath, &lError)) return Complain(kRenderFailed, lError);
    if (!pOptions.strip.empty() && InStrip(lFrame, lFirst, lLast, pOptions.stripFrames))
      lStrip.push_back(lImage);
    lProgress.Update(lDone);
  }
  std::string lError;
  if (!pOptions.strip.empty() && !SavePng(SideBySide(lStrip), pOptions.strip, &lError))
    return Complain(kRenderFailed, lError);
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication lApplication(argc, argv);
  QCoreApplication::setApplicationName("vexahud-preview");
  QCoreApplication::setApplicationVersion(VEXAHUD_VERSION);

  PreviewOptions lOptions;
  std::string lText;
  switch (ParseCommandLine(QCoreApplication::arguments(), &lOptions, &lText)) {
    case CommandLine::kHelp:
    case CommandLine::kVersion:
      std::fputs(lText.c_str(), stdout);
      return kDone;
    case CommandLine::kBad:
      return Complain(kBadInput, lText + " (see --help)");
    case CommandLine::kRun:
      break;
  }

  fbhost::SceneDescription lDescription = fbhost::BuiltInScene();
  std::string lError;
  if (!lOptions.scene.empty() && !fbhost::ReadSceneFile(lOptions.scene, &lDescription, &lError))
    return Complain(kBadInput, lError);
  if (lOptions.width > 0) {
    lDescription.width = lOptions.width;
    lDescription.height = lOptions.height;
  }
  // Refuse outputs that cannot be written before anything is drawn or written.
  const std::string lFirstOutput =
      lOptions.pattern ? lOptions.pattern->Format(lOptions.firstFrame) : lOptions.output;
  if (!lOptions.listProperties && !CanWriteFile(lFirstOutput, "--output", &lError))
    return Complain(kBadInput, lError);
  if (!lOptions.saveScene.empty() && !CanWriteFile(lOptions.saveScene, "--save-scene", &lError))
    return Complain(kBadInput, lError);
  if (!lOptions.strip.empty() && !CanWriteFile(lOptions.strip, "--strip", &lError))
    return Complain(kBadInput, lError);

  // Declared in this order so the scene's elements go first, then the
  // context they drew in, and the plug-in last, as a host tears down.
  const std::string lPluginPath =
      lOptions.plugin.empty() ? fbhost::DefaultPluginPath() : lOptions.plugin;
  std::unique_ptr<fbhost::PluginLibrary> lPlugin =
      fbhost::PluginLibrary::Load(lPluginPath, &lError);
  if (!lPlugin) return Complain(kRenderFailed, "cannot load the plug-in: " + lError);
  std::unique_ptr<fbhost::OffscreenViewer> lViewer =
      fbhost::OffscreenViewer::Create(lDescription.width, lDescription.height, &lError);
  if (!lViewer) return Complain(kRenderFailed, "cannot render: " + lError);

  fbhost::Scene lScene;
  switch (fbhost::BuildScene(lDescription, lScene, kElementClass, &lError)) {
    case fbhost::BuildResult::kBadScene:
      return Complain(kBadInput, lError);
    case fbhost::BuildResult::kRefused:
      return Complain(kRenderFailed, lError);
    case fbhost::BuildResult::kBuilt:
      break;
  }
  fbhost::ApplyBackground(lDescription, *lViewer);

  if (lOptions.listProperties) {
    ListProperties(lScene);
  } else {
    const int lStatus = Render(lOptions, lScene, *lViewer);
    if (lStatus != kDone) return lStatus;
  }
  if (!lOptions.saveScene.empty() &&
      !fbhost::WriteSceneFile(fbhost::DescribeScene(lScene, lDescription), lOptions.saveScene,
                              &lError)) {
    return Complain(kRenderFailed, lError);
  }
  return kDone;
}

// vexahud-preview: renders the HUD a scene file describes, exactly as the
// plug-in draws it in a host, to PNG or a movie, over footage when given.

#include <fbhost/components.h>
#include <fbhost/offscreen_viewer.h>
#include <fbhost/plugin_loader.h>
#include <fbhost/scene.h>
#include <fbhost/scene_file.h>
#include <media/footage_reader.h>
#include <media/library_log.h>
#include <media/movie_writer.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>

#include "frame_sinks.h"
#include "options.h"
#include "render_pipeline.h"

namespace {

const char kElementClass[] = "VexaHUDElement";

enum ExitStatus { kDone = 0, kRenderFailed = 1, kBadInput = 2, kInterrupted = 130 };

std::atomic<bool> gInterrupted{false};

void OnInterrupt(int) { gInterrupted = true; }

// SIGINT and SIGTERM end the render at the next frame, so what is incomplete
// is removed on the way out rather than left behind.
void CatchInterrupts() {
  struct sigaction lAction = {};
  lAction.sa_handler = OnInterrupt;
  sigemptyset(&lAction.sa_mask);
  sigaction(SIGINT, &lAction, nullptr);
  sigaction(SIGTERM, &lAction, nullptr);
}

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

bool SavePng(const QImage& pImage, const std::string& pPath, std::string* pError) {
  QSaveFile lFile(QString::fromStdString(pPath));
  if (!pImage.isNull() && lFile.open(QIODevice::WriteOnly) &&
      pImage.convertToFormat(QImage::Format_RGB888).save(&lFile, "PNG") && lFile.commit()) {
    return true;
  }
  *pError = "cannot write " + pPath + ": " +
            (pImage.isNull() ? std::string("no frame") : lFile.errorString().toStdString());
  return false;
}

void ListProperties(const fbhost::Scene& pScene) {
  for (FBHUDElement* lElement : pScene.Elements()) {
    std::printf("# %s\n", fbhost::NameOf(lElement));
    for (FBProperty* lProperty : fbhost::Scene::OwnProperties(lElement)) {
      const char* lKind = fbhost::SceneKindName(*lProperty);
      std::printf("%s\t%s\t%s\n", lProperty->GetName(), lKind ? lKind : "unknown",
                  fbhost::DumpJson(fbhost::PropertyToJson(*lProperty)).c_str());
    }
  }
  std::fflush(stdout);
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

bool SamePath(const std::string& pA, const std::string& pB) {
  const QFileInfo lA(QString::fromStdString(pA)), lB(QString::fromStdString(pB));
  if (lA.exists() && lB.exists()) return lA.canonicalFilePath() == lB.canonicalFilePath();
  return lA.absoluteFilePath() == lB.absoluteFilePath();
}

// The movie's rate as a fraction: NTSC rates as n*1000/1001, others to the thousandth.
void RateFraction(double pFps, int* pNumerator, int* pDenominator) {
  const double lNtsc = pFps * 1001.0 / 1000.0;
  if (std::fabs(lNtsc - std::round(lNtsc)) < 1e-3 && std::fabs(pFps - std::round(pFps)) > 1e-3) {
    *pNumerator = static_cast<int>(std::round(lNtsc)) * 1000;
    *pDenominator = 1001;
  } else if (std::fabs(pFps - std::round(pFps)) < 1e-6) {
    *pNumerator = static_cast<int>(std::round(pFps));
    *pDenominator = 1;
  } else {
    *pNumerator = static_cast<int>(std::round(pFps * 1000.0));
    *pDenominator = 1000;
  }
}

std::string DescribeOrigin(const media::FootageReader& pFootage) {
  switch (pFootage.Origin()) {
    case media::TimecodeOrigin::kTrack:
      return "timecode from its timecode track, first frame " + pFootage.FirstTimecode().ToString();
    case media::TimecodeOrigin::kLtc:
      return "timecode from LTC, first frame " + pFootage.FirstTimecode().ToString();
    default:
      return "no timecode: its own time from " + pFootage.FirstTimecode().ToString();
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication lApplication(argc, argv);
  QCoreApplication::setApplicationName("vexahud-preview");
  QCoreApplication::setApplicationVersion(VEXAHUD_VERSION);
  media::ShowLibraryErrorsOnly();

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

  // Footage from the command line replaces the scene's background, keeping a
  // footage entry's other settings.
  using Kind = fbhost::SceneDescription::BackgroundKind;
  fbhost::SceneDescription::Background& lBackground = lDescription.background;
  if (!lOptions.footage.empty()) {
    const fbhost::SceneDescription::Footage lSettings = lBackground.kind == Kind::kFootage
                                                            ? lBackground.footage
                                                            : fbhost::SceneDescription::Footage();
    lBackground = fbhost::SceneDescription::Background();
    lBackground.kind = Kind::kFootage;
    lBackground.path =
        QFileInfo(QString::fromStdString(lOptions.footage)).absoluteFilePath().toStdString();
    lBackground.footage = lSettings;
  }
  std::unique_ptr<media::FootageReader> lFootage;
  if (lBackground.kind == Kind::kFootage) {
    if (!lOptions.footageTimecode.empty()) lBackground.footage.timecode = lOptions.footageTimecode;
    media::FootageOptions lOpen;
    lOpen.path = lBackground.path;
    media::ParseTimecodeOrigin(lBackground.footage.timecode, &lOpen.timecode);
    lOpen.ltcChannel = lBackground.footage.ltcChannel;
    lOpen.bottomUp = true;  // as the viewer takes them
    // A movie takes the rows the HUD leaves alone straight from the footage
    // (a strip shows the viewer's frames, so it needs them exact throughout).
    lOpen.keepPicture = lOptions.movie && lOptions.strip.empty();
    lFootage = media::FootageReader::Open(lOpen, &lError);
    if (!lFootage) return Complain(kBadInput, lError);
    std::fprintf(stderr, "vexahud-preview: footage %s: %dx%d at %.3f fps; %s\n",
                 lFootage->Path().c_str(), lFootage->Width(), lFootage->Height(),
                 lFootage->FramesPerSecond(), DescribeOrigin(*lFootage).c_str());
    // Without a scene, the built-in element shows the footage's timecode as the camera's.
    if (lOptions.scene.empty()) {
      lDescription.elements.front().properties.push_back(
          {"Camera Timecode Source", fbhost::SceneJson::array({lBackground.footage.object})});
    }
    if (!lDescription.hasFps) lDescription.fps = lFootage->FramesPerSecond();
    if (!lDescription.hasTransport) {
      // The play range is the clip.
      const long long lFrames = std::max(1LL, lFootage->FrameCountHint());
      // Held to the scene's bounds before it becomes a whole number: a
      // container may claim any count.
      const double lStop = std::min(
          static_cast<double>(fbhost::kMaxSceneFrame),
          static_cast<double>(lFrames - 1) * lDescription.fps / lFootage->FramesPerSecond());
      lDescription.start = 0;
      lDescription.stop = lStop >= 0.0 ? std::llround(lStop) : 0;
      lDescription.frame = 0;
    }
    if (lOptions.width == 0) {
      lDescription.width = lFootage->Width();
      lDescription.height = lFootage->Height();
    }
  }
  if (lOptions.width > 0) {
    lDescription.width = lOptions.width;
    lDescription.height = lOptions.height;
  }

  // Refuse outputs that cannot be written before anything is drawn or written.
  const bool lRun = lFootage || lOptions.frames;
  if (lRun && !lOptions.movie && !lOptions.pattern) {
    if (lOptions.outputGiven) {
      return Complain(kBadInput, "--output '" + lOptions.output +
                                     "': several frames need a pattern such as out_%04d.png, or "
                                     "a movie (.mov, .mp4, .mkv)");
    }
    lOptions.output = "hud_%04d.png";
    lOptions.pattern = FramePattern::Parse(lOptions.output, &lError);
  }
  if (lOptions.movie && lFootage && SamePath(lOptions.output, lFootage->Path()))
    return Complain(kBadInput, "--output '" + lOptions.output + "' is the footage itself");
  const std::string lFirstOutput =
      lOptions.pattern ? lOptions.pattern->Format(lOptions.firstFrame) : lOptions.output;
  if (!lOptions.listProperties && !CanWriteFile(lFirstOutput, "--output", &lError))
    return Complain(kBadInput, lError);
  if (!lOptions.saveScene.empty() && !CanWriteFile(lOptions.saveScene, "--save-scene", &lError))
    return Complain(kBadInput, lError);
  if (!lOptions.strip.empty()) {
    if (!lRun) return Complain(kBadInput, "--strip: needs --frames or footage (see --help)");
    if (!CanWriteFile(lOptions.strip, "--strip", &lError)) return Complain(kBadInput, lError);
  }

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
    RenderRun lRender;
    lRender.scene = &lScene;
    lRender.viewer = lViewer.get();
    lRender.footage = lFootage.get();
    lRender.limited = lOptions.frames || !lFootage;
    lRender.first = lOptions.frames ? lOptions.firstFrame : lScene.Frame();
    lRender.last = lOptions.frames ? lOptions.lastFrame : lRender.first;
    if (lFootage) {
      FBComponent* lObject = lScene.FindObject(lBackground.footage.object.c_str());
      lRender.footageTimecode =
          lObject ? lObject->PropertyList.Find(fbhost::kFootageTimecodeProperty) : nullptr;
      if (!lOptions.frames) {
        lRender.first = lFootage->FirstNumber();
        lRender.last = lRender.first + std::max(1LL, lFootage->FrameCountHint()) - 1;
      }
    }
    std::unique_ptr<FrameSink> lSink;
    if (lOptions.movie) {
      MovieSinkSettings lSettings;
      lSettings.options.path = lOptions.output;
      media::ParseVideoCodec(lOptions.codec, &lSettings.options.codec);
      lSettings.options.crf = lOptions.crf;
      if (lFootage) {
        lSettings.options.rateNumerator = lFootage->RateNumerator();
        lSettings.options.rateDenominator = lFootage->RateDenominator();
        lSettings.options.colour = lFootage->Colour();
        lSettings.options.audioSource = lFootage->Path();
        lSettings.withAudio = true;
      } else {
        RateFraction(lScene.FrameRate(), &lSettings.options.rateNumerator,
                     &lSettings.options.rateDenominator);
      }
      lSink = MakeMovieSink(lSettings);
    } else {
      lSink = MakePngSink(lOptions.pattern, lOptions.output);
    }
    lRender.sink = lSink.get();
    lRender.stripFrames = lOptions.strip.empty() ? 0 : lOptions.stripFrames;
    lRender.interrupted = &gInterrupted;
    CatchInterrupts();
    RenderResult lResult = RenderFrames(lRender);
    if (lResult.outcome == RenderOutcome::kInterrupted)
      return Complain(kInterrupted, "interrupted");
    if (lResult.outcome == RenderOutcome::kFailed) return Complain(kRenderFailed, lResult.error);
    if (!lOptions.strip.empty() && !SavePng(SideBySide(lResult.strip), lOptions.strip, &lError))
      return Complain(kRenderFailed, lError);
  }
  if (!lOptions.saveScene.empty() &&
      !fbhost::WriteSceneFile(fbhost::DescribeScene(lScene, lDescription), lOptions.saveScene,
                              &lError)) {
    return Complain(kRenderFailed, lError);
  }
  return kDone;
}

// vexahud-preview: renders the HUD a scene file describes, exactly as the
// plug-in draws it in a host, to PNG or a movie, over footage when given.

#include <fbhost/components.h>
#include <fbhost/offscreen_viewer.h>
#include <fbhost/plugin_loader.h>
#include <fbhost/scene.h>
#include <fbhost/scene_file.h>
#include <fbhost/trace.h>
#include <media/footage_reader.h>
#include <media/library_log.h>
#include <media/movie_writer.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>

#include "frame_sinks.h"
#include "options.h"
#include "render_pipeline.h"

namespace {

const char kElementClass[] = "VexaHUDElement";

enum ExitStatus { kDone = 0, kRenderFailed = 1, kBadInput = 2 };

std::atomic<bool> gInterrupted{false};
std::atomic<int> gSignal{0};

void OnInterrupt(int pSignal) {
  gSignal = pSignal;
  gInterrupted = true;
}

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

void Tell(const std::string& pMessage) { Complain(0, pMessage); }

bool EndsWithPng(const std::string& pPath) {
  if (pPath.size() < 4) return false;
  std::string lEnd = pPath.substr(pPath.size() - 4);
  for (char& c : lEnd) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lEnd == ".png";
}

// A rate as a fraction: the NTSC rates as n*1000/1001, others to the thousandth.
std::string RateText(int pNumerator, int pDenominator) {
  char lText[64];
  if (pDenominator == 1) {
    std::snprintf(lText, sizeof lText, "%d", pNumerator);
  } else {
    std::snprintf(lText, sizeof lText, "%d/%d (%.3f)", pNumerator, pDenominator,
                  static_cast<double>(pNumerator) / pDenominator);
  }
  return lText;
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

// The frames, already at half size, side by side.
QImage SideBySide(const std::vector<QImage>& pCells) {
  if (pCells.empty()) return QImage();
  const QSize lCell = pCells.front().size();
  QImage lStrip(lCell.width() * static_cast<int>(pCells.size()), lCell.height(),
                QImage::Format_RGB888);
  lStrip.fill(Qt::black);
  QPainter lPainter(&lStrip);
  for (size_t i = 0; i < pCells.size(); ++i) {
    lPainter.drawImage(lCell.width() * static_cast<int>(i), 0, pCells[i]);
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
    case media::TimecodeOrigin::kLtc:
    case media::TimecodeOrigin::kHeader:
      return "timecode from " + pFootage.OriginDetail() + ", first frame " +
             pFootage.FirstTimecode().ToString();
    default:
      return (pFootage.OriginDetail().empty() ? std::string("no timecode")
                                              : pFootage.OriginDetail()) +
             ": its own time from " + pFootage.FirstTimecode().ToString();
  }
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
  // What a host keeps in its log, and FFmpeg's own notes, only when asked for.
  media::SetLibraryLog(lOptions.verbose);
  fbhost::SetTraceVisible(lOptions.verbose);

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
  bool lHudLayer = false;
  if (lBackground.kind != Kind::kFootage &&
      !(lOptions.ocio + lOptions.colorspace + lOptions.display + lOptions.view).empty()) {
    return Complain(kBadInput,
                    "--ocio, --colorspace, --display and --view: need footage (--footage, or a "
                    "scene whose background is footage)");
  }
  if (lBackground.kind == Kind::kFootage) {
    if (!lOptions.footageTimecode.empty()) lBackground.footage.timecode = lOptions.footageTimecode;
    if (lOptions.ltcChannel >= 0) lBackground.footage.ltcChannel = lOptions.ltcChannel;
    if (!lOptions.ocio.empty()) lBackground.footage.ocio = lOptions.ocio;
    if (!lOptions.colorspace.empty()) lBackground.footage.colorspace = lOptions.colorspace;
    if (!lOptions.display.empty()) lBackground.footage.display = lOptions.display;
    if (!lOptions.view.empty()) lBackground.footage.view = lOptions.view;
    media::FootageOptions lOpen;
    lOpen.path = lBackground.path;
    media::ParseTimecodeOrigin(lBackground.footage.timecode, &lOpen.timecode);
    lOpen.ltcChannel = lBackground.footage.ltcChannel;
    lOpen.bottomUp = true;  // as the viewer takes them
    // A movie takes the HUD as a layer blended into the footage's own samples
    // (a strip shows the viewer's frames, so it needs them in RGB).
    lOpen.pictures = lOptions.movie && lOptions.strip.empty() && lOptions.width == 0;
    lOpen.audio = lOptions.movie && lOptions.audio != "none";
    lOpen.warn = Tell;
    lOpen.colour.config = lBackground.footage.ocio;
    lOpen.colour.colorspace = lBackground.footage.colorspace;
    lOpen.colour.display = lBackground.footage.display;
    lOpen.colour.view = lBackground.footage.view;
    // An image sequence's rate: the one given, else its headers', else the scene's, else film's.
    std::string lRateFrom;
    if (lOptions.footageRateNumerator > 0) {
      lOpen.sequenceRateNumerator = lOptions.footageRateNumerator;
      lOpen.sequenceRateDenominator = lOptions.footageRateDenominator;
      lRateFrom = "from --footage-rate";
    } else if (lBackground.footage.rateNumerator > 0) {
      lOpen.sequenceRateNumerator = lBackground.footage.rateNumerator;
      lOpen.sequenceRateDenominator = lBackground.footage.rateDenominator;
      lRateFrom = "from the scene's footage entry";
    }
    std::string lFallbackFrom;
    if (lDescription.hasFps) {
      RateFraction(lDescription.fps, &lOpen.fallbackRateNumerator, &lOpen.fallbackRateDenominator);
      lFallbackFrom = "the scene's rate, as its headers give none";
    } else {
      lOpen.fallbackRateNumerator = 24;
      lOpen.fallbackRateDenominator = 1;
      lFallbackFrom = "the film rate, as nothing gives one; --footage-rate sets it";
    }
    lFootage = media::FootageReader::Open(lOpen, &lError);
    if (!lFootage) return Complain(kBadInput, lError);
    if (lFootage->RateFromHeader()) {
      lRateFrom = "from its files' headers";
    } else if (lRateFrom.empty()) {
      lRateFrom = lFallbackFrom;
    }
    std::string lShape;
    if (lFootage->Fields() != media::FieldOrder::kProgressive) {
      lShape = lFootage->Fields() == media::FieldOrder::kTopFirst
                   ? ", interlaced top field first"
                   : ", interlaced bottom field first";
    }
    Tell("footage " + lFootage->Path() + ": " + std::to_string(lFootage->Width()) + "x" +
         std::to_string(lFootage->Height()) + lShape + " at " +
         RateText(lFootage->RateNumerator(), lFootage->RateDenominator()) + " fps" +
         (lFootage->IsSequence() ? " (" + lRateFrom + ")" : std::string()) + "; " +
         DescribeOrigin(*lFootage));
    if (!lFootage->ColourDetail().empty()) Tell(lFootage->ColourDetail());
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
    if (lOptions.hudHeight >= 0) lBackground.footage.hudHeight = lOptions.hudHeight;
    if (lOptions.width == 0) {
      // The HUD laid out as for a viewer of that many lines, at the footage's
      // aspect, then scaled to the footage.
      const int lLines = lBackground.footage.hudHeight < 0 ? 1080 : lBackground.footage.hudHeight;
      lDescription.width = lFootage->Width();
      lDescription.height = lFootage->Height();
      if (lLines > 0 && lLines != lFootage->Height()) {
        const long long lWide =
            (2LL * lLines * lFootage->Width() + lFootage->Height()) / (2LL * lFootage->Height());
        lDescription.width =
            static_cast<int>(std::clamp<long long>(lWide, 1, fbhost::kMaxViewportSide));
        lDescription.height = lLines;
        lHudLayer = true;
      }
    } else if (lFootage->Fields() != media::FieldOrder::kProgressive &&
               lOptions.height != lFootage->Height()) {
      // Scaled upright, lines of both fields would mix.
      return Complain(kBadInput,
                      "--size " + std::to_string(lOptions.width) + "x" +
                          std::to_string(lOptions.height) + ": the footage is interlaced, so its " +
                          std::to_string(lFootage->Height()) + " lines stay as they are");
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
  if (!lOptions.movie && !EndsWithPng(lOptions.output)) {
    return Complain(kBadInput, "--output '" + lOptions.output +
                                   "': the preview writes PNG (.png, or a pattern such as "
                                   "out_%04d.png) or a movie (.mov, .mp4, .mkv)");
  }
  // The frames the run covers, for the checks below.
  long long lFirst = lOptions.frames ? lOptions.firstFrame : 0;
  long long lLast = lOptions.frames ? lOptions.lastFrame : 0;
  const long long lCount = lFootage ? lFootage->FrameCountHint() : -1;
  if (lFootage) {
    const long long lClipFirst = lFootage->FirstNumber();
    const long long lClipLast = lClipFirst + lCount - 1;
    if (lOptions.frames && lCount > 0 && (lFirst < lClipFirst || lLast > lClipLast)) {
      return Complain(kBadInput, "--frames " + std::to_string(lFirst) + "-" +
                                     std::to_string(lLast) + ": the footage holds frames " +
                                     std::to_string(lClipFirst) + " to " +
                                     std::to_string(lClipLast));
    }
    if (!lOptions.frames) {
      lFirst = lClipFirst;
      lLast = lCount > 0 ? lClipLast : lClipFirst;
    }
  }
  // The footage is never written over, by any output.
  if (lFootage) {
    std::vector<std::pair<const char*, std::string>> lOutputs;
    if (!lOptions.pattern) lOutputs.push_back({"--output", lOptions.output});
    if (!lOptions.strip.empty()) lOutputs.push_back({"--strip", lOptions.strip});
    if (!lOptions.saveScene.empty()) lOutputs.push_back({"--save-scene", lOptions.saveScene});
    for (const auto& lOutput : lOutputs) {
      if (lFootage->HoldsFile(lOutput.second) || SamePath(lOutput.second, lFootage->Path()))
        return Complain(kBadInput, std::string(lOutput.first) + " '" + lOutput.second +
                                       "' is the footage itself");
    }
    if (lOptions.pattern) {
      // Every name the pattern gives over the footage's frames, as far as it declares them.
      const long long lTo = lCount > 0 ? lFootage->FirstNumber() + lCount - 1 : lLast;
      for (long long n = std::min(lFirst, lFootage->FirstNumber()); n <= std::max(lLast, lTo);
           ++n) {
        if (lFootage->HoldsFile(lOptions.pattern->Format(n))) {
          return Complain(kBadInput, "--output '" + lOptions.output + "' would write over " +
                                         lOptions.pattern->Format(n) + ", a file of the footage");
        }
      }
    }
  }
  const std::string lFirstOutput =
      lOptions.pattern ? lOptions.pattern->Format(lFirst) : lOptions.output;
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
    lRender.hudLayer = lHudLayer;
    lRender.first = lOptions.frames ? lOptions.firstFrame : lScene.Frame();
    lRender.last = lOptions.frames ? lOptions.lastFrame : lRender.first;
    lRender.warn = Tell;
    if (lFootage) {
      FBComponent* lObject = lScene.FindObject(lBackground.footage.object.c_str());
      lRender.footageTimecode =
          lObject ? lObject->PropertyList.Find(fbhost::kFootageTimecodeProperty) : nullptr;
      lRender.first = lFirst;
      lRender.last = lLast;
      lRender.lengthKnown = lOptions.frames || lCount > 0;
    }
    std::unique_ptr<FrameSink> lSink;
    if (lOptions.movie) {
      MovieSinkSettings lSettings;
      lSettings.options.path = lOptions.output;
      media::ParseVideoCodec(lOptions.codec, &lSettings.options.codec);
      lSettings.options.crf = lOptions.crf;
      lSettings.note = Tell;
      if (lFootage) {
        lSettings.options.rateNumerator = lFootage->RateNumerator();
        lSettings.options.rateDenominator = lFootage->RateDenominator();
        lSettings.options.timeBaseNumerator = lFootage->TimeBaseNumerator();
        lSettings.options.timeBaseDenominator = lFootage->TimeBaseDenominator();
        lSettings.options.fields = lFootage->Fields();
        lSettings.options.colour = lFootage->Colour();
        lSettings.options.footagePath = lFootage->Path();
        lSettings.options.audio = lFootage->AudioStreams();
        if (!lOptions.audio.empty())
          media::ParseAudioMode(lOptions.audio, &lSettings.options.audioMode);
        lSettings.withAudio = lSettings.options.audioMode != media::AudioMode::kNone;
        if (!media::CanTakeAudio(lOptions.output, lSettings.options.audio,
                                 lSettings.options.audioMode, &lError))
          return Complain(kBadInput, lError);
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
    if (lOptions.verbose && lResult.written > 0) {
      // Where the time went, for measuring: each stage's own thread, and the
      // whole process (the codecs' own threads besides).
      struct rusage lUsage = {};
      getrusage(RUSAGE_SELF, &lUsage);
      const double lProcess = lUsage.ru_utime.tv_sec + lUsage.ru_stime.tv_sec +
                              (lUsage.ru_utime.tv_usec + lUsage.ru_stime.tv_usec) * 1e-6;
      const double lPer = 1000.0 / static_cast<double>(lResult.written);
      char lLine[320];
      std::snprintf(lLine, sizeof lLine,
                    "CPU ms a frame over %lld frames: decode %.2f, draw %.2f, compose %.2f, "
                    "blend %.2f, encode %.2f (the stages' own threads); process %.2f in all",
                    lResult.written, lResult.decodeSeconds * lPer, lResult.drawSeconds * lPer,
                    lResult.composeSeconds * lPer, lResult.blendSeconds * lPer,
                    lResult.encodeSeconds * lPer, lProcess * lPer);
      Tell(lLine);
    }
    // 128 and the signal, as a shell reports it.
    if (lResult.outcome == RenderOutcome::kInterrupted)
      return Complain(128 + (gSignal ? gSignal.load() : SIGINT), "interrupted");
    if (lResult.outcome == RenderOutcome::kFailed) return Complain(kRenderFailed, lResult.error);
    if (!lOptions.strip.empty() && !SavePng(SideBySide(lResult.strip), lOptions.strip, &lError))
      return Complain(kRenderFailed, lError);
    if (lResult.outcome == RenderOutcome::kIncomplete) {
      if (!lOptions.saveScene.empty()) {
        fbhost::WriteSceneFile(fbhost::DescribeScene(lScene, lDescription), lOptions.saveScene,
                               &lError);
      }
      return Complain(kRenderFailed, lResult.error);
    }
  }
  if (!lOptions.saveScene.empty() &&
      !fbhost::WriteSceneFile(fbhost::DescribeScene(lScene, lDescription), lOptions.saveScene,
                              &lError)) {
    return Complain(kRenderFailed, lError);
  }
  return kDone;
}

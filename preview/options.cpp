#include "options.h"

#include <fbhost/scene_file.h>
#include <media/movie_writer.h>

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

const char kDescription[] =
    "Renders the Vexa HUD of a scene file, or of the built-in scene, to PNG or a movie\n"
    "through the stand-in host: the plug-in is loaded as a host loads it and draws every\n"
    "element, over footage when there is some.\n"
    "\n"
    "Exit status: 0 done; 1 rendering failed (no OpenGL context, no plug-in, an element\n"
    "the plug-in refused, a write that failed while rendering), or frames are missing\n"
    "from what was written (footage that broke off mid-way, frames lost in damaged data,\n"
    "a sequence's missing file, frames past the end of footage that declares no length);\n"
    "2 bad command line, scene file or footage (a sequence whose frames change size,\n"
    "header timecode where there is none, an OpenColorIO config that does not load or\n"
    "lacks the colour space, display or view named), or an output that cannot be written\n"
    "where it is asked for (a missing folder, a folder, a file of the footage), --frames\n"
    "outside the footage, found before anything is written; 130 interrupted (SIGINT),\n"
    "143 terminated (SIGTERM), with nothing left half-written.";

bool ParseFrames(const QString& pText, PreviewOptions* pOptions, std::string* pError) {
  static const QRegularExpression kForm("^(-?[0-9]{1,12})-(-?[0-9]{1,12})$");
  const QRegularExpressionMatch lMatch = kForm.match(pText);
  const long long lFirst = lMatch.hasMatch() ? lMatch.captured(1).toLongLong() : 0;
  const long long lLast = lMatch.hasMatch() ? lMatch.captured(2).toLongLong() : 0;
  const long long kMax = fbhost::kMaxSceneFrame;
  const long long kMostFrames = 1000000;
  if (!lMatch.hasMatch() || lFirst < -kMax || lLast > kMax || lFirst > lLast ||
      lLast - lFirst >= kMostFrames) {
    *pError = "--frames '" + pText.toStdString() + "': expected A-B with A <= B, both from " +
              std::to_string(-kMax) + " to " + std::to_string(kMax) + ", at most " +
              std::to_string(kMostFrames) + " frames";
    return false;
  }
  pOptions->frames = true;
  pOptions->firstFrame = lFirst;
  pOptions->lastFrame = lLast;
  return true;
}

bool ParseSize(const QString& pText, PreviewOptions* pOptions, std::string* pError) {
  static const QRegularExpression kForm("^([0-9]{1,6})x([0-9]{1,6})$");
  const QRegularExpressionMatch lMatch = kForm.match(pText);
  const int lWidth = lMatch.hasMatch() ? lMatch.captured(1).toInt() : 0;
  const int lHeight = lMatch.hasMatch() ? lMatch.captured(2).toInt() : 0;
  const int kMax = fbhost::kMaxViewportSide;
  if (lWidth < 1 || lHeight < 1 || lWidth > kMax || lHeight > kMax) {
    *pError = "--size '" + pText.toStdString() + "': expected WxH, each from 1 to " +
              std::to_string(kMax);
    return false;
  }
  pOptions->width = lWidth;
  pOptions->height = lHeight;
  return true;
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& pArguments, PreviewOptions* pOptions,
                             std::string* pText) {
  QCommandLineParser lParser;
  lParser.setApplicationDescription(kDescription);
  const QCommandLineOption lHelp = lParser.addHelpOption();
  const QCommandLineOption lVersion = lParser.addVersionOption();
  lParser.addPositionalArgument("SCENE", "Scene file (JSON); without one, the built-in scene.",
                                "[SCENE]");
  const QCommandLineOption lOutput(
      {"o", "output"},
      "PNG to write (default hud.png); with --frames or footage, a pattern such as "
      "out/frame_%04d.png (default hud_%04d.png); or a movie: .mov, .mp4 or .mkv.",
      "PATH");
  const QCommandLineOption lFrames(
      "frames",
      "Render frames A to B, one image each; the system clock advances one frame a frame. "
      "Without it, one frame at the scene's current frame, or every frame of the footage. "
      "With footage, A and B are the footage's own frame numbers.",
      "A-B");
  const QCommandLineOption lFootage(
      "footage",
      "Footage to draw the HUD over: a movie, or an image sequence such as plate.%04d.png or "
      "plate.####.dpx. Overrides the scene's background.",
      "PATH");
  const QCommandLineOption lFootageTimecode(
      "footage-timecode",
      "Where the footage's timecode comes from: auto (default), track, ltc, header (a DPX or "
      "EXR sequence's own, frame by frame) or none.",
      "FROM");
  const QCommandLineOption lFootageRate(
      "footage-rate",
      "An image sequence's frame rate: 24, 23.976, 30000/1001... (default: its files' headers, "
      "else the scene's fps, else 24). Movies keep their own.",
      "R");
  const QCommandLineOption lOcio(
      "ocio",
      "The OpenColorIO config the footage's colour goes through (default: $OCIO). Without one, "
      "float EXR is shown through the sRGB curve and other footage as decoded.",
      "CONFIG");
  const QCommandLineOption lColorspace(
      "colorspace",
      "The footage's colour space in the config (default: its scene_linear role for float EXR; "
      "other footage is shown as decoded).",
      "NAME");
  const QCommandLineOption lDisplay("display",
                                    "The display the footage is shown on (default: the config's "
                                    "default display).",
                                    "D");
  const QCommandLineOption lView(
      "view", "The view of that display (default: the display's default view).", "V");
  const QCommandLineOption lLtcChannel(
      "ltc-channel", "The audio channel LTC is read from, counted over all audio streams from 0.",
      "N");
  const QCommandLineOption lAudio(
      "audio",
      "A movie's sound: copy (refused where the container cannot hold it), aac, or none. "
      "Default: copied where the container holds it, else encoded to AAC.",
      "MODE");
  const QCommandLineOption lHudHeight(
      "hud-height",
      "Over footage, the lines the HUD is laid out in, at the footage's aspect, before it is "
      "scaled to the footage (default 1080, as for a 1920x1080 viewer), or native: the footage's "
      "own pixels.",
      "H");
  const QCommandLineOption lVerbose(
      "verbose", "Also show the host's trace and FFmpeg's and OpenColorIO's own warnings.");
  const QCommandLineOption lCodec("codec", "A movie's codec: h264 (default), prores or ffv1.",
                                  "CODEC");
  const QCommandLineOption lCrf("crf", "h264's constant rate factor, 0 to 51 (default 18).", "N");
  const QCommandLineOption lSize("size", "Viewport size, overriding the scene's.", "WxH");
  const QCommandLineOption lPlugin("plugin",
                                   "Plug-in library to load (default: the one beside this "
                                   "program).",
                                   "PATH");
  const QCommandLineOption lSave("save-scene",
                                 "After rendering, write the scene with every element property "
                                 "as it then stands.",
                                 "PATH");
  const QCommandLineOption lList("list-properties",
                                 "List each element's own properties (name, kind, value) and "
                                 "render nothing.");
  const QCommandLineOption lStrip("strip",
                                  "With --frames or footage, also write a few of the frames, "
                                  "evenly spaced from the first to the last, side by side at "
                                  "half size.",
                                  "PATH");
  const QCommandLineOption lStripFrames(
      "strip-frames", "How many frames the strip shows (2 to 16, default 4).", "N");
  for (const QCommandLineOption& lOption :
       {lOutput,     lFrames,      lSize,    lPlugin,          lSave,        lList,
        lStrip,      lStripFrames, lFootage, lFootageTimecode, lFootageRate, lOcio,
        lColorspace, lDisplay,     lView,    lLtcChannel,      lAudio,       lCodec,
        lCrf,        lHudHeight,   lVerbose})
    lParser.addOption(lOption);

  if (!lParser.parse(pArguments)) {
    *pText = lParser.errorText().toStdString();
    return CommandLine::kBad;
  }
  if (lParser.isSet(lHelp)) {
    *pText = lParser.helpText().toStdString();
    return CommandLine::kHelp;
  }
  if (lParser.isSet(lVersion)) {
    *pText = "vexahud-preview " VEXAHUD_VERSION "\n";
    return CommandLine::kVersion;
  }
  const QStringList lPositional = lParser.positionalArguments();
  if (lPositional.size() > 1) {
    *pText = "expected at most one scene file, got " + std::to_string(lPositional.size());
    return CommandLine::kBad;
  }
  if (!lPositional.isEmpty()) pOptions->scene = lPositional.first().toStdString();
  if (lParser.isSet(lFrames) && !ParseFrames(lParser.value(lFrames), pOptions, pText))
    return CommandLine::kBad;
  if (lParser.isSet(lSize) && !ParseSize(lParser.value(lSize), pOptions, pText))
    return CommandLine::kBad;
  pOptions->outputGiven = lParser.isSet(lOutput);
  if (pOptions->outputGiven) {
    pOptions->output = lParser.value(lOutput).toStdString();
  } else if (pOptions->frames) {
    pOptions->output = "hud_%04d.png";
  }
  pOptions->movie = media::IsMoviePath(pOptions->output);
  if (!pOptions->movie) {
    std::string lError;
    pOptions->pattern = FramePattern::Parse(pOptions->output, &lError);
    if (!pOptions->pattern && pOptions->frames) {
      *pText = "--output " + lError;
      return CommandLine::kBad;
    }
  }
  if (lParser.isSet(lFootage)) {
    pOptions->footage = lParser.value(lFootage).toStdString();
    if (pOptions->footage.empty()) {
      *pText = "--footage: expected a path";
      return CommandLine::kBad;
    }
  }
  if (lParser.isSet(lFootageTimecode)) {
    const std::string lOrigin = lParser.value(lFootageTimecode).toStdString();
    if (!fbhost::IsFootageTimecodeOrigin(lOrigin)) {
      *pText =
          "--footage-timecode: expected auto, track, ltc, header or none, got '" + lOrigin + "'";
      return CommandLine::kBad;
    }
    pOptions->footageTimecode = lOrigin;
  }
  if (lParser.isSet(lFootageRate) &&
      !fbhost::ParseFrameRate(lParser.value(lFootageRate).toStdString(),
                              &pOptions->footageRateNumerator, &pOptions->footageRateDenominator)) {
    *pText =
        "--footage-rate: expected frames a second from 1 to 1000, such as 24, 23.976 or "
        "30000/1001, got '" +
        lParser.value(lFootageRate).toStdString() + "'";
    return CommandLine::kBad;
  }
  for (const auto& lColour :
       {std::make_pair(&lOcio, &pOptions->ocio),
        std::make_pair(&lColorspace, &pOptions->colorspace),
        std::make_pair(&lDisplay, &pOptions->display), std::make_pair(&lView, &pOptions->view)}) {
    if (!lParser.isSet(*lColour.first)) continue;
    *lColour.second = lParser.value(*lColour.first).toStdString();
    if (lColour.second->empty()) {
      *pText = "--" + lColour.first->names().first().toStdString() + ": expected a name";
      return CommandLine::kBad;
    }
  }
  if (lParser.isSet(lLtcChannel)) {
    bool lNumber = false;
    pOptions->ltcChannel = lParser.value(lLtcChannel).toInt(&lNumber);
    if (!lNumber || pOptions->ltcChannel < 0 || pOptions->ltcChannel > 255) {
      *pText = "--ltc-channel: expected a channel from 0 to 255, got '" +
               lParser.value(lLtcChannel).toStdString() + "'";
      return CommandLine::kBad;
    }
  }
  if (lParser.isSet(lAudio)) {
    pOptions->audio = lParser.value(lAudio).toStdString();
    media::AudioMode lMode;
    if (!media::ParseAudioMode(pOptions->audio, &lMode)) {
      *pText = "--audio: expected copy, aac or none, got '" + pOptions->audio + "'";
      return CommandLine::kBad;
    }
    if (!pOptions->movie) {
      *pText = "--audio: needs a movie output (.mov, .mp4 or .mkv)";
      return CommandLine::kBad;
    }
  }
  pOptions->verbose = lParser.isSet(lVerbose);
  if (lParser.isSet(lHudHeight) &&
      !fbhost::ParseHudHeight(lParser.value(lHudHeight).toStdString(), &pOptions->hudHeight)) {
    *pText = "--hud-height: expected native or a number of lines from " +
             std::to_string(fbhost::kMinHudHeight) + " to " +
             std::to_string(fbhost::kMaxHudHeight) + ", got '" +
             lParser.value(lHudHeight).toStdString() + "'";
    return CommandLine::kBad;
  }
  if ((lParser.isSet(lCodec) || lParser.isSet(lCrf)) && !pOptions->movie) {
    *pText = std::string(lParser.isSet(lCodec) ? "--codec" : "--crf") +
             ": needs a movie output (.mov, .mp4 or .mkv)";
    return CommandLine::kBad;
  }
  if (lParser.isSet(lCodec)) {
    pOptions->codec = lParser.value(lCodec).toStdString();
    media::VideoCodec lCodecKind;
    if (!media::ParseVideoCodec(pOptions->codec, &lCodecKind)) {
      *pText = "--codec: expected h264, prores or ffv1, got '" + pOptions->codec + "'";
      return CommandLine::kBad;
    }
  }
  if (lParser.isSet(lCrf)) {
    bool lNumber = false;
    pOptions->crf = lParser.value(lCrf).toInt(&lNumber);
    if (pOptions->codec != "h264") {
      *pText = "--crf: applies to h264 only, not to --codec " + pOptions->codec;
      return CommandLine::kBad;
    }
    if (!lNumber || pOptions->crf < 0 || pOptions->crf > 51) {
      *pText = "--crf: expected a whole number from 0 to 51, got '" +
               lParser.value(lCrf).toStdString() + "'";
      return CommandLine::kBad;
    }
  }
  for (const auto& lPath :
       {std::make_pair(&lOutput, &pOptions->output), std::make_pair(&lPlugin, &pOptions->plugin),
        std::make_pair(&lSave, &pOptions->saveScene), std::make_pair(&lStrip, &pOptions->strip)}) {
    if (lParser.isSet(*lPath.first) && lParser.value(*lPath.first).isEmpty()) {
      *pText = "--" + lPath.first->names().last().toStdString() + ": expected a path";
      return CommandLine::kBad;
    }
  }
  if (lParser.isSet(lPlugin)) pOptions->plugin = lParser.value(lPlugin).toStdString();
  if (lParser.isSet(lSave)) pOptions->saveScene = lParser.value(lSave).toStdString();
  if (lParser.isSet(lStrip)) {
    pOptions->strip = lParser.value(lStrip).toStdString();
  }
  if (lParser.isSet(lStripFrames)) {
    if (!lParser.isSet(lStrip)) {
      *pText = "--strip-frames: needs --strip";
      return CommandLine::kBad;
    }
    bool lNumber = false;
    const int lCount = lParser.value(lStripFrames).toInt(&lNumber);
    if (!lNumber || lCount < 2 || lCount > 16) {
      *pText = "--strip-frames: expected a whole number from 2 to 16, got '" +
               lParser.value(lStripFrames).toStdString() + "'";
      return CommandLine::kBad;
    }
    pOptions->stripFrames = lCount;
  }
  pOptions->listProperties = lParser.isSet(lList);
  return CommandLine::kRun;
}

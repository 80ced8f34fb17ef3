#include "options.h"

#include <fbhost/scene_file.h>

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

const char kDescription[] =
    "Renders the Vexa HUD of a scene file, or of the built-in scene, to PNG through the\n"
    "stand-in host: the plug-in is loaded as a host loads it and draws every element.\n"
    "\n"
    "Exit status: 0 done; 1 rendering failed (no OpenGL context, no plug-in, an element\n"
    "the plug-in refused, an output that could not be written); 2 bad command line or\n"
    "scene file.";

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
      "PNG to write (default hud.png); with --frames, a pattern such as out/frame_%04d.png "
      "(default hud_%04d.png).",
      "PATH");
  const QCommandLineOption lFrames(
      "frames",
      "Render frames A to B, one image each; the system clock advances 1000/fps ms a frame. "
      "Without it, one frame at the scene's current frame.",
      "A-B");
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
                                  "With --frames, also write a few of the frames, evenly spaced "
                                  "from the first to the last, side by side at half size.",
                                  "PATH");
  const QCommandLineOption lStripFrames(
      "strip-frames", "How many frames the strip shows (2 to 16, default 4).", "N");
  for (const QCommandLineOption& lOption :
       {lOutput, lFrames, lSize, lPlugin, lSave, lList, lStrip, lStripFrames})
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
  if (lParser.isSet(lOutput)) {
    pOptions->output = lParser.value(lOutput).toStdString();
  } else if (pOptions->frames) {
    pOptions->output = "hud_%04d.png";
  }
  if (pOptions->frames) {
    std::string lError;
    pOptions->pattern = FramePattern::Parse(pOptions->output, &lError);
    if (!pOptions->pattern) {
      *pText = "--output " + lError;
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
    if (!pOptions->frames) {
      *pText = "--strip: needs --frames";
      return CommandLine::kBad;
    }
    pOptions->strip = lParser.value(lStrip).toStdString();
  }
  if (lParser.isSet(lStripFrames)) {
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

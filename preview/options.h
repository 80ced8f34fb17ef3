#pragma once
// vexahud-preview's command line.

#include <QStringList>
#include <optional>
#include <string>

#include "frame_pattern.h"

struct PreviewOptions {
  std::string scene;  // empty for the built-in scene
  std::string output = "hud.png";
  bool outputGiven = false;
  std::optional<FramePattern> pattern;  // an output with a frame-number conversion
  bool movie = false;                   // the output is a movie (.mov, .mp4, .mkv)
  std::string codec = "h264";
  int crf = 18;
  std::string footage;           // overrides the scene's background when set
  std::string footageTimecode;   // empty: the scene's footage entry decides
  int footageRateNumerator = 0;  // an image sequence's rate; 0 when not given
  int footageRateDenominator = 1;
  int ltcChannel = -1;  // -1: the scene's footage entry decides
  // Colour through OpenColorIO; each empty where the scene's footage entry decides.
  std::string ocio;
  std::string colorspace;
  std::string display;
  std::string view;
  std::string audio;  // copy, aac or none; empty: copied where the container holds it
  bool verbose = false;
  // The lines the HUD is laid out in over footage: -1 when not given, 0 for
  // the footage's own.
  int hudHeight = -1;
  long long firstFrame = 0;
  long long lastFrame = 0;
  bool frames = false;
  int width = 0;  // 0 when --size is not given
  int height = 0;
  std::string plugin;  // empty for the one beside the program
  std::string saveScene;
  std::string strip;    // with --frames: a few frames side by side, at half size
  int stripFrames = 4;  // how many, evenly spaced from the first to the last
  bool listProperties = false;
};

enum class CommandLine { kRun, kHelp, kVersion, kBad };

// Reads the arguments (program name first). pText receives the help or
// version text, or what is wrong with the command line.
CommandLine ParseCommandLine(const QStringList& pArguments, PreviewOptions* pOptions,
                             std::string* pText);

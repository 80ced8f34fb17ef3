#pragma once
// Scene files: a JSON description of a stage (viewport, frame rate, transport,
// take, camera, source objects, HUD elements with their properties,
// background), read into a Scene and a viewer and written back from them.
// docs/scene-format.md describes the format.

#include <fbhost/offscreen_viewer.h>
#include <fbhost/property_json.h>
#include <fbhost/scene.h>

#include <QImage>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fbhost {

// The scene-file format this reader and writer know; a file without
// "format" is read as this version.
constexpr int kSceneFormatVersion = 1;

// Bounds a scene file is held to; a value outside them is an error.
constexpr int kMaxViewportSide = 16384;
constexpr double kMinFrameRate = 1.0;
constexpr double kMaxFrameRate = 1000.0;

// A scene file's content, checked for form; element property values are
// checked against the element's own properties only when the scene is built.
struct SceneDescription {
  struct Property {
    std::string name;
    SceneJson value;
  };
  // A custom property of a camera or source object; its kind comes from the
  // value's form.
  struct CustomProperty {
    std::string name;
    ORSDK2014::FBPropertyType type = ORSDK2014::kFBPT_unknown;
    SceneJson value;
  };
  struct Camera {
    std::string name;
    int apertureMode = 0;
    double filmWidth = 0.0;    // inches
    double filmHeight = 0.0;   // inches
    double fov = 0.0;          // degrees
    double fovX = 0.0;         // degrees
    double focalLength = 0.0;  // millimetres
    double resolutionWidth = 0.0;
    double resolutionHeight = 0.0;
    // Keyed values by file key ("fov", ...), in their file form; they win
    // over the plain values above.
    std::map<std::string, SceneJson> keyed;
    std::vector<CustomProperty> properties;
  };
  struct Object {
    std::string name;
    std::vector<CustomProperty> properties;
  };
  struct Element {
    std::string name;
    std::vector<Property> properties;  // in file order
  };
  enum class BackgroundKind { kNeutralPlate, kColour, kPicture, kFootage };
  // Footage behind the view, as a camera's video back plate. The program that
  // decodes it hands the viewer each frame; the scene gets a source object of
  // this name whose "Timecode" holds the timecode of the frame on screen.
  struct Footage {
    std::string object = "Footage";
    std::string timecode = "auto";  // auto, track, ltc, header or none
    int ltcChannel = -1;  // counted over all audio streams; -1: every channel looked through
    // The lines the HUD is laid out in over the footage ("hud_height"): -1
    // when the entry gives none, 0 for the footage's own ("native").
    int hudHeight = -1;
    // An image sequence's rate ("rate"); 0 when the entry gives none.
    int rateNumerator = 0;
    int rateDenominator = 1;
    // Colour through OpenColorIO: the config ("ocio", absolute), the
    // footage's colour space, the display and view; empty: the defaults.
    std::string ocio;
    std::string colorspace;
    std::string display;
    std::string view;
  };
  struct Background {
    BackgroundKind kind = BackgroundKind::kNeutralPlate;
    double colour[3] = {0.0, 0.0, 0.0};
    std::string path;  // absolute, for a picture or footage
    QImage picture;
    Footage footage;
  };

  std::string source;  // the file as messages name it
  int width = 1920;
  int height = 1080;
  double fps = 30.0;
  long long start = 0;
  long long stop = 0;
  long long frame = 0;
  bool recording = false;
  bool playing = false;
  std::optional<std::string> take;
  std::optional<Camera> camera;
  std::vector<Object> objects;
  std::vector<Element> elements;
  Background background;
  // Whether the file gave "fps" and "transport": footage supplies what it leaves out.
  bool hasFps = false;
  bool hasTransport = false;
};

// The property of the footage's source object that holds the frame's timecode.
extern const char* const kFootageTimecodeProperty;  // "Timecode"
// A frame rate as a footage entry or a command line gives it: "24", "23.976"
// (the NTSC rates become n*1000/1001), "30000/1001". False unless it is from 1
// to 1000 frames a second.
bool ParseFrameRate(const std::string& pText, int* pNumerator, int* pDenominator);

// A HUD height as a footage entry or a command line gives it: "native" (0) or
// a number of lines from kMinHudHeight to kMaxHudHeight.
constexpr int kMinHudHeight = 120;
constexpr int kMaxHudHeight = 4320;
bool ParseHudHeight(const std::string& pText, int* pLines);

// The timecode origins a footage entry may name.
bool IsFootageTimecodeOrigin(const std::string& pText);

// The scene used without a file, and for every key a file leaves out: one
// element with every default over the neutral plate, a current camera and
// take, and a play range with the current frame inside it.
SceneDescription BuiltInScene();

// Reads a scene file. False with pError naming the file, the place in it and
// what was expected.
bool ReadSceneFile(const std::string& pPath, SceneDescription* pScene, std::string* pError);
// The same for text already read; pSource names it in messages and pBaseDir
// resolves relative picture paths.
bool ParseScene(const std::string& pText, const std::string& pSource, const std::string& pBaseDir,
                SceneDescription* pScene, std::string* pError);

enum class BuildResult {
  kBuilt,
  kBadScene,  // a value the scene's elements or components cannot take
  kRefused,   // the element class is missing or its factory refused
};

// Fills a new Scene: frame rate, play range and frame, take, camera, objects,
// then the elements, created through the factory registered under pEntry while
// the transport is stopped, and last the transport. A timecode source reaches
// an element only by being added to its list, so the element binds it itself.
BuildResult BuildScene(const SceneDescription& pScene, Scene& pTarget, const char* pEntry,
                       std::string* pError);

// Gives the viewer the scene's background (the plate is drawn at the viewer's
// size; footage starts black until its first frame arrives).
void ApplyBackground(const SceneDescription& pScene, OffscreenViewer& pViewer);

// pScene as it stands now, with the viewport and background of pSettings.
SceneDescription DescribeScene(const Scene& pScene, const SceneDescription& pSettings);

// The file form; a picture path is written relative to pBaseDir.
SceneJson SceneToJson(const SceneDescription& pScene, const std::string& pBaseDir);

// Writes the scene to a temporary file renamed into place, so a failure never
// leaves a half-written file. False with pError set.
bool WriteSceneFile(const SceneDescription& pScene, const std::string& pPath, std::string* pError);

}  // namespace fbhost

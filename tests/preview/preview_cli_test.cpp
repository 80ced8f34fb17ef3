#include <fbhost/property_json.h>
#include <gtest/gtest.h>

#include <QImage>

#include "preview_fixture.h"

namespace {

using fbhost::SceneJson;

std::string Example(const char* pName) {
  return std::string(VEXAHUD_SOURCE_DIR) + "/examples/" + pName;
}

TEST_F(PreviewTest, TheBuiltInSceneRendersAFullHdPngAndNothingElse) {
  const Outcome lRun = Preview({});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_EQ(Files(), QStringList{"hud.png"});
  const QImage lImage(mDir.filePath("hud.png"));
  EXPECT_EQ(lImage.size(), QSize(1920, 1080));
  EXPECT_FALSE(lImage.hasAlphaChannel());
}

TEST_F(PreviewTest, SizeAndOutputChooseTheImage) {
  ASSERT_TRUE(QDir(mDir.path()).mkdir("out"));
  const Outcome lRun = Preview({"--size", "320x180", "-o", "out/small.png"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_EQ(QImage(mDir.filePath("out/small.png")).size(), QSize(320, 180));
  EXPECT_EQ(QDir(mDir.filePath("out")).entryList(QDir::Files), QStringList{"small.png"});
}

TEST_F(PreviewTest, FramesWriteOneImageEachAndLeaveTheSceneAtTheLast) {
  const Outcome lRun =
      Preview({"--frames", "3-5", "--size", "400x200", "-o", "f_%02d.png", "--save-scene",
               "end.json", "--strip", "strip.png", "--strip-frames", "2"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_EQ(Files(), (QStringList{"end.json", "f_03.png", "f_04.png", "f_05.png", "strip.png"}));
  // The first and the last frame, side by side at half size.
  const QImage lStrip(mDir.filePath("strip.png"));
  ASSERT_EQ(lStrip.size(), QSize(400, 100));
  const auto lHalf = [this](const char* pName) {
    return QImage(mDir.filePath(pName))
        .scaled(200, 100, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB888);
  };
  EXPECT_EQ(lStrip.copy(0, 0, 200, 100).convertToFormat(QImage::Format_RGB888), lHalf("f_03.png"));
  EXPECT_EQ(lStrip.copy(200, 0, 200, 100).convertToFormat(QImage::Format_RGB888),
            lHalf("f_05.png"));
  // Standard error is no terminal here: no progress bar.
  EXPECT_EQ(lRun.err.find("rendering ["), std::string::npos);
  EXPECT_NE(QImage(mDir.filePath("f_03.png")), QImage(mDir.filePath("f_04.png")));
  const SceneJson lSaved = SceneJson::parse(Read("end.json"));
  EXPECT_EQ(lSaved["transport"]["frame"], 5);
  EXPECT_EQ(lSaved["viewport"], SceneJson({{"width", 400}, {"height", 200}}));
}

TEST_F(PreviewTest, HelpVersionAndListingRenderNothing) {
  Outcome lRun = Preview({"--help"});
  EXPECT_EQ(lRun.status, 0);
  for (const char* lOption :
       {"--output", "--frames", "--size", "--plugin", "--save-scene", "--strip",
        "--list-properties", "--version", "--footage", "--footage-timecode", "--codec"}) {
    EXPECT_NE(lRun.out.find(lOption), std::string::npos) << lOption;
  }
  lRun = Preview({"--version"});
  EXPECT_EQ(lRun.status, 0);
  EXPECT_EQ(lRun.out.rfind("vexahud-preview ", 0), 0u) << lRun.out;

  lRun = Preview({"--list-properties"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_TRUE(Files().isEmpty());
  std::vector<std::string> lLines;
  for (const QString& lLine : QString::fromStdString(lRun.out).split('\n', Qt::SkipEmptyParts))
    lLines.push_back(lLine.toStdString());
  ASSERT_EQ(lLines.size(), 80u);
  EXPECT_EQ(lLines[0], "# HUD Element 1");
  EXPECT_EQ(lLines[1], "Show Labels\tbool\ttrue");
  EXPECT_EQ(lLines[7], "FQN\tstring\t\"999_00A_001_0A01_X1_PC001_AV001\"");
  EXPECT_EQ(lLines[16], "Aspect\tnumber\t2.35");
  EXPECT_EQ(lLines[27], "Character Timecode Source\tobject list\t[]");
  EXPECT_EQ(lLines[32], "Character Timecode\ttimecode\t{\"timecode\":\"00:00:00:00\"}");
  EXPECT_EQ(lLines[47], "Reticle Color\tcolour\t[1.0,0.0,0.0,0.9]");
  EXPECT_EQ(lLines[50], "Marker 1 Name\tstring\t\"\"");
  EXPECT_EQ(lLines[79], "FPS Offset\tinteger\t1600");
}

TEST_F(PreviewTest, BadInputsExitTwoNamingThePlaceAndWriteNothing) {
  Write("aspect.json", R"({"elements": [{"properties": {"Aspect": "wide"}}]})");
  Write("huge.json", R"({"viewport": {"width": 1000000000, "height": 10}})");
  Write("frame.json", R"({"elements": [{"properties": {"In Frame": 1e300}}]})");
  Write("source.json",
        R"({"elements": [{"properties": {"Character Timecode Source": ["Nobody"]}}]})");
  Write("syntax.json", "{\"fps\": 30,\n \"take\": }");
  const QStringList lInputs = Files();
  const struct {
    QStringList arguments;
    const char* message;
  } kCases[] = {
      {{"--size", "0x10"}, "--size '0x10': expected WxH"},
      {{"--size", "100000x10"}, "--size '100000x10'"},
      {{"--frames", "5-3"}, "--frames '5-3': expected A-B"},
      {{"--frames", "1-2", "-o", "x.png"}, "--output 'x.png': expected a pattern"},
      {{"--frames", "1-2", "-o", "%s_%d.png"}, "--output '%s_%d.png'"},
      {{"--bogus"}, "Unknown option 'bogus'"},
      {{"a.json", "b.json"}, "at most one scene file"},
      {{"missing.json"}, "missing.json: cannot read the file"},
      {{"syntax.json"}, "syntax.json: parse error at line 2, column"},
      {{"aspect.json"},
       "aspect.json: elements[0].properties.\"Aspect\": expected a number, got \"wide\""},
      {{"huge.json"}, "huge.json: viewport.width: expected a whole number from 1 to 16384"},
      {{"frame.json"}, "frame.json: elements[0].properties.\"In Frame\": expected a whole number"},
      {{"source.json"},
       "elements[0].properties.\"Character Timecode Source\"[0]: expected the name"},
      {{"-o", "nowhere/hud.png"}, "--output 'nowhere/hud.png': no folder"},
      {{"--save-scene", "nowhere/s.json"}, "--save-scene 'nowhere/s.json': no folder"},
      {{"--strip", "s.png"}, "--strip: needs --frames"},
      {{"--frames", "1-2", "-o", "f%d.png", "--strip", "s.png", "--strip-frames", "1"},
       "--strip-frames: expected"},
      {{"--frames", "1-2", "-o", "f%d.png", "--strip-frames", "3"},
       "--strip-frames: needs --strip"},
      {{"."}, ".: cannot read the file: it is a folder"},
  };
  for (const auto& lCase : kCases) {
    const Outcome lRun = Preview(lCase.arguments);
    const std::string lArguments = lCase.arguments.join(' ').toStdString();
    EXPECT_EQ(lRun.status, 2) << lArguments;
    EXPECT_NE(lRun.err.find(lCase.message), std::string::npos)
        << lArguments << "\n  gave: " << lRun.err;
    EXPECT_EQ(Files(), lInputs) << lArguments;
  }
}

TEST_F(PreviewTest, FailuresToRenderExitOne) {
  const struct {
    QStringList arguments;
    const char* variable;
    const char* message;
  } kCases[] = {
      {{"--plugin", "/nonexistent/libvexahudelement.so"}, nullptr, "cannot load the plug-in"},
      {{"--plugin", TEST_HUD_PLUGIN}, nullptr, "no HUD element class VexaHUDElement"},
      // No EGL vendor library: no context can be made.
      {{}, "__EGL_VENDOR_LIBRARY_FILENAMES", "cannot render"},
  };
  for (const auto& lCase : kCases) {
    QProcessEnvironment lEnvironment = QProcessEnvironment::systemEnvironment();
    if (lCase.variable) lEnvironment.insert(lCase.variable, "/nonexistent/vendor.json");
    const Outcome lRun = Preview(lCase.arguments, lEnvironment);
    EXPECT_EQ(lRun.status, 1) << lCase.message;
    EXPECT_NE(lRun.err.find(lCase.message), std::string::npos) << lRun.err;
    EXPECT_TRUE(Files().isEmpty()) << lCase.message;
  }
}

TEST_F(PreviewTest, ExamplesRenderAndThePlugInsTraceShowsOnlyWhenAsked) {
  for (const char* lName : {"stage-recording.json", "two-sources.json", "all-items.json"}) {
    const Outcome lRun = Preview({QString::fromStdString(Example(lName)), "-o", "example.png"});
    EXPECT_EQ(lRun.status, 0) << lName << ": " << lRun.err;
    // Quiet: a host keeps its plug-ins' trace in its log.
    EXPECT_EQ(lRun.err, "") << lName;
  }
  const Outcome lVerbose = Preview(
      {QString::fromStdString(Example("two-sources.json")), "-o", "example.png", "--verbose"});
  EXPECT_NE(lVerbose.err.find("Connecting to 'master' timecode property \n"), std::string::npos)
      << lVerbose.err;
}

TEST_F(PreviewTest, ARollingSceneShowsTheRecordingFlashOnItsFirstFrame) {
  // Elements are created on a stopped transport, so they see the recording start.
  Write("rolling.json", R"({"transport": {"recording": true, "playing": true}})");
  Write("stopped.json", R"({"transport": {"recording": false, "playing": false}})");
  ASSERT_EQ(Preview({"rolling.json", "-o", "rolling.png", "--size", "480x270"}).status, 0);
  ASSERT_EQ(Preview({"stopped.json", "-o", "stopped.png", "--size", "480x270"}).status, 0);
  const QImage lRolling(mDir.filePath("rolling.png"));
  const QImage lStopped(mDir.filePath("stopped.png"));
  // The view between the text rows, where only the flash can differ.
  int lChanged = 0;
  for (int y = 60; y < 210; ++y) {
    for (int x = 0; x < 480; ++x) lChanged += lRolling.pixel(x, y) != lStopped.pixel(x, y);
  }
  EXPECT_GT(lChanged, 480 * 150 / 10);
}

// A value away from the default of a property of the given kind.
SceneJson ChangedValue(const std::string& pKind, const SceneJson& pDefault) {
  if (pKind == "bool") return !pDefault.get<bool>();
  if (pKind == "integer") return pDefault.get<int>() + 7;
  if (pKind == "number") return pDefault.get<double>() / 2 + 0.5;  // keeps "Aspect" in its limits
  if (pKind == "string") return pDefault.get<std::string>() + "_X";
  if (pKind == "colour") return SceneJson::array({0.25, 0.5, 0.75, 0.5});
  if (pKind == "timecode") return SceneJson{{"timecode", "01:02:03:04"}};
  return nullptr;
}

TEST_F(PreviewTest, ASavedSceneSavesAndRendersTheSame) {
  const Outcome lListing = Preview({"--list-properties"});
  ASSERT_EQ(lListing.status, 0) << lListing.err;
  SceneJson lDefaults = SceneJson::object();
  SceneJson lChanged = SceneJson::object();
  for (const QString& lLine :
       QString::fromStdString(lListing.out).split('\n', Qt::SkipEmptyParts)) {
    const QStringList lFields = lLine.split('\t');
    if (lFields.size() != 3) continue;
    const std::string lName = lFields[0].toStdString();
    const std::string lKind = lFields[1].toStdString();
    lDefaults[lName] = SceneJson::parse(lFields[2].toStdString());
    lChanged[lName] = ChangedValue(lKind, lDefaults[lName]);
  }
  ASSERT_EQ(lChanged.size(), 79u);
  // Both timecode sides bound: a timecode on one source, four integers on the other.
  lChanged["Character Timecode Source"] = {"Actor"};
  lChanged["Camera Timecode Source"] = {"Cam"};
  SceneJson lScene = {
      {"viewport", {{"width", 960}, {"height", 540}}},
      {"fps", 24},
      {"transport",
       {{"start", 100}, {"stop", 400}, {"frame", 250}, {"recording", true}, {"playing", true}}},
      {"take", "RT_T01"},
      {"camera",
       {{"name", "Cam"},
        {"aperture_mode", 3},
        {"focal_length", 42.5},
        {"properties",
         {{"ShowCrosshair", true},
          {"TCHour", 5},
          {"TCMinute", 6},
          {"TCSecond", 7},
          {"TCFrame", 8}}}}},
      {"objects",
       {{{"name", "Actor"}, {"properties", {{"master", {{"timecode", "11:12:13:14"}}}}}}}},
      {"elements", {{{"name", "Round trip"}, {"properties", lChanged}}}},
      {"background", {0.1, 0.2, 0.3}}};
  Write("original.json", lScene.dump(2));

  Outcome lRun = Preview({"original.json", "-o", "original.png", "--save-scene", "first.json"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  lRun = Preview({"first.json", "-o", "first.png", "--save-scene", "second.json"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_EQ(Read("first.json"), Read("second.json"));
  EXPECT_EQ(Read("original.png"), Read("first.png"));

  // Everything the element publishes was saved, each away from its default,
  // the bound timecodes included.
  const SceneJson lSaved = SceneJson::parse(Read("first.json"))["elements"][0]["properties"];
  ASSERT_EQ(lSaved.size(), 79u);
  for (const auto& lItem : lSaved.items())
    EXPECT_NE(lItem.value(), lDefaults[lItem.key()]) << lItem.key();
  EXPECT_EQ(lSaved["Character Timecode"], SceneJson({{"timecode", "11:12:13:14"}}));
  EXPECT_EQ(lSaved["Camera Hour"], 5);
  EXPECT_EQ(lSaved["Camera Timecode Source"], SceneJson({"Cam"}));
}

}  // namespace

#include <fbhost/offscreen_viewer.h>
#include <fbhost/plugin_loader.h>
#include <fbhost/scene_file.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using fbhost::BuildResult;
using fbhost::SceneDescription;
using fbhost::SceneJson;

const char kEntry[] = "TestHUDElement";

class SceneFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string lError;
    mLibrary = fbhost::PluginLibrary::Load(TEST_HUD_PLUGIN, &lError);
    ASSERT_TRUE(mLibrary) << lError;
    ASSERT_TRUE(mDir.isValid());
  }

  bool Parse(const std::string& pText, SceneDescription* pScene, std::string* pError) {
    return fbhost::ParseScene(pText, "test.json", mDir.path().toStdString(), pScene, pError);
  }

  // The error building pText gives, or "" when it builds.
  std::string BuildError(const std::string& pText, BuildResult pExpected = BuildResult::kBadScene) {
    SceneDescription lScene;
    std::string lError;
    if (!Parse(pText, &lScene, &lError)) return "parse: " + lError;
    fbhost::Scene lTarget;
    const BuildResult lResult = fbhost::BuildScene(lScene, lTarget, kEntry, &lError);
    if (lResult == BuildResult::kBuilt) return "";
    EXPECT_EQ(lResult, pExpected) << pText;
    return lError;
  }

  std::unique_ptr<fbhost::PluginLibrary> mLibrary;
  QTemporaryDir mDir;
};

// A scene setting every property of the test element away from its default,
// with a source object and the camera in its list.
const char kFullScene[] = R"({
  "viewport": {"width": 40, "height": 24},
  "fps": 25,
  "transport": {"start": 10, "stop": 90, "frame": 33, "recording": true, "playing": true},
  "take": "Take 7",
  "camera": {"name": "Cam", "aperture_mode": 2, "film_width": 1.5, "film_height": 0.75,
             "fov": 55.5, "fov_x": 70.25, "focal_length": 24, "resolution": {"width": 640, "height": 360},
             "properties": {"ShowCrosshair": true, "TimeCode": {"timecode": "10:00:00:00"}}},
  "objects": [{"name": "Actor", "properties": {"master": {"timecode": "01:02:03:04"},
                                                "TCHour": 1, "Gain": 0.5, "Note": "hi",
                                                "Long": {"timecode": "123456:59:59:4000"},
                                                "Before": {"timecode": "-1:-1:-1:-5"}}}],
  "elements": [{"name": "HUD", "properties": {
    "Fill Color": [1, 0, 0.5, 1], "Enabled": true, "Count": -7, "Scale": 1.75,
    "Label": "shot \"12\"", "Stamp": {"timecode": "00:59:59:29"}, "Offset": 100000,
    "Sources": ["Actor", "Cam"]}}],
  "background": [0.25, 0.5, 0.75]
})";

TEST_F(SceneFileTest, KeysLeftOutTakeTheBuiltInScenesValues) {
  const SceneDescription lBuiltIn = fbhost::BuiltInScene();
  SceneDescription lScene;
  std::string lError;
  ASSERT_TRUE(
      Parse(R"({"camera": {"name": "Other"}, "transport": {"frame": 5}})", &lScene, &lError))
      << lError;
  EXPECT_EQ(lScene.width, lBuiltIn.width);
  EXPECT_EQ(lScene.fps, lBuiltIn.fps);
  EXPECT_EQ(lScene.stop, lBuiltIn.stop);
  EXPECT_EQ(lScene.frame, 5);
  EXPECT_EQ(lScene.take, lBuiltIn.take);
  ASSERT_TRUE(lScene.camera);
  EXPECT_EQ(lScene.camera->name, "Other");
  EXPECT_EQ(lScene.camera->focalLength, lBuiltIn.camera->focalLength);
  EXPECT_EQ(lScene.elements.size(), 1u);
  EXPECT_EQ(lScene.background.kind, SceneDescription::BackgroundKind::kNeutralPlate);

  ASSERT_TRUE(Parse(R"({"take": null, "camera": null, "elements": []})", &lScene, &lError));
  EXPECT_FALSE(lScene.take);
  EXPECT_FALSE(lScene.camera);
  EXPECT_TRUE(lScene.elements.empty());
}

TEST_F(SceneFileTest, MalformedFilesNameThePlaceAndWhatWasExpected) {
  const struct {
    const char* text;
    const char* message;
  } kCases[] = {
      {R"({"viewport": {"width": 10,}})", "test.json: parse error at line 1, column 27"},
      {R"([1, 2])", "test.json: top level: expected an object, got a list"},
      {R"({"bogus": 1})", "test.json: bogus: unknown key"},
      {R"({"viewport": {"depth": 3}})", "test.json: viewport.depth: unknown key"},
      {R"({"viewport": {"height": 1000000000}})",
       "viewport.height: expected a whole number from 1 to 16384"},
      {R"({"viewport": {"width": 18446744073709551615}})",
       "viewport.width: expected a whole number"},
      {R"({"fps": "30"})", "fps: expected a number from 1 to 1000"},
      {R"({"transport": {"frame": 1.5}})", "transport.frame: expected a whole number"},
      {R"({"transport": {"playing": 1}})", "transport.playing: expected true or false"},
      {R"({"take": 5})", "take: expected a non-empty name"},
      {R"({"camera": {"aperture_mode": 4}})",
       "camera.aperture_mode: expected a whole number from 0 to 3"},
      {R"({"camera": {"fov": 0}})", "camera.fov: expected a number above 0"},
      {R"({"camera": {"resolution": {"width": -1}}})",
       "camera.resolution.width: expected a number"},
      {R"({"camera": {"properties": {"ShowCrosshair": [1]}}})",
       "camera.properties.\"ShowCrosshair\": expected true/false"},
      {R"({"objects": [{"properties": {"master": {"timecode": "1:75:00:00"}}}]})",
       "objects[0].properties.\"master\".timecode: expected {\"timecode\": \"HH:MM:SS:FF\"}"},
      {R"({"objects": [{"properties": {"n": 2147483648}}]})",
       "objects[0].properties.\"n\": expected a whole number"},
      {R"({"objects": [{"name": "A"}, {"name": "A"}]})",
       "objects[1].name: \"A\" is the name of objects[0] too"},
      {R"({"objects": [{"name": "Camera 1"}]})",
       "objects[0].name: \"Camera 1\" is the camera's name too"},
      {R"({"elements": [{"props": {}}]})", "elements[0].props: unknown key"},
      {R"({"elements": [{"properties": []}]})", "elements[0].properties: expected an object"},
      {R"({"elements": [{"properties": {"Count": 1, "Count": 2}}]})",
       "elements[0].properties.\"Count\": the key appears twice"},
      {R"({"background": [0, 0, 2]})", "background[2]: expected a number from 0 to 1"},
      {R"({"background": "missing.png"})", "background: cannot read the picture"},
      {R"({"background": {"plate": "grey"}})", "background.plate: expected \"neutral\""},
  };
  for (const auto& lCase : kCases) {
    SceneDescription lScene;
    std::string lError;
    EXPECT_FALSE(Parse(lCase.text, &lScene, &lError)) << lCase.text;
    EXPECT_NE(lError.find(lCase.message), std::string::npos)
        << lCase.text << "\n  gave: " << lError;
    EXPECT_EQ(lError.rfind("test.json: ", 0), 0u) << lError;
  }
}

TEST_F(SceneFileTest, ValuesTheElementsCannotTakeNameTheirPlace) {
  const struct {
    const char* properties;
    const char* message;
  } kCases[] = {
      {R"("Nope": 1)", "elements[0].properties.\"Nope\": the element has no such property"},
      {R"("fill color": [0, 0, 0, 1])", "no such property (did you mean \"Fill Color\"?)"},
      {R"("Show": true)", "elements[0].properties.\"Show\": the element has no such property"},
      {R"("Enabled": 1)", "\"Enabled\": expected true or false, got 1"},
      {R"("Count": 2.5)", "\"Count\": expected a whole number"},
      {R"("Count": 1e300)", "\"Count\": expected a whole number"},
      {R"("Offset": -2147483649)", "\"Offset\": expected a whole number"},
      {R"("Scale": "big")", "\"Scale\": expected a number, got \"big\""},
      {R"("Label": 3)", "\"Label\": expected a string"},
      {R"("Fill Color": [1, 0, 0])", "\"Fill Color\": expected [r, g, b, a]"},
      {R"("Fill Color": [1, 0, 0, 2])", "\"Fill Color\"[3]: expected [r, g, b, a]"},
      {R"("Stamp": "00:00:00:00")", "\"Stamp\": expected {\"timecode\": \"HH:MM:SS:FF\"}"},
      {R"("Stamp": {"timecode": "noon"})", "\"Stamp\".timecode: expected {\"timecode\""},
      {R"("Sources": "Actor")", "\"Sources\": expected a list of object or camera names"},
      {R"("Sources": ["Nobody"])",
       "\"Sources\"[0]: expected the name of an object or of the camera"},
      {R"("Sources": ["Actor", "Actor"])", "\"Sources\"[1]: expected each name once"},
  };
  for (const auto& lCase : kCases) {
    const std::string lText =
        std::string(R"({"objects": [{"name": "Actor"}], "elements": [{"properties": {)") +
        lCase.properties + "}}]}";
    const std::string lError = BuildError(lText);
    EXPECT_NE(lError.find(lCase.message), std::string::npos)
        << lCase.properties << "\n  gave: " << lError;
  }
  EXPECT_NE(BuildError(R"({"camera": {"properties": {"FocalLength": 3}}})")
                .find("camera.properties.\"FocalLength\": the component already has"),
            std::string::npos);
  EXPECT_NE(BuildError(R"({"elements": [{"name": "refuse"}]})", BuildResult::kRefused)
                .find("elements[0]: the plug-in refused"),
            std::string::npos);
}

TEST_F(SceneFileTest, BuildingSetsTheSceneTheElementsAndThenTheTransport) {
  SceneDescription lDescription;
  std::string lError;
  ASSERT_TRUE(Parse(kFullScene, &lDescription, &lError)) << lError;
  fbhost::Scene lScene;
  ASSERT_EQ(fbhost::BuildScene(lDescription, lScene, kEntry, &lError), BuildResult::kBuilt)
      << lError;
  EXPECT_EQ(lScene.FrameRate(), 25.0);
  EXPECT_EQ(lScene.Frame(), 33);
  EXPECT_TRUE(fbhost::IsRecording());
  EXPECT_TRUE(fbhost::IsPlaying());
  EXPECT_STREQ(static_cast<const char*>(fbhost::CurrentTake()->Name), "Take 7");
  FBCamera* lCamera = fbhost::CurrentCamera();
  ASSERT_NE(lCamera, nullptr);
  EXPECT_EQ(static_cast<double>(lCamera->FocalLength), 24.0);
  EXPECT_EQ(lCamera->ApertureMode, kFBApertureVertHoriz);
  EXPECT_EQ(lCamera->PropertyList.Find("ShowCrosshair")->GetPropertyType(), kFBPT_bool);

  FBComponent* lActor = lScene.FindObject("Actor");
  ASSERT_NE(lActor, nullptr);
  EXPECT_EQ(lActor->PropertyList.Find("TCHour")->GetPropertyType(), kFBPT_int);
  EXPECT_EQ(lActor->PropertyList.Find("Gain")->GetPropertyType(), kFBPT_double);
  FBTimeCode lMaster;
  lActor->PropertyList.Find("master")->GetData(&lMaster, sizeof(lMaster));
  EXPECT_EQ(lMaster.GetSeconds(), 3723.0);
  EXPECT_EQ(lMaster.GetFrames(), 4.0);

  ASSERT_EQ(lScene.Elements().size(), 1u);
  FBHUDElement* lElement = lScene.Elements()[0];
  EXPECT_STREQ(static_cast<const char*>(lElement->Name), "HUD");
  int lCount = 0;
  lElement->PropertyList.Find("Count")->GetData(&lCount, sizeof(lCount));
  EXPECT_EQ(lCount, -7);
  auto* lSources = dynamic_cast<FBPropertyListObject*>(lElement->PropertyList.Find("Sources"));
  ASSERT_EQ(lSources->GetCount(), 2);
  EXPECT_EQ(lSources->GetAt(0), lActor);
  EXPECT_EQ(lSources->GetAt(1), lCamera);
}

TEST_F(SceneFileTest, ASavedSceneReadsBackToTheSameFileAndTheSameImage) {
  std::string lError;
  auto lViewer = fbhost::OffscreenViewer::Create(40, 24, &lError);
  ASSERT_TRUE(lViewer) << lError;
  // Builds and renders pText, answering the saved form and the image.
  auto lRoundTrip = [&](const std::string& pText, QImage* pImage) {
    SceneDescription lDescription;
    std::string lProblem;
    EXPECT_TRUE(Parse(pText, &lDescription, &lProblem)) << lProblem;
    fbhost::Scene lScene;
    EXPECT_EQ(fbhost::BuildScene(lDescription, lScene, kEntry, &lProblem), BuildResult::kBuilt)
        << lProblem;
    fbhost::ApplyBackground(lDescription, *lViewer);
    lViewer->RenderFrame(lScene.Elements(), fbhost::CurrentCamera());
    *pImage = lViewer->ReadPixels();
    return fbhost::SceneToJson(fbhost::DescribeScene(lScene, lDescription),
                               mDir.path().toStdString())
        .dump(2);
  };
  QImage lFirstImage, lSecondImage, lThirdImage;
  const std::string lFirst = lRoundTrip(kFullScene, &lFirstImage);
  const std::string lSecond = lRoundTrip(lFirst, &lSecondImage);
  EXPECT_EQ(lFirst, lSecond);
  EXPECT_EQ(lFirstImage, lSecondImage);
  EXPECT_EQ(fbhost::GlPixel(lFirstImage, 0, 0), qRgba(255, 0, 128, 255));
  EXPECT_EQ(fbhost::GlPixel(lFirstImage, 39, 23), qRgba(64, 128, 191, 255));

  // Every element property is written, defaults included, in publication order.
  const fbhost::SceneJson lSaved = fbhost::SceneJson::parse(lRoundTrip("{}", &lThirdImage));
  std::vector<std::string> lNames;
  for (const auto& lItem : lSaved["elements"][0]["properties"].items())
    lNames.push_back(lItem.key());
  EXPECT_EQ(lNames, (std::vector<std::string>{"Fill Color", "Enabled", "Count", "Scale", "Label",
                                              "Stamp", "Offset", "Sources"}));
  EXPECT_EQ(lSaved["background"], fbhost::SceneJson({{"plate", "neutral"}}));

  // An NTSC rate is saved as written, not as its exact fraction's decimals.
  for (const std::string lRate : {"23.976", "59.94"}) {
    const std::string lText = lRoundTrip("{\"fps\": " + lRate + "}", &lThirdImage);
    EXPECT_EQ(fbhost::SceneJson::parse(lText)["fps"].dump(), lRate);
  }
}

TEST_F(SceneFileTest, WritingReplacesTheFileWholeAndKeepsPicturesFound) {
  QImage lPicture(3, 2, QImage::Format_RGB888);
  lPicture.fill(Qt::darkCyan);
  ASSERT_TRUE(QDir(mDir.path()).mkpath("plates/sub"));
  ASSERT_TRUE(lPicture.save(mDir.filePath("plates/stage.png")));
  const std::string lOriginal = mDir.filePath("plates/scene.json").toStdString();
  {
    QFile lFile(QString::fromStdString(lOriginal));
    ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
    lFile.write(R"({"background": "stage.png", "elements": []})");
  }
  SceneDescription lScene;
  std::string lError;
  ASSERT_TRUE(fbhost::ReadSceneFile(lOriginal, &lScene, &lError)) << lError;
  EXPECT_EQ(lScene.background.picture.size(), QSize(3, 2));

  // Saved elsewhere, the picture's path is written from the new place.
  const std::string lCopy = mDir.filePath("plates/sub/copy.json").toStdString();
  ASSERT_TRUE(fbhost::WriteSceneFile(lScene, lCopy, &lError)) << lError;
  EXPECT_EQ(QDir(mDir.filePath("plates/sub")).entryList(QDir::Files), QStringList{"copy.json"});
  SceneDescription lReread;
  ASSERT_TRUE(fbhost::ReadSceneFile(lCopy, &lReread, &lError)) << lError;
  EXPECT_EQ(lReread.background.path, lScene.background.path);

  const std::string lNowhere = mDir.filePath("missing/scene.json").toStdString();
  EXPECT_FALSE(fbhost::WriteSceneFile(lScene, lNowhere, &lError));
  EXPECT_NE(lError.find(lNowhere), std::string::npos) << lError;
  EXPECT_FALSE(QDir(mDir.filePath("missing")).exists());
  EXPECT_FALSE(fbhost::ReadSceneFile(lNowhere, &lReread, &lError));
  EXPECT_NE(lError.find("cannot read the file"), std::string::npos) << lError;
}

const char kKeyedScene[] = R"({
  "format": 1,
  "fps": 30,
  "transport": {"start": 10, "stop": 100, "frame": 10},
  "camera": {"name": "Cam", "aperture_mode": 3,
             "fov": {"keys": [[10, 40.0], [30, 20.0]], "interpolation": "linear"},
             "focal_length": {"keys": [[0, 24.0], [50, 85.5], [100, 85.5]], "interpolation": "cubic"}},
  "objects": [{"name": "Actor", "properties": {
      "master": {"timecode": "09:41:12:03", "running": true},
      "Gain": {"keys": [[0, 1], [20, 2.5]], "interpolation": "linear"}}}],
  "elements": [{"name": "HUD", "properties": {
    "Count": {"keys": [[20, 7], [10, -2]], "interpolation": "linear"},
    "Enabled": {"keys": [[10, false], [12, true]], "interpolation": "constant"},
    "Fill Color": {"keys": [[10, [1, 0, 0, 1]], [20, [0, 0, 1, 0.5]]], "interpolation": "linear"},
    "Stamp": {"keys": [[10, {"timecode": "01:00:00:00"}], [40, {"timecode": "01:00:00:25"}]],
              "interpolation": "linear"}}}]
})";

// Keyed values and running timecodes: read at the scene's frame, written back
// exactly, refused with their place when malformed.
class AnimatedSceneTest : public SceneFileTest {
 protected:
  // Builds pText into mScene; "" or the error.
  std::string Build(const std::string& pText) {
    SceneDescription lDescription;
    std::string lError;
    if (!Parse(pText, &lDescription, &lError)) return lError;
    mSettings = lDescription;
    mScene = std::make_unique<fbhost::Scene>();
    if (fbhost::BuildScene(lDescription, *mScene, kEntry, &lError) != fbhost::BuildResult::kBuilt)
      return lError;
    return "";
  }

  std::string Saved() {
    return fbhost::DumpJson(fbhost::SceneToJson(DescribeScene(*mScene, mSettings), "/"), 2);
  }

  FBProperty& Property(FBComponent* pOwner, const char* pName) {
    FBProperty* lProperty = pOwner->PropertyList.Find(pName);
    EXPECT_TRUE(lProperty) << pName;
    return *lProperty;
  }
  FBProperty& Element(const char* pName) { return Property(mScene->Elements()[0], pName); }

  SceneDescription mSettings;
  std::unique_ptr<fbhost::Scene> mScene;
};

TEST_F(AnimatedSceneTest, KeysAreReadAtTheScenesFrame) {
  ASSERT_EQ(Build(kKeyedScene), "");
  FBCamera* lCamera = mScene->CurrentCamera();
  FBComponent* lActor = mScene->FindObject("Actor");
  auto lText = [](FBProperty& pProperty) {
    FBTimeCode lCode;
    pProperty.GetData(&lCode, sizeof(lCode));
    return fbhost::FormatTimeCode(lCode);
  };
  mScene->SetFrame(15);
  int lCount = 0;
  Element("Count").GetData(&lCount, sizeof(lCount));
  EXPECT_EQ(lCount, 3);  // -2 + 4.5, half away from zero
  EXPECT_EQ(static_cast<double>(lCamera->FieldOfView), 35.0);
  EXPECT_EQ(lText(Property(lActor, "master")), "09:41:12:08");
  EXPECT_EQ(lText(Element("Stamp")), "01:00:00:04");  // 4.17 frames in: whole frames show
  mScene->SetFrame(55);                               // 45 frames into the play range
  EXPECT_EQ(lText(Property(lActor, "master")), "09:41:13:18");
  EXPECT_EQ(static_cast<double>(lCamera->FocalLength), 85.5);
  mScene->SetFrame(200);  // past the range: the last key holds
  EXPECT_EQ(lText(Property(lActor, "master")), "09:41:15:03");
}

TEST_F(AnimatedSceneTest, AKeyedSceneSavesItsKeysExactlyAndAgainTheSame) {
  ASSERT_EQ(Build(kKeyedScene), "");
  mScene->SetFrame(33);  // the keys, not the values at some frame, are written
  const std::string lFirst = Saved();
  const SceneJson lSaved = SceneJson::parse(lFirst);
  const SceneJson lGiven = SceneJson::parse(kKeyedScene);
  EXPECT_EQ(lSaved.begin().key(), "format");
  EXPECT_EQ(lSaved["format"], 1);
  for (const char* lKey : {"fov", "focal_length"})
    EXPECT_EQ(lSaved["camera"][lKey], lGiven["camera"][lKey]) << lKey;
  EXPECT_EQ(lSaved["objects"][0]["properties"], lGiven["objects"][0]["properties"]);
  SceneJson lCount = lGiven["elements"][0]["properties"]["Count"];
  std::swap(lCount["keys"][0], lCount["keys"][1]);  // written in time order
  EXPECT_EQ(lSaved["elements"][0]["properties"]["Count"], lCount);
  for (const char* lKey : {"Enabled", "Fill Color", "Stamp"}) {
    EXPECT_EQ(lSaved["elements"][0]["properties"][lKey], lGiven["elements"][0]["properties"][lKey])
        << lKey;
  }
  ASSERT_EQ(Build(lFirst), "");
  EXPECT_EQ(Saved(), lFirst);
}

TEST_F(AnimatedSceneTest, BadKeysAreRefusedNamingTheirPlace) {
  auto lElement = [](const std::string& pProperties) {
    return R"({"elements": [{"properties": {)" + pProperties + "}}]}";
  };
  const std::pair<std::string, std::string> kCases[] = {
      {lElement(R"("Count": {"keys": [[0, 1], [0, 2]]})"),
       R"(test.json: elements[0].properties."Count".keys[1][0]: expected each frame once, got 0)"},
      {lElement(R"("Count": {"keys": [[0, 1], [5, 1.5]]})"),
       R"(test.json: elements[0].properties."Count".keys[1][1]: expected a whole number)"},
      {lElement(R"("Stamp": {"keys": [[0, {"timecode": "1:2"}]]})"),
       R"(test.json: elements[0].properties."Stamp".keys[0][1].timecode: expected)"},
      {lElement(R"("Scale": {"keys": [[0.5, 1]]})"),
       R"(test.json: elements[0].properties."Scale".keys[0][0]: expected a whole frame number)"},
      {lElement(R"("Scale": {"keys": [[0, 1]], "interpolation": "smooth"})"),
       R"(test.json: elements[0].properties."Scale".interpolation: expected "constant", "linear")"},
      {lElement(R"("Scale": {"keys": []})"),
       R"(test.json: elements[0].properties."Scale".keys: expected a non-empty list)"},
      {lElement(R"("Offset": {"keys": [[0, 1]]})"),
       R"(test.json: elements[0].properties."Offset": expected a single value: this property cannot be animated)"},
      {lElement(R"("Label": {"keys": [[0, "a"]]})"),
       R"(test.json: elements[0].properties."Label": expected a single value: this property cannot)"},
      {lElement(R"("Sources": {"keys": [[0, []]]})"),
       R"(test.json: elements[0].properties."Sources": expected a single value: this property cannot)"},
      {R"({"objects": [{"properties": {"Note": {"keys": [[0, "a"]]}}}]})",
       R"(test.json: objects[0].properties."Note".keys[0][1]: expected a value that can be animated)"},
      {R"({"objects": [{"properties": {"On": {"keys": [[0, true], [1, 2]]}}}]})",
       R"(test.json: objects[0].properties."On".keys[1][1]: expected true or false, got 2)"},
      {R"({"camera": {"fov": {"keys": [[0, 40], [9, 200]]}}})",
       R"(test.json: camera.fov.keys[1][1]: expected a number above 0 up to 180, got 200)"},
      {R"({"format": 2})", R"(test.json: format: expected 1, the only format version)"},
  };
  for (const auto& lCase : kCases) {
    const std::string lError = Build(lCase.first);
    EXPECT_EQ(lError.rfind(lCase.second, 0), 0u) << lCase.first << "\n  gave: " << lError;
  }
}

}  // namespace

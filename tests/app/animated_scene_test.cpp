// Keyed values and running timecodes in scene files: read at the scene's
// frame, written back exactly, refused with their place when malformed.

#include <fbhost/plugin_loader.h>
#include <fbhost/scene_file.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>

namespace {

using fbhost::SceneDescription;
using fbhost::SceneJson;

const char kEntry[] = "TestHUDElement";

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

class AnimatedSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string lError;
    mLibrary = fbhost::PluginLibrary::Load(TEST_HUD_PLUGIN, &lError);
    ASSERT_TRUE(mLibrary) << lError;
  }

  // Builds pText into mScene; "" or the error.
  std::string Build(const std::string& pText) {
    SceneDescription lDescription;
    std::string lError;
    if (!fbhost::ParseScene(pText, "shot.json", "/", &lDescription, &lError)) return lError;
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

  std::unique_ptr<fbhost::PluginLibrary> mLibrary;
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
       R"(shot.json: elements[0].properties."Count".keys[1][0]: expected each frame once, got 0)"},
      {lElement(R"("Count": {"keys": [[0, 1], [5, 1.5]]})"),
       R"(shot.json: elements[0].properties."Count".keys[1][1]: expected a whole number)"},
      {lElement(R"("Stamp": {"keys": [[0, {"timecode": "1:2"}]]})"),
       R"(shot.json: elements[0].properties."Stamp".keys[0][1].timecode: expected)"},
      {lElement(R"("Scale": {"keys": [[0.5, 1]]})"),
       R"(shot.json: elements[0].properties."Scale".keys[0][0]: expected a whole frame number)"},
      {lElement(R"("Scale": {"keys": [[0, 1]], "interpolation": "smooth"})"),
       R"(shot.json: elements[0].properties."Scale".interpolation: expected "constant", "linear")"},
      {lElement(R"("Scale": {"keys": []})"),
       R"(shot.json: elements[0].properties."Scale".keys: expected a non-empty list)"},
      {lElement(R"("Offset": {"keys": [[0, 1]]})"),
       R"(shot.json: elements[0].properties."Offset": expected a single value: this property cannot be animated)"},
      {lElement(R"("Label": {"keys": [[0, "a"]]})"),
       R"(shot.json: elements[0].properties."Label": expected a single value: this property cannot)"},
      {lElement(R"("Sources": {"keys": [[0, []]]})"),
       R"(shot.json: elements[0].properties."Sources": expected a single value: this property cannot)"},
      {R"({"objects": [{"properties": {"Note": {"keys": [[0, "a"]]}}}]})",
       R"(shot.json: objects[0].properties."Note".keys[0][1]: expected a value that can be animated)"},
      {R"({"objects": [{"properties": {"On": {"keys": [[0, true], [1, 2]]}}}]})",
       R"(shot.json: objects[0].properties."On".keys[1][1]: expected true or false, got 2)"},
      {R"({"camera": {"fov": {"keys": [[0, 40], [9, 200]]}}})",
       R"(shot.json: camera.fov.keys[1][1]: expected a number above 0 up to 180, got 200)"},
      {R"({"format": 2})", R"(shot.json: format: expected 1, the only format version)"},
  };
  for (const auto& lCase : kCases) {
    const std::string lError = Build(lCase.first);
    EXPECT_EQ(lError.rfind(lCase.second, 0), 0u) << lCase.first << "\n  gave: " << lError;
  }
}

}  // namespace

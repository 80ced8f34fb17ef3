// Reading scene files into a SceneDescription, and the built-in scene that
// stands for every key a file leaves out.

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <sstream>

#include "fbhost/scene_file.h"

namespace fbhost {

using namespace ORSDK2014;

const char* const kFootageTimecodeProperty = "Timecode";

bool ParseFrameRate(const std::string& pText, int* pNumerator, int* pDenominator) {
  // Digits only, so no locale, sign, exponent or space gets through.
  auto digits = [](const std::string& pPart, size_t pMost) {
    if (pPart.empty() || pPart.size() > pMost) return false;
    for (char c : pPart) {
      if (c < '0' || c > '9') return false;
    }
    return true;
  };
  long long lNumerator = 0, lDenominator = 1;
  const size_t lSlash = pText.find('/');
  const size_t lDot = pText.find('.');
  if (lSlash != std::string::npos) {
    const std::string lTop = pText.substr(0, lSlash), lBottom = pText.substr(lSlash + 1);
    if (!digits(lTop, 7) || !digits(lBottom, 7)) return false;
    lNumerator = std::stoll(lTop);
    lDenominator = std::stoll(lBottom);
  } else {
    const std::string lWhole = pText.substr(0, lDot);
    const std::string lPart = lDot == std::string::npos ? "" : pText.substr(lDot + 1);
    if (!digits(lWhole, 4) || (lDot != std::string::npos && !digits(lPart, 3))) return false;
    // In thousandths, exactly.
    long long lThousandths = std::stoll(lWhole) * 1000;
    if (!lPart.empty()) lThousandths += std::stoll(lPart + std::string(3 - lPart.size(), '0'));
    lNumerator = lThousandths;
    lDenominator = 1000;
    if (lThousandths % 1000 == 0) {
      lNumerator = lThousandths / 1000;
      lDenominator = 1;
    } else {
      // 23.976, 29.97, 59.94...: the NTSC rate n*1000/1001 they stand for.
      const long long lNominal = (lThousandths * 1001 + 500000) / 1000000;
      if (std::llabs(lNominal * 1000000 - lThousandths * 1001) <= 5 * 1001) {
        lNumerator = lNominal * 1000;
        lDenominator = 1001;
      }
    }
  }
  if (lDenominator <= 0 || lNumerator < lDenominator || lNumerator > 1000 * lDenominator)
    return false;
  *pNumerator = static_cast<int>(lNumerator);
  *pDenominator = static_cast<int>(lDenominator);
  return true;
}

bool ParseHudHeight(const std::string& pText, int* pLines) {
  if (pText == "native") {
    *pLines = 0;
    return true;
  }
  if (pText.empty() || pText.size() > 5 ||
      pText.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const int lLines = std::stoi(pText);
  if (lLines < kMinHudHeight || lLines > kMaxHudHeight) return false;
  *pLines = lLines;
  return true;
}

bool IsFootageTimecodeOrigin(const std::string& pText) {
  return pText == "auto" || pText == "track" || pText == "ltc" || pText == "header" ||
         pText == "none";
}

namespace {

// Audio channels counted over all of a file's audio streams.
const long long kMaxLtcChannel = 255;

// A key as a place names it: plain when it is one of the format's own words,
// quoted when it is a property's name or not a word.
std::string Join(const std::string& pPlace, const std::string& pKey) {
  const std::string kProperties = "properties";
  const bool lPropertyName =
      pPlace.size() >= kProperties.size() &&
      pPlace.compare(pPlace.size() - kProperties.size(), std::string::npos, kProperties) == 0;
  const bool lWord = !pKey.empty() && std::all_of(pKey.begin(), pKey.end(), [](char c) {
    return std::islower(static_cast<unsigned char>(c)) || c == '_';
  });
  const std::string lKey = lWord && !lPropertyName ? pKey : DumpJson(pKey);
  return pPlace.empty() ? lKey : pPlace + "." + lKey;
}

std::string Index(const std::string& pPlace, size_t pIndex) {
  return pPlace + "[" + std::to_string(pIndex) + "]";
}

// Parses JSON, noting the first key that appears twice in one object (the
// parser itself would keep the last one silently).
class StrictParser {
 public:
  SceneJson Parse(const std::string& pText) {
    return SceneJson::parse(pText,
                            [this](int, SceneJson::parse_event_t pEvent, SceneJson& pParsed) {
                              Note(pEvent, pParsed);
                              return true;
                            });
  }
  const std::string& Duplicate() const { return mDuplicate; }

 private:
  struct Level {
    bool array = false;
    std::string place;
    size_t index = 0;
    std::string key;
    std::set<std::string> keys;
  };

  std::string ChildPlace() const {
    if (mLevels.empty()) return "";
    const Level& lLevel = mLevels.back();
    return lLevel.array ? Index(lLevel.place, lLevel.index) : Join(lLevel.place, lLevel.key);
  }

  void Note(SceneJson::parse_event_t pEvent, const SceneJson& pParsed) {
    using Event = SceneJson::parse_event_t;
    switch (pEvent) {
      case Event::object_start:
      case Event::array_start: {
        Level lLevel;
        lLevel.array = pEvent == Event::array_start;
        lLevel.place = ChildPlace();
        mLevels.push_back(lLevel);
        break;
      }
      case Event::key: {
        Level& lLevel = mLevels.back();
        lLevel.key = pParsed.get<std::string>();
        if (!lLevel.keys.insert(lLevel.key).second && mDuplicate.empty()) mDuplicate = ChildPlace();
        break;
      }
      case Event::object_end:
      case Event::array_end:
        mLevels.pop_back();
        if (!mLevels.empty()) ++mLevels.back().index;
        break;
      case Event::value:
        if (!mLevels.empty()) ++mLevels.back().index;
        break;
    }
  }

  std::vector<Level> mLevels;
  std::string mDuplicate;
};

class Reader {
 public:
  Reader(std::string pSource, std::string pBaseDir)
      : mSource(std::move(pSource)), mBaseDir(std::move(pBaseDir)) {}

  bool Read(const std::string& pText, SceneDescription* pScene, std::string* pError);

 private:
  bool Fail(const std::string& pPlace, const std::string& pWhat) {
    mError = mSource + ": " + (pPlace.empty() ? "top level" : pPlace) + ": " + pWhat;
    return false;
  }
  bool FailGot(const std::string& pPlace, const std::string& pExpected, const SceneJson& pGot) {
    return Fail(pPlace, pExpected + ", " + DescribeJson(pGot));
  }

  bool Object(const SceneJson& pValue, const std::string& pPlace,
              std::initializer_list<const char*> pKeys);
  bool Integer(const SceneJson& pValue, const std::string& pPlace, long long pMin, long long pMax,
               long long* pOut);
  bool Number(const SceneJson& pValue, const std::string& pPlace, double pMin, double pMax,
              bool pOpenMin, double* pOut);
  bool Bool(const SceneJson& pValue, const std::string& pPlace, bool* pOut);
  bool Name(const SceneJson& pValue, const std::string& pPlace, std::string* pOut);
  bool CustomProperties(const SceneJson& pValue, const std::string& pPlace,
                        std::vector<SceneDescription::CustomProperty>* pOut);

  bool Viewport(const SceneJson& pValue, SceneDescription* pScene);
  bool Transport(const SceneJson& pValue, SceneDescription* pScene);
  bool Camera(const SceneJson& pValue, SceneDescription* pScene);
  bool Objects(const SceneJson& pValue, SceneDescription* pScene);
  bool Elements(const SceneJson& pValue, SceneDescription* pScene);
  bool Background(const SceneJson& pValue, SceneDescription* pScene);
  bool Footage(const SceneJson& pValue, SceneDescription* pScene);
  // pPath taken from the scene file's folder when relative.
  std::string AbsolutePath(const std::string& pPath) const;

  std::string mSource;
  std::string mBaseDir;
  std::string mError;
};

bool Reader::Object(const SceneJson& pValue, const std::string& pPlace,
                    std::initializer_list<const char*> pKeys) {
  if (!pValue.is_object()) return FailGot(pPlace, "expected an object", pValue);
  for (const auto& lItem : pValue.items()) {
    bool lKnown = false;
    for (const char* lKey : pKeys) lKnown = lKnown || lItem.key() == lKey;
    if (lKnown) continue;
    std::string lExpected;
    for (const char* lKey : pKeys) lExpected += std::string(lExpected.empty() ? "" : ", ") + lKey;
    return Fail(Join(pPlace, lItem.key()), "unknown key; expected one of " + lExpected);
  }
  return true;
}

bool Reader::Integer(const SceneJson& pValue, const std::string& pPlace, long long pMin,
                     long long pMax, long long* pOut) {
  bool lFits = false;
  if (pValue.is_number_unsigned()) {
    lFits = pValue.get<unsigned long long>() <= static_cast<unsigned long long>(pMax);
  } else if (pValue.is_number_integer()) {
    lFits = pValue.get<long long>() >= pMin && pValue.get<long long>() <= pMax;
  }
  if (!lFits) {
    return FailGot(
        pPlace,
        "expected a whole number from " + std::to_string(pMin) + " to " + std::to_string(pMax),
        pValue);
  }
  *pOut = pValue.get<long long>();
  return true;
}

bool Reader::Number(const SceneJson& pValue, const std::string& pPlace, double pMin, double pMax,
                    bool pOpenMin, double* pOut) {
  const double lValue = pValue.is_number() ? pValue.get<double>() : std::nan("");
  const bool lAboveMin = pOpenMin ? lValue > pMin : lValue >= pMin;
  if (!pValue.is_number() || !lAboveMin || !(lValue <= pMax)) {
    std::ostringstream lExpected;
    lExpected << "expected a number " << (pOpenMin ? "above " : "from ") << pMin
              << (pOpenMin ? " up to " : " to ") << pMax;
    return FailGot(pPlace, lExpected.str(), pValue);
  }
  *pOut = lValue;
  return true;
}

bool Reader::Bool(const SceneJson& pValue, const std::string& pPlace, bool* pOut) {
  if (!pValue.is_boolean()) return FailGot(pPlace, "expected true or false", pValue);
  *pOut = pValue.get<bool>();
  return true;
}

bool Reader::Name(const SceneJson& pValue, const std::string& pPlace, std::string* pOut) {
  if (!pValue.is_string() || pValue.get_ref<const std::string&>().empty() ||
      pValue.get_ref<const std::string&>().find('\0') != std::string::npos) {
    return FailGot(pPlace, "expected a non-empty name", pValue);
  }
  *pOut = pValue.get<std::string>();
  return true;
}

bool Reader::CustomProperties(const SceneJson& pValue, const std::string& pPlace,
                              std::vector<SceneDescription::CustomProperty>* pOut) {
  if (!pValue.is_object()) return FailGot(pPlace, "expected an object of properties", pValue);
  pOut->clear();
  for (const auto& lItem : pValue.items()) {
    const std::string lPlace = Join(pPlace, lItem.key());
    if (lItem.key().empty() || lItem.key().find('\0') != std::string::npos)
      return Fail(lPlace, "expected a non-empty property name");
    ValueProblem lProblem;
    const FBPropertyType lType = KindOfJson(lItem.value(), &lProblem);
    if (lType == kFBPT_unknown) return Fail(lPlace + lProblem.place, lProblem.expected);
    pOut->push_back({lItem.key(), lType, lItem.value()});
  }
  return true;
}

bool Reader::Viewport(const SceneJson& pValue, SceneDescription* pScene) {
  if (!Object(pValue, "viewport", {"width", "height"})) return false;
  long long lSide = 0;
  if (pValue.contains("width")) {
    if (!Integer(pValue["width"], "viewport.width", 1, kMaxViewportSide, &lSide)) return false;
    pScene->width = static_cast<int>(lSide);
  }
  if (pValue.contains("height")) {
    if (!Integer(pValue["height"], "viewport.height", 1, kMaxViewportSide, &lSide)) return false;
    pScene->height = static_cast<int>(lSide);
  }
  return true;
}

bool Reader::Transport(const SceneJson& pValue, SceneDescription* pScene) {
  if (!Object(pValue, "transport", {"start", "stop", "frame", "recording", "playing"}))
    return false;
  const std::pair<const char*, long long*> lFrames[] = {
      {"start", &pScene->start}, {"stop", &pScene->stop}, {"frame", &pScene->frame}};
  for (const auto& lFrame : lFrames) {
    if (pValue.contains(lFrame.first) &&
        !Integer(pValue[lFrame.first], Join("transport", lFrame.first), -kMaxSceneFrame,
                 kMaxSceneFrame, lFrame.second)) {
      return false;
    }
  }
  if (pValue.contains("recording") &&
      !Bool(pValue["recording"], "transport.recording", &pScene->recording)) {
    return false;
  }
  return !pValue.contains("playing") ||
         Bool(pValue["playing"], "transport.playing", &pScene->playing);
}

bool Reader::Camera(const SceneJson& pValue, SceneDescription* pScene) {
  if (pValue.is_null()) {
    pScene->camera.reset();
    return true;
  }
  if (!Object(pValue, "camera",
              {"name", "aperture_mode", "film_width", "film_height", "fov", "fov_x", "focal_length",
               "resolution", "properties"})) {
    return false;
  }
  // Keys left out keep the built-in camera's values.
  SceneDescription::Camera lCamera = *BuiltInScene().camera;
  if (pValue.contains("name") && !Name(pValue["name"], "camera.name", &lCamera.name)) return false;
  if (pValue.contains("aperture_mode")) {
    long long lMode = 0;
    if (!Integer(pValue["aperture_mode"], "camera.aperture_mode", 0, 3, &lMode)) return false;
    lCamera.apertureMode = static_cast<int>(lMode);
  }
  struct Field {
    const char* key;
    double* value;
    double max;
  };
  const Field lFields[] = {{"film_width", &lCamera.filmWidth, 100.0},
                           {"film_height", &lCamera.filmHeight, 100.0},
                           {"fov", &lCamera.fov, 180.0},
                           {"fov_x", &lCamera.fovX, 180.0},
                           {"focal_length", &lCamera.focalLength, 100000.0}};
  lCamera.keyed.clear();
  for (const Field& lField : lFields) {
    if (!pValue.contains(lField.key)) continue;
    const SceneJson& lValue = pValue[lField.key];
    const std::string lPlace = Join("camera", lField.key);
    if (IsKeyedJson(lValue)) {
      // Each key's value is held to the same bounds as a plain value.
      ValueProblem lProblem;
      auto lCheck = [&](const SceneJson& pKey, ValueProblem* pKeyProblem) {
        double lIgnored = 0.0;
        if (Number(pKey, lPlace, 0.0, lField.max, true, &lIgnored)) return true;
        pKeyProblem->place.clear();
        pKeyProblem->expected = mError.substr(mSource.size() + lPlace.size() + 4);
        return false;
      };
      if (!CheckKeyedJson(lValue, lCheck, &lProblem))
        return Fail(lPlace + lProblem.place, lProblem.expected);
      lCamera.keyed[lField.key] = lValue;
    } else if (!Number(lValue, lPlace, 0.0, lField.max, true, lField.value)) {
      return false;
    }
  }
  if (pValue.contains("resolution")) {
    const SceneJson& lResolution = pValue["resolution"];
    if (!Object(lResolution, "camera.resolution", {"width", "height"})) return false;
    if (lResolution.contains("width") && !Number(lResolution["width"], "camera.resolution.width",
                                                 0.0, 1e6, true, &lCamera.resolutionWidth)) {
      return false;
    }
    if (lResolution.contains("height") && !Number(lResolution["height"], "camera.resolution.height",
                                                  0.0, 1e6, true, &lCamera.resolutionHeight)) {
      return false;
    }
  }
  if (pValue.contains("properties") &&
      !CustomProperties(pValue["properties"], "camera.properties", &lCamera.properties)) {
    return false;
  }
  pScene->camera = lCamera;
  return true;
}

bool Reader::Objects(const SceneJson& pValue, SceneDescription* pScene) {
  if (!pValue.is_array()) return FailGot("objects", "expected a list of objects", pValue);
  pScene->objects.clear();
  for (size_t i = 0; i < pValue.size(); ++i) {
    const std::string lPlace = Index("objects", i);
    const SceneJson& lEntry = pValue[i];
    if (!Object(lEntry, lPlace, {"name", "properties"})) return false;
    SceneDescription::Object lObject;
    lObject.name = "Object " + std::to_string(i + 1);
    if (lEntry.contains("name") && !Name(lEntry["name"], Join(lPlace, "name"), &lObject.name))
      return false;
    if (lEntry.contains("properties") &&
        !CustomProperties(lEntry["properties"], Join(lPlace, "properties"), &lObject.properties)) {
      return false;
    }
    pScene->objects.push_back(lObject);
  }
  return true;
}

bool Reader::Elements(const SceneJson& pValue, SceneDescription* pScene) {
  if (!pValue.is_array()) return FailGot("elements", "expected a list of elements", pValue);
  pScene->elements.clear();
  for (size_t i = 0; i < pValue.size(); ++i) {
    const std::string lPlace = Index("elements", i);
    const SceneJson& lEntry = pValue[i];
    if (!Object(lEntry, lPlace, {"name", "properties"})) return false;
    SceneDescription::Element lElement;
    lElement.name = "HUD Element " + std::to_string(i + 1);
    if (lEntry.contains("name") && !Name(lEntry["name"], Join(lPlace, "name"), &lElement.name))
      return false;
    if (lEntry.contains("properties")) {
      const SceneJson& lProperties = lEntry["properties"];
      const std::string lPropertiesPlace = Join(lPlace, "properties");
      if (!lProperties.is_object())
        return FailGot(lPropertiesPlace, "expected an object of properties", lProperties);
      for (const auto& lItem : lProperties.items())
        lElement.properties.push_back({lItem.key(), lItem.value()});
    }
    pScene->elements.push_back(lElement);
  }
  return true;
}

bool Reader::Footage(const SceneJson& pValue, SceneDescription* pScene) {
  if (!Object(pValue, "background",
              {"footage", "object", "timecode", "ltc_channel", "rate", "hud_height", "ocio",
               "colorspace", "display", "view"}))
    return false;
  SceneDescription::Background lBackground;
  const SceneJson& lPath = pValue["footage"];
  if (!lPath.is_string() || lPath.get_ref<const std::string&>().empty() ||
      lPath.get_ref<const std::string&>().find('\0') != std::string::npos)
    return FailGot("background.footage", "expected the footage's path", lPath);
  lBackground.kind = SceneDescription::BackgroundKind::kFootage;
  lBackground.path = AbsolutePath(lPath.get<std::string>());
  SceneDescription::Footage& lFootage = lBackground.footage;
  if (pValue.contains("object") && !Name(pValue["object"], "background.object", &lFootage.object)) {
    return false;
  }
  if (pValue.contains("timecode")) {
    const SceneJson& lOrigin = pValue["timecode"];
    if (!lOrigin.is_string() || !IsFootageTimecodeOrigin(lOrigin.get<std::string>())) {
      return FailGot("background.timecode",
                     "expected \"auto\", \"track\", \"ltc\", \"header\" or \"none\"", lOrigin);
    }
    lFootage.timecode = lOrigin.get<std::string>();
  }
  long long lChannel = 0;
  if (pValue.contains("ltc_channel")) {
    if (!Integer(pValue["ltc_channel"], "background.ltc_channel", 0, kMaxLtcChannel, &lChannel))
      return false;
    lFootage.ltcChannel = static_cast<int>(lChannel);
  }
  if (pValue.contains("rate")) {
    const SceneJson& lRate = pValue["rate"];
    const std::string lText = lRate.is_number()   ? lRate.dump()
                              : lRate.is_string() ? lRate.get<std::string>()
                                                  : std::string();
    if (!ParseFrameRate(lText, &lFootage.rateNumerator, &lFootage.rateDenominator)) {
      return FailGot(
          "background.rate",
          "expected frames a second from 1 to 1000, such as 24, 23.976 or \"30000/1001\"", lRate);
    }
  }
  if (pValue.contains("hud_height")) {
    const SceneJson& lLines = pValue["hud_height"];
    const std::string lText = lLines.is_number_integer() ? lLines.dump()
                              : lLines.is_string()       ? lLines.get<std::string>()
                                                         : std::string();
    if (!ParseHudHeight(lText, &lFootage.hudHeight)) {
      return FailGot("background.hud_height",
                     "expected \"native\" or a number of lines from " +
                         std::to_string(kMinHudHeight) + " to " + std::to_string(kMaxHudHeight),
                     lLines);
    }
  }
  for (const auto& lName :
       {std::make_pair("ocio", &lFootage.ocio), std::make_pair("colorspace", &lFootage.colorspace),
        std::make_pair("display", &lFootage.display), std::make_pair("view", &lFootage.view)}) {
    if (pValue.contains(lName.first) &&
        !Name(pValue[lName.first], Join("background", lName.first), lName.second))
      return false;
  }
  if (!lFootage.ocio.empty()) lFootage.ocio = AbsolutePath(lFootage.ocio);
  pScene->background = lBackground;
  return true;
}

std::string Reader::AbsolutePath(const std::string& pPath) const {
  return QDir::cleanPath(
             QDir(QString::fromStdString(mBaseDir)).absoluteFilePath(QString::fromStdString(pPath)))
      .toStdString();
}

bool Reader::Background(const SceneJson& pValue, SceneDescription* pScene) {
  SceneDescription::Background& lBackground = pScene->background;
  const char* lExpected =
      "expected [r, g, b] with each from 0 to 1, a picture's path, {\"plate\": \"neutral\"} or "
      "{\"footage\": PATH}";
  if (pValue.is_array()) {
    if (pValue.size() != 3) return FailGot("background", lExpected, pValue);
    for (size_t i = 0; i < 3; ++i) {
      if (!Number(pValue[i], Index("background", i), 0.0, 1.0, false, &lBackground.colour[i]))
        return false;
    }
    lBackground.kind = SceneDescription::BackgroundKind::kColour;
    lBackground.picture = QImage();
    lBackground.path.clear();
    return true;
  }
  if (pValue.is_object() && pValue.contains("footage")) return Footage(pValue, pScene);
  if (pValue.is_object()) {
    if (!Object(pValue, "background", {"plate"})) return false;
    if (pValue.value("plate", SceneJson()) != "neutral")
      return FailGot("background.plate", "expected \"neutral\"",
                     pValue.value("plate", SceneJson()));
    lBackground = SceneDescription::Background();
    return true;
  }
  if (!pValue.is_string() || pValue.get_ref<const std::string&>().empty())
    return FailGot("background", lExpected, pValue);
  const QString lPath = QString::fromStdString(AbsolutePath(pValue.get<std::string>()));
  QImageReader lReader(lPath);
  QImage lPicture = lReader.read();
  if (lPicture.isNull()) {
    return Fail("background", "cannot read the picture " + lPath.toStdString() + ": " +
                                  lReader.errorString().toStdString());
  }
  lBackground.kind = SceneDescription::BackgroundKind::kPicture;
  lBackground.path = lPath.toStdString();
  lBackground.picture = lPicture;
  return true;
}

bool Reader::Read(const std::string& pText, SceneDescription* pScene, std::string* pError) {
  SceneDescription lScene = BuiltInScene();
  lScene.source = mSource;
  StrictParser lParser;
  SceneJson lRoot;
  try {
    lRoot = lParser.Parse(pText);
  } catch (const SceneJson::exception& lProblem) {
    // "[json.exception.parse_error.101] parse error at line 3, column 4: ..."
    std::string lWhat = lProblem.what();
    const size_t lEnd = lWhat.find("] ");
    if (lWhat.rfind("[json.exception", 0) == 0 && lEnd != std::string::npos)
      lWhat = lWhat.substr(lEnd + 2);
    mError = mSource + ": " + lWhat;
    if (pError) *pError = mError;
    return false;
  }
  bool lOk = lParser.Duplicate().empty() || Fail(lParser.Duplicate(), "the key appears twice");
  lOk = lOk && Object(lRoot, "",
                      {"format", "viewport", "fps", "transport", "take", "camera", "objects",
                       "elements", "background"});
  if (lOk && lRoot.contains("format") && lRoot["format"] != kSceneFormatVersion) {
    lOk = FailGot("format",
                  "expected " + std::to_string(kSceneFormatVersion) +
                      ", the only format version this program reads",
                  lRoot["format"]);
  }
  lOk = lOk && (!lRoot.contains("viewport") || Viewport(lRoot["viewport"], &lScene));
  lScene.hasFps = lRoot.contains("fps");
  lScene.hasTransport = lRoot.contains("transport");
  lOk = lOk && (!lRoot.contains("fps") ||
                Number(lRoot["fps"], "fps", kMinFrameRate, kMaxFrameRate, false, &lScene.fps));
  lOk = lOk && (!lRoot.contains("transport") || Transport(lRoot["transport"], &lScene));
  if (lOk && lRoot.contains("take")) {
    std::string lTake;
    if (lRoot["take"].is_null()) {
      lScene.take.reset();
    } else if ((lOk = Name(lRoot["take"], "take", &lTake))) {
      lScene.take = lTake;
    }
  }
  lOk = lOk && (!lRoot.contains("camera") || Camera(lRoot["camera"], &lScene));
  lOk = lOk && (!lRoot.contains("objects") || Objects(lRoot["objects"], &lScene));
  lOk = lOk && (!lRoot.contains("elements") || Elements(lRoot["elements"], &lScene));
  lOk = lOk && (!lRoot.contains("background") || Background(lRoot["background"], &lScene));
  // List items are found by name, so a name may stand for one component only.
  for (size_t i = 0; lOk && i < lScene.objects.size(); ++i) {
    const std::string& lName = lScene.objects[i].name;
    if (lScene.camera && lScene.camera->name == lName)
      lOk = Fail(Join(Index("objects", i), "name"), "\"" + lName + "\" is the camera's name too");
    for (size_t j = 0; lOk && j < i; ++j) {
      if (lScene.objects[j].name == lName)
        lOk = Fail(Join(Index("objects", i), "name"),
                   "\"" + lName + "\" is the name of " + Index("objects", j) + " too");
    }
  }
  if (!lOk) {
    if (pError) *pError = mError;
    return false;
  }
  *pScene = std::move(lScene);
  return true;
}

}  // namespace

SceneDescription BuiltInScene() {
  SceneDescription lScene;
  lScene.source = "built-in scene";
  lScene.width = 1920;
  lScene.height = 1080;
  lScene.fps = 30.0;
  lScene.start = 0;
  lScene.stop = 300;
  lScene.frame = 120;
  lScene.take = "Take 001";
  // The camera as the host makes a new one.
  FBCamera lDefault("Camera 1");
  SceneDescription::Camera lCamera;
  lCamera.name = "Camera 1";
  lCamera.apertureMode = static_cast<int>(static_cast<FBCameraApertureMode>(lDefault.ApertureMode));
  lCamera.filmWidth = lDefault.FilmSizeWidth;
  lCamera.filmHeight = lDefault.FilmSizeHeight;
  lCamera.fov = lDefault.FieldOfView;
  lCamera.fovX = lDefault.FieldOfViewX;
  lCamera.focalLength = lDefault.FocalLength;
  lCamera.resolutionWidth = lDefault.ResolutionWidth;
  lCamera.resolutionHeight = lDefault.ResolutionHeight;
  lScene.camera = lCamera;
  lScene.elements.push_back({"HUD Element 1", {}});
  return lScene;
}

bool ParseScene(const std::string& pText, const std::string& pSource, const std::string& pBaseDir,
                SceneDescription* pScene, std::string* pError) {
  return Reader(pSource, pBaseDir).Read(pText, pScene, pError);
}

bool ReadSceneFile(const std::string& pPath, SceneDescription* pScene, std::string* pError) {
  // Reading a folder as a stream throws rather than failing.
  if (QFileInfo(QString::fromStdString(pPath)).isDir()) {
    if (pError) *pError = pPath + ": cannot read the file: it is a folder";
    return false;
  }
  std::ifstream lFile(pPath, std::ios::binary);
  std::string lText;
  if (lFile) lText.assign(std::istreambuf_iterator<char>(lFile), std::istreambuf_iterator<char>());
  if (!lFile.is_open() || lFile.bad()) {
    if (pError) *pError = pPath + ": cannot read the file: " + std::strerror(errno);
    return false;
  }
  const std::string lBaseDir =
      QFileInfo(QString::fromStdString(pPath)).absolutePath().toStdString();
  return ParseScene(lText, pPath, lBaseDir, pScene, pError);
}

}  // namespace fbhost

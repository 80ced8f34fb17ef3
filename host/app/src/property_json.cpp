#include "fbhost/property_json.h"

#include <fbhost/components.h>
#include <fbsdk/runtime.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <regex>
#include <set>
#include <utility>
#include <vector>

namespace fbhost {

using namespace ORSDK2014;

namespace {

const char kTimeCodeForm[] =
    "expected {\"timecode\": \"HH:MM:SS:FF\"} with minutes and seconds below 60";

bool Refuse(ValueProblem* pProblem, std::string pExpected, const SceneJson& pGot,
            std::string pPlace = "") {
  if (pProblem) {
    pProblem->place = std::move(pPlace);
    pProblem->expected = std::move(pExpected) + ", " + DescribeJson(pGot);
  }
  return false;
}

FBPropertyListObject* AsList(FBProperty& pProperty) {
  if (pProperty.GetPropertyType() != kFBPT_object) return nullptr;
  return dynamic_cast<FBPropertyListObject*>(&pProperty);
}

bool ReadBool(const SceneJson& pValue, bool* pOut, ValueProblem* pProblem) {
  if (!pValue.is_boolean()) return Refuse(pProblem, "expected true or false", pValue);
  *pOut = pValue.get<bool>();
  return true;
}

bool ReadInt(const SceneJson& pValue, int* pOut, ValueProblem* pProblem) {
  const long long lMin = std::numeric_limits<int>::min();
  const long long lMax = std::numeric_limits<int>::max();
  bool lFits = false;
  if (pValue.is_number_unsigned()) {
    lFits = pValue.get<unsigned long long>() <= static_cast<unsigned long long>(lMax);
  } else if (pValue.is_number_integer()) {
    const long long lValue = pValue.get<long long>();
    lFits = lValue >= lMin && lValue <= lMax;
  }
  if (!lFits)
    return Refuse(pProblem, "expected a whole number from -2147483648 to 2147483647", pValue);
  *pOut = static_cast<int>(pValue.get<long long>());
  return true;
}

bool ReadDouble(const SceneJson& pValue, double* pOut, ValueProblem* pProblem) {
  if (!pValue.is_number() || !std::isfinite(pValue.get<double>()))
    return Refuse(pProblem, "expected a number", pValue);
  *pOut = pValue.get<double>();
  return true;
}

bool ReadString(const SceneJson& pValue, std::string* pOut, ValueProblem* pProblem) {
  // A property keeps C text: anything after a NUL would be lost.
  if (!pValue.is_string() || pValue.get_ref<const std::string&>().find('\0') != std::string::npos)
    return Refuse(pProblem, "expected a string without NUL characters", pValue);
  *pOut = pValue.get<std::string>();
  return true;
}

bool ReadColour(const SceneJson& pValue, FBColorAndAlpha* pOut, ValueProblem* pProblem) {
  const char* lExpected = "expected [r, g, b, a], each a number from 0 to 1";
  if (!pValue.is_array() || pValue.size() != 4) return Refuse(pProblem, lExpected, pValue);
  FBColorAndAlpha lColour;
  for (int i = 0; i < 4; ++i) {
    const SceneJson& lPart = pValue[static_cast<size_t>(i)];
    if (!lPart.is_number() || !(lPart.get<double>() >= 0.0 && lPart.get<double>() <= 1.0))
      return Refuse(pProblem, lExpected, lPart, "[" + std::to_string(i) + "]");
    lColour[i] = lPart.get<double>();
  }
  *pOut = lColour;
  return true;
}

// A timecode's raw value as the SDK keeps it: seconds, frames, rate.
struct RawTimeCode {
  double seconds = 0.0;
  double frames = 0.0;
  double rate = FBTimeCode::NTSC_DROP;
};

// Reads every text FormatTimeCode writes, signs and long hours or frames
// included (an element may compose its timecode from any four integers), but
// minutes and seconds must stay below 60.
// With pRunning, {"timecode": ..., "running": true/false} is read too.
bool ReadTimeCode(const SceneJson& pValue, RawTimeCode* pOut, ValueProblem* pProblem,
                  bool* pRunning = nullptr) {
  const bool lHasRunning = pRunning && pValue.is_object() && pValue.contains("running");
  if (!pValue.is_object() || pValue.size() != (lHasRunning ? 2u : 1u) ||
      !pValue.contains("timecode"))
    return Refuse(pProblem, kTimeCodeForm, pValue);
  if (lHasRunning && !pValue["running"].is_boolean())
    return Refuse(pProblem, "expected true or false", pValue["running"], ".running");
  const SceneJson& lText = pValue["timecode"];
  static const std::regex kForm("(-?[0-9]{1,16}):(-?[0-9]{1,2}):(-?[0-9]{1,2})[:;](-?[0-9]{1,16})");
  std::smatch lParts;
  if (!lText.is_string() || !std::regex_match(lText.get_ref<const std::string&>(), lParts, kForm))
    return Refuse(pProblem, kTimeCodeForm, lText, ".timecode");
  // At most 16 digits each: every part fits a long long.
  const long long lHours = std::stoll(lParts[1]);
  const long long lMinutes = std::stoll(lParts[2]);
  const long long lSeconds = std::stoll(lParts[3]);
  if (lMinutes <= -60 || lMinutes >= 60 || lSeconds <= -60 || lSeconds >= 60)
    return Refuse(pProblem, kTimeCodeForm, lText, ".timecode");
  pOut->seconds = static_cast<double>(static_cast<long double>(lHours) * 3600.0L +
                                      static_cast<long double>(lMinutes * 60 + lSeconds));
  pOut->frames = static_cast<double>(std::stoll(lParts[4]));
  if (pRunning) *pRunning = lHasRunning && pValue["running"].get<bool>();
  return true;
}

FBPropertyAnimatable* Animatable(FBProperty& pProperty) {
  return pProperty.IsAnimatable() ? dynamic_cast<FBPropertyAnimatable*>(&pProperty) : nullptr;
}

const char* const kInterpolationNames[] = {"constant", "linear", "cubic"};

struct ParsedKey {
  long long frame;
  double data[4];
};

using KeyValueReader = std::function<bool(const SceneJson&, double*, ValueProblem*)>;

bool ParseKeys(const SceneJson& pValue, const KeyValueReader& pRead, std::vector<ParsedKey>* pKeys,
               FBInterpolation* pInterpolation, ValueProblem* pProblem) {
  const char* lForm =
      "expected {\"keys\": [[frame, value], ...], \"interpolation\": \"constant\", "
      "\"linear\" or \"cubic\"}";
  if (!pValue.is_object()) return Refuse(pProblem, lForm, pValue);
  for (const auto& lItem : pValue.items()) {
    if (lItem.key() != "keys" && lItem.key() != "interpolation")
      return Refuse(pProblem, lForm, lItem.value(), "." + DumpJson(lItem.key()));
  }
  *pInterpolation = kFBInterpolationCubic;
  if (pValue.contains("interpolation")) {
    const SceneJson& lName = pValue["interpolation"];
    int lFound = -1;
    for (int i = 0; i < 3; ++i) {
      if (lName == kInterpolationNames[i]) lFound = i;
    }
    if (lFound < 0)
      return Refuse(pProblem, "expected \"constant\", \"linear\" or \"cubic\"", lName,
                    ".interpolation");
    *pInterpolation = static_cast<FBInterpolation>(lFound);
  }
  const SceneJson& lKeys = pValue.contains("keys") ? pValue["keys"] : SceneJson();
  if (!lKeys.is_array() || lKeys.empty())
    return Refuse(pProblem, "expected a non-empty list of [frame, value] keys", lKeys, ".keys");
  std::set<long long> lFrames;
  for (size_t i = 0; i < lKeys.size(); ++i) {
    const std::string lPlace = ".keys[" + std::to_string(i) + "]";
    const SceneJson& lKey = lKeys[i];
    if (!lKey.is_array() || lKey.size() != 2)
      return Refuse(pProblem, "expected [frame, value]", lKey, lPlace);
    const SceneJson& lFrame = lKey[0];
    const bool lWhole =
        lFrame.is_number_integer() &&
        (lFrame.is_number_unsigned()
             ? lFrame.get<unsigned long long>() <= static_cast<unsigned long long>(kMaxSceneFrame)
             : lFrame.get<long long>() >= -kMaxSceneFrame &&
                   lFrame.get<long long>() <= kMaxSceneFrame);
    if (!lWhole) {
      return Refuse(pProblem,
                    "expected a whole frame number from " + std::to_string(-kMaxSceneFrame) +
                        " to " + std::to_string(kMaxSceneFrame),
                    lFrame, lPlace + "[0]");
    }
    ParsedKey lParsed{lFrame.get<long long>(), {0.0, 0.0, 0.0, 0.0}};
    if (!lFrames.insert(lParsed.frame).second)
      return Refuse(pProblem, "expected each frame once", lFrame, lPlace + "[0]");
    if (!pRead(lKey[1], lParsed.data, pProblem)) {
      if (pProblem) pProblem->place = lPlace + "[1]" + pProblem->place;
      return false;
    }
    pKeys->push_back(lParsed);
  }
  return true;
}

// Reads one value of the property's kind as animation data.
bool ReadKeyValue(FBPropertyType pType, const SceneJson& pValue, double* pData,
                  ValueProblem* pProblem) {
  switch (pType) {
    case kFBPT_bool: {
      bool lValue = false;
      if (!ReadBool(pValue, &lValue, pProblem)) return false;
      pData[0] = lValue ? 1.0 : 0.0;
      return true;
    }
    case kFBPT_int:
    case kFBPT_enum: {
      int lValue = 0;
      if (!ReadInt(pValue, &lValue, pProblem)) return false;
      pData[0] = lValue;
      return true;
    }
    case kFBPT_double:
      return ReadDouble(pValue, pData, pProblem);
    case kFBPT_ColorRGBA: {
      FBColorAndAlpha lValue;
      if (!ReadColour(pValue, &lValue, pProblem)) return false;
      for (int i = 0; i < 4; ++i) pData[i] = lValue[i];
      return true;
    }
    case kFBPT_TimeCode: {
      RawTimeCode lValue;
      if (!ReadTimeCode(pValue, &lValue, pProblem)) return false;
      pData[0] = lValue.seconds;
      pData[1] = lValue.frames;
      return true;
    }
    default:
      return false;
  }
}

FBTime AtFrame(long long pFrame) {
  FBTime lTime;
  lTime.SetFrame(pFrame);
  return lTime;
}

// Replaces the property's keys; the property must be animatable.
void SetKeys(FBPropertyAnimatable& pProperty, const std::vector<ParsedKey>& pKeys,
             FBInterpolation pInterpolation) {
  pProperty.SetAnimated(false);
  pProperty.SetAnimated(true);
  FBAnimationNode* lNode = pProperty.GetAnimationNode();
  if (!lNode) return;
  for (ParsedKey lKey : pKeys) lNode->KeyAdd(AtFrame(lKey.frame), lKey.data, pInterpolation);
}

bool JsonToKeys(const SceneJson& pValue, FBProperty& pProperty, ValueProblem* pProblem) {
  FBPropertyAnimatable* lAnimatable = Animatable(pProperty);
  if (!lAnimatable) {
    return Refuse(pProblem, "expected a single value: this property cannot be animated", pValue);
  }
  const FBPropertyType lType = pProperty.GetPropertyType();
  std::vector<ParsedKey> lKeys;
  FBInterpolation lInterpolation = kFBInterpolationCubic;
  if (!ParseKeys(
          pValue,
          [lType](const SceneJson& pKey, double* pData, ValueProblem* pKeyProblem) {
            return ReadKeyValue(lType, pKey, pData, pKeyProblem);
          },
          &lKeys, &lInterpolation, pProblem)) {
    return false;
  }
  SetKeys(*lAnimatable, lKeys, lInterpolation);
  return true;
}

// The play range's first frame and the frame the running keys end on.
std::pair<long long, long long> RunningSpan() {
  FBPlayerControl lTransport;
  const long long lStart = static_cast<FBTime>(lTransport.LoopStart).GetFrame();
  const long long lStop = static_cast<FBTime>(lTransport.LoopStop).GetFrame();
  return {lStart, std::max(lStop, lStart + 1)};
}

// A running timecode, as a live stream feeds it: two linear keys, one frame
// of timecode per scene frame across the play range.
bool SetRunning(FBProperty& pProperty, const RawTimeCode& pStart, const SceneJson& pValue,
                ValueProblem* pProblem) {
  FBPropertyAnimatable* lAnimatable = Animatable(pProperty);
  if (!lAnimatable)
    return Refuse(pProblem, "expected a still timecode: this property cannot be animated", pValue);
  const std::pair<long long, long long> lSpan = RunningSpan();
  std::vector<ParsedKey> lKeys = {
      {lSpan.first, {pStart.seconds, pStart.frames, 0.0, 0.0}},
      {lSpan.second,
       {pStart.seconds, pStart.frames + static_cast<double>(lSpan.second - lSpan.first), 0.0,
        0.0}}};
  SetKeys(*lAnimatable, lKeys, kFBInterpolationLinear);
  return true;
}

int RoundToInt(double pValue) {
  const double lRounded = std::round(pValue);
  if (std::isnan(lRounded)) return 0;
  if (lRounded >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (lRounded <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(lRounded);
}

SceneJson TimeCodeJson(double pSeconds, double pFrames, double pRate) {
  RawTimeCode lRaw{pSeconds, pFrames, pRate};
  FBTimeCode lCode;
  static_assert(sizeof(lRaw) == sizeof(lCode), "the SDK's raw timecode");
  std::memcpy(static_cast<void*>(&lCode), &lRaw, sizeof(lCode));
  return FormatTimeCode(lCode);
}

SceneJson DataToJson(FBPropertyType pType, const double* pData, double pRate) {
  switch (pType) {
    case kFBPT_bool:
      return pData[0] != 0.0;
    case kFBPT_int:
    case kFBPT_enum:
      return RoundToInt(pData[0]);
    case kFBPT_ColorRGBA:
      return SceneJson::array({pData[0], pData[1], pData[2], pData[3]});
    case kFBPT_TimeCode:
      return SceneJson{{"timecode", TimeCodeJson(pData[0], pData[1], pRate)}};
    default:
      return pData[0];
  }
}

// The keys' file form; null when the property has none.
SceneJson KeysToJson(FBProperty& pProperty) {
  FBPropertyAnimatable* lAnimatable = Animatable(pProperty);
  FBAnimationNode* lNode = lAnimatable ? lAnimatable->GetAnimationNode() : nullptr;
  if (!lNode || lNode->KeyCount() == 0) return nullptr;
  const FBPropertyType lType = pProperty.GetPropertyType();
  FBFCurve& lCurve = *lNode->FCurve;
  RawTimeCode lRaw;
  if (lType == kFBPT_TimeCode) pProperty.GetData(&lRaw, sizeof(lRaw));
  double lData[4] = {0.0, 0.0, 0.0, 0.0};
  if (lType == kFBPT_TimeCode && lCurve.KeyCount() == 2 &&
      lCurve.KeyGetInterpolation(0) == kFBInterpolationLinear) {
    const std::pair<long long, long long> lSpan = RunningSpan();
    if (lCurve.KeyGetTime(0) == AtFrame(lSpan.first) &&
        lCurve.KeyGetTime(1) == AtFrame(lSpan.second) &&
        lCurve.KeyGetValue(1) - lCurve.KeyGetValue(0) ==
            static_cast<double>(lSpan.second - lSpan.first)) {
      lNode->Evaluate(lData, lCurve.KeyGetTime(0), false);
      return SceneJson{{"timecode", TimeCodeJson(lData[0], lData[1], lRaw.rate)},
                       {"running", true}};
    }
  }
  SceneJson lKeys = SceneJson::array();
  for (int i = 0; i < lCurve.KeyCount(); ++i) {
    const FBTime lTime = lCurve.KeyGetTime(i);
    lNode->Evaluate(lData, lTime, false);
    lKeys.push_back(SceneJson::array({lTime.GetFrame(), DataToJson(lType, lData, lRaw.rate)}));
  }
  const int lInterpolation = lCurve.KeyGetInterpolation(0);
  return SceneJson{{"keys", lKeys}, {"interpolation", kInterpolationNames[lInterpolation]}};
}

}  // namespace

std::string DumpJson(const SceneJson& pValue, int pIndent) {
  return pValue.dump(pIndent, ' ', false, SceneJson::error_handler_t::replace);
}

std::string DescribeJson(const SceneJson& pValue) {
  switch (pValue.type()) {
    case SceneJson::value_t::null:
      return "got null";
    case SceneJson::value_t::object:
      return "got an object";
    case SceneJson::value_t::array:
      return "got a list";
    default:
      break;
  }
  std::string lText = DumpJson(pValue);
  if (lText.size() > 40) lText = lText.substr(0, 37) + "...";
  return "got " + lText;
}

const char* SceneKindName(FBProperty& pProperty) {
  switch (pProperty.GetPropertyType()) {
    case kFBPT_bool:
      return "bool";
    case kFBPT_int:
    case kFBPT_enum:
      return "integer";
    case kFBPT_double:
      return "number";
    case kFBPT_charptr:
      return "string";
    case kFBPT_ColorRGBA:
      return "colour";
    case kFBPT_TimeCode:
      return "timecode";
    case kFBPT_object:
      return AsList(pProperty) ? "object list" : nullptr;
    default:
      return nullptr;
  }
}

SceneJson PropertyToJson(FBProperty& pProperty) {
  SceneJson lKeys = KeysToJson(pProperty);
  if (!lKeys.is_null()) return lKeys;
  switch (pProperty.GetPropertyType()) {
    case kFBPT_bool: {
      bool lValue = false;
      pProperty.GetData(&lValue, sizeof(lValue));
      return lValue;
    }
    case kFBPT_int:
    case kFBPT_enum: {
      int lValue = 0;
      pProperty.GetData(&lValue, sizeof(lValue));
      return lValue;
    }
    case kFBPT_double: {
      double lValue = 0.0;
      pProperty.GetData(&lValue, sizeof(lValue));
      return lValue;
    }
    case kFBPT_charptr: {
      const char* lText = nullptr;
      pProperty.GetData(&lText, sizeof(lText));
      return lText ? lText : "";
    }
    case kFBPT_ColorRGBA: {
      FBColorAndAlpha lColour;
      pProperty.GetData(&lColour, sizeof(lColour));
      return SceneJson::array({lColour[0], lColour[1], lColour[2], lColour[3]});
    }
    case kFBPT_TimeCode: {
      FBTimeCode lCode;
      pProperty.GetData(&lCode, sizeof(lCode));
      return SceneJson{{"timecode", FormatTimeCode(lCode)}};
    }
    case kFBPT_object: {
      FBPropertyListObject* lList = AsList(pProperty);
      if (!lList) return nullptr;
      SceneJson lNames = SceneJson::array();
      for (int i = 0; i < lList->GetCount(); ++i) {
        FBComponent* lItem = lList->GetAt(i);
        lNames.push_back(NameOf(lItem));
      }
      return lNames;
    }
    default:
      return nullptr;
  }
}

bool IsKeyedJson(const SceneJson& pValue) { return pValue.is_object() && pValue.contains("keys"); }

bool CheckKeyedJson(const SceneJson& pValue,
                    const std::function<bool(const SceneJson&, ValueProblem*)>& pCheckValue,
                    ValueProblem* pProblem) {
  std::vector<ParsedKey> lKeys;
  FBInterpolation lInterpolation = kFBInterpolationCubic;
  return ParseKeys(
      pValue,
      [&pCheckValue](const SceneJson& pKey, double*, ValueProblem* pKeyProblem) {
        return pCheckValue(pKey, pKeyProblem);
      },
      &lKeys, &lInterpolation, pProblem);
}

bool JsonToProperty(const SceneJson& pValue, FBProperty& pProperty, const ComponentLookup& pLookup,
                    ValueProblem* pProblem) {
  if (IsKeyedJson(pValue)) return JsonToKeys(pValue, pProperty, pProblem);
  switch (pProperty.GetPropertyType()) {
    case kFBPT_bool: {
      bool lValue = false;
      if (!ReadBool(pValue, &lValue, pProblem)) return false;
      pProperty.SetData(&lValue);
      return true;
    }
    case kFBPT_int:
    case kFBPT_enum: {
      int lValue = 0;
      if (!ReadInt(pValue, &lValue, pProblem)) return false;
      pProperty.SetData(&lValue);
      return true;
    }
    case kFBPT_double: {
      double lValue = 0.0;
      if (!ReadDouble(pValue, &lValue, pProblem)) return false;
      pProperty.SetData(&lValue);
      return true;
    }
    case kFBPT_charptr: {
      std::string lValue;
      if (!ReadString(pValue, &lValue, pProblem)) return false;
      const char* lText = lValue.c_str();
      pProperty.SetData(&lText);
      return true;
    }
    case kFBPT_ColorRGBA: {
      FBColorAndAlpha lValue;
      if (!ReadColour(pValue, &lValue, pProblem)) return false;
      pProperty.SetData(&lValue);
      return true;
    }
    case kFBPT_TimeCode: {
      // Keep the rate the property already counts in.
      RawTimeCode lValue;
      pProperty.GetData(&lValue, sizeof(lValue));
      bool lRunning = false;
      if (!ReadTimeCode(pValue, &lValue, pProblem, &lRunning)) return false;
      if (lRunning) return SetRunning(pProperty, lValue, pValue, pProblem);
      static_assert(sizeof(lValue) == sizeof(FBTimeCode), "the SDK's raw timecode");
      pProperty.SetData(&lValue);
      return true;
    }
    case kFBPT_object: {
      FBPropertyListObject* lList = AsList(pProperty);
      if (!lList) break;
      const char* lExpected = "expected a list of object or camera names";
      if (!pValue.is_array()) return Refuse(pProblem, lExpected, pValue);
      std::vector<FBComponent*> lItems;
      for (size_t i = 0; i < pValue.size(); ++i) {
        const std::string lPlace = "[" + std::to_string(i) + "]";
        const SceneJson& lName = pValue[i];
        if (!lName.is_string()) return Refuse(pProblem, lExpected, lName, lPlace);
        FBComponent* lItem = pLookup ? pLookup(lName.get<std::string>()) : nullptr;
        if (!lItem) {
          return Refuse(pProblem, "expected the name of an object or of the camera", lName, lPlace);
        }
        if (std::find(lItems.begin(), lItems.end(), lItem) != lItems.end())
          return Refuse(pProblem, "expected each name once", lName, lPlace);
        lItems.push_back(lItem);
      }
      // Each change is notified, so whoever watches the list binds to its items itself.
      lList->RemoveAll();
      for (FBComponent* lItem : lItems) lList->Add(lItem);
      return true;
    }
    default:
      break;
  }
  if (pProblem) {
    pProblem->place.clear();
    pProblem->expected = "this property's kind cannot be set from a scene file";
  }
  return false;
}

FBPropertyType KindOfJson(const SceneJson& pValue, ValueProblem* pProblem) {
  bool lBool = false;
  int lInt = 0;
  double lDouble = 0.0;
  std::string lText;
  RawTimeCode lCode;
  if (IsKeyedJson(pValue)) {
    // The first key decides; any fraction among whole numbers makes them numbers.
    const SceneJson& lKeys = pValue["keys"];
    if (!lKeys.is_array() || lKeys.empty() || !lKeys[0].is_array() || lKeys[0].size() != 2) {
      Refuse(pProblem, "expected a non-empty list of [frame, value] keys", lKeys, ".keys");
      return kFBPT_unknown;
    }
    const SceneJson& lFirst = lKeys[0][1];
    if (IsKeyedJson(lFirst)) {
      Refuse(pProblem, "expected a value", lFirst, ".keys[0][1]");
      return kFBPT_unknown;
    }
    FBPropertyType lType = KindOfJson(lFirst, pProblem);
    if (lType == kFBPT_unknown) {
      if (pProblem) pProblem->place = ".keys[0][1]" + pProblem->place;
      return kFBPT_unknown;
    }
    if (lType == kFBPT_charptr) {
      Refuse(pProblem, "expected a value that can be animated (not a string)", lFirst,
             ".keys[0][1]");
      return kFBPT_unknown;
    }
    for (const SceneJson& lKey : lKeys) {
      if (lType == kFBPT_int && lKey.is_array() && lKey.size() == 2 && lKey[1].is_number_float())
        lType = kFBPT_double;
    }
    return lType;
  }
  if (pValue.is_boolean()) return ReadBool(pValue, &lBool, pProblem) ? kFBPT_bool : kFBPT_unknown;
  if (pValue.is_number_integer())
    return ReadInt(pValue, &lInt, pProblem) ? kFBPT_int : kFBPT_unknown;
  if (pValue.is_number())
    return ReadDouble(pValue, &lDouble, pProblem) ? kFBPT_double : kFBPT_unknown;
  if (pValue.is_string())
    return ReadString(pValue, &lText, pProblem) ? kFBPT_charptr : kFBPT_unknown;
  bool lRunning = false;
  if (pValue.is_object())
    return ReadTimeCode(pValue, &lCode, pProblem, &lRunning) ? kFBPT_TimeCode : kFBPT_unknown;
  Refuse(pProblem, "expected true/false, a number, a string or {\"timecode\": \"HH:MM:SS:FF\"}",
         pValue);
  return kFBPT_unknown;
}

}  // namespace fbhost

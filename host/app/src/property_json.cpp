#include "fbhost/property_json.h"

#include <fbsdk/runtime.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <regex>
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
bool ReadTimeCode(const SceneJson& pValue, RawTimeCode* pOut, ValueProblem* pProblem) {
  if (!pValue.is_object() || pValue.size() != 1 || !pValue.contains("timecode"))
    return Refuse(pProblem, kTimeCodeForm, pValue);
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
  return true;
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
        lNames.push_back(lItem ? static_cast<const char*>(lItem->Name) : "");
      }
      return lNames;
    }
    default:
      return nullptr;
  }
}

bool JsonToProperty(const SceneJson& pValue, FBProperty& pProperty, const ComponentLookup& pLookup,
                    ValueProblem* pProblem) {
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
      if (!ReadTimeCode(pValue, &lValue, pProblem)) return false;
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
  if (pValue.is_boolean()) return ReadBool(pValue, &lBool, pProblem) ? kFBPT_bool : kFBPT_unknown;
  if (pValue.is_number_integer())
    return ReadInt(pValue, &lInt, pProblem) ? kFBPT_int : kFBPT_unknown;
  if (pValue.is_number())
    return ReadDouble(pValue, &lDouble, pProblem) ? kFBPT_double : kFBPT_unknown;
  if (pValue.is_string())
    return ReadString(pValue, &lText, pProblem) ? kFBPT_charptr : kFBPT_unknown;
  if (pValue.is_object())
    return ReadTimeCode(pValue, &lCode, pProblem) ? kFBPT_TimeCode : kFBPT_unknown;
  Refuse(pProblem, "expected true/false, a number, a string or {\"timecode\": \"HH:MM:SS:FF\"}",
         pValue);
  return kFBPT_unknown;
}

}  // namespace fbhost

#pragma once
// Property values in their scene-file form, shared by the scene reader, the
// scene writer and property listings.

#include <fbsdk/fbsdk.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

namespace fbhost {

// Scene files keep keys in the order they were written.
using SceneJson = nlohmann::ordered_json;

// Frame numbers keep well inside the tick counter at any allowed rate.
constexpr long long kMaxSceneFrame = 100000000;

// What scene files call the property's kind: "bool", "integer", "number",
// "string", "colour", "timecode" or "object list"; null for a kind they
// cannot carry.
const char* SceneKindName(ORSDK2014::FBProperty& pProperty);

// The property's value as a scene file writes it: true/false, a whole number,
// a number, a string, [r, g, b, a], {"timecode": "HH:MM:SS:FF"} or a list of
// component names; a keyed property gives {"keys": [[frame, value], ...],
// "interpolation": name}, or {"timecode": ..., "running": true} for a
// timecode keyed as a running one. JSON null for a kind scene files cannot
// carry.
SceneJson PropertyToJson(ORSDK2014::FBProperty& pProperty);

// Why a value was refused: where inside the value ("", "[2]", ".timecode")
// and what was expected there.
struct ValueProblem {
  std::string place;
  std::string expected;
};

// Finds a list item by its name; null when there is none.
using ComponentLookup = std::function<ORSDK2014::FBComponent*(const std::string&)>;

// Sets the property from its scene-file form, keys included (a running
// timecode starts at the play range's start). False, with pProblem filled and
// the property unchanged, when the value does not suit the property's kind.
bool JsonToProperty(const SceneJson& pValue, ORSDK2014::FBProperty& pProperty,
                    const ComponentLookup& pLookup, ValueProblem* pProblem);

// Whether a value is in keyed form: an object with "keys".
bool IsKeyedJson(const SceneJson& pValue);

// Checks a keyed value's form: a non-empty list of [frame, value] pairs with
// whole frames, each frame once, and "interpolation" one of "constant",
// "linear" or "cubic"; pCheckValue checks each key's value.
bool CheckKeyedJson(const SceneJson& pValue,
                    const std::function<bool(const SceneJson&, ValueProblem*)>& pCheckValue,
                    ValueProblem* pProblem);

// The kind a custom property takes from its value's form (bool, whole number,
// other number, string, timecode; for keys, the first key's value's form, a
// number when any key's value has a fraction); kFBPT_unknown, with pProblem filled, when
// the value is none of these or out of range for its kind.
ORSDK2014::FBPropertyType KindOfJson(const SceneJson& pValue, ValueProblem* pProblem);

// JSON text of a value. A plug-in's strings need not be UTF-8: bytes that are
// not are written as U+FFFD instead of failing.
std::string DumpJson(const SceneJson& pValue, int pIndent = -1);

// A short description of a JSON value for messages: "got 12", "got a list".
std::string DescribeJson(const SceneJson& pValue);

}  // namespace fbhost

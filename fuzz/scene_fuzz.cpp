// libFuzzer target: bytes as a scene file. When they parse, the scene is built
// through the real plug-in and one 64 x 36 frame is rendered.
//
// Byte-level mutations rarely keep JSON valid, so half the mutations edit the
// parsed document instead: values of any kind put in any place, keys of the
// format and the element's own property names added, entries dropped or
// repeated.

#include <fbhost/offscreen_viewer.h>
#include <fbhost/plugin_loader.h>
#include <fbhost/property_json.h>
#include <fbhost/scene.h>
#include <fbsdk/runtime.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "scene_driver.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* pData, size_t pSize, size_t pMaxSize);

namespace {

using fbhost::SceneJson;

std::unique_ptr<fbhost::PluginLibrary> gPlugin;
std::unique_ptr<fbhost::OffscreenViewer> gViewer;
std::string gBaseDir;
// Keys the format knows, names sources are searched for, and (filled at
// start) every property name the element publishes.
std::vector<std::string> gKeys = {
    "viewport",     "width",         "height",     "fps",          "transport",     "start",
    "stop",         "frame",         "recording",  "playing",      "take",          "camera",
    "name",         "aperture_mode", "film_width", "film_height",  "fov",           "fov_x",
    "focal_length", "resolution",    "properties", "objects",      "elements",      "background",
    "plate",        "timecode",      "master",     "amc:timecode", "Timecode",      "TimeCode",
    "TCHour",       "TCMinute",      "TCSecond",   "TCFrame",      "ShowCrosshair", "footage",
    "object",       "ltc_channel",   "Footage",    "rate"};

void AddElementPropertyNames() {
  fbhost::Scene lScene;
  ORSDK2014::FBHUDElement* lElement = lScene.CreateElement("VexaHUDElement", "names");
  if (!lElement) vexafuzz::Die("the plug-in made no element");
  for (int i = fbhost::HUDElementBasePropertyCount(); i < lElement->PropertyList.GetCount(); ++i)
    gKeys.push_back(lElement->PropertyList[i].GetName());
}

class Editor {
 public:
  explicit Editor(unsigned pSeed) : mRandom(pSeed) {}

  // Edits pRoot in place; false when nothing could be done.
  bool Edit(SceneJson& pRoot) {
    std::vector<SceneJson*> lNodes;
    Collect(pRoot, lNodes);
    SceneJson& lNode = *lNodes[Below(lNodes.size())];
    switch (Below(4)) {
      case 0:
        if (&lNode == &pRoot) return false;
        lNode = Value(pRoot);
        return true;
      case 1:
        if (!lNode.is_object()) return false;
        lNode[Key()] = Value(pRoot);
        return true;
      case 2:
        if (lNode.empty() || !(lNode.is_object() || lNode.is_array())) return false;
        if (lNode.is_object()) {
          auto lAt = lNode.begin();
          std::advance(lAt, static_cast<std::ptrdiff_t>(Below(lNode.size())));
          const std::string lKey = lAt.key();
          lNode.erase(lKey);
        } else {
          lNode.erase(Below(lNode.size()));
        }
        return true;
      default:
        if (!lNode.is_array()) return false;
        lNode.push_back(!lNode.empty() && Below(2) ? SceneJson(lNode[Below(lNode.size())])
                                                   : Value(pRoot));
        return true;
    }
  }

 private:
  size_t Below(size_t pCount) {
    return std::uniform_int_distribution<size_t>(0, pCount - 1)(mRandom);
  }

  static void Collect(SceneJson& pNode, std::vector<SceneJson*>& pNodes) {
    pNodes.push_back(&pNode);
    if (pNode.is_structured())
      for (SceneJson& lChild : pNode) Collect(lChild, pNodes);
  }

  const std::string& Key() { return gKeys[Below(gKeys.size())]; }

  // A name the document already uses, so lists can refer to it.
  std::string Name(const SceneJson& pRoot) {
    std::vector<std::string> lNames;
    auto lNameOf = [&lNames](const SceneJson& pEntry) {
      if (pEntry.is_object() && pEntry.contains("name") && pEntry["name"].is_string())
        lNames.push_back(pEntry["name"].get<std::string>());
    };
    if (pRoot.is_object() && pRoot.contains("objects") && pRoot["objects"].is_array())
      for (const SceneJson& lEntry : pRoot["objects"]) lNameOf(lEntry);
    if (pRoot.is_object() && pRoot.contains("camera")) lNameOf(pRoot["camera"]);
    if (lNames.empty() || Below(4) == 0) return Key();
    return lNames[Below(lNames.size())];
  }

  std::string Part(bool pWide) {
    static const char* const kParts[] = {"0", "-1", "59", "60", "-59", "99", "00"};
    static const char* const kWide[] = {"9999999999999999", "-9999999999999999", "2147483648", "24",
                                        "1000000"};
    return pWide && Below(2) ? kWide[Below(5)] : kParts[Below(7)];
  }

  SceneJson Value(const SceneJson& pRoot) {
    static const double kNumbers[] = {
        0.0,    -0.0,       0.5,          1.0,           -1.0,  3.0,   1e308,  -1e308,
        1e-308, 2147483647, 2147483648.0, -2147483649.0, 16384, 16385, 1000.0, 1e6};
    switch (Below(11)) {
      case 0:
        return nullptr;
      case 1:
        return Below(2) == 0;
      case 2:
        return kNumbers[Below(sizeof(kNumbers) / sizeof(kNumbers[0]))];
      case 3:
        return static_cast<long long>(mRandom()) - 1000000000LL;
      case 4: {
        static const long long kWhole[] = {0,
                                           1,
                                           -1,
                                           2147483647,
                                           2147483648LL,
                                           -2147483648LL,
                                           -2147483649LL,
                                           100000000,
                                           -100000000,
                                           100000001,
                                           9007199254740993LL};
        return kWhole[Below(sizeof(kWhole) / sizeof(kWhole[0]))];
      }
      case 5:
        return Name(pRoot);
      case 6: {
        std::string lText(Below(2) ? Below(40) : Below(3000), 'W');
        for (char& lChar : lText) lChar = static_cast<char>(' ' + Below(95));
        return lText;
      }
      case 7: {
        SceneJson lColour = SceneJson::array();
        for (int i = 0; i < 4; ++i) lColour.push_back(Below(4) ? Below(101) / 100.0 : 1.5);
        return lColour;
      }
      case 8:
        return SceneJson{{"timecode", Part(true) + ":" + Part(false) + ":" + Part(false) +
                                          (Below(2) ? ":" : ";") + Part(true)}};
      case 9: {
        SceneJson lList = SceneJson::array();
        for (size_t i = Below(4); i > 0; --i) lList.push_back(Name(pRoot));
        return lList;
      }
      default:
        return Below(2) ? SceneJson::object() : SceneJson::array();
    }
  }

  std::minstd_rand mRandom;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vexafuzz::QuietQt();
  std::string lError;
  gPlugin = fbhost::PluginLibrary::Load(fbhost::DefaultPluginPath(), &lError);
  if (!gPlugin) vexafuzz::Die("cannot load the plug-in: " + lError);
  gViewer = vexafuzz::MakeViewer(vexafuzz::kSceneFrameWidth, vexafuzz::kSceneFrameHeight);
  AddElementPropertyNames();
  gBaseDir = vexafuzz::EmptyFolder();
  vexafuzz::CheckLeaksBeforeExit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  gViewer->MakeCurrent();
  vexafuzz::RunSceneInput(pData, pSize, *gViewer, gBaseDir);
  return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* pData, size_t pSize, size_t pMaxSize,
                                          unsigned int pSeed) {
  if (pSeed % 2 == 0) return LLVMFuzzerMutate(pData, pSize, pMaxSize);
  SceneJson lRoot = SceneJson::parse(pData, pData + pSize, nullptr, false);
  Editor lEditor(pSeed);
  if (lRoot.is_discarded() || !lEditor.Edit(lRoot)) return LLVMFuzzerMutate(pData, pSize, pMaxSize);
  const std::string lText = lRoot.dump(-1, ' ', false, SceneJson::error_handler_t::replace);
  if (lText.size() > pMaxSize) return LLVMFuzzerMutate(pData, pSize, pMaxSize);
  std::memcpy(pData, lText.data(), lText.size());
  return lText.size();
}

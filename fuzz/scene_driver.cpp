#include "scene_driver.h"

#include <fbhost/scene.h>
#include <fbhost/scene_file.h>
#include <fbsdk/runtime.h>

namespace vexafuzz {

namespace {

// Scenes may name a picture by path. Absolute paths and ".." could reach a
// device or a pipe that blocks; relative paths under pBaseDir and Qt resource
// paths (":/...") stay in.
bool ReachesOutside(const std::string& pText) {
  const fbhost::SceneJson lRoot = fbhost::SceneJson::parse(pText, nullptr, false);
  if (!lRoot.is_object() || !lRoot.contains("background")) return false;
  const fbhost::SceneJson& lBackground = lRoot["background"];
  if (!lBackground.is_string()) return false;
  const std::string& lPath = lBackground.get_ref<const std::string&>();
  return lPath.find('/') == 0 || lPath.find("..") != std::string::npos;
}

// Each element loads its own fonts; more than a few only slow the search.
const size_t kMaxElements = 4;

}  // namespace

void RunSceneInput(const uint8_t* pData, size_t pSize, fbhost::OffscreenViewer& pViewer,
                   const std::string& pBaseDir) {
  const std::string lText(reinterpret_cast<const char*>(pData), pSize);
  if (ReachesOutside(lText)) return;
  fbhost::SceneDescription lDescription;
  std::string lError;
  if (!fbhost::ParseScene(lText, "fuzz.json", pBaseDir, &lDescription, &lError)) return;
  if (lDescription.elements.size() > kMaxElements) return;

  fbhost::Scene lScene;
  if (fbhost::BuildScene(lDescription, lScene, "VexaHUDElement", &lError) ==
      fbhost::BuildResult::kBuilt) {
    pViewer.Resize(kSceneFrameWidth, kSceneFrameHeight);
    fbhost::ApplyBackground(lDescription, pViewer);
    pViewer.RenderFrame(lScene.Elements(), fbhost::CurrentCamera());
    // Reading back waits for the rasteriser, so a fault in drawing shows here.
    pViewer.ReadPixels();
  }
}

}  // namespace vexafuzz

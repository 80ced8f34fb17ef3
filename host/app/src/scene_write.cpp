// Describing a Scene as it stands and writing it as a scene file.

#include <fbhost/components.h>
#include <fbsdk/runtime.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <cmath>
#include <tuple>

#include "fbhost/scene_file.h"

namespace fbhost {

using namespace ORSDK2014;

namespace {

std::vector<SceneDescription::CustomProperty> Customs(const Scene& pScene, FBComponent* pOwner) {
  std::vector<SceneDescription::CustomProperty> lCustoms;
  for (FBProperty* lProperty : pScene.CustomProperties(pOwner)) {
    lCustoms.push_back(
        {lProperty->GetName(), lProperty->GetPropertyType(), PropertyToJson(*lProperty)});
  }
  return lCustoms;
}

SceneJson CustomsToJson(const std::vector<SceneDescription::CustomProperty>& pProperties) {
  SceneJson lProperties = SceneJson::object();
  for (const SceneDescription::CustomProperty& lProperty : pProperties)
    lProperties[lProperty.name] = lProperty.value;
  return lProperties;
}

// An NTSC rate is written as people write it (29.97, not 29.97002997...),
// which reads back as the same exact rate.
double WrittenFrameRate(const Scene& pScene) {
  long long lNumerator = 0, lDenominator = 1;
  const double lRate = pScene.FrameRate();
  if (FrameRateFraction(lNumerator, lDenominator) && lDenominator == 1001)
    return std::round(lRate * 1000.0) / 1000.0;
  return lRate;
}

}  // namespace

SceneDescription DescribeScene(const Scene& pScene, const SceneDescription& pSettings) {
  SceneDescription lScene;
  lScene.source = pSettings.source;
  lScene.width = pSettings.width;
  lScene.height = pSettings.height;
  lScene.background = pSettings.background;
  lScene.fps = WrittenFrameRate(pScene);
  lScene.start = pScene.PlayStartFrame();
  lScene.stop = pScene.PlayStopFrame();
  lScene.frame = pScene.Frame();
  lScene.recording = pScene.IsRecording();
  lScene.playing = pScene.IsPlaying();
  if (FBTake* lTake = pScene.CurrentTake()) lScene.take = NameOf(lTake);
  if (FBCamera* lCurrent = pScene.CurrentCamera()) {
    SceneDescription::Camera lCamera;
    lCamera.name = NameOf(lCurrent);
    lCamera.apertureMode = static_cast<FBCameraApertureMode>(lCurrent->ApertureMode);
    const std::tuple<const char*, FBPropertyAnimatableDouble*, double*> lAnimatable[] = {
        {"film_width", &lCurrent->FilmSizeWidth, &lCamera.filmWidth},
        {"film_height", &lCurrent->FilmSizeHeight, &lCamera.filmHeight},
        {"fov", &lCurrent->FieldOfView, &lCamera.fov},
        {"fov_x", &lCurrent->FieldOfViewX, &lCamera.fovX},
        {"focal_length", &lCurrent->FocalLength, &lCamera.focalLength}};
    for (const auto& lField : lAnimatable) {
      *std::get<2>(lField) = *std::get<1>(lField);
      SceneJson lValue = PropertyToJson(*std::get<1>(lField));
      if (IsKeyedJson(lValue)) lCamera.keyed[std::get<0>(lField)] = lValue;
    }
    lCamera.resolutionWidth = lCurrent->ResolutionWidth;
    lCamera.resolutionHeight = lCurrent->ResolutionHeight;
    lCamera.properties = Customs(pScene, lCurrent);
    lScene.camera = lCamera;
  }
  // The footage's object comes from the background entry, not from the list.
  const bool lFootage = pSettings.background.kind == SceneDescription::BackgroundKind::kFootage;
  for (FBComponent* lObject : pScene.Objects()) {
    const std::string lName = NameOf(lObject);
    if (lFootage && lName == pSettings.background.footage.object) continue;
    lScene.objects.push_back({lName, Customs(pScene, lObject)});
  }
  for (FBHUDElement* lElement : pScene.Elements()) {
    SceneDescription::Element lDescription;
    lDescription.name = NameOf(lElement);
    for (FBProperty* lProperty : Scene::OwnProperties(lElement)) {
      if (SceneKindName(*lProperty))
        lDescription.properties.push_back({lProperty->GetName(), PropertyToJson(*lProperty)});
    }
    lScene.elements.push_back(lDescription);
  }
  return lScene;
}

SceneJson SceneToJson(const SceneDescription& pScene, const std::string& pBaseDir) {
  SceneJson lRoot = SceneJson::object();
  lRoot["format"] = kSceneFormatVersion;
  lRoot["viewport"] = {{"width", pScene.width}, {"height", pScene.height}};
  lRoot["fps"] = pScene.fps;
  lRoot["transport"] = {{"start", pScene.start},
                        {"stop", pScene.stop},
                        {"frame", pScene.frame},
                        {"recording", pScene.recording},
                        {"playing", pScene.playing}};
  lRoot["take"] = pScene.take ? SceneJson(*pScene.take) : SceneJson();
  if (pScene.camera) {
    const SceneDescription::Camera& lCamera = *pScene.camera;
    auto lValue = [&lCamera](const char* pKey, double pValue) {
      auto lKeys = lCamera.keyed.find(pKey);
      return lKeys != lCamera.keyed.end() ? lKeys->second : SceneJson(pValue);
    };
    lRoot["camera"] = {
        {"name", lCamera.name},
        {"aperture_mode", lCamera.apertureMode},
        {"film_width", lValue("film_width", lCamera.filmWidth)},
        {"film_height", lValue("film_height", lCamera.filmHeight)},
        {"fov", lValue("fov", lCamera.fov)},
        {"fov_x", lValue("fov_x", lCamera.fovX)},
        {"focal_length", lValue("focal_length", lCamera.focalLength)},
        {"resolution", {{"width", lCamera.resolutionWidth}, {"height", lCamera.resolutionHeight}}},
        {"properties", CustomsToJson(lCamera.properties)}};
  } else {
    lRoot["camera"] = nullptr;
  }
  lRoot["objects"] = SceneJson::array();
  for (const SceneDescription::Object& lObject : pScene.objects)
    lRoot["objects"].push_back(
        {{"name", lObject.name}, {"properties", CustomsToJson(lObject.properties)}});
  lRoot["elements"] = SceneJson::array();
  for (const SceneDescription::Element& lElement : pScene.elements) {
    SceneJson lProperties = SceneJson::object();
    for (const SceneDescription::Property& lProperty : lElement.properties)
      lProperties[lProperty.name] = lProperty.value;
    lRoot["elements"].push_back({{"name", lElement.name}, {"properties", lProperties}});
  }
  const SceneDescription::Background& lBackground = pScene.background;
  switch (lBackground.kind) {
    case SceneDescription::BackgroundKind::kNeutralPlate:
      lRoot["background"] = {{"plate", "neutral"}};
      break;
    case SceneDescription::BackgroundKind::kColour:
      lRoot["background"] = {lBackground.colour[0], lBackground.colour[1], lBackground.colour[2]};
      break;
    case SceneDescription::BackgroundKind::kPicture:
      lRoot["background"] = QDir(QString::fromStdString(pBaseDir))
                                .relativeFilePath(QString::fromStdString(lBackground.path))
                                .toStdString();
      break;
    case SceneDescription::BackgroundKind::kFootage:
      lRoot["background"] = {
          {"footage", QDir(QString::fromStdString(pBaseDir))
                          .relativeFilePath(QString::fromStdString(lBackground.path))
                          .toStdString()},
          {"object", lBackground.footage.object},
          {"timecode", lBackground.footage.timecode}};
      if (lBackground.footage.ltcChannel >= 0)
        lRoot["background"]["ltc_channel"] = lBackground.footage.ltcChannel;
      if (lBackground.footage.hudHeight == 0) {
        lRoot["background"]["hud_height"] = "native";
      } else if (lBackground.footage.hudHeight > 0) {
        lRoot["background"]["hud_height"] = lBackground.footage.hudHeight;
      }
      if (!lBackground.footage.ocio.empty()) {
        lRoot["background"]["ocio"] =
            QDir(QString::fromStdString(pBaseDir))
                .relativeFilePath(QString::fromStdString(lBackground.footage.ocio))
                .toStdString();
      }
      for (const auto& lName : {std::make_pair("colorspace", &lBackground.footage.colorspace),
                                std::make_pair("display", &lBackground.footage.display),
                                std::make_pair("view", &lBackground.footage.view)}) {
        if (!lName.second->empty()) lRoot["background"][lName.first] = *lName.second;
      }
      if (lBackground.footage.rateNumerator > 0) {
        const SceneDescription::Footage& lFootage = lBackground.footage;
        if (lFootage.rateDenominator == 1) {
          lRoot["background"]["rate"] = lFootage.rateNumerator;
        } else if (lFootage.rateDenominator == 1001 && lFootage.rateNumerator % 1000 == 0) {
          // As the NTSC rates are written: 23.976, 29.97.
          lRoot["background"]["rate"] = std::round(lFootage.rateNumerator / 1.001) / 1000.0;
        } else {
          lRoot["background"]["rate"] = std::to_string(lFootage.rateNumerator) + "/" +
                                        std::to_string(lFootage.rateDenominator);
        }
      }
      break;
  }
  return lRoot;
}

bool WriteSceneFile(const SceneDescription& pScene, const std::string& pPath, std::string* pError) {
  const QString lPath = QString::fromStdString(pPath);
  const std::string lBaseDir = QFileInfo(lPath).absolutePath().toStdString();
  const std::string lText = DumpJson(SceneToJson(pScene, lBaseDir), 2) + "\n";
  QSaveFile lFile(lPath);
  const bool lWritten = lFile.open(QIODevice::WriteOnly) &&
                        lFile.write(lText.data(), static_cast<qint64>(lText.size())) ==
                            static_cast<qint64>(lText.size()) &&
                        lFile.commit();
  if (!lWritten && pError)
    *pError = pPath + ": cannot write the scene: " + lFile.errorString().toStdString();
  return lWritten;
}

}  // namespace fbhost

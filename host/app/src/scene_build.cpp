// Building a Scene from a SceneDescription, as a host opens a scene file.

#include <fbhost/components.h>
#include <fbhost/neutral_plate.h>
#include <fbsdk/runtime.h>

#include <QString>

#include "fbhost/scene_file.h"

namespace fbhost {

using namespace ORSDK2014;

namespace {

std::string Quoted(const std::string& pText) { return DumpJson(pText); }

class Builder {
 public:
  Builder(const SceneDescription& pScene, Scene& pTarget, std::string* pError)
      : mScene(pScene), mTarget(pTarget), mError(pError) {}

  BuildResult Build(const char* pEntry);

 private:
  BuildResult Fail(BuildResult pResult, const std::string& pPlace, const std::string& pWhat) {
    if (mError) *mError = mScene.source + ": " + pPlace + ": " + pWhat;
    return pResult;
  }

  BuildResult AddCustomProperties(FBComponent* pOwner,
                                  const std::vector<SceneDescription::CustomProperty>& pProperties,
                                  const std::string& pPlace);
  BuildResult AddCamera();
  BuildResult AddFootageObject();
  BuildResult AddElement(const char* pEntry, size_t pIndex);
  // Finds a property the element publishes after those of the HUD-element base.
  FBProperty* OwnProperty(FBHUDElement* pElement, const std::string& pName) const;
  // " (did you mean ...?)" for a name that differs from a property's only in letter case.
  std::string NearName(FBHUDElement* pElement, const std::string& pName) const;

  const SceneDescription& mScene;
  Scene& mTarget;
  std::string* mError;
};

BuildResult Builder::AddCustomProperties(
    FBComponent* pOwner, const std::vector<SceneDescription::CustomProperty>& pProperties,
    const std::string& pPlace) {
  for (const SceneDescription::CustomProperty& lCustom : pProperties) {
    const std::string lPlace = pPlace + "." + Quoted(lCustom.name);
    if (pOwner->PropertyList.Find(lCustom.name.c_str())) {
      return Fail(BuildResult::kBadScene, lPlace,
                  "the component already has a property of that name");
    }
    FBProperty* lProperty = mTarget.AddCustomProperty(pOwner, lCustom.name.c_str(), lCustom.type);
    ValueProblem lProblem;
    if (!lProperty || !JsonToProperty(lCustom.value, *lProperty, nullptr, &lProblem))
      return Fail(BuildResult::kBadScene, lPlace + lProblem.place, lProblem.expected);
  }
  return BuildResult::kBuilt;
}

BuildResult Builder::AddCamera() {
  const SceneDescription::Camera& lSettings = *mScene.camera;
  FBCamera* lCamera = mTarget.AddCamera(lSettings.name.c_str());
  lCamera->ApertureMode = static_cast<FBCameraApertureMode>(lSettings.apertureMode);
  lCamera->FilmSizeWidth = lSettings.filmWidth;
  lCamera->FilmSizeHeight = lSettings.filmHeight;
  lCamera->FieldOfView = lSettings.fov;
  lCamera->FieldOfViewX = lSettings.fovX;
  lCamera->FocalLength = lSettings.focalLength;
  lCamera->ResolutionWidth = lSettings.resolutionWidth;
  lCamera->ResolutionHeight = lSettings.resolutionHeight;
  const std::pair<const char*, FBProperty*> lAnimatable[] = {
      {"film_width", &lCamera->FilmSizeWidth},
      {"film_height", &lCamera->FilmSizeHeight},
      {"fov", &lCamera->FieldOfView},
      {"fov_x", &lCamera->FieldOfViewX},
      {"focal_length", &lCamera->FocalLength}};
  for (const auto& lField : lAnimatable) {
    auto lKeys = lSettings.keyed.find(lField.first);
    ValueProblem lProblem;
    if (lKeys != lSettings.keyed.end() &&
        !JsonToProperty(lKeys->second, *lField.second, nullptr, &lProblem)) {
      return Fail(BuildResult::kBadScene, std::string("camera.") + lField.first + lProblem.place,
                  lProblem.expected);
    }
  }
  const BuildResult lResult =
      AddCustomProperties(lCamera, lSettings.properties, "camera.properties");
  mTarget.SetCurrentCamera(lCamera);
  return lResult;
}

// The footage as a timecode source, as a host shows a timecode stream: an
// object whose timecode property the program feeding the frames keeps current.
BuildResult Builder::AddFootageObject() {
  const std::string& lName = mScene.background.footage.object;
  if (mTarget.FindComponent(lName.c_str())) {
    return Fail(BuildResult::kBadScene, "background.object",
                Quoted(lName) + " is the name of another object or the camera");
  }
  FBComponent* lObject = mTarget.AddObject(lName.c_str());
  FBProperty* lTimecode =
      mTarget.AddCustomProperty(lObject, kFootageTimecodeProperty, kFBPT_TimeCode);
  if (!lTimecode)
    return Fail(BuildResult::kBadScene, "background", "cannot give the footage a timecode");
  FBTimeCode lZero(FBTimeCode::PAL_25);
  lZero.SetTimeCode(0, 0, 0, 0.0f);
  lTimecode->SetData(&lZero);
  return BuildResult::kBuilt;
}

FBProperty* Builder::OwnProperty(FBHUDElement* pElement, const std::string& pName) const {
  for (int i = HUDElementBasePropertyCount(); i < pElement->PropertyList.GetCount(); ++i) {
    FBProperty& lProperty = pElement->PropertyList[i];
    if (pName == lProperty.GetName()) return &lProperty;
  }
  return nullptr;
}

std::string Builder::NearName(FBHUDElement* pElement, const std::string& pName) const {
  const QString lWanted = QString::fromStdString(pName);
  for (int i = HUDElementBasePropertyCount(); i < pElement->PropertyList.GetCount(); ++i) {
    const char* lName = pElement->PropertyList[i].GetName();
    if (lWanted.compare(QString::fromUtf8(lName), Qt::CaseInsensitive) == 0)
      return std::string(" (did you mean ") + Quoted(lName) + "?)";
  }
  return "";
}

BuildResult Builder::AddElement(const char* pEntry, size_t pIndex) {
  const SceneDescription::Element& lSettings = mScene.elements[pIndex];
  const std::string lPlace = "elements[" + std::to_string(pIndex) + "]";
  FBHUDElement* lElement = mTarget.CreateElement(pEntry, lSettings.name.c_str());
  if (!lElement) {
    const bool lRegistered = FindRegisteredClass(kHUDElementGroup, pEntry) != nullptr;
    return Fail(BuildResult::kRefused, lPlace,
                lRegistered ? std::string("the plug-in refused to create the element")
                            : std::string("no HUD element class ") + pEntry + " is registered");
  }
  auto lLookup = [this](const std::string& pName) { return mTarget.FindComponent(pName.c_str()); };
  // Plain values first; lists last, since adding a source makes the element
  // bind to it and reset what it binds.
  for (bool lLists : {false, true}) {
    for (const SceneDescription::Property& lValue : lSettings.properties) {
      const std::string lValuePlace = lPlace + ".properties." + Quoted(lValue.name);
      FBProperty* lProperty = OwnProperty(lElement, lValue.name);
      if (!lProperty) {
        return Fail(BuildResult::kBadScene, lValuePlace,
                    "the element has no such property" + NearName(lElement, lValue.name));
      }
      if ((lProperty->GetPropertyType() == kFBPT_object) != lLists) continue;
      ValueProblem lProblem;
      if (!JsonToProperty(lValue.value, *lProperty, lLookup, &lProblem))
        return Fail(BuildResult::kBadScene, lValuePlace + lProblem.place, lProblem.expected);
    }
  }
  return BuildResult::kBuilt;
}

BuildResult Builder::Build(const char* pEntry) {
  // Elements arrive on a stopped transport, as when a host opens a scene.
  mTarget.SetTransport(false, false);
  mTarget.SetFrameRate(mScene.fps);
  mTarget.SetPlayRange(mScene.start, mScene.stop);
  mTarget.SetFrame(mScene.frame);
  if (mScene.take) mTarget.SetCurrentTake(mTarget.AddTake(mScene.take->c_str()));
  if (mScene.camera) {
    const BuildResult lResult = AddCamera();
    if (lResult != BuildResult::kBuilt) return lResult;
  }
  for (size_t i = 0; i < mScene.objects.size(); ++i) {
    const SceneDescription::Object& lSettings = mScene.objects[i];
    FBComponent* lObject = mTarget.AddObject(lSettings.name.c_str());
    const BuildResult lResult = AddCustomProperties(
        lObject, lSettings.properties, "objects[" + std::to_string(i) + "].properties");
    if (lResult != BuildResult::kBuilt) return lResult;
  }
  if (mScene.background.kind == SceneDescription::BackgroundKind::kFootage) {
    const BuildResult lResult = AddFootageObject();
    if (lResult != BuildResult::kBuilt) return lResult;
  }
  for (size_t i = 0; i < mScene.elements.size(); ++i) {
    const BuildResult lResult = AddElement(pEntry, i);
    if (lResult != BuildResult::kBuilt) return lResult;
  }
  mTarget.SetTransport(mScene.recording, mScene.playing);
  return BuildResult::kBuilt;
}

}  // namespace

BuildResult BuildScene(const SceneDescription& pScene, Scene& pTarget, const char* pEntry,
                       std::string* pError) {
  return Builder(pScene, pTarget, pError).Build(pEntry);
}

void ApplyBackground(const SceneDescription& pScene, OffscreenViewer& pViewer) {
  const SceneDescription::Background& lBackground = pScene.background;
  switch (lBackground.kind) {
    case SceneDescription::BackgroundKind::kNeutralPlate:
      pViewer.SetBackgroundImage(NeutralPlate(pViewer.Width(), pViewer.Height()));
      break;
    case SceneDescription::BackgroundKind::kColour:
      pViewer.SetBackground(lBackground.colour[0], lBackground.colour[1], lBackground.colour[2]);
      break;
    case SceneDescription::BackgroundKind::kPicture:
      pViewer.SetBackgroundImage(lBackground.picture);
      break;
    case SceneDescription::BackgroundKind::kFootage:
      pViewer.SetBackground(0.0, 0.0, 0.0);
      break;
  }
}

}  // namespace fbhost

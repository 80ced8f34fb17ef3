#include "fbhost/scene.h"

#include <fbhost/components.h>
#include <fbsdk/runtime.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace fbhost {

using namespace ORSDK2014;

namespace {

template <class tComponent>
tComponent* FindByName(const std::vector<tComponent*>& pList, const char* pName) {
  if (!pName) return nullptr;
  for (tComponent* lComponent : pList) {
    if (std::strcmp(NameOf(lComponent), pName) == 0) return lComponent;
  }
  return nullptr;
}

FBTime AtFrame(long long pFrame) {
  FBTime lTime;
  lTime.SetFrame(pFrame);
  return lTime;
}

}  // namespace

Scene::Scene() { ResetScene(); }

Scene::~Scene() {
  // Elements first: their teardown may still look at the scene's components.
  while (!mElements.empty()) DeleteElement(mElements.back());
  if (std::find(mTakes.begin(), mTakes.end(), fbhost::CurrentTake()) != mTakes.end())
    fbhost::SetCurrentTake(nullptr);
  if (std::find(mCameras.begin(), mCameras.end(), fbhost::CurrentCamera()) != mCameras.end())
    fbhost::SetCurrentCamera(nullptr);
  for (FBTake* lTake : mTakes) DeleteComponent(lTake);
  for (FBCamera* lCamera : mCameras) DeleteComponent(lCamera);
  for (FBComponent* lObject : mObjects) DeleteComponent(lObject);
}

FBTake* Scene::AddTake(const char* pName) {
  mTakes.push_back(new FBTake(pName));
  return mTakes.back();
}

FBCamera* Scene::AddCamera(const char* pName) {
  mCameras.push_back(new FBCamera(pName));
  return mCameras.back();
}

FBComponent* Scene::AddObject(const char* pName) {
  FBComponent* lObject = new FBComponent(nullptr);
  lObject->Name = pName;
  mObjects.push_back(lObject);
  return lObject;
}

FBProperty* Scene::AddCustomProperty(FBComponent* pOwner, const char* pName, FBPropertyType pType) {
  if (!pOwner) return nullptr;
  const char* lDataType = "";
  switch (pType) {
    case kFBPT_bool:
      lDataType = "Bool";
      break;
    case kFBPT_int:
      lDataType = "Integer";
      break;
    case kFBPT_double:
      lDataType = "Number";
      break;
    case kFBPT_TimeCode:
      lDataType = "TimeCode";
      break;
    case kFBPT_ColorRGBA:
      lDataType = "ColorAndAlpha";
      break;
    default:
      break;
  }
  // Strings and lists cannot be keyed; every other value kind can.
  const bool lAnimatable = pType != kFBPT_charptr && pType != kFBPT_object;
  FBProperty* lProperty = pOwner->PropertyCreate(pName, pType, lDataType, lAnimatable, true);
  if (lProperty) mCustomProperties.emplace_back(pOwner, lProperty);
  return lProperty;
}

std::vector<FBProperty*> Scene::CustomProperties(FBComponent* pOwner) const {
  std::vector<FBProperty*> lProperties;
  for (const auto& lEntry : mCustomProperties) {
    if (lEntry.first == pOwner) lProperties.push_back(lEntry.second);
  }
  return lProperties;
}

FBHUDElement* Scene::CreateElement(const char* pEntry, const char* pName) {
  FBComponent* lComponent = CreateComponent(kHUDElementGroup, pEntry, pName);
  FBHUDElement* lElement = dynamic_cast<FBHUDElement*>(lComponent);
  if (!lElement) {
    DeleteComponent(lComponent);
    return nullptr;
  }
  lElement->Show = true;
  mElements.push_back(lElement);
  return lElement;
}

void Scene::DeleteElement(FBHUDElement* pElement) {
  auto lIt = std::find(mElements.begin(), mElements.end(), pElement);
  if (lIt == mElements.end()) return;
  mElements.erase(lIt);
  DeleteComponent(pElement);
}

FBTake* Scene::FindTake(const char* pName) const { return FindByName(mTakes, pName); }
FBCamera* Scene::FindCamera(const char* pName) const { return FindByName(mCameras, pName); }
FBComponent* Scene::FindObject(const char* pName) const { return FindByName(mObjects, pName); }

FBComponent* Scene::FindComponent(const char* pName) const {
  if (FBCamera* lCamera = FindCamera(pName)) return lCamera;
  return FindObject(pName);
}

void Scene::SetFrameRate(double pFramesPerSecond) { fbhost::SetFrameRate(pFramesPerSecond); }
double Scene::FrameRate() const { return fbhost::FrameRate(); }
void Scene::SetFrame(long long pFrame) { SetLocalTime(AtFrame(pFrame)); }
long long Scene::Frame() const { return LocalTime().GetFrame(); }

void Scene::SetSystemTimeMs(long long pMilliseconds) {
  FBTime lTime;
  lTime.SetMilliSeconds(pMilliseconds);
  SetSystemTime(lTime);
}

long long Scene::SystemTimeMs() const { return SystemTime().GetMilliSeconds(); }
void Scene::SetTransport(bool pRecording, bool pPlaying) {
  fbhost::SetTransport(pRecording, pPlaying);
}

void Scene::SetPlayRange(long long pStartFrame, long long pStopFrame) {
  fbhost::SetPlayRange(AtFrame(pStartFrame), AtFrame(pStopFrame));
}

void Scene::SetCurrentTake(FBTake* pTake) { fbhost::SetCurrentTake(pTake); }
void Scene::SetCurrentCamera(FBCamera* pCamera) { fbhost::SetCurrentCamera(pCamera); }

void Scene::SetTimeAfterStart(double pSeconds) {
  const kLongLong lStart = PlayStart().Get();
  const long double lOffset =
      std::isnan(pSeconds) ? 0.0L : static_cast<long double>(pSeconds) * FBTime::kTicksPerSecond;
  long double lTicks = static_cast<long double>(lStart) + lOffset;
  // A start on a frame counts from that frame's exact time, not from its tick:
  // at an NTSC rate they differ by a fraction of a tick, and a time rounded to
  // the tick on top of a rounded start could fall a tick before its frame.
  long long lNumerator = 0, lDenominator = 0;
  const long long lStartFrame = FBTime(lStart).GetFrame();
  if (FrameRateFraction(lNumerator, lDenominator) && AtFrame(lStartFrame).Get() == lStart) {
    const __int128 lExcess =
        static_cast<__int128>(lStartFrame) * FBTime::kTicksPerSecond * lDenominator -
        static_cast<__int128>(lStart) * lNumerator;
    lTicks += static_cast<long double>(lExcess) / lNumerator;
  }
  // Saturate rather than overflow for a range's start near the end of time.
  lTicks = std::round(lTicks);
  const long double lMax = static_cast<long double>(std::numeric_limits<kLongLong>::max());
  kLongLong lTime = std::numeric_limits<kLongLong>::max();
  if (lTicks <= -lMax)
    lTime = std::numeric_limits<kLongLong>::min();
  else if (lTicks < lMax)
    lTime = static_cast<kLongLong>(lTicks);
  SetLocalTime(FBTime(lTime));
}

void Scene::SetSystemTimeSeconds(double pSeconds) {
  FBTime lTime;
  lTime.SetSecondDouble(pSeconds);
  SetSystemTime(lTime);
}

bool Scene::IsRecording() const { return fbhost::IsRecording(); }
bool Scene::IsPlaying() const { return fbhost::IsPlaying(); }
long long Scene::PlayStartFrame() const { return PlayStart().GetFrame(); }
long long Scene::PlayStopFrame() const { return PlayStop().GetFrame(); }
FBTake* Scene::CurrentTake() const { return fbhost::CurrentTake(); }
FBCamera* Scene::CurrentCamera() const { return fbhost::CurrentCamera(); }

std::vector<FBProperty*> Scene::OwnProperties(FBHUDElement* pElement) {
  std::vector<FBProperty*> lProperties;
  for (int i = HUDElementBasePropertyCount(); pElement && i < pElement->PropertyList.GetCount();
       ++i)
    lProperties.push_back(&pElement->PropertyList[i]);
  return lProperties;
}

}  // namespace fbhost

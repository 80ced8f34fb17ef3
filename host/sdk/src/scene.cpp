#include <cmath>

#include "runtime_state.h"

namespace ORSDK2014 {

using fbhost::detail::S;

namespace {

// Accessors that show the host's one scene through every proxy object.
void GetSystemTime(HIObject, void* pData) { *static_cast<FBTime*>(pData) = S().systemTime; }
void GetLocalTime(HIObject, void* pData) { *static_cast<FBTime*>(pData) = S().localTime; }
void SetLocalTime(HIObject, void* pData) {
  fbhost::detail::SetLocalTime(*static_cast<FBTime*>(pData));
}
void GetTake(HIObject, void* pData) { *static_cast<FBTake**>(pData) = S().take; }
void GetCamera(HIObject, void* pData) { *static_cast<FBCamera**>(pData) = S().camera; }
void GetRecording(HIObject, void* pData) { *static_cast<bool*>(pData) = S().recording; }
void GetPlaying(HIObject, void* pData) { *static_cast<bool*>(pData) = S().playing; }
void GetLoopStart(HIObject, void* pData) { *static_cast<FBTime*>(pData) = S().playStart; }
void SetLoopStart(HIObject, void* pData) { S().playStart = *static_cast<FBTime*>(pData); }
void GetLoopStop(HIObject, void* pData) { *static_cast<FBTime*>(pData) = S().playStop; }
void SetLoopStop(HIObject, void* pData) { S().playStop = *static_cast<FBTime*>(pData); }

FBRenderer& TheRenderer() {
  static FBRenderer sRenderer;
  return sRenderer;
}

void GetRenderer(HIObject, void* pData) { *static_cast<FBRenderer**>(pData) = &TheRenderer(); }

void Publish(FBComponent* pOwner, FBProperty& pProperty, const char* pName) {
  pProperty.CreateInternal(pOwner, pName);
  pOwner->PropertyAdd(&pProperty);
}

}  // namespace

FBClassImplementation(FBTake);
FBTake::~FBTake() = default;
FBTake::FBTake(const char* pName, HIObject pObject) : FBComponent(pObject) { Name = pName; }

FBClassImplementation(FBCamera);
FBCamera::~FBCamera() = default;
FBCamera::FBCamera(const char* pName, HIObject pObject) : FBBox(pName, pObject) {
  Publish(this, ApertureMode, "ApertureMode");
  // Init reads four doubles of every default.
  double lFilmWidth[4] = {0.816};
  FilmSizeWidth.Init(this, "FilmSizeWidth", "Number", lFilmWidth);
  double lFilmHeight[4] = {0.612};
  FilmSizeHeight.Init(this, "FilmSizeHeight", "Number", lFilmHeight);
  double lFieldOfView[4] = {40.0};
  FieldOfView.Init(this, "FieldOfView", "Number", lFieldOfView);
  // A 35 mm TV-projection film back (0.816 x 0.612 in) seen at 40 degrees.
  double lFieldOfViewX[4] = {2.0 * std::atan(0.816 / 0.612 * std::tan(20.0 * M_PI / 180.0)) *
                             180.0 / M_PI};
  FieldOfViewX.Init(this, "FieldOfViewX", "Number", lFieldOfViewX);
  double lFocalLength[4] = {0.612 * 25.4 * 0.5 / std::tan(20.0 * M_PI / 180.0)};
  FocalLength.Init(this, "FocalLength", "Number", lFocalLength);
  Publish(this, ResolutionWidth, "ResolutionWidth");
  Publish(this, ResolutionHeight, "ResolutionHeight");
  ApertureMode = kFBApertureVertical;
  ResolutionWidth = 1920.0;
  ResolutionHeight = 1080.0;
}

FBClassImplementation(FBRenderer);
FBRenderer::~FBRenderer() = default;
FBRenderer::FBRenderer(HIObject pObject) : FBComponent(pObject) {
  CurrentCamera.CreateInternal(this, "CurrentCamera", GetCamera);
}

// Proxies publish nothing: making one per call must stay cheap.
FBClassImplementation(FBSystem);
FBSystem::~FBSystem() = default;
FBSystem::FBSystem() : FBComponent(nullptr) {
  SystemTime.CreateInternal(this, "SystemTime", GetSystemTime);
  LocalTime.CreateInternal(this, "LocalTime", GetLocalTime, SetLocalTime);
  CurrentTake.CreateInternal(this, "CurrentTake", GetTake);
  Renderer.CreateInternal(this, "Renderer", GetRenderer);
}

FBClassImplementation(FBPlayerControl);
FBPlayerControl::~FBPlayerControl() = default;
FBPlayerControl::FBPlayerControl(HIObject pObject) : FBComponent(pObject) {
  IsRecording.CreateInternal(this, "IsRecording", GetRecording);
  IsPlaying.CreateInternal(this, "IsPlaying", GetPlaying);
  LoopStart.CreateInternal(this, "LoopStart", GetLoopStart, SetLoopStart);
  LoopStop.CreateInternal(this, "LoopStop", GetLoopStop, SetLoopStop);
}

FBClassImplementation(FBEvaluateManager);
FBEvaluateManager::~FBEvaluateManager() = default;
FBEvaluateManager::FBEvaluateManager() : FBComponent(nullptr) {}

FBEvaluateManager& FBEvaluateManager::TheOne() {
  static FBEvaluateManager sManager;
  return sManager;
}

}  // namespace ORSDK2014

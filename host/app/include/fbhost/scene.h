#pragma once
// A scene: the components a host holds besides HUD elements (takes, cameras,
// plain source objects with custom properties), and the scene state the
// runtime shows through FBSystem and FBPlayerControl.

#include <fbsdk/fbsdk.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fbhost {

class Scene {
 public:
  // A fresh scene: runtime scene state reset (30 fps, time 0, stopped).
  Scene();
  // Deletes the elements (as the host does), then every other component.
  ~Scene();

  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  ORSDK2014::FBTake* AddTake(const char* pName);
  ORSDK2014::FBCamera* AddCamera(const char* pName);
  // A plain source object that carries custom properties.
  ORSDK2014::FBComponent* AddObject(const char* pName);
  // A user property on any component; null when the kind cannot be created.
  ORSDK2014::FBProperty* AddCustomProperty(ORSDK2014::FBComponent* pOwner, const char* pName,
                                           ORSDK2014::FBPropertyType pType);
  // The properties AddCustomProperty made on pOwner, in the order they were made.
  std::vector<ORSDK2014::FBProperty*> CustomProperties(ORSDK2014::FBComponent* pOwner) const;

  // Creates a HUD element through the registered factory and shows it, as the
  // host shows a new element; null if refused.
  ORSDK2014::FBHUDElement* CreateElement(const char* pEntry, const char* pName);
  void DeleteElement(ORSDK2014::FBHUDElement* pElement);
  const std::vector<ORSDK2014::FBHUDElement*>& Elements() const { return mElements; }

  ORSDK2014::FBTake* FindTake(const char* pName) const;
  ORSDK2014::FBCamera* FindCamera(const char* pName) const;
  ORSDK2014::FBComponent* FindObject(const char* pName) const;
  // A camera or a plain object of that name.
  ORSDK2014::FBComponent* FindComponent(const char* pName) const;
  const std::vector<ORSDK2014::FBTake*>& Takes() const { return mTakes; }
  const std::vector<ORSDK2014::FBCamera*>& Cameras() const { return mCameras; }
  const std::vector<ORSDK2014::FBComponent*>& Objects() const { return mObjects; }

  // Scene state, shown through the SDK's proxies.
  void SetFrameRate(double pFramesPerSecond);
  double FrameRate() const;
  void SetFrame(long long pFrame);  // local time at a frame of the scene's rate
  long long Frame() const;
  void SetSystemTimeMs(long long pMilliseconds);
  long long SystemTimeMs() const;
  void SetTransport(bool pRecording, bool pPlaying);
  void SetPlayRange(long long pStartFrame, long long pStopFrame);
  void SetCurrentTake(ORSDK2014::FBTake* pTake);
  void SetCurrentCamera(ORSDK2014::FBCamera* pCamera);
  // Local time pSeconds after the play range's start, to the tick.
  void SetTimeAfterStart(double pSeconds);
  // The system clock at a time in seconds (to the tick, unlike milliseconds).
  void SetSystemTimeSeconds(double pSeconds);
  bool IsRecording() const;
  bool IsPlaying() const;
  long long PlayStartFrame() const;
  long long PlayStopFrame() const;
  ORSDK2014::FBTake* CurrentTake() const;
  ORSDK2014::FBCamera* CurrentCamera() const;

  // The properties an element publishes itself, after those of the HUD-element base.
  static std::vector<ORSDK2014::FBProperty*> OwnProperties(ORSDK2014::FBHUDElement* pElement);

 private:
  std::vector<ORSDK2014::FBHUDElement*> mElements;
  std::vector<ORSDK2014::FBTake*> mTakes;
  std::vector<ORSDK2014::FBCamera*> mCameras;
  std::vector<ORSDK2014::FBComponent*> mObjects;
  std::vector<std::pair<ORSDK2014::FBComponent*, ORSDK2014::FBProperty*>> mCustomProperties;
};

}  // namespace fbhost

#pragma once
// The scene as a plug-in sees it: system, takes, cameras, transport, renderer.

#include <fbsdk/fbcomponent.h>
#include <fbsdk/fbevent.h>

namespace ORSDK2014 {

class FBSDK_DLL FBTake : public FBComponent {
  FBClassDeclare(FBTake, FBComponent);

 public:
  explicit FBTake(const char* pName, HIObject pObject = nullptr);
};

enum FBCameraApertureMode : int {
  kFBApertureVertical = 0,
  kFBApertureHorizontal = 1,
  kFBApertureVertHoriz = 2,
  kFBApertureFocalLength = 3
};
typedef FBPropertyBase<FBCameraApertureMode, kFBPT_enum> FBPropertyCameraApertureMode;

class FBSDK_DLL FBCamera : public FBBox {
  FBClassDeclare(FBCamera, FBBox);

 public:
  explicit FBCamera(const char* pName, HIObject pObject = nullptr);

  FBPropertyCameraApertureMode ApertureMode;
  // The stand-in keys the film back too, for shots that change it.
  FBPropertyAnimatableDouble FilmSizeWidth;   // inches
  FBPropertyAnimatableDouble FilmSizeHeight;  // inches
  FBPropertyAnimatableDouble FieldOfView;     // degrees
  FBPropertyAnimatableDouble FieldOfViewX;    // degrees
  FBPropertyAnimatableDouble FocalLength;     // millimetres
  FBPropertyDouble ResolutionWidth;
  FBPropertyDouble ResolutionHeight;
};

typedef FBPropertyComponentRef<FBTake> FBPropertyTake;
typedef FBPropertyComponentRef<FBCamera> FBPropertyCamera;

class FBSDK_DLL FBRenderer : public FBComponent {
  FBClassDeclare(FBRenderer, FBComponent);

 public:
  explicit FBRenderer(HIObject pObject = nullptr);
  FBPropertyCamera CurrentCamera;
};
typedef FBPropertyComponentRef<FBRenderer> FBPropertyRenderer;

// A view of the one host system; every FBSystem object shows the same state.
class FBSDK_DLL FBSystem : public FBComponent {
  FBClassDeclare(FBSystem, FBComponent);

 public:
  FBSystem();

  FBPropertyTime SystemTime;  // the host's running clock
  FBPropertyTime LocalTime;   // the scene's current time
  FBPropertyTake CurrentTake;
  FBPropertyRenderer Renderer;
  FBPropertyEventConnectionNotify OnConnectionNotify;
};

// A view of the transport controls.
class FBSDK_DLL FBPlayerControl : public FBComponent {
  FBClassDeclare(FBPlayerControl, FBComponent);

 public:
  explicit FBPlayerControl(HIObject pObject = nullptr);

  FBPropertyBool IsRecording;  // read-only
  FBPropertyBool IsPlaying;    // read-only
  FBPropertyTime LoopStart;    // play range start
  FBPropertyTime LoopStop;     // play range stop
};

class FBSDK_DLL FBEvaluateManager : public FBComponent {
  FBClassDeclare(FBEvaluateManager, FBComponent);

 public:
  static FBEvaluateManager& TheOne();
  FBPropertyEventCallbackRenderPipeline OnRenderingPipelineEvent;

 private:
  FBEvaluateManager();
};

class FBSDK_DLL FBViewingOptions {
 public:
  explicit FBViewingOptions(FBCamera* pViewingCamera = nullptr) : mCamera(pViewingCamera) {}
  FBCamera* GetViewingCamera() { return mCamera; }

 private:
  FBCamera* mCamera;
};

}  // namespace ORSDK2014

#pragma once
// The Vexa HUD element: a production overlay drawn over the host's viewer.

#include <fbsdk/fbsdk.h>

#include "element/marker.h"
#include "render/gl_context.h"

class FTFont;

#define VEXA_EXPORT __attribute__((visibility("default")))

// A string read through the SDK is null when it was never set, or was cleared
// through the host's interface; the element reads it as "" then.
inline const char* TextOf(const char* pText) { return pText ? pText : ""; }

// Binds one timecode side to the first object in pList: a single timecode
// property found by name, or the four TCHour/TCMinute/TCSecond/TCFrame ones.
void UpdateTimecodeSource(FBPropertyListObject* pList, FBPropertyAnimatableTimeCode& pTimecode,
                          FBPropertyAnimatableInt& pHours, FBPropertyAnimatableInt& pMinutes,
                          FBPropertyAnimatableInt& pSeconds, FBPropertyAnimatableInt& pFrames,
                          FBPropertyString& pTimecodePropertyName);

class VEXA_EXPORT VexaHUDElement : public FBHUDElement {
  FBStorableClassDeclare(VexaHUDElement, FBHUDElement);

 public:
  explicit VexaHUDElement(const char* pName, HIObject pObject = nullptr);

  bool FBCreate() override;
  void FBDestroy() override;
  bool FbxStore(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) override;
  bool FbxRetrieve(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) override;

  void GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth, int& pHeight) override;
  void DrawElement(FBViewingOptions* pViewingOptions, FBHUDElement::Rect& pRect) override;

  // Replace the content of a timecode source list; the host's notification of
  // the change rebinds that side.
  void setCharacterTimecodeSource(FBComponent* pSource);
  void setCameraTimecodeSource(FBComponent* pSource);

  void OnConnectionNotify(HIRegister pCaller, HKEventBase pEvent);
  void OnPerFrameRenderingPipelineCallback(HIRegister pCaller, HKEventBase pEvent);

  // Draws a value in the value font at (x, y) and, while labels are shown,
  // its label in the label font 5 pixels right and 16 below.
  void RenderText(const char* pValue, int pX, int pY, const char* pLabel);
  void RenderTimeline(int pWidth, int pHeight);
  void RenderReticle(int pWidth, int pHeight);
  void RenderBloop(int pWidth, int pHeight);

  // Published properties, grouped by HUD item; each display name sits beside
  // its member.
  static constexpr const char* kMaskColor = "Mask Color";
  FBPropertyAnimatableColorAndAlpha MaskColor;
  static constexpr const char* kFontColor = "Font Color";
  FBPropertyAnimatableColorAndAlpha FontColor;
  static constexpr const char* kAspect = "Aspect";
  FBPropertyAnimatableDouble Aspect;

  static constexpr const char* kShowFocalLength = "Show Focal Length";
  FBPropertyAnimatableBool ShowFocalLength;
  static constexpr const char* kFocalLengthOffset = "Focal Length Offset";
  FBPropertyInt FocalLengthOffset;

  static constexpr const char* kShowCameraName = "Show Camera Name";
  FBPropertyAnimatableBool ShowCameraName;
  static constexpr const char* kCameraNameOffset = "Camera Name Offset";
  FBPropertyInt CameraNameOffset;

  static constexpr const char* kShowFQN = "Show FQN";
  FBPropertyAnimatableBool ShowFQN;
  static constexpr const char* kUseTakeForFQN = "Use Take for FQN";
  FBPropertyAnimatableBool UseTakeForFQN;
  static constexpr const char* kFQN = "FQN";
  FBPropertyString FQN;
  static constexpr const char* kFQNOffset = "FQN Offset";
  FBPropertyInt FQNOffset;

  static constexpr const char* kShowSlate = "Show Slate";
  FBPropertyAnimatableBool ShowSlate;
  static constexpr const char* kSlate = "Slate";
  FBPropertyString Slate;
  static constexpr const char* kSlateOffset = "Slate Offset";
  FBPropertyInt SlateOffset;

  static constexpr const char* kShowFPS = "Show FPS";
  FBPropertyAnimatableBool ShowFPS;
  static constexpr const char* kFPSOffset = "FPS Offset";
  FBPropertyInt FPSOffset;

  static constexpr const char* kShowSceneFrame = "Show Scene Frame";
  FBPropertyAnimatableBool ShowSceneFrame;
  static constexpr const char* kFrameOffset = "Frame Offset";
  FBPropertyInt FrameOffset;

  static constexpr const char* kShowSceneTimecode = "Show Scene Timecode";
  FBPropertyAnimatableBool ShowSceneTimecode;
  static constexpr const char* kSceneTCOffset = "Scene TC Offset";
  FBPropertyInt SceneTCOffset;

  static constexpr const char* kShowInteroccular = "Show Interoccular";
  FBPropertyAnimatableBool ShowInteroccular;
  static constexpr const char* kInteroccular = "Interoccular";
  FBPropertyAnimatableDouble Interoccular;
  static constexpr const char* kInteroccularOffset = "Interoccular Offset";
  FBPropertyInt InteroccularOffset;

  static constexpr const char* kShowConvergence = "Show Convergence";
  FBPropertyAnimatableBool ShowConvergence;
  static constexpr const char* kConvergence = "Convergence";
  FBPropertyAnimatableDouble Convergence;
  static constexpr const char* kConvergenceOffset = "Convergence Offset";
  FBPropertyInt ConvergenceOffset;

  static constexpr const char* kTimecodePropertyName = "Timecode Property Name";
  FBPropertyString TimecodePropertyName;

  static constexpr const char* kShowCharacterTimecode = "Show Character Timecode";
  FBPropertyAnimatableBool ShowCharacterTimecode;
  static constexpr const char* kCharacterTimecodeSource = "Character Timecode Source";
  FBPropertyListObject* CharacterTimecodeSource = nullptr;
  static constexpr const char* kCharacterHour = "Character Hour";
  FBPropertyAnimatableInt CharacterHour;
  static constexpr const char* kCharacterMinute = "Character Minute";
  FBPropertyAnimatableInt CharacterMinute;
  static constexpr const char* kCharacterSecond = "Character Second";
  FBPropertyAnimatableInt CharacterSecond;
  static constexpr const char* kCharacterFrame = "Character Frame";
  FBPropertyAnimatableInt CharacterFrame;
  static constexpr const char* kCharacterTimecode = "Character Timecode";
  FBPropertyAnimatableTimeCode CharacterTimecode;
  static constexpr const char* kCharacterTCOffset = "Character TC Offset";
  FBPropertyInt CharacterTCOffset;

  static constexpr const char* kShowCameraTimecode = "Show Camera Timecode";
  FBPropertyAnimatableBool ShowCameraTimecode;
  static constexpr const char* kCameraTimecodeSource = "Camera Timecode Source";
  FBPropertyListObject* CameraTimecodeSource = nullptr;
  static constexpr const char* kCameraHour = "Camera Hour";
  FBPropertyAnimatableInt CameraHour;
  static constexpr const char* kCameraMinute = "Camera Minute";
  FBPropertyAnimatableInt CameraMinute;
  static constexpr const char* kCameraSecond = "Camera Second";
  FBPropertyAnimatableInt CameraSecond;
  static constexpr const char* kCameraFrame = "Camera Frame";
  FBPropertyAnimatableInt CameraFrame;
  static constexpr const char* kCameraTimecode = "Camera Timecode";
  FBPropertyAnimatableTimeCode CameraTimecode;
  static constexpr const char* kCameraTCOffset = "Camera TC Offset";
  FBPropertyInt CameraTCOffset;

  static constexpr const char* kShowValue1 = "Show Value 1";
  FBPropertyAnimatableBool ShowValue1;
  static constexpr const char* kValue1 = "Value 1";
  FBPropertyAnimatableDouble Value1;
  static constexpr const char* kValue1Label = "Value 1 Label";
  FBPropertyString Value1Label;
  static constexpr const char* kValue1OffsetX = "Value 1 Offset X";
  FBPropertyInt Value1OffsetX;
  static constexpr const char* kValue1OffsetY = "Value 1 Offset Y";
  FBPropertyInt Value1OffsetY;

  static constexpr const char* kShowValue2 = "Show Value 2";
  FBPropertyAnimatableBool ShowValue2;
  static constexpr const char* kValue2 = "Value 2";
  FBPropertyAnimatableDouble Value2;
  static constexpr const char* kValue2Label = "Value 2 Label";
  FBPropertyString Value2Label;
  static constexpr const char* kValue2OffsetX = "Value 2 Offset X";
  FBPropertyInt Value2OffsetX;
  static constexpr const char* kValue2OffsetY = "Value 2 Offset Y";
  FBPropertyInt Value2OffsetY;

  static constexpr const char* kStatusOffset = "Status Offset";
  FBPropertyInt StatusOffset;
  static constexpr const char* kSaving = "Saving";
  FBPropertyAnimatableBool Saving;
  static constexpr const char* kSaveMessage = "Save Message";
  FBPropertyString SaveMessage;
  static constexpr const char* kStandby = "Standby";
  FBPropertyAnimatableBool Standby;

  static constexpr const char* kShowTimeline = "Show Timeline";
  FBPropertyAnimatableBool ShowTimeline;
  static constexpr const char* kTimelineOffset = "Timeline Offset";
  FBPropertyInt TimelineOffset;
  static constexpr const char* kInFrame = "In Frame";
  FBPropertyAnimatableInt InFrame;
  static constexpr const char* kOutFrame = "Out Frame";
  FBPropertyAnimatableInt OutFrame;

  static constexpr const char* kShowLabels = "Show Labels";
  FBPropertyAnimatableBool ShowLabels;

  static constexpr const char* kBloopLightDuration = "Bloop Light Duration";
  FBPropertyAnimatableInt BloopLightDuration;

  static constexpr const char* kReticleColor = "Reticle Color";
  FBPropertyAnimatableColorAndAlpha ReticleColor;
  static constexpr const char* kReticleSize = "Reticle Size";
  FBPropertyAnimatableInt ReticleSize;
  static constexpr const char* kShowReticle = "Show Reticle";
  FBPropertyAnimatableBool ShowReticle;
  static constexpr const char* kReticleBoundProperty = "Reticle Bound Property";
  FBPropertyString ReticleBoundProperty;

 private:
  void _publishProperties();
  void _setDefaults();
  bool _loadFonts();
  void _createReticleTexture();
  void _releaseFonts();
  // Fonts make their glyph textures as text is first drawn or measured; this
  // notes the context current then, before a font is used.
  void _noteGlyphContext();
  void _drawMask(int pWidth, int pHeight);
  void _drawTextItems(int pWidth, int pHeight);
  void _drawStatus(double pAlpha);
  void _drawSavingOverlay(int pWidth, int pHeight);
  void _updateTimecodeProperties();
  void _updateCharacterTimecodeSource();
  void _updateCameraTimecodeSource();
  // pText as valid UTF-8 (invalid bytes dropped), in mGlyphText.
  const char* _validText(const char* pText);

  FBSystem mSystem;
  FTFont* mValueFont = nullptr;
  FTFont* mLabelFont = nullptr;
  FTFont* mMessageFont = nullptr;
  double mCurrentFocalLength = 0.0;
  FBString mCurrentCameraName;
  bool mBloopFired = false;
  unsigned int mReticleTexture = 0;
  GlContextId mReticleContext;  // where the texture was made
  GlContextId mGlyphContext;    // where the fonts made their glyph textures
  bool mGlyphsMade = false;
  unsigned char* mOratorFontBytes = nullptr;
  unsigned char* mArialFontBytes = nullptr;
  long long mLastSampleTime = 0;
  unsigned long long mIntervalSum = 0;
  unsigned long long mSampleCount = 0;
  double mAverageFrameInterval = 0.0;
  int mBloopPassCount = 0;
  // Texts handed to the fonts are made valid UTF-8 here first.
  char mGlyphText[1024];

 public:
  static constexpr int kMarkerCount = 4;
  Marker Markers[kMarkerCount];
};

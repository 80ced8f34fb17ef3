// Publishing the element's properties, in the order the host lists them.

#include <cstdio>

#include "element/vexa_hud_element.h"

namespace {

// How many doubles the host reads of a default is not published: every kind
// gets four, the default in front and zeros after.
void PublishAnimatable(FBBox* pOwner, FBPropertyAnimatable& pProperty, const char* pName,
                       const char* pType, double pDefault) {
  double lDefault[4] = {pDefault, 0.0, 0.0, 0.0};
  pProperty.Init(pOwner, pName, pType, lDefault);
}

void PublishBool(FBBox* pOwner, FBPropertyAnimatableBool& pProperty, const char* pName,
                 bool pDefault) {
  PublishAnimatable(pOwner, pProperty, pName, "Bool", pDefault ? 1.0 : 0.0);
}

void PublishInt(FBBox* pOwner, FBPropertyAnimatableInt& pProperty, const char* pName,
                double pDefault) {
  PublishAnimatable(pOwner, pProperty, pName, "Integer", pDefault);
}

void PublishNumber(FBBox* pOwner, FBPropertyAnimatableDouble& pProperty, const char* pName,
                   double pDefault) {
  PublishAnimatable(pOwner, pProperty, pName, "Number", pDefault);
}

void PublishTimecode(FBBox* pOwner, FBPropertyAnimatableTimeCode& pProperty, const char* pName) {
  PublishAnimatable(pOwner, pProperty, pName, "TimeCode", 0.0);
}

void PublishColor(FBBox* pOwner, FBPropertyAnimatableColorAndAlpha& pProperty, const char* pName,
                  double pRed, double pGreen, double pBlue, double pAlpha) {
  double lDefault[4] = {pRed, pGreen, pBlue, pAlpha};
  pProperty.Init(pOwner, pName, "ColorAndAlpha", lDefault);
}

// Strings and plain integers are internal properties whose value the host keeps.
void PublishInternal(FBComponent* pOwner, FBProperty& pProperty, const char* pName) {
  pProperty.CreateInternal(pOwner, pName, nullptr, nullptr);
  pOwner->PropertyAdd(&pProperty);
}

FBPropertyListObject* PublishList(FBComponent* pOwner, const char* pName) {
  return static_cast<FBPropertyListObject*>(
      pOwner->PropertyCreate(pName, kFBPT_object, "", false, false, nullptr));
}

void SetInt(FBProperty& pProperty, int pValue) { pProperty.SetData(&pValue); }

void SetText(FBProperty& pProperty, const char* pText) { pProperty.SetData(&pText); }

}  // namespace

void VexaHUDElement::_publishProperties() {
  PublishBool(this, ShowLabels, kShowLabels, true);
  PublishBool(this, ShowTimeline, kShowTimeline, true);
  PublishInt(this, InFrame, kInFrame, 0.0);
  PublishInt(this, OutFrame, kOutFrame, 0.0);
  PublishBool(this, ShowFQN, kShowFQN, true);
  PublishBool(this, UseTakeForFQN, kUseTakeForFQN, true);
  PublishInternal(this, FQN, kFQN);
  PublishBool(this, ShowSlate, kShowSlate, false);
  PublishInternal(this, Slate, kSlate);
  PublishBool(this, ShowFPS, kShowFPS, false);
  // The frame-rate meter starts empty.
  mLastSampleTime = 0;
  mIntervalSum = 0;
  mSampleCount = 0;
  mAverageFrameInterval = 0.0;
  PublishBool(this, Saving, kSaving, false);
  PublishBool(this, Standby, kStandby, false);
  PublishBool(this, ShowReticle, kShowReticle, false);
  PublishInternal(this, ReticleBoundProperty, kReticleBoundProperty);
  PublishInternal(this, SaveMessage, kSaveMessage);
  PublishNumber(this, Aspect, kAspect, 2.35);
  Aspect.SetMinMax(1.0, 3.0, true, true);
  PublishBool(this, ShowFocalLength, kShowFocalLength, true);
  PublishBool(this, ShowCameraName, kShowCameraName, false);
  PublishBool(this, ShowInteroccular, kShowInteroccular, false);
  PublishNumber(this, Interoccular, kInteroccular, 0.0);
  PublishBool(this, ShowConvergence, kShowConvergence, false);
  PublishNumber(this, Convergence, kConvergence, 0.0);
  PublishBool(this, ShowSceneFrame, kShowSceneFrame, true);
  PublishBool(this, ShowSceneTimecode, kShowSceneTimecode, true);
  PublishInternal(this, TimecodePropertyName, kTimecodePropertyName);
  PublishBool(this, ShowCharacterTimecode, kShowCharacterTimecode, true);
  CharacterTimecodeSource = PublishList(this, kCharacterTimecodeSource);
  PublishInt(this, CharacterHour, kCharacterHour, 0.0);
  PublishInt(this, CharacterMinute, kCharacterMinute, 0.0);
  PublishInt(this, CharacterSecond, kCharacterSecond, 0.0);
  PublishInt(this, CharacterFrame, kCharacterFrame, 0.0);
  PublishTimecode(this, CharacterTimecode, kCharacterTimecode);
  PublishBool(this, ShowCameraTimecode, kShowCameraTimecode, true);
  CameraTimecodeSource = PublishList(this, kCameraTimecodeSource);
  PublishInt(this, CameraHour, kCameraHour, 0.0);
  PublishInt(this, CameraMinute, kCameraMinute, 0.0);
  PublishInt(this, CameraSecond, kCameraSecond, 0.0);
  PublishInt(this, CameraFrame, kCameraFrame, 0.0);
  PublishTimecode(this, CameraTimecode, kCameraTimecode);
  PublishBool(this, ShowValue1, kShowValue1, false);
  PublishNumber(this, Value1, kValue1, 0.0);
  PublishInternal(this, Value1Label, kValue1Label);
  PublishBool(this, ShowValue2, kShowValue2, false);
  PublishNumber(this, Value2, kValue2, 0.0);
  PublishInternal(this, Value2Label, kValue2Label);
  PublishInt(this, BloopLightDuration, kBloopLightDuration, 12.0);
  mBloopPassCount = 0;
  PublishColor(this, ReticleColor, kReticleColor, 1.0, 1.0, 1.0, 1.0);
  PublishInt(this, ReticleSize, kReticleSize, 1.0);

  // One name buffer serves all twelve marker properties; the host copies names.
  char lName[128];
  for (int i = 0; i < kMarkerCount; ++i) {
    Marker& lMarker = Markers[i];
    std::snprintf(lName, sizeof(lName), Marker::kShowPattern, i + 1);
    PublishBool(this, lMarker.Show, lName, false);
    std::snprintf(lName, sizeof(lName), Marker::kNamePattern, i + 1);
    PublishInternal(this, lMarker.Name, lName);
    SetText(lMarker.Name, "");
    std::snprintf(lName, sizeof(lName), Marker::kFramePattern, i + 1);
    PublishInt(this, lMarker.Frame, lName, 0.0);
  }

  PublishColor(this, MaskColor, kMaskColor, 0.0, 0.0, 0.0, 0.75);
  PublishColor(this, FontColor, kFontColor, 1.0, 1.0, 1.0, 1.0);

  PublishInternal(this, TimelineOffset, kTimelineOffset);
  PublishInternal(this, FocalLengthOffset, kFocalLengthOffset);
  PublishInternal(this, CameraNameOffset, kCameraNameOffset);
  PublishInternal(this, InteroccularOffset, kInteroccularOffset);
  PublishInternal(this, ConvergenceOffset, kConvergenceOffset);
  PublishInternal(this, FQNOffset, kFQNOffset);
  PublishInternal(this, SlateOffset, kSlateOffset);
  PublishInternal(this, FrameOffset, kFrameOffset);
  PublishInternal(this, SceneTCOffset, kSceneTCOffset);
  PublishInternal(this, CharacterTCOffset, kCharacterTCOffset);
  PublishInternal(this, CameraTCOffset, kCameraTCOffset);
  PublishInternal(this, StatusOffset, kStatusOffset);
  PublishInternal(this, Value1OffsetX, kValue1OffsetX);
  PublishInternal(this, Value1OffsetY, kValue1OffsetY);
  PublishInternal(this, Value2OffsetX, kValue2OffsetX);
  PublishInternal(this, Value2OffsetY, kValue2OffsetY);
  PublishInternal(this, FPSOffset, kFPSOffset);
}

void VexaHUDElement::_setDefaults() {
  SetInt(TimelineOffset, 90);
  SetInt(FocalLengthOffset, 10);
  SetInt(CameraNameOffset, 200);
  SetInt(InteroccularOffset, 200);
  SetInt(ConvergenceOffset, 400);
  SetInt(FQNOffset, 600);
  SetInt(SlateOffset, 1400);
  SetInt(FPSOffset, 1600);
  SetInt(FrameOffset, 10);
  SetInt(SceneTCOffset, 200);
  SetInt(CharacterTCOffset, 500);
  SetInt(CameraTCOffset, 800);
  SetInt(StatusOffset, 1700);
  SetText(SaveMessage, "Saving...");
  SetText(FQN, "999_00A_001_0A01_X1_PC001_AV001");
  SetText(Slate, "999A1");
  SetText(TimecodePropertyName, "TimeCode");
  SetText(Value1Label, "Value 1");
  SetInt(Value1OffsetX, 1200);
  SetInt(Value1OffsetY, 24);
  SetText(Value2Label, "Value 2");
  SetInt(Value2OffsetX, 1450);
  SetInt(Value2OffsetY, 24);

  // Assigned after publishing: the publishing calls name other values.
  ReticleSize = 50;
  ReticleColor = FBColorAndAlpha(1.0, 0.0, 0.0, 0.9);
  SetText(ReticleBoundProperty, "ShowCrosshair");
}

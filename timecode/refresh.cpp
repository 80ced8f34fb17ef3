// Event handlers and the per-draw refresh of the timecode values.

#include "element/vexa_hud_element.h"
#include "render/safe_math.h"

namespace {

// Splits a bound timecode into its four integers, or composes the four into
// the timecode, in the direction the side's connections say.
void RefreshSide(FBPropertyAnimatableTimeCode& pTimecode, FBPropertyAnimatableInt& pHours,
                 FBPropertyAnimatableInt& pMinutes, FBPropertyAnimatableInt& pSeconds,
                 FBPropertyAnimatableInt& pFrames) {
  if (pTimecode.GetSrcCount() > 0) {
    double lRaw[3] = {0.0, 0.0, 0.0};
    pTimecode.GetData(lRaw, sizeof(lRaw), nullptr);
    const int lS = TruncToInt(lRaw[0]);
    const int lF = TruncToInt(lRaw[1]);
    const int lM = lS / 60;
    const int lH = lM / 60;
    pHours = lH;
    pMinutes = lM - lH * 60;
    pSeconds = lS - lM * 60;
    pFrames = lF;
    return;
  }
  FBTimeCode lTimecode(FBTimeCode::NTSC_DROP);
  const int lFrames = pFrames;
  const int lSeconds = pSeconds;
  const int lMinutes = pMinutes;
  const int lHours = pHours;
  lTimecode.SetTimeCode(lHours, lMinutes, lSeconds, static_cast<float>(lFrames));
  pTimecode = lTimecode;
}

}  // namespace

void VexaHUDElement::_updateTimecodeProperties() {
  RefreshSide(CharacterTimecode, CharacterHour, CharacterMinute, CharacterSecond, CharacterFrame);
  RefreshSide(CameraTimecode, CameraHour, CameraMinute, CameraSecond, CameraFrame);
}

void VexaHUDElement::OnConnectionNotify(HIRegister, HKEventBase pEvent) {
  FBEventConnectionNotify lEvent(pEvent);
  const FBConnectionAction lAction = lEvent.Action;
  if (lAction != kFBConnectedSrc && lAction != kFBDisconnectedSrc) return;
  FBPlug* lDestination = lEvent.DstPlug;
  if (lDestination && lDestination == CharacterTimecodeSource) {
    _updateCharacterTimecodeSource();
  } else if (lDestination && lDestination == CameraTimecodeSource) {
    _updateCameraTimecodeSource();
  }
}

void VexaHUDElement::OnPerFrameRenderingPipelineCallback(HIRegister, HKEventBase pEvent) {
  FBEventEvalGlobalCallback lEvent(pEvent);
  if (lEvent.GetTiming() != kFBGlobalEvalCallbackAfterRender) return;

  FBTime lNow(0);
  mSystem.SystemTime.GetData(&lNow, sizeof(lNow));
  const long long lNowMs = lNow.GetMilliSeconds();
  // Unsigned arithmetic: a clock stepping back wraps the sum, closing the window.
  const unsigned long long lInterval =
      static_cast<unsigned long long>(lNowMs) - static_cast<unsigned long long>(mLastSampleTime);
  mLastSampleTime = lNowMs;
  mIntervalSum += lInterval;
  mSampleCount += 1;
  if (mIntervalSum > 999) {
    mAverageFrameInterval = static_cast<double>(mIntervalSum) / static_cast<double>(mSampleCount);
    mIntervalSum = 0;
    mSampleCount = 0;
  }
}

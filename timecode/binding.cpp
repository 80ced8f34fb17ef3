// Binding a timecode side to the first object of its source list.

#include <QtGlobal>

#include "element/vexa_hud_element.h"

namespace {

// The names tried after the preferred one, each with its own message.
const char* const kTimecodeNames[] = {"master", "amc:timecode", "Timecode", "timecode", "TimeCode"};
const char* const kTimecodeMessages[] = {
    "Connecting to 'master' timecode property ",
    "Connecting to 'amc:timecode' timecode property ",
    "Connecting to 'Timecode' timecode property ",
    "Connecting to 'timecode' timecode property ",
    "Connecting to 'TimeCode' timecode property ",
};

FBTimeCode ZeroTimecode() {
  FBTimeCode lZero(FBTimeCode::NTSC_DROP);
  lZero.SetTimeCode(0, 0, 0, 0.0f);
  return lZero;
}

void ZeroIntegers(FBPropertyAnimatableInt& pHours, FBPropertyAnimatableInt& pMinutes,
                  FBPropertyAnimatableInt& pSeconds, FBPropertyAnimatableInt& pFrames) {
  pHours = 0;
  pMinutes = 0;
  pSeconds = 0;
  pFrames = 0;
}

void Reset(FBPropertyAnimatableTimeCode& pTimecode, FBPropertyAnimatableInt& pHours,
           FBPropertyAnimatableInt& pMinutes, FBPropertyAnimatableInt& pSeconds,
           FBPropertyAnimatableInt& pFrames) {
  pTimecode.DisconnectAllSrc();
  pHours.DisconnectAllSrc();
  pMinutes.DisconnectAllSrc();
  pSeconds.DisconnectAllSrc();
  pFrames.DisconnectAllSrc();
  ZeroIntegers(pHours, pMinutes, pSeconds, pFrames);
  pTimecode = ZeroTimecode();
}

void ConnectSingle(FBProperty* pSource, FBPropertyAnimatableTimeCode& pTimecode,
                   FBPropertyAnimatableInt& pHours, FBPropertyAnimatableInt& pMinutes,
                   FBPropertyAnimatableInt& pSeconds, FBPropertyAnimatableInt& pFrames) {
  pTimecode.SetAnimated(true);
  pTimecode.ConnectSrc(pSource, kFBConnectionTypeNone);
  pHours.DisconnectAllSrc();
  pMinutes.DisconnectAllSrc();
  pSeconds.DisconnectAllSrc();
  pFrames.DisconnectAllSrc();
  ZeroIntegers(pHours, pMinutes, pSeconds, pFrames);
}

void ConnectInteger(FBPropertyAnimatableInt& pTarget, FBProperty* pSource) {
  pTarget.SetAnimated(true);
  pTarget.ConnectSrc(pSource, kFBConnectionTypeNone);
}

}  // namespace

void UpdateTimecodeSource(FBPropertyListObject* pList, FBPropertyAnimatableTimeCode& pTimecode,
                          FBPropertyAnimatableInt& pHours, FBPropertyAnimatableInt& pMinutes,
                          FBPropertyAnimatableInt& pSeconds, FBPropertyAnimatableInt& pFrames,
                          FBPropertyString& pTimecodePropertyName) {
  if (!pList) return;
  FBComponent* lSource = pList->GetCount() > 0 ? pList->GetAt(0) : nullptr;
  if (!lSource) {
    Reset(pTimecode, pHours, pMinutes, pSeconds, pFrames);
    return;
  }

  const char* lPreferred = TextOf(pTimecodePropertyName);
  if (FBProperty* lFound = lSource->PropertyList.Find(lPreferred, true)) {
    qDebug("Connecting to ' %s ' timecode property ", lPreferred);
    ConnectSingle(lFound, pTimecode, pHours, pMinutes, pSeconds, pFrames);
    return;
  }
  for (size_t i = 0; i < sizeof(kTimecodeNames) / sizeof(kTimecodeNames[0]); ++i) {
    if (FBProperty* lFound = lSource->PropertyList.Find(kTimecodeNames[i], true)) {
      qDebug("%s", kTimecodeMessages[i]);
      ConnectSingle(lFound, pTimecode, pHours, pMinutes, pSeconds, pFrames);
      return;
    }
  }

  qDebug("Connecting to 'TCHour, TCMinute, TCSecond, TCFRame' timecode properties ");
  FBProperty* lHour = lSource->PropertyList.Find("TCHour", true);
  FBProperty* lMinute = lSource->PropertyList.Find("TCMinute", true);
  FBProperty* lSecond = lSource->PropertyList.Find("TCSecond", true);
  FBProperty* lFrame = lSource->PropertyList.Find("TCFrame", true);
  if (!lHour || !lMinute || !lSecond || !lFrame) {
    Reset(pTimecode, pHours, pMinutes, pSeconds, pFrames);
    return;
  }
  pTimecode.DisconnectAllSrc();
  pTimecode = ZeroTimecode();
  ConnectInteger(pHours, lHour);
  ConnectInteger(pMinutes, lMinute);
  ConnectInteger(pSeconds, lSecond);
  ConnectInteger(pFrames, lFrame);
}

void VexaHUDElement::_updateCharacterTimecodeSource() {
  UpdateTimecodeSource(CharacterTimecodeSource, CharacterTimecode, CharacterHour, CharacterMinute,
                       CharacterSecond, CharacterFrame, TimecodePropertyName);
}

void VexaHUDElement::_updateCameraTimecodeSource() {
  UpdateTimecodeSource(CameraTimecodeSource, CameraTimecode, CameraHour, CameraMinute, CameraSecond,
                       CameraFrame, TimecodePropertyName);
}

// Both setters leave the binding to the host's notifications of the change.
// Without lists (before creation, or after a failed one) they do nothing.
void VexaHUDElement::setCharacterTimecodeSource(FBComponent* pSource) {
  if (!CharacterTimecodeSource) return;
  CharacterTimecodeSource->RemoveAll();
  if (pSource) CharacterTimecodeSource->Add(pSource);
}

void VexaHUDElement::setCameraTimecodeSource(FBComponent* pSource) {
  if (!CameraTimecodeSource) return;
  CameraTimecodeSource->RemoveAll();
  if (pSource) CameraTimecodeSource->Add(pSource);
}

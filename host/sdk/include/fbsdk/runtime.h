#pragma once
// The host application's side of the SDK runtime: what the application sets
// up and drives (scene state, transport, clock, events, class registry).
// It belongs to the SDK library but is not among the headers a plug-in is
// built against: plug-ins never include it, and it is not installed with them.

#include <fbsdk/fbsdk.h>

#include <string>
#include <vector>

// Exported from the SDK library, which hides everything it does not publish.
#pragma GCC visibility push(default)
namespace fbhost {

using ORSDK2014::FBCamera;
using ORSDK2014::FBTake;
using ORSDK2014::FBTime;
using ORSDK2014::kObjectCreatorFnc;

struct RegisteredClass {
  std::string group;
  std::string entry;
  std::string description;
  kObjectCreatorFnc creator = nullptr;
  bool multipleAllowed = false;
};

// Scene state. Every FBSystem, FBPlayerControl and FBRenderer shows this.
// Refused (kept) when not finite or <= 0. 23.976, 29.97, 47.952 and 59.94 (to
// within 0.005 %) mean the exact NTSC rates 24000/1001,
// 30000/1001, 48000/1001 and 60000/1001, as the host's NTSC time modes do.
void SetFrameRate(double pFramesPerSecond);
double FrameRate();  // 30000/1001 for 29.97
// The rate as an exact fraction (whole rates over 1); false for other rates.
bool FrameRateFraction(long long& pNumerator, long long& pDenominator);
void SetLocalTime(FBTime pTime);
FBTime LocalTime();
void SetSystemTime(FBTime pTime);
FBTime SystemTime();
void SetTransport(bool pRecording, bool pPlaying);
bool IsRecording();
bool IsPlaying();
void SetPlayRange(FBTime pStart, FBTime pStop);
FBTime PlayStart();
FBTime PlayStop();
void SetCurrentTake(FBTake* pTake);
FBTake* CurrentTake();
void SetCurrentCamera(FBCamera* pCamera);
FBCamera* CurrentCamera();

// Puts the scene state back to a new host's: 30 fps, time 0, stopped, play
// range 0 to 0, no take, no camera. Registry and handlers are kept.
void ResetScene();

// Class registry (FBObject_Register). A class registered again under the same
// group and entry replaces the earlier record.
const std::vector<RegisteredClass>& RegisteredClasses();
const RegisteredClass* FindRegisteredClass(const char* pGroup, const char* pEntry);
// Called with every record FBObject_Register is given, before it is kept (null
// stops): shows when, and how often, a library registers its classes.
using RegistrationObserver = void (*)(const RegisteredClass& pRecord);
void SetRegistrationObserver(RegistrationObserver pObserver);
// Forgets the classes whose factory lies in [pBegin, pEnd), e.g. a library
// about to be unloaded; answers how many were forgotten.
int ForgetClassesIn(const void* pBegin, const void* pEnd);

// Components made by the host's component allocator and not yet freed.
int LiveComponentCount();

// Events.
void RaiseRenderingPipeline(ORSDK2014::FBGlobalEvalCallbackTiming pTiming);
// Raises a connection notification as the host would after a change.
void RaiseConnectionNotify(ORSDK2014::FBConnectionAction pAction, ORSDK2014::FBPlug* pSrc,
                           ORSDK2014::FBPlug* pDst);
int ConnectionNotifyHandlerCount();
int RenderingPipelineHandlerCount();

// Calls the published SDK leaves undefined, where a host may crash or read or
// write past a buffer: GetData with a size other than the value's, Find with a
// null name. Each is reported to this handler and then does nothing; with no
// handler set the report goes to stderr and the program aborts, so no test can
// pass over one. Answers the handler set before.
using MisuseHandler = void (*)(const char* pReport);
MisuseHandler SetMisuseHandler(MisuseHandler pHandler);

// Until it is set again, the string property's text reads as null, as a host
// may give back a string cleared through its interface.
void HandBackNullText(ORSDK2014::FBProperty* pProperty);

// Number of properties a bare HUD element publishes before its own.
int HUDElementBasePropertyCount();

// Raw value of a timecode from its text "HH:MM:SS:FF" at the given rate;
// false when the text is malformed.
bool ParseTimeCode(const char* pText, ORSDK2014::FBTimeCode& pTimeCode,
                   float pRate = ORSDK2014::FBTimeCode::NTSC_DROP);
std::string FormatTimeCode(const ORSDK2014::FBTimeCode& pTimeCode);

}  // namespace fbhost
#pragma GCC visibility pop

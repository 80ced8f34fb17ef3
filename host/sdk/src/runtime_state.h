#pragma once
// State of the one host process behind every SDK proxy object.

#include <fbsdk/fbsdk.h>
#include <fbsdk/runtime.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace ORSDK2014 {

// A list of (receiver, handler) pairs. Safe against handlers that add or
// remove handlers, or raise further events, while it dispatches.
class FBEventSource {
 public:
  void Add(HICallback pOwner, kICallbackHandler pHandler);
  void Remove(HICallback pOwner, kICallbackHandler pHandler);
  void Raise(HIRegister pSender, HKEventBase pEvent);
  int Count() const;

 private:
  struct Entry {
    HICallback owner;
    kICallbackHandler handler;
    bool live;
  };
  std::vector<Entry> mEntries;
  int mDepth = 0;
  bool mHasDead = false;
};

struct ConnectionEventData : KEventBase {
  FBConnectionAction action;
  FBPlug* src;
  FBPlug* dst;
  int srcIndex;
};

struct PipelineEventData : KEventBase {
  FBGlobalEvalCallbackTiming timing;
};

// A property's value as animation data (doubles; see FBAnimationNode) and
// back. DataToRaw leaves what the data does not carry (a timecode's rate).
int DataCount(FBPropertyType pType);
void RawToData(FBPropertyType pType, const void* pRaw, double* pData);
void DataToRaw(FBPropertyType pType, const double* pData, void* pRaw);

}  // namespace ORSDK2014

namespace fbhost {
namespace detail {

// A frame rate: num / den where it is an exact fraction (whole rates, and the
// NTSC rates N * 1000 / 1001), den 0 for any other; value as a double.
struct Rate {
  long long num;
  long long den;
  double value;
};

struct State {
  Rate rate{30, 1, 30.0};
  FBTime localTime{0};
  // Counts changes of the local time: a candidate value lasts for one count.
  unsigned long long timeChanges = 0;
  FBTime systemTime{0};
  bool recording = false;
  bool playing = false;
  FBTime playStart{0};
  FBTime playStop{0};
  FBTake* take = nullptr;
  FBCamera* camera = nullptr;
  std::vector<RegisteredClass> classes;
  RegistrationObserver registrationObserver = nullptr;
  int liveComponents = 0;
  MisuseHandler misuseHandler = nullptr;
  // String properties whose text reads as null (HandBackNullText).
  std::unordered_set<const ORSDK2014::FBProperty*> nullTexts;
};

State& S();
ORSDK2014::FBEventSource& ConnectionEvents();
ORSDK2014::FBEventSource& PipelineEvents();
void SetLocalTime(FBTime pTime);
void ReportMisuse(const std::string& pReport);
void NotifyConnection(ORSDK2014::FBConnectionAction pAction, ORSDK2014::FBPlug* pSrc,
                      ORSDK2014::FBPlug* pDst, int pSrcIndex);

}  // namespace detail
}  // namespace fbhost

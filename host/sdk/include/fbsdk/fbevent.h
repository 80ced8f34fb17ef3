#pragma once
// Events: handler lists on the host's event properties and the event wrappers.

#include <fbsdk/fbplug.h>

namespace ORSDK2014 {

class FBEventSource;

// A handler list that every proxy of the same host object shares.
class FBSDK_DLL FBPropertyEvent {
 public:
  void Add(HICallback pOwner, kICallbackHandler pHandler);
  void Remove(HICallback pOwner, kICallbackHandler pHandler);
  int GetCount() const;

 protected:
  explicit FBPropertyEvent(FBEventSource* pSource) : mSource(pSource) {}

 private:
  FBEventSource* mSource;
};

class FBSDK_DLL FBPropertyEventConnectionNotify : public FBPropertyEvent {
 public:
  FBPropertyEventConnectionNotify();
};

class FBSDK_DLL FBPropertyEventCallbackRenderPipeline : public FBPropertyEvent {
 public:
  FBPropertyEventCallbackRenderPipeline();
};

// A read-only field of an event wrapper. (Name chosen here: the published
// headers use read-only property classes for these fields.)
template <class tType>
class FBEventField {
 public:
  explicit FBEventField(tType pValue) : mValue(pValue) {}
  operator tType() const { return mValue; }

 private:
  tType mValue;
};

class FBSDK_DLL FBEventConnectionNotify {
 public:
  explicit FBEventConnectionNotify(HKEventBase pEvent);

  FBEventField<FBConnectionAction> Action;
  FBEventField<FBPlug*> SrcPlug;
  FBEventField<FBPlug*> DstPlug;
  FBEventField<FBPlug*> NewPlug;
  FBEventField<int> SrcIndex;
  FBEventField<FBConnectionType> ConnectionType;
};

enum FBGlobalEvalCallbackTiming {
  kFBGlobalEvalCallbackBeforeDAG = 0,
  kFBGlobalEvalCallbackAfterDAG = 1,
  kFBGlobalEvalCallbackAfterDeform = 2,
  kFBGlobalEvalCallbackSyn = 3,
  kFBGlobalEvalCallbackBeforeRender = 4,
  kFBGlobalEvalCallbackAfterRender = 5
};

class FBSDK_DLL FBEventEvalGlobalCallback {
 public:
  explicit FBEventEvalGlobalCallback(HKEventBase pEvent);
  FBGlobalEvalCallbackTiming GetTiming() const { return mTiming; }

 private:
  FBGlobalEvalCallbackTiming mTiming;
};

}  // namespace ORSDK2014

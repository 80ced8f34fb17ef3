#include "runtime_state.h"

namespace ORSDK2014 {

void FBEventSource::Add(HICallback pOwner, kICallbackHandler pHandler) {
  if (!pOwner || !pHandler) return;
  // What a host does with a pair added twice is not published; dropping the
  // second would hide a double hook, so it is called twice.
  mEntries.push_back(Entry{pOwner, pHandler, true});
}

void FBEventSource::Remove(HICallback pOwner, kICallbackHandler pHandler) {
  // The newest of equal pairs goes first.
  for (size_t i = mEntries.size(); i-- > 0;) {
    Entry& lEntry = mEntries[i];
    if (!lEntry.live || lEntry.owner != pOwner || lEntry.handler != pHandler) continue;
    if (mDepth > 0) {
      lEntry.live = false;  // compacted once the outermost dispatch ends
      mHasDead = true;
    } else {
      mEntries.erase(mEntries.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return;
  }
}

void FBEventSource::Raise(HIRegister pSender, HKEventBase pEvent) {
  ++mDepth;
  // Newest first, as the host calls them. Indexing, not iterators: a handler
  // may add entries while we dispatch; those wait for the next raise.
  for (size_t i = mEntries.size(); i-- > 0;) {
    if (!mEntries[i].live) continue;
    const Entry lEntry = mEntries[i];
    (lEntry.owner->*lEntry.handler)(pSender, pEvent);
  }
  if (--mDepth == 0 && mHasDead) {
    std::vector<Entry> lLive;
    for (const Entry& lEntry : mEntries)
      if (lEntry.live) lLive.push_back(lEntry);
    mEntries.swap(lLive);
    mHasDead = false;
  }
}

int FBEventSource::Count() const {
  int lCount = 0;
  for (const Entry& lEntry : mEntries) lCount += lEntry.live ? 1 : 0;
  return lCount;
}

void FBPropertyEvent::Add(HICallback pOwner, kICallbackHandler pHandler) {
  mSource->Add(pOwner, pHandler);
}

void FBPropertyEvent::Remove(HICallback pOwner, kICallbackHandler pHandler) {
  mSource->Remove(pOwner, pHandler);
}

int FBPropertyEvent::GetCount() const { return mSource->Count(); }

FBPropertyEventConnectionNotify::FBPropertyEventConnectionNotify()
    : FBPropertyEvent(&fbhost::detail::ConnectionEvents()) {}

FBPropertyEventCallbackRenderPipeline::FBPropertyEventCallbackRenderPipeline()
    : FBPropertyEvent(&fbhost::detail::PipelineEvents()) {}

namespace {
const ConnectionEventData* AsConnection(HKEventBase pEvent) {
  static const ConnectionEventData kNone = [] {
    ConnectionEventData lData;
    lData.action = kFBRequestConnectSrc;
    lData.src = nullptr;
    lData.dst = nullptr;
    lData.srcIndex = -1;
    return lData;
  }();
  return pEvent ? static_cast<const ConnectionEventData*>(pEvent) : &kNone;
}
}  // namespace

FBEventConnectionNotify::FBEventConnectionNotify(HKEventBase pEvent)
    : Action(AsConnection(pEvent)->action),
      SrcPlug(AsConnection(pEvent)->src),
      DstPlug(AsConnection(pEvent)->dst),
      NewPlug(nullptr),
      SrcIndex(AsConnection(pEvent)->srcIndex),
      ConnectionType(kFBConnectionTypeNone) {}

FBEventEvalGlobalCallback::FBEventEvalGlobalCallback(HKEventBase pEvent)
    : mTiming(pEvent ? static_cast<const PipelineEventData*>(pEvent)->timing
                     : kFBGlobalEvalCallbackBeforeDAG) {}

}  // namespace ORSDK2014

namespace fbhost {
namespace detail {

// Never destroyed, like the rest of the host's state (see S()).
ORSDK2014::FBEventSource& ConnectionEvents() {
  static ORSDK2014::FBEventSource* const sSource = new ORSDK2014::FBEventSource;
  return *sSource;
}

ORSDK2014::FBEventSource& PipelineEvents() {
  static ORSDK2014::FBEventSource* const sSource = new ORSDK2014::FBEventSource;
  return *sSource;
}

void NotifyConnection(ORSDK2014::FBConnectionAction pAction, ORSDK2014::FBPlug* pSrc,
                      ORSDK2014::FBPlug* pDst, int pSrcIndex) {
  ORSDK2014::ConnectionEventData lData;
  lData.action = pAction;
  lData.src = pSrc;
  lData.dst = pDst;
  lData.srcIndex = pSrcIndex;
  ConnectionEvents().Raise(nullptr, &lData);
}

}  // namespace detail

void RaiseRenderingPipeline(ORSDK2014::FBGlobalEvalCallbackTiming pTiming) {
  ORSDK2014::PipelineEventData lData;
  lData.timing = pTiming;
  detail::PipelineEvents().Raise(nullptr, &lData);
}

void RaiseConnectionNotify(ORSDK2014::FBConnectionAction pAction, ORSDK2014::FBPlug* pSrc,
                           ORSDK2014::FBPlug* pDst) {
  detail::NotifyConnection(pAction, pSrc, pDst, -1);
}

int ConnectionNotifyHandlerCount() { return detail::ConnectionEvents().Count(); }
int RenderingPipelineHandlerCount() { return detail::PipelineEvents().Count(); }

}  // namespace fbhost

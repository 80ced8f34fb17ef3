#include <algorithm>

#include "runtime_state.h"

namespace ORSDK2014 {

int FBPlug::mGlobalTypeInfo = 1;
int FBPlug::TypeInfo = FBPlug::mGlobalTypeInfo++;

void* IObject::IQuery(int, int) { return nullptr; }
void IObject::Destroy(bool) {}
IObject::~IObject() = default;
IRegister::~IRegister() = default;
KEventBase::~KEventBase() = default;

FBPlug::FBPlug(HIObject pObject) : mObject(pObject) {}

FBPlug::~FBPlug() { UnlinkAll(); }

HIObject FBPlug::GetHIObject() { return this; }
void FBPlug::SetHIObject(HIObject pObject, bool) { mObject = pObject; }
const char* FBPlug::ClassName() { return "FBPlug"; }
bool FBPlug::Is(int pTypeId) { return pTypeId == FBPlug::TypeInfo; }
int FBPlug::GetTypeId() { return FBPlug::TypeInfo; }
void FBPlug::FBDelete() {}

bool FBPlug::AcceptsSrc(FBPlug*) { return false; }

namespace {
// Whether pTarget is pFrom or one of the sources pFrom reads through.
bool DependsOn(FBPlug* pFrom, FBPlug* pTarget, int pDepth) {
  if (pFrom == pTarget) return true;
  if (pDepth > 256) return true;  // treat absurd depth as a cycle
  for (int i = 0; i < pFrom->GetSrcCount(); ++i) {
    if (DependsOn(pFrom->GetSrc(i), pTarget, pDepth + 1)) return true;
  }
  return false;
}
}  // namespace

bool FBPlug::ConnectSrc(FBPlug* pSrc, FBConnectionType) {
  if (!pSrc || pSrc == this) return false;
  if (std::find(mSrcs.begin(), mSrcs.end(), pSrc) != mSrcs.end()) return true;
  if (!AcceptsSrc(pSrc)) return false;
  if (DependsOn(pSrc, this, 0)) return false;  // would make a cycle
  mSrcs.push_back(pSrc);
  pSrc->mDsts.push_back(this);
  fbhost::detail::NotifyConnection(kFBConnectedSrc, pSrc, this, static_cast<int>(mSrcs.size()) - 1);
  return true;
}

bool FBPlug::DisconnectSrc(FBPlug* pSrc) {
  auto lIt = std::find(mSrcs.begin(), mSrcs.end(), pSrc);
  if (lIt == mSrcs.end()) return false;
  const int lIndex = static_cast<int>(lIt - mSrcs.begin());
  mSrcs.erase(lIt);
  auto lBack = std::find(pSrc->mDsts.begin(), pSrc->mDsts.end(), this);
  if (lBack != pSrc->mDsts.end()) pSrc->mDsts.erase(lBack);
  fbhost::detail::NotifyConnection(kFBDisconnectedSrc, pSrc, this, lIndex);
  return true;
}

void FBPlug::DisconnectAllSrc() {
  // One notification per source, the list already changed when it goes out.
  while (!mSrcs.empty()) DisconnectSrc(mSrcs.front());
}

int FBPlug::GetSrcCount() { return static_cast<int>(mSrcs.size()); }

FBPlug* FBPlug::GetSrc(int pIndex) {
  if (pIndex < 0 || pIndex >= GetSrcCount()) return nullptr;
  return mSrcs[static_cast<size_t>(pIndex)];
}

int FBPlug::GetDstCount() { return static_cast<int>(mDsts.size()); }

FBPlug* FBPlug::GetDst(int pIndex) {
  if (pIndex < 0 || pIndex >= GetDstCount()) return nullptr;
  return mDsts[static_cast<size_t>(pIndex)];
}

void FBPlug::UnlinkAll() {
  for (FBPlug* lSrc : mSrcs) {
    auto lIt = std::find(lSrc->mDsts.begin(), lSrc->mDsts.end(), this);
    if (lIt != lSrc->mDsts.end()) lSrc->mDsts.erase(lIt);
  }
  for (FBPlug* lDst : mDsts) {
    auto lIt = std::find(lDst->mSrcs.begin(), lDst->mSrcs.end(), this);
    if (lIt != lDst->mSrcs.end()) lDst->mSrcs.erase(lIt);
  }
  mSrcs.clear();
  mDsts.clear();
}

}  // namespace ORSDK2014

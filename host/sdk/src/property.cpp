#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "runtime_state.h"

namespace ORSDK2014 {

using fbhost::detail::S;

int FBProperty::TypeInfo = FBPlug::mGlobalTypeInfo++;

namespace {

bool IsNumeric(FBPropertyType pType) {
  return pType == kFBPT_int || pType == kFBPT_bool || pType == kFBPT_double || pType == kFBPT_enum;
}

// double to int without undefined behaviour: NaN gives 0, the rest saturates.
int SaturateToInt(double pValue) {
  if (std::isnan(pValue)) return 0;
  if (pValue >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  if (pValue <= static_cast<double>(std::numeric_limits<int>::min()))
    return std::numeric_limits<int>::min();
  return static_cast<int>(pValue);
}

double NumericValue(FBPropertyType pType, const void* pRaw) {
  switch (pType) {
    case kFBPT_bool:
      return *static_cast<const bool*>(pRaw) ? 1.0 : 0.0;
    case kFBPT_int:
    case kFBPT_enum:
      return *static_cast<const int*>(pRaw);
    case kFBPT_double:
      return *static_cast<const double*>(pRaw);
    default:
      return 0.0;
  }
}

void StoreNumeric(FBPropertyType pType, double pValue, void* pRaw) {
  switch (pType) {
    case kFBPT_bool:
      *static_cast<bool*>(pRaw) = pValue != 0.0;
      break;
    case kFBPT_int:
    case kFBPT_enum:
      *static_cast<int*>(pRaw) = SaturateToInt(pValue);
      break;
    case kFBPT_double:
      *static_cast<double*>(pRaw) = pValue;
      break;
    default:
      break;
  }
}

const int kMaxEvaluationDepth = 256;

}  // namespace

FBProperty::FBProperty(FBPropertyType pType) : mType(pType) {
  std::memset(&mRaw, 0, sizeof(mRaw));
  if (pType == kFBPT_TimeCode) {
    const FBTimeCode lZero;
    std::memcpy(&mRaw, &lZero, sizeof(lZero));
  }
}

FBProperty::~FBProperty() { S().nullTexts.erase(this); }

const char* FBProperty::ClassName() { return "FBProperty"; }
bool FBProperty::Is(int pTypeId) { return pTypeId == TypeInfo || FBPlug::Is(pTypeId); }
int FBProperty::GetTypeId() { return TypeInfo; }

int FBProperty::RawSize(FBPropertyType pType) {
  switch (pType) {
    case kFBPT_bool:
      return 1;
    case kFBPT_int:
    case kFBPT_enum:
      return 4;
    case kFBPT_double:
    case kFBPT_Time:
    case kFBPT_charptr:
      return 8;
    case kFBPT_TimeCode:
      return 24;
    case kFBPT_ColorRGBA:
      return 32;
    default:
      return 0;
  }
}

FBProperty* FBProperty::CreateInternal(FBComponent* pParent, const char* pName,
                                       fbExternalGetSetHandler pGet, fbExternalGetSetHandler pSet) {
  mOwner = pParent;
  SetName(pName);
  mGet = pGet;
  mSet = pSet;
  return this;
}

void FBProperty::SetName(const char* pName) { mName.assign(pName ? pName : ""); }
void FBProperty::SetTypeName(const char* pTypeName) {
  mTypeName.assign(pTypeName ? pTypeName : "");
}

void FBProperty::SetMinMax(double pMin, double pMax, bool pForceMinClamp, bool pForceMaxClamp) {
  mMin = pMin;
  mMax = pMax;
  mClampMin = pForceMinClamp;
  mClampMax = pForceMaxClamp;
}

bool FBProperty::GetMinMax(double& pMin, double& pMax) const {
  pMin = mMin;
  pMax = mMax;
  return mClampMin || mClampMax;
}

FBPropertyType FBProperty::GetPropertyType() { return mType; }
const char* FBProperty::GetName() { return mName.c_str(); }
const char* FBProperty::GetPropertyTypeName() { return mTypeName.c_str(); }
FBComponent* FBProperty::GetOwner() { return mOwner; }
bool FBProperty::IsAnimatable() { return false; }
bool FBProperty::IsReadOnly() { return mGet != nullptr && mSet == nullptr; }

bool FBProperty::AcceptsSrc(FBPlug* pSrc) {
  FBProperty* lSrc = dynamic_cast<FBProperty*>(pSrc);
  if (!lSrc) return false;
  const FBPropertyType lFrom = lSrc->GetPropertyType();
  const FBPropertyType lTo = GetPropertyType();
  if (RawSize(lTo) == 0 || RawSize(lFrom) == 0) return false;
  if (IsNumeric(lFrom) && IsNumeric(lTo)) return true;
  return lFrom == lTo;
}

void FBProperty::StoreRaw(const void* pRaw) {
  if (mType == kFBPT_charptr) {
    const char* lText = *static_cast<const char* const*>(pRaw);
    mText.assign(lText ? lText : "");
    mTextSet = true;
    S().nullTexts.erase(this);
    return;
  }
  std::memcpy(&mRaw, pRaw, static_cast<size_t>(RawSize(mType)));
  Clamp(&mRaw);
}

void FBProperty::Clamp(void* pRaw) const {
  if (!IsNumeric(mType) || !(mClampMin || mClampMax)) return;
  double lValue = NumericValue(mType, pRaw);
  if (std::isnan(lValue)) lValue = mClampMin ? mMin : (mClampMax ? mMax : 0.0);
  if (mClampMin && lValue < mMin) lValue = mMin;
  if (mClampMax && lValue > mMax) lValue = mMax;
  StoreNumeric(mType, lValue, pRaw);
}

bool FBProperty::EvaluateKeys(void*) const { return false; }

void FBProperty::SetData(void* pData) {
  // A string property is handed the address of a const char*; a null address
  // or a null text stores "".
  static const char* sEmptyText = "";
  if (!pData && mType == kFBPT_charptr) pData = &sEmptyText;
  if (!pData) return;
  if (mSet) {
    mSet(mOwner ? mOwner->GetHIObject() : nullptr, pData);
    return;
  }
  if (mGet) return;  // read-only
  if (RawSize(mType) == 0) return;
  StoreRaw(pData);
}

void FBProperty::Evaluate(void* pRaw, int pDepth) const {
  if (mGet) {
    mGet(mOwner ? mOwner->GetHIObject() : nullptr, pRaw);
    return;
  }
  FBPlug* lPlug = const_cast<FBProperty*>(this)->GetSrc(0);
  if (lPlug && pDepth < kMaxEvaluationDepth && RawSize(mType) > 0) {
    // Only properties are ever accepted as sources of a valued property.
    FBProperty* lSrc = static_cast<FBProperty*>(lPlug);
    const FBPropertyType lFrom = lSrc->GetPropertyType();
    if (lFrom == mType || (lFrom == kFBPT_enum && mType == kFBPT_int) ||
        (lFrom == kFBPT_int && mType == kFBPT_enum)) {
      lSrc->Evaluate(pRaw, pDepth + 1);
      return;
    }
    Raw lSrcRaw;
    std::memset(&lSrcRaw, 0, sizeof(lSrcRaw));
    lSrc->Evaluate(&lSrcRaw, pDepth + 1);
    StoreNumeric(mType, NumericValue(lFrom, &lSrcRaw), pRaw);
    return;
  }
  if (EvaluateKeys(pRaw)) return;
  if (mType == kFBPT_charptr) {
    // Never set, or handed back cleared: a null text, as the host gives it.
    const char* lText = mTextSet && S().nullTexts.count(this) == 0 ? mText.c_str() : nullptr;
    std::memcpy(pRaw, &lText, sizeof(lText));
    return;
  }
  std::memcpy(pRaw, &mRaw, static_cast<size_t>(RawSize(mType)));
}

void FBProperty::GetData(void* pData, int pSize, FBEvaluateInfo*) const {
  const int lRawSize = RawSize(mType);
  if (lRawSize == 0) return;
  // A host copies the value's size whatever the buffer's: a wrong size is the
  // caller's fault, shown rather than mended.
  if (!pData) {
    fbhost::detail::ReportMisuse("GetData of \"" + mName + "\" into no buffer");
    return;
  }
  if (pSize != lRawSize) {
    fbhost::detail::ReportMisuse("GetData of \"" + mName + "\" with " + std::to_string(pSize) +
                                 " bytes; its value has " + std::to_string(lRawSize));
    return;
  }
  Raw lRaw;
  std::memset(&lRaw, 0, sizeof(lRaw));
  Evaluate(&lRaw, 0);
  std::memcpy(pData, &lRaw, static_cast<size_t>(lRawSize));
}

FBPropertyAnimatable* FBPropertyAnimatable::Init(FBBox* pOwner, const char* pName,
                                                 const char* pType, double* pInit) {
  mOwner = pOwner;
  SetName(pName);
  SetTypeName(pType);
  if (pInit) {
    // How many doubles a host reads is not published: this one reads four for
    // every kind, so a shorter array shows under the address sanitizer.
    double lInit[4];
    std::memcpy(lInit, pInit, sizeof(lInit));
    Raw lRaw;
    std::memset(&lRaw, 0, sizeof(lRaw));
    switch (mType) {
      case kFBPT_bool:
      case kFBPT_int:
      case kFBPT_enum:
      case kFBPT_double:
        StoreNumeric(mType, lInit[0], &lRaw);
        break;
      case kFBPT_ColorRGBA:
        for (int i = 0; i < 4; ++i) lRaw.v[i] = lInit[i];
        break;
      case kFBPT_TimeCode: {
        // Seconds and frames; the rate stays the default one.
        FBTimeCode lCode;
        lCode.SetTimeCode(0, 0, 0, 0.0f);
        std::memcpy(&lRaw, &lCode, sizeof(lCode));
        lRaw.v[0] = lInit[0];
        lRaw.v[1] = lInit[1];
        break;
      }
      case kFBPT_Time: {
        FBTime lTime;
        lTime.SetSecondDouble(lInit[0]);
        lRaw.t = lTime.Get();
        break;
      }
      default:
        break;
    }
    if (RawSize(mType) > 0 && mType != kFBPT_charptr) StoreRaw(&lRaw);
  }
  if (pOwner) pOwner->PropertyAdd(this);
  return this;
}

bool FBPropertyAnimatable::SetAnimated(bool pAnimated) {
  mAnimated = pAnimated;
  if (!pAnimated) {
    mNode.reset();
    mHasCandidate = false;
  }
  return true;
}

FBAnimationNode* FBPropertyAnimatable::GetAnimationNode(FBTake*) {
  if (!mAnimated || mGet || mSet) return nullptr;
  if (!mNode) {
    const int lComponents = DataCount(mType);
    if (lComponents == 0) return nullptr;
    mNode.reset(new FBAnimationNode(this, lComponents, mType == kFBPT_TimeCode));
  }
  return mNode.get();
}

bool FBPropertyAnimatable::Keyed() const { return mNode && mNode->FCurve->KeyCount() > 0; }

bool FBPropertyAnimatable::CandidateHolds() const {
  return mHasCandidate && mCandidateTime == static_cast<kLongLong>(S().timeChanges);
}

void FBPropertyAnimatable::SetData(void* pData) {
  FBProperty::SetData(pData);
  // The stored value is the candidate: the keys ignore it once the time moves.
  if (pData && Keyed()) {
    mHasCandidate = true;
    mCandidateTime = static_cast<kLongLong>(S().timeChanges);
  }
}

bool FBPropertyAnimatable::EvaluateKeys(void* pRaw) const {
  if (!Keyed() || CandidateHolds()) return false;
  double lData[4] = {0.0, 0.0, 0.0, 0.0};
  mNode->EvaluateKeys(lData, S().localTime.Get());
  std::memcpy(pRaw, &mRaw, static_cast<size_t>(RawSize(mType)));
  DataToRaw(mType, lData, pRaw);
  Clamp(pRaw);
  return true;
}

int DataCount(FBPropertyType pType) {
  switch (pType) {
    case kFBPT_bool:
    case kFBPT_int:
    case kFBPT_enum:
    case kFBPT_double:
      return 1;
    case kFBPT_TimeCode:
      return 2;
    case kFBPT_ColorRGBA:
      return 4;
    default:
      return 0;
  }
}

void RawToData(FBPropertyType pType, const void* pRaw, double* pData) {
  if (pType == kFBPT_TimeCode || pType == kFBPT_ColorRGBA) {
    std::memcpy(pData, pRaw, static_cast<size_t>(DataCount(pType)) * sizeof(double));
  } else {
    pData[0] = NumericValue(pType, pRaw);
  }
}

void DataToRaw(FBPropertyType pType, const double* pData, void* pRaw) {
  switch (pType) {
    case kFBPT_TimeCode:
    case kFBPT_ColorRGBA:
      std::memcpy(pRaw, pData, static_cast<size_t>(DataCount(pType)) * sizeof(double));
      break;
    case kFBPT_int:
    case kFBPT_enum:
      // Integers round half away from zero, saturating; NaN reads as 0.
      StoreNumeric(pType, std::round(pData[0]), pRaw);
      break;
    default:
      StoreNumeric(pType, pData[0], pRaw);
      break;
  }
}

bool FBPropertyAnimatable::IsAnimated() { return mAnimated; }
bool FBPropertyAnimatable::IsAnimatable() { return true; }
FBPropertyType FBPropertyString::GetPropertyType() { return kFBPT_charptr; }
FBPropertyType FBPropertyBasicList::GetPropertyType() { return kFBPT_object; }

int FBPropertyBasicList::GetCount() { return GetSrcCount(); }

void FBPropertyBasicList::RemoveAt(int pIndex) {
  if (FBPlug* lItem = GetSrc(pIndex)) DisconnectSrc(lItem);
}

void FBPropertyBasicList::RemoveAll() { DisconnectAllSrc(); }

FBComponent* FBPropertyListObject::GetAt(int pIndex) {
  // Only components are accepted as items.
  return static_cast<FBComponent*>(GetSrc(pIndex));
}

int FBPropertyListObject::Add(FBComponent* pItem) {
  if (!pItem || !ConnectSrc(pItem)) return -1;
  return Find(pItem);
}

int FBPropertyListObject::Remove(FBComponent* pItem) {
  const int lIndex = Find(pItem);
  if (lIndex >= 0) DisconnectSrc(pItem);
  return lIndex;
}

int FBPropertyListObject::Find(FBComponent* pItem) {
  for (int i = 0; i < GetSrcCount(); ++i)
    if (GetSrc(i) == pItem) return i;
  return -1;
}

bool FBPropertyListObject::AcceptsSrc(FBPlug* pSrc) {
  return dynamic_cast<FBComponent*>(pSrc) != nullptr;
}

FBProperty* FBPropertyManager::Find(const char* pPropertyName, bool) {
  if (!pPropertyName) {
    fbhost::detail::ReportMisuse("Find with a null name");
    return nullptr;
  }
  for (FBProperty* lProperty : mProperties) {
    if (std::strcmp(lProperty->GetName(), pPropertyName) == 0) return lProperty;
  }
  return nullptr;
}

int FBPropertyManager::Add(FBProperty* pProperty) {
  if (!pProperty) return -1;
  mProperties.push_back(pProperty);
  return static_cast<int>(mProperties.size()) - 1;
}

}  // namespace ORSDK2014

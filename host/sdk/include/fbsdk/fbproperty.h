#pragma once
// Properties: typed, connectable values published on components.

#include <fbsdk/fbanimation.h>
#include <fbsdk/fbplug.h>
#include <fbsdk/fbtime.h>
#include <fbsdk/fbtypes.h>

#include <memory>
#include <string>
#include <vector>

namespace ORSDK2014 {

class FBComponent;
class FBBox;
class FBTake;

enum FBPropertyType {
  kFBPT_unknown = 0,
  kFBPT_int = 1,
  kFBPT_bool = 4,
  kFBPT_double = 6,
  kFBPT_charptr = 7,
  kFBPT_enum = 8,
  kFBPT_Time = 9,
  kFBPT_TimeCode = 10,
  kFBPT_object = 11,
  kFBPT_event = 12,
  kFBPT_ColorRGBA = 17
};

// An external accessor: reads (getter) or writes (setter) the raw value at pData.
typedef void (*fbExternalGetSetHandler)(HIObject pObject, void* pData);

class FBSDK_DLL FBProperty : public FBPlug {
 public:
  explicit FBProperty(FBPropertyType pType = kFBPT_unknown);
  ~FBProperty() override;

  const char* ClassName() override;
  bool Is(int pTypeId) override;
  int GetTypeId() override;
  static int TypeInfo;

  // Names the property and gives it an owner. Without accessors the host keeps
  // the value with the property.
  FBProperty* CreateInternal(FBComponent* pParent, const char* pName,
                             fbExternalGetSetHandler pGet = nullptr,
                             fbExternalGetSetHandler pSet = nullptr);
  // Limits; a forced limit clamps every value set afterwards.
  void SetMinMax(double pMin, double pMax, bool pForceMinClamp = false,
                 bool pForceMaxClamp = false);
  bool GetMinMax(double& pMin, double& pMax) const;

  // Raw access. For a charptr property SetData takes the address of a
  // const char* and copies that text; GetData writes a char* to the kept text,
  // null for a string never set. pSize must be the value's size (RawSize).
  virtual void SetData(void* pData);
  virtual void GetData(void* pData, int pSize, FBEvaluateInfo* pEvalInfo = nullptr) const;
  virtual FBPropertyType GetPropertyType();

  const char* GetName();
  // The data-type name the property was published with ("" when none).
  const char* GetPropertyTypeName();
  FBComponent* GetOwner();
  virtual bool IsAnimatable();
  bool IsReadOnly();

  // Size in bytes of the raw value of a property type (0 for lists and events).
  static int RawSize(FBPropertyType pType);

 protected:
  friend class FBComponent;
  bool AcceptsSrc(FBPlug* pSrc) override;
  // Reads the value this property shows into pRaw (RawSize bytes), following
  // a connection to its source.
  void Evaluate(void* pRaw, int pDepth) const;
  // The keyed value at the scene's time into pRaw; false when not keyed.
  virtual bool EvaluateKeys(void* pRaw) const;
  // Applies the forced limits to a numeric raw value.
  void Clamp(void* pRaw) const;
  void SetName(const char* pName);
  void SetTypeName(const char* pTypeName);
  void StoreRaw(const void* pRaw);

  FBPropertyType mType;
  std::string mName;
  std::string mTypeName;
  FBComponent* mOwner = nullptr;
  fbExternalGetSetHandler mGet = nullptr;
  fbExternalGetSetHandler mSet = nullptr;
  double mMin = 0.0;
  double mMax = 0.0;
  bool mClampMin = false;
  bool mClampMax = false;
  union Raw {
    bool b;
    int i;
    double d;
    kLongLong t;
    double v[4];
  } mRaw;
  std::string mText;
  bool mTextSet = false;
};

class FBSDK_DLL FBPropertyAnimatable : public FBProperty {
 public:
  explicit FBPropertyAnimatable(FBPropertyType pType = kFBPT_unknown) : FBProperty(pType) {}

  // Publishes the property on pOwner with its data-type name and default:
  // four doubles, whatever the kind, the default in front and zeros after.
  FBPropertyAnimatable* Init(FBBox* pOwner, const char* pName, const char* pType, double* pInit);
  // Turning animation off drops the keys.
  bool SetAnimated(bool pAnimated);
  bool IsAnimated();
  bool IsAnimatable() override;
  // The keys, when animated; the stand-in keeps one set of keys, whatever the take.
  FBAnimationNode* GetAnimationNode(FBTake* pTake = nullptr);

  // On a keyed property, a value set without a key is a candidate: it is
  // read until the scene's time changes, then the keys' value returns.
  void SetData(void* pData) override;

 protected:
  bool EvaluateKeys(void* pRaw) const override;

 private:
  friend class FBAnimationNode;
  bool Keyed() const;
  bool CandidateHolds() const;

  bool mAnimated = false;
  std::unique_ptr<FBAnimationNode> mNode;
  bool mHasCandidate = false;
  kLongLong mCandidateTime = 0;
};

template <class tType, FBPropertyType pPT>
class FBPropertyBase : public FBProperty {
 public:
  FBPropertyBase() : FBProperty(pPT) {}
  FBPropertyBase& operator=(const tType& pValue) {
    SetData(const_cast<tType*>(&pValue));
    return *this;
  }
  operator tType() const {
    tType lValue{};
    GetData(&lValue, sizeof(tType));
    return lValue;
  }
  FBPropertyType GetPropertyType() override { return pPT; }
};

template <class tType, FBPropertyType pPT>
class FBPropertyBaseAnimatable : public FBPropertyAnimatable {
 public:
  FBPropertyBaseAnimatable() : FBPropertyAnimatable(pPT) {}
  FBPropertyBaseAnimatable& operator=(const tType& pValue) {
    SetData(const_cast<tType*>(&pValue));
    return *this;
  }
  operator tType() const {
    tType lValue{};
    GetData(&lValue, sizeof(tType));
    return lValue;
  }
  FBPropertyType GetPropertyType() override { return pPT; }
};

typedef FBPropertyBase<int, kFBPT_int> FBPropertyInt;
typedef FBPropertyBase<bool, kFBPT_bool> FBPropertyBool;
typedef FBPropertyBase<double, kFBPT_double> FBPropertyDouble;
typedef FBPropertyBase<FBTime, kFBPT_Time> FBPropertyTime;

typedef FBPropertyBaseAnimatable<bool, kFBPT_bool> FBPropertyAnimatableBool;
typedef FBPropertyBaseAnimatable<int, kFBPT_int> FBPropertyAnimatableInt;
typedef FBPropertyBaseAnimatable<double, kFBPT_double> FBPropertyAnimatableDouble;
typedef FBPropertyBaseAnimatable<FBColorAndAlpha, kFBPT_ColorRGBA>
    FBPropertyAnimatableColorAndAlpha;
typedef FBPropertyBaseAnimatable<FBTimeCode, kFBPT_TimeCode> FBPropertyAnimatableTimeCode;

class FBSDK_DLL FBPropertyString : public FBProperty {
 public:
  FBPropertyString() : FBProperty(kFBPT_charptr) {}
  FBPropertyString& operator=(const char* pText) {
    SetData(&pText);
    return *this;
  }
  // Null for a text never set, or cleared, as the host gives it.
  operator const char*() const {
    const char* lText = nullptr;
    GetData(&lText, sizeof(lText));
    return lText;
  }
  FBPropertyType GetPropertyType() override;
};

// A list of components; its items are the property's sources, in order.
class FBSDK_DLL FBPropertyBasicList : public FBProperty {
 public:
  FBPropertyBasicList() : FBProperty(kFBPT_object) {}
  virtual int GetCount();
  virtual void RemoveAt(int pIndex);
  // Removes every item, one notification per item.
  void RemoveAll();
  FBPropertyType GetPropertyType() override;
};

class FBSDK_DLL FBPropertyListObject : public FBPropertyBasicList {
 public:
  FBComponent* operator[](int pIndex) { return GetAt(pIndex); }
  FBComponent* GetAt(int pIndex);
  // Appends a component; answers its index, or -1 when it was refused.
  int Add(FBComponent* pItem);
  int Remove(FBComponent* pItem);
  int Find(FBComponent* pItem);

 protected:
  bool AcceptsSrc(FBPlug* pSrc) override;
};

// Object reference properties that hand out a component of a known class.
template <class tType>
class FBPropertyComponentRef : public FBProperty {
 public:
  FBPropertyComponentRef() : FBProperty(kFBPT_object) {}
  operator tType*() const { return Get(); }
  tType* operator->() const { return Get(); }
  FBPropertyType GetPropertyType() override { return kFBPT_object; }

 private:
  tType* Get() const {
    tType* lValue = nullptr;
    if (mGet) mGet(nullptr, &lValue);
    return lValue;
  }
};

// The properties published on a component, in publication order.
class FBSDK_DLL FBPropertyManager {
 public:
  // Finds a property by its exact name (letter case counts).
  FBProperty* Find(const char* pPropertyName, bool pMultilangLookup = true);
  int GetCount() const { return static_cast<int>(mProperties.size()); }
  FBProperty& operator[](int pIndex) { return *mProperties[static_cast<size_t>(pIndex)]; }
  int Add(FBProperty* pProperty);

 private:
  std::vector<FBProperty*> mProperties;
};

}  // namespace ORSDK2014

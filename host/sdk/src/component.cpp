#include <new>

#include "runtime_state.h"

namespace ORSDK2014 {

// FBComponent's identity operations are written out: its FBDelete differs.
int FBComponent::TypeInfo = FBPlug::mGlobalTypeInfo++;
const char* FBComponent::ClassName() { return "FBComponent"; }
bool FBComponent::Is(int pTypeId) { return pTypeId == TypeInfo || FBPlug::Is(pTypeId); }
int FBComponent::GetTypeId() { return TypeInfo; }

void FBComponent::FBDelete() {
  FBDestroy();
  if (mAllocated) delete this;
}

FBComponent::FBComponent(HIObject pObject) : FBPlug(pObject) { Name.CreateInternal(this, "Name"); }

FBComponent::~FBComponent() = default;

void FBComponent::SetHIObject(HIObject pObject, bool pSDKComponent) {
  FBPlug::SetHIObject(pObject, pSDKComponent);
}

bool FBComponent::FBCreate() { return true; }

void FBComponent::FBDestroy() {
  // Leave every list that holds this component, as the user would see it.
  while (GetDstCount() > 0) {
    FBPlug* lHolder = GetDst(GetDstCount() - 1);
    if (!lHolder->DisconnectSrc(this)) break;
  }
}

int FBComponent::PropertyAdd(FBProperty* pProperty) { return PropertyList.Add(pProperty); }

FBProperty* FBComponent::PropertyCreate(const char* pName, FBPropertyType pType,
                                        const char* pDataType, bool pAnimatable, bool,
                                        FBProperty*) {
  std::unique_ptr<FBProperty> lProperty;
  if (pType == kFBPT_object) {
    lProperty.reset(new FBPropertyListObject);
  } else if (FBProperty::RawSize(pType) == 0) {
    return nullptr;  // events and unknown kinds cannot be created here
  } else if (pAnimatable) {
    lProperty.reset(new FBPropertyAnimatable(pType));
  } else {
    lProperty.reset(new FBProperty(pType));
  }
  lProperty->CreateInternal(this, pName);
  lProperty->SetTypeName(pDataType);
  FBProperty* lResult = lProperty.get();
  mCreatedProperties.push_back(std::move(lProperty));
  PropertyAdd(lResult);
  return lResult;
}

void* FBComponent::operator new(size_t pSize) {
  void* lStorage = ::operator new(pSize);
  ++fbhost::detail::S().liveComponents;
  return lStorage;
}

void FBComponent::operator delete(void* pObject) {
  if (!pObject) return;
  --fbhost::detail::S().liveComponents;
  ::operator delete(pObject);
}

FBClassImplementation(FBBox);
FBBox::~FBBox() = default;

FBBox::FBBox(const char* pName, HIObject pObject) : FBComponent(pObject) { Name = pName; }
bool FBBox::FbxStore(FBFbxObject*, kFbxObjectStore) { return true; }
bool FBBox::FbxRetrieve(FBFbxObject*, kFbxObjectStore) { return true; }
const char* FBBox::FbxGetObjectSubType() { return ""; }
const char* FBBox::FbxGetObjectType() { return "Box"; }

FBClassImplementation(FBHUDElement);
FBHUDElement::~FBHUDElement() = default;

FBHUDElement::FBHUDElement(const char* pName, HIObject pObject) : FBBox(pName, pObject) {
  FBProperty* lBase[] = {&Show, &X, &Y, &Width, &Height};
  const char* lNames[] = {"Show", "X", "Y", "Width", "Height"};
  for (int i = 0; i < 5; ++i) {
    lBase[i]->CreateInternal(this, lNames[i]);
    PropertyAdd(lBase[i]);
  }
}

void FBHUDElement::GetIntrinsicDimension(FBViewingOptions*, int& pWidth, int& pHeight) {
  pWidth = 0;
  pHeight = 0;
}

void FBHUDElement::DrawElement(FBViewingOptions*, Rect&) {}

FBLibraryBase::~FBLibraryBase() = default;

bool FBObject_Register(const char* pGroupName, const char* pEntryName, const char* pDescription,
                       kObjectCreatorFnc pCreatorFnc, bool pIsMultipleAllowed, const char*) {
  if (!pGroupName || !pEntryName || !pCreatorFnc) return false;
  fbhost::RegisteredClass lRecord;
  lRecord.group = pGroupName;
  lRecord.entry = pEntryName;
  lRecord.description = pDescription ? pDescription : "";
  lRecord.creator = pCreatorFnc;
  lRecord.multipleAllowed = pIsMultipleAllowed;
  if (fbhost::RegistrationObserver lObserver = fbhost::detail::S().registrationObserver)
    lObserver(lRecord);
  for (fbhost::RegisteredClass& lExisting : fbhost::detail::S().classes) {
    if (lExisting.group == lRecord.group && lExisting.entry == lRecord.entry) {
      lExisting = lRecord;
      return true;
    }
  }
  fbhost::detail::S().classes.push_back(lRecord);
  return true;
}

}  // namespace ORSDK2014

#pragma once
// Components (objects with published properties) and class registration.

#include <fbsdk/fbproperty.h>

#include <memory>
#include <vector>

namespace ORSDK2014 {

class FBSDK_DLL FBComponent : public FBPlug {
  FBClassDeclare(FBComponent, FBPlug);

 public:
  explicit FBComponent(HIObject pObject);

  void SetHIObject(HIObject pObject, bool pSDKComponent) override;
  virtual bool FBCreate();
  // Removes the component from every list holding it, each removal notified.
  virtual void FBDestroy();
  virtual int PropertyAdd(FBProperty* pProperty);
  virtual bool UseCustomPropertyViewSet() { return true; }

  // Creates a property the component owns and publishes it.
  FBProperty* PropertyCreate(const char* pName, FBPropertyType pType, const char* pDataType,
                             bool pAnimatable, bool pIsUser = false,
                             FBProperty* pReferenceSource = nullptr);

  // The host's component allocator; it counts the live components it made.
  static void* operator new(size_t pSize);
  static void operator delete(void* pObject);

  FBPropertyString Name;
  FBPropertyManager PropertyList;

 private:
  std::vector<std::unique_ptr<FBProperty>> mCreatedProperties;
};

enum kFbxObjectStore {
  kInit = 1,
  kAttributes = 2,
  kRelations = 4,
  kAll = 7,
  kCleanup = 8,
  kData = 16,
  kMerge = 32
};

class FBSDK_DLL FBBox : public FBComponent {
  FBClassDeclare(FBBox, FBComponent);

 public:
  explicit FBBox(const char* pName, HIObject pObject = nullptr);

  virtual bool FbxStore(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat);
  virtual bool FbxRetrieve(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat);
  virtual const char* FbxGetObjectSubType();
  virtual const char* FbxGetObjectType();
};

typedef HIObject (*kObjectCreatorFnc)(HIObject pOwner, const char* pName, void* pData);

FBSDK_DLL bool FBObject_Register(const char* pGroupName, const char* pEntryName,
                                 const char* pDescription, kObjectCreatorFnc pCreatorFnc,
                                 bool pIsMultipleAllowed, const char* pIconFilename);

}  // namespace ORSDK2014

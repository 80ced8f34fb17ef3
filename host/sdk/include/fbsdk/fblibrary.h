#pragma once
// Plug-in libraries: the library object, entry points and class registration.

#include <fbsdk/fbcomponent.h>
#include <fbsdk/fbtypes.h>

namespace ORSDK2014 {

class FBSDK_DLL FBLibraryBase : public IObject {
 public:
  FBLibraryBase() = default;
  ~FBLibraryBase() override;
};

// The plug-in defines these operations; its one library object is an FBLibrary.
class FBLibrary : public FBLibraryBase {
 public:
  ~FBLibrary() override {}
  virtual bool LibInit();
  virtual bool LibOpen();
  virtual bool LibReady();
  virtual bool LibClose();
  virtual bool LibRelease();
};

}  // namespace ORSDK2014

#define FBLibraryModule(Name) void FBModule##Name()

// FBLibraryDeclare(Name) { FBLibraryRegisterStorable(Class); ... } FBLibraryDeclareEnd;
// defines the library object, LIBRARY_INIT, the entry point and the load and
// unload calls the dynamic loader makes. As in the published headers, only
// LIBRARY_INIT is marked for export; a plug-in built with hidden visibility
// makes the other entry points visible itself.
#define FBLibraryDeclare(LibName)                                                             \
  ORSDK2014::FBLibrary LibName##GlobalFBLibrary;                                              \
  extern "C" FBSDK_EXPORT bool LIBRARY_INIT(ORSDK2014::HIError) {                             \
    return LibName##GlobalFBLibrary.LibInit();                                                \
  }                                                                                           \
  void EntryPoint##LibName(kFBDllOperation pOperation);                                       \
  __attribute__((constructor)) void KdsoInit##LibName() { EntryPoint##LibName(kFBDllLoad); }  \
  __attribute__((destructor)) void KdsoDone##LibName() { EntryPoint##LibName(kFBDllUnLoad); } \
  void EntryPoint##LibName(kFBDllOperation pOperation) {                                      \
    switch (pOperation) {                                                                     \
      case kFBDllLoad:

#define FBLibraryRegisterStorable(ClassName)     \
  {                                              \
    extern void FBModule##ClassName##Storable(); \
    FBModule##ClassName##Storable();             \
  }

#define FBLibraryDeclareEnd \
  break;                    \
  default:                  \
    break;                  \
    }                       \
    }

// Defines the storable HUD element's sub-type, its factory and the module
// function that registers the factory with the host, once.
#define FBStorableCustomHUDElementImplementation(ClassName, Desc)                                 \
  const char* ClassName::FbxGetObjectSubType() { return #ClassName; }                             \
  ORSDK2014::HIObject RegisterStorable##ClassName##Create(ORSDK2014::HIObject, const char* pName, \
                                                          void*) {                                \
    ClassName* lObject = new ClassName(pName);                                                    \
    lObject->mAllocated = true;                                                                   \
    if (lObject->FBCreate()) return lObject->GetHIObject();                                       \
    delete lObject;                                                                               \
    return nullptr;                                                                               \
  }                                                                                               \
  FBLibraryModule(ClassName##Storable) {                                                          \
    ORSDK2014::FBString lGroup("FbxStorable/HUDElement");                                         \
    static int sRegistered = ORSDK2014::FBObject_Register(                                        \
        lGroup, #ClassName, Desc, RegisterStorable##ClassName##Create, true, nullptr);            \
    (void)sRegistered;                                                                            \
  }

#pragma once
// Basic definitions shared by every SDK header: namespace, handles, export
// attributes, and the class declaration macros.

#include <cstddef>

#define FBSDKNamespace ORSDK2014
#define FBSDK_DLL __attribute__((visibility("default")))
// Marks LIBRARY_INIT for export, as the published headers do (some releases
// define it empty).
#define FBSDK_EXPORT __attribute__((visibility("default")))

enum kFBDllOperation { kFBDllLoad = 0, kFBDllUnLoad = 1 };

namespace ORSDK2014 {

class IObject;
class IRegister;
class IError;
class KEventBase;
class ICallback;
class FBEvaluateInfo;
class FBFbxObject;

typedef IObject* HIObject;
typedef IRegister* HIRegister;
typedef IError* HIError;
typedef KEventBase* HKEventBase;
typedef ICallback* HICallback;
typedef long long kLongLong;
typedef unsigned long long kULongLong;

}  // namespace ORSDK2014

// Declares the identity operations every SDK class answers.
#define FBClassDeclare(Name, Parent) \
 public:                             \
  typedef Parent ParentClass;        \
  const char* ClassName() override;  \
  static int TypeInfo;               \
  bool Is(int pTypeId) override;     \
  void FBDelete() override;          \
  int GetTypeId() override;          \
  ~Name() override;                  \
                                     \
 private:

// Defines them; the class takes the next free id of the process's counter.
#define FBClassImplementation(Name)                                                      \
  int Name::TypeInfo = ORSDK2014::FBPlug::mGlobalTypeInfo++;                             \
  const char* Name::ClassName() { return #Name; }                                        \
  bool Name::Is(int pTypeId) { return pTypeId == TypeInfo || ParentClass::Is(pTypeId); } \
  void Name::FBDelete() { ParentClass::FBDelete(); }                                     \
  int Name::GetTypeId() { return TypeInfo; }

// clang-format off
#define FBStorableClassDeclare(Name, Parent)      \
  FBClassDeclare(Name, Parent)                    \
 public:                                          \
  const char* FbxGetObjectSubType() override;     \
                                                  \
 private:
// clang-format on

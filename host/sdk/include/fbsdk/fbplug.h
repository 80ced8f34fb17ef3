#pragma once
// The root of the object model: host handles, callbacks and connectable plugs.

#include <fbsdk/fbdefines.h>

#include <vector>

namespace ORSDK2014 {

class FBSDK_DLL IObject {
 public:
  virtual void* IQuery(int pInterfaceId, int pReserved = 0);
  virtual void Destroy(bool pSelfDestroy = false);
  virtual ~IObject();
};

class FBSDK_DLL IRegister {
 public:
  virtual ~IRegister();
};

class FBSDK_DLL KEventBase {
 public:
  virtual ~KEventBase();
};

class FBSDK_DLL ICallback : public IObject {};

typedef void (ICallback::*kICallbackHandler)(HIRegister pCaller, HKEventBase pEvent);
typedef kICallbackHandler FBCallback;

enum FBConnectionType { kFBConnectionTypeNone = 0, kFBConnectionTypeSystem = 1 };

enum FBConnectionAction {
  kFBRequestConnectSrc = 0,
  kFBRequestConnectDst = 1,
  kFBConnectSrc = 2,
  kFBConnectDst = 3,
  kFBConnectedSrc = 4,
  kFBConnectedDst = 5,
  kFBRequestDisconnectSrc = 6,
  kFBRequestDisconnectDst = 7,
  kFBDisconnectSrc = 8,
  kFBDisconnectDst = 9,
  kFBDisconnectedSrc = 10,
  kFBDisconnectedDst = 11
};

class FBSDK_DLL FBPlug : public ICallback {
 public:
  explicit FBPlug(HIObject pObject = nullptr);
  FBPlug(const FBPlug&) = delete;
  FBPlug& operator=(const FBPlug&) = delete;
  ~FBPlug() override;

  virtual HIObject GetHIObject();
  virtual void SetHIObject(HIObject pObject, bool pSDKComponent);
  virtual const char* ClassName();
  virtual bool Is(int pTypeId);
  virtual int GetTypeId();
  virtual void FBDelete();

  // Connects pSrc as a source of this plug. Answers false, connecting nothing,
  // when this kind of plug cannot take that source.
  bool ConnectSrc(FBPlug* pSrc, FBConnectionType pConnectionType = kFBConnectionTypeNone);
  bool DisconnectSrc(FBPlug* pSrc);
  void DisconnectAllSrc();
  int GetSrcCount();
  FBPlug* GetSrc(int pIndex);
  int GetDstCount();
  FBPlug* GetDst(int pIndex);

  static int mGlobalTypeInfo;
  static int TypeInfo;

  // Set by a class factory on the objects it allocated.
  bool mAllocated = false;

 protected:
  // Whether this plug accepts pSrc as a source; plugs of every kind refuse by default.
  virtual bool AcceptsSrc(FBPlug* pSrc);
  // Removes every connection without notifying anyone (used on destruction).
  void UnlinkAll();

  HIObject mObject;

 private:
  friend class FBPlugAccess;
  std::vector<FBPlug*> mSrcs;
  std::vector<FBPlug*> mDsts;
};

}  // namespace ORSDK2014

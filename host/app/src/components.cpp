#include "fbhost/components.h"

#include <fbsdk/runtime.h>

namespace fbhost {

const char* const kHUDElementGroup = "FbxStorable/HUDElement";

ORSDK2014::FBComponent* CreateComponent(const char* pGroup, const char* pEntry, const char* pName) {
  const RegisteredClass* lClass = FindRegisteredClass(pGroup, pEntry);
  if (!lClass || !lClass->creator) return nullptr;
  ORSDK2014::HIObject lObject = lClass->creator(nullptr, pName, nullptr);
  if (!lObject) return nullptr;
  // Every factory of the registry hands out components.
  return dynamic_cast<ORSDK2014::FBComponent*>(lObject);
}

void DeleteComponent(ORSDK2014::FBComponent* pComponent) {
  if (!pComponent) return;
  pComponent->FBDestroy();
  delete pComponent;
}

}  // namespace fbhost

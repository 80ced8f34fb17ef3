#pragma once
// Creating and deleting components the way the host does.

#include <fbsdk/fbsdk.h>

namespace fbhost {

// Creates a component through the factory registered under pGroup/pEntry.
// Null when no such class is registered or its factory refused.
ORSDK2014::FBComponent* CreateComponent(const char* pGroup, const char* pEntry, const char* pName);

// Deletes as the host does: FBDestroy, then the deleting destructor.
void DeleteComponent(ORSDK2014::FBComponent* pComponent);

// A component's name, "" where the SDK hands back none (a name may be cleared).
inline const char* NameOf(ORSDK2014::FBComponent* pComponent) {
  const char* lName = pComponent ? static_cast<const char*>(pComponent->Name) : nullptr;
  return lName ? lName : "";
}

// The HUD element group and the element class this project builds.
extern const char* const kHUDElementGroup;  // "FbxStorable/HUDElement"

}  // namespace fbhost

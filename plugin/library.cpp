// The plug-in library: its library object, entry points and the one class it
// registers with the host.

#include <fbsdk/fbsdk.h>

#include "element/vexa_hud_element.h"

FBStorableCustomHUDElementImplementation(VexaHUDElement, "Vexa HUD Element");

FBLibraryDeclare(vexahudeelement) { FBLibraryRegisterStorable(VexaHUDElement); }
FBLibraryDeclareEnd;

bool FBLibrary::LibInit() { return true; }
bool FBLibrary::LibOpen() { return true; }
bool FBLibrary::LibReady() { return true; }
bool FBLibrary::LibClose() { return true; }
bool FBLibrary::LibRelease() { return true; }

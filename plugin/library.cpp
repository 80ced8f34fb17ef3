// The plug-in library: its library object, entry points and the one class it
// registers with the host.

#include <fbsdk/fbsdk.h>

#include "element/vexa_hud_element.h"

// The library builds with hidden visibility, and the SDK's export macro marks
// at most LIBRARY_INIT (some releases define it empty). The host finds the
// entry points and the factory these macros define by name, so they are made
// visible here whatever the macro expands to; the export map keeps the list.
#pragma GCC visibility push(default)
FBStorableCustomHUDElementImplementation(VexaHUDElement, "Vexa HUD Element");

FBLibraryDeclare(vexahudeelement) { FBLibraryRegisterStorable(VexaHUDElement); }
FBLibraryDeclareEnd;
#pragma GCC visibility pop

bool FBLibrary::LibInit() { return true; }
bool FBLibrary::LibOpen() { return true; }
bool FBLibrary::LibReady() { return true; }
bool FBLibrary::LibClose() { return true; }
bool FBLibrary::LibRelease() { return true; }

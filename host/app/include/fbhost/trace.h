#pragma once
// The plug-ins' trace: what they report through Qt's debug and info messages
// (a timecode binding, a font that would not open). A host keeps it in its
// log rather than on the console, so the stand-in drops it unless asked to
// show it. Warnings and worse always pass on as Qt would show them.
//
// The routing is set up when this library loads, before any plug-in can
// trace; a program that installs its own Qt message handler replaces it
// until SetTraceVisible is called again.

namespace fbhost {

// Shows the trace on stderr, one message a line, or hides it (the default).
void SetTraceVisible(bool pVisible);
bool TraceVisible();

}  // namespace fbhost

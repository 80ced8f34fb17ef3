#pragma once
// Set-up both fuzz targets share.

#include <fbhost/offscreen_viewer.h>

#include <memory>
#include <string>

namespace vexafuzz {

[[noreturn]] void Die(const std::string& pMessage);

// Drops Qt's debug output: the element reports every binding, which would
// bury the fuzzer's own lines.
void QuietQt();

// An offscreen viewer cleared to mid grey; dies when none can be made.
std::unique_ptr<fbhost::OffscreenViewer> MakeViewer(int pWidth, int pHeight);

// A new empty folder, removed at exit: relative picture paths resolve in it.
std::string EmptyFolder();

// Runs the leak check at exit before the graphics driver is unloaded; after
// that, what the driver keeps for the life of the process would be reported
// as leaked.
void CheckLeaksBeforeExit();

}  // namespace vexafuzz

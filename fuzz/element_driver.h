#pragma once
// Runs one fuzzer input against a fresh element: the input decodes to a
// sequence of property writes, source-list changes, transport and clock
// changes and draw passes.

#include <fbhost/offscreen_viewer.h>

#include <cstddef>
#include <cstdint>

namespace vexafuzz {

// pViewer's context must be current; the plug-in must be linked (the element
// class registered).
void RunElementInput(const uint8_t* pData, size_t pSize, fbhost::OffscreenViewer& pViewer);

}  // namespace vexafuzz

#pragma once
// Runs one fuzzer input as a scene file: when it parses, builds the scene with
// the registered element class and renders one 64 x 36 frame.

#include <fbhost/offscreen_viewer.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexafuzz {

constexpr int kSceneFrameWidth = 64;
constexpr int kSceneFrameHeight = 36;

// pBaseDir resolves relative picture paths; pViewer's context must be current
// and the plug-in loaded.
void RunSceneInput(const uint8_t* pData, size_t pSize, fbhost::OffscreenViewer& pViewer,
                   const std::string& pBaseDir);

}  // namespace vexafuzz

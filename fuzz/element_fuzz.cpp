// libFuzzer target: bytes as a sequence of operations on one element
// (property writes, source lists, transport and clock, draw passes).

#include <fbhost/offscreen_viewer.h>

#include <memory>

#include "element_driver.h"
#include "fuzz_common.h"

namespace {

std::unique_ptr<fbhost::OffscreenViewer> gViewer;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vexafuzz::QuietQt();
  gViewer = vexafuzz::MakeViewer(64, 36);
  vexafuzz::CheckLeaksBeforeExit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  gViewer->MakeCurrent();
  vexafuzz::RunElementInput(pData, pSize, *gViewer);
  return 0;
}

// Linked into every test program of the sanitizer build: runs the leak check
// when the tests are done, while the graphics driver is still loaded. At exit
// the driver is unloaded first, and what it keeps for the life of the process
// could no longer be told apart from a leak of ours.

#include <gtest/gtest.h>
#include <sanitizer/lsan_interface.h>

namespace {

class LeakCheckAtEnd : public ::testing::Environment {
 public:
  void TearDown() override { __lsan_do_leak_check(); }
};

const ::testing::Environment* const kLeakCheck =
    ::testing::AddGlobalTestEnvironment(new LeakCheckAtEnd);

}  // namespace

// A program may keep a loaded plug-in in a global, as the scene fuzzer does.
// Its destructor then runs at exit after the host's own state was torn down
// in the order statics are destroyed, and must still find the class registry.

#include <fbhost/plugin_loader.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Its destructor is registered before main, before the host state first used
// by the load below, so it runs after that state's would.
std::unique_ptr<fbhost::PluginLibrary> gKeptUntilExit;

TEST(ExitOrder, PluginKeptInAGlobalUnloadsCleanlyAtExit) {
  EXPECT_EXIT(
      {
        std::string lError;
        gKeptUntilExit = fbhost::PluginLibrary::Load(TEST_HUD_PLUGIN, &lError);
        std::exit(gKeptUntilExit ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace

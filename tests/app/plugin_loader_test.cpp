#include <fbhost/components.h>
#include <fbhost/plugin_loader.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using fbhost::PluginLibrary;

TEST(PluginLibrary, LoadingRegistersTheClassesAndUnloadingForgetsThem) {
  std::string lError;
  auto lLibrary = PluginLibrary::Load(TEST_HUD_PLUGIN, &lError);
  ASSERT_TRUE(lLibrary) << lError;
  EXPECT_EQ(lLibrary->Path(), TEST_HUD_PLUGIN);
  EXPECT_NE(lLibrary->Symbol("LIBRARY_INIT"), nullptr);
  EXPECT_EQ(lLibrary->Symbol("NoSuchSymbol"), nullptr);
  const fbhost::RegisteredClass* lClass =
      fbhost::FindRegisteredClass(fbhost::kHUDElementGroup, "TestHUDElement");
  ASSERT_NE(lClass, nullptr);
  EXPECT_EQ(lClass->description, "Test HUD Element");

  const size_t lClassesBefore = fbhost::RegisteredClasses().size();
  lLibrary.reset();
  // Its factory would now point into unmapped code.
  EXPECT_EQ(fbhost::FindRegisteredClass(fbhost::kHUDElementGroup, "TestHUDElement"), nullptr);
  EXPECT_EQ(fbhost::RegisteredClasses().size(), lClassesBefore - 1);

  // Loading it again runs its load-time code again.
  lLibrary = PluginLibrary::Load(TEST_HUD_PLUGIN, &lError);
  ASSERT_TRUE(lLibrary) << lError;
  EXPECT_NE(fbhost::FindRegisteredClass(fbhost::kHUDElementGroup, "TestHUDElement"), nullptr);
}

TEST(PluginLibrary, AMissingLibraryIsReported) {
  std::string lError;
  EXPECT_FALSE(PluginLibrary::Load("/nonexistent/libnothing.so", &lError));
  EXPECT_NE(lError.find("/nonexistent/libnothing.so"), std::string::npos) << lError;
}

TEST(PluginLibrary, TheDefaultPathIsBesideTheProgramUnlessOverridden) {
  unsetenv("VEXAHUD_PLUGIN_PATH");
  const std::filesystem::path lProgram = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(fbhost::DefaultPluginPath(),
            (lProgram.parent_path() / "libvexahudelement.so").string());
  setenv("VEXAHUD_PLUGIN_PATH", "/opt/hud/libother.so", 1);
  EXPECT_EQ(fbhost::DefaultPluginPath(), "/opt/hud/libother.so");
  unsetenv("VEXAHUD_PLUGIN_PATH");
}

}  // namespace

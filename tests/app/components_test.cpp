#include <fbhost/components.h>
#include <fbhost/plugin_loader.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>

namespace {

class ComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string lError;
    mLibrary = fbhost::PluginLibrary::Load(TEST_HUD_PLUGIN, &lError);
    ASSERT_TRUE(mLibrary) << lError;
  }
  std::unique_ptr<fbhost::PluginLibrary> mLibrary;
};

TEST_F(ComponentsTest, RefusalsAndUnknownClassesGiveNothingAndLeakNothing) {
  const int lLive = fbhost::LiveComponentCount();
  EXPECT_EQ(fbhost::CreateComponent(fbhost::kHUDElementGroup, "TestHUDElement", "refuse"), nullptr);
  EXPECT_EQ(fbhost::CreateComponent(fbhost::kHUDElementGroup, "NoSuchElement", "hud"), nullptr);
  EXPECT_EQ(fbhost::CreateComponent("FbxStorable/Other", "TestHUDElement", "hud"), nullptr);
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive);
}

TEST_F(ComponentsTest, ComponentsAreCountedUntilDeletedAndLeaveTheListsHoldingThem) {
  const int lLive = fbhost::LiveComponentCount();
  FBComponent* lElement =
      fbhost::CreateComponent(fbhost::kHUDElementGroup, "TestHUDElement", "hud");
  ASSERT_NE(lElement, nullptr);
  EXPECT_STREQ(lElement->ClassName(), "TestHUDElement");
  EXPECT_STREQ(static_cast<const char*>(lElement->Name), "hud");
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive + 1);
  auto* lSources = dynamic_cast<FBPropertyListObject*>(lElement->PropertyList.Find("Sources"));
  ASSERT_NE(lSources, nullptr);
  FBComponent* lSource = new FBComponent(nullptr);
  ASSERT_EQ(lSources->Add(lSource), 0);
  fbhost::DeleteComponent(lSource);
  EXPECT_EQ(lSources->GetCount(), 0);
  fbhost::DeleteComponent(lElement);
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive);
}

}  // namespace

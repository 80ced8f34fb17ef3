// Loading the plug-in as the host does: registration, type ids, the factory,
// and what the library exports.

#include <dlfcn.h>
#include <fbhost/components.h>
#include <fbhost/plugin_loader.h>
#include <fbhost/scene.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>

#include <QFile>
#include <cstdio>
#include <set>
#include <string>

namespace {

using EntryPoint = void (*)(kFBDllOperation);

class PluginLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    mCounterBefore = FBPlug::mGlobalTypeInfo;
    std::string lError;
    mLibrary = fbhost::PluginLibrary::Load(fbhost::DefaultPluginPath(), &lError);
    ASSERT_TRUE(mLibrary) << lError;
  }
  void TearDown() override { mLibrary.reset(); }

  template <class T>
  T Symbol(const char* pName) {
    return reinterpret_cast<T>(mLibrary->Symbol(pName));
  }

  int mCounterBefore = 0;
  std::unique_ptr<fbhost::PluginLibrary> mLibrary;
};

int CountRegistered() {
  int lCount = 0;
  for (const fbhost::RegisteredClass& lClass : fbhost::RegisteredClasses()) {
    if (lClass.entry == "VexaHUDElement") ++lCount;
  }
  return lCount;
}

TEST_F(PluginLoading, RegistersTheClassOnceUnderItsGroup) {
  const fbhost::RegisteredClass* lClass =
      fbhost::FindRegisteredClass("FbxStorable/HUDElement", "VexaHUDElement");
  ASSERT_NE(lClass, nullptr);
  EXPECT_EQ(lClass->description, "Vexa HUD Element");
  EXPECT_TRUE(lClass->multipleAllowed);
  EXPECT_EQ(CountRegistered(), 1);

  // Asking again, or with any other operation, registers nothing more.
  auto lEntryPoint = Symbol<EntryPoint>("_Z25EntryPointvexahudeelement15kFBDllOperation");
  ASSERT_NE(lEntryPoint, nullptr);
  const auto lCreator = lClass->creator;
  lEntryPoint(kFBDllLoad);
  lEntryPoint(kFBDllUnLoad);
  lEntryPoint(static_cast<kFBDllOperation>(7));
  EXPECT_EQ(CountRegistered(), 1);
  EXPECT_EQ(fbhost::FindRegisteredClass("FbxStorable/HUDElement", "VexaHUDElement")->creator,
            lCreator);

  auto lLibraryInit = Symbol<bool (*)(HIError)>("LIBRARY_INIT");
  ASSERT_NE(lLibraryInit, nullptr);
  EXPECT_TRUE(lLibraryInit(nullptr));
}

// What the host sees of the element class's registrations while loading.
struct Registrations {
  int calls = 0;
  bool fontOpened = false;
} gRegistrations;

void OnRegistration(const fbhost::RegisteredClass& pRecord) {
  if (pRecord.entry != "VexaHUDElement") return;
  ++gRegistrations.calls;
  QFile lFont(":resources/OratorStd.otf");
  gRegistrations.fontOpened = lFont.open(QIODevice::ReadOnly);
}

TEST(PluginLoadOrder, TheBundleIsUpBeforeTheClassRegistersAndItRegistersOnce) {
  gRegistrations = Registrations{};
  fbhost::SetRegistrationObserver(&OnRegistration);
  std::string lError;
  auto lLibrary = fbhost::PluginLibrary::Load(fbhost::DefaultPluginPath(), &lError);
  ASSERT_TRUE(lLibrary) << lError;
  EXPECT_EQ(gRegistrations.calls, 1);
  EXPECT_TRUE(gRegistrations.fontOpened) << "the class registered before its resources were";

  auto lEntryPoint = reinterpret_cast<EntryPoint>(
      lLibrary->Symbol("_Z25EntryPointvexahudeelement15kFBDllOperation"));
  ASSERT_NE(lEntryPoint, nullptr);
  lEntryPoint(kFBDllLoad);
  lEntryPoint(kFBDllLoad);
  EXPECT_EQ(gRegistrations.calls, 1) << "registration is once only";
  fbhost::SetRegistrationObserver(nullptr);
}

TEST_F(PluginLoading, TakesTheNextTypeIdAndAnswersIsAlongItsChain) {
  EXPECT_EQ(FBPlug::mGlobalTypeInfo, mCounterBefore + 1);
  fbhost::Scene lScene;
  FBHUDElement* lElement = lScene.CreateElement("VexaHUDElement", "hud");
  ASSERT_NE(lElement, nullptr);
  EXPECT_EQ(lElement->GetTypeId(), mCounterBefore);
  EXPECT_STREQ(lElement->ClassName(), "VexaHUDElement");
  EXPECT_STREQ(lElement->FbxGetObjectSubType(), "VexaHUDElement");
  EXPECT_TRUE(lElement->Is(mCounterBefore));
  EXPECT_TRUE(lElement->Is(FBHUDElement::TypeInfo));
  EXPECT_TRUE(lElement->Is(FBBox::TypeInfo));
  EXPECT_TRUE(lElement->Is(FBComponent::TypeInfo));
  EXPECT_TRUE(lElement->Is(FBPlug::TypeInfo));
  EXPECT_FALSE(lElement->Is(FBCamera::TypeInfo));
  EXPECT_FALSE(lElement->Is(FBPlug::mGlobalTypeInfo + 100));
  EXPECT_TRUE(lElement->FbxStore(nullptr, kAll));
  EXPECT_TRUE(lElement->FbxRetrieve(nullptr, kAll));

  FBHUDElement* lSecond = lScene.CreateElement("VexaHUDElement", "hud 2");
  ASSERT_NE(lSecond, nullptr);
  EXPECT_EQ(lSecond->GetTypeId(), lElement->GetTypeId());
}

TEST_F(PluginLoading, FactoryMakesAnElementTheHostDeletesCompletely) {
  const int lLiveBefore = fbhost::LiveComponentCount();
  const int lNotifyBefore = fbhost::ConnectionNotifyHandlerCount();
  const int lPipelineBefore = fbhost::RenderingPipelineHandlerCount();

  FBComponent* lElement =
      fbhost::CreateComponent("FbxStorable/HUDElement", "VexaHUDElement", "made by the host");
  ASSERT_NE(lElement, nullptr);
  EXPECT_TRUE(lElement->mAllocated);
  EXPECT_STREQ(lElement->Name, "made by the host");
  EXPECT_EQ(fbhost::LiveComponentCount(), lLiveBefore + 1);
  EXPECT_EQ(fbhost::ConnectionNotifyHandlerCount(), lNotifyBefore + 1);
  EXPECT_EQ(fbhost::RenderingPipelineHandlerCount(), lPipelineBefore + 1);
  // The one base property the element sets.
  bool lShow = false;
  lElement->PropertyList.Find("Show")->GetData(&lShow, sizeof(lShow));
  EXPECT_TRUE(lShow);

  fbhost::DeleteComponent(lElement);
  EXPECT_EQ(fbhost::LiveComponentCount(), lLiveBefore);
  EXPECT_EQ(fbhost::ConnectionNotifyHandlerCount(), lNotifyBefore);
  EXPECT_EQ(fbhost::RenderingPipelineHandlerCount(), lPipelineBefore);
}

TEST_F(PluginLoading, UnloadingForgetsTheFactoryAndReloadingRegistersAgain) {
  mLibrary.reset();
  EXPECT_EQ(fbhost::FindRegisteredClass("FbxStorable/HUDElement", "VexaHUDElement"), nullptr);
  std::string lError;
  mLibrary = fbhost::PluginLibrary::Load(fbhost::DefaultPluginPath(), &lError);
  ASSERT_TRUE(mLibrary) << lError;
  EXPECT_NE(fbhost::FindRegisteredClass("FbxStorable/HUDElement", "VexaHUDElement"), nullptr);
}

// The dynamic symbol table of the built file, demangled.
std::set<std::string> ExportedSymbols(const std::string& pPath) {
  std::set<std::string> lSymbols;
  const std::string lCommand = "nm -D --defined-only -C '" + pPath + "'";
  FILE* lPipe = popen(lCommand.c_str(), "r");
  if (!lPipe) return lSymbols;
  char lLine[4096];
  while (fgets(lLine, sizeof(lLine), lPipe)) {
    std::string lText(lLine);
    if (!lText.empty() && lText.back() == '\n') lText.pop_back();
    // "address type name"
    const size_t lFirst = lText.find(' ');
    const size_t lSecond = lText.find(' ', lFirst + 1);
    if (lSecond == std::string::npos) continue;
    const char lType = lText[lFirst + 1];
    if (lType == 'A') continue;  // linker-defined section markers
    lSymbols.insert(lText.substr(lSecond + 1));
  }
  pclose(lPipe);
  return lSymbols;
}

TEST(PluginExports, EntryPointsResourcesAndTheElementClassOnly) {
  const std::set<std::string> lSymbols = ExportedSymbols(fbhost::DefaultPluginPath());
  ASSERT_FALSE(lSymbols.empty());
  for (const char* lRequired :
       {"LIBRARY_INIT", "EntryPointvexahudeelement(kFBDllOperation)", "KdsoInitvexahudeelement()",
        "KdsoDonevexahudeelement()", "FBModuleVexaHUDElementStorable()",
        "RegisterStorableVexaHUDElementCreate(ORSDK2014::IObject*, char const*, void*)",
        "qInitResources_vexahudelement()", "qCleanupResources_vexahudelement()",
        "VexaHUDElement::setCharacterTimecodeSource(ORSDK2014::FBComponent*)",
        "VexaHUDElement::setCameraTimecodeSource(ORSDK2014::FBComponent*)",
        "VexaHUDElement::TypeInfo", "vtable for VexaHUDElement"}) {
    EXPECT_EQ(lSymbols.count(lRequired), 1u) << lRequired;
  }
  for (const std::string& lSymbol : lSymbols) {
    // The linker's own section markers are always there.
    const bool lAllowed = lSymbol == "__bss_start" || lSymbol == "_edata" || lSymbol == "_end" ||
                          lSymbol.find("VexaHUDElement") != std::string::npos ||
                          lSymbol.find("vexahud") != std::string::npos || lSymbol == "LIBRARY_INIT";
    EXPECT_TRUE(lAllowed) << "exported: " << lSymbol;
  }
}

}  // namespace

// Type ids, class registration, component allocation, and the proxies and
// events that show the host's runtime state.

#include <set>
#include <vector>

#include "sdk_test_support.h"

// Declared as a plug-in declares its element classes.
class ProbeElement : public FBHUDElement {
  FBStorableClassDeclare(ProbeElement, FBHUDElement);

 public:
  // The factory constructs from the name alone, as the published one does.
  explicit ProbeElement(const char* pName) : FBHUDElement(pName) {}
  bool FBCreate() override { return !sRefuseCreate; }
  static bool sRefuseCreate;
};

bool ProbeElement::sRefuseCreate = false;
FBClassImplementation(ProbeElement);
FBStorableCustomHUDElementImplementation(ProbeElement, "A probe element");
ProbeElement::~ProbeElement() = default;

namespace {

using RuntimeTest = SdkTest;

HIObject CreateNothing(HIObject, const char*, void*) { return nullptr; }
HIObject CreateNothingElse(HIObject, const char*, void*) { return nullptr; }

TEST_F(RuntimeTest, ClassesTakeDistinctIdsFromTheGlobalCounter) {
  const int lIds[] = {
      FBPlug::TypeInfo,          FBProperty::TypeInfo,        FBComponent::TypeInfo,
      FBBox::TypeInfo,           FBHUDElement::TypeInfo,      FBTake::TypeInfo,
      FBCamera::TypeInfo,        FBRenderer::TypeInfo,        FBSystem::TypeInfo,
      FBPlayerControl::TypeInfo, FBEvaluateManager::TypeInfo, ProbeElement::TypeInfo};
  std::set<int> lDistinct;
  for (int lId : lIds) {
    EXPECT_GT(lId, 0);
    EXPECT_LT(lId, FBPlug::mGlobalTypeInfo);
    lDistinct.insert(lId);
  }
  EXPECT_EQ(lDistinct.size(), sizeof(lIds) / sizeof(lIds[0]));

  ProbeElement lProbe("probe");
  FBComponent* lComponent = &lProbe;
  EXPECT_STREQ(lComponent->ClassName(), "ProbeElement");
  EXPECT_EQ(lComponent->GetTypeId(), ProbeElement::TypeInfo);
  for (int lId : {ProbeElement::TypeInfo, FBHUDElement::TypeInfo, FBBox::TypeInfo,
                  FBComponent::TypeInfo, FBPlug::TypeInfo})
    EXPECT_TRUE(lComponent->Is(lId)) << lId;
  EXPECT_FALSE(lComponent->Is(FBCamera::TypeInfo));
  EXPECT_FALSE(lComponent->Is(FBProperty::TypeInfo));

  FBPropertyInt lProperty;
  EXPECT_TRUE(lProperty.Is(FBProperty::TypeInfo));
  EXPECT_FALSE(lProperty.Is(FBComponent::TypeInfo));
}

TEST_F(RuntimeTest, RegistryKeepsOneRecordPerEntryAndForgetsByAddress) {
  EXPECT_TRUE(FBObject_Register("Test/Group", "Entry", "first", CreateNothing, false, nullptr));
  EXPECT_TRUE(FBObject_Register("Test/Group", "Other", "", CreateNothingElse, true, nullptr));
  const size_t lCount = fbhost::RegisteredClasses().size();
  EXPECT_TRUE(FBObject_Register("Test/Group", "Entry", "second", CreateNothing, true, nullptr));
  EXPECT_EQ(fbhost::RegisteredClasses().size(), lCount);

  const fbhost::RegisteredClass* lEntry = fbhost::FindRegisteredClass("Test/Group", "Entry");
  ASSERT_NE(lEntry, nullptr);
  EXPECT_EQ(lEntry->description, "second");
  EXPECT_TRUE(lEntry->multipleAllowed);
  EXPECT_EQ(lEntry->creator, &CreateNothing);
  EXPECT_EQ(fbhost::FindRegisteredClass("Test/Group", "Missing"), nullptr);

  const char* lCode = reinterpret_cast<const char*>(&CreateNothing);
  EXPECT_EQ(fbhost::ForgetClassesIn(lCode, lCode + 1), 1);
  EXPECT_EQ(fbhost::FindRegisteredClass("Test/Group", "Entry"), nullptr);
  EXPECT_NE(fbhost::FindRegisteredClass("Test/Group", "Other"), nullptr);
}

TEST_F(RuntimeTest, StorableElementRegistersAFactoryThatAllocatesThroughTheHost) {
  FBModuleProbeElementStorable();
  FBModuleProbeElementStorable();
  const fbhost::RegisteredClass* lClass =
      fbhost::FindRegisteredClass("FbxStorable/HUDElement", "ProbeElement");
  ASSERT_NE(lClass, nullptr);
  EXPECT_EQ(lClass->description, "A probe element");
  EXPECT_TRUE(lClass->multipleAllowed);

  const int lLive = fbhost::LiveComponentCount();
  auto* lMade = dynamic_cast<ProbeElement*>(lClass->creator(nullptr, "made", nullptr));
  ASSERT_NE(lMade, nullptr);
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive + 1);
  EXPECT_TRUE(lMade->mAllocated);
  EXPECT_STREQ(lMade->Name, "made");
  EXPECT_STREQ(lMade->FbxGetObjectSubType(), "ProbeElement");
  lMade->FBDelete();
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive);

  ProbeElement::sRefuseCreate = true;
  EXPECT_EQ(lClass->creator(nullptr, "refused", nullptr), nullptr);
  ProbeElement::sRefuseCreate = false;
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive);
}

TEST_F(RuntimeTest, OnlyHeapComponentsAreCounted) {
  const int lLive = fbhost::LiveComponentCount();
  FBBox* lBox = new FBBox("box");
  FBCamera* lCamera = new FBCamera("camera");
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive + 2);
  {
    FBTake lOnStack("take");
    FBPropertyDouble lNotAComponent;
    EXPECT_EQ(fbhost::LiveComponentCount(), lLive + 2);
  }
  delete lBox;
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive + 1);
  lCamera->mAllocated = true;
  lCamera->FBDelete();
  EXPECT_EQ(fbhost::LiveComponentCount(), lLive);
}

TEST_F(RuntimeTest, ProxiesShowTheHostState) {
  FBTake lTake("Take 001");
  FBCamera lCamera("Producer Perspective");
  FBSystem lSystem;
  FBPlayerControl lPlayer;

  fbhost::SetSystemTime(FBTime(100));
  fbhost::SetLocalTime(FBTime(200));
  fbhost::SetCurrentTake(&lTake);
  fbhost::SetCurrentCamera(&lCamera);
  fbhost::SetTransport(true, false);
  fbhost::SetPlayRange(FBTime(10), FBTime(20));

  // Proxies made before and after the change both show it.
  for (FBSystem* lView : {&lSystem, new FBSystem}) {
    EXPECT_EQ(static_cast<FBTime>(lView->SystemTime).Get(), 100);
    EXPECT_EQ(static_cast<FBTime>(lView->LocalTime).Get(), 200);
    EXPECT_EQ(static_cast<FBTake*>(lView->CurrentTake), &lTake);
    EXPECT_STREQ(lView->CurrentTake->Name, "Take 001");
    EXPECT_EQ(lView->Renderer->CurrentCamera, &lCamera);
    if (lView != &lSystem) delete lView;
  }
  EXPECT_TRUE(lPlayer.IsRecording);
  EXPECT_FALSE(lPlayer.IsPlaying);
  EXPECT_EQ(static_cast<FBTime>(lPlayer.LoopStart).Get(), 10);
  EXPECT_EQ(static_cast<FBTime>(lPlayer.LoopStop).Get(), 20);

  // The transport state and the clock are the host's to change.
  lPlayer.IsRecording = false;
  lPlayer.IsPlaying = true;
  lSystem.SystemTime = FBTime(999);
  EXPECT_TRUE(lPlayer.IsRecording.IsReadOnly());
  EXPECT_TRUE(fbhost::IsRecording());
  EXPECT_FALSE(fbhost::IsPlaying());
  EXPECT_EQ(fbhost::SystemTime().Get(), 100);
  lPlayer.LoopStop = FBTime(30);
  EXPECT_EQ(fbhost::PlayStop().Get(), 30);

  fbhost::ResetScene();
  EXPECT_EQ(static_cast<FBTake*>(lSystem.CurrentTake), nullptr);
  EXPECT_EQ(lSystem.Renderer->CurrentCamera, nullptr);
  EXPECT_FALSE(lPlayer.IsRecording);
}

class PipelineLog : public ICallback {
 public:
  explicit PipelineLog(std::vector<const PipelineLog*>* pCalls = nullptr) : mCalls(pCalls) {}
  void OnPipeline(HIRegister, HKEventBase pEvent) {
    mTimings.push_back(FBEventEvalGlobalCallback(pEvent).GetTiming());
    if (mCalls) mCalls->push_back(this);
  }
  std::vector<int> mTimings;
  std::vector<const PipelineLog*>* mCalls;
};

TEST_F(RuntimeTest, RenderingPipelineEventReachesHandlersWithItsTiming) {
  ASSERT_EQ(&FBEvaluateManager::TheOne(), &FBEvaluateManager::TheOne());
  const int lBefore = fbhost::RenderingPipelineHandlerCount();
  PipelineLog lLog;
  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Add(&lLog,
                                                           (FBCallback)&PipelineLog::OnPipeline);
  EXPECT_EQ(fbhost::RenderingPipelineHandlerCount(), lBefore + 1);
  for (int lTiming = kFBGlobalEvalCallbackBeforeDAG; lTiming <= kFBGlobalEvalCallbackAfterRender;
       ++lTiming)
    fbhost::RaiseRenderingPipeline(static_cast<FBGlobalEvalCallbackTiming>(lTiming));
  EXPECT_EQ(lLog.mTimings, (std::vector<int>{0, 1, 2, 3, 4, 5}));

  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Remove(&lLog,
                                                              (FBCallback)&PipelineLog::OnPipeline);
  EXPECT_EQ(fbhost::RenderingPipelineHandlerCount(), lBefore);
  fbhost::RaiseRenderingPipeline(kFBGlobalEvalCallbackAfterRender);
  EXPECT_EQ(lLog.mTimings.size(), 6u);
}

TEST_F(RuntimeTest, EventHandlersAreCalledNewestFirst) {
  std::vector<const PipelineLog*> lCalls;
  PipelineLog lOlder(&lCalls), lNewer(&lCalls);
  FBEvaluateManager& lManager = FBEvaluateManager::TheOne();
  lManager.OnRenderingPipelineEvent.Add(&lOlder, (FBCallback)&PipelineLog::OnPipeline);
  lManager.OnRenderingPipelineEvent.Add(&lNewer, (FBCallback)&PipelineLog::OnPipeline);
  fbhost::RaiseRenderingPipeline(kFBGlobalEvalCallbackAfterRender);
  lManager.OnRenderingPipelineEvent.Remove(&lOlder, (FBCallback)&PipelineLog::OnPipeline);
  lManager.OnRenderingPipelineEvent.Remove(&lNewer, (FBCallback)&PipelineLog::OnPipeline);
  EXPECT_EQ(lCalls, (std::vector<const PipelineLog*>{&lNewer, &lOlder}));
}

}  // namespace

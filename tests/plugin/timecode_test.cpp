// Timecode sources: binding through the host's lists and notifications, the
// per-draw refresh of the shown values, and the frame-rate meter.

#include <fbsdk/runtime.h>

#include <map>
#include <string>
#include <vector>

#include "hud_fixture.h"

namespace {

using vexatest::DebugCapture;
using vexatest::HudTest;
using vexatest::Region;
using vexatest::Set;

class Timecode : public HudTest {
 protected:
  // A source object carrying properties of the given names and kinds.
  FBComponent* Source(const char* pName,
                      const std::vector<std::pair<const char*, FBPropertyType>>& pProperties) {
    FBComponent* lObject = Scene().AddObject(pName);
    for (const auto& lProperty : pProperties) {
      EXPECT_NE(Scene().AddCustomProperty(lObject, lProperty.first, lProperty.second), nullptr);
    }
    return lObject;
  }
  FBComponent* TimecodeSource(const char* pPropertyName) {
    return Source("source", {{pPropertyName, kFBPT_TimeCode}});
  }

  static void SetTimecode(FBProperty* pProperty, double pSeconds, double pFrames) {
    double lRaw[3] = {pSeconds, pFrames, FBTimeCode::NTSC_DROP};
    pProperty->SetData(lRaw);
  }
  static FBProperty* BoundTo(FBProperty& pProperty) {
    return pProperty.GetSrcCount() > 0 ? static_cast<FBProperty*>(pProperty.GetSrc(0)) : nullptr;
  }
  void ExpectCharacter(int pHour, int pMinute, int pSecond, int pFrame) {
    EXPECT_EQ(static_cast<int>(mHud->CharacterHour), pHour);
    EXPECT_EQ(static_cast<int>(mHud->CharacterMinute), pMinute);
    EXPECT_EQ(static_cast<int>(mHud->CharacterSecond), pSecond);
    EXPECT_EQ(static_cast<int>(mHud->CharacterFrame), pFrame);
  }
  void ExpectCharacterUnbound() {
    for (FBProperty* lProperty : std::vector<FBProperty*>{
             &mHud->CharacterTimecode, &mHud->CharacterHour, &mHud->CharacterMinute,
             &mHud->CharacterSecond, &mHud->CharacterFrame}) {
      EXPECT_EQ(lProperty->GetSrcCount(), 0) << lProperty->GetName();
    }
  }

  DebugCapture mDebug;
};

TEST_F(Timecode, EachNameInTheSearchOrderBindsWithItsMessage) {
  struct Case {
    const char* property;
    const char* preferred;
    const char* message;
  };
  const Case kCases[] = {
      {"tc_main", "tc_main", "Connecting to ' tc_main ' timecode property "},
      {"master", "none", "Connecting to 'master' timecode property "},
      {"amc:timecode", "none", "Connecting to 'amc:timecode' timecode property "},
      {"Timecode", "none", "Connecting to 'Timecode' timecode property "},
      {"timecode", "none", "Connecting to 'timecode' timecode property "},
      {"TimeCode", "none", "Connecting to 'TimeCode' timecode property "},
      // The default preferred name finds "TimeCode" first, with the composed message.
      {"TimeCode", "TimeCode", "Connecting to ' TimeCode ' timecode property "},
  };
  for (const Case& lCase : kCases) {
    SCOPED_TRACE(lCase.property);
    Set(mHud, "Timecode Property Name", lCase.preferred);
    FBComponent* lSource = TimecodeSource(lCase.property);
    mDebug.Clear();
    mHud->CharacterTimecodeSource->Add(lSource);
    ASSERT_EQ(mDebug.Messages().size(), 1u);
    EXPECT_EQ(mDebug.Messages()[0], lCase.message);
    EXPECT_EQ(BoundTo(mHud->CharacterTimecode), lSource->PropertyList.Find(lCase.property));
    EXPECT_TRUE(mHud->CharacterTimecode.IsAnimated());
    EXPECT_EQ(mHud->CameraTimecode.GetSrcCount(), 0);
    // Emptying the list resets the side without a word.
    mDebug.Clear();
    mHud->CharacterTimecodeSource->RemoveAll();
    EXPECT_TRUE(mDebug.Messages().empty());
    ExpectCharacterUnbound();
  }
}

TEST_F(Timecode, SearchOrderDecidesBetweenSeveralCandidates) {
  Set(mHud, "Timecode Property Name", "absent");
  FBComponent* lMasterAndTimecode =
      Source("a", {{"Timecode", kFBPT_TimeCode}, {"master", kFBPT_TimeCode}});
  mHud->CharacterTimecodeSource->Add(lMasterAndTimecode);
  EXPECT_EQ(BoundTo(mHud->CharacterTimecode), lMasterAndTimecode->PropertyList.Find("master"));

  // Letter case counts: "timecode" is found before "TimeCode".
  FBComponent* lCases = Source("b", {{"TimeCode", kFBPT_TimeCode}, {"timecode", kFBPT_TimeCode}});
  mHud->setCharacterTimecodeSource(lCases);
  EXPECT_EQ(BoundTo(mHud->CharacterTimecode), lCases->PropertyList.Find("timecode"));
  EXPECT_EQ(mHud->CharacterTimecode.GetSrcCount(), 1);

  // A timecode property wins over the four integers, which are not looked up.
  FBComponent* lBoth = Source("c", {{"TCHour", kFBPT_int},
                                    {"TCMinute", kFBPT_int},
                                    {"TCSecond", kFBPT_int},
                                    {"TCFrame", kFBPT_int},
                                    {"Timecode", kFBPT_TimeCode}});
  mDebug.Clear();
  mHud->setCharacterTimecodeSource(lBoth);
  EXPECT_EQ(BoundTo(mHud->CharacterTimecode), lBoth->PropertyList.Find("Timecode"));
  EXPECT_EQ(mHud->CharacterHour.GetSrcCount(), 0);
  ASSERT_EQ(mDebug.Messages().size(), 1u);
  EXPECT_EQ(mDebug.Messages()[0], "Connecting to 'Timecode' timecode property ");
}

TEST_F(Timecode, FourIntegersBindOnlyWhenAllFourExist) {
  FBComponent* lFour = Source("four", {{"TCHour", kFBPT_int},
                                       {"TCMinute", kFBPT_int},
                                       {"TCSecond", kFBPT_int},
                                       {"TCFrame", kFBPT_int}});
  mHud->CameraTimecodeSource->Add(lFour);
  ASSERT_EQ(mDebug.Messages().size(), 1u);
  EXPECT_EQ(mDebug.Messages()[0],
            "Connecting to 'TCHour, TCMinute, TCSecond, TCFRame' timecode properties ");
  EXPECT_EQ(BoundTo(mHud->CameraHour), lFour->PropertyList.Find("TCHour"));
  EXPECT_EQ(BoundTo(mHud->CameraMinute), lFour->PropertyList.Find("TCMinute"));
  EXPECT_EQ(BoundTo(mHud->CameraSecond), lFour->PropertyList.Find("TCSecond"));
  EXPECT_EQ(BoundTo(mHud->CameraFrame), lFour->PropertyList.Find("TCFrame"));
  EXPECT_EQ(mHud->CameraTimecode.GetSrcCount(), 0);

  // Three of the four: the message, then a reset of the whole side.
  FBComponent* lThree =
      Source("three", {{"TCHour", kFBPT_int}, {"TCMinute", kFBPT_int}, {"TCSecond", kFBPT_int}});
  mDebug.Clear();
  mHud->setCameraTimecodeSource(lThree);
  ASSERT_EQ(mDebug.Messages().size(), 1u);
  EXPECT_EQ(mDebug.Messages()[0],
            "Connecting to 'TCHour, TCMinute, TCSecond, TCFRame' timecode properties ");
  for (FBProperty* lProperty :
       std::vector<FBProperty*>{&mHud->CameraTimecode, &mHud->CameraHour, &mHud->CameraMinute,
                                &mHud->CameraSecond, &mHud->CameraFrame}) {
    EXPECT_EQ(lProperty->GetSrcCount(), 0) << lProperty->GetName();
  }
  EXPECT_EQ(static_cast<int>(mHud->CameraHour), 0);
}

TEST_F(Timecode, OnlyTheFirstItemOfAListIsSearched) {
  FBComponent* lPlain = Source("plain", {{"Other", kFBPT_int}});
  FBComponent* lTimed = TimecodeSource("master");
  mHud->CharacterTimecodeSource->Add(lPlain);
  mHud->CharacterTimecodeSource->Add(lTimed);
  ExpectCharacterUnbound();
}

TEST_F(Timecode, ReplacingTheSourceResetsThenBindsAgain) {
  FBComponent* lFirst = TimecodeSource("master");
  FBComponent* lSecond = TimecodeSource("Timecode");
  SetTimecode(lFirst->PropertyList.Find("master"), 3725, 12);
  SetTimecode(lSecond->PropertyList.Find("Timecode"), 61, 3);
  mHud->setCharacterTimecodeSource(lFirst);
  Render();
  ExpectCharacter(1, 2, 5, 12);

  mHud->setCharacterTimecodeSource(lSecond);
  EXPECT_EQ(mHud->CharacterTimecode.GetSrcCount(), 1);
  EXPECT_EQ(BoundTo(mHud->CharacterTimecode), lSecond->PropertyList.Find("Timecode"));
  Render();
  ExpectCharacter(0, 1, 1, 3);

  mHud->setCharacterTimecodeSource(nullptr);
  EXPECT_EQ(mHud->CharacterTimecodeSource->GetCount(), 0);
  ExpectCharacterUnbound();
}

TEST_F(Timecode, OnlyItsOwnListsAndTheTwoActionsRebind) {
  VexaHUDElement* lOther = CreateHud("other");
  ASSERT_NE(lOther, nullptr);
  FBComponent* lSource = TimecodeSource("master");
  lOther->CharacterTimecodeSource->Add(lSource);
  EXPECT_EQ(lOther->CharacterTimecode.GetSrcCount(), 1);
  ExpectCharacterUnbound();

  // With the source in our list but its binding undone by hand (action 10 on
  // another plug), any other action on the list, or action 4 elsewhere, must
  // not bind it again.
  mHud->CharacterTimecodeSource->Add(lSource);
  mHud->CharacterTimecode.DisconnectAllSrc();
  ASSERT_EQ(mHud->CharacterTimecode.GetSrcCount(), 0);
  mDebug.Clear();
  for (FBConnectionAction lAction : {kFBRequestConnectSrc, kFBConnectSrc, kFBDisconnectSrc,
                                     kFBConnectedDst, kFBDisconnectedDst}) {
    fbhost::RaiseConnectionNotify(lAction, lSource, mHud->CharacterTimecodeSource);
  }
  fbhost::RaiseConnectionNotify(kFBConnectedSrc, lSource, &mHud->Slate);
  EXPECT_TRUE(mDebug.Messages().empty());
  EXPECT_EQ(mHud->CharacterTimecode.GetSrcCount(), 0);
}

TEST_F(Timecode, HandlersStopAtTeardown) {
  const int lNotify = fbhost::ConnectionNotifyHandlerCount();
  const int lPipeline = fbhost::RenderingPipelineHandlerCount();
  mHud->FBDestroy();
  EXPECT_EQ(fbhost::ConnectionNotifyHandlerCount(), lNotify - 1);
  EXPECT_EQ(fbhost::RenderingPipelineHandlerCount(), lPipeline - 1);
  mHud->CharacterTimecodeSource->Add(TimecodeSource("master"));
  EXPECT_TRUE(mDebug.Messages().empty());
  ExpectCharacterUnbound();
  fbhost::RaiseRenderingPipeline(kFBGlobalEvalCallbackAfterRender);
  // The host deletes it later; destroying again must release nothing twice.
  Scene().DeleteElement(mHud);
  mHud = nullptr;
}

TEST_F(Timecode, SettersBeforeCreationLeaveTheElementUnbound) {
  VexaHUDElement lBare("bare", nullptr);  // never created: no lists
  FBComponent* lSource = TimecodeSource("master");
  lBare.setCharacterTimecodeSource(lSource);
  lBare.setCameraTimecodeSource(lSource);
  EXPECT_EQ(lBare.CharacterTimecodeSource, nullptr);
  EXPECT_EQ(lBare.CharacterTimecode.GetSrcCount() + lBare.CameraTimecode.GetSrcCount(), 0);
  EXPECT_TRUE(mDebug.Messages().empty());
}

TEST_F(Timecode, BoundTimecodesSplitIntoTheFourValues) {
  FBComponent* lSource = TimecodeSource("master");
  FBProperty* lMaster = lSource->PropertyList.Find("master");
  mHud->setCharacterTimecodeSource(lSource);
  struct Case {
    double seconds, frames;
    int hour, minute, second, frame;
  };
  for (const Case& lCase :
       {Case{3725, 12, 1, 2, 5, 12}, Case{90000, 0, 25, 0, 0, 0}, Case{59.9, 0, 0, 0, 59, 0},
        Case{-61, 0, 0, -1, -1, 0}, Case{1e300, -1e300, 596523, 14, 7, INT_MIN}}) {
    SCOPED_TRACE(lCase.seconds);
    SetTimecode(lMaster, lCase.seconds, lCase.frames);
    Render();
    ExpectCharacter(lCase.hour, lCase.minute, lCase.second, lCase.frame);
  }
}

TEST_F(Timecode, UnboundSidesComposeTheirIntegers) {
  Set(mHud, "Camera Hour", 1);
  Set(mHud, "Camera Minute", 2);
  Set(mHud, "Camera Second", 3);
  Set(mHud, "Camera Frame", 4);
  Render();
  const FBTimeCode lComposed = mHud->CameraTimecode;
  FBTimeCode lExpected(FBTimeCode::NTSC_DROP);
  lExpected.SetTimeCode(1, 2, 3, 4.0f);
  EXPECT_EQ(lComposed, lExpected);
  EXPECT_EQ(lComposed.GetSeconds(), 3723.0);
  EXPECT_EQ(lComposed.GetFrames(), 4.0);

  // Connected integers compose their sources' values.
  FBComponent* lFour = Source("four", {{"TCHour", kFBPT_int},
                                       {"TCMinute", kFBPT_int},
                                       {"TCSecond", kFBPT_int},
                                       {"TCFrame", kFBPT_int}});
  Set(lFour, "TCHour", 10);
  Set(lFour, "TCFrame", 20);
  mHud->setCameraTimecodeSource(lFour);
  Render();
  lExpected.SetTimeCode(10, 0, 0, 20.0f);
  EXPECT_EQ(static_cast<FBTimeCode>(mHud->CameraTimecode), lExpected);
}

// The bottom row drawn with a bound source equals the row drawn from integers
// typed in by hand.
TEST_F(Timecode, BoundSourcesDrawLikeTypedValues) {
  for (bool lCharacterSide : {true, false}) {
    SCOPED_TRACE(lCharacterSide ? "character" : "camera");
    VexaHUDElement* lTyped = CreateHud("typed");
    Set(lTyped, "Show", false);
    const char* lPrefix = lCharacterSide ? "Character " : "Camera ";
    const int lValues[4] = {1, 2, 5, 12};
    const char* lParts[4] = {"Hour", "Minute", "Second", "Frame"};
    for (int i = 0; i < 4; ++i) Set(lTyped, (std::string(lPrefix) + lParts[i]).c_str(), lValues[i]);

    FBComponent* lSource = TimecodeSource("TimeCode");
    FBTimeCode lValue;
    ASSERT_TRUE(fbhost::ParseTimeCode("01:02:05:12", lValue));
    lSource->PropertyList.Find("TimeCode")->SetData(&lValue);
    if (lCharacterSide) {
      mHud->setCharacterTimecodeSource(lSource);
    } else {
      mHud->setCameraTimecodeSource(lSource);
    }
    const QImage lBound = Render();
    Set(mHud, "Show", false);
    Set(lTyped, "Show", true);
    const QImage lByHand = Render();
    EXPECT_TRUE(vexatest::SameIn(lBound, lByHand, Region{0, 0, 1919, 1079}));
    Set(mHud, "Show", true);
    Scene().DeleteElement(lTyped);
    mHud->setCharacterTimecodeSource(nullptr);
    mHud->setCameraTimecodeSource(nullptr);
  }
}

class FrameRate : public HudTest {
 protected:
  // Every rendered frame is a sample for every element, so the reference
  // texts are drawn first and the meter under test belongs to an element
  // made afterwards.
  void SetUp() override {
    HudTest::SetUp();
    for (const char* lText : {"0.0", "10.0", "4.0", "1.0"}) {
      mReferences[lText] = RenderWith([&](int, int pHeight) {
        vexatest::DrawTextModel(lText, 1600, pHeight - 48, "FRAMERATE");
      });
    }
    Set(mHud, "Show", false);
    mMeter = CreateHud("meter");
    ASSERT_NE(mMeter, nullptr);
    vexatest::HideAllItems(mMeter);
    Set(mMeter, "Show FPS", true);
    Set(mMeter, "Mask Color", FBColorAndAlpha(0, 0, 0, 0));
  }
  // Renders one frame with the host clock at pMs; each frame is one sample.
  QImage FrameAt(long long pMs) {
    Scene().SetSystemTimeMs(pMs);
    return Render();
  }
  // Whether the shown rate reads pText.
  bool Shows(const QImage& pFrame, const char* pText) {
    return vexatest::SameIn(pFrame, mReferences.at(pText), Region{1590, 1000, 1919, 1079});
  }

  std::map<std::string, QImage> mReferences;
  VexaHUDElement* mMeter = nullptr;
};

TEST_F(FrameRate, TenSamplesAHundredMillisecondsApartShowTen) {
  Scene().SetSystemTimeMs(0);
  for (long long lMs = 100; lMs <= 1000; lMs += 100) {
    const QImage lFrame = FrameAt(lMs);
    // Each frame shows what the meter knew before this frame's sample.
    EXPECT_TRUE(Shows(lFrame, "0.0")) << lMs;
  }
  EXPECT_TRUE(Shows(FrameAt(1000), "10.0"));
}

TEST_F(FrameRate, AWindowClosesAbove999Milliseconds) {
  Scene().SetSystemTimeMs(0);
  FrameAt(0);
  FrameAt(999);
  EXPECT_TRUE(Shows(FrameAt(999), "0.0"));
  FrameAt(1000);  // the fourth sample brings the sum to 1000: 250 ms each
  EXPECT_TRUE(Shows(FrameAt(1000), "4.0"));
}

TEST_F(FrameRate, WindowsStartAfreshAndAClockSteppingBackWraps) {
  Scene().SetSystemTimeMs(0);
  FrameAt(0);
  FrameAt(2000);                             // 2000 ms in two samples
  EXPECT_TRUE(Shows(FrameAt(3000), "1.0"));  // then 1000 ms in one
  EXPECT_TRUE(Shows(FrameAt(2500), "1.0"));
  // 500 ms back wraps the unsigned interval: a window of an enormous average.
  EXPECT_TRUE(Shows(FrameAt(2500), "0.0"));
}

TEST_F(FrameRate, OnlyTheLastPipelineStageSamples) {
  Scene().SetSystemTimeMs(0);
  FrameAt(0);
  for (int lStage = 0; lStage < 5; ++lStage) {
    Scene().SetSystemTimeMs(5000 + lStage);
    fbhost::RaiseRenderingPipeline(static_cast<FBGlobalEvalCallbackTiming>(lStage));
  }
  Scene().SetSystemTimeMs(0);
  EXPECT_TRUE(Shows(FrameAt(0), "0.0"));
}

}  // namespace

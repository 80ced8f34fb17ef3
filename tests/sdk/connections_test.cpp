// Connections between plugs, and the notifications they raise.

#include <climits>
#include <limits>
#include <memory>

#include "sdk_test_support.h"

namespace {

using ConnectionsTest = SdkTest;

TEST_F(ConnectionsTest, DestinationReadsItsSourceConvertedAsCppConverts) {
  FBPropertyDouble lDouble;
  FBPropertyInt lInt;
  FBPropertyBool lBool;
  lInt = 42;
  ASSERT_TRUE(lInt.ConnectSrc(&lDouble));
  ASSERT_TRUE(lBool.ConnectSrc(&lDouble));

  // Read at the time of reading, not copied when connected.
  const double lSamples[] = {2.9, -2.9, 0.25, 0.0};
  for (double lValue : lSamples) {
    lDouble = lValue;
    EXPECT_EQ(lInt, static_cast<int>(lValue)) << lValue;
    EXPECT_EQ(lBool, static_cast<bool>(lValue)) << lValue;
  }

  // Out of range saturates instead of being undefined.
  lDouble = 1e300;
  EXPECT_EQ(lInt, INT_MAX);
  lDouble = -std::numeric_limits<double>::infinity();
  EXPECT_EQ(lInt, INT_MIN);
  lDouble = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(lInt, 0);

  // Bool to int to double, through a chain.
  FBPropertyAnimatableBool lBoolSource;
  FBPropertyAnimatableInt lFromBool;
  FBPropertyDouble lFromInt;
  ASSERT_TRUE(lFromBool.ConnectSrc(&lBoolSource));
  ASSERT_TRUE(lFromInt.ConnectSrc(&lFromBool));
  lBoolSource = true;
  EXPECT_EQ(lFromInt, 1.0);
}

TEST_F(ConnectionsTest, ChainsAndTimecodesReadThrough) {
  FBPropertyAnimatableTimeCode lSource, lMiddle, lEnd;
  ASSERT_TRUE(lMiddle.ConnectSrc(&lSource));
  ASSERT_TRUE(lEnd.ConnectSrc(&lMiddle));
  FBTimeCode lCode(FBTimeCode::PAL_25);
  lCode.SetTimeCode(1, 2, 3, 4);
  lSource = lCode;
  // The raw value is three doubles: whole seconds, frames, rate.
  double lRaw[3] = {0.0, 0.0, 0.0};
  lEnd.GetData(lRaw, sizeof(lRaw));
  EXPECT_EQ(lRaw[0], 3723.0);
  EXPECT_EQ(lRaw[1], 4.0);
  EXPECT_EQ(lRaw[2], -25.0);
  EXPECT_EQ(static_cast<FBTimeCode>(lEnd), lCode);

  FBPropertyString lText, lShown;
  ASSERT_TRUE(lShown.ConnectSrc(&lText));
  lText = "take 7";
  EXPECT_STREQ(lShown, "take 7");
}

TEST_F(ConnectionsTest, RefusedConnectionsConnectNothing) {
  ConnectionLog lLog;
  FBPropertyAnimatableTimeCode lTimeCode;
  FBPropertyInt lInt, lOtherInt;
  FBPropertyDouble lDouble;
  FBPropertyString lString;
  FBPropertyTime lTime;
  FBPropertyListObject lList;
  FBBox lBox("box");

  struct Pair {
    FBPlug* dst;
    FBPlug* src;
  };
  const Pair lRefused[] = {{&lTimeCode, &lInt},  {&lInt, &lTimeCode}, {&lString, &lDouble},
                           {&lDouble, &lString}, {&lTime, &lDouble},  {&lInt, &lInt},
                           {&lInt, &lBox},       {&lList, &lInt},     {&lBox, &lInt},
                           {&lInt, &lList},      {&lInt, nullptr}};
  for (const Pair& lPair : lRefused) {
    const int lIndex = static_cast<int>(&lPair - lRefused);
    EXPECT_FALSE(lPair.dst->ConnectSrc(lPair.src)) << lIndex;
    EXPECT_EQ(lPair.dst->GetSrcCount(), 0) << lIndex;
    if (lPair.src) {
      EXPECT_EQ(lPair.src->GetDstCount(), 0) << lIndex;
    }
  }

  // Cycles, direct or through a chain.
  ASSERT_TRUE(lInt.ConnectSrc(&lOtherInt));
  ASSERT_TRUE(lOtherInt.ConnectSrc(&lDouble));
  lLog.mEntries.clear();
  EXPECT_FALSE(lOtherInt.ConnectSrc(&lInt));
  EXPECT_FALSE(lDouble.ConnectSrc(&lInt));
  EXPECT_EQ(lDouble.GetSrcCount(), 0);
  EXPECT_EQ(lInt.GetDstCount(), 0);
  EXPECT_TRUE(lLog.mEntries.empty());
}

TEST_F(ConnectionsTest, SourcesAreListedInOrderAndDisconnectAllClearsBothSides) {
  FBPropertyListObject lList;
  FBBox lA("a"), lB("b"), lC("c");
  EXPECT_EQ(lList.Add(&lA), 0);
  EXPECT_EQ(lList.Add(&lB), 1);
  EXPECT_EQ(lList.Add(&lC), 2);
  EXPECT_EQ(lList.Add(&lB), 1);  // already there: not added twice
  ASSERT_EQ(lList.GetSrcCount(), 3);
  EXPECT_EQ(lList.GetSrc(0), &lA);
  EXPECT_EQ(lList.GetSrc(2), &lC);
  EXPECT_EQ(lList.GetSrc(3), nullptr);
  EXPECT_EQ(lList.GetSrc(-1), nullptr);
  EXPECT_EQ(lB.GetDstCount(), 1);
  EXPECT_EQ(lB.GetDst(0), &lList);

  lList.RemoveAt(1);
  EXPECT_EQ(lList.GetAt(1), &lC);
  EXPECT_EQ(lList.Find(&lB), -1);
  EXPECT_EQ(lB.GetDstCount(), 0);

  lList.DisconnectAllSrc();
  EXPECT_EQ(lList.GetSrcCount(), 0);
  EXPECT_EQ(lA.GetDstCount(), 0);
  EXPECT_EQ(lC.GetDstCount(), 0);
}

TEST_F(ConnectionsTest, DestroyedPlugsLeaveNoConnectionBehind) {
  FBPropertyInt lShown;
  lShown = 5;
  {
    FBPropertyDouble lSource;
    lSource = 9.0;
    ASSERT_TRUE(lShown.ConnectSrc(&lSource));
    EXPECT_EQ(lShown, 9);
  }
  EXPECT_EQ(lShown.GetSrcCount(), 0);
  EXPECT_EQ(lShown, 5);  // reads its own value again

  // A component that goes away leaves the lists holding it, as does one of its properties.
  FBPropertyListObject lList;
  FBPropertyDouble lReader;
  auto* lBox = new FBBox("gone");
  FBProperty* lGain = lBox->PropertyCreate("Gain", kFBPT_double, "Number", true);
  ASSERT_EQ(lList.Add(lBox), 0);
  ASSERT_TRUE(lReader.ConnectSrc(lGain));
  delete lBox;
  EXPECT_EQ(lList.GetCount(), 0);
  EXPECT_EQ(lReader.GetSrcCount(), 0);
  EXPECT_EQ(lReader, 0.0);

  // FBDelete on a component the plug-in did not allocate leaves lists but frees nothing.
  FBBox lKept("kept");
  ConnectionLog lLog;
  ASSERT_EQ(lList.Add(&lKept), 0);
  lKept.FBDelete();
  EXPECT_EQ(lList.GetCount(), 0);
  ASSERT_EQ(lLog.mEntries.size(), 2u);
  EXPECT_EQ(lLog.mEntries[1].action, kFBDisconnectedSrc);
  EXPECT_EQ(lLog.mEntries[1].src, &lKept);
}

TEST_F(ConnectionsTest, ListChangesNotifyAfterTheListChanged) {
  FBBox lOwner("owner");
  FBPropertyListObject lList;
  lList.CreateInternal(&lOwner, "Items");
  FBBox lA("a"), lB("b");
  ConnectionLog lLog;
  std::vector<int> lCountsSeen;
  lLog.mOnEvent = [&](const ConnectionLog::Entry&) { lCountsSeen.push_back(lList.GetCount()); };

  lList.Add(&lA);
  lList.Add(&lB);
  ASSERT_EQ(lLog.mEntries.size(), 2u);
  EXPECT_EQ(lLog.mEntries[0].action, kFBConnectedSrc);
  EXPECT_EQ(lLog.mEntries[0].dst, &lList);
  EXPECT_EQ(lLog.mEntries[0].src, &lA);
  EXPECT_EQ(lLog.mEntries[1].src, &lB);
  EXPECT_EQ(lLog.mEntries[1].srcIndex, 1);

  lList.Remove(&lA);
  ASSERT_EQ(lLog.mEntries.size(), 3u);
  EXPECT_EQ(lLog.mEntries[2].action, kFBDisconnectedSrc);
  EXPECT_EQ(lLog.mEntries[2].src, &lA);
  EXPECT_EQ(lLog.mEntries[2].dst, &lList);

  lList.Add(&lA);
  lList.RemoveAll();
  ASSERT_EQ(lLog.mEntries.size(), 6u);
  for (size_t i = 4; i < 6; ++i) {
    EXPECT_EQ(lLog.mEntries[i].action, kFBDisconnectedSrc);
    EXPECT_EQ(lLog.mEntries[i].dst, &lList);
  }
  EXPECT_NE(lLog.mEntries[4].src, lLog.mEntries[5].src);
  EXPECT_EQ(lCountsSeen, (std::vector<int>{1, 2, 1, 2, 1, 0}));
}

TEST_F(ConnectionsTest, PropertyConnectionsNotifyWithTheirOwnPlugs) {
  FBPropertyDouble lSource;
  FBPropertyInt lDestination;
  ConnectionLog lLog;
  ASSERT_TRUE(lDestination.ConnectSrc(&lSource));
  lDestination.DisconnectAllSrc();
  ASSERT_EQ(lLog.mEntries.size(), 2u);
  EXPECT_EQ(lLog.mEntries[0].action, kFBConnectedSrc);
  EXPECT_EQ(lLog.mEntries[1].action, kFBDisconnectedSrc);
  for (const ConnectionLog::Entry& lEntry : lLog.mEntries) {
    EXPECT_EQ(lEntry.src, &lSource);
    EXPECT_EQ(lEntry.dst, &lDestination);
  }
}

TEST_F(ConnectionsTest, HandlersAreSharedByEverySystemAndRemovable) {
  const int lBefore = fbhost::ConnectionNotifyHandlerCount();
  FBPropertyListObject lList;
  FBBox lItem("item");
  {
    ConnectionLog lLog;  // added through a temporary FBSystem
    EXPECT_EQ(fbhost::ConnectionNotifyHandlerCount(), lBefore + 1);
    EXPECT_EQ(FBSystem().OnConnectionNotify.GetCount(), lBefore + 1);
    lList.Add(&lItem);
    EXPECT_EQ(lLog.mEntries.size(), 1u);

    // A pair added twice is called twice, and each Remove takes one away.
    lLog.Attach();
    EXPECT_EQ(fbhost::ConnectionNotifyHandlerCount(), lBefore + 2);
    lList.Remove(&lItem);
    EXPECT_EQ(lLog.mEntries.size(), 3u);
    lLog.Detach();
    lList.Add(&lItem);
    EXPECT_EQ(lLog.mEntries.size(), 4u);

    lLog.Detach();
    lList.Remove(&lItem);
    EXPECT_EQ(lLog.mEntries.size(), 4u);
  }
  EXPECT_EQ(fbhost::ConnectionNotifyHandlerCount(), lBefore);
}

TEST_F(ConnectionsTest, HandlersMayAddAndRemoveHandlersWhileNotified) {
  FBPropertyListObject lList;
  FBBox lA("a"), lB("b"), lNested("nested");
  // Handlers are called newest first: third, second, first.
  ConnectionLog lFirst, lSecond, lThird;
  std::vector<std::unique_ptr<ConnectionLog>> lLate;
  lThird.mOnEvent = [&](const ConnectionLog::Entry&) {
    lThird.Detach();
    lFirst.Detach();  // not yet called in this dispatch: must not be
    for (int i = 0; i < 64; ++i) lLate.push_back(std::make_unique<ConnectionLog>());
    lList.Add(&lNested);  // a notification raised from inside one
  };

  lList.Add(&lA);
  EXPECT_EQ(lThird.mEntries.size(), 1u);
  EXPECT_TRUE(lFirst.mEntries.empty());
  EXPECT_EQ(lSecond.mEntries.size(), 2u);  // the nested one, then the outer
  ASSERT_EQ(lSecond.mEntries.size(), 2u);
  EXPECT_EQ(lSecond.mEntries[0].src, &lNested);
  EXPECT_EQ(lList.GetCount(), 2);

  lList.Add(&lB);
  EXPECT_EQ(lThird.mEntries.size(), 1u);
  EXPECT_TRUE(lFirst.mEntries.empty());
  EXPECT_EQ(lSecond.mEntries.size(), 3u);
  for (const auto& lLog : lLate) EXPECT_FALSE(lLog->mEntries.empty());
}

}  // namespace

#pragma once
// Fixture and event receivers shared by the SDK tests.

#include <fbsdk/fbsdk.h>
#include <fbsdk/runtime.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

// Each test starts from, and leaves, a new host's scene.
class SdkTest : public ::testing::Test {
 protected:
  void SetUp() override { fbhost::ResetScene(); }
  void TearDown() override { fbhost::ResetScene(); }
};

// Records the host's connection notifications while attached. Attaching goes
// through a temporary FBSystem, as a plug-in does.
class ConnectionLog : public ICallback {
 public:
  struct Entry {
    FBConnectionAction action;
    FBPlug* src;
    FBPlug* dst;
    int srcIndex;
  };

  explicit ConnectionLog(bool pAttach = true) {
    if (pAttach) Attach();
  }
  ~ConnectionLog() override { Detach(); }

  void Attach() { FBSystem().OnConnectionNotify.Add(this, (FBCallback)&ConnectionLog::OnNotify); }
  void Detach() {
    FBSystem().OnConnectionNotify.Remove(this, (FBCallback)&ConnectionLog::OnNotify);
  }

  void OnNotify(HIRegister, HKEventBase pEvent) {
    FBEventConnectionNotify lEvent(pEvent);
    mEntries.push_back(Entry{lEvent.Action, lEvent.SrcPlug, lEvent.DstPlug, lEvent.SrcIndex});
    if (mOnEvent) mOnEvent(mEntries.back());
  }

  std::vector<Entry> mEntries;
  std::function<void(const Entry&)> mOnEvent;
};

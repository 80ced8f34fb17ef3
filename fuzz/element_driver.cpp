#include "element_driver.h"

#include <fbhost/scene.h>
#include <fbsdk/runtime.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "element/vexa_hud_element.h"
#include "fuzz_input.h"

namespace vexafuzz {

namespace {

// Names the element looks for on sources and cameras, so that random writes
// and new properties meet its searches often.
const char* const kKnownNames[] = {"master",   "amc:timecode",  "Timecode",          "timecode",
                                   "TimeCode", "TCHour",        "TCMinute",          "TCSecond",
                                   "TCFrame",  "ShowCrosshair", "ShowOpticalCenter", ""};
const size_t kKnownNameCount = sizeof(kKnownNames) / sizeof(kKnownNames[0]);

const ORSDK2014::FBPropertyType kCustomKinds[] = {
    ORSDK2014::kFBPT_bool,    ORSDK2014::kFBPT_int,      ORSDK2014::kFBPT_double,
    ORSDK2014::kFBPT_charptr, ORSDK2014::kFBPT_TimeCode, ORSDK2014::kFBPT_ColorRGBA,
    ORSDK2014::kFBPT_enum,    ORSDK2014::kFBPT_Time};

// Custom properties an input may add, so it cannot grow the scene without end.
const int kMaxCustomProperties = 64;
const int kMaxOperations = 256;
// Element creation and drawing cost the most; a few of each per input keep
// the search fast.
const int kMaxDraws = 12;
const int kMaxRecreations = 1;
const int kMaxDrawSide = 96;

// double to float without undefined behaviour: finite values beyond float's
// range become the largest float of their sign.
float ToFloat(double pValue) {
  if (pValue > FLT_MAX && pValue < HUGE_VAL) return FLT_MAX;
  if (pValue < -FLT_MAX && pValue > -HUGE_VAL) return -FLT_MAX;
  return static_cast<float>(pValue);
}

class Driver {
 public:
  Driver(const uint8_t* pData, size_t pSize, fbhost::OffscreenViewer& pViewer)
      : mIn(pData, pSize), mViewer(pViewer) {}

  void Run();

 private:
  void Build();
  void Assign(ORSDK2014::FBProperty& pProperty);
  ORSDK2014::FBComponent* PickSource();
  ORSDK2014::FBComponent* PickOwner();
  void WriteProperty();
  void ChangeList();
  void AddCustomProperty();
  void ChangeScene();
  void Notify();
  void Draw();
  // Deletes the element, bound sources and all, and makes a new one.
  bool Recreate();

  FuzzInput mIn;
  fbhost::OffscreenViewer& mViewer;
  std::unique_ptr<fbhost::Scene> mScene;
  VexaHUDElement* mHud = nullptr;
  std::vector<ORSDK2014::FBComponent*> mSources;
  ORSDK2014::FBTake* mTake = nullptr;
  int mCustomCount = 0;
  int mDraws = 0;
  int mRecreations = 0;
};

void Driver::Build() {
  mScene = std::make_unique<fbhost::Scene>();
  fbhost::Scene& lScene = *mScene;
  mTake = lScene.AddTake("Take 001");
  lScene.SetCurrentTake(mTake);
  lScene.SetPlayRange(0, 300);
  ORSDK2014::FBCamera* lCamera = lScene.AddCamera("Camera 1");
  lScene.AddCustomProperty(lCamera, "ShowCrosshair", ORSDK2014::kFBPT_bool);
  lScene.AddCustomProperty(lCamera, "TimeCode", ORSDK2014::kFBPT_TimeCode);
  lScene.SetCurrentCamera(lCamera);
  ORSDK2014::FBComponent* lSingle = lScene.AddObject("Single");
  lScene.AddCustomProperty(lSingle, "TimeCode", ORSDK2014::kFBPT_TimeCode);
  ORSDK2014::FBComponent* lFour = lScene.AddObject("Four");
  for (const char* lName : {"TCHour", "TCMinute", "TCSecond", "TCFrame"})
    lScene.AddCustomProperty(lFour, lName, ORSDK2014::kFBPT_int);
  ORSDK2014::FBComponent* lBoth = lScene.AddObject("Both");
  lScene.AddCustomProperty(lBoth, "master", ORSDK2014::kFBPT_TimeCode);
  for (const char* lName : {"TCHour", "TCMinute", "TCSecond"})
    lScene.AddCustomProperty(lBoth, lName, ORSDK2014::kFBPT_int);
  ORSDK2014::FBComponent* lPlain = lScene.AddObject("Plain");
  mSources = {lCamera, lSingle, lFour, lBoth, lPlain, lScene.AddCamera("Camera 2")};

  ORSDK2014::FBHUDElement* lElement = lScene.CreateElement("VexaHUDElement", "HUD");
  if (lElement && lElement->Is(VexaHUDElement::TypeInfo))
    mHud = static_cast<VexaHUDElement*>(lElement);
}

// A value of the property's own kind, extremes included; lists are changed
// through ChangeList.
void Driver::Assign(ORSDK2014::FBProperty& pProperty) {
  using namespace ORSDK2014;
  switch (pProperty.GetPropertyType()) {
    case kFBPT_bool: {
      bool lValue = mIn.Bool();
      pProperty.SetData(&lValue);
      break;
    }
    case kFBPT_int:
    case kFBPT_enum: {
      int lValue = mIn.Int();
      pProperty.SetData(&lValue);
      break;
    }
    case kFBPT_double: {
      double lValue = mIn.Double();
      pProperty.SetData(&lValue);
      break;
    }
    case kFBPT_ColorRGBA: {
      double lValue[4] = {mIn.Double(), mIn.Double(), mIn.Double(), mIn.Double()};
      pProperty.SetData(lValue);
      break;
    }
    case kFBPT_TimeCode: {
      if (mIn.Bool()) {
        // Raw seconds, frames and rate, as a scene file may write them.
        double lRaw[3] = {mIn.Double(), mIn.Double(), mIn.Double()};
        static_assert(sizeof(lRaw) == sizeof(FBTimeCode), "the SDK's raw timecode");
        pProperty.SetData(lRaw);
        break;
      }
      static const float kRates[] = {FBTimeCode::NTSC_DROP,
                                     FBTimeCode::NTSC_FULL,
                                     FBTimeCode::FRAMES_30,
                                     FBTimeCode::PAL_25,
                                     FBTimeCode::FILM_24,
                                     0.0f,
                                     -1.0f,
                                     1e30f};
      FBTimeCode lValue(mIn.Bool() ? kRates[mIn.Below(8)] : ToFloat(mIn.Double()));
      lValue.SetTimeCode(mIn.Int(), mIn.Int(), mIn.Int(), ToFloat(mIn.Double()));
      pProperty.SetData(&lValue);
      break;
    }
    case kFBPT_Time: {
      long long lValue = mIn.Wide();
      pProperty.SetData(&lValue);
      break;
    }
    case kFBPT_charptr: {
      const std::string lText = mIn.Text(kKnownNames, kKnownNameCount);
      const char* lBytes = lText.c_str();
      pProperty.SetData(&lBytes);
      break;
    }
    default:
      break;
  }
}

ORSDK2014::FBComponent* Driver::PickSource() {
  const size_t lIndex = mIn.Below(mSources.size() + 1);
  return lIndex < mSources.size() ? mSources[lIndex] : nullptr;
}

ORSDK2014::FBComponent* Driver::PickOwner() {
  // Mostly the element; otherwise a source or camera it reads.
  if (mIn.Byte() % 4 != 0) return mHud;
  ORSDK2014::FBComponent* lSource = PickSource();
  return lSource ? lSource : mHud;
}

void Driver::WriteProperty() {
  ORSDK2014::FBComponent* lOwner = PickOwner();
  const int lCount = lOwner->PropertyList.GetCount();
  if (lCount <= 0) return;
  Assign(lOwner->PropertyList[static_cast<int>(mIn.Below(static_cast<size_t>(lCount)))]);
}

void Driver::ChangeList() {
  const bool lCamera = mIn.Bool();
  ORSDK2014::FBPropertyListObject* lList =
      lCamera ? mHud->CameraTimecodeSource : mHud->CharacterTimecodeSource;
  switch (mIn.Byte() % 4) {
    case 0:
      if (lCamera) {
        mHud->setCameraTimecodeSource(PickSource());
      } else {
        mHud->setCharacterTimecodeSource(PickSource());
      }
      break;
    case 1:
      lList->RemoveAll();
      break;
    case 2:
      lList->Add(PickSource());
      break;
    default:
      lList->Remove(PickSource());
      break;
  }
}

void Driver::AddCustomProperty() {
  if (mCustomCount >= kMaxCustomProperties) return;
  ORSDK2014::FBComponent* lOwner = PickSource();
  if (!lOwner) return;
  const std::string lName = mIn.Text(kKnownNames, kKnownNameCount);
  const ORSDK2014::FBPropertyType lKind =
      kCustomKinds[mIn.Below(sizeof(kCustomKinds) / sizeof(kCustomKinds[0]))];
  ORSDK2014::FBProperty* lProperty = mScene->AddCustomProperty(lOwner, lName.c_str(), lKind);
  ++mCustomCount;
  if (lProperty) Assign(*lProperty);
}

void Driver::ChangeScene() {
  fbhost::Scene& lScene = *mScene;
  switch (mIn.Byte() % 9) {
    case 0: {
      const bool lRecording = mIn.Bool();
      lScene.SetTransport(lRecording, mIn.Bool());
      break;
    }
    case 1:
      lScene.SetFrame(mIn.Wide());
      break;
    case 2: {
      const long long lStart = mIn.Wide();
      lScene.SetPlayRange(lStart, mIn.Wide());
      break;
    }
    case 3:
      lScene.SetSystemTimeMs(mIn.Wide());
      break;
    case 4:
      lScene.SetFrameRate(mIn.Double());
      break;
    case 5:
      fbhost::SetLocalTime(ORSDK2014::FBTime(mIn.Wide()));
      break;
    case 6:
      fbhost::SetSystemTime(ORSDK2014::FBTime(mIn.Wide()));
      break;
    case 7: {
      ORSDK2014::FBComponent* lCamera = PickSource();
      lScene.SetCurrentCamera(dynamic_cast<ORSDK2014::FBCamera*>(lCamera));
      break;
    }
    default:
      lScene.SetCurrentTake(mIn.Bool() ? mTake : nullptr);
      break;
  }
}

// A connection notification as the host raises it, between a source and one
// of the element's lists or properties.
void Driver::Notify() {
  ORSDK2014::FBComponent* lSource = PickSource();
  if (!lSource) lSource = mSources.front();
  const int lCount = mHud->PropertyList.GetCount();
  ORSDK2014::FBPlug* lDestination = nullptr;
  switch (mIn.Byte() % 3) {
    case 0:
      lDestination = mHud->CharacterTimecodeSource;
      break;
    case 1:
      lDestination = mHud->CameraTimecodeSource;
      break;
    default:
      lDestination = &mHud->PropertyList[static_cast<int>(mIn.Below(static_cast<size_t>(lCount)))];
      break;
  }
  const auto lAction = static_cast<ORSDK2014::FBConnectionAction>(mIn.Byte() % 12);
  fbhost::RaiseConnectionNotify(lAction, lSource, lDestination);
}

void Driver::Draw() {
  if (mDraws++ >= kMaxDraws) return;
  const int lWidth = 1 + static_cast<int>(mIn.Below(kMaxDrawSide));
  const int lHeight = 1 + static_cast<int>(mIn.Below(kMaxDrawSide));
  mViewer.Resize(lWidth, lHeight);
  ORSDK2014::FBComponent* lCamera = PickSource();
  mViewer.RenderFrame(mScene->Elements(), dynamic_cast<ORSDK2014::FBCamera*>(lCamera));
  ORSDK2014::FBViewingOptions lOptions(dynamic_cast<ORSDK2014::FBCamera*>(lCamera));
  int lIntrinsicWidth = 0, lIntrinsicHeight = 0;
  mHud->GetIntrinsicDimension(&lOptions, lIntrinsicWidth, lIntrinsicHeight);
}

bool Driver::Recreate() {
  if (mRecreations++ >= kMaxRecreations) return true;
  mScene->DeleteElement(mHud);
  mHud = nullptr;
  ORSDK2014::FBHUDElement* lElement = mScene->CreateElement("VexaHUDElement", "HUD");
  if (lElement && lElement->Is(VexaHUDElement::TypeInfo))
    mHud = static_cast<VexaHUDElement*>(lElement);
  return mHud != nullptr;
}

void Driver::Run() {
  Build();
  if (!mHud) return;
  for (int i = 0; i < kMaxOperations && !mIn.Empty(); ++i) {
    switch (mIn.Byte() % 16) {
      case 0:
      case 1:
      case 2:
      case 3:
        WriteProperty();
        break;
      case 4:
      case 5:
        ChangeList();
        break;
      case 6:
        AddCustomProperty();
        break;
      case 7:
      case 8:
        ChangeScene();
        break;
      case 9:
        Notify();
        break;
      case 10:
        if (!Recreate()) return;
        break;
      default:
        Draw();
        break;
    }
  }
  // Always one pass after the last change.
  mDraws = 0;
  Draw();
  mViewer.ReadPixels();
  mScene.reset();
}

}  // namespace

void RunElementInput(const uint8_t* pData, size_t pSize, fbhost::OffscreenViewer& pViewer) {
  Driver(pData, pSize, pViewer).Run();
}

}  // namespace vexafuzz

// Properties: kinds, defaults, publication, limits and raw access.

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "sdk_test_support.h"

namespace {

using PropertiesTest = SdkTest;

// Published the way a plug-in element publishes its own properties.
class Gauge : public FBHUDElement {
 public:
  Gauge() : FBHUDElement("gauge") {
    // Defaults as arrays of four: Init reads that many whatever the kind.
    double lOn[4] = {1.0}, lCount[4] = {7.9}, lScale[4] = {0.5};
    double lTint[4] = {0.1, 0.2, 0.3, 0.4};
    double lStamp[4] = {3723.0, 4.0};
    Enabled.Init(this, "Enabled", "Bool", lOn);
    Count.Init(this, "Count", "Integer", lCount);
    Scale.Init(this, "Scale", "Number", lScale);
    Tint.Init(this, "Tint", "ColorAndAlpha", lTint);
    Stamp.Init(this, "Stamp", "TimeCode", lStamp);
    Label.CreateInternal(this, "Label");
    PropertyAdd(&Label);
  }

  FBPropertyAnimatableBool Enabled;
  FBPropertyAnimatableInt Count;
  FBPropertyAnimatableDouble Scale;
  FBPropertyAnimatableColorAndAlpha Tint;
  FBPropertyAnimatableTimeCode Stamp;
  FBPropertyString Label;
};

TEST_F(PropertiesTest, KindsAnswerTheHostTypeCodes) {
  FBPropertyInt lInt;
  FBPropertyBool lBool;
  FBPropertyDouble lDouble;
  FBPropertyString lString;
  FBPropertyTime lTime;
  FBPropertyAnimatableTimeCode lTimeCode;
  FBPropertyListObject lObjects;
  FBPropertyAnimatableColorAndAlpha lColor;
  // Asked through the base class, as the host does.
  FBProperty* lProperties[] = {&lInt,  &lBool,     &lDouble,  &lString,
                               &lTime, &lTimeCode, &lObjects, &lColor};
  const int lCodes[] = {1, 4, 6, 7, 9, 10, 11, 17};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(lProperties[i]->GetPropertyType(), lCodes[i]) << i;
  EXPECT_EQ(FBProperty::RawSize(kFBPT_TimeCode), 24);
  EXPECT_EQ(FBProperty::RawSize(kFBPT_ColorRGBA), 32);
}

TEST_F(PropertiesTest, InitTakesDefaultsAsDoublesAndPublishesAfterTheBaseProperties) {
  Gauge lGauge;
  EXPECT_TRUE(lGauge.Enabled);
  EXPECT_EQ(lGauge.Count, 7);  // converted as C++ converts
  EXPECT_EQ(lGauge.Scale, 0.5);
  EXPECT_EQ(static_cast<FBColorAndAlpha>(lGauge.Tint), FBColorAndAlpha(0.1, 0.2, 0.3, 0.4));
  const FBTimeCode lStamp = lGauge.Stamp;  // seconds and frames, at the default rate
  EXPECT_EQ(lStamp.GetSeconds(), 3723.0);
  EXPECT_EQ(lStamp.GetFrames(), 4.0);
  EXPECT_STREQ(lGauge.Tint.GetPropertyTypeName(), "ColorAndAlpha");
  EXPECT_EQ(lGauge.Count.GetOwner(), &lGauge);

  const int lBase = fbhost::HUDElementBasePropertyCount();
  const char* lNames[] = {"Show", "X", "Y", "Width", "Height"};
  ASSERT_EQ(lBase, 5);
  ASSERT_EQ(lGauge.PropertyList.GetCount(), lBase + 6);
  for (int i = 0; i < lBase; ++i) EXPECT_STREQ(lGauge.PropertyList[i].GetName(), lNames[i]);
  FBProperty* lOwn[] = {&lGauge.Enabled, &lGauge.Count, &lGauge.Scale,
                        &lGauge.Tint,    &lGauge.Stamp, &lGauge.Label};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(&lGauge.PropertyList[lBase + i], lOwn[i]) << i;

  EXPECT_FALSE(lGauge.Scale.IsAnimated());
  EXPECT_TRUE(lGauge.Scale.SetAnimated(true));
  EXPECT_TRUE(lGauge.Scale.IsAnimated());
}

TEST_F(PropertiesTest, PropertyCreateMakesObjectListsAndValuedProperties) {
  FBBox lBox("box");
  FBProperty* lTargets = lBox.PropertyCreate("Targets", kFBPT_object, "Object", false, true);
  FBProperty* lNote = lBox.PropertyCreate("Note", kFBPT_charptr, "String", false, true);
  FBProperty* lGain = lBox.PropertyCreate("Gain", kFBPT_double, "Number", true, true);
  ASSERT_TRUE(lTargets && lNote && lGain);
  ASSERT_EQ(lBox.PropertyList.GetCount(), 3);
  EXPECT_EQ(&lBox.PropertyList[0], lTargets);
  EXPECT_EQ(&lBox.PropertyList[2], lGain);
  EXPECT_EQ(lTargets->GetOwner(), &lBox);

  auto* lList = dynamic_cast<FBPropertyListObject*>(lTargets);
  ASSERT_NE(lList, nullptr);
  FBBox lItem("item");
  EXPECT_EQ(lList->Add(&lItem), 0);
  EXPECT_EQ((*lList)[0], &lItem);

  EXPECT_EQ(lNote->GetPropertyType(), kFBPT_charptr);
  const char* lText = "unread";
  lNote->GetData(&lText, sizeof(lText));
  EXPECT_EQ(lText, nullptr) << "a string never set reads as a null char*";

  EXPECT_TRUE(lGain->IsAnimatable());
  ASSERT_NE(dynamic_cast<FBPropertyAnimatable*>(lGain), nullptr);
  double lValue = 2.25, lRead = 0.0;
  lGain->SetData(&lValue);
  lGain->GetData(&lRead, sizeof(lRead));
  EXPECT_EQ(lRead, 2.25);
}

TEST_F(PropertiesTest, FindComparesNamesExactly) {
  FBBox lBox("box");
  FBProperty* lUpper = lBox.PropertyCreate("TimeCode", kFBPT_TimeCode, "TimeCode", true);
  FBProperty* lLower = lBox.PropertyCreate("timecode", kFBPT_int, "Integer", false);
  EXPECT_EQ(lBox.PropertyList.Find("TimeCode"), lUpper);
  EXPECT_EQ(lBox.PropertyList.Find("timecode"), lLower);
  EXPECT_EQ(lBox.PropertyList.Find("TIMECODE"), nullptr);
  EXPECT_EQ(lBox.PropertyList.Find("Time"), nullptr);
}

TEST_F(PropertiesTest, ForcedLimitsClampWhatIsSet) {
  FBPropertyDouble lBoth;
  lBoth.SetMinMax(1.0, 3.0, true, true);
  lBoth = 0.5;
  EXPECT_EQ(lBoth, 1.0);
  lBoth = 4.0;
  EXPECT_EQ(lBoth, 3.0);
  lBoth = 2.5;
  EXPECT_EQ(lBoth, 2.5);
  lBoth = std::numeric_limits<double>::quiet_NaN();
  const double lAfterNaN = lBoth;
  EXPECT_TRUE(lAfterNaN >= 1.0 && lAfterNaN <= 3.0) << lAfterNaN;

  FBPropertyInt lInt;
  lInt.SetMinMax(1.0, 3.0, true, true);
  lInt = -7;
  EXPECT_EQ(lInt, 1);
  lInt = 99;
  EXPECT_EQ(lInt, 3);

  // Only the forced side clamps.
  FBPropertyDouble lMinOnly;
  lMinOnly.SetMinMax(1.0, 3.0, true, false);
  lMinOnly = 4.0;
  EXPECT_EQ(lMinOnly, 4.0);
  lMinOnly = 0.0;
  EXPECT_EQ(lMinOnly, 1.0);

  // Unforced limits, or none, store what is given.
  FBPropertyDouble lSoft, lFree;
  lSoft.SetMinMax(1.0, 3.0);
  for (double lValue : {-100.0, 100000.0}) {
    lSoft = lValue;
    lFree = lValue;
    EXPECT_EQ(lSoft, lValue);
    EXPECT_EQ(lFree, lValue);
  }
}

std::vector<std::string>& Reports() {
  static std::vector<std::string> sReports;
  return sReports;
}

// Calls a host leaves undefined are reported, and then do nothing.
TEST_F(PropertiesTest, WrongSizesAndNullNamesAreReportedNotMended) {
  Reports().clear();
  const fbhost::MisuseHandler lBefore =
      fbhost::SetMisuseHandler([](const char* pReport) { Reports().push_back(pReport); });
  FBBox lBox("box");
  FBProperty* lCount = lBox.PropertyCreate("Count", kFBPT_int, "Integer", false);
  FBProperty* lStamp = lBox.PropertyCreate("Stamp", kFBPT_TimeCode, "TimeCode", true);
  int lValue = 0x11223344;
  lCount->SetData(&lValue);

  unsigned char lBytes[32];
  for (int lSize : {2, 8, 0}) {
    std::memset(lBytes, 0xAA, sizeof(lBytes));
    lCount->GetData(lBytes, lSize);
    EXPECT_EQ(lBytes[0], 0xAA) << lSize;
  }
  double lTwo[2] = {-1.0, -1.0};
  lStamp->GetData(lTwo, sizeof(lTwo));  // a timecode is three doubles
  EXPECT_EQ(lTwo[0], -1.0);
  lCount->GetData(nullptr, sizeof(int));
  EXPECT_EQ(lBox.PropertyList.Find(nullptr), nullptr);
  fbhost::SetMisuseHandler(lBefore);

  ASSERT_EQ(Reports().size(), 6u);
  EXPECT_EQ(Reports()[0], "GetData of \"Count\" with 2 bytes; its value has 4");
  EXPECT_EQ(Reports()[3], "GetData of \"Stamp\" with 16 bytes; its value has 24");
  EXPECT_EQ(Reports()[5], "Find with a null name");
  int lRead = 0;
  lCount->GetData(&lRead, sizeof(lRead));
  EXPECT_EQ(lRead, lValue);
}

TEST_F(PropertiesTest, TextIsCopiedWhenSet) {
  // Plug-ins format names into one reused buffer.
  char lBuffer[32];
  std::strcpy(lBuffer, "First");
  FBBox lBox(lBuffer);
  FBPropertyString lText;
  lText = lBuffer;
  FBProperty* lCreated = lBox.PropertyCreate(lBuffer, kFBPT_int, "Integer", false);
  std::strcpy(lBuffer, "Other");

  EXPECT_STREQ(lBox.Name, "First");
  EXPECT_STREQ(lText, "First");
  EXPECT_STREQ(lCreated->GetName(), "First");
  EXPECT_EQ(lBox.PropertyList.Find("First"), lCreated);
  EXPECT_EQ(lBox.PropertyList.Find("Other"), nullptr);

  // SetData takes the address of the text, as operator= hands it over.
  FBPropertyString lRawSet;
  const char* lSource = lBuffer;
  lRawSet.SetData(&lSource);
  std::strcpy(lBuffer, "Third");
  const char* lRaw = nullptr;
  lRawSet.GetData(&lRaw, sizeof(lRaw));
  EXPECT_STREQ(lRaw, "Other");

  lText = nullptr;
  lText.GetData(&lRaw, sizeof(lRaw));
  ASSERT_NE(lRaw, nullptr);
  EXPECT_STREQ(lRaw, "");

  // A text handed back cleared reads as null, by either road, until set again.
  lText = "Fourth";
  fbhost::HandBackNullText(&lText);
  EXPECT_EQ(static_cast<const char*>(lText), nullptr);
  lText.GetData(&lRaw, sizeof(lRaw));
  EXPECT_EQ(lRaw, nullptr);
  lText = "Fifth";
  EXPECT_STREQ(lText, "Fifth");
}

}  // namespace

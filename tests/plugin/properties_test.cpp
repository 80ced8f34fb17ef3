// The published property set as the host lists it.

#include <fbsdk/runtime.h>

#include <cstring>
#include <string>

#include "hud_fixture.h"

namespace {

using vexatest::HudTest;
using vexatest::Set;

enum Kind { kBool, kInt, kNumber, kString, kPlainInt, kList, kTimecode, kColor };

struct Row {
  const char* name;
  Kind kind;
  double value;      // bools, integers, numbers
  const char* text;  // strings
  double color[4];   // colours
};

// In publication order, with the value a new element has.
const Row kRows[] = {
    {"Show Labels", kBool, 1, nullptr, {}},
    {"Show Timeline", kBool, 1, nullptr, {}},
    {"In Frame", kInt, 0, nullptr, {}},
    {"Out Frame", kInt, 0, nullptr, {}},
    {"Show FQN", kBool, 1, nullptr, {}},
    {"Use Take for FQN", kBool, 1, nullptr, {}},
    {"FQN", kString, 0, "999_00A_001_0A01_X1_PC001_AV001", {}},
    {"Show Slate", kBool, 0, nullptr, {}},
    {"Slate", kString, 0, "999A1", {}},
    {"Show FPS", kBool, 0, nullptr, {}},
    {"Saving", kBool, 0, nullptr, {}},
    {"Standby", kBool, 0, nullptr, {}},
    {"Show Reticle", kBool, 0, nullptr, {}},
    {"Reticle Bound Property", kString, 0, "ShowCrosshair", {}},
    {"Save Message", kString, 0, "Saving...", {}},
    {"Aspect", kNumber, 2.35, nullptr, {}},
    {"Show Focal Length", kBool, 1, nullptr, {}},
    {"Show Camera Name", kBool, 0, nullptr, {}},
    {"Show Interoccular", kBool, 0, nullptr, {}},
    {"Interoccular", kNumber, 0, nullptr, {}},
    {"Show Convergence", kBool, 0, nullptr, {}},
    {"Convergence", kNumber, 0, nullptr, {}},
    {"Show Scene Frame", kBool, 1, nullptr, {}},
    {"Show Scene Timecode", kBool, 1, nullptr, {}},
    {"Timecode Property Name", kString, 0, "TimeCode", {}},
    {"Show Character Timecode", kBool, 1, nullptr, {}},
    {"Character Timecode Source", kList, 0, nullptr, {}},
    {"Character Hour", kInt, 0, nullptr, {}},
    {"Character Minute", kInt, 0, nullptr, {}},
    {"Character Second", kInt, 0, nullptr, {}},
    {"Character Frame", kInt, 0, nullptr, {}},
    {"Character Timecode", kTimecode, 0, nullptr, {}},
    {"Show Camera Timecode", kBool, 1, nullptr, {}},
    {"Camera Timecode Source", kList, 0, nullptr, {}},
    {"Camera Hour", kInt, 0, nullptr, {}},
    {"Camera Minute", kInt, 0, nullptr, {}},
    {"Camera Second", kInt, 0, nullptr, {}},
    {"Camera Frame", kInt, 0, nullptr, {}},
    {"Camera Timecode", kTimecode, 0, nullptr, {}},
    {"Show Value 1", kBool, 0, nullptr, {}},
    {"Value 1", kNumber, 0, nullptr, {}},
    {"Value 1 Label", kString, 0, "Value 1", {}},
    {"Show Value 2", kBool, 0, nullptr, {}},
    {"Value 2", kNumber, 0, nullptr, {}},
    {"Value 2 Label", kString, 0, "Value 2", {}},
    {"Bloop Light Duration", kInt, 12, nullptr, {}},
    {"Reticle Color", kColor, 0, nullptr, {1.0, 0.0, 0.0, 0.9}},
    {"Reticle Size", kInt, 50, nullptr, {}},
    {"Show Marker 1", kBool, 0, nullptr, {}},
    {"Marker 1 Name", kString, 0, "", {}},
    {"Marker 1 Frame", kInt, 0, nullptr, {}},
    {"Show Marker 2", kBool, 0, nullptr, {}},
    {"Marker 2 Name", kString, 0, "", {}},
    {"Marker 2 Frame", kInt, 0, nullptr, {}},
    {"Show Marker 3", kBool, 0, nullptr, {}},
    {"Marker 3 Name", kString, 0, "", {}},
    {"Marker 3 Frame", kInt, 0, nullptr, {}},
    {"Show Marker 4", kBool, 0, nullptr, {}},
    {"Marker 4 Name", kString, 0, "", {}},
    {"Marker 4 Frame", kInt, 0, nullptr, {}},
    {"Mask Color", kColor, 0, nullptr, {0.0, 0.0, 0.0, 0.75}},
    {"Font Color", kColor, 0, nullptr, {1.0, 1.0, 1.0, 1.0}},
    {"Timeline Offset", kPlainInt, 90, nullptr, {}},
    {"Focal Length Offset", kPlainInt, 10, nullptr, {}},
    {"Camera Name Offset", kPlainInt, 200, nullptr, {}},
    {"Interoccular Offset", kPlainInt, 200, nullptr, {}},
    {"Convergence Offset", kPlainInt, 400, nullptr, {}},
    {"FQN Offset", kPlainInt, 600, nullptr, {}},
    {"Slate Offset", kPlainInt, 1400, nullptr, {}},
    {"Frame Offset", kPlainInt, 10, nullptr, {}},
    {"Scene TC Offset", kPlainInt, 200, nullptr, {}},
    {"Character TC Offset", kPlainInt, 500, nullptr, {}},
    {"Camera TC Offset", kPlainInt, 800, nullptr, {}},
    {"Status Offset", kPlainInt, 1700, nullptr, {}},
    {"Value 1 Offset X", kPlainInt, 1200, nullptr, {}},
    {"Value 1 Offset Y", kPlainInt, 24, nullptr, {}},
    {"Value 2 Offset X", kPlainInt, 1450, nullptr, {}},
    {"Value 2 Offset Y", kPlainInt, 24, nullptr, {}},
    {"FPS Offset", kPlainInt, 1600, nullptr, {}},
};

const char* DataTypeName(Kind pKind) {
  switch (pKind) {
    case kBool:
      return "Bool";
    case kInt:
      return "Integer";
    case kNumber:
      return "Number";
    case kTimecode:
      return "TimeCode";
    case kColor:
      return "ColorAndAlpha";
    default:
      return "";
  }
}

FBPropertyType TypeOf(Kind pKind) {
  switch (pKind) {
    case kBool:
      return kFBPT_bool;
    case kInt:
    case kPlainInt:
      return kFBPT_int;
    case kNumber:
      return kFBPT_double;
    case kString:
      return kFBPT_charptr;
    case kList:
      return kFBPT_object;
    case kTimecode:
      return kFBPT_TimeCode;
    case kColor:
      return kFBPT_ColorRGBA;
  }
  return kFBPT_unknown;
}

using ElementProperties = HudTest;

TEST_F(ElementProperties, PublishesTheSetInOrderWithKindsAndDefaults) {
  const int lBase = fbhost::HUDElementBasePropertyCount();
  const int lCount = sizeof(kRows) / sizeof(kRows[0]);
  ASSERT_EQ(lCount, 79);
  ASSERT_EQ(mHud->PropertyList.GetCount(), lBase + lCount);

  for (int i = 0; i < lCount; ++i) {
    const Row& lRow = kRows[i];
    FBProperty& lProperty = mHud->PropertyList[lBase + i];
    SCOPED_TRACE(lRow.name);
    EXPECT_STREQ(lProperty.GetName(), lRow.name);
    EXPECT_EQ(lProperty.GetPropertyType(), TypeOf(lRow.kind));
    EXPECT_STREQ(lProperty.GetPropertyTypeName(), DataTypeName(lRow.kind));
    const bool lAnimatable = lRow.kind != kString && lRow.kind != kPlainInt && lRow.kind != kList;
    EXPECT_EQ(lProperty.IsAnimatable(), lAnimatable);
    EXPECT_FALSE(lProperty.IsReadOnly());
    switch (lRow.kind) {
      case kBool: {
        bool lValue = !lRow.value;
        lProperty.GetData(&lValue, sizeof(lValue));
        EXPECT_EQ(lValue, lRow.value != 0);
        break;
      }
      case kInt:
      case kPlainInt: {
        int lValue = -1;
        lProperty.GetData(&lValue, sizeof(lValue));
        EXPECT_EQ(lValue, static_cast<int>(lRow.value));
        break;
      }
      case kNumber: {
        double lValue = -1;
        lProperty.GetData(&lValue, sizeof(lValue));
        EXPECT_EQ(lValue, lRow.value);
        break;
      }
      case kString: {
        const char* lText = nullptr;
        lProperty.GetData(&lText, sizeof(lText));
        ASSERT_NE(lText, nullptr);  // an empty text, not a missing one
        EXPECT_STREQ(lText, lRow.text);
        break;
      }
      case kList:
        EXPECT_EQ(static_cast<FBPropertyListObject&>(lProperty).GetCount(), 0);
        break;
      case kTimecode: {
        double lRaw[3] = {-1, -1, -1};
        lProperty.GetData(lRaw, sizeof(lRaw));
        EXPECT_EQ(lRaw[0], 0.0);
        EXPECT_EQ(lRaw[1], 0.0);
        EXPECT_FLOAT_EQ(static_cast<float>(lRaw[2]), FBTimeCode::NTSC_DROP);
        break;
      }
      case kColor: {
        FBColorAndAlpha lValue;
        lProperty.GetData(&lValue, sizeof(lValue));
        for (int c = 0; c < 4; ++c) EXPECT_EQ(lValue[c], lRow.color[c]) << c;
        break;
      }
    }
  }
}

TEST_F(ElementProperties, OnlyAspectIsLimitedAndItClampsToOneToThree) {
  for (int i = fbhost::HUDElementBasePropertyCount(); i < mHud->PropertyList.GetCount(); ++i) {
    FBProperty& lProperty = mHud->PropertyList[i];
    const bool lAspect = std::strcmp(lProperty.GetName(), "Aspect") == 0;
    double lMin = 0.0, lMax = 0.0;
    EXPECT_EQ(lProperty.GetMinMax(lMin, lMax), lAspect) << lProperty.GetName();
    if (lAspect) {
      EXPECT_TRUE(lMin == 1.0 && lMax == 3.0) << lMin << ", " << lMax;
    }
  }
  for (auto [lSet, lRead] : {std::pair{0.5, 1.0}, {4.0, 3.0}, {1.85, 1.85}}) {
    Set(mHud, "Aspect", lSet);
    EXPECT_EQ(static_cast<double>(mHud->Aspect), lRead);
  }
}

TEST_F(ElementProperties, EachElementHasItsOwnValues) {
  VexaHUDElement* lOther = CreateHud("other");
  ASSERT_NE(lOther, nullptr);
  Set(mHud, "Slate", "A");
  Set(lOther, "Slate", "B");
  EXPECT_STREQ(mHud->Slate, "A");
  EXPECT_STREQ(lOther->Slate, "B");
  EXPECT_NE(mHud->CharacterTimecodeSource, lOther->CharacterTimecodeSource);
}

}  // namespace

#pragma once
// One timeline marker: its name, frame and switch, published by the element.

#include <fbsdk/fbsdk.h>

class Marker {
 public:
  static constexpr const char* kNamePattern = "Marker %d Name";
  FBPropertyString Name;
  static constexpr const char* kFramePattern = "Marker %d Frame";
  FBPropertyAnimatableInt Frame;
  static constexpr const char* kShowPattern = "Show Marker %d";
  FBPropertyAnimatableBool Show;
};

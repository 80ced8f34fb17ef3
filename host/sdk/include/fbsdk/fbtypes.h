#pragma once
// Small value classes: colours and host strings.

#include <fbsdk/fbdefines.h>

#include <string>

namespace ORSDK2014 {

class FBSDK_DLL FBColorAndAlpha {
 public:
  FBColorAndAlpha() : mValue{0.0, 0.0, 0.0, 1.0} {}
  FBColorAndAlpha(double pR, double pG, double pB, double pA = 1.0) : mValue{pR, pG, pB, pA} {}
  explicit FBColorAndAlpha(const double* pValue)
      : mValue{pValue[0], pValue[1], pValue[2], pValue[3]} {}

  double& operator[](int pIndex) { return mValue[pIndex]; }
  const double& operator[](int pIndex) const { return mValue[pIndex]; }
  bool operator==(const FBColorAndAlpha& pOther) const {
    return mValue[0] == pOther.mValue[0] && mValue[1] == pOther.mValue[1] &&
           mValue[2] == pOther.mValue[2] && mValue[3] == pOther.mValue[3];
  }

  double mValue[4];
};
static_assert(sizeof(FBColorAndAlpha) == 32, "a colour's raw value is four doubles");

// A host string; it always holds a text (a null pointer stores the empty text).
class FBSDK_DLL FBString {
 public:
  FBString(const char* pText = nullptr) : mText(pText ? pText : "") {}

  FBString& operator=(const char* pText) {
    mText.assign(pText ? pText : "");
    return *this;
  }
  operator const char*() const { return mText.c_str(); }
  const char* Buffer() const { return mText.c_str(); }
  int GetLen() const { return static_cast<int>(mText.size()); }
  bool IsEmpty() const { return mText.empty(); }

 private:
  std::string mText;
};

}  // namespace ORSDK2014

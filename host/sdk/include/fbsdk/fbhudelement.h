#pragma once
// Viewer HUD elements: components the viewer draws over every view.

#include <fbsdk/fbcomponent.h>
#include <fbsdk/fbscene.h>

namespace ORSDK2014 {

class FBSDK_DLL FBHUDElement : public FBBox {
  FBClassDeclare(FBHUDElement, FBBox);

 public:
  struct Rect {
    double mX, mY, mWidth, mHeight, mWidthScale, mHeightScale;
  };

  explicit FBHUDElement(const char* pName, HIObject pObject = nullptr);

  virtual void GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth, int& pHeight);
  virtual void DrawElement(FBViewingOptions* pViewingOptions, Rect& pRect);

  FBPropertyBool Show;  // the viewer draws only shown elements
  FBPropertyDouble X;
  FBPropertyDouble Y;
  FBPropertyDouble Width;
  FBPropertyDouble Height;
};

}  // namespace ORSDK2014

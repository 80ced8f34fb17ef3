#pragma once
// Footage's colour made fit to review: an OpenColorIO display transform from
// the footage's colour space to a display and view, applied to its RGB before
// anything is drawn over it, as a viewer shows a display-referred picture.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace media {

// As a user names them; what is empty takes its default.
struct ColourSettings {
  std::string config;      // an OCIO config file; empty: $OCIO, as every OCIO tool takes it
  std::string colorspace;  // the footage's; empty: the config's scene_linear role for float EXR
  std::string display;     // empty: the config's default display
  std::string view;        // empty: that display's default view
};

class ColourTransform {
 public:
  // The transform for footage whose samples are scene-linear light
  // (pSceneLinear: float EXR) or not. Null with pError empty where the
  // footage is shown as decoded; null with pError naming the config, colour
  // space, display or view that is wrong. pDetail says in words what is done.
  static std::unique_ptr<ColourTransform> Create(const ColourSettings& pSettings, bool pSceneLinear,
                                                 std::string* pDetail, std::string* pError);
  ~ColourTransform();
  ColourTransform(const ColourTransform&) = delete;
  ColourTransform& operator=(const ColourTransform&) = delete;

  // In place on packed RGBA, its alpha left as it is.
  void Apply(float* pRgba, int pWidth, int pHeight) const;
  void Apply(uint8_t* pRgba, int pWidth, int pHeight) const;

 private:
  ColourTransform();
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

}  // namespace media

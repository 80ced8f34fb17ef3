#pragma once
// RGBA pictures resampled to another size with Lanczos, which keeps a drawn
// layer's glyph edges as sharp as resampling can, scaled down or up. Used for a
// HUD laid out at one size and put over footage of another.

#include <cstdint>
#include <vector>

struct SwsContext;

namespace media {

class RgbaResampler {
 public:
  RgbaResampler() = default;
  ~RgbaResampler();
  RgbaResampler(const RgbaResampler&) = delete;
  RgbaResampler& operator=(const RgbaResampler&) = delete;

  // pRgba (pWidth x pHeight, rows packed) becomes pToWidth x pToHeight. False
  // when the sizes cannot be converted.
  bool Resample(std::vector<uint8_t>* pRgba, int pWidth, int pHeight, int pToWidth, int pToHeight);

 private:
  SwsContext* mScaler = nullptr;
  std::vector<uint8_t> mOut;
};

}  // namespace media

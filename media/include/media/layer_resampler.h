#pragma once
// A drawn layer resampled to another size (bicubic, as good resamplers do, down
// or up), for a HUD laid out at one size and put over footage of another. Only
// the rows the layer draws on, with the filter's reach around them, are
// resampled; the rest of the layer is empty and is not even written.

#include <cstdint>
#include <map>
#include <vector>

struct SwsContext;

namespace media {

class LayerResampler {
 public:
  LayerResampler() = default;
  ~LayerResampler();
  LayerResampler(const LayerResampler&) = delete;
  LayerResampler& operator=(const LayerResampler&) = delete;

  // A layer as OffscreenViewer's layer mode reads it, over black (pWidth x
  // pHeight RGBA) and over white (as many bytes of red), rows packed, becomes pToWidth x
  // pToHeight. pRowsDrawn says per row which hold the layer (empty: all of
  // them), and afterwards which of the result's do; the others hold nothing.
  // False when the sizes cannot be converted.
  bool Resample(std::vector<uint8_t>* pOverBlack, std::vector<uint8_t>* pOverWhite,
                std::vector<uint8_t>* pRowsDrawn, int pWidth, int pHeight, int pToWidth,
                int pToHeight);

 private:
  SwsContext* Scaler(int pWidth, int pHeight, int pToWidth, int pToHeight);

  std::map<int, SwsContext*> mScalers;  // by band height, for one pair of sizes
  int mSizes[4] = {0, 0, 0, 0};
  std::vector<uint8_t> mBlack, mWhite, mRowsDrawn;
  std::vector<uint8_t> mPlanes, mToPlanes;  // a band's four planes, before and after
};

}  // namespace media

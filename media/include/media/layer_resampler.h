#pragma once
// A drawn layer resampled to another size (bicubic, as good resamplers do, down
// or up), for a HUD laid out at one size and put over footage of another. Only
// the rows the layer draws on, with the filter's reach around them, are
// resampled; the rest of the layer is empty and is not even written.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

struct SwsContext;

namespace media {

struct LayerPlanes;

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

  // The same layer (pRowsDrawn null: every row holds it) for a picture
  // pToWidth x pToHeight whose chroma planes are the layer's own size (4:2:0
  // with the HUD laid out at half the footage's lines): luma's planes
  // resampled, chroma's the layer as drawn, for BlendLayerPlanes, with no
  // packing in between. pPlanes points into this object until the next call.
  // False when the sizes cannot be converted.
  bool ResampleToPlanes(const uint8_t* pOverBlack, const uint8_t* pOverWhite,
                        const uint8_t* pRowsDrawn, int pWidth, int pHeight, int pToWidth,
                        int pToHeight, LayerPlanes* pPlanes);

 private:
  // Rows [first, end) of the layer resampled together, and the rows of the
  // result they make.
  struct Band {
    int first, end, toFirst, toHeight;
  };
  bool Fit(int pWidth, int pHeight);
  std::vector<Band> TakeApart(const uint8_t* pOverBlack, const uint8_t* pOverWhite,
                              const uint8_t* pHeld, int pWidth, int pHeight, int pToHeight);
  std::vector<Band> Bands(const std::vector<uint8_t>& pDrawn, int pHeight, int pToHeight) const;
  // pCount planes pWidth x pHeight, filled in every band's rows, resampled
  // band by band into pCount planes pToWidth x pToHeight.
  bool ScaleBands(const std::vector<Band>& pBands, const uint8_t* pPlanes, int pCount, int pWidth,
                  int pHeight, uint8_t* pTo, int pToWidth, int pToHeight);
  // pCount planes pPlane apart, pColumns x pRows from pFrom (rows pStride
  // apart), resampled to pToColumns x pToRows at pTo, planes pToPlane apart.
  bool ScalePart(const uint8_t* pFrom, int pStride, std::size_t pPlane, int pCount, int pColumns,
                 int pRows, int pToColumns, int pToRows, uint8_t* pTo, int pToStride,
                 std::size_t pToPlane);
  SwsContext* Scaler(int pWidth, int pHeight, int pToWidth, int pToHeight);

  // By the part's size and its result's, for one layer size.
  std::map<std::array<int, 4>, SwsContext*> mScalers;
  int mSizes[2] = {0, 0};
  std::vector<uint8_t> mBlack, mWhite, mRowsDrawn;  // Resample's result
  std::vector<uint8_t> mDrawn, mLumaRowsDrawn;      // per layer row, per result row
  std::vector<uint8_t> mPlanes, mToPlanes;          // planes before and after
  // Per band: which columns differ from the one before, and how many up to
  // each; the column a flat run repeats, made a tile wide, resampled, and
  // what it was made from.
  std::vector<uint8_t> mChanges;
  std::vector<int> mChangesUpTo;
  std::vector<uint8_t> mColumn, mStrip, mProfileKey, mProfile;
  std::vector<uint8_t> mOut;  // swscale's own rows
};

}  // namespace media

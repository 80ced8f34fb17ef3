#include <media/layer_resampler.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "layer_blend.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace media {
namespace {

// Conversions kept; the layer's drawing rarely moves, so few band heights are
// met.
constexpr size_t kMostScalers = 64;
// Source rows each side of a drawn row that the filter may reach, at a scale
// of one; more where the layer is made smaller.
constexpr int kReach = 3;
// Layer columns looked at together for runs of columns that are all alike
// (a mask band's width beside its text): resampled once and repeated.
constexpr int kTile = 32;
// Bytes swscale's rows are aligned to, and may write past their width.
constexpr int kSlack = 64;

// A pixel of the layer taken apart: its colour over black and what shows
// through (white minus black in red). A row not read back holds nothing:
// black, and all of the background through.
struct Pixel {
  int red, green, blue, through;
};
inline Pixel Take(const uint8_t* pBlack, const uint8_t* pWhite, size_t pAt) {
  uint32_t black = 0;  // a pixel as one word, copied: no cast across types
  std::memcpy(&black, pBlack + 4 * pAt, 4);
  const int red = black & 0xff;
  return {red, static_cast<int>((black >> 8) & 0xff), static_cast<int>((black >> 16) & 0xff),
          std::max(int(pWhite[pAt]) - red, 0)};
}

}  // namespace

LayerResampler::~LayerResampler() {
  for (auto& scaler : mScalers) sws_freeContext(scaler.second);
}

bool LayerResampler::Fit(int pWidth, int pHeight) {
  if (pWidth <= 0 || pHeight <= 0) return false;
  if (mSizes[0] != pWidth || mSizes[1] != pHeight || mScalers.size() > kMostScalers) {
    for (auto& scaler : mScalers) sws_freeContext(scaler.second);
    mScalers.clear();
    mSizes[0] = pWidth, mSizes[1] = pHeight;
  }
  return true;
}

SwsContext* LayerResampler::Scaler(int pWidth, int pHeight, int pToWidth, int pToHeight) {
  SwsContext*& scaler = mScalers[{pWidth, pHeight, pToWidth, pToHeight}];
  if (!scaler) {
    // One colour channel at a time: swscale resamples single planes several
    // times faster than packed RGBA. Made larger, the filter is four taps
    // long, and swscale's quicker rounding is a third faster again and at
    // most a code off (a flat area keeps its value exactly). Made much
    // smaller, its long filters drift with it: 0 comes out 7.
    const bool larger = pToWidth >= pWidth && pToHeight >= pHeight;
    scaler = sws_getContext(pWidth, pHeight, AV_PIX_FMT_GRAY8, pToWidth, pToHeight,
                            AV_PIX_FMT_GRAY8, larger ? SWS_BICUBIC : SWS_BICUBIC | SWS_ACCURATE_RND,
                            nullptr, nullptr, nullptr);
  }
  return scaler;
}

std::vector<LayerResampler::Band> LayerResampler::Bands(const std::vector<uint8_t>& pDrawn,
                                                        int pHeight, int pToHeight) const {
  // Bands start and end on rows that fall on whole rows of the result (every
  // q-th source row, p result rows apart), so each is resampled as the whole
  // layer would be (exactly where swscale's 16.16 step between rows is exact,
  // else within two codes); the filter's reach around the drawn rows is empty.
  const int common = std::gcd(pHeight, pToHeight);
  const int q = pHeight / common, p = pToHeight / common;
  const int reach = kReach * std::max(1, (q + p - 1) / p) + 1;
  std::vector<Band> bands;
  int y = 0;
  while (y < pHeight) {
    if (!pDrawn[static_cast<size_t>(y)]) {
      ++y;
      continue;
    }
    // A run of drawn rows, and empty ones no further apart than twice the reach.
    int last = y, next = y + 1;
    while (next < pHeight && next - last <= 2 * reach) {
      if (pDrawn[static_cast<size_t>(next)]) last = next;
      ++next;
    }
    const int first = std::max(0, y - reach) / q * q;
    const int end = std::min(pHeight, (last + 1 + reach + q - 1) / q * q);
    bands.push_back({first, end, first / q * p, (end - first) / q * p});
    y = end;
  }
  return bands;
}

bool LayerResampler::ScalePart(const uint8_t* pFrom, int pStride, size_t pPlane, int pCount,
                               int pColumns, int pRows, int pToColumns, int pToRows, uint8_t* pTo,
                               int pToStride, size_t pToPlane) {
  SwsContext* scaler = Scaler(pColumns, pRows, pToColumns, pToRows);
  if (!scaler) return false;
  // swscale writes its rows in whole vectors, past their width: into rows
  // of its own, aligned and with room past the last, copied out exactly.
  const int outStride = (pToColumns + kSlack - 1) / kSlack * kSlack;
  mOut.resize(static_cast<size_t>(outStride) * pToRows + kSlack);
  for (int plane = 0; plane < pCount; ++plane) {
    const uint8_t* in[4] = {pFrom + plane * pPlane, nullptr, nullptr, nullptr};
    const int inStrides[4] = {pStride, 0, 0, 0};
    uint8_t* out[4] = {mOut.data(), nullptr, nullptr, nullptr};
    const int outStrides[4] = {outStride, 0, 0, 0};
    if (sws_scale(scaler, in, inStrides, 0, pRows, out, outStrides) != pToRows) return false;
    for (int y = 0; y < pToRows; ++y) {
      std::memcpy(pTo + plane * pToPlane + static_cast<size_t>(y) * pToStride,
                  mOut.data() + static_cast<size_t>(y) * outStride,
                  static_cast<size_t>(pToColumns));
    }
  }
  return true;
}

bool LayerResampler::ScaleBands(const std::vector<Band>& pBands, const uint8_t* pPlanes, int pCount,
                                int pWidth, int pHeight, uint8_t* pTo, int pToWidth,
                                int pToHeight) {
  const size_t pixels = static_cast<size_t>(pWidth) * pHeight;
  const size_t toPixels = static_cast<size_t>(pToWidth) * pToHeight;
  // Columns are taken in runs of tiles starting on columns that fall on whole
  // columns of the result (every q-th, p apart), where the filter's step is
  // exact in swscale's 16.16 fixed point; then a run resampled alone comes out
  // as in the whole band.
  const int common = std::gcd(pWidth, pToWidth);
  const int q = pWidth / common, p = pToWidth / common;
  const int reach = (kReach * std::max(1, (q + p - 1) / p) + 1 + q - 1) / q * q;
  const int tile = (kTile + q - 1) / q * q;
  const bool byRuns = (static_cast<int64_t>(pWidth) << 16) % pToWidth == 0 && pWidth >= 4 * tile;
  for (const Band& band : pBands) {
    const int bandHeight = band.end - band.first;
    uint8_t* to = pTo + static_cast<size_t>(band.toFirst) * pToWidth;
    const uint8_t* from = pPlanes + static_cast<size_t>(band.first) * pWidth;
    if (!byRuns) {
      if (!ScalePart(from, pWidth, pixels, pCount, pWidth, bandHeight, pToWidth, band.toHeight, to,
                     pToWidth, toPixels)) {
        return false;
      }
      continue;
    }
    // Where each column differs from the one before, in any row or plane;
    // and how many such changes come up to each column.
    mChanges.assign(static_cast<size_t>(pWidth), 0);
    for (int plane = 0; plane < pCount; ++plane) {
      for (int y = band.first; y < band.end; ++y) {
        const uint8_t* __restrict row = pPlanes + plane * pixels + static_cast<size_t>(y) * pWidth;
        uint8_t* __restrict changes = mChanges.data();
        for (int x = 1; x < pWidth; ++x) changes[x] |= row[x] != row[x - 1];
      }
    }
    mChangesUpTo.resize(static_cast<size_t>(pWidth));
    int changes = 0;
    for (int x = 0; x < pWidth; ++x) mChangesUpTo[x] = changes += mChanges[x];
    // A tile is flat when every column within the filter's reach of it is
    // the same: then it comes out as one column repeated, and the runs beside
    // it can be resampled alone.
    auto flat = [&](int pTile) {
      const int from = std::max(0, pTile - reach);
      const int end = std::min(pWidth, pTile + tile + reach);
      return mChangesUpTo[end - 1] == mChangesUpTo[from];
    };
    mProfileKey.clear();
    for (int start = 0; start < pWidth;) {
      const bool isFlat = flat(start);
      int end = std::min(pWidth, start + tile);
      while (end < pWidth && flat(end) == isFlat) end = std::min(pWidth, end + tile);
      const int toStart = start / q * p, toColumns = (end - start) / q * p;
      if (isFlat) {
        // Every column of the run comes out as one column would: resampled
        // once (from a tile of copies of it, as wide as the filter needs;
        // the run may be the layer's last few columns), then repeated; runs
        // whose column is the same as the last's repeat that one.
        mColumn.resize(static_cast<size_t>(pCount) * bandHeight);
        for (int plane = 0; plane < pCount; ++plane) {
          for (int y = 0; y < bandHeight; ++y) {
            mColumn[static_cast<size_t>(plane) * bandHeight + y] =
                from[plane * pixels + static_cast<size_t>(y) * pWidth + start];
          }
        }
        const int toTile = tile / q * p;
        const size_t toTilePlane = static_cast<size_t>(toTile) * band.toHeight;
        if (mColumn != mProfileKey) {
          mStrip.resize(mColumn.size() * tile);
          for (size_t row = 0; row < mColumn.size(); ++row) {
            std::memset(mStrip.data() + row * tile, mColumn[row], static_cast<size_t>(tile));
          }
          mProfile.resize(pCount * toTilePlane);
          if (!ScalePart(mStrip.data(), tile, static_cast<size_t>(tile) * bandHeight, pCount, tile,
                         bandHeight, toTile, band.toHeight, mProfile.data(), toTile, toTilePlane)) {
            return false;
          }
          mProfileKey = mColumn;
        }
        for (int plane = 0; plane < pCount; ++plane) {
          const uint8_t* column = mProfile.data() + plane * toTilePlane;
          for (int y = 0; y < band.toHeight; ++y) {
            std::memset(to + plane * toPixels + static_cast<size_t>(y) * pToWidth + toStart,
                        column[static_cast<size_t>(y) * toTile], static_cast<size_t>(toColumns));
          }
        }
      } else {
        // The run alone: beside it are flat tiles, whose columns within the
        // filter's reach are all its edge column, as swscale takes the
        // columns past a picture's edge.
        if (!ScalePart(from + start, pWidth, pixels, pCount, end - start, bandHeight, toColumns,
                       band.toHeight, to + toStart, pToWidth, toPixels)) {
          return false;
        }
      }
      start = end;
    }
  }
  return true;
}

// The layer's rows drawn in (pHeld, where given, says which were read back
// at all), and its colour over black and what shows through taken apart into
// mPlanes over the rows of the bands they make for pToHeight rows.
std::vector<LayerResampler::Band> LayerResampler::TakeApart(const uint8_t* pOverBlack,
                                                            const uint8_t* pOverWhite,
                                                            const uint8_t* pHeld, int pWidth,
                                                            int pHeight, int pToHeight) {
  const size_t row = static_cast<size_t>(pWidth) * 4;
  auto holds = [&](int pY) { return !pHeld || pHeld[pY]; };
  mDrawn.assign(static_cast<size_t>(pHeight), 0);
  for (int y = 0; y < pHeight; ++y) {
    mDrawn[static_cast<size_t>(y)] =
        holds(y) && LayerRowDrawn(pOverBlack + y * row, pOverWhite + y * row / 4, pWidth);
  }
  std::vector<Band> bands = Bands(mDrawn, pHeight, pToHeight);
  // The colour over black, and what shows through (white minus black): the
  // blend needs no more, and the white layer is that sum again. Resampling
  // is linear, so this resamples the same thing in four planes, not six.
  const size_t pixels = static_cast<size_t>(pWidth) * pHeight;
  mPlanes.resize(4 * pixels);
  uint8_t* __restrict red = mPlanes.data();
  uint8_t* __restrict green = red + pixels;
  uint8_t* __restrict blue = green + pixels;
  uint8_t* __restrict through = blue + pixels;
  for (const Band& band : bands) {
    for (int y = band.first; y < band.end; ++y) {
      const size_t at = static_cast<size_t>(y) * pWidth;
      if (!holds(y)) {
        // Rows the filter reaches that hold nothing are clear.
        std::memset(red + at, 0, static_cast<size_t>(pWidth));
        std::memset(green + at, 0, static_cast<size_t>(pWidth));
        std::memset(blue + at, 0, static_cast<size_t>(pWidth));
        std::memset(through + at, 255, static_cast<size_t>(pWidth));
        continue;
      }
      for (size_t i = at; i < at + static_cast<size_t>(pWidth); ++i) {
        const Pixel pixel = Take(pOverBlack, pOverWhite, i);
        red[i] = static_cast<uint8_t>(pixel.red);
        green[i] = static_cast<uint8_t>(pixel.green);
        blue[i] = static_cast<uint8_t>(pixel.blue);
        through[i] = static_cast<uint8_t>(pixel.through);
      }
    }
  }
  return bands;
}

bool LayerResampler::Resample(std::vector<uint8_t>* pOverBlack, std::vector<uint8_t>* pOverWhite,
                              std::vector<uint8_t>* pRowsDrawn, int pWidth, int pHeight,
                              int pToWidth, int pToHeight) {
  const size_t size = static_cast<size_t>(std::max(pWidth, 0)) * std::max(pHeight, 0) * 4;
  if (pToWidth <= 0 || pToHeight <= 0 || !Fit(pWidth, pHeight) || pOverBlack->size() < size ||
      pOverWhite->size() < size / 4 ||
      (!pRowsDrawn->empty() && pRowsDrawn->size() != static_cast<size_t>(pHeight))) {
    return false;
  }
  const std::vector<Band> bands =
      TakeApart(pOverBlack->data(), pOverWhite->data(),
                pRowsDrawn->empty() ? nullptr : pRowsDrawn->data(), pWidth, pHeight, pToHeight);
  const size_t toRow = static_cast<size_t>(pToWidth) * 4;
  const size_t toPixels = static_cast<size_t>(pToWidth) * pToHeight;
  mToPlanes.resize(4 * toPixels);
  if (!ScaleBands(bands, mPlanes.data(), 4, pWidth, pHeight, mToPlanes.data(), pToWidth,
                  pToHeight)) {
    return false;
  }
  mBlack.resize(toRow * pToHeight);
  mWhite.resize(toRow / 4 * pToHeight);
  mRowsDrawn.assign(static_cast<size_t>(pToHeight), 0);
  for (const Band& band : bands) {
    std::fill_n(mRowsDrawn.begin() + band.toFirst, band.toHeight, 1);
    // Alpha as the viewer's buffer over black holds it: cleared to 0.
    uint8_t* __restrict black = mBlack.data();
    uint8_t* __restrict white = mWhite.data();
    const uint8_t* __restrict red = mToPlanes.data();
    const uint8_t* __restrict green = red + toPixels;
    const uint8_t* __restrict blue = green + toPixels;
    const uint8_t* __restrict through = blue + toPixels;
    const size_t from = static_cast<size_t>(band.toFirst) * pToWidth;
    const size_t to = from + static_cast<size_t>(band.toHeight) * pToWidth;
    for (size_t i = from; i < to; ++i) {
      const uint32_t r = red[i], g = green[i], b = blue[i], t = through[i];
      const uint32_t overBlack = r | g << 8 | b << 16;
      std::memcpy(black + 4 * i, &overBlack, 4);
      white[i] = static_cast<uint8_t>(std::min(r + t, 255u));
    }
  }
  pOverBlack->swap(mBlack);
  pOverWhite->swap(mWhite);
  pRowsDrawn->swap(mRowsDrawn);
  return true;
}

bool LayerResampler::ResampleToPlanes(const uint8_t* pOverBlack, const uint8_t* pOverWhite,
                                      const uint8_t* pRowsDrawn, int pWidth, int pHeight,
                                      int pToWidth, int pToHeight, LayerPlanes* pPlanes) {
  if (pToWidth <= 0 || pToHeight <= 0 || !Fit(pWidth, pHeight)) return false;
  const std::vector<Band> bands =
      TakeApart(pOverBlack, pOverWhite, pRowsDrawn, pWidth, pHeight, pToHeight);
  // The rows drawn in are chroma's as they are.
  const size_t pixels = static_cast<size_t>(pWidth) * pHeight;
  uint8_t* planes = mPlanes.data();
  const size_t toPixels = static_cast<size_t>(pToWidth) * pToHeight;
  mToPlanes.resize(4 * toPixels);
  if (!ScaleBands(bands, mPlanes.data(), 4, pWidth, pHeight, mToPlanes.data(), pToWidth,
                  pToHeight)) {
    return false;
  }
  mLumaRowsDrawn.assign(static_cast<size_t>(pToHeight), 0);
  for (const Band& band : bands) {
    std::fill_n(mLumaRowsDrawn.begin() + band.toFirst, band.toHeight, 1);
  }
  uint8_t* to = mToPlanes.data();
  pPlanes->luma = {pToWidth,
                   pToHeight,
                   to,
                   to + toPixels,
                   to + 2 * toPixels,
                   to + 3 * toPixels,
                   mLumaRowsDrawn.data()};
  pPlanes->chroma = {
      pWidth,       pHeight, planes, planes + pixels, planes + 2 * pixels, planes + 3 * pixels,
      mDrawn.data()};
  return true;
}

}  // namespace media

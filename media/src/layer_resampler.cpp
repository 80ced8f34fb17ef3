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

// Band heights a layer's conversions are kept for; the layer's drawing rarely
// moves, so few are met.
constexpr size_t kMostScalers = 8;
// Source rows each side of a drawn row that the filter may reach, at a scale
// of one; more where the layer is made smaller.
constexpr int kReach = 3;

}  // namespace

LayerResampler::~LayerResampler() {
  for (auto& scaler : mScalers) sws_freeContext(scaler.second);
}

SwsContext* LayerResampler::Scaler(int pWidth, int pHeight, int pToWidth, int pToHeight) {
  SwsContext*& scaler = mScalers[pHeight];
  if (!scaler) {
    // One colour channel at a time: swscale resamples single planes several
    // times faster than packed RGBA.
    scaler =
        sws_getContext(pWidth, pHeight, AV_PIX_FMT_GRAY8, pToWidth, pToHeight, AV_PIX_FMT_GRAY8,
                       SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  }
  return scaler;
}

bool LayerResampler::Resample(std::vector<uint8_t>* pOverBlack, std::vector<uint8_t>* pOverWhite,
                              std::vector<uint8_t>* pRowsDrawn, int pWidth, int pHeight,
                              int pToWidth, int pToHeight) {
  const size_t size = static_cast<size_t>(pWidth) * pHeight * 4;
  if (pWidth <= 0 || pHeight <= 0 || pToWidth <= 0 || pToHeight <= 0 || pOverBlack->size() < size ||
      pOverWhite->size() < size / 4 ||
      (!pRowsDrawn->empty() && pRowsDrawn->size() != static_cast<size_t>(pHeight))) {
    return false;
  }
  const int sizes[4] = {pWidth, pHeight, pToWidth, pToHeight};
  if (!std::equal(sizes, sizes + 4, mSizes) || mScalers.size() > kMostScalers) {
    for (auto& scaler : mScalers) sws_freeContext(scaler.second);
    mScalers.clear();
    std::copy(sizes, sizes + 4, mSizes);
  }
  // Bands start and end on rows that fall on whole rows of the result (every
  // q-th source row, p result rows apart), so each is resampled exactly as the
  // whole layer would be; the filter's reach around the drawn rows is empty.
  const int common = std::gcd(pHeight, pToHeight);
  const int q = pHeight / common, p = pToHeight / common;
  const int reach = kReach * std::max(1, (q + p - 1) / p) + 1;
  const size_t row = static_cast<size_t>(pWidth) * 4, toRow = static_cast<size_t>(pToWidth) * 4;
  mBlack.resize(toRow * pToHeight);
  mWhite.resize(toRow / 4 * pToHeight);
  std::vector<uint8_t>& held = *pRowsDrawn;
  auto drawn = [&](int pY) {
    return (held.empty() || held[static_cast<size_t>(pY)]) &&
           LayerRowDrawn(pOverBlack->data() + pY * row, pOverWhite->data() + pY * row / 4, pWidth);
  };
  mRowsDrawn.assign(static_cast<size_t>(pToHeight), 0);
  int y = 0;
  while (y < pHeight) {
    if (!drawn(y)) {
      ++y;
      continue;
    }
    // A run of drawn rows, and empty ones no further apart than twice the reach.
    int last = y, next = y + 1;
    while (next < pHeight && next - last <= 2 * reach) {
      if (drawn(next)) last = next;
      ++next;
    }
    const int first = std::max(0, y - reach) / q * q;
    const int end = std::min(pHeight, (last + 1 + reach + q - 1) / q * q);
    const int bandHeight = end - first;
    const int toFirst = first / q * p, toHeight = bandHeight / q * p;
    // Rows the filter reaches that hold nothing are made clear first.
    for (int band = first; band < end && !held.empty(); ++band) {
      if (held[static_cast<size_t>(band)]) continue;
      std::memset(pOverBlack->data() + band * row, 0, row);
      std::memset(pOverWhite->data() + band * row / 4, 255, row / 4);
      held[static_cast<size_t>(band)] = 1;
    }
    std::fill_n(mRowsDrawn.begin() + toFirst, toHeight, 1);
    SwsContext* scaler = Scaler(pWidth, bandHeight, pToWidth, toHeight);
    if (!scaler) return false;
    const size_t pixels = static_cast<size_t>(pWidth) * bandHeight;
    const size_t toPixels = static_cast<size_t>(pToWidth) * toHeight;
    mPlanes.resize(4 * pixels);
    mToPlanes.resize(4 * toPixels);
    // The colour over black, and what shows through (white minus black): the
    // blend needs no more, and the white layer is that sum again. Resampling
    // is linear, so this resamples the same thing in four planes, not six.
    {
      const uint8_t* __restrict black = pOverBlack->data() + first * row;
      const uint8_t* __restrict white = pOverWhite->data() + first * row / 4;
      uint8_t* __restrict red = mPlanes.data();
      uint8_t* __restrict green = red + pixels;
      uint8_t* __restrict blue = green + pixels;
      uint8_t* __restrict through = blue + pixels;
      for (size_t i = 0; i < pixels; ++i) {
        uint32_t b = 0;  // a pixel as one word, copied: no cast across types
        std::memcpy(&b, black + 4 * i, 4);
        const int bR = b & 0xff, bG = (b >> 8) & 0xff, bB = (b >> 16) & 0xff;
        red[i] = static_cast<uint8_t>(bR);
        green[i] = static_cast<uint8_t>(bG);
        blue[i] = static_cast<uint8_t>(bB);
        through[i] = static_cast<uint8_t>(std::max(int(white[i]) - bR, 0));
      }
    }
    for (int plane = 0; plane < 4; ++plane) {
      const uint8_t* in[4] = {mPlanes.data() + plane * pixels, nullptr, nullptr, nullptr};
      const int inStride[4] = {pWidth, 0, 0, 0};
      uint8_t* out[4] = {mToPlanes.data() + plane * toPixels, nullptr, nullptr, nullptr};
      const int outStride[4] = {pToWidth, 0, 0, 0};
      if (sws_scale(scaler, in, inStride, 0, bandHeight, out, outStride) != toHeight) return false;
    }
    {
      // Alpha as the viewer's buffer over black holds it: cleared to 0.
      uint8_t* __restrict black = mBlack.data() + toFirst * toRow;
      uint8_t* __restrict white = mWhite.data() + toFirst * toRow / 4;
      const uint8_t* __restrict red = mToPlanes.data();
      const uint8_t* __restrict green = red + toPixels;
      const uint8_t* __restrict blue = green + toPixels;
      const uint8_t* __restrict through = blue + toPixels;
      for (size_t i = 0; i < toPixels; ++i) {
        const uint32_t r = red[i], g = green[i], b = blue[i], t = through[i];
        const uint32_t overBlack = r | g << 8 | b << 16;
        std::memcpy(black + 4 * i, &overBlack, 4);
        white[i] = static_cast<uint8_t>(std::min(r + t, 255u));
      }
    }
    y = end;
  }
  pOverBlack->swap(mBlack);
  pOverWhite->swap(mWhite);
  pRowsDrawn->swap(mRowsDrawn);
  return true;
}

}  // namespace media

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
      pOverWhite->size() < size ||
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
  mWhite.resize(toRow * pToHeight);
  std::vector<uint8_t>& held = *pRowsDrawn;
  auto drawn = [&](int pY) {
    return (held.empty() || held[static_cast<size_t>(pY)]) &&
           LayerRowDrawn(pOverBlack->data() + pY * row, pOverWhite->data() + pY * row, pWidth);
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
      std::memset(pOverWhite->data() + band * row, 255, row);
      held[static_cast<size_t>(band)] = 1;
    }
    std::fill_n(mRowsDrawn.begin() + toFirst, toHeight, 1);
    SwsContext* scaler = Scaler(pWidth, bandHeight, pToWidth, toHeight);
    if (!scaler) return false;
    const size_t pixels = static_cast<size_t>(pWidth) * bandHeight;
    const size_t toPixels = static_cast<size_t>(pToWidth) * toHeight;
    mPlane.resize(pixels);
    mToPlane.resize(toPixels);
    for (int pass = 0; pass < 2; ++pass) {
      const uint8_t* from = (pass ? *pOverWhite : *pOverBlack).data() + first * row;
      uint8_t* to = (pass ? mWhite : mBlack).data() + toFirst * toRow;
      for (int channel = 0; channel < 3; ++channel) {
        for (size_t i = 0; i < pixels; ++i) mPlane[i] = from[4 * i + channel];
        const uint8_t* in[4] = {mPlane.data(), nullptr, nullptr, nullptr};
        const int inStride[4] = {pWidth, 0, 0, 0};
        uint8_t* out[4] = {mToPlane.data(), nullptr, nullptr, nullptr};
        const int outStride[4] = {pToWidth, 0, 0, 0};
        if (sws_scale(scaler, in, inStride, 0, bandHeight, out, outStride) != toHeight)
          return false;
        for (size_t i = 0; i < toPixels; ++i) to[4 * i + channel] = mToPlane[i];
      }
      // Alpha as the viewer's buffers hold it: cleared to 0 over black, 1 over white.
      const uint8_t alpha = pass ? 255 : 0;
      for (size_t i = 0; i < toPixels; ++i) to[4 * i + 3] = alpha;
    }
    y = end;
  }
  pOverBlack->swap(mBlack);
  pOverWhite->swap(mWhite);
  pRowsDrawn->swap(mRowsDrawn);
  return true;
}

}  // namespace media

#include "layer_blend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
}

namespace media {
namespace {

// Luma weights of red and blue, by matrix.
void Weights(int pMatrix, double* pRed, double* pBlue) {
  switch (pMatrix) {
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      *pRed = 0.299, *pBlue = 0.114;
      return;
    case AVCOL_SPC_FCC:
      *pRed = 0.30, *pBlue = 0.11;
      return;
    case AVCOL_SPC_SMPTE240M:
      *pRed = 0.212, *pBlue = 0.087;
      return;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      *pRed = 0.2627, *pBlue = 0.0593;
      return;
    default:
      *pRed = 0.2126, *pBlue = 0.0722;
      return;
  }
}

// Nothing drawn: exactly black over black and white over white.
inline bool Empty(const uint8_t* pBlack, const uint8_t* pWhite) {
  return (pBlack[0] | pBlack[1] | pBlack[2]) == 0 && (pWhite[0] & pWhite[1] & pWhite[2]) == 255;
}

// What shows through of the background at a pixel, 0 to 1: white minus black.
inline float Through(const uint8_t* pBlack, const uint8_t* pWhite) {
  const int shows = (pWhite[0] - pBlack[0]) + (pWhite[1] - pBlack[1]) + (pWhite[2] - pBlack[2]);
  return std::clamp(shows, 0, 765) * (1.0f / 765.0f);
}

// Rounded to the nearest sample value within range (no library call: this
// runs for every pixel the HUD covers).
template <class tSample>
inline void Put(tSample* pSample, float pValue, int pMost) {
  const float value = std::clamp(pValue, 0.0f, static_cast<float>(pMost));
  *pSample = static_cast<tSample>(static_cast<int>(value + 0.5f));
}

template <class tSample>
void Blend(AVFrame* pFrame, const AVPixFmtDescriptor* pDescriptor, const LayerRows& pLayer,
           int pMatrix, bool pFullRange) {
  const int width = pFrame->width, height = pFrame->height;
  const int depth = pDescriptor->comp[0].depth;
  const int most = (1 << depth) - 1;
  const float scale = static_cast<float>(1 << (depth - 8));
  // Black and the span of luma, and the middle and span of chroma, at this
  // depth, per unit of the layer's 0 to 255.
  const float lumaZero = pFullRange ? 0.0f : 16.0f * scale;
  const float lumaSpan = (pFullRange ? most : 219.0f * scale) / 255.0f;
  const float chromaMiddle = static_cast<float>(1 << (depth - 1));
  const float chromaSpan = (pFullRange ? most : 224.0f * scale) / 255.0f;
  double kr = 0.0, kb = 0.0;
  Weights(pMatrix, &kr, &kb);
  const float wr = static_cast<float>(kr), wb = static_cast<float>(kb);
  const float wg = 1.0f - wr - wb;
  const float toCb = 1.0f / (2.0f * (1.0f - wb)), toCr = 1.0f / (2.0f * (1.0f - wr));
  const int across = 1 << pDescriptor->log2_chroma_w;
  const int down = 1 << pDescriptor->log2_chroma_h;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  auto layerRow = [&](const uint8_t* pBase, int pY) {
    return pBase + static_cast<size_t>(pLayer.bottomUp ? height - 1 - pY : pY) * rowBytes;
  };

  for (int top = 0; top < height; top += down) {
    const int count = std::min(down, height - top);
    bool any = false;
    for (int r = 0; r < count; ++r) {
      const int y = top + r;
      const uint8_t* black = layerRow(pLayer.overBlack, y);
      const uint8_t* white = layerRow(pLayer.overWhite, y);
      if (!LayerRowDrawn(black, white, width)) continue;
      any = true;
      tSample* luma = reinterpret_cast<tSample*>(pFrame->data[0] +
                                                 static_cast<ptrdiff_t>(y) * pFrame->linesize[0]);
      for (int x = 0; x < width; ++x) {
        const uint8_t* b = black + 4 * x;
        const uint8_t* w = white + 4 * x;
        if (Empty(b, w)) continue;
        const float through = Through(b, w);
        const float drawn = wr * b[0] + wg * b[1] + wb * b[2];
        Put(luma + x, through * luma[x] + (1.0f - through) * lumaZero + drawn * lumaSpan, most);
      }
    }
    if (!any) continue;
    // Chroma from the block of pixels each chroma sample stands for; a pixel
    // with nothing drawn lets all of the background through.
    const int chromaRow = top / down;
    tSample* cbRow = reinterpret_cast<tSample*>(
        pFrame->data[1] + static_cast<ptrdiff_t>(chromaRow) * pFrame->linesize[1]);
    tSample* crRow = reinterpret_cast<tSample*>(
        pFrame->data[2] + static_cast<ptrdiff_t>(chromaRow) * pFrame->linesize[2]);
    for (int cx = 0; cx * across < width; ++cx) {
      float through = 0.0f, red = 0.0f, green = 0.0f, blue = 0.0f;
      int pixels = 0;
      bool covered = false;
      for (int r = 0; r < count; ++r) {
        const uint8_t* black = layerRow(pLayer.overBlack, top + r);
        const uint8_t* white = layerRow(pLayer.overWhite, top + r);
        for (int x = cx * across; x < std::min(width, (cx + 1) * across); ++x, ++pixels) {
          const uint8_t* b = black + 4 * x;
          const uint8_t* w = white + 4 * x;
          if (Empty(b, w)) {
            through += 1.0f;
            continue;
          }
          covered = true;
          through += Through(b, w);
          red += b[0];
          green += b[1];
          blue += b[2];
        }
      }
      if (!covered) continue;
      const float share = 1.0f / pixels;
      through *= share;
      red *= share;
      green *= share;
      blue *= share;
      const float drawn = wr * red + wg * green + wb * blue;
      const float rest = (1.0f - through) * chromaMiddle;
      Put(cbRow + cx, through * cbRow[cx] + rest + (blue - drawn) * toCb * chromaSpan, most);
      Put(crRow + cx, through * crRow[cx] + rest + (red - drawn) * toCr * chromaSpan, most);
    }
  }
}

}  // namespace

bool LayerRowDrawn(const uint8_t* pOverBlack, const uint8_t* pOverWhite, int pWidth) {
  // Whole rows compared at memory speed: an empty pixel is black over black
  // (alpha cleared to 0) and white over white (alpha 1), exactly.
  static const std::vector<uint8_t> kClear(4 * 4096, 0), kFull(4 * 4096, 255);
  for (int done = 0; done < pWidth; done += 4096) {
    const size_t bytes = 4 * static_cast<size_t>(std::min(4096, pWidth - done));
    if (std::memcmp(pOverBlack + 4 * static_cast<size_t>(done), kClear.data(), bytes) != 0 ||
        std::memcmp(pOverWhite + 4 * static_cast<size_t>(done), kFull.data(), bytes) != 0) {
      // Something touched the row; it counts as drawn where its colour changed.
      for (int x = done; x < done + static_cast<int>(bytes / 4); ++x) {
        if (!Empty(pOverBlack + 4 * x, pOverWhite + 4 * x)) return true;
      }
    }
  }
  return false;
}

bool BlendLayer(AVFrame* pFrame, const LayerRows& pLayer, int pMatrix, bool pFullRange) {
  const AVPixFmtDescriptor* descriptor =
      av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pFrame->format));
  if (!descriptor ||
      (descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BE |
                            AV_PIX_FMT_FLAG_BITSTREAM)) ||
      !(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) || descriptor->nb_components < 3 ||
      descriptor->comp[0].depth < 8 || descriptor->comp[0].depth > 16 ||
      descriptor->comp[1].plane != 1 || descriptor->comp[2].plane != 2) {
    return false;
  }
  if (descriptor->comp[0].depth == 8) {
    Blend<uint8_t>(pFrame, descriptor, pLayer, pMatrix, pFullRange);
  } else {
    Blend<uint16_t>(pFrame, descriptor, pLayer, pMatrix, pFullRange);
  }
  return true;
}

}  // namespace media

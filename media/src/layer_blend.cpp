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

// Nothing drawn: exactly black over black and white (its red) over white.
inline bool Empty(const uint8_t* pBlack, const uint8_t* pWhite) {
  return (pBlack[0] | pBlack[1] | pBlack[2]) == 0 && pWhite[0] == 255;
}

// Rounded to the nearest sample value within range (no library call: this
// runs for every pixel the HUD covers).
// pValue is finite and within a few times the sample range (it is made of
// samples, 0-255 colours and weights within 0 to 1), so it converts to int
// safely; rounded half up, then kept within range.
template <class tSample>
inline tSample Rounded(float pValue, int pMost) {
  const int value = static_cast<int>(pValue + 0.5f);
  return static_cast<tSample>(std::min(std::max(value, 0), pMost));
}

// Eight pixels' worth, as the compiler's vectors.
typedef uint32_t Words __attribute__((vector_size(32)));
typedef uint8_t Bytes __attribute__((vector_size(8)));
typedef int32_t Ints __attribute__((vector_size(32)));
typedef float Floats __attribute__((vector_size(32)));

// Each of eight sums given the sum of its pair of values, in the same order
// as one at a time; the compiler does not take the pairs apart by itself.
inline void AddPairs(float* pSums, const float* pPairs) {
  Floats first, second, sums;
  std::memcpy(&first, pPairs, sizeof first);
  std::memcpy(&second, pPairs + 8, sizeof second);
  std::memcpy(&sums, pSums, sizeof sums);
  sums += __builtin_shufflevector(first, second, 0, 2, 4, 6, 8, 10, 12, 14) +
          __builtin_shufflevector(first, second, 1, 3, 5, 7, 9, 11, 13, 15);
  std::memcpy(pSums, &sums, sizeof sums);
}

// One layer row taken apart: what shows through of the background (white
// minus black in red, 0 to 1) and the drawn colour over black. Where nothing is
// drawn that is exactly 1 and 0, so the blend below gives back the picture's
// own sample without a test per pixel.
struct RowParts {
  std::vector<float> through, red, green, blue;
  void Take(const uint8_t* pBlack, const uint8_t* pWhite, int pWidth) {
    through.resize(static_cast<size_t>(pWidth));
    red.resize(through.size());
    green.resize(through.size());
    blue.resize(through.size());
    // Restricted, so that the compiler may take several pixels at once.
    const uint8_t* __restrict black = pBlack;
    const uint8_t* __restrict white = pWhite;
    float* __restrict shows = through.data();
    float* __restrict r = red.data();
    float* __restrict g = green.data();
    float* __restrict b = blue.data();
    // Eight pixels at a time as vectors, copied in and out, which is how the
    // compiler is shown it may read bytes as words.
    int x = 0;
    for (; x + 8 <= pWidth; x += 8) {
      Words pb;
      Bytes pw;
      std::memcpy(&pb, black + 4 * x, sizeof pb);
      std::memcpy(&pw, white + x, sizeof pw);
      const Ints bR = (Ints)(pb & 0xff), bG = (Ints)((pb >> 8) & 0xff),
                 bB = (Ints)((pb >> 16) & 0xff);
      Ints shown = __builtin_convertvector(pw, Ints) - bR;
      shown = shown < 0 ? 0 : shown;
      const Floats values[4] = {__builtin_convertvector(shown, Floats) * (1.0f / 255.0f),
                                __builtin_convertvector(bR, Floats),
                                __builtin_convertvector(bG, Floats),
                                __builtin_convertvector(bB, Floats)};
      std::memcpy(shows + x, &values[0], sizeof(Floats));
      std::memcpy(r + x, &values[1], sizeof(Floats));
      std::memcpy(g + x, &values[2], sizeof(Floats));
      std::memcpy(b + x, &values[3], sizeof(Floats));
    }
    for (; x < pWidth; ++x) {
      const int bR = black[4 * x], bG = black[4 * x + 1], bB = black[4 * x + 2];
      shows[x] = static_cast<float>(std::max(int(white[x]) - bR, 0)) * (1.0f / 255.0f);
      r[x] = static_cast<float>(bR);
      g[x] = static_cast<float>(bG);
      b[x] = static_cast<float>(bB);
    }
  }
};

// The picture's sample scale: black and the span of luma, the middle and span
// of chroma, at its depth and range, per unit of the layer's 0 to 255; and
// the matrix's weights.
struct SampleScale {
  int most;
  float lumaZero, lumaSpan, chromaMiddle, wr, wg, wb, toCb, toCr;
  SampleScale(const AVPixFmtDescriptor* pDescriptor, int pMatrix, bool pFullRange) {
    const int depth = pDescriptor->comp[0].depth;
    most = (1 << depth) - 1;
    const float scale = static_cast<float>(1 << (depth - 8));
    lumaZero = pFullRange ? 0.0f : 16.0f * scale;
    lumaSpan = (pFullRange ? most : 219.0f * scale) / 255.0f;
    chromaMiddle = static_cast<float>(1 << (depth - 1));
    const float chromaSpan = (pFullRange ? most : 224.0f * scale) / 255.0f;
    double kr = 0.0, kb = 0.0;
    Weights(pMatrix, &kr, &kb);
    wr = static_cast<float>(kr), wb = static_cast<float>(kb);
    wg = 1.0f - wr - wb;
    toCb = chromaSpan / (2.0f * (1.0f - wb)), toCr = chromaSpan / (2.0f * (1.0f - wr));
  }
};

template <class tSample>
void Blend(AVFrame* pFrame, const AVPixFmtDescriptor* pDescriptor, const LayerRows& pLayer,
           int pMatrix, bool pFullRange) {
  const int width = pFrame->width, height = pFrame->height;
  const SampleScale k(pDescriptor, pMatrix, pFullRange);
  const int most = k.most;
  const float lumaZero = k.lumaZero, lumaSpan = k.lumaSpan, chromaMiddle = k.chromaMiddle;
  const float wr = k.wr, wg = k.wg, wb = k.wb, toCb = k.toCb, toCr = k.toCr;
  const int across = 1 << pDescriptor->log2_chroma_w;
  const int down = 1 << pDescriptor->log2_chroma_h;  // at most 4
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  auto inMemory = [&](int pY) {
    return static_cast<size_t>(pLayer.bottomUp ? height - 1 - pY : pY);
  };
  auto blackRow = [&](int pY) { return pLayer.overBlack + inMemory(pY) * rowBytes; };
  auto whiteRow = [&](int pY) { return pLayer.overWhite + inMemory(pY) * width; };
  auto rowDrawn = [&](int pY) {
    if (pLayer.rowsDrawn && !pLayer.rowsDrawn[inMemory(pY)]) return false;
    return LayerRowDrawn(blackRow(pY), whiteRow(pY), width);
  };

  thread_local RowParts tParts[4];
  thread_local std::vector<float> tSums;
  bool drawn[4] = {false, false, false, false};
  for (int top = 0; top < height; top += down) {
    const int count = std::min(down, height - top);
    bool any = false;
    for (int r = 0; r < count; ++r) {
      const int y = top + r;
      drawn[r] = rowDrawn(y);
      if (!drawn[r]) continue;
      any = true;
      RowParts& parts = tParts[r];
      parts.Take(blackRow(y), whiteRow(y), width);
      tSample* __restrict luma = reinterpret_cast<tSample*>(
          pFrame->data[0] + static_cast<ptrdiff_t>(y) * pFrame->linesize[0]);
      const float* __restrict through = parts.through.data();
      const float* __restrict red = parts.red.data();
      const float* __restrict green = parts.green.data();
      const float* __restrict blue = parts.blue.data();
      for (int x = 0; x < width; ++x) {
        const float drawnLuma = wr * red[x] + wg * green[x] + wb * blue[x];
        luma[x] = Rounded<tSample>(
            through[x] * luma[x] + (1.0f - through[x]) * lumaZero + drawnLuma * lumaSpan, most);
      }
    }
    if (!any) continue;
    // Chroma from the block of pixels each chroma sample stands for; a pixel
    // with nothing drawn (or a row not drawn in) lets all of the background
    // through.
    const int chromaRow = top / down;
    tSample* cbRow = reinterpret_cast<tSample*>(
        pFrame->data[1] + static_cast<ptrdiff_t>(chromaRow) * pFrame->linesize[1]);
    tSample* crRow = reinterpret_cast<tSample*>(
        pFrame->data[2] + static_cast<ptrdiff_t>(chromaRow) * pFrame->linesize[2]);
    // Each row's parts summed over the block, rows not drawn in as clear.
    const int chromaWidth = (width + across - 1) / across;
    const int lastAcross = width - (chromaWidth - 1) * across;  // the picture's edge may cut it
    tSums.assign(static_cast<size_t>(chromaWidth) * 4, 0.0f);
    float* __restrict sumThrough = tSums.data();
    float* __restrict sumRed = sumThrough + chromaWidth;
    float* __restrict sumGreen = sumRed + chromaWidth;
    float* __restrict sumBlue = sumGreen + chromaWidth;
    for (int r = 0; r < count; ++r) {
      if (!drawn[r]) {
        for (int cx = 0; cx < chromaWidth; ++cx) sumThrough[cx] += static_cast<float>(across);
        sumThrough[chromaWidth - 1] -= static_cast<float>(across - lastAcross);
        continue;
      }
      const float* __restrict through = tParts[r].through.data();
      const float* __restrict red = tParts[r].red.data();
      const float* __restrict green = tParts[r].green.data();
      const float* __restrict blue = tParts[r].blue.data();
      if (across == 2 && width % 2 == 0) {
        int cx = 0;
        for (; cx + 8 <= chromaWidth; cx += 8) {
          AddPairs(sumThrough + cx, through + 2 * cx);
          AddPairs(sumRed + cx, red + 2 * cx);
          AddPairs(sumGreen + cx, green + 2 * cx);
          AddPairs(sumBlue + cx, blue + 2 * cx);
        }
        for (; cx < chromaWidth; ++cx) {
          sumThrough[cx] += through[2 * cx] + through[2 * cx + 1];
          sumRed[cx] += red[2 * cx] + red[2 * cx + 1];
          sumGreen[cx] += green[2 * cx] + green[2 * cx + 1];
          sumBlue[cx] += blue[2 * cx] + blue[2 * cx + 1];
        }
      } else {
        for (int x = 0; x < width; ++x) {
          sumThrough[x / across] += through[x];
          sumRed[x / across] += red[x];
          sumGreen[x / across] += green[x];
          sumBlue[x / across] += blue[x];
        }
      }
    }
    auto blend = [&](int pCx, float pShare) {
      const float through = sumThrough[pCx] * pShare;
      const float red = sumRed[pCx] * pShare, green = sumGreen[pCx] * pShare;
      const float blue = sumBlue[pCx] * pShare;
      const float drawnLuma = wr * red + wg * green + wb * blue;
      const float rest = (1.0f - through) * chromaMiddle;
      cbRow[pCx] = Rounded<tSample>(through * cbRow[pCx] + rest + (blue - drawnLuma) * toCb, most);
      crRow[pCx] = Rounded<tSample>(through * crRow[pCx] + rest + (red - drawnLuma) * toCr, most);
    };
    const float share = 1.0f / static_cast<float>(across * count);
    for (int cx = 0; cx < chromaWidth - 1; ++cx) blend(cx, share);
    blend(chromaWidth - 1, 1.0f / static_cast<float>(lastAcross * count));
  }
}

// A resampled edge may ring past what a drawing can be: no more shows
// through than the drawn red leaves of white, as over white.
inline float Through(uint8_t pShows, uint8_t pRed) {
  return static_cast<float>(std::min(int(pShows), 255 - int(pRed))) * (1.0f / 255.0f);
}

// The same from planes already at the sizes of the picture's planes, so that
// nothing is summed over blocks of pixels.
template <class tSample>
void BlendPlanes(AVFrame* pFrame, const AVPixFmtDescriptor* pDescriptor, const LayerPlanes& pLayer,
                 int pMatrix, bool pFullRange) {
  const SampleScale k(pDescriptor, pMatrix, pFullRange);
  // Each drawn row of a set of planes, with the picture's rows it goes into.
  auto eachRow = [&](const LayerPlanes::Set& pSet, int pFirstPlane, int pPlanes, auto pBlendRow) {
    for (int y = 0; y < pSet.height; ++y) {
      const size_t row = static_cast<size_t>(pLayer.bottomUp ? pSet.height - 1 - y : y);
      if (!pSet.rowsDrawn[row]) continue;
      const size_t at = row * static_cast<size_t>(pSet.width);
      tSample* samples[2] = {nullptr, nullptr};
      for (int i = 0; i < pPlanes; ++i) {
        samples[i] = reinterpret_cast<tSample*>(pFrame->data[pFirstPlane + i] +
                                                static_cast<ptrdiff_t>(y) *
                                                    pFrame->linesize[pFirstPlane + i]);
      }
      pBlendRow(pSet.red + at, pSet.green + at, pSet.blue + at, pSet.through + at, samples);
    }
  };
  eachRow(pLayer.luma, 0, 1,
          [&](const uint8_t* __restrict red, const uint8_t* __restrict green,
              const uint8_t* __restrict blue, const uint8_t* __restrict shows, tSample** pRows) {
            // Locals, which stores of bytes cannot be taken to change.
            const float wr = k.wr, wg = k.wg, wb = k.wb, zero = k.lumaZero, span = k.lumaSpan;
            const int most = k.most, width = pLayer.luma.width;
            tSample* __restrict luma = pRows[0];
            for (int x = 0; x < width; ++x) {
              const float through = Through(shows[x], red[x]);
              const float drawnLuma = wr * red[x] + wg * green[x] + wb * blue[x];
              luma[x] = Rounded<tSample>(
                  through * luma[x] + (1.0f - through) * zero + drawnLuma * span, most);
            }
          });
  eachRow(pLayer.chroma, 1, 2,
          [&](const uint8_t* __restrict red, const uint8_t* __restrict green,
              const uint8_t* __restrict blue, const uint8_t* __restrict shows, tSample** pRows) {
            const float wr = k.wr, wg = k.wg, wb = k.wb, middle = k.chromaMiddle;
            const float toCb = k.toCb, toCr = k.toCr;
            const int most = k.most, width = pLayer.chroma.width;
            tSample* __restrict cb = pRows[0];
            tSample* __restrict cr = pRows[1];
            for (int x = 0; x < width; ++x) {
              const float shown = Through(shows[x], red[x]);
              const float r = red[x], g = green[x], b = blue[x];
              const float drawnLuma = wr * r + wg * g + wb * b;
              const float rest = (1.0f - shown) * middle;
              cb[x] = Rounded<tSample>(shown * cb[x] + rest + (b - drawnLuma) * toCb, most);
              cr[x] = Rounded<tSample>(shown * cr[x] + rest + (r - drawnLuma) * toCr, most);
            }
          });
}

// The blend is most of the writer's own time: built also for AVX2, taken
// where the processor has it.
// Clang takes no other attribute with target_clones, so it builds one variant.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__has_attribute)
#if __has_attribute(target_clones) && __has_attribute(flatten)
#define VEXA_WIDE_VARIANTS __attribute__((target_clones("avx2", "default"), flatten))
#endif
#endif
#ifndef VEXA_WIDE_VARIANTS
#define VEXA_WIDE_VARIANTS
#endif

VEXA_WIDE_VARIANTS void BlendBytes(AVFrame* pFrame, const AVPixFmtDescriptor* pDescriptor,
                                   const LayerRows& pLayer, int pMatrix, bool pFullRange) {
  Blend<uint8_t>(pFrame, pDescriptor, pLayer, pMatrix, pFullRange);
}

VEXA_WIDE_VARIANTS void BlendWords(AVFrame* pFrame, const AVPixFmtDescriptor* pDescriptor,
                                   const LayerRows& pLayer, int pMatrix, bool pFullRange) {
  Blend<uint16_t>(pFrame, pDescriptor, pLayer, pMatrix, pFullRange);
}

VEXA_WIDE_VARIANTS void BlendPlanesBytes(AVFrame* pFrame, const AVPixFmtDescriptor* pDescriptor,
                                         const LayerPlanes& pLayer, int pMatrix, bool pFullRange) {
  BlendPlanes<uint8_t>(pFrame, pDescriptor, pLayer, pMatrix, pFullRange);
}

VEXA_WIDE_VARIANTS void BlendPlanesWords(AVFrame* pFrame, const AVPixFmtDescriptor* pDescriptor,
                                         const LayerPlanes& pLayer, int pMatrix, bool pFullRange) {
  BlendPlanes<uint16_t>(pFrame, pDescriptor, pLayer, pMatrix, pFullRange);
}

// The picture's format, where the blend can take it.
const AVPixFmtDescriptor* Blendable(const AVFrame* pFrame) {
  const AVPixFmtDescriptor* descriptor =
      av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pFrame->format));
  if (!descriptor ||
      (descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BE |
                            AV_PIX_FMT_FLAG_BITSTREAM)) ||
      !(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) || descriptor->nb_components < 3 ||
      descriptor->comp[0].depth < 8 || descriptor->comp[0].depth > 16 ||
      descriptor->comp[1].plane != 1 || descriptor->comp[2].plane != 2) {
    return nullptr;
  }
  return descriptor;
}

}  // namespace

bool LayerRowDrawn(const uint8_t* pOverBlack, const uint8_t* pOverWhite, int pWidth) {
  // Whole rows compared at memory speed: an empty pixel is black over black
  // (alpha cleared to 0) and white over white (alpha 1), exactly.
  static const std::vector<uint8_t> kClear(4 * 4096, 0), kFull(4096, 255);
  for (int done = 0; done < pWidth; done += 4096) {
    const size_t bytes = 4 * static_cast<size_t>(std::min(4096, pWidth - done));
    if (std::memcmp(pOverBlack + 4 * static_cast<size_t>(done), kClear.data(), bytes) != 0 ||
        std::memcmp(pOverWhite + static_cast<size_t>(done), kFull.data(), bytes / 4) != 0) {
      // Something touched the row; it counts as drawn where its colour changed.
      for (int x = done; x < done + static_cast<int>(bytes / 4); ++x) {
        if (!Empty(pOverBlack + 4 * x, pOverWhite + x)) return true;
      }
    }
  }
  return false;
}

bool BlendLayer(AVFrame* pFrame, const LayerRows& pLayer, int pMatrix, bool pFullRange) {
  const AVPixFmtDescriptor* descriptor = Blendable(pFrame);
  if (!descriptor) return false;
  if (descriptor->comp[0].depth == 8) {
    BlendBytes(pFrame, descriptor, pLayer, pMatrix, pFullRange);
  } else {
    BlendWords(pFrame, descriptor, pLayer, pMatrix, pFullRange);
  }
  return true;
}

bool BlendLayerPlanes(AVFrame* pFrame, const LayerPlanes& pLayer, int pMatrix, bool pFullRange) {
  const AVPixFmtDescriptor* descriptor = Blendable(pFrame);
  if (!descriptor || pLayer.luma.width != pFrame->width || pLayer.luma.height != pFrame->height ||
      pLayer.chroma.width != AV_CEIL_RSHIFT(pFrame->width, descriptor->log2_chroma_w) ||
      pLayer.chroma.height != AV_CEIL_RSHIFT(pFrame->height, descriptor->log2_chroma_h)) {
    return false;
  }
  if (descriptor->comp[0].depth == 8) {
    BlendPlanesBytes(pFrame, descriptor, pLayer, pMatrix, pFullRange);
  } else {
    BlendPlanesWords(pFrame, descriptor, pLayer, pMatrix, pFullRange);
  }
  return true;
}

}  // namespace media

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

// One pixel of the layer: what shows through (0 to 1) and the drawing's own
// colour, weighted by its coverage (0 to 255 a channel).
struct Cover {
  float through = 1.0f;
  float red = 0.0f, green = 0.0f, blue = 0.0f;
};

// What the layer covers in one row, as a pixel each; false when nothing.
bool ReadRow(const uint8_t* pBlack, const uint8_t* pWhite, int pWidth, Cover* pRow) {
  // Nothing drawn: exactly black over black and white over white.
  bool any = false;
  for (int x = 0; x < pWidth; ++x) {
    const uint8_t* black = pBlack + 4 * x;
    const uint8_t* white = pWhite + 4 * x;
    if ((black[0] | black[1] | black[2]) == 0 && (white[0] & white[1] & white[2]) == 255) {
      pRow[x] = Cover();
      continue;
    }
    any = true;
    const int shows = (white[0] - black[0]) + (white[1] - black[1]) + (white[2] - black[2]);
    pRow[x].through = std::clamp(shows / (3.0f * 255.0f), 0.0f, 1.0f);
    pRow[x].red = black[0];
    pRow[x].green = black[1];
    pRow[x].blue = black[2];
  }
  return any;
}

template <class tSample>
void Put(uint8_t* pPlane, int pLinesize, int pX, int pY, double pValue, int pMost) {
  const long value = std::clamp(std::lround(pValue), 0L, static_cast<long>(pMost));
  reinterpret_cast<tSample*>(pPlane + static_cast<ptrdiff_t>(pY) * pLinesize)[pX] =
      static_cast<tSample>(value);
}

template <class tSample>
double Get(const uint8_t* pPlane, int pLinesize, int pX, int pY) {
  return reinterpret_cast<const tSample*>(pPlane + static_cast<ptrdiff_t>(pY) * pLinesize)[pX];
}

template <class tSample>
void Blend(AVFrame* pFrame, const AVPixFmtDescriptor* pDescriptor, const LayerRows& pLayer,
           int pMatrix, bool pFullRange) {
  const int width = pFrame->width, height = pFrame->height;
  const int depth = pDescriptor->comp[0].depth;
  const int most = (1 << depth) - 1;
  const double scale = static_cast<double>(1 << (depth - 8));
  // Black and the range of luma and of chroma around its middle, at this depth.
  const double lumaZero = pFullRange ? 0.0 : 16.0 * scale;
  const double lumaSpan = pFullRange ? most : 219.0 * scale;
  const double chromaMiddle = static_cast<double>(1 << (depth - 1));
  const double chromaSpan = pFullRange ? most : 224.0 * scale;
  double kr = 0.0, kb = 0.0;
  Weights(pMatrix, &kr, &kb);
  const double kg = 1.0 - kr - kb;
  const int across = 1 << pDescriptor->log2_chroma_w;
  const int down = 1 << pDescriptor->log2_chroma_h;
  const size_t rowBytes = static_cast<size_t>(width) * 4;

  std::vector<Cover> rows(static_cast<size_t>(width) * down);
  std::vector<char> drawn(down);
  for (int top = 0; top < height; top += down) {
    const int count = std::min(down, height - top);
    bool any = false;
    for (int r = 0; r < count; ++r) {
      const int y = top + r;
      const size_t at = static_cast<size_t>(pLayer.bottomUp ? height - 1 - y : y) * rowBytes;
      Cover* row = rows.data() + static_cast<size_t>(r) * width;
      drawn[r] = ReadRow(pLayer.overBlack + at, pLayer.overWhite + at, width, row);
      any = any || drawn[r];
      if (!drawn[r]) continue;
      for (int x = 0; x < width; ++x) {
        const Cover& c = row[x];
        if (c.through == 1.0f && c.red == 0.0f && c.green == 0.0f && c.blue == 0.0f) continue;
        const double luma = (kr * c.red + kg * c.green + kb * c.blue) / 255.0;
        const double below = Get<tSample>(pFrame->data[0], pFrame->linesize[0], x, y);
        Put<tSample>(pFrame->data[0], pFrame->linesize[0], x, y,
                     c.through * below + (1.0 - c.through) * lumaZero + luma * lumaSpan, most);
      }
    }
    if (!any) continue;
    // Chroma from the block of pixels each chroma sample stands for.
    const int chromaRow = top / down;
    for (int cx = 0; cx * across < width; ++cx) {
      double through = 0.0, red = 0.0, green = 0.0, blue = 0.0;
      int pixels = 0;
      bool covered = false;
      for (int r = 0; r < count; ++r) {
        for (int x = cx * across; x < std::min(width, (cx + 1) * across); ++x) {
          const Cover& c = rows[static_cast<size_t>(r) * width + x];
          if (drawn[r] &&
              (c.through != 1.0f || c.red != 0.0f || c.green != 0.0f || c.blue != 0.0f)) {
            covered = true;
            through += c.through;
            red += c.red;
            green += c.green;
            blue += c.blue;
          } else {
            through += 1.0;
          }
          ++pixels;
        }
      }
      if (!covered) continue;
      through /= pixels;
      red /= pixels * 255.0;
      green /= pixels * 255.0;
      blue /= pixels * 255.0;
      const double luma = kr * red + kg * green + kb * blue;
      const double cb = (blue - luma) / (2.0 * (1.0 - kb));
      const double cr = (red - luma) / (2.0 * (1.0 - kr));
      for (int plane = 1; plane <= 2; ++plane) {
        const double below =
            Get<tSample>(pFrame->data[plane], pFrame->linesize[plane], cx, chromaRow);
        const double drawnPart = plane == 1 ? cb : cr;
        Put<tSample>(pFrame->data[plane], pFrame->linesize[plane], cx, chromaRow,
                     through * below + (1.0 - through) * chromaMiddle + drawnPart * chromaSpan,
                     most);
      }
    }
  }
}

}  // namespace

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

// The layer resampler works on parts of the layer: bands of drawn rows, and
// within them runs of columns that are all alike, resampled once and repeated.
// Whatever the parts, the result must be what swscale, rounding accurately,
// makes of the whole layer at once: within a code where swscale's
// fixed-point step between rows and columns is exact (its quicker rounding
// is allowed where the layer is made larger), within two where it is not.

#include <gtest/gtest.h>
#include <media/layer_resampler.h>

#include "layer_blend.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// A layer as four planes, red, green, blue and what shows through; clear
// (0, 0, 0, 255) where nothing is drawn.
struct Planes {
  int width, height;
  std::array<std::vector<uint8_t>, 4> plane;
  Planes(int pWidth, int pHeight) : width(pWidth), height(pHeight) {
    for (int i = 0; i < 4; ++i)
      plane[i].assign(static_cast<size_t>(pWidth) * pHeight, i == 3 ? 255 : 0);
  }
  void Fill(int pX, int pY, int pW, int pH, std::array<uint8_t, 4> pValue) {
    for (int y = pY; y < pY + pH; ++y)
      for (int x = pX; x < pX + pW; ++x)
        for (int i = 0; i < 4; ++i) plane[i][static_cast<size_t>(y) * width + x] = pValue[i];
  }
  // Text-like detail: each pixel either the band's value or a glyph's.
  void Speckle(int pX, int pY, int pW, int pH, std::mt19937* pRandom) {
    for (int y = pY; y < pY + pH; ++y)
      for (int x = pX; x < pX + pW; ++x)
        if ((*pRandom)() % 3 == 0) Fill(x, y, 1, 1, {255, 255, 255, 0});
  }
};

// The layer over black and over white, as the viewer reads it back.
void Pack(const Planes& pPlanes, std::vector<uint8_t>* pBlack, std::vector<uint8_t>* pWhite) {
  const size_t pixels = pPlanes.plane[0].size();
  pBlack->assign(4 * pixels, 0);
  pWhite->assign(pixels, 0);
  for (size_t i = 0; i < pixels; ++i) {
    for (int c = 0; c < 3; ++c) (*pBlack)[4 * i + c] = pPlanes.plane[c][i];
    (*pWhite)[i] = static_cast<uint8_t>(std::min(255, pPlanes.plane[0][i] + pPlanes.plane[3][i]));
  }
}

std::vector<uint8_t> ScaledWhole(const std::vector<uint8_t>& pPlane, int pWidth, int pHeight,
                                 int pToWidth, int pToHeight) {
  SwsContext* scaler =
      sws_getContext(pWidth, pHeight, AV_PIX_FMT_GRAY8, pToWidth, pToHeight, AV_PIX_FMT_GRAY8,
                     SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  // swscale writes whole vectors past a row's width: aligned rows, room past
  // the last.
  const int stride = (pToWidth + 63) / 64 * 64;
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * pToHeight + 64);
  const uint8_t* in[4] = {pPlane.data(), nullptr, nullptr, nullptr};
  const int inStride[4] = {pWidth, 0, 0, 0};
  uint8_t* out[4] = {rows.data(), nullptr, nullptr, nullptr};
  const int outStride[4] = {stride, 0, 0, 0};
  sws_scale(scaler, in, inStride, 0, pHeight, out, outStride);
  sws_freeContext(scaler);
  std::vector<uint8_t> result(static_cast<size_t>(pToWidth) * pToHeight);
  for (int y = 0; y < pToHeight; ++y) {
    std::copy_n(rows.begin() + static_cast<ptrdiff_t>(y) * stride, pToWidth,
                result.begin() + static_cast<ptrdiff_t>(y) * pToWidth);
  }
  return result;
}

TEST(LayerResamplerTest, ResamplingByPartsGivesWhatTheWholeLayerGives) {
  struct Case {
    int width, height, toWidth, toHeight, most;
  };
  // Twice the size and a thirtieth (columns in runs; the narrower one ends in
  // part of a run), and a ratio whose step is not exact in swscale's fixed
  // point (whole rows only).
  for (const Case& c : {Case{1920, 1080, 3840, 2160, 1}, Case{1000, 562, 2000, 1124, 1},
                        Case{1920, 1080, 64, 36, 1}, Case{1280, 720, 1920, 1080, 2}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    std::mt19937 random(7);
    Planes layer(c.width, c.height);
    // A mask band, darker to the right of a glyph, with text in both halves
    // and at both edges; a red band with glyphs at its left edge and a little
    // short of its right; a lone line of one row.
    const int half = c.width / 2;
    layer.Fill(0, 0, half, 130, {0, 0, 0, 77});
    layer.Fill(half, 0, c.width - half, 130, {0, 0, 0, 40});
    layer.Speckle(100, 30, 80, 60, &random);
    layer.Speckle(half - 6, 20, 12, 100, &random);
    layer.Speckle(half + 300, 40, 160, 50, &random);
    // A glyph from and to columns where parts of the layer might meet.
    layer.Fill(512, 20, 1, 90, {255, 255, 255, 0});
    layer.Fill(575, 20, 1, 90, {255, 255, 255, 0});
    layer.Speckle(513, 20, 62, 90, &random);
    layer.Speckle(c.width - 20, 10, 20, 40, &random);
    // The red band is the layer's last rows: on the narrower layer its
    // flat columns past the glyph are the last, partial tile of the last row.
    layer.Fill(0, c.height - 40, c.width, 40, {200, 30, 30, 0});
    layer.Speckle(0, c.height - 30, 9, 20, &random);
    layer.Speckle(c.width - 40, c.height - 35, 20, 30, &random);
    layer.Fill(0, c.height * 5 / 6, c.width, 1, {255, 255, 255, 0});
    std::vector<uint8_t> black, white;
    Pack(layer, &black, &white);

    media::LayerResampler resampler;
    media::LayerPlanes result;
    // Twice, so that the second frame runs on conversions kept from the first.
    for (int frame = 0; frame < 2; ++frame) {
      ASSERT_TRUE(resampler.ResampleToPlanes(black.data(), white.data(), nullptr, c.width, c.height,
                                             c.toWidth, c.toHeight, &result));
    }
    const media::LayerPlanes::Set& luma = result.luma;
    ASSERT_EQ(luma.width, c.toWidth);
    const uint8_t* got[4] = {luma.red, luma.green, luma.blue, luma.through};
    for (int i = 0; i < 4; ++i) {
      const std::vector<uint8_t> whole =
          ScaledWhole(layer.plane[i], c.width, c.height, c.toWidth, c.toHeight);
      int wrong = 0;
      for (int y = 0; y < c.toHeight; ++y) {
        for (int x = 0; x < c.toWidth; ++x) {
          const size_t at = static_cast<size_t>(y) * c.toWidth + x;
          // Rows left out must be what the whole gives there: clear.
          const int value = luma.rowsDrawn[y] ? got[i][at] : (i == 3 ? 255 : 0);
          if (std::abs(value - whole[at]) > c.most && ++wrong <= 3) {
            ADD_FAILURE() << "plane " << i << " at " << x << "," << y << ": " << value
                          << ", the whole layer gives " << int(whole[at]);
          }
        }
      }
      EXPECT_EQ(wrong, 0) << "plane " << i;
    }
  }
}

}  // namespace

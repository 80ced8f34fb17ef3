#pragma once
// Blends a drawn layer into a decoded YUV picture at the picture's own bit
// depth and chroma subsampling, as an overlay filter does: only the layer's
// colours are converted, with the picture's matrix and range, and every
// sample the layer covers nothing of is left as it is.
//
// The layer comes as two renderings of the same drawing, over black (RGBA)
// and over white (its red alone; OffscreenViewer's layer mode). Over black is
// the colour already weighted by coverage; white minus black is how much of
// the background still shows through, alike in every channel for drawing
// blended the usual way (source alpha, one minus source alpha). The drawing
// over any background B is then black + (white - black) * B, so its YUV is
// got without converting B at all.

#include <cstdint>

struct AVFrame;

namespace media {

struct LayerRows {
  const uint8_t* overBlack = nullptr;  // width x height RGBA, rows packed
  const uint8_t* overWhite = nullptr;  // width x height bytes: red
  bool bottomUp = false;               // the first row in memory is the picture's bottom
  // Per row in memory, whether it was read back at all; null: every row was.
  // A row not read holds nothing and is left alone.
  const uint8_t* rowsDrawn = nullptr;
};

// Whether a row of a layer (pWidth RGBA pixels over black, pWidth bytes of
// red over white) draws anything at all.
bool LayerRowDrawn(const uint8_t* pOverBlack, const uint8_t* pOverWhite, int pWidth);

// pFrame: planar YUV, 8 to 16 bits, the layer's size. pMatrix is an
// AVColorSpace; pFullRange the picture's range. False for a format it cannot
// blend into.
bool BlendLayer(AVFrame* pFrame, const LayerRows& pLayer, int pMatrix, bool pFullRange);

// A layer drawn at another size, resampled a plane at a time to the planes of
// the picture it goes into (LayerResampler::ResampleToPlanes): the drawn
// colour over black and what shows through, 0 to 255, at luma's size and at
// chroma's, rows packed.
struct LayerPlanes {
  struct Set {
    int width = 0, height = 0;
    const uint8_t* red = nullptr;
    const uint8_t* green = nullptr;
    const uint8_t* blue = nullptr;
    const uint8_t* through = nullptr;
    const uint8_t* rowsDrawn = nullptr;  // per row in memory; the others hold nothing
  };
  Set luma, chroma;
  bool bottomUp = false;  // the first row in memory is the picture's bottom
};

// As BlendLayer, from planes the size of pFrame's. False for a format it
// cannot blend into, or planes of other sizes.
bool BlendLayerPlanes(AVFrame* pFrame, const LayerPlanes& pLayer, int pMatrix, bool pFullRange);

}  // namespace media

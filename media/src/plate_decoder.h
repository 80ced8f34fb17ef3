#pragma once
// What the plate module does with OpenImageIO, behind a table of plain
// functions: OpenImageIO and the hundred-odd libraries it links are loaded
// only when an image sequence is read, not by every program that reads movies.

#include <cstdint>
#include <string>
#include <vector>

namespace media {

struct PlateHeader;

// The module's own state for reading pictures one after another.
struct PlateDecoderBuffers {
  std::vector<float> samples;  // a band of rows as read
  std::vector<float> rgba;     // the same band as RGBA
};

// Turns a band of float RGBA (pWidth x pRows) into the colour to show, in place.
using PlateColourStep = void (*)(const void* pContext, float* pRgba, int pWidth, int pRows);

struct PlateDecoder {
  int version;  // kPlateDecoderVersion, so that a stale module is refused
  bool (*readHeader)(const std::string& pPath, PlateHeader* pHeader, std::string* pWhy);
  bool (*read)(const std::string& pPath, int pWidth, int pHeight, bool pBottomUp,
               PlateColourStep pColour, const void* pColourContext, PlateHeader* pHeader,
               PlateDecoderBuffers* pBuffers, std::vector<uint8_t>* pRgba, std::string* pWhy);
};

constexpr int kPlateDecoderVersion = 1;

}  // namespace media

// The one symbol the module exports.
#define VEXA_PLATE_DECODER_SYMBOL "vexa_plate_decoder"
extern "C" const media::PlateDecoder* vexa_plate_decoder();

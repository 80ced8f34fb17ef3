#pragma once
// The files of an image sequence (EXR, DPX, TIFF, PNG, JPEG) read one at a
// time with OpenImageIO: each file's picture, and the timecode and rate its
// header carries. OpenImageIO lives in a module loaded on first use.

#include <media/colour_transform.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plate_decoder.h"

namespace media {

struct PlateHeader {
  // The picture as framed: an EXR's display window, whatever its data covers.
  int width = 0;
  int height = 0;
  std::string format;         // OpenImageIO's name: "openexr", "dpx", "png"...
  bool floatSamples = false;  // half or float
  bool hasTimecode = false;
  uint32_t timecode = 0;  // SMPTE 12M packed, as DPX and EXR hold it
  int rateNumerator = 0;  // the header's frame rate; 0 where it has none
  int rateDenominator = 1;

  // "DPX", "EXR" or the format's own name, for messages.
  std::string FormatName() const;
  // "HH:MM:SS:FF" (';' before the frames for drop-frame), empty without a timecode.
  std::string TimecodeText(int pRateNumerator, int pRateDenominator) const;
};

class PlateReader {
 public:
  // Only the header of pPath. False with pWhy saying why it does not read
  // (or that the module that reads image files does not load).
  static bool ReadHeader(const std::string& pPath, PlateHeader* pHeader, std::string* pWhy);

  // The picture of pPath into pRgba, 8-bit RGBA packed, top row first unless
  // pBottomUp, through pColour where given; it must be pWidth x pHeight.
  // False with pWhy saying why it does not read.
  bool Read(const std::string& pPath, int pWidth, int pHeight, bool pBottomUp,
            const ColourTransform* pColour, PlateHeader* pHeader, std::vector<uint8_t>* pRgba,
            std::string* pWhy);

 private:
  PlateDecoderBuffers mBuffers;
};

}  // namespace media

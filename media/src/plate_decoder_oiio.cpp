#include <OpenImageIO/imageio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <new>

#include "plate_decoder.h"
#include "plate_reader.h"

extern "C" {
#include <libavutil/rational.h>
}

namespace media {
namespace {

// Larger than any camera's or scanner's frame: a header claiming more is not believed.
constexpr int kMostSide = 16384;
// Rows converted at a time, so that floats are held for a band, not a frame.
constexpr int kBandRows = 64;

// OpenImageIO's message, on one line.
std::string Why(std::string pText) {
  const size_t end = pText.find('\n');
  if (end != std::string::npos) pText.erase(end);
  return pText.empty() ? "it does not read" : "it does not read (" + pText + ")";
}

bool Fits(long long pSide) { return pSide >= 1 && pSide <= kMostSide; }

// A rate from the header, from 1 to 1000 frames a second.
bool HeaderRate(const OIIO::ImageSpec& pImage, PlateHeader* pHeader) {
  int fraction[2] = {0, 0};
  if (pImage.getattribute("FramesPerSecond", OIIO::TypeRational, fraction) && fraction[0] > 0 &&
      fraction[1] > 0 && fraction[0] <= 1000LL * fraction[1] && fraction[0] >= fraction[1]) {
    pHeader->rateNumerator = fraction[0];
    pHeader->rateDenominator = fraction[1];
    return true;
  }
  // DPX: the film header's rate, else the television header's.
  for (const char* name : {"dpx:FrameRate", "dpx:TemporalFrameRate"}) {
    float fps = 0.0f;
    if (pImage.getattribute(name, OIIO::TypeFloat, &fps) && std::isfinite(fps) && fps >= 1.0f &&
        fps <= 1000.0f) {
      const AVRational rate = av_d2q(fps, 1001000);
      pHeader->rateNumerator = rate.num;
      pHeader->rateDenominator = rate.den;
      return true;
    }
  }
  return false;
}

// What pInput's header says; false where its picture is not one to show.
bool Describe(const OIIO::ImageInput& pInput, PlateHeader* pHeader, std::string* pWhy) {
  const OIIO::ImageSpec& image = pInput.spec();
  *pHeader = PlateHeader();
  pHeader->width = image.full_width > 0 ? image.full_width : image.width;
  pHeader->height = image.full_height > 0 ? image.full_height : image.height;
  if (!Fits(pHeader->width) || !Fits(pHeader->height) || image.width > kMostSide ||
      image.height > kMostSide || image.width < 0 || image.height < 0 || image.depth > 1 ||
      image.nchannels < 1 || image.deep) {
    *pWhy = "its picture is " + std::to_string(pHeader->width) + "x" +
            std::to_string(pHeader->height) + (image.deep ? ", deep" : "") + " in " +
            std::to_string(image.nchannels) + " channels, not a frame to show";
    return false;
  }
  pHeader->format = pInput.format_name();
  pHeader->floatSamples = image.format.is_floating_point();
  unsigned int code[2] = {0, 0};
  pHeader->hasTimecode = image.getattribute("smpte:TimeCode", OIIO::TypeTimeCode, code);
  pHeader->timecode = code[0];
  HeaderRate(image, pHeader);
  return true;
}

std::unique_ptr<OIIO::ImageInput> Open(const std::string& pPath, std::string* pWhy) {
  std::unique_ptr<OIIO::ImageInput> input = OIIO::ImageInput::open(pPath);
  if (!input) {
    struct stat file = {};
    *pWhy = stat(pPath.c_str(), &file) != 0 ? "no file" : Why(OIIO::geterror());
  }
  return input;
}

bool ReadHeader(const std::string& pPath, PlateHeader* pHeader, std::string* pWhy) {
  std::unique_ptr<OIIO::ImageInput> input = Open(pPath, pWhy);
  return input && Describe(*input, pHeader, pWhy);
}

bool Read(const std::string& pPath, int pWidth, int pHeight, bool pBottomUp,
          PlateColourStep pColour, const void* pColourContext, PlateHeader* pHeader,
          PlateDecoderBuffers* pBuffers, std::vector<uint8_t>* pRgba, std::string* pWhy) {
  std::unique_ptr<OIIO::ImageInput> input = Open(pPath, pWhy);
  if (!input || !Describe(*input, pHeader, pWhy)) return false;
  if (pHeader->width != pWidth || pHeader->height != pHeight) {
    *pWhy = "its picture is " + std::to_string(pHeader->width) + "x" +
            std::to_string(pHeader->height) + ", not the sequence's " + std::to_string(pWidth) +
            "x" + std::to_string(pHeight);
    return false;
  }
  const OIIO::ImageSpec& image = input->spec();
  // The channels read: colour first (one, grey, is shown in all three), then alpha.
  const int channels = std::min(image.nchannels, 4);
  const int alpha = image.alpha_channel >= 0 && image.alpha_channel < channels ? image.alpha_channel
                    : channels == 2 || channels == 4                           ? channels - 1
                                                                               : -1;
  int colour[3] = {0, 0, 0};
  for (int c = 0, used = 0; c < channels && used < 3; ++c) {
    if (c != alpha) colour[used++] = c;
  }
  if (channels - (alpha >= 0 ? 1 : 0) < 3) colour[1] = colour[2] = colour[0];
  // Where the data window lies in the frame.
  const long long left =
      static_cast<long long>(image.x) - (image.full_width > 0 ? image.full_x : 0);
  const long long top =
      static_cast<long long>(image.y) - (image.full_height > 0 ? image.full_y : 0);
  const size_t rowFloats = static_cast<size_t>(pWidth) * 4;
  // A tiled file is read whole, as OpenImageIO reads tiles only along their edges.
  const bool tiled = image.tile_width > 0;
  const int bandRows = tiled ? pHeight : kBandRows;
  try {
    pRgba->resize(rowFloats * static_cast<size_t>(pHeight));
    for (int band = 0; band < pHeight; band += bandRows) {
      const int rows = std::min(bandRows, pHeight - band);
      pBuffers->rgba.assign(rowFloats * rows, 0.0f);
      for (size_t i = 3; i < pBuffers->rgba.size(); i += 4) pBuffers->rgba[i] = 1.0f;
      const long long from = std::max<long long>(band, top);
      const long long to = std::min<long long>(band + rows, top + image.height);
      const long long first = std::max<long long>(0, left);
      const long long last = std::min<long long>(pWidth, left + image.width);
      if (from < to && first < last) {
        // The rows read, counted in the frame.
        const long long readFrom = tiled ? top : from;
        const long long readTo = tiled ? top + image.height : to;
        pBuffers->samples.resize(static_cast<size_t>(image.width) *
                                 static_cast<size_t>(readTo - readFrom) *
                                 static_cast<size_t>(channels));
        const int y = static_cast<int>(readFrom - top + image.y);
        const bool read =
            tiled ? input->read_image(0, 0, 0, channels, OIIO::TypeFloat, pBuffers->samples.data())
                  : input->read_scanlines(0, 0, y, y + static_cast<int>(readTo - readFrom), image.z,
                                          0, channels, OIIO::TypeFloat, pBuffers->samples.data());
        if (!read) {
          *pWhy = Why(input->geterror());
          return false;
        }
        for (long long row = from; row < to; ++row) {
          const float* in = pBuffers->samples.data() +
                            static_cast<size_t>(row - readFrom) * image.width * channels;
          float* out = pBuffers->rgba.data() + static_cast<size_t>(row - band) * rowFloats;
          for (long long x = first; x < last; ++x) {
            const float* sample = in + static_cast<size_t>(x - left) * channels;
            float* pixel = out + static_cast<size_t>(x) * 4;
            pixel[0] = sample[colour[0]];
            pixel[1] = sample[colour[1]];
            pixel[2] = sample[colour[2]];
            if (alpha >= 0) pixel[3] = sample[alpha];
          }
        }
      }
      if (pColour) pColour(pColourContext, pBuffers->rgba.data(), pWidth, rows);
      for (int row = 0; row < rows; ++row) {
        const int at = pBottomUp ? pHeight - 1 - (band + row) : band + row;
        OIIO::convert_pixel_values(
            OIIO::TypeFloat, pBuffers->rgba.data() + row * rowFloats, OIIO::TypeUInt8,
            pRgba->data() + static_cast<size_t>(at) * rowFloats, static_cast<int>(rowFloats));
      }
    }
  } catch (const std::bad_alloc&) {
    *pWhy = "out of memory";
    return false;
  }
  return true;
}

}  // namespace
}  // namespace media

extern "C" __attribute__((visibility("default"))) const media::PlateDecoder* vexa_plate_decoder() {
  static const media::PlateDecoder decoder = {media::kPlateDecoderVersion, media::ReadHeader,
                                              media::Read};
  return &decoder;
}

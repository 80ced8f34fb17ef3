#include "plate_reader.h"

#include <dlfcn.h>

#include <cctype>
#include <filesystem>
#include <mutex>

extern "C" {
#include <libavutil/bswap.h>
#include <libavutil/rational.h>
#include <libavutil/timecode.h>
}

namespace media {
namespace {

constexpr const char* kModule = "libvexaplates.so";

struct LoadedDecoder {
  const PlateDecoder* decoder = nullptr;
  std::string why;  // why it did not load
};

// The module beside the program, else wherever the loader finds it. Loaded
// once and kept for the life of the process.
const LoadedDecoder& Decoder() {
  static LoadedDecoder loaded;
  static std::once_flag once;
  std::call_once(once, [] {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string besideProgram = error ? "" : (program.parent_path() / kModule).string();
    void* handle = nullptr;
    std::string reason;
    for (const std::string& path : {besideProgram, std::string(kModule)}) {
      if (path.empty()) continue;
      dlerror();
      handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle) break;
      const char* text = dlerror();
      if (reason.empty() && text) reason = text;
    }
    if (!handle) {
      loaded.why =
          "image files cannot be read: " + (reason.empty() ? std::string(kModule) : reason);
      return;
    }
    using Entry = const PlateDecoder* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, VEXA_PLATE_DECODER_SYMBOL));
    const PlateDecoder* decoder = entry ? entry() : nullptr;
    if (!decoder || decoder->version != kPlateDecoderVersion || !decoder->readHeader ||
        !decoder->read) {
      loaded.why = std::string("image files cannot be read: ") + kModule + " is not this build's";
      dlclose(handle);
      return;
    }
    loaded.decoder = decoder;
  });
  return loaded;
}

void ApplyColour(const void* pContext, float* pRgba, int pWidth, int pRows) {
  static_cast<const ColourTransform*>(pContext)->Apply(pRgba, pWidth, pRows);
}

}  // namespace

std::string PlateHeader::FormatName() const {
  if (format == "openexr") return "EXR";
  std::string name = format;
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

std::string PlateHeader::TimecodeText(int pRateNumerator, int pRateDenominator) const {
  if (!hasTimecode) return "";
  char text[AV_TIMECODE_STR_SIZE];
  // DPX and OpenEXR keep the frames in the low byte, libavutil's SMPTE form in the high one.
  av_timecode_make_smpte_tc_string2(text, AVRational{pRateNumerator, pRateDenominator},
                                    av_bswap32(timecode), 0, 0);
  return text;
}

bool PlateReader::ReadHeader(const std::string& pPath, PlateHeader* pHeader, std::string* pWhy) {
  const LoadedDecoder& loaded = Decoder();
  if (!loaded.decoder) {
    *pWhy = loaded.why;
    return false;
  }
  return loaded.decoder->readHeader(pPath, pHeader, pWhy);
}

bool PlateReader::Read(const std::string& pPath, int pWidth, int pHeight, bool pBottomUp,
                       const ColourTransform* pColour, PlateHeader* pHeader,
                       std::vector<uint8_t>* pRgba, std::string* pWhy) {
  const LoadedDecoder& loaded = Decoder();
  if (!loaded.decoder) {
    *pWhy = loaded.why;
    return false;
  }
  return loaded.decoder->read(pPath, pWidth, pHeight, pBottomUp, pColour ? ApplyColour : nullptr,
                              pColour, pHeader, &mBuffers, pRgba, pWhy);
}

}  // namespace media

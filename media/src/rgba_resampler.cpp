#include <media/rgba_resampler.h>

extern "C" {
#include <libswscale/swscale.h>
}

namespace media {

RgbaResampler::~RgbaResampler() { sws_freeContext(mScaler); }

bool RgbaResampler::Resample(std::vector<uint8_t>* pRgba, int pWidth, int pHeight, int pToWidth,
                             int pToHeight) {
  if (pWidth <= 0 || pHeight <= 0 || pToWidth <= 0 || pToHeight <= 0 ||
      pRgba->size() < static_cast<size_t>(pWidth) * pHeight * 4) {
    return false;
  }
  mScaler = sws_getCachedContext(mScaler, pWidth, pHeight, AV_PIX_FMT_RGBA, pToWidth, pToHeight,
                                 AV_PIX_FMT_RGBA, SWS_LANCZOS | SWS_ACCURATE_RND, nullptr, nullptr,
                                 nullptr);
  if (!mScaler) return false;
  mOut.resize(static_cast<size_t>(pToWidth) * pToHeight * 4);
  const uint8_t* in[4] = {pRgba->data(), nullptr, nullptr, nullptr};
  const int inStride[4] = {pWidth * 4, 0, 0, 0};
  uint8_t* out[4] = {mOut.data(), nullptr, nullptr, nullptr};
  const int outStride[4] = {pToWidth * 4, 0, 0, 0};
  if (sws_scale(mScaler, in, inStride, 0, pHeight, out, outStride) != pToHeight) return false;
  pRgba->swap(mOut);
  return true;
}

}  // namespace media

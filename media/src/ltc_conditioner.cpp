#include "ltc_conditioner.h"

#include <algorithm>
#include <cmath>
#include <iterator>

extern "C" {
#include <ltc.h>
}

namespace media {
namespace {

// Below the lowest LTC tone (960 Hz at 24 frames) by far, so a bit cell barely
// sags, and fast enough to shed a DC offset within a frame.
constexpr double kHighPassHz = 20.0;
// The level follows the mean rectified signal: a click barely moves it, and a
// loud passage giving way to a quiet one is followed within a few bits.
constexpr double kLevelSeconds = 0.004;
// The slicer flips only past this share of the level on the other side. Half:
// a quarter lets noise 20 dB under the LTC chatter at the crossings, three
// quarters loses half cells that a 3 kHz link has rounded off.
constexpr float kHysteresis = 0.5f;
// About -60 dBFS: quieter than this is silence, and is not sliced.
constexpr float kFloor = 0.001f;
constexpr float kOut = 0.5f;
// Audio written to libltc at a time, well under its queue of frames.
constexpr size_t kSlice = 1024;
constexpr int kQueueFrames = 32;
// Blocks whose times follow on within this are one stream (coarse timestamps jitter).
constexpr double kJoinSeconds = 0.005;
// libltc's bit clock can settle on a wrong period after a burst of noise and
// then never decode again, however clean the signal: a decoder silent this long
// is started afresh. LTC that is there comes back within a frame of it.
constexpr double kSilentSeconds = 0.2;
// How long sample positions are remembered: libltc reports a frame at its end.
constexpr double kRememberSeconds = 1.0;

}  // namespace

LtcConditioner::LtcConditioner(int pSampleRate) {
  const double rate = pSampleRate > 0 ? pSampleRate : 48000.0;
  mHighPass = static_cast<float>(std::exp(-2.0 * M_PI * kHighPassHz / rate));
  mLevelRate = static_cast<float>(1.0 - std::exp(-1.0 / (kLevelSeconds * rate)));
}

void LtcConditioner::Process(const float* pIn, float* pOut, size_t pCount) {
  for (size_t i = 0; i < pCount; ++i) {
    float in = pIn[i];
    if (!std::isfinite(in)) in = 0.0f;
    mCentred = mHighPass * (mCentred + in - mPreviousIn);
    mPreviousIn = in;
    mLevel += mLevelRate * (std::fabs(mCentred) - mLevel);
    const float threshold = std::max(mLevel * kHysteresis, kFloor);
    if (mHigh ? mCentred < -threshold : mCentred > threshold) mHigh = !mHigh;
    pOut[i] = mHigh ? kOut : -kOut;
  }
}

LtcAudioDecoder::LtcAudioDecoder(int pSampleRate, double pFramesPerSecond)
    : mSampleRate(pSampleRate > 0 ? pSampleRate : 48000), mConditioner(mSampleRate) {
  const double fps = pFramesPerSecond >= 20.0 && pFramesPerSecond <= 60.0 ? pFramesPerSecond : 25.0;
  mFrameSamples = static_cast<int>(mSampleRate / fps);
  mDecoder = ltc_decoder_create(mFrameSamples, kQueueFrames);
  mScratch.resize(kSlice);
}

LtcAudioDecoder::~LtcAudioDecoder() {
  if (mDecoder) ltc_decoder_free(mDecoder);
}

void LtcAudioDecoder::Write(const float* pSamples, size_t pCount, double pSeconds) {
  if (!mDecoder || pCount == 0) return;
  if (mBlocks.empty() || std::fabs(pSeconds - mWrittenUntil) > kJoinSeconds) {
    mBlocks.push_back({mPosition, pSeconds});
  }
  for (size_t done = 0; done < pCount;) {
    const size_t slice = std::min(pCount - done, kSlice);
    mConditioner.Process(pSamples + done, mScratch.data(), slice);
    ltc_decoder_write_float(mDecoder, mScratch.data(), slice, mPosition);
    mPosition += static_cast<long long>(slice);
    done += slice;
    TakeDecoded();
    if (mPosition - mHeardAt > static_cast<long long>(kSilentSeconds * mSampleRate)) {
      LTCDecoder* fresh = ltc_decoder_create(mFrameSamples, kQueueFrames);
      if (fresh) {
        ltc_decoder_free(mDecoder);
        mDecoder = fresh;
      }
      mHeardAt = mPosition;
    }
  }
  mWrittenUntil = SecondsAt(mPosition);
  const long long keep = mPosition - static_cast<long long>(kRememberSeconds * mSampleRate);
  while (mBlocks.size() > 1 && mBlocks[1].position <= keep) mBlocks.pop_front();
}

double LtcAudioDecoder::SecondsAt(long long pPosition) const {
  // The last block begun by then; before the first, counted back from it.
  auto block = mBlocks.rbegin();
  while (std::next(block) != mBlocks.rend() && block->position > pPosition) ++block;
  return block->seconds + static_cast<double>(pPosition - block->position) / mSampleRate;
}

void LtcAudioDecoder::TakeDecoded() {
  LTCFrameExt decoded;
  while (ltc_decoder_read(mDecoder, &decoded)) {
    if (decoded.reverse || decoded.off_end <= decoded.off_start) continue;
    // Timed by the block it ends in: one heard across a gap in the audio keeps
    // its length (and so its rate), and its mix of two frames' bits is garbage
    // the verifier drops.
    const long long end = decoded.off_end + 1;
    const double endSeconds = SecondsAt(end);
    mHeardAt = std::max(mHeardAt, end);
    // Within the LTC rates (23.976 to 30), whatever a garbage frame measured.
    mFrameSamples = static_cast<int>(
        std::clamp<long long>(end - decoded.off_start, mSampleRate / 31, mSampleRate / 23));
    SMPTETimecode fields{};
    ltc_frame_to_time(&fields, &decoded.ltc, 0);
    LtcFrameTime frame;
    const double measured = static_cast<double>(end - decoded.off_start) / mSampleRate;
    frame.start = endSeconds - measured;  // for its rate
    frame.end = endSeconds;
    frame.hours = fields.hours;
    frame.minutes = fields.mins;
    frame.seconds = fields.secs;
    frame.frames = fields.frame;
    frame.dropFrame = decoded.ltc.dfbit != 0;
    // libltc places a frame's end, its sync word, steadily (within two samples
    // of where it was written, clean), its start less so (up to seven more
    // samples out): a frame starts where the one before it ended, or one frame
    // at its rate before its end.
    const double length = LtcPeriod(LtcRateOf(frame), measured) * mSampleRate;
    const bool followsOn = std::fabs(static_cast<double>(end - mLastEnd) - length) < length / 4;
    const double start = followsOn ? static_cast<double>(mLastEnd) : end - length;
    frame.start = endSeconds - (end - start) / mSampleRate;
    mLastEnd = end;
    mFrames.push_back(frame);
  }
}

bool LtcAudioDecoder::Read(LtcFrameTime* pFrame) {
  if (mFrames.empty()) return false;
  *pFrame = mFrames.front();
  mFrames.pop_front();
  return true;
}

}  // namespace media

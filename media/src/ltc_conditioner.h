#pragma once
// The input stage of an LTC reader: audio of any level and shape (quiet, clipped,
// floats past full scale, rounded by a radio link, noisy) made into the clean
// square wave libltc's decoder locks on. Biphase mark code carries everything in
// its zero crossings, so only they are kept.

#include <cstddef>
#include <deque>
#include <vector>

#include "ltc_verifier.h"

struct LTCDecoder;

namespace media {

class LtcConditioner {
 public:
  explicit LtcConditioner(int pSampleRate);

  // Blocks in order; state carries over between calls. pOut may be pIn.
  // Each output sample is +0.5 or -0.5.
  void Process(const float* pIn, float* pOut, size_t pCount);

 private:
  float mHighPass;  // per-sample coefficients
  float mLevelRate;
  float mPreviousIn = 0.0f;
  float mCentred = 0.0f;
  float mLevel = 0.0f;
  bool mHigh = false;
};

// Conditioned audio through libltc's decoder: LTC frames with the seconds they
// span, on the clock of the samples written.
class LtcAudioDecoder {
 public:
  // pFramesPerSecond is a first guess for libltc, which then follows the signal.
  explicit LtcAudioDecoder(int pSampleRate, double pFramesPerSecond = 25.0);
  ~LtcAudioDecoder();
  LtcAudioDecoder(const LtcAudioDecoder&) = delete;
  LtcAudioDecoder& operator=(const LtcAudioDecoder&) = delete;

  // False when libltc could not be set up.
  bool Valid() const { return mDecoder != nullptr; }
  // pCount mono samples, the first at pSeconds; a jump in time between blocks
  // is a gap in the audio.
  void Write(const float* pSamples, size_t pCount, double pSeconds);
  // The next frame decoded, in order; false when none is waiting.
  bool Read(LtcFrameTime* pFrame);
  // Just past the last sample written.
  double WrittenUntil() const { return mWrittenUntil; }

 private:
  struct Block {
    long long position = 0;  // libltc's count of the first sample
    double seconds = 0.0;
  };
  double SecondsAt(long long pPosition) const;
  void TakeDecoded();

  int mSampleRate;
  LtcConditioner mConditioner;
  LTCDecoder* mDecoder = nullptr;
  std::vector<float> mScratch;
  std::deque<Block> mBlocks;
  std::deque<LtcFrameTime> mFrames;
  long long mPosition = 0;
  long long mHeardAt = 0;  // the end of the last frame decoded, or a restart
  long long mLastEnd = 0;  // where the last frame decoded ends (at first, the audio starts)
  int mFrameSamples = 0;   // for libltc's start
  double mWrittenUntil = 0.0;
};

}  // namespace media

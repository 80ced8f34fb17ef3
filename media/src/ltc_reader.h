#pragma once
// SMPTE LTC from one channel of an audio stream, believed only once it runs
// true (LtcVerifier), on the clock of the footage's one read: it owns no
// demuxer, and is fed that stream's packets as the footage is read.

#include <media/timecode.h>

#include <memory>
#include <string>
#include <vector>

#include "ltc_verifier.h"

struct AVCodecParameters;
struct AVPacket;

namespace media {

// Where a look through a file found LTC that runs true.
struct LtcFound {
  int stream = -1;      // counted over the file's audio streams
  int channel = 0;      // within that stream
  int overall = 0;      // counted over all audio streams' channels
  LtcFrameTime first;   // the first frame of the first run believed, on the file's clock
  double period = 0.0;  // seconds a frame lasts in that run (LtcPeriod)
};

class LtcReader {
 public:
  // pTimeBase* is the stream's time base; pFound, where given, a look through
  // the file, whose first frame believed is counted back from for the times
  // before it. Null with pWhy set when the audio does not decode.
  static std::unique_ptr<LtcReader> Create(const AVCodecParameters* pParameters,
                                           int pTimeBaseNumerator, int pTimeBaseDenominator,
                                           int pChannel, double pVideoFps, const LtcFound* pFound,
                                           std::string* pWhy);
  ~LtcReader();
  LtcReader(const LtcReader&) = delete;
  LtcReader& operator=(const LtcReader&) = delete;

  // A packet of the stream, its times on the file's clock; null at the end.
  void Feed(const AVPacket* pPacket);
  // Whether At(pSeconds) is settled: the audio read is enough to answer it.
  bool Settled(double pSeconds) const;
  // The LTC frame spanning pSeconds (the file's clock) and where it starts:
  // read there, or counted from the nearest frame believed (pCounted). False
  // while nothing is believed. Calls go forward in time.
  bool At(double pSeconds, Timecode* pTimecode, double* pStart, bool* pCounted);
  // Stretches of the times asked that were counted rather than read; with
  // pAllAsked, the one still open too.
  std::vector<LtcSpan> TakeCountedSpans(bool pAllAsked);

 private:
  LtcReader();
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

// Looks through pPath's audio, every channel of every stream or only
// pChannel (counted over all streams; -1 for every one), for LTC that runs
// true, anywhere in the file. False with pWhy saying what was searched.
bool FindLtc(const std::string& pPath, int pChannel, double pVideoFps, LtcFound* pFound,
             std::string* pWhy);

}  // namespace media

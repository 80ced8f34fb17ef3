#pragma once
// SMPTE LTC decoded with libltc from one channel of an audio stream. It owns
// no demuxer: the footage's one read feeds it that stream's packets, with
// times counted from the footage's time zero, so the LTC, the picture and the
// copied sound share one clock.

#include <media/timecode.h>

#include <memory>
#include <string>

struct AVCodecParameters;
struct AVPacket;

namespace media {

class LtcReader {
 public:
  // pTimeBase* is the stream's time base. Null with pWhy set when its audio
  // does not decode or has no such channel.
  static std::unique_ptr<LtcReader> Create(const AVCodecParameters* pParameters,
                                           int pTimeBaseNumerator, int pTimeBaseDenominator,
                                           int pChannel, double pVideoFps, std::string* pWhy);
  ~LtcReader();
  LtcReader(const LtcReader&) = delete;
  LtcReader& operator=(const LtcReader&) = delete;

  // A packet of the stream, its times counted from time zero; null at the end.
  void Feed(const AVPacket* pPacket);
  // How far the decoded audio reaches, in seconds from time zero; +infinity
  // once the stream has ended.
  double DecodedUntil() const;
  // How many LTC frames have decoded so far.
  long long Decoded() const;
  // The LTC frame running at pSeconds (from time zero), counted on from the
  // nearest decoded LTC frame where none was decoded there. Calls go forward in time.
  bool At(double pSeconds, Timecode* pTimecode);

 private:
  LtcReader();
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

// Whether LTC decodes from audio channel pChannel (counted over all audio
// streams) of pPath within its first pSeconds of audio: a look at the file
// before it is read, which decides where its timecode comes from. pStream and
// pStreamChannel receive the stream (counted over audio streams) and the
// channel within it; pWhy why not, where not.
bool ProbeLtc(const std::string& pPath, int pChannel, double pSeconds, double pVideoFps,
              int* pStream, int* pStreamChannel, std::string* pWhy);

}  // namespace media

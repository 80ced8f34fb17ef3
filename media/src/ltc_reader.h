#pragma once
// SMPTE LTC decoded with libltc from one audio channel of a file, read through
// its own libavformat context so that it advances in step with the video and
// holds only the LTC frames near the video's time.

#include <media/timecode.h>

#include <memory>
#include <string>

namespace media {

class LtcReader {
 public:
  // pChannel counts over all audio streams of the file. Null with pWhy set
  // when the file has no such channel or its audio does not decode.
  static std::unique_ptr<LtcReader> Open(const std::string& pPath, int pChannel, double pVideoFps,
                                         std::string* pWhy);
  ~LtcReader();
  LtcReader(const LtcReader&) = delete;
  LtcReader& operator=(const LtcReader&) = delete;

  // Whether LTC decodes within the first pSeconds of audio.
  bool Probe(double pSeconds);
  // The LTC frame running at pSeconds (the file's time), counted on from the
  // nearest decoded LTC frame where none was decoded there. Calls go forward in time.
  bool At(double pSeconds, Timecode* pTimecode);

 private:
  LtcReader();
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

}  // namespace media

#pragma once
// Copies the audio streams of a file into a muxer packet for packet, without
// decoding, cut to a span of the movie's time. Packets are pulled as the video
// advances, so only the muxer's interleaving buffer holds any.

extern "C" {
#include <libavutil/rational.h>
}

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVOutputFormat;
struct AVPacket;
struct AVStream;

namespace media {

// Whether a muxer stores a codec (libavformat's own query, which misses the
// Microsoft tags MOV falls back to, as it does for FFV1).
bool ContainerTakes(const AVOutputFormat* pFormat, int pCodecId);

class AudioCopy {
 public:
  AudioCopy() = default;
  ~AudioCopy();
  AudioCopy(const AudioCopy&) = delete;
  AudioCopy& operator=(const AudioCopy&) = delete;

  // Opens pPath and adds to pOutput a stream for each of its audio streams,
  // with their parameters copied. pStartSeconds is the movie's time 0, counted
  // from the presentation time of pPath's first video frame. Call before the
  // muxer's header is written.
  bool Open(const std::string& pPath, double pStartSeconds, AVFormatContext* pOutput,
            std::string* pError);

  // Writes the packets that begin before pEnd (pTimeBase units of the movie's
  // time). With pLast, reads on until every stream has passed pEnd, dropping
  // what lies beyond.
  bool WriteUntil(int64_t pEnd, AVRational pTimeBase, bool pLast, std::string* pError);

 private:
  struct Track {
    int input = -1;
    AVStream* output = nullptr;
    int64_t start = 0;            // the movie's time 0, in the input stream's units
    AVPacket* preroll = nullptr;  // the last packet ending before the start
    bool begun = false;
    bool done = false;
  };

  Track* Find(int pInputIndex);
  bool Send(Track* pTrack, AVPacket* pPacket, std::string* pError);

  std::string mPath;
  AVFormatContext* mInput = nullptr;
  AVFormatContext* mOutput = nullptr;
  AVPacket* mPending = nullptr;  // read but not yet due
  bool mHavePending = false;
  bool mEnded = false;
  std::vector<Track> mTracks;
};

}  // namespace media

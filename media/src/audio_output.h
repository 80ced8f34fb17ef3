#pragma once
// The footage's sound into a movie: each audio stream copied packet for
// packet where the container holds its codec, or decoded and encoded to AAC,
// cut to the span of the movie's frames. Packets arrive as the footage's read
// hands them over and are written as the video reaches them, so only a short
// stretch is ever held.

#include <media/audio_packets.h>
#include <media/movie_writer.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVOutputFormat;

namespace media {

// Whether a muxer stores a codec (libavformat's own query, which misses the
// Microsoft tags MOV falls back to, as it does for FFV1).
bool ContainerTakes(const AVOutputFormat* pFormat, int pCodecId);

class AudioOutput {
 public:
  AudioOutput();
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // Adds a stream to pOutput for each of pStreams, copied or encoded as pMode
  // says (kAuto: copied where the container holds the codec, else AAC).
  // pStartSeconds is the movie's time zero on the footage's clock. Call before
  // the muxer's header is written. pNotes receives what was re-encoded, and why.
  bool Open(const std::vector<AudioStreamInfo>& pStreams, AudioMode pMode, double pStartSeconds,
            AVFormatContext* pOutput, std::vector<std::string>* pNotes, std::string* pError);
  // Takes packets, their times on the footage's clock.
  void Take(AudioPackets&& pPackets);
  // Writes what begins before pEndSeconds of the movie's time. With pLast, the
  // rest is dropped and encoders are flushed.
  bool WriteUntil(double pEndSeconds, bool pLast, std::string* pError);

 private:
  struct Track;
  std::vector<std::unique_ptr<Track>> mTracks;
  AVFormatContext* mOutput = nullptr;
  double mStartSeconds = 0.0;
};

}  // namespace media

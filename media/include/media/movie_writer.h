#pragma once
// Writes a movie (MOV, MP4 or MKV by the output's extension) from RGBA
// frames, each at its own presentation time: encoded with libx264, ProRes 422
// HQ or FFV1, tagged with its colour and field order, with a timecode track
// (MOV, MP4) and the footage's sound, copied where the container holds it or
// encoded to AAC. Written to a temporary file in the output's folder and
// renamed into place only when complete.

#include <media/audio_packets.h>
#include <media/footage_reader.h>
#include <media/timecode.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

enum class VideoCodec { kH264, kProRes, kFfv1 };

// What happens to the footage's sound: copied where the container holds its
// codec and encoded to AAC where not (kAuto), always copied (refused where the
// container cannot hold it), always AAC, or left out.
enum class AudioMode { kAuto, kCopy, kAac, kNone };

// "copy", "aac", "none"; false for any other text.
bool ParseAudioMode(const std::string& pText, AudioMode* pMode);

// "h264", "prores", "ffv1"; false for any other text.
bool ParseVideoCodec(const std::string& pText, VideoCodec* pCodec);

// Whether a path names a movie this writer makes (.mov, .mp4, .mkv, any case).
bool IsMoviePath(const std::string& pPath);

// Whether the movie at pPath can take the sound as pMode asks; pError says
// why not (a codec its container cannot hold, with kCopy).
bool CanTakeAudio(const std::string& pPath, const std::vector<AudioStreamInfo>& pStreams,
                  AudioMode pMode, std::string* pError);

struct MovieOptions {
  std::string path;  // the output; never the footage's path
  VideoCodec codec = VideoCodec::kH264;
  int crf = 18;  // h264 only
  int width = 0;
  int height = 0;
  int rateNumerator = 25;
  int rateDenominator = 1;
  // Frames' times count in this; 0 for one frame's time at the rate.
  int timeBaseNumerator = 0;
  int timeBaseDenominator = 0;
  FieldOrder fields = FieldOrder::kProgressive;
  // For WriteLayer: the footage pictures' pixel format (AVPixelFormat), matrix
  // (AVColorSpace) and range, which the movie keeps. layerFormat -1: frames
  // come as RGBA only.
  int layerFormat = -1;
  int layerMatrix = 1;
  bool layerFullRange = false;
  Timecode firstTimecode;   // of the first frame written; unset (nominalRate 0) for none
  ColourTags colour;        // the footage's; unspecified ones become BT.709 (limited range)
  std::string footagePath;  // never written over
  // The footage's sound, cut to the time the frames written span. Its clock
  // is the frames': audioStartSeconds is the first frame's time on it.
  std::vector<AudioStreamInfo> audio;
  AudioMode audioMode = AudioMode::kAuto;
  double audioStartSeconds = 0.0;
};

class MovieWriter {
 public:
  // Opens the temporary file and the encoder. Null with pError set.
  static std::unique_ptr<MovieWriter> Open(const MovieOptions& pOptions, std::string* pError);
  // Without Finish, the temporary file is removed.
  ~MovieWriter();
  MovieWriter(const MovieWriter&) = delete;
  MovieWriter& operator=(const MovieWriter&) = delete;

  // What was decided on opening that the user should hear of (sound re-encoded).
  const std::vector<std::string>& Notes() const;

  // One frame of width x height RGBA pixels, pStride bytes from one row to the
  // next; pBottomUp when the first row in memory is the picture's bottom (as
  // OpenGL reads back). pPts and pDuration are the frame's time on the
  // footage's clock, in the time base; the movie starts at the first frame's.
  bool Write(const uint8_t* pRgba, int pStride, bool pBottomUp, long long pPts, long long pDuration,
             std::string* pError);
  // Sound read with the frames, on the same clock.
  void TakeAudio(AudioPackets&& pPackets);
  // A frame of footage with a drawn layer blended into its own samples
  // (MovieOptions::layerFormat): the layer as OffscreenViewer's layer mode
  // reads it, over black (pLayerWidth x pLayerHeight RGBA) and over white (as
  // many bytes of red), rows packed; a layer of another size than the movie's
  // is resampled to it (bicubic). The picture is converted to the movie's pixel format where it
  // differs (never through RGB), then the layer is blended in; whatever the
  // layer leaves uncovered keeps the picture's samples. The picture's buffer
  // may be written to. pRowsDrawn, where given, says per row in memory
  // whether the layer holds it at all; a row it does not is left alone.
  bool WriteLayer(Picture& pFootage, const uint8_t* pOverBlack, const uint8_t* pOverWhite,
                  int pLayerWidth, int pLayerHeight, const uint8_t* pRowsDrawn, bool pBottomUp,
                  long long pPts, long long pDuration, std::string* pError);
  // CPU seconds the calling thread spent so far putting the layer into
  // pictures (converting and blending) and handing frames to the encoder and
  // the muxer (the encoder's own threads not counted).
  double BlendSeconds() const;
  // CPU seconds of the above spent resampling layers (not in BlendSeconds).
  double ResampleSeconds() const;
  double EncodeSeconds() const;
  // Flushes the encoder, writes the rest of the audio, closes the file and
  // renames it into place.
  bool Finish(std::string* pError);
  // Removes the temporary file; safe to call at any time, once or more.
  void Abort();
  // The temporary file's path, for a signal handler that can only unlink.
  const std::string& TemporaryPath() const;

 private:
  MovieWriter();
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

}  // namespace media

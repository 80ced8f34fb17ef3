#pragma once
// Reads footage, a movie libavformat opens or an image sequence given as a
// pattern (its files read with OpenImageIO), frame by frame in order, as RGBA
// pictures with their presentation times and timecodes. Memory stays bounded
// whatever the clip's length.

#include <media/audio_packets.h>
#include <media/colour_transform.h>
#include <media/timecode.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AVFrame;

namespace media {

// A decoded picture at its own bit depth and chroma subsampling, owned.
class Picture {
 public:
  Picture();
  ~Picture();
  Picture(Picture&& pOther) noexcept;
  Picture& operator=(Picture&& pOther) noexcept;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  AVFrame* Frame() const { return mFrame; }
  int Format() const;  // its AVPixelFormat; -1 when empty
  bool Empty() const;
  void Clear();

 private:
  AVFrame* mFrame = nullptr;
};

// Frames of a sequence that did not come out: no file, or one that does not read.
struct MissingFrames {
  long long first = 0;
  long long last = 0;
  std::string why;
};

// One decoded frame, converted to RGBA 8-bit as a player shows it: the colour
// matrix and range the stream declares (BT.709 limited range for HD YUV that
// declares none), square pixels at the display aspect, turned upright. Top row
// first unless asked otherwise, rows packed (stride = 4 * width).
struct FootageFrame {
  // The footage's own: a sequence's file number, a movie's frame counted from
  // its first by presentation time (a gap in time is a gap in numbers).
  long long number = 0;
  double seconds = 0.0;    // presentation time counted from the footage's first frame
  long long pts = 0;       // the same, in the reader's time base
  long long duration = 0;  // in the reader's time base
  Timecode timecode;       // of this frame, from the origin the reader settled on
  // The same counted at the footage's own rate, for a movie's timecode track:
  // LTC at another rate (25 fps LTC over 50p) gives the frame its own count.
  Timecode trackTimecode;
  bool damaged = false;  // its data was corrupt or did not decode cleanly
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  // With FootageOptions::audio: the audio packets read since the last frame
  // (appended to what the frame already holds; the caller clears them).
  AudioPackets audio;
  // A sequence's frames missing just before this one.
  std::vector<MissingFrames> missing;

  // With FootageOptions::pictures, for YUV footage shown upright: the decoded
  // picture itself instead of RGBA (at the display aspect, still YUV), and the
  // matrix (AVColorSpace) and range it declares or a player assumes.
  Picture picture;
  int matrix = 0;
  bool fullRange = false;
};

struct FootageOptions {
  std::string path;  // a movie, or a pattern: plate.%04d.png or plate.####.dpx
  TimecodeOrigin timecode = TimecodeOrigin::kAuto;
  // The audio channel LTC is read from, counted over all audio streams; -1:
  // every channel is looked through for LTC that runs true.
  int ltcChannel = -1;
  // Rows bottom first, as OpenGL takes them: turned over by the conversion
  // itself, at no cost.
  bool bottomUp = false;
  // Hand YUV footage shown upright as decoded pictures, not RGBA, for a
  // caller that blends its drawing into the footage's own samples.
  bool pictures = false;
  // An image sequence's rate as given, over what its files' headers say; 0
  // when not given. Movies keep their own.
  int sequenceRateNumerator = 0;
  int sequenceRateDenominator = 1;
  // The rate of a sequence whose headers carry none, when none is given; 0
  // for 24 fps, the film rate.
  int fallbackRateNumerator = 0;
  int fallbackRateDenominator = 1;
  // The footage's colour made fit to review before anything is drawn over it.
  ColourSettings colour;
  // Keep the audio packets read, for a movie that copies or re-encodes them.
  bool audio = false;
  // Told of what is wrong but does not stop the read: a damaged frame.
  std::function<void(const std::string&)> warn;
};

enum class FieldOrder { kProgressive, kTopFirst, kBottomFirst };

// How the footage declares its pictures' colour, for output tagged the same way.
struct ColourTags {
  int matrix = 2;  // AVColorSpace; 2 (unspecified) when the footage declares none
  int range = 0;   // AVColorRange
  int primaries = 2;
  int transfer = 2;
};

class FootageReader {
 public:
  // Opens the footage and settles the timecode origin. Null with pError naming
  // the file and the problem: missing, not media, no video stream, a pattern
  // that matches no file, "ltc" where no channel decodes.
  static std::unique_ptr<FootageReader> Open(const FootageOptions& pOptions, std::string* pError);
  ~FootageReader();
  FootageReader(const FootageReader&) = delete;
  FootageReader& operator=(const FootageReader&) = delete;

  const std::string& Path() const;  // as given, for messages
  bool IsSequence() const;
  // The picture as shown: square pixels, upright.
  int Width() const;
  int Height() const;
  FieldOrder Fields() const;
  // Frames' pts and duration count in this.
  int TimeBaseNumerator() const;
  int TimeBaseDenominator() const;
  // The frame rate as a fraction (30000/1001 for 29.97).
  int RateNumerator() const;
  int RateDenominator() const;
  double FramesPerSecond() const;
  long long FirstNumber() const;  // the first frame's number
  // How many frames the footage declares, from its first number to its last
  // (a sequence's gaps included); -1 when it does not say.
  long long FrameCountHint() const;
  // Whether pPath is one of the footage's own files.
  bool HoldsFile(const std::string& pPath) const;
  // Its audio streams, in the order AudioPackets counts them (with FootageOptions::audio).
  std::vector<AudioStreamInfo> AudioStreams() const;
  // Frames numbered before pNumber are passed over, without decoding where the
  // footage allows; their audio is still read.
  void SkipBefore(long long pNumber);

  // Whether a sequence's rate is the one its first file's header gives.
  bool RateFromHeader() const;

  // The origin settled on (never kAuto), and the first frame's timecode.
  TimecodeOrigin Origin() const;
  // Where the timecode comes from, in words ("LTC on audio channel 2 (stream
  // 1, channel 0)"), or why there is none.
  const std::string& OriginDetail() const;
  const Timecode& FirstTimecode() const;
  // Unspecified where a colour transform makes the pictures display-referred.
  ColourTags Colour() const;
  // What is done to the footage's colour, in words; empty where nothing is.
  const std::string& ColourDetail() const;

  // Whether frames come as decoded pictures (FootageOptions::pictures, YUV
  // footage with no rotation or colour transform), or as RGBA.
  bool HandsPictures() const;

  // The next frame in order into pFrame (its buffer is reused). False at the
  // end with pError empty, or when the footage breaks off, with pError naming
  // the file and the last good frame.
  bool Next(FootageFrame* pFrame, std::string* pError);

 private:
  FootageReader();
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

}  // namespace media

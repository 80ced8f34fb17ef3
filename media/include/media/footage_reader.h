#pragma once
// Reads footage, a movie libavformat opens or an image sequence given as a
// pattern, frame by frame in order, as RGBA pictures with their presentation
// times and timecodes. Memory stays bounded whatever the clip's length.

#include <media/timecode.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

// Rows of a picture, counted from the top.
struct RowSpan {
  int first = 0;
  int count = 0;
};

// One decoded frame, converted to RGBA 8-bit as a player shows it (the
// colour matrix and range the stream declares; BT.709 limited range for HD
// YUV that declares none), top row first unless asked otherwise, rows packed
// (stride = 4 * width).
struct FootageFrame {
  long long number = 0;  // the footage's own: a sequence's file number, a movie's index from 0
  double seconds = 0.0;  // presentation time counted from the footage's first frame
  Timecode timecode;     // of this frame, from the origin the reader settled on
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;

  // With FootageOptions::keepPicture, for 8-bit 4:2:0 YUV footage: the
  // decoded picture itself (the Y, U and V planes, rows packed), the matrix
  // (AVColorSpace) and range it was converted with, and the rows whose RGBA
  // is exact; the others are within 3 code values. Empty exactRows: all exact.
  std::vector<uint8_t> picture;
  int matrix = 0;
  bool fullRange = false;
  std::vector<RowSpan> exactRows;
};

struct FootageOptions {
  std::string path;  // a movie, or a pattern: plate.%04d.png or plate.####.dpx
  TimecodeOrigin timecode = TimecodeOrigin::kAuto;
  int ltcChannel = 0;  // the audio channel LTC is read from, counted over all audio streams
  // Rows bottom first, as OpenGL takes them: turned over by the conversion
  // itself, at no cost.
  bool bottomUp = false;
  // Keep the decoded 4:2:0 picture beside the RGBA, and convert exactly only
  // the rows SetExactRows names: for a caller that puts its own drawing back
  // into the footage's own pixels and needs exact RGB only where it draws.
  bool keepPicture = false;
};

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
  int Width() const;
  int Height() const;
  // The frame rate as a fraction (30000/1001 for 29.97).
  int RateNumerator() const;
  int RateDenominator() const;
  double FramesPerSecond() const;
  long long FirstNumber() const;  // the first frame's number
  // How many frames the container says it holds; -1 when it does not say.
  long long FrameCountHint() const;

  // The origin settled on (never kAuto), and the first frame's timecode.
  TimecodeOrigin Origin() const;
  const Timecode& FirstTimecode() const;
  ColourTags Colour() const;

  // With keepPicture: the rows the next frames convert exactly (with a few
  // rows' margin for the chroma around them); until called, all of them.
  void SetExactRows(const std::vector<RowSpan>& pRows);

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

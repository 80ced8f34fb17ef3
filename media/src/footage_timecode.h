#pragma once
// Timecode counted with libavutil's arithmetic (drop-frame included).

#include <media/timecode.h>

#include <string>

extern "C" {
#include <libavutil/rational.h>
#include <libavutil/timecode.h>
}

namespace media {

// 29.97 or 59.94: the only rates that count drop-frame.
bool IsDropFrameRate(AVRational pRate);

class TimecodeCounter {
 public:
  // "HH:MM:SS:FF", or with ';' or '.' before the frames for drop-frame, which
  // counts drop-frame only at a drop-frame rate. False when the text does not parse.
  bool InitFromString(const std::string& pText, AVRational pRate);
  bool InitFromFields(int pHours, int pMinutes, int pSeconds, int pFrames, bool pDropFrame,
                      AVRational pRate);
  bool IsSet() const { return mSet; }
  // The timecode pOffset frames after the start (before it where negative),
  // wrapping at 24 hours.
  Timecode At(long long pOffset) const;

 private:
  bool Finish(AVRational pRate);

  AVTimecode mTimecode{};
  long long mFramesPerDay = 0;
  bool mSet = false;
};

}  // namespace media

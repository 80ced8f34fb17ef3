#pragma once
// A SMPTE timecode as footage carries it: the four fields, the drop-frame flag
// and the nominal rate it counts in (24 for 23.976, 30 for 29.97).

#include <string>

namespace media {

struct Timecode {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int frames = 0;
  bool dropFrame = false;
  int nominalRate = 0;  // frames counted a second; 0 for an unset timecode

  // "HH:MM:SS:FF", or "HH:MM:SS;FF" for drop-frame.
  std::string ToString() const;
  bool operator==(const Timecode& pOther) const;
  bool operator!=(const Timecode& pOther) const { return !(*this == pOther); }
};

// Where a footage reader takes each frame's timecode from.
enum class TimecodeOrigin {
  kAuto,    // the track or a sequence's header, else LTC if a channel decodes, else none
  kTrack,   // the container's or stream's timecode, counted forward from the first frame
  kLtc,     // SMPTE LTC decoded from an audio channel
  kHeader,  // an image sequence's own, in each file's header (DPX, EXR)
  kNone,    // the footage's own time, from 00:00:00:00
};

// "auto", "track", "ltc", "header", "none"; false for any other text.
bool ParseTimecodeOrigin(const std::string& pText, TimecodeOrigin* pOrigin);
const char* TimecodeOriginName(TimecodeOrigin pOrigin);

}  // namespace media

#include <media/timecode.h>

#include <cstdio>

namespace media {

std::string Timecode::ToString() const {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%02d", hours, minutes, seconds,
                dropFrame ? ';' : ':', frames);
  return text;
}

bool Timecode::operator==(const Timecode& pOther) const {
  return hours == pOther.hours && minutes == pOther.minutes && seconds == pOther.seconds &&
         frames == pOther.frames && dropFrame == pOther.dropFrame &&
         nominalRate == pOther.nominalRate;
}

namespace {
constexpr TimecodeOrigin kOrigins[] = {TimecodeOrigin::kAuto, TimecodeOrigin::kTrack,
                                       TimecodeOrigin::kLtc, TimecodeOrigin::kHeader,
                                       TimecodeOrigin::kNone};
}

bool ParseTimecodeOrigin(const std::string& pText, TimecodeOrigin* pOrigin) {
  for (TimecodeOrigin origin : kOrigins) {
    if (pText == TimecodeOriginName(origin)) {
      *pOrigin = origin;
      return true;
    }
  }
  return false;
}

const char* TimecodeOriginName(TimecodeOrigin pOrigin) {
  switch (pOrigin) {
    case TimecodeOrigin::kAuto:
      return "auto";
    case TimecodeOrigin::kTrack:
      return "track";
    case TimecodeOrigin::kLtc:
      return "ltc";
    case TimecodeOrigin::kHeader:
      return "header";
    case TimecodeOrigin::kNone:
      return "none";
  }
  return "auto";
}

}  // namespace media

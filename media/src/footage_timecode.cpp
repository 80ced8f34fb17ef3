#include "footage_timecode.h"

#include <cmath>
#include <cstdio>

namespace media {
namespace {

// libavutil counts a day's frames in an int.
bool Countable(AVRational pRate) {
  if (pRate.num <= 0 || pRate.den <= 0) return false;
  const double fps = av_q2d(pRate);
  return fps >= 1.0 && fps <= 1000.0;
}

}  // namespace

bool IsDropFrameRate(AVRational pRate) {
  if (pRate.num <= 0 || pRate.den <= 0) return false;
  const double fps = av_q2d(pRate);
  return std::fabs(fps - 30000.0 / 1001.0) < 0.005 || std::fabs(fps - 60000.0 / 1001.0) < 0.005;
}

bool TimecodeCounter::InitFromString(const std::string& pText, AVRational pRate) {
  mSet = false;
  if (!Countable(pRate)) return false;
  std::string text = pText;
  // libavutil refuses a drop-frame separator at other rates; such a source counts every frame.
  if (!IsDropFrameRate(pRate)) {
    for (char& c : text) {
      if (c == ';' || c == '.') c = ':';
    }
  }
  if (av_timecode_init_from_string(&mTimecode, pRate, text.c_str(), nullptr) < 0) return false;
  return Finish(pRate);
}

bool TimecodeCounter::InitFromFields(int pHours, int pMinutes, int pSeconds, int pFrames,
                                     bool pDropFrame, AVRational pRate) {
  mSet = false;
  if (!Countable(pRate)) return false;
  const int flags = pDropFrame && IsDropFrameRate(pRate) ? AV_TIMECODE_FLAG_DROPFRAME : 0;
  if (av_timecode_init_from_components(&mTimecode, pRate, flags, pHours, pMinutes, pSeconds,
                                       pFrames, nullptr) < 0) {
    return false;
  }
  return Finish(pRate);
}

bool TimecodeCounter::Finish(AVRational pRate) {
  mTimecode.flags |= AV_TIMECODE_FLAG_24HOURSMAX;
  // The frames in a day, as libavutil counts them (fewer where drop-frame).
  AVTimecode day{};
  if (av_timecode_init_from_components(&day, pRate, mTimecode.flags, 24, 0, 0, 0, nullptr) < 0 ||
      day.start <= 0) {
    return false;
  }
  mFramesPerDay = day.start;
  mTimecode.start = static_cast<int>(mTimecode.start % mFramesPerDay);
  mSet = true;
  return true;
}

Timecode TimecodeCounter::At(long long pOffset) const {
  Timecode result;
  if (!mSet) return result;
  // Reduce to one day so libavutil's int arithmetic cannot overflow.
  long long frame = (mTimecode.start + pOffset % mFramesPerDay) % mFramesPerDay;
  if (frame < 0) frame += mFramesPerDay;
  char text[AV_TIMECODE_STR_SIZE];
  av_timecode_make_string(&mTimecode, text, static_cast<int>(frame - mTimecode.start));
  char separator = ':';
  if (std::sscanf(text, "%d:%d:%d%c%d", &result.hours, &result.minutes, &result.seconds, &separator,
                  &result.frames) != 5) {
    return Timecode();
  }
  result.dropFrame = (mTimecode.flags & AV_TIMECODE_FLAG_DROPFRAME) != 0;
  result.nominalRate = static_cast<int>(mTimecode.fps);
  return result;
}

}  // namespace media

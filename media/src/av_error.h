#pragma once
// FFmpeg's error codes as text, for messages.

#include <string>

extern "C" {
#include <libavutil/error.h>
}

namespace media {

inline std::string AvErrorText(int pCode) {
  char lText[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(pCode, lText, sizeof(lText));
  return lText;
}

}  // namespace media

#include "media/library_log.h"

extern "C" {
#include <libavutil/log.h>
}

namespace media {

void ShowLibraryErrorsOnly() { av_log_set_level(AV_LOG_ERROR); }

}  // namespace media

#include "media/library_log.h"

extern "C" {
#include <libavutil/log.h>
}

namespace media {

void SetLibraryLog(bool pVerbose) { av_log_set_level(pVerbose ? AV_LOG_WARNING : AV_LOG_QUIET); }

}  // namespace media

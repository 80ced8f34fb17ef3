#include "media/library_log.h"

#include <OpenColorIO/OpenColorIO.h>

extern "C" {
#include <libavutil/log.h>
}

namespace media {

void SetLibraryLog(bool pVerbose) {
  av_log_set_level(pVerbose ? AV_LOG_WARNING : AV_LOG_QUIET);
  OCIO_NAMESPACE::SetLoggingLevel(pVerbose ? OCIO_NAMESPACE::LOGGING_LEVEL_WARNING
                                           : OCIO_NAMESPACE::LOGGING_LEVEL_NONE);
}

}  // namespace media

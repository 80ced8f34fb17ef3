#pragma once
// FFmpeg's libraries print their own notes on standard error (an encoder's
// settings, a muxer's remarks); a command-line program wants their errors only.

namespace media {

void ShowLibraryErrorsOnly();

}  // namespace media

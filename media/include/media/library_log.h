#pragma once
// FFmpeg's libraries and OpenColorIO print their own notes on standard error
// (a demuxer's complaints, an encoder's settings, a config's warnings). A
// command-line program says what went wrong in its own words, so they are
// shown only when asked for.

namespace media {

// pVerbose: the libraries' warnings and errors on standard error; otherwise nothing.
void SetLibraryLog(bool pVerbose);

}  // namespace media

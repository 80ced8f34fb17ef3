#pragma once
// Renders a run of frames through three stages: decoding the footage (its
// own thread), drawing (this thread, which owns the GL context) and writing
// (its own thread), with short bounded queues between them, so both cores
// stay busy and memory does not grow with the clip.

#include <fbhost/offscreen_viewer.h>
#include <fbhost/scene.h>
#include <media/footage_reader.h>

#include <QImage>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "frame_sinks.h"

struct RenderRun {
  fbhost::Scene* scene = nullptr;
  fbhost::OffscreenViewer* viewer = nullptr;
  // With footage: its frames numbered first to last are drawn behind the HUD
  // (every frame when !limited), and pFootageTimecode follows each frame.
  media::FootageReader* footage = nullptr;
  ORSDK2014::FBProperty* footageTimecode = nullptr;
  bool limited = true;
  // The HUD laid out in the viewport and resampled to each footage frame's
  // size (a HUD height other than the footage's).
  bool hudLayer = false;
  long long first = 0;
  long long last = 0;
  FrameSink* sink = nullptr;
  // Frames for a strip: these many, evenly spaced from first to last (over
  // footage of unknown length, from the first to the last there is).
  int stripFrames = 0;
  bool lengthKnown = true;
  // Told of frames missing from the output as they are found.
  std::function<void(const std::string&)> warn;
  const std::atomic<bool>* interrupted = nullptr;
};

// kIncomplete: what there was is written, but frames are missing from it.
enum class RenderOutcome { kDone, kIncomplete, kFailed, kInterrupted };

struct RenderResult {
  RenderOutcome outcome = RenderOutcome::kDone;
  std::string error;
  long long written = 0;
  std::vector<QImage> strip;  // top row first, each at half size
  // CPU seconds of each stage's own thread: decoding (and converting) the
  // footage, drawing and reading back, putting the layer over the footage or
  // resampling it, blending into pictures, handing frames to the encoder.
  double decodeSeconds = 0.0;
  double drawSeconds = 0.0;
  double composeSeconds = 0.0;
  double blendSeconds = 0.0;
  double encodeSeconds = 0.0;
};

RenderResult RenderFrames(const RenderRun& pRun);

// Whether pFrame is one of the pCount frames spaced evenly from pFirst to
// pLast (every frame when there are no more than pCount).
bool InStrip(long long pFrame, long long pFirst, long long pLast, int pCount);

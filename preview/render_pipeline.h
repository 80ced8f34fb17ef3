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
  long long first = 0;
  long long last = 0;
  FrameSink* sink = nullptr;
  // Frames for a strip: these many, evenly spaced from first to last.
  int stripFrames = 0;
  const std::atomic<bool>* interrupted = nullptr;
};

enum class RenderOutcome { kDone, kFailed, kInterrupted };

struct RenderResult {
  RenderOutcome outcome = RenderOutcome::kDone;
  std::string error;
  long long written = 0;
  std::vector<QImage> strip;  // top row first
};

RenderResult RenderFrames(const RenderRun& pRun);

// Whether pFrame is one of the pCount frames spaced evenly from pFirst to
// pLast (every frame when there are no more than pCount).
bool InStrip(long long pFrame, long long pFirst, long long pLast, int pCount);

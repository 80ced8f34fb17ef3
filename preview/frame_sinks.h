#pragma once
// Where rendered frames go: PNG files, or a movie. Frames arrive as OpenGL
// reads them back: RGBA, bottom row first.

#include <media/movie_writer.h>
#include <media/timecode.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame_pattern.h"

struct RenderedFrame {
  long long number = 0;  // the scene's frame, or the footage's own frame number
  double seconds = 0.0;  // the footage frame's presentation time; 0 without footage
  // Its time and length in the footage's time base (without footage, frames).
  long long pts = 0;
  long long duration = 1;
  media::Timecode timecode;
  media::AudioPackets audio;  // the footage's sound read with it
  std::vector<unsigned char> rgba;
  // Its size: the viewport's, or the footage's where the HUD came as a layer.
  int width = 0;
  int height = 0;
  // The HUD as a layer (rgba holding it over black, white the red of it over
  // white, one byte a pixel) at
  // layerWidth x layerHeight, over the footage's own picture (a movie's), or
  // its RGBA (footage; rows bottom first) when the footage is RGB or the
  // output a PNG. ComposeLayer makes rgba the picture a PNG or an RGB movie
  // takes.
  bool layer = false;
  int layerWidth = 0;
  int layerHeight = 0;
  std::vector<unsigned char> white;
  // Per layer row, bottom first: whether it was read back; the others hold
  // nothing. Empty: every row holds the layer.
  std::vector<unsigned char> rowsDrawn;
  std::vector<unsigned char> footage;
  media::Picture picture;
  int matrix = 0;
  bool fullRange = false;
};

// Where the frame has no footage picture to blend into (a PNG, or RGB
// footage), a layer drawn at another size than the frame's resampled to it,
// then put over the footage's RGBA as the viewer would draw it. False when out
// of memory.
bool ComposeLayer(RenderedFrame* pFrame);

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Takes what it writes of the frame (its sound).
  virtual bool Write(RenderedFrame& pFrame, std::string* pError) = 0;
  // After the last frame: completes what was written.
  virtual bool Finish(std::string* pError) = 0;
  // Instead of Finish: removes what is incomplete.
  virtual void Abort() {}
  // CPU seconds the writing thread spent blending layers into pictures and
  // handing frames to an encoder.
  virtual double BlendSeconds() const { return 0.0; }
  // Of the same thread's CPU seconds, those spent resampling layers.
  virtual double ResampleSeconds() const { return 0.0; }
  virtual double EncodeSeconds() const { return 0.0; }
};

// One PNG per frame, named by the pattern, or a single PNG.
std::unique_ptr<FrameSink> MakePngSink(const std::optional<FramePattern>& pPattern,
                                       const std::string& pPath);

// A movie; it opens on the first frame, which gives the timecode track its start.
struct MovieSinkSettings {
  media::MovieOptions options;  // all but the first timecode and the audio's start
  // Told what the writer decided on opening (sound re-encoded).
  std::function<void(const std::string&)> note;
  bool withTimecode = true;
  bool withAudio = false;
};
std::unique_ptr<FrameSink> MakeMovieSink(const MovieSinkSettings& pSettings);

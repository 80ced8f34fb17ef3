#include "frame_sinks.h"

#include <media/layer_resampler.h>

#include <QImage>
#include <QSaveFile>
#include <algorithm>
#include <cstring>

namespace {

class PngSink : public FrameSink {
 public:
  PngSink(const std::optional<FramePattern>& pPattern, const std::string& pPath)
      : mPattern(pPattern), mPath(pPath) {}

  bool Write(RenderedFrame& pFrame, std::string* pError) override {
    const int lWidth = pFrame.width, lHeight = pFrame.height;
    const std::string lPath = mPattern ? mPattern->Format(pFrame.number) : mPath;
    // Opaque: the viewer shows colour, not coverage.
    const QImage lImage = QImage(pFrame.rgba.data(), lWidth, lHeight, QImage::Format_RGBA8888)
                              .mirrored(false, true)
                              .convertToFormat(QImage::Format_RGB888);
    // Through a temporary file, so no partial image is ever left.
    QSaveFile lFile(QString::fromStdString(lPath));
    if (!lImage.isNull() && lFile.open(QIODevice::WriteOnly) && lImage.save(&lFile, "PNG") &&
        lFile.commit()) {
      return true;
    }
    *pError = "cannot write " + lPath + ": " +
              (lImage.isNull() ? std::string("out of memory") : lFile.errorString().toStdString());
    return false;
  }
  bool Finish(std::string*) override { return true; }

 private:
  std::optional<FramePattern> mPattern;
  std::string mPath;
};

class MovieSink : public FrameSink {
 public:
  explicit MovieSink(const MovieSinkSettings& pSettings) : mSettings(pSettings) {}

  bool Write(RenderedFrame& pFrame, std::string* pError) override {
    const int lWidth = pFrame.width, lHeight = pFrame.height;
    if (!mWriter) {
      media::MovieOptions lOptions = mSettings.options;
      lOptions.width = lWidth;
      lOptions.height = lHeight;
      if (mSettings.withTimecode) lOptions.firstTimecode = pFrame.timecode;
      if (!mSettings.withAudio) lOptions.audio.clear();
      if (!pFrame.picture.Empty()) {
        lOptions.layerFormat = pFrame.picture.Format();
        lOptions.layerMatrix = pFrame.matrix;
        lOptions.layerFullRange = pFrame.fullRange;
      }
      lOptions.audioStartSeconds = pFrame.seconds;
      mWriter = media::MovieWriter::Open(lOptions, pError);
      if (!mWriter) return false;
      if (mSettings.note) {
        for (const std::string& lNote : mWriter->Notes()) mSettings.note(lNote);
      }
    }
    mWriter->TakeAudio(std::move(pFrame.audio));
    if (pFrame.layer && !pFrame.picture.Empty()) {
      return mWriter->WriteLayer(pFrame.picture, pFrame.rgba.data(), pFrame.white.data(),
                                 pFrame.layerWidth, pFrame.layerHeight,
                                 pFrame.rowsDrawn.empty() ? nullptr : pFrame.rowsDrawn.data(), true,
                                 pFrame.pts, pFrame.duration, pError);
    }
    return mWriter->Write(pFrame.rgba.data(), lWidth * 4, true, pFrame.pts, pFrame.duration,
                          pError);
  }
  bool Finish(std::string* pError) override {
    if (!mWriter) {
      *pError = "no frame to write to " + mSettings.options.path;
      return false;
    }
    return mWriter->Finish(pError);
  }
  void Abort() override {
    if (mWriter) mWriter->Abort();
  }
  double BlendSeconds() const override { return mWriter ? mWriter->BlendSeconds() : 0.0; }
  double ResampleSeconds() const override { return mWriter ? mWriter->ResampleSeconds() : 0.0; }
  double EncodeSeconds() const override { return mWriter ? mWriter->EncodeSeconds() : 0.0; }

 private:
  MovieSinkSettings mSettings;
  std::unique_ptr<media::MovieWriter> mWriter;
};

}  // namespace

bool ComposeLayer(RenderedFrame* pFrame) {
  // A movie's writer resamples the layer straight to its picture's planes.
  if (!pFrame->layer || !pFrame->picture.Empty()) return true;
  // Kept for the thread that writes, as conversions are costly to set up.
  thread_local media::LayerResampler tResampler;
  if (pFrame->layerWidth != pFrame->width || pFrame->layerHeight != pFrame->height) {
    if (!tResampler.Resample(&pFrame->rgba, &pFrame->white, &pFrame->rowsDrawn, pFrame->layerWidth,
                             pFrame->layerHeight, pFrame->width, pFrame->height)) {
      return false;
    }
    pFrame->layerWidth = pFrame->width;
    pFrame->layerHeight = pFrame->height;
  }
  if (!pFrame->rowsDrawn.empty()) {
    // What follows reads every row: the rows that hold nothing are made clear.
    const size_t lRowBytes = static_cast<size_t>(pFrame->width) * 4;
    for (size_t lRow = 0; lRow < pFrame->rowsDrawn.size(); ++lRow) {
      if (pFrame->rowsDrawn[lRow]) continue;
      std::memset(pFrame->rgba.data() + lRow * lRowBytes, 0, lRowBytes);
      std::memset(pFrame->white.data() + lRow * lRowBytes / 4, 255, lRowBytes / 4);
    }
    pFrame->rowsDrawn.clear();
  }
  // Over the footage's RGB, as blending draws it: over black, plus what of
  // the background shows through.
  const size_t lSize = std::min(pFrame->rgba.size(), pFrame->footage.size());
  for (size_t i = 0; i < lSize; i += 4) {
    const int lShows = std::max(0, pFrame->white[i / 4] - pFrame->rgba[i]);
    for (size_t c = 0; c < 3; ++c) {
      const int lBlack = pFrame->rgba[i + c];
      pFrame->rgba[i + c] = static_cast<unsigned char>(
          std::min(255, lBlack + (lShows * pFrame->footage[i + c] + 127) / 255));
    }
    pFrame->rgba[i + 3] = 255;
  }
  pFrame->layer = false;
  return true;
}

std::unique_ptr<FrameSink> MakePngSink(const std::optional<FramePattern>& pPattern,
                                       const std::string& pPath) {
  return std::make_unique<PngSink>(pPattern, pPath);
}

std::unique_ptr<FrameSink> MakeMovieSink(const MovieSinkSettings& pSettings) {
  return std::make_unique<MovieSink>(pSettings);
}

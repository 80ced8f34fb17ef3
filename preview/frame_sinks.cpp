#include "frame_sinks.h"

#include <QImage>
#include <QSaveFile>

namespace {

class PngSink : public FrameSink {
 public:
  PngSink(const std::optional<FramePattern>& pPattern, const std::string& pPath)
      : mPattern(pPattern), mPath(pPath) {}

  bool Write(RenderedFrame& pFrame, int pWidth, int pHeight, std::string* pError) override {
    const std::string lPath = mPattern ? mPattern->Format(pFrame.number) : mPath;
    // Opaque: the viewer shows colour, not coverage.
    const QImage lImage = QImage(pFrame.rgba.data(), pWidth, pHeight, QImage::Format_RGBA8888)
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

  bool Write(RenderedFrame& pFrame, int pWidth, int pHeight, std::string* pError) override {
    if (!mWriter) {
      media::MovieOptions lOptions = mSettings.options;
      lOptions.width = pWidth;
      lOptions.height = pHeight;
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
    if (!pFrame.picture.Empty()) {
      return mWriter->WriteLayer(pFrame.picture, pFrame.rgba.data(), pFrame.white.data(), true,
                                 pFrame.pts, pFrame.duration, pError);
    }
    return mWriter->Write(pFrame.rgba.data(), pWidth * 4, true, pFrame.pts, pFrame.duration,
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

 private:
  MovieSinkSettings mSettings;
  std::unique_ptr<media::MovieWriter> mWriter;
};

}  // namespace

std::unique_ptr<FrameSink> MakePngSink(const std::optional<FramePattern>& pPattern,
                                       const std::string& pPath) {
  return std::make_unique<PngSink>(pPattern, pPath);
}

std::unique_ptr<FrameSink> MakeMovieSink(const MovieSinkSettings& pSettings) {
  return std::make_unique<MovieSink>(pSettings);
}

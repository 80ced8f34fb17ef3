#include <media/cpu_time.h>
#include <media/layer_resampler.h>
#include <media/movie_writer.h>

#include "audio_output.h"
#include "av_error.h"
#include "layer_blend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/timecode.h>
#include <libswscale/swscale.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace media {

namespace {

constexpr int kScaleFlags = SWS_BICUBIC;

std::string LowerExtension(const std::string& pPath) {
  const size_t slash = pPath.find_last_of('/');
  const size_t dot = pPath.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = pPath.substr(dot);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

const char* MuxerName(const std::string& pPath) {
  const std::string extension = LowerExtension(pPath);
  if (extension == ".mov") return "mov";
  if (extension == ".mp4") return "mp4";
  if (extension == ".mkv") return "matroska";
  return nullptr;
}

// The permissions a newly created file gets; mkstemps makes it 0600. Read
// from /proc rather than with umask(), which would change it for every thread.
mode_t CreationMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "Umask:") == 0) {
      return static_cast<mode_t>(0666 & ~std::strtoul(line.c_str() + 6, nullptr, 8));
    }
  }
  return 0644;
}

bool SameFile(const std::string& pA, const std::string& pB) {
  struct stat a = {};
  struct stat b = {};
  return stat(pA.c_str(), &a) == 0 && stat(pB.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

// Matrices libswscale converts with (its SWS_CS_* values are AVColorSpace's).
bool ConvertibleMatrix(int pMatrix) {
  switch (pMatrix) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
      return true;
    default:
      return false;
  }
}

// The footage's primaries and transfer where it declares them, else BT.709.
// Checked before the cast: an int outside an enumeration's values is no value of it.
AVColorPrimaries OutputPrimaries(int pValue) {
  if (pValue <= AVCOL_PRI_RESERVED0 || pValue == AVCOL_PRI_UNSPECIFIED ||
      pValue == AVCOL_PRI_RESERVED || pValue >= AVCOL_PRI_NB) {
    return AVCOL_PRI_BT709;
  }
  const auto primaries = static_cast<AVColorPrimaries>(pValue);
  return av_color_primaries_name(primaries) ? primaries : AVCOL_PRI_BT709;
}

AVColorTransferCharacteristic OutputTransfer(int pValue) {
  if (pValue <= AVCOL_TRC_RESERVED0 || pValue == AVCOL_TRC_UNSPECIFIED ||
      pValue == AVCOL_TRC_RESERVED || pValue >= AVCOL_TRC_NB) {
    return AVCOL_TRC_BT709;
  }
  const auto transfer = static_cast<AVColorTransferCharacteristic>(pValue);
  return av_color_transfer_name(transfer) ? transfer : AVCOL_TRC_BT709;
}

}  // namespace

bool ParseVideoCodec(const std::string& pText, VideoCodec* pCodec) {
  if (pText == "h264") {
    *pCodec = VideoCodec::kH264;
  } else if (pText == "prores") {
    *pCodec = VideoCodec::kProRes;
  } else if (pText == "ffv1") {
    *pCodec = VideoCodec::kFfv1;
  } else {
    return false;
  }
  return true;
}

bool IsMoviePath(const std::string& pPath) { return MuxerName(pPath) != nullptr; }

bool CanTakeAudio(const std::string& pPath, const std::vector<AudioStreamInfo>& pStreams,
                  AudioMode pMode, std::string* pError) {
  const char* muxer = MuxerName(pPath);
  const AVOutputFormat* format = muxer ? av_guess_format(muxer, nullptr, nullptr) : nullptr;
  if (!format || pMode != AudioMode::kCopy) return true;
  for (const AudioStreamInfo& stream : pStreams) {
    if (!ContainerTakes(format, stream.parameters->codec_id)) {
      *pError = pPath + ": the footage's sound (" + avcodec_get_name(stream.parameters->codec_id) +
                ") cannot be copied into " + format->long_name +
                "; use --audio aac, or another container";
      return false;
    }
  }
  return true;
}

bool ParseAudioMode(const std::string& pText, AudioMode* pMode) {
  if (pText == "copy") {
    *pMode = AudioMode::kCopy;
  } else if (pText == "aac") {
    *pMode = AudioMode::kAac;
  } else if (pText == "none") {
    *pMode = AudioMode::kNone;
  } else {
    return false;
  }
  return true;
}

struct MovieWriter::Impl {
  std::string path;
  std::string temporary;
  AVFormatContext* muxer = nullptr;
  AVCodecContext* encoder = nullptr;
  AVStream* video = nullptr;
  SwsContext* scaler = nullptr;
  SwsContext* reformat = nullptr;  // footage pictures to the movie's pixel format
  bool layer = false;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  AudioOutput audio;
  std::vector<std::string> notes;
  AVRational timeBase{1, 25};
  int width = 0;
  int height = 0;
  int64_t written = 0;   // frames sent to the encoder
  int64_t firstPts = 0;  // the first frame's, on the footage's clock
  int64_t lastPts = -1;  // the last frame's, in the movie
  int64_t endPts = 0;    // where the last frame ends, in the movie
  double audioStartSeconds = 0.0;
  double blendSeconds = 0.0;
  double resampleSeconds = 0.0;
  // A layer drawn at another size than the movie's, resampled to it.
  LayerResampler resampler;
  std::vector<uint8_t> layerBlack, layerWhite, layerRows;
  bool CannotResample(int pWidth, int pHeight, std::string* pError) const {
    *pError = path + ": cannot resample a " + std::to_string(pWidth) + "x" +
              std::to_string(pHeight) + " layer to the movie's size";
    return false;
  }
  double encodeSeconds = 0.0;
  bool open = false;  // the file's header is written and it takes frames
  bool finished = false;

  ~Impl() {
    Abort();
    sws_freeContext(scaler);
    sws_freeContext(reformat);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&encoder);
  }

  bool CanTake(const uint8_t* pRgba, int pStride, std::string* pError);
  // A whole RGBA picture into the frame.
  bool Convert(const uint8_t* pRgba, int pStride, bool pBottomUp);
  bool Send(AVFrame* pFrame, long long pPts, long long pDuration, std::string* pError);

  // The conversion matches the tags: libswscale would otherwise use BT.601.
  void SetColourDetails(SwsContext* pScaler) const {
    const int* table = sws_getCoefficients(encoder->colorspace);
    sws_setColorspaceDetails(pScaler, table, 1, table, encoder->color_range == AVCOL_RANGE_JPEG, 0,
                             1 << 16, 1 << 16);
  }

  void CloseMuxer() {
    if (!muxer) return;
    avio_closep(&muxer->pb);
    avformat_free_context(muxer);
    muxer = nullptr;
  }

  void Abort() {
    open = false;
    CloseMuxer();
    if (!finished && !temporary.empty()) unlink(temporary.c_str());
  }

  bool Setup(const MovieOptions& pOptions, std::string* pError);
  bool SetupEncoder(const MovieOptions& pOptions, std::string* pError);
  bool Drain(std::string* pError);
};

bool MovieWriter::Impl::SetupEncoder(const MovieOptions& pOptions, std::string* pError) {
  const char* name = "libx264";
  AVPixelFormat format = AV_PIX_FMT_YUV420P;
  const AVPixelFormat footage = static_cast<AVPixelFormat>(pOptions.layerFormat);
  const AVPixFmtDescriptor* footageDescriptor = layer ? av_pix_fmt_desc_get(footage) : nullptr;
  if (pOptions.codec == VideoCodec::kProRes) {
    name = "prores_ks";
    // 4:4:4 footage keeps its chroma (4444); all else is 422 HQ, 10 bits.
    format = footageDescriptor && footageDescriptor->log2_chroma_w == 0 &&
                     footageDescriptor->log2_chroma_h == 0
                 ? AV_PIX_FMT_YUV444P10
                 : AV_PIX_FMT_YUV422P10;
  } else if (pOptions.codec == VideoCodec::kFfv1) {
    name = "ffv1";
    // The footage's own samples where FFV1 stores them; otherwise RGB itself,
    // lossless with nothing but a byte shuffle from RGBA.
    format = AV_PIX_FMT_BGR0;
    const AVCodec* ffv1 = avcodec_find_encoder_by_name(name);
    for (const AVPixelFormat* f = ffv1 && layer ? ffv1->pix_fmts : nullptr;
         f && *f != AV_PIX_FMT_NONE; ++f) {
      if (*f == footage) format = footage;
    }
    if (layer && format != footage) format = AV_PIX_FMT_YUV444P16;
  }
  if (format != AV_PIX_FMT_BGR0 && width % 2 != 0) {
    *pError = path + ": " + name + " needs an even width (" + std::to_string(width) + ")";
    return false;
  }
  if (format == AV_PIX_FMT_YUV420P && height % 2 != 0) {
    *pError = path + ": " + name + " needs an even height (" + std::to_string(height) + ")";
    return false;
  }
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (!codec) {
    *pError = std::string("this FFmpeg has no ") + name + " encoder";
    return false;
  }
  if (!ContainerTakes(muxer->oformat, codec->id)) {
    *pError = path + ": " + codec->long_name + " cannot go in " + muxer->oformat->long_name +
              "; choose another container";
    return false;
  }
  encoder = avcodec_alloc_context3(codec);
  if (!encoder) {
    *pError = "out of memory";
    return false;
  }
  encoder->width = width;
  encoder->height = height;
  encoder->pix_fmt = format;
  encoder->sample_aspect_ratio = AVRational{1, 1};
  encoder->time_base = timeBase;
  encoder->framerate = AVRational{pOptions.rateNumerator, pOptions.rateDenominator};
  encoder->thread_count = 0;

  const ColourTags& in = pOptions.colour;
  const bool rgb = format == AV_PIX_FMT_BGR0;
  encoder->colorspace =
      rgb ? AVCOL_SPC_RGB
          : (ConvertibleMatrix(in.matrix) ? static_cast<AVColorSpace>(in.matrix) : AVCOL_SPC_BT709);
  encoder->color_range = rgb ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  if (layer) {
    // The footage's samples go out as they are: so do their matrix and range.
    encoder->colorspace = ConvertibleMatrix(pOptions.layerMatrix)
                              ? static_cast<AVColorSpace>(pOptions.layerMatrix)
                              : AVCOL_SPC_BT709;
    encoder->color_range = pOptions.layerFullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  }
  encoder->color_primaries = OutputPrimaries(in.primaries);
  encoder->color_trc = OutputTransfer(in.transfer);
  if (muxer->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  // Fields stay fields: coded as such where the codec can, and flagged, so
  // players deinterlace the movie as they do the footage.
  if (pOptions.fields != FieldOrder::kProgressive) {
    encoder->field_order = pOptions.fields == FieldOrder::kTopFirst ? AV_FIELD_TT : AV_FIELD_BB;
    if (pOptions.codec != VideoCodec::kFfv1)
      encoder->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
  }

  AVDictionary* settings = nullptr;
  if (pOptions.codec == VideoCodec::kH264) {
    av_dict_set_int(&settings, "crf", pOptions.crf, 0);
    // x264 opens top field first and only reorders its fields per frame: its
    // picture timing would still say top first for bottom-first footage.
    if (pOptions.fields != FieldOrder::kProgressive)
      av_dict_set(&settings, "x264-params",
                  pOptions.fields == FieldOrder::kTopFirst ? "tff=1" : "bff=1", 0);
  } else if (pOptions.codec == VideoCodec::kProRes) {
    av_dict_set(&settings, "profile", "hq", 0);
  } else {
    // Version 3: sliced (so threaded) and with a checksum per slice, as archives want.
    av_dict_set(&settings, "level", "3", 0);
    av_dict_set(&settings, "slicecrc", "1", 0);
    encoder->gop_size = 1;
  }
  const int result = avcodec_open2(encoder, codec, &settings);
  av_dict_free(&settings);
  if (result < 0) {
    *pError = std::string("cannot open the ") + name + " encoder: " + AvErrorText(result);
    return false;
  }

  scaler = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, format, kScaleFlags,
                          nullptr, nullptr, nullptr);
  if (!scaler) {
    *pError = "cannot convert RGBA to " + std::string(av_get_pix_fmt_name(format));
    return false;
  }
  SetColourDetails(scaler);

  frame = av_frame_alloc();
  packet = av_packet_alloc();
  if (!frame || !packet) {
    *pError = "out of memory";
    return false;
  }
  frame->format = format;
  frame->width = width;
  frame->height = height;
  frame->color_range = encoder->color_range;
  frame->colorspace = encoder->colorspace;
  frame->color_primaries = encoder->color_primaries;
  frame->color_trc = encoder->color_trc;
  frame->sample_aspect_ratio = encoder->sample_aspect_ratio;
  frame->interlaced_frame = pOptions.fields != FieldOrder::kProgressive;
  frame->top_field_first = pOptions.fields == FieldOrder::kTopFirst;
  if (av_frame_get_buffer(frame, 0) < 0) {
    *pError = "out of memory";
    return false;
  }
  return true;
}

bool MovieWriter::Impl::Setup(const MovieOptions& pOptions, std::string* pError) {
  path = pOptions.path;
  layer = pOptions.layerFormat >= 0;
  width = pOptions.width;
  height = pOptions.height;
  const char* muxerName = MuxerName(path);
  if (!muxerName) {
    *pError = path + ": not a movie name (.mov, .mp4 or .mkv)";
    return false;
  }
  if (width <= 0 || height <= 0 || pOptions.rateNumerator <= 0 || pOptions.rateDenominator <= 0) {
    *pError = path + ": no picture size or frame rate";
    return false;
  }
  timeBase = pOptions.timeBaseNumerator > 0 && pOptions.timeBaseDenominator > 0
                 ? AVRational{pOptions.timeBaseNumerator, pOptions.timeBaseDenominator}
                 : AVRational{pOptions.rateDenominator, pOptions.rateNumerator};
  audioStartSeconds = pOptions.audioStartSeconds;
  if (!pOptions.footagePath.empty() && SameFile(path, pOptions.footagePath)) {
    *pError = path + ": is the footage itself; choose another output";
    return false;
  }
  char timecode[AV_TIMECODE_STR_SIZE] = {};
  if (pOptions.firstTimecode.nominalRate > 0) {
    const Timecode& tc = pOptions.firstTimecode;
    std::snprintf(timecode, sizeof(timecode), "%02d:%02d:%02d%c%02d", tc.hours, tc.minutes,
                  tc.seconds, tc.dropFrame ? ';' : ':', tc.frames);
    // The muxer counts the track at the video's rate, and would drop a
    // timecode it cannot count with a warning only.
    const AVRational rate{pOptions.rateNumerator, pOptions.rateDenominator};
    AVTimecode check;
    if (tc.hours < 0 || tc.minutes < 0 || tc.minutes > 59 || tc.seconds < 0 || tc.seconds > 59 ||
        tc.frames < 0 || tc.frames >= tc.nominalRate ||
        av_timecode_init_from_string(&check, rate, timecode, nullptr) < 0 ||
        static_cast<int>(check.fps) != tc.nominalRate) {
      *pError = path + ": timecode " + timecode + " (" + std::to_string(tc.nominalRate) +
                " frames a second) does not fit a movie at " + std::to_string(av_q2d(rate)) +
                " frames a second";
      return false;
    }
  }

  // A hidden name beside the output, keeping its extension.
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string extension = LowerExtension(base);
  std::string pattern = folder + "." + base.substr(0, base.size() - extension.size()) + ".XXXXXX" +
                        base.substr(base.size() - extension.size());
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = mkstemps(name.data(), static_cast<int>(extension.size()));
  if (descriptor < 0) {
    *pError = path + ": cannot create a file in its folder: " + std::strerror(errno);
    return false;
  }
  temporary = name.data();
  fchmod(descriptor, CreationMode());
  close(descriptor);

  int result = avformat_alloc_output_context2(&muxer, nullptr, muxerName, temporary.c_str());
  if (result < 0) {
    *pError = path + ": " + AvErrorText(result);
    return false;
  }
  if (!SetupEncoder(pOptions, pError)) return false;

  video = avformat_new_stream(muxer, nullptr);
  if (!video) {
    *pError = "out of memory";
    return false;
  }
  result = avcodec_parameters_from_context(video->codecpar, encoder);
  if (result < 0) {
    *pError = path + ": " + AvErrorText(result);
    return false;
  }
  video->time_base = encoder->time_base;
  video->avg_frame_rate = encoder->framerate;
  video->r_frame_rate = encoder->framerate;
  // MOV and MP4 make a timecode track of it; Matroska keeps it as a tag.
  if (timecode[0] != '\0') av_dict_set(&video->metadata, "timecode", timecode, 0);

  if (!pOptions.audio.empty() && !audio.Open(pOptions.audio, pOptions.audioMode,
                                             pOptions.audioStartSeconds, muxer, &notes, pError)) {
    *pError = path + ": " + *pError;
    return false;
  }

  // "file:" so that no part of the name is read as a protocol.
  result = avio_open(&muxer->pb, ("file:" + temporary).c_str(), AVIO_FLAG_WRITE);
  if (result < 0) {
    *pError = path + ": cannot write " + temporary + ": " + AvErrorText(result);
    return false;
  }
  result = avformat_write_header(muxer, nullptr);
  if (result < 0) {
    *pError = path + ": cannot start the movie: " + AvErrorText(result);
    return false;
  }
  open = true;
  return true;
}

bool MovieWriter::Impl::Drain(std::string* pError) {
  for (;;) {
    int result = avcodec_receive_packet(encoder, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) {
      *pError = path + ": cannot encode: " + AvErrorText(result);
      return false;
    }
    av_packet_rescale_ts(packet, encoder->time_base, video->time_base);
    packet->stream_index = video->index;
    result = av_interleaved_write_frame(muxer, packet);
    if (result < 0) {
      *pError = path + ": cannot write: " + AvErrorText(result);
      return false;
    }
  }
}

MovieWriter::MovieWriter() : mImpl(new Impl) {}

MovieWriter::~MovieWriter() = default;

std::unique_ptr<MovieWriter> MovieWriter::Open(const MovieOptions& pOptions, std::string* pError) {
  std::unique_ptr<MovieWriter> writer(new MovieWriter);
  if (!writer->mImpl->Setup(pOptions, pError)) return nullptr;
  return writer;
}

bool MovieWriter::Impl::CanTake(const uint8_t* pRgba, int pStride, std::string* pError) {
  if (!open) {
    *pError = path + ": the movie is closed";
    return false;
  }
  if (!pRgba || pStride < 4 * width) {
    *pError = path + ": a frame needs " + std::to_string(width) + " RGBA pixels a row";
    return false;
  }
  // Only copies when the encoder still holds the previous picture.
  const int result = av_frame_make_writable(frame);
  if (result < 0) {
    *pError = path + ": " + AvErrorText(result);
    return false;
  }
  return true;
}

bool MovieWriter::Impl::Send(AVFrame* pFrame, long long pPts, long long pDuration,
                             std::string* pError) {
  const double started = ThreadCpuSeconds();
  struct Count {
    double started;
    double* total;
    ~Count() { *total += ThreadCpuSeconds() - started; }
  } count{started, &encodeSeconds};
  if (written == 0) firstPts = pPts;
  // The footage's own time; a time repeated or gone back still moves on.
  int64_t pts = pPts - firstPts;
  if (pts <= lastPts) pts = lastPts + 1;
  lastPts = pts;
  endPts = pts + std::max<long long>(pDuration, 1);
  pFrame->pts = pts;
  // Flagged as the movie is: a footage picture keeps its own props otherwise.
  pFrame->interlaced_frame = frame->interlaced_frame;
  pFrame->top_field_first = frame->top_field_first;
  pFrame->color_range = encoder->color_range;
  pFrame->colorspace = encoder->colorspace;
  pFrame->color_primaries = encoder->color_primaries;
  pFrame->color_trc = encoder->color_trc;
  pFrame->sample_aspect_ratio = encoder->sample_aspect_ratio;
  pFrame->pict_type = AV_PICTURE_TYPE_NONE;
  const int result = avcodec_send_frame(encoder, pFrame);
  if (result < 0) {
    *pError = path + ": cannot encode: " + AvErrorText(result);
    return false;
  }
  ++written;
  if (!Drain(pError)) return false;
  return audio.WriteUntil(pts * av_q2d(timeBase), false, pError);
}

bool MovieWriter::Impl::Convert(const uint8_t* pRgba, int pStride, bool pBottomUp) {
  // Read upwards in memory when the bottom row comes first.
  const uint8_t* source =
      pRgba +
      (pBottomUp ? static_cast<ptrdiff_t>(height - 1) * static_cast<ptrdiff_t>(pStride) : 0);
  const int stride = pBottomUp ? -pStride : pStride;
  return sws_scale(scaler, &source, &stride, 0, height, frame->data, frame->linesize) == height;
}

const std::vector<std::string>& MovieWriter::Notes() const { return mImpl->notes; }
double MovieWriter::BlendSeconds() const { return mImpl->blendSeconds; }
double MovieWriter::ResampleSeconds() const { return mImpl->resampleSeconds; }
double MovieWriter::EncodeSeconds() const { return mImpl->encodeSeconds; }

void MovieWriter::TakeAudio(AudioPackets&& pPackets) { mImpl->audio.Take(std::move(pPackets)); }

bool MovieWriter::Write(const uint8_t* pRgba, int pStride, bool pBottomUp, long long pPts,
                        long long pDuration, std::string* pError) {
  Impl& impl = *mImpl;
  if (!impl.CanTake(pRgba, pStride, pError)) return false;
  if (!impl.Convert(pRgba, pStride, pBottomUp)) {
    *pError = impl.path + ": cannot convert a frame";
    return false;
  }
  return impl.Send(impl.frame, pPts, pDuration, pError);
}

bool MovieWriter::WriteLayer(Picture& pFootage, const uint8_t* pOverBlack,
                             const uint8_t* pOverWhite, int pLayerWidth, int pLayerHeight,
                             const uint8_t* pRowsDrawn, bool pBottomUp, long long pPts,
                             long long pDuration, std::string* pError) {
  Impl& impl = *mImpl;
  if (!impl.open || !impl.layer) {
    *pError = impl.path + (impl.open ? ": takes no layered frames" : ": the movie is closed");
    return false;
  }
  AVFrame* source = pFootage.Frame();
  if (pFootage.Empty() || source->width != impl.width || source->height != impl.height) {
    *pError = impl.path + ": a footage picture is not " + std::to_string(impl.width) + "x" +
              std::to_string(impl.height);
    return false;
  }
  const double started = ThreadCpuSeconds();
  AVFrame* target = source;
  if (source->format != impl.encoder->pix_fmt) {
    // Another depth or subsampling: from YUV to YUV, the range kept.
    impl.reformat = sws_getCachedContext(
        impl.reformat, impl.width, impl.height, static_cast<AVPixelFormat>(source->format),
        impl.width, impl.height, impl.encoder->pix_fmt,
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    const int full = impl.encoder->color_range == AVCOL_RANGE_JPEG;
    const int* table = sws_getCoefficients(impl.encoder->colorspace);
    if (!impl.reformat || av_frame_make_writable(impl.frame) < 0 ||
        sws_setColorspaceDetails(impl.reformat, table, full, table, full, 0, 1 << 16, 1 << 16) <
            0 ||
        sws_scale(impl.reformat, source->data, source->linesize, 0, impl.height, impl.frame->data,
                  impl.frame->linesize) != impl.height) {
      *pError = impl.path + ": cannot convert a footage picture";
      return false;
    }
    target = impl.frame;
  } else if (!av_frame_is_writable(source)) {
    // Into the writer's own frame rather than the decoder's, which it still
    // holds as a reference: a buffer used again is not fresh memory to fault
    // in on every frame.
    while (impl.frame->nb_side_data > 0)
      av_frame_remove_side_data(impl.frame, impl.frame->side_data[0]->type);
    if (av_frame_make_writable(impl.frame) < 0 || av_frame_copy(impl.frame, source) < 0 ||
        av_frame_copy_props(impl.frame, source) < 0) {
      *pError = impl.path + ": out of memory";
      return false;
    }
    target = impl.frame;
  }
  const int matrix = impl.encoder->colorspace;
  const bool fullRange = impl.encoder->color_range == AVCOL_RANGE_JPEG;
  bool blended = false;
  double resampling = 0.0;
  const AVPixFmtDescriptor* format =
      av_pix_fmt_desc_get(static_cast<AVPixelFormat>(target->format));
  const bool resized = pLayerWidth != impl.width || pLayerHeight != impl.height;
  if (resized && format && AV_CEIL_RSHIFT(impl.width, format->log2_chroma_w) == pLayerWidth &&
      AV_CEIL_RSHIFT(impl.height, format->log2_chroma_h) == pLayerHeight) {
    // Chroma the layer's own size (4:2:0 under a HUD laid out at half the
    // lines, as at 2160): luma's planes resampled, chroma's taken as drawn.
    LayerPlanes planes;
    planes.bottomUp = pBottomUp;
    const double resampleStarted = ThreadCpuSeconds();
    const bool resampled =
        impl.resampler.ResampleToPlanes(pOverBlack, pOverWhite, pRowsDrawn, pLayerWidth,
                                        pLayerHeight, impl.width, impl.height, &planes);
    resampling = ThreadCpuSeconds() - resampleStarted;
    if (!resampled) return impl.CannotResample(pLayerWidth, pLayerHeight, pError);
    blended = BlendLayerPlanes(target, planes, matrix, fullRange);
  } else {
    LayerRows rows;
    rows.overBlack = pOverBlack;
    rows.overWhite = pOverWhite;
    rows.bottomUp = pBottomUp;
    rows.rowsDrawn = pRowsDrawn;
    if (resized) {
      // Resampled whole to the picture's size, chroma then taken from it.
      const size_t pixels = static_cast<size_t>(pLayerWidth) * pLayerHeight;
      impl.layerBlack.assign(pOverBlack, pOverBlack + 4 * pixels);
      impl.layerWhite.assign(pOverWhite, pOverWhite + pixels);
      if (pRowsDrawn) {
        impl.layerRows.assign(pRowsDrawn, pRowsDrawn + pLayerHeight);
      } else {
        impl.layerRows.clear();
      }
      const double resampleStarted = ThreadCpuSeconds();
      const bool resampled =
          impl.resampler.Resample(&impl.layerBlack, &impl.layerWhite, &impl.layerRows, pLayerWidth,
                                  pLayerHeight, impl.width, impl.height);
      resampling = ThreadCpuSeconds() - resampleStarted;
      if (!resampled) return impl.CannotResample(pLayerWidth, pLayerHeight, pError);
      rows.overBlack = impl.layerBlack.data();
      rows.overWhite = impl.layerWhite.data();
      rows.rowsDrawn = impl.layerRows.data();
    }
    blended = BlendLayer(target, rows, matrix, fullRange);
  }
  impl.resampleSeconds += resampling;
  impl.blendSeconds += ThreadCpuSeconds() - started - resampling;
  if (!blended) {
    *pError = impl.path + ": cannot blend into " +
              av_get_pix_fmt_name(static_cast<AVPixelFormat>(target->format));
    return false;
  }
  return impl.Send(target, pPts, pDuration, pError);
}

bool MovieWriter::Finish(std::string* pError) {
  Impl& impl = *mImpl;
  if (!impl.open) {
    *pError = impl.path + ": the movie is closed";
    return false;
  }
  impl.open = false;
  int result = avcodec_send_frame(impl.encoder, nullptr);
  if (result < 0) {
    *pError = impl.path + ": cannot encode: " + AvErrorText(result);
    return false;
  }
  if (!impl.Drain(pError)) return false;
  if (!impl.audio.WriteUntil(impl.endPts * av_q2d(impl.timeBase), true, pError)) return false;
  result = av_write_trailer(impl.muxer);
  if (result < 0) {
    *pError = impl.path + ": cannot finish the movie: " + AvErrorText(result);
    return false;
  }
  const int writeError = impl.muxer->pb->error;
  result = avio_closep(&impl.muxer->pb);
  if (writeError < 0 || result < 0) {
    *pError = impl.path + ": cannot write: " + AvErrorText(writeError < 0 ? writeError : result);
    return false;
  }
  impl.CloseMuxer();
  if (std::rename(impl.temporary.c_str(), impl.path.c_str()) != 0) {
    *pError =
        impl.path + ": cannot rename " + impl.temporary + " into place: " + std::strerror(errno);
    return false;
  }
  impl.finished = true;
  return true;
}

void MovieWriter::Abort() { mImpl->Abort(); }

const std::string& MovieWriter::TemporaryPath() const { return mImpl->temporary; }

}  // namespace media

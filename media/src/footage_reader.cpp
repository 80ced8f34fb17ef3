#include <media/footage_reader.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <map>
#include <system_error>

#include "av_error.h"
#include "footage_sequence.h"
#include "footage_timecode.h"
#include "ltc_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace media {
namespace {

// Exact to the code value: chroma interpolated at full horizontal resolution,
// rounding at every step.
constexpr int kExactFlags = SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;

// Conversions kept for bands of rows, one for each height.
constexpr size_t kMostBandScalers = 16;

// Audio read at opening, looking for LTC when the origin is "auto" or "ltc".
constexpr double kLtcProbeSeconds = 5.0;

// A rate near a standard one (29.97002997 measured as 2997/100) becomes it exactly.
AVRational StandardRate(AVRational pRate) {
  if (pRate.num <= 0 || pRate.den <= 0) return AVRational{25, 1};
  const double fps = av_q2d(pRate);
  for (int nominal : {24, 25, 30, 48, 50, 60, 96, 100, 120}) {
    if (std::fabs(fps - nominal) < nominal * 5e-4) return AVRational{nominal, 1};
    const double ntsc = nominal * 1000.0 / 1001.0;
    if (nominal % 24 == 0 || nominal % 30 == 0) {
      if (std::fabs(fps - ntsc) < nominal * 5e-5) return AVRational{nominal * 1000, 1001};
    }
  }
  return pRate;
}

// The deprecated full-range formats, as the formats they alias with the range they imply.
AVPixelFormat WithoutJpegRange(AVPixelFormat pFormat, bool* pFullRange) {
  switch (pFormat) {
    case AV_PIX_FMT_YUVJ420P:
      *pFullRange = true;
      return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
      *pFullRange = true;
      return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
      *pFullRange = true;
      return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
      *pFullRange = true;
      return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
      *pFullRange = true;
      return AV_PIX_FMT_YUV411P;
    default:
      return pFormat;
  }
}

}  // namespace

struct FootageReader::Impl {
  FootageOptions options;
  AVFormatContext* format = nullptr;
  AVCodecContext* decoder = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* scaler = nullptr;
  // With keepPicture: the quick whole-frame conversion and exact ones by band height.
  SwsContext* quickScaler = nullptr;
  std::map<int, SwsContext*> bandScalers;
  bool allRowsExact = true;
  std::vector<RowSpan> exactRows;
  int scalerWidth = 0, scalerHeight = 0, scalerFormat = -1, scalerMatrix = -1, scalerRange = -1;
  int videoIndex = -1;
  AVStream* stream = nullptr;
  AVRational rate{25, 1};
  bool sequence = false;
  long long firstNumber = 0;
  long long countHint = -1;
  long long declaredFrames = -1;  // for telling a clip that breaks off from one that ends
  int64_t firstPts = AV_NOPTS_VALUE;
  double firstSeconds = 0.0;  // the first frame's time in the file
  long long lastIndex = -1;
  bool pending = false;  // frame holds a decoded frame not yet returned
  bool draining = false;
  bool ended = false;
  std::string breakReason;  // why the footage stopped before its end
  std::string endError;
  TimecodeOrigin origin = TimecodeOrigin::kNone;
  Timecode firstTimecode;
  TimecodeCounter counter;  // track and none
  std::unique_ptr<LtcReader> ltc;

  ~Impl() {
    sws_freeContext(scaler);
    FreeBandScalers();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
  }

  const std::string& Path() const { return options.path; }

  // The next decoded frame into frame: 1, or 0 at the end (breakReason set where it broke off).
  int Decode() {
    for (;;) {
      int result = avcodec_receive_frame(decoder, frame);
      if (result == 0) return 1;
      if (result == AVERROR_EOF) return 0;
      if (result != AVERROR(EAGAIN)) {
        if (draining) return 0;
        Stop("a frame does not decode (" + AvErrorText(result) + ")");
        continue;
      }
      if (draining) return 0;
      result = av_read_frame(format, packet);
      if (result < 0) {
        if (result != AVERROR_EOF) {
          Stop(AvErrorText(result));
        } else if (format->pb && format->pb->error < 0) {
          Stop(AvErrorText(format->pb->error));
        } else {
          Stop("");
        }
        continue;
      }
      if (packet->stream_index != videoIndex) {
        av_packet_unref(packet);
        continue;
      }
      if (packet->flags & AV_PKT_FLAG_CORRUPT) {
        av_packet_unref(packet);
        Stop("the data is cut short or corrupt");
        continue;
      }
      result = avcodec_send_packet(decoder, packet);
      av_packet_unref(packet);
      if (result < 0 && result != AVERROR(EAGAIN)) {
        Stop("a frame does not decode (" + AvErrorText(result) + ")");
      }
    }
  }

  // No more packets: what the decoder holds still comes out.
  void Stop(const std::string& pReason) {
    if (breakReason.empty()) breakReason = pReason;
    draining = true;
    avcodec_send_packet(decoder, nullptr);
  }

  static int64_t PtsOf(const AVFrame* pFrame) {
    return pFrame->best_effort_timestamp != AV_NOPTS_VALUE ? pFrame->best_effort_timestamp
                                                           : pFrame->pts;
  }

  long long IndexOf(const AVFrame* pFrame) const {
    const int64_t pts = PtsOf(pFrame);
    if (pts == AV_NOPTS_VALUE || firstPts == AV_NOPTS_VALUE) return lastIndex + 1;
    const int64_t index = av_rescale_q_rnd(pts - firstPts, stream->time_base, av_inv_q(rate),
                                           static_cast<AVRounding>(AV_ROUND_NEAR_INF));
    // Frames come in order: a repeated or earlier time still takes the next number.
    return index > lastIndex ? index : lastIndex + 1;
  }

  double SecondsOf(long long pIndex) const {
    return static_cast<double>(pIndex) * rate.den / rate.num;
  }

  // Presentation time from the first frame's.
  double SecondsOf(const AVFrame* pFrame, long long pIndex) const {
    const int64_t pts = PtsOf(pFrame);
    if (pts == AV_NOPTS_VALUE || firstPts == AV_NOPTS_VALUE) return SecondsOf(pIndex);
    return (pts - firstPts) * av_q2d(stream->time_base);
  }

  bool TimecodeOf(long long pIndex, double pSeconds, Timecode* pTimecode) {
    if (origin != TimecodeOrigin::kLtc) {
      *pTimecode = counter.At(pIndex);
      return true;
    }
    // The LTC frame running at the video frame's midpoint.
    const double midpoint = firstSeconds + pSeconds + 0.5 * rate.den / rate.num;
    return ltc->At(midpoint, pTimecode);
  }

  void FreeBandScalers() {
    sws_freeContext(quickScaler);
    quickScaler = nullptr;
    for (auto& lBand : bandScalers) sws_freeContext(lBand.second);
    bandScalers.clear();
  }

  // A conversion like the whole frame's, for pWidth x pHeight.
  SwsContext* MakeScaler(int pWidth, int pHeight, AVPixelFormat pFormat, int pFlags) const {
    SwsContext* lScaler = sws_getContext(pWidth, pHeight, pFormat, pWidth, pHeight, AV_PIX_FMT_RGBA,
                                         pFlags, nullptr, nullptr, nullptr);
    if (lScaler) {
      sws_setColorspaceDetails(lScaler, sws_getCoefficients(scalerMatrix), scalerRange ? 1 : 0,
                               sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    return lScaler;
  }

  // The 4:2:0 picture kept, converted quickly as a whole and exactly in the
  // rows asked for. False when the frame is of another kind.
  bool ConvertKept(const AVFrame* pFrame, AVPixelFormat pFormat, FootageFrame* pOut, uint8_t* pRgba,
                   int pRgbaStride) {
    if (pFormat != AV_PIX_FMT_YUV420P || pFrame->width % 2 || pFrame->height % 2) return false;
    const int lW = pFrame->width, lH = pFrame->height;
    const size_t lLuma = static_cast<size_t>(lW) * lH;
    pOut->picture.resize(lLuma * 3 / 2);
    av_image_copy_plane(pOut->picture.data(), lW, pFrame->data[0], pFrame->linesize[0], lW, lH);
    av_image_copy_plane(pOut->picture.data() + lLuma, lW / 2, pFrame->data[1], pFrame->linesize[1],
                        lW / 2, lH / 2);
    av_image_copy_plane(pOut->picture.data() + lLuma * 5 / 4, lW / 2, pFrame->data[2],
                        pFrame->linesize[2], lW / 2, lH / 2);
    pOut->matrix = scalerMatrix;
    pOut->fullRange = scalerRange != 0;
    if (allRowsExact) {
      pOut->exactRows.clear();
      return sws_scale(scaler, pFrame->data, pFrame->linesize, 0, lH, &pRgba, &pRgbaStride) == lH;
    }
    if (!quickScaler) quickScaler = MakeScaler(lW, lH, pFormat, SWS_BILINEAR);
    if (!quickScaler ||
        sws_scale(quickScaler, pFrame->data, pFrame->linesize, 0, lH, &pRgba, &pRgbaStride) != lH)
      return false;
    pOut->exactRows.clear();
    for (const RowSpan& lSpan : exactRows) {
      // Whole chroma rows, with two more luma rows each side for the chroma's filter.
      const int lFirst = std::max(0, (lSpan.first - 2) & ~1);
      const int lEnd = std::min(lH, (lSpan.first + lSpan.count + 3) & ~1);
      if (lEnd <= lFirst) continue;
      // Bands move with keyed drawing: keep a few heights, not every one met.
      if (bandScalers.size() >= kMostBandScalers && !bandScalers.count(lEnd - lFirst)) {
        for (auto& lOld : bandScalers) sws_freeContext(lOld.second);
        bandScalers.clear();
      }
      SwsContext*& lBand = bandScalers[lEnd - lFirst];
      if (!lBand) lBand = MakeScaler(lW, lEnd - lFirst, pFormat, kExactFlags);
      if (!lBand) return false;
      const uint8_t* lSource[3] = {
          pFrame->data[0] + static_cast<ptrdiff_t>(lFirst) * pFrame->linesize[0],
          pFrame->data[1] + static_cast<ptrdiff_t>(lFirst / 2) * pFrame->linesize[1],
          pFrame->data[2] + static_cast<ptrdiff_t>(lFirst / 2) * pFrame->linesize[2]};
      uint8_t* lRows = pRgba + static_cast<ptrdiff_t>(lFirst) * pRgbaStride;
      if (sws_scale(lBand, lSource, pFrame->linesize, 0, lEnd - lFirst, &lRows, &pRgbaStride) !=
          lEnd - lFirst)
        return false;
      pOut->exactRows.push_back(lSpan);
    }
    return true;
  }

  bool Convert(const AVFrame* pFrame, FootageFrame* pOut, std::string* pError) {
    bool fullRange = false;
    const AVPixelFormat format =
        WithoutJpegRange(static_cast<AVPixelFormat>(pFrame->format), &fullRange);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (!descriptor || pFrame->width <= 0 || pFrame->height <= 0) {
      *pError = Path() + ": frame " + std::to_string(lastIndex + 1) + " has no picture";
      return false;
    }
    const bool rgb = (descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) != 0;
    const bool gray = !rgb && descriptor->nb_components <= 2;
    if (pFrame->color_range == AVCOL_RANGE_JPEG) {
      fullRange = true;
    } else if (pFrame->color_range == AVCOL_RANGE_MPEG) {
      fullRange = rgb;
    } else if (rgb || gray) {
      fullRange = true;  // pictures from image files
    }
    int matrix = pFrame->colorspace;
    if (matrix == AVCOL_SPC_UNSPECIFIED || matrix == AVCOL_SPC_RGB ||
        matrix == AVCOL_SPC_RESERVED) {
      matrix = stream->codecpar->color_space;
    }
    if (matrix == AVCOL_SPC_UNSPECIFIED || matrix == AVCOL_SPC_RGB ||
        matrix == AVCOL_SPC_RESERVED || matrix < 0) {
      // What players assume of untagged video: BT.709 for HD, BT.601 below.
      const bool hd = pFrame->width >= 1280 || pFrame->height > 576;
      matrix = hd ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
    if (!scaler || scalerWidth != pFrame->width || scalerHeight != pFrame->height ||
        scalerFormat != format || scalerMatrix != matrix || scalerRange != fullRange) {
      sws_freeContext(scaler);
      FreeBandScalers();
      scaler = sws_getContext(pFrame->width, pFrame->height, format, pFrame->width, pFrame->height,
                              AV_PIX_FMT_RGBA, kExactFlags, nullptr, nullptr, nullptr);
      if (!scaler) {
        *pError = Path() + ": frames in " + descriptor->name + " cannot be converted to RGBA";
        return false;
      }
      // Output is full-range RGB; the destination matrix is unused for RGB.
      sws_setColorspaceDetails(scaler, sws_getCoefficients(matrix), fullRange ? 1 : 0,
                               sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
      scalerWidth = pFrame->width;
      scalerHeight = pFrame->height;
      scalerFormat = format;
      scalerMatrix = matrix;
      scalerRange = fullRange;
    }
    pOut->width = pFrame->width;
    pOut->height = pFrame->height;
    pOut->rgba.resize(static_cast<size_t>(pFrame->width) * pFrame->height * 4);
    uint8_t* planes[4] = {pOut->rgba.data(), nullptr, nullptr, nullptr};
    int strides[4] = {pFrame->width * 4, 0, 0, 0};
    if (options.bottomUp) {
      planes[0] += static_cast<size_t>(pFrame->height - 1) * static_cast<size_t>(strides[0]);
      strides[0] = -strides[0];
    }
    pOut->picture.clear();
    const bool lKept =
        options.keepPicture && ConvertKept(pFrame, format, pOut, planes[0], strides[0]);
    if (!lKept && !pOut->picture.empty()) {
      *pError = Path() + ": frame " + std::to_string(lastIndex + 1) + " cannot be converted";
      return false;
    }
    if (!lKept && sws_scale(scaler, pFrame->data, pFrame->linesize, 0, pFrame->height, planes,
                            strides) != pFrame->height) {
      *pError = Path() + ": frame " + std::to_string(lastIndex + 1) + " cannot be converted";
      return false;
    }
    return true;
  }

  std::string OpenFile();
  bool SettleTimecode(std::string* pError);
  std::string TrackTimecodeText() const;
};

FootageReader::FootageReader() : mImpl(std::make_unique<Impl>()) {}
FootageReader::~FootageReader() = default;

std::string FootageReader::Impl::TrackTimecodeText() const {
  const AVDictionaryEntry* entry = av_dict_get(stream->metadata, "timecode", nullptr, 0);
  // A MOV/MP4 tmcd track is a data stream; MXF may put it on any stream or the container.
  for (unsigned i = 0; !entry && i < format->nb_streams; ++i) {
    entry = av_dict_get(format->streams[i]->metadata, "timecode", nullptr, 0);
  }
  if (!entry) entry = av_dict_get(format->metadata, "timecode", nullptr, 0);
  return entry && entry->value ? entry->value : "";
}

bool FootageReader::Impl::SettleTimecode(std::string* pError) {
  const TimecodeOrigin asked = options.timecode;
  if (asked == TimecodeOrigin::kTrack || asked == TimecodeOrigin::kAuto) {
    const std::string text = TrackTimecodeText();
    if (!text.empty() && counter.InitFromString(text, rate)) {
      origin = TimecodeOrigin::kTrack;
    } else if (asked == TimecodeOrigin::kTrack) {
      *pError = Path() + ": " +
                (text.empty() ? std::string("carries no timecode track")
                              : "carries a timecode that does not parse: \"" + text + "\"");
      return false;
    }
  }
  if (origin != TimecodeOrigin::kTrack &&
      (asked == TimecodeOrigin::kLtc || asked == TimecodeOrigin::kAuto)) {
    std::string why;
    if (!sequence) ltc = LtcReader::Open(Path(), options.ltcChannel, av_q2d(rate), &why);
    if (sequence) why = "an image sequence has no audio";
    if (ltc && !ltc->Probe(kLtcProbeSeconds)) {
      ltc.reset();
      why =
          "its first " + std::to_string(static_cast<int>(kLtcProbeSeconds)) + " seconds hold none";
    }
    if (ltc) {
      origin = TimecodeOrigin::kLtc;
    } else if (asked == TimecodeOrigin::kLtc) {
      *pError = Path() + ": no LTC decodes from audio channel " +
                std::to_string(options.ltcChannel) + ": " + why;
      return false;
    }
  }
  if (origin != TimecodeOrigin::kTrack && origin != TimecodeOrigin::kLtc) {
    origin = TimecodeOrigin::kNone;
    // A rate timecode cannot count (under 1 fps) leaves the timecodes unset.
    counter.InitFromFields(0, 0, 0, 0, false, rate);
  }
  if (!TimecodeOf(0, 0.0, &firstTimecode)) {
    *pError = Path() + ": no LTC at its first frame";
    return false;
  }
  return true;
}

std::string FootageReader::Impl::OpenFile() {
  const std::string& path = Path();
  std::string input = path;
  const AVInputFormat* inputFormat = nullptr;
  AVDictionary* inputOptions = nullptr;
  std::error_code fileError;
  if (IsSequencePattern(path)) {
    SequenceOnDisk found;
    if (!FindSequence(path, &found)) return path + ": no file matches the pattern";
    if (found.first > INT_MAX) return path + ": its frame numbers are too large";
    sequence = true;
    firstNumber = found.first;
    countHint = found.count;
    input = found.pattern;
    inputFormat = av_find_input_format("image2");
    av_dict_set_int(&inputOptions, "start_number", found.first, 0);
  } else if (!std::filesystem::exists(path, fileError)) {
    return path + ": no such file";
  } else if (std::filesystem::is_directory(path, fileError)) {
    return path + ": is a folder, not footage";
  }
  int result = avformat_open_input(&format, input.c_str(), inputFormat, &inputOptions);
  av_dict_free(&inputOptions);
  if (result < 0)
    return path + ": not a movie or picture FFmpeg reads (" + AvErrorText(result) + ")";
  result = avformat_find_stream_info(format, nullptr);
  if (result < 0) return path + ": its streams cannot be read (" + AvErrorText(result) + ")";
  const int best = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream* candidate = format->streams[i];
    if (candidate->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
        (candidate->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      continue;
    }
    if (videoIndex < 0 || static_cast<int>(i) == best) videoIndex = static_cast<int>(i);
  }
  if (videoIndex < 0) return path + ": no video stream";
  stream = format->streams[videoIndex];
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (static_cast<int>(i) != videoIndex) format->streams[i]->discard = AVDISCARD_ALL;
  }
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) {
    return path + ": no decoder for its video (" + avcodec_get_name(stream->codecpar->codec_id) +
           ")";
  }
  decoder = avcodec_alloc_context3(codec);
  packet = av_packet_alloc();
  frame = av_frame_alloc();
  if (!decoder || !packet || !frame) return path + ": out of memory";
  result = avcodec_parameters_to_context(decoder, stream->codecpar);
  if (result >= 0) {
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = 0;
    result = avcodec_open2(decoder, codec, nullptr);
  }
  if (result < 0) return path + ": its video decoder fails (" + AvErrorText(result) + ")";

  rate = StandardRate(av_guess_frame_rate(format, stream, nullptr));
  if (!sequence) {
    if (stream->nb_frames > 0) {
      declaredFrames = stream->nb_frames;
    } else if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE &&
               format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
      declaredFrames =
          av_rescale_q_rnd(stream->duration, stream->time_base, av_inv_q(rate),
                           static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    }
    countHint = declaredFrames;
  }

  // The first frame settles where time starts; it is held for the first Next.
  if (Decode() != 1) {
    return path + ": no frame decodes" +
           (breakReason.empty() ? std::string() : " (" + breakReason + ")");
  }
  pending = true;
  firstPts = frame->best_effort_timestamp;
  if (firstPts == AV_NOPTS_VALUE) firstPts = frame->pts;
  firstSeconds = firstPts == AV_NOPTS_VALUE ? 0.0 : firstPts * av_q2d(stream->time_base);
  std::string error;
  SettleTimecode(&error);
  return error;
}

std::unique_ptr<FootageReader> FootageReader::Open(const FootageOptions& pOptions,
                                                   std::string* pError) {
  std::unique_ptr<FootageReader> reader(new FootageReader());
  reader->mImpl->options = pOptions;
  const std::string error = reader->mImpl->OpenFile();
  if (!error.empty()) {
    if (pError) *pError = error;
    return nullptr;
  }
  if (pError) pError->clear();
  return reader;
}

const std::string& FootageReader::Path() const { return mImpl->options.path; }
int FootageReader::Width() const { return mImpl->stream->codecpar->width; }
int FootageReader::Height() const { return mImpl->stream->codecpar->height; }
int FootageReader::RateNumerator() const { return mImpl->rate.num; }
int FootageReader::RateDenominator() const { return mImpl->rate.den; }
double FootageReader::FramesPerSecond() const { return av_q2d(mImpl->rate); }
long long FootageReader::FirstNumber() const { return mImpl->sequence ? mImpl->firstNumber : 0; }
long long FootageReader::FrameCountHint() const { return mImpl->countHint; }
TimecodeOrigin FootageReader::Origin() const { return mImpl->origin; }
const Timecode& FootageReader::FirstTimecode() const { return mImpl->firstTimecode; }

ColourTags FootageReader::Colour() const {
  const AVCodecParameters* parameters = mImpl->stream->codecpar;
  ColourTags tags;
  tags.matrix = parameters->color_space;
  tags.range = parameters->color_range;
  tags.primaries = parameters->color_primaries;
  tags.transfer = parameters->color_trc;
  return tags;
}

void FootageReader::SetExactRows(const std::vector<RowSpan>& pRows) {
  mImpl->allRowsExact = false;
  mImpl->exactRows = pRows;
}

bool FootageReader::Next(FootageFrame* pFrame, std::string* pError) {
  Impl& impl = *mImpl;
  std::string ignored;
  std::string& error = pError ? *pError : ignored;
  error.clear();
  if (impl.ended) {
    error = impl.endError;
    return false;
  }
  if (!impl.pending && impl.Decode() != 1) {
    impl.ended = true;
    const long long lastNumber = impl.lastIndex + (impl.sequence ? impl.firstNumber : 0);
    if (impl.breakReason.empty() && impl.declaredFrames > 0 &&
        impl.lastIndex + 1 < impl.declaredFrames - 1) {
      impl.breakReason = "it declares " + std::to_string(impl.declaredFrames) + " frames";
    }
    if (!impl.breakReason.empty()) {
      impl.endError = impl.Path() + ": breaks off after frame " + std::to_string(lastNumber) +
                      ", the last good frame (" + impl.breakReason + ")";
    }
    error = impl.endError;
    return false;
  }
  impl.pending = false;
  const long long index = impl.IndexOf(impl.frame);
  const double seconds = impl.SecondsOf(impl.frame, index);
  const bool converted = impl.Convert(impl.frame, pFrame, &error);
  av_frame_unref(impl.frame);
  if (!converted) {
    impl.ended = true;
    impl.endError = error;
    return false;
  }
  impl.lastIndex = index;
  pFrame->number = index + (impl.sequence ? impl.firstNumber : 0);
  pFrame->seconds = seconds;
  if (!impl.TimecodeOf(index, seconds, &pFrame->timecode)) pFrame->timecode = Timecode();
  return true;
}

}  // namespace media

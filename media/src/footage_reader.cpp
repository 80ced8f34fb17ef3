#include <media/footage_reader.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <set>
#include <system_error>

#include "av_error.h"
#include "footage_sequence.h"
#include "footage_timecode.h"
#include "ltc_reader.h"
#include "plate_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
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

// A frame's LTC is the LTC frame spanning its start, asked for this far in:
// where the two start together, the LTC frame may be placed a little late (by
// up to 0.17 ms, measured, through links and codecs that round its edges), and
// Matroska's whole milliseconds put the sound up to half of one off. Short of
// the 1.7 ms by which a frame of 24p or 50p can start before a frame of 25 fps
// LTC.
constexpr double kLtcIntoFrameSeconds = 0.001;

// How far the read runs ahead of the picture for the sound that goes with it:
// packets waiting for the video decoder, and seconds of media.
constexpr size_t kMostPacketsAhead = 1024;
constexpr double kMostSecondsAhead = 4.0;

// Audio packets older than this before the frame asked for are of no use to
// it (a decoder primes on the one packet before its start).
constexpr double kAudioKeptBeforeSeconds = 0.5;

// Rows of pSource (pWidth x pHeight RGBA, top first) turned clockwise by
// pDegrees (90, 180 or 270) into pTarget, bottom row first where asked.
void Turn(const uint8_t* pSource, int pWidth, int pHeight, int pDegrees, bool pBottomUp,
          uint8_t* pTarget) {
  const int outWidth = pDegrees == 180 ? pWidth : pHeight;
  const int outHeight = pDegrees == 180 ? pHeight : pWidth;
  for (int y = 0; y < outHeight; ++y) {
    uint8_t* row = pTarget + static_cast<size_t>(pBottomUp ? outHeight - 1 - y : y) * outWidth * 4;
    for (int x = 0; x < outWidth; ++x) {
      size_t from = 0;
      if (pDegrees == 90) {
        from = static_cast<size_t>(pHeight - 1 - x) * pWidth + y;
      } else if (pDegrees == 270) {
        from = static_cast<size_t>(x) * pWidth + (pWidth - 1 - y);
      } else {
        from = static_cast<size_t>(pHeight - 1 - y) * pWidth + (pWidth - 1 - x);
      }
      std::memcpy(row + 4 * static_cast<size_t>(x), pSource + 4 * from, 4);
    }
  }
}

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
  // Pictures handed as they are, widened to the display aspect where needed.
  SwsContext* widener = nullptr;
  int scalerWidth = 0, scalerHeight = 0, scalerFormat = -1, scalerMatrix = -1, scalerRange = -1;
  int scalerOutWidth = 0;
  std::vector<uint8_t> upright;  // a picture before it is turned
  int videoIndex = -1;
  AVStream* stream = nullptr;
  AVRational rate{25, 1};
  AVRational timeBase{1, 25};
  // As shown: the coded width at the pixels' aspect, then turned clockwise by rotation.
  int displayWidth = 0;
  int codedWidth = 0, codedHeight = 0;
  int rotation = 0;
  FieldOrder fields = FieldOrder::kProgressive;
  long long countHint = -1;
  int64_t firstPts = AV_NOPTS_VALUE;
  double firstSeconds = 0.0;  // the first frame's time in the file
  long long lastIndex = -1;
  long long skipBefore = LLONG_MIN;
  bool pending = false;  // frame holds a decoded frame not yet returned
  bool draining = false;
  bool ended = false;
  std::string breakReason;  // why the footage stopped before its end
  std::string endError;
  TimecodeOrigin origin = TimecodeOrigin::kNone;
  Timecode firstTimecode;
  TimecodeCounter counter;     // track, header and none
  long long counterIndex = 0;  // the frame counter starts at
  struct stat file = {};

  // The one read of a movie: packets demuxed ahead of the decoder, so that
  // the sound and the LTC that go with a frame are read before it is returned.
  std::deque<AVPacket*> videoPackets;
  bool demuxEnded = false;
  std::set<int64_t> corruptPts;      // of video packets marked corrupt
  bool lastDamaged = false;          // the frame handed last was damaged
  bool undecodedSinceLast = false;   // a frame failed to decode since then
  std::vector<int> audioOrdinal;     // by stream index: its place among audio streams, or -1
  AudioPackets audio;                // read, not yet handed out; the file's own times
  std::vector<double> audioReached;  // by audio stream: seconds read to, the file's time
  std::unique_ptr<LtcReader> ltc;
  int ltcStream = -1;  // stream index
  std::string originDetail;

  // An image sequence: each file read on its own.
  bool sequence = false;
  SequenceOnDisk onDisk;
  size_t nextFile = 0;
  std::set<std::pair<dev_t, ino_t>> sequenceFiles;  // filled when first asked
  PlateReader plates;
  PlateHeader firstHeader;  // of the first file that reads
  long long firstHeaderIndex = 0;
  PlateHeader header;  // of the file last read
  bool rateFromHeader = false;

  std::unique_ptr<ColourTransform> colour;
  std::string colourDetail;

  ~Impl() {
    // Read only as far as the frames wanted: what was counted up to there.
    if (!ended && lastIndex >= 0) TellCountedLtc(true);
    sws_freeContext(scaler);
    sws_freeContext(widener);
    for (AVPacket*& lPacket : videoPackets) av_packet_free(&lPacket);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
  }

  const std::string& Path() const { return options.path; }

  void Warn(const std::string& pText) const {
    if (options.warn) options.warn(pText);
  }

  double SecondsPerFrame() const { return static_cast<double>(rate.den) / rate.num; }

  // One packet from the file. False once the file has ended.
  bool Demux() {
    if (demuxEnded) return false;
    int result = av_read_frame(format, packet);
    if (result < 0) {
      demuxEnded = true;
      if (result != AVERROR_EOF) {
        breakReason = AvErrorText(result);
      } else if (format->pb && format->pb->error < 0) {
        breakReason = AvErrorText(format->pb->error);
      }
      if (ltc) ltc->Feed(nullptr);
      return false;
    }
    const int index = packet->stream_index;
    if (index == videoIndex) {
      if (packet->flags & AV_PKT_FLAG_CORRUPT) {
        corruptPts.insert(packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts);
      }
      AVPacket* lQueued = av_packet_alloc();
      if (!lQueued) {
        demuxEnded = true;
        breakReason = "out of memory";
        av_packet_unref(packet);
        return false;
      }
      av_packet_move_ref(lQueued, packet);
      videoPackets.push_back(lQueued);
      return true;
    }
    const int ordinal =
        index >= 0 && index < static_cast<int>(audioOrdinal.size()) ? audioOrdinal[index] : -1;
    if (ordinal >= 0) {
      const AVStream* lStream = format->streams[index];
      const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      if (time != AV_NOPTS_VALUE) {
        audioReached[ordinal] =
            std::max(audioReached[ordinal],
                     (time + std::max<int64_t>(packet->duration, 0)) * av_q2d(lStream->time_base));
      }
      if (index == ltcStream) ltc->Feed(packet);
      if (options.audio && !audio.Add(packet, ordinal)) breakReason = "out of memory";
    }
    av_packet_unref(packet);
    return true;
  }

  // Reads on until the sound (and the LTC) of the time up to pSeconds (the
  // file's) is in, within bounds.
  void ReadAheadTo(double pSeconds) {
    const double ltcNeeded = pSeconds + kLtcIntoFrameSeconds;
    for (;;) {
      bool enough = true;
      if (options.audio) {
        for (double reached : audioReached) enough = enough && reached >= pSeconds;
      }
      if (ltc) enough = enough && ltc->Settled(ltcNeeded);
      if (enough || videoPackets.size() >= kMostPacketsAhead) return;
      if (!videoPackets.empty()) {
        const AVPacket* lLast = videoPackets.back();
        const int64_t lTime = lLast->dts != AV_NOPTS_VALUE ? lLast->dts : lLast->pts;
        if (lTime != AV_NOPTS_VALUE &&
            lTime * av_q2d(stream->time_base) > pSeconds + kMostSecondsAhead) {
          return;
        }
      }
      if (!Demux()) return;
    }
  }

  // The next decoded frame into frame: 1, or 0 at the end.
  int Decode() {
    for (;;) {
      int result = avcodec_receive_frame(decoder, frame);
      if (result == 0) return 1;
      if (result == AVERROR_EOF) return 0;
      if (result != AVERROR(EAGAIN)) {
        if (draining) return 0;
        Warn(Path() + ": a frame after frame " + std::to_string(lastIndex) + " does not decode (" +
             AvErrorText(result) + ")");
        undecodedSinceLast = true;
        continue;
      }
      if (draining) return 0;
      if (videoPackets.empty() && !Demux() && videoPackets.empty()) {
        draining = true;
        avcodec_send_packet(decoder, nullptr);
        continue;
      }
      if (videoPackets.empty()) continue;
      AVPacket* lPacket = videoPackets.front();
      result = avcodec_send_packet(decoder, lPacket);
      if (result == AVERROR(EAGAIN)) continue;  // taken once a frame is out
      videoPackets.pop_front();
      if (result < 0) {
        const double at = lPacket->pts != AV_NOPTS_VALUE && firstPts != AV_NOPTS_VALUE
                              ? (lPacket->pts - firstPts) * av_q2d(stream->time_base)
                              : -1.0;
        Warn(Path() + ": a packet" +
             (at >= 0.0 ? " at " + std::to_string(at) + " s" : std::string()) +
             " does not decode (" + AvErrorText(result) + "); the picture goes on without it");
      }
      av_packet_free(&lPacket);
    }
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

  // The frame's timecode, and the same counted at the footage's rate for a
  // movie's track.
  bool TimecodeOf(long long pIndex, double pSeconds, Timecode* pTimecode, Timecode* pTrack) {
    if (origin != TimecodeOrigin::kLtc) {
      *pTimecode = counter.At(pIndex);
      *pTrack = *pTimecode;
      return true;
    }
    const double at = firstSeconds + pSeconds + kLtcIntoFrameSeconds;
    double start = at;
    bool counted = false;
    if (!ltc->At(at, pTimecode, &start, &counted)) return false;
    *pTrack = *pTimecode;
    const int nominal = static_cast<int>(std::lround(av_q2d(rate)));
    if (pTimecode->nominalRate != nominal && pTimecode->nominalRate > 0) {
      // LTC at another rate: the time it tells, in its own frames and the
      // part of one run by the frame's start, at the footage's rate.
      const Timecode& code = *pTimecode;
      const double realRate =
          code.dropFrame ? code.nominalRate * 1000.0 / 1001.0 : code.nominalRate;
      const long long ltcFrames =
          ((code.hours * 60LL + code.minutes) * 60 + code.seconds) * code.nominalRate + code.frames;
      const double seconds =
          (ltcFrames + (at - kLtcIntoFrameSeconds - start) * realRate) / code.nominalRate;
      TimecodeCounter ours;
      if (ours.InitFromFields(0, 0, 0, 0, false, AVRational{nominal, 1})) {
        *pTrack = ours.At(std::llround(seconds * nominal));
      }
    }
    return true;
  }

  // Spans of frames whose LTC was counted, not read, named.
  void TellCountedLtc(bool pAllAsked) {
    if (!ltc) return;
    for (const LtcSpan& span : ltc->TakeCountedSpans(pAllAsked)) {
      const auto frameAt = [&](double pSeconds) {
        return std::llround((pSeconds - kLtcIntoFrameSeconds - firstSeconds) / SecondsPerFrame());
      };
      const long long from = frameAt(span.start), to = frameAt(span.end);
      Warn(Path() + ": LTC counted on, not read, for " +
           (from == to ? "frame " + std::to_string(from)
                       : "frames " + std::to_string(from) + " to " + std::to_string(to)) +
           " (no LTC that runs true there)");
    }
  }

  // The audio read so far, its times counted from time zero, to the frame.
  void HandAudio(FootageFrame* pFrame) {
    for (size_t i = 0; i < audio.Size(); ++i) {
      AVPacket* lPacket = audio.Packet(i);
      const AVStream* lStream = format->streams[StreamOfOrdinal(audio.Stream(i))];
      const int64_t shift = firstPts == AV_NOPTS_VALUE
                                ? 0
                                : av_rescale_q(firstPts, stream->time_base, lStream->time_base);
      if (lPacket->pts != AV_NOPTS_VALUE) lPacket->pts -= shift;
      if (lPacket->dts != AV_NOPTS_VALUE) lPacket->dts -= shift;
      if (!pFrame->audio.Add(lPacket, audio.Stream(i))) breakReason = "out of memory";
    }
    audio.Clear();
  }

  // Audio wholly before pSeconds (the file's time) dropped, but for the last
  // such packet of each stream.
  void DropAudioBefore(double pSeconds) {
    std::vector<long long> lastBefore(audioReached.size(), -1);
    auto endsBefore = [&](size_t pIndex) {
      const AVPacket* lPacket = audio.Packet(pIndex);
      const AVStream* lStream = format->streams[StreamOfOrdinal(audio.Stream(pIndex))];
      const int64_t time = lPacket->pts != AV_NOPTS_VALUE ? lPacket->pts : lPacket->dts;
      return time != AV_NOPTS_VALUE &&
             (time + lPacket->duration) * av_q2d(lStream->time_base) <= pSeconds;
    };
    for (size_t i = 0; i < audio.Size(); ++i) {
      if (endsBefore(i)) lastBefore[audio.Stream(i)] = static_cast<long long>(i);
    }
    audio.RemoveIf([&](size_t pIndex) {
      return endsBefore(pIndex) &&
             lastBefore[audio.Stream(pIndex)] != static_cast<long long>(pIndex);
    });
  }

  int StreamOfOrdinal(int pOrdinal) const {
    for (size_t i = 0; i < audioOrdinal.size(); ++i) {
      if (audioOrdinal[i] == pOrdinal) return static_cast<int>(i);
    }
    return 0;
  }
  // How a frame's samples are to be read: its format without the old
  // full-range aliases, its matrix and range as declared or as a player
  // assumes, and whether it is RGB (or grey) rather than YUV.
  struct Colour {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    const AVPixFmtDescriptor* descriptor = nullptr;
    int matrix = 0;
    bool fullRange = false;
    bool rgb = false;
  };
  Colour ColourOf(const AVFrame* pFrame) const {
    Colour colour;
    colour.format = WithoutJpegRange(static_cast<AVPixelFormat>(pFrame->format), &colour.fullRange);
    colour.descriptor = av_pix_fmt_desc_get(colour.format);
    if (!colour.descriptor) return colour;
    const bool rgb = (colour.descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) != 0;
    const bool gray = !rgb && colour.descriptor->nb_components <= 2;
    colour.rgb = rgb || gray;
    if (pFrame->color_range == AVCOL_RANGE_JPEG) {
      colour.fullRange = true;
    } else if (pFrame->color_range == AVCOL_RANGE_MPEG) {
      colour.fullRange = rgb;
    } else if (rgb || gray) {
      colour.fullRange = true;  // pictures from image files
    }
    int matrix = pFrame->colorspace;
    if (matrix == AVCOL_SPC_UNSPECIFIED || matrix == AVCOL_SPC_RGB ||
        matrix == AVCOL_SPC_RESERVED) {
      matrix = stream ? stream->codecpar->color_space : AVCOL_SPC_UNSPECIFIED;
    }
    if (matrix == AVCOL_SPC_UNSPECIFIED || matrix == AVCOL_SPC_RGB ||
        matrix == AVCOL_SPC_RESERVED || matrix < 0) {
      // What players assume of untagged video: BT.709 for HD, BT.601 below.
      const bool hd = pFrame->width >= 1280 || pFrame->height > 576;
      matrix = hd ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
    colour.matrix = matrix;
    return colour;
  }

  // The decoded picture handed on as it is, widened to the display aspect
  // where its pixels are not square (across only: fields stay apart).
  bool HandPicture(const AVFrame* pFrame, const Colour& pColour, FootageFrame* pOut,
                   std::string* pError) {
    pOut->rgba.clear();
    pOut->matrix = pColour.matrix;
    pOut->fullRange = pColour.fullRange;
    pOut->height = pFrame->height;
    pOut->picture.Clear();
    AVFrame* picture = pOut->picture.Frame();
    if (!picture) {
      *pError = Path() + ": out of memory";
      return false;
    }
    const int outWidth =
        pFrame->width == codedWidth && pFrame->height == codedHeight ? displayWidth : pFrame->width;
    pOut->width = outWidth;
    if (outWidth == pFrame->width) {
      if (av_frame_ref(picture, pFrame) < 0) {
        *pError = Path() + ": out of memory";
        return false;
      }
      picture->format = pColour.format;
      return true;
    }
    widener = sws_getCachedContext(widener, pFrame->width, pFrame->height, pColour.format, outWidth,
                                   pFrame->height, pColour.format, kExactFlags, nullptr, nullptr,
                                   nullptr);
    picture->format = pColour.format;
    picture->width = outWidth;
    picture->height = pFrame->height;
    if (!widener || av_frame_get_buffer(picture, 0) < 0 ||
        av_frame_copy_props(picture, pFrame) < 0 ||
        sws_scale(widener, pFrame->data, pFrame->linesize, 0, pFrame->height, picture->data,
                  picture->linesize) != pFrame->height) {
      *pError = Path() + ": frame " + std::to_string(lastIndex + 1) + " cannot be widened";
      return false;
    }
    return true;
  }

  bool Convert(const AVFrame* pFrame, FootageFrame* pOut, std::string* pError) {
    const Colour colour = ColourOf(pFrame);
    const AVPixelFormat format = colour.format;
    const AVPixFmtDescriptor* descriptor = colour.descriptor;
    if (!descriptor || pFrame->width <= 0 || pFrame->height <= 0) {
      *pError = Path() + ": frame " + std::to_string(lastIndex + 1) + " has no picture";
      return false;
    }
    if (HandsPictures() && !colour.rgb) return HandPicture(pFrame, colour, pOut, pError);
    const int matrix = colour.matrix;
    const bool fullRange = colour.fullRange;
    // Pixels at the aspect the footage was opened with; a frame of another
    // size (a sequence's) keeps its own.
    const int outWidth =
        pFrame->width == codedWidth && pFrame->height == codedHeight ? displayWidth : pFrame->width;
    if (!scaler || scalerWidth != pFrame->width || scalerHeight != pFrame->height ||
        scalerFormat != format || scalerMatrix != matrix || scalerRange != fullRange ||
        scalerOutWidth != outWidth) {
      sws_freeContext(scaler);
      // Only across: rows, and so an interlaced picture's fields, stay as they are.
      scaler = sws_getContext(pFrame->width, pFrame->height, format, outWidth, pFrame->height,
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
      scalerOutWidth = outWidth;
    }
    const bool turned = rotation != 0;
    pOut->width = turned && rotation != 180 ? pFrame->height : outWidth;
    pOut->height = turned && rotation != 180 ? outWidth : pFrame->height;
    pOut->rgba.resize(static_cast<size_t>(outWidth) * pFrame->height * 4);
    uint8_t* planes[4] = {pOut->rgba.data(), nullptr, nullptr, nullptr};
    int strides[4] = {outWidth * 4, 0, 0, 0};
    if (turned) {
      upright.resize(pOut->rgba.size());
      planes[0] = upright.data();
    } else if (options.bottomUp) {
      planes[0] += static_cast<size_t>(pFrame->height - 1) * static_cast<size_t>(strides[0]);
      strides[0] = -strides[0];
    }
    pOut->picture.Clear();
    if (sws_scale(scaler, pFrame->data, pFrame->linesize, 0, pFrame->height, planes, strides) !=
        pFrame->height) {
      *pError = Path() + ": frame " + std::to_string(lastIndex + 1) + " cannot be converted";
      return false;
    }
    if (turned) {
      Turn(upright.data(), outWidth, pFrame->height, rotation, options.bottomUp, pOut->rgba.data());
    }
    return true;
  }

  // The decoded frame into pOut, and let go of; one that cannot be converted
  // ends the read.
  bool TakeFrame(FootageFrame* pOut, std::string* pError) {
    const bool converted = Convert(frame, pOut, pError);
    av_frame_unref(frame);
    if (converted && colour && pOut->picture.Empty())
      colour->Apply(pOut->rgba.data(), pOut->width, pOut->height);
    if (!converted) {
      ended = true;
      endError = *pError;
    }
    return converted;
  }

  // How the stream's pictures are shown: pixel aspect, rotation, fields.
  void SettleDisplay(const AVFrame* pFirst) {
    codedWidth = pFirst->width;
    codedHeight = pFirst->height;
    displayWidth = codedWidth;
    AVRational aspect = av_guess_sample_aspect_ratio(format, stream, const_cast<AVFrame*>(pFirst));
    if (aspect.num > 0 && aspect.den > 0 && av_cmp_q(aspect, AVRational{1, 1}) != 0) {
      // Even, as 4:2:0 encoders need; the height stays, so fields stay apart.
      const int64_t wide = av_rescale(codedWidth, aspect.num, aspect.den);
      if (wide > 0 && wide <= 16384)
        displayWidth = std::max<int>(2, static_cast<int>((wide + 1) & ~1LL));
    }
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix) {
      const double turn = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
      if (std::isfinite(turn)) {
        // The matrix turns anticlockwise; the picture is turned back clockwise.
        int degrees = static_cast<int>(std::lround(-turn)) % 360;
        if (degrees < 0) degrees += 360;
        rotation = degrees == 90 || degrees == 180 || degrees == 270 ? degrees : 0;
      }
    }
    switch (stream->codecpar->field_order) {
      case AV_FIELD_TT:
      case AV_FIELD_TB:
        fields = FieldOrder::kTopFirst;
        break;
      case AV_FIELD_BB:
      case AV_FIELD_BT:
        fields = FieldOrder::kBottomFirst;
        break;
      default:
        if (pFirst->interlaced_frame) {
          fields = pFirst->top_field_first ? FieldOrder::kTopFirst : FieldOrder::kBottomFirst;
        }
        break;
    }
  }

  // The next file of a sequence read into pOut, or false at the end; files
  // that are missing or do not read are recorded in pMissing.
  bool ReadSequenceFile(FootageFrame* pOut, std::vector<MissingFrames>* pMissing);

  bool HandsPictures() const { return options.pictures && rotation == 0 && !colour; }

  std::string OpenMovie();
  std::string OpenSequence();
  std::string SettleColour();
  bool SettleTimecode(std::string* pError);
  bool SettleSequenceTimecode(std::string* pError);
  std::string TrackTimecodeText() const;
  bool NextMovie(FootageFrame* pFrame, std::string* pError);
  bool NextSequence(FootageFrame* pFrame, std::string* pError);
};

FootageReader::FootageReader() : mImpl(std::make_unique<Impl>()) {}
FootageReader::~FootageReader() = default;

std::string FootageReader::Impl::TrackTimecodeText() const {
  if (!format) return "";
  const AVDictionaryEntry* entry = av_dict_get(stream->metadata, "timecode", nullptr, 0);
  // A MOV/MP4 tmcd track is a data stream; MXF may put it on any stream or the container.
  for (unsigned i = 0; !entry && i < format->nb_streams; ++i) {
    entry = av_dict_get(format->streams[i]->metadata, "timecode", nullptr, 0);
  }
  if (!entry) entry = av_dict_get(format->metadata, "timecode", nullptr, 0);
  return entry && entry->value ? entry->value : "";
}

bool FootageReader::Impl::SettleTimecode(std::string* pError) {
  if (sequence) return SettleSequenceTimecode(pError);
  const TimecodeOrigin asked = options.timecode;
  if (asked == TimecodeOrigin::kHeader) {
    *pError = Path() + ": a movie has no header timecode (header reads DPX and EXR sequences' own)";
    return false;
  }
  if (asked == TimecodeOrigin::kTrack || asked == TimecodeOrigin::kAuto) {
    const std::string text = TrackTimecodeText();
    if (!text.empty() && counter.InitFromString(text, rate)) {
      origin = TimecodeOrigin::kTrack;
      originDetail = "its timecode track";
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
    LtcFound found;
    const bool any = FindLtc(Path(), options.ltcChannel, av_q2d(rate), &found, &why);
    for (unsigned i = 0; any && i < format->nb_streams && ltcStream < 0; ++i) {
      if (audioOrdinal[i] != found.stream) continue;
      const AVStream* lStream = format->streams[i];
      ltc = LtcReader::Create(lStream->codecpar, lStream->time_base.num, lStream->time_base.den,
                              found.channel, av_q2d(rate), &found, &why);
      if (ltc) ltcStream = static_cast<int>(i);
    }
    if (ltc) {
      origin = TimecodeOrigin::kLtc;
      originDetail = "LTC on audio channel " + std::to_string(found.overall) + " (stream " +
                     std::to_string(found.stream) + ", channel " + std::to_string(found.channel) +
                     ")";
    } else if (asked == TimecodeOrigin::kLtc) {
      *pError = Path() + ": no LTC to read: " + why;
      return false;
    } else {
      originDetail = "no timecode track, and no LTC (" + why + ")";
    }
  }
  if (origin != TimecodeOrigin::kTrack && origin != TimecodeOrigin::kLtc) {
    origin = TimecodeOrigin::kNone;
    // A rate timecode cannot count (under 1 fps) leaves the timecodes unset.
    counter.InitFromFields(0, 0, 0, 0, false, rate);
  }
  return true;
}

std::string FootageReader::Impl::OpenMovie() {
  const std::string& path = Path();
  std::error_code fileError;
  if (!std::filesystem::exists(path, fileError)) return path + ": no such file";
  if (std::filesystem::is_directory(path, fileError)) return path + ": is a folder, not footage";
  stat(path.c_str(), &file);
  int result = avformat_open_input(&format, path.c_str(), nullptr, nullptr);
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
  audioOrdinal.assign(format->nb_streams, -1);
  int audioStreams = 0;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    AVStream* other = format->streams[i];
    if (static_cast<int>(i) == videoIndex) continue;
    if (other->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
        other->codecpar->codec_id != AV_CODEC_ID_NONE) {
      audioOrdinal[i] = audioStreams++;
    } else {
      other->discard = AVDISCARD_ALL;
    }
  }
  audioReached.assign(audioStreams, -1e300);
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
  timeBase = stream->time_base;
  std::string error;
  if (!SettleTimecode(&error)) return error;
  // The first frame presented is time zero for the picture, the sound and the LTC.
  if (Decode() != 1) {
    return path + ": no frame decodes" +
           (breakReason.empty() ? std::string() : " (" + breakReason + ")");
  }
  pending = true;
  firstPts = PtsOf(frame);
  firstSeconds = firstPts == AV_NOPTS_VALUE ? 0.0 : firstPts * av_q2d(stream->time_base);
  SettleDisplay(frame);
  // The frames presented from the first to the end the container declares
  // (an edit list's, where it has one); the count of stored frames says
  // nothing of what a trimmed clip or a cut stream shows.
  if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE &&
      format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time
                          : firstPts != AV_NOPTS_VALUE         ? firstPts
                                                               : 0;
    const int64_t presented =
        start + stream->duration - (firstPts != AV_NOPTS_VALUE ? firstPts : start);
    const double frames = presented * av_q2d(stream->time_base) * av_q2d(rate);
    if (frames >= 1.0 && frames < 1e12) countHint = static_cast<long long>(frames + 1e-3);
  } else if (stream->nb_frames > 0) {
    countHint = stream->nb_frames;
  }
  ReadAheadTo(firstSeconds + SecondsPerFrame());
  Timecode track;
  if (!TimecodeOf(0, 0.0, &firstTimecode, &track)) return path + ": no LTC at its first frame";
  return "";
}

bool FootageReader::Impl::ReadSequenceFile(FootageFrame* pOut,
                                           std::vector<MissingFrames>* pMissing) {
  auto note = [&](long long pFirst, long long pLast, const std::string& pWhy) {
    if (!pMissing->empty() && pMissing->back().last + 1 == pFirst && pMissing->back().why == pWhy) {
      pMissing->back().last = pLast;
    } else {
      pMissing->push_back({pFirst, pLast, pWhy});
    }
  };
  while (nextFile < onDisk.numbers.size()) {
    const long long number = onDisk.numbers[nextFile];
    const long long before = nextFile > 0 ? onDisk.numbers[nextFile - 1] : number - 1;
    ++nextFile;
    if (number < skipBefore) continue;
    const long long gapFirst = std::max(before + 1, skipBefore);
    if (gapFirst < number) note(gapFirst, number - 1, "no file");
    std::string why;
    const std::string file = onDisk.PathOf(number);
    if (plates.Read(file, displayWidth, codedHeight, options.bottomUp, colour.get(), &header,
                    &pOut->rgba, &why)) {
      lastIndex = number - onDisk.numbers.front();
      return true;
    }
    note(number, number, why == "no file" ? why : file + ": " + why);
  }
  return false;
}

std::string FootageReader::Impl::OpenSequence() {
  const std::string& path = Path();
  if (!FindSequence(path, &onDisk)) return path + ": no file matches the pattern";
  sequence = true;
  countHint = onDisk.numbers.back() - onDisk.numbers.front() + 1;
  // Every file's header before any frame is drawn: the first that reads
  // settles the picture's size, and one of another size is refused.
  std::string firstWhy;
  std::string firstPath;
  for (long long number : onDisk.numbers) {
    PlateHeader one;
    std::string why;
    if (!PlateReader::ReadHeader(onDisk.PathOf(number), &one, &why)) {
      if (firstWhy.empty()) firstWhy = onDisk.PathOf(number) + ": " + why;
      continue;
    }
    if (firstPath.empty()) {
      firstPath = onDisk.PathOf(number);
      firstHeader = one;
      firstHeaderIndex = number - onDisk.numbers.front();
    } else if (one.width != firstHeader.width || one.height != firstHeader.height) {
      return path + ": its frames change size: " + firstPath + " is " +
             std::to_string(firstHeader.width) + "x" + std::to_string(firstHeader.height) + ", " +
             onDisk.PathOf(number) + " " + std::to_string(one.width) + "x" +
             std::to_string(one.height);
    }
  }
  if (firstPath.empty()) return path + ": no file of it reads (" + firstWhy + ")";
  codedWidth = displayWidth = firstHeader.width;
  codedHeight = firstHeader.height;
  // The rate given, else the header's, else the fallback.
  if (options.sequenceRateNumerator > 0 && options.sequenceRateDenominator > 0) {
    rate = AVRational{options.sequenceRateNumerator, options.sequenceRateDenominator};
  } else if (firstHeader.rateNumerator > 0) {
    rate = StandardRate(AVRational{firstHeader.rateNumerator, firstHeader.rateDenominator});
    rateFromHeader = true;
  } else if (options.fallbackRateNumerator > 0 && options.fallbackRateDenominator > 0) {
    rate = AVRational{options.fallbackRateNumerator, options.fallbackRateDenominator};
  } else {
    rate = AVRational{24, 1};
  }
  timeBase = AVRational{rate.den, rate.num};
  skipBefore = onDisk.numbers.front();
  std::string error;
  if (!SettleTimecode(&error)) return error;
  firstTimecode = counter.At(-counterIndex);
  return "";
}

bool FootageReader::Impl::SettleSequenceTimecode(std::string* pError) {
  const TimecodeOrigin asked = options.timecode;
  const std::string text = firstHeader.TimecodeText(rate.num, rate.den);
  const std::string first = onDisk.PathOf(onDisk.numbers.front() + firstHeaderIndex);
  switch (asked) {
    case TimecodeOrigin::kTrack:
      *pError = Path() +
                ": carries no timecode track; an image sequence's timecode is in its "
                "files' headers (header)";
      return false;
    case TimecodeOrigin::kLtc:
      *pError = Path() + ": no LTC to read: an image sequence has no audio";
      return false;
    case TimecodeOrigin::kHeader:
    case TimecodeOrigin::kAuto:
      if (!text.empty() && counter.InitFromString(text, rate)) {
        origin = TimecodeOrigin::kHeader;
        counterIndex = firstHeaderIndex;
        originDetail = "the " + firstHeader.FormatName() + " header of each frame";
        return true;
      }
      if (asked == TimecodeOrigin::kHeader) {
        *pError = first + ": " +
                  (text.empty() ? "no timecode in its header to take"
                                : "its header's timecode does not count: \"" + text + "\"");
        return false;
      }
      originDetail = "no timecode in the header of " + first;
      break;
    case TimecodeOrigin::kNone:
      break;
  }
  origin = TimecodeOrigin::kNone;
  counter.InitFromFields(0, 0, 0, 0, false, rate);
  return true;
}

std::string FootageReader::Impl::SettleColour() {
  const bool sceneLinear = sequence && firstHeader.format == "openexr" && firstHeader.floatSamples;
  std::string error;
  colour = ColourTransform::Create(options.colour, sceneLinear, &colourDetail, &error);
  return error;
}

std::unique_ptr<FootageReader> FootageReader::Open(const FootageOptions& pOptions,
                                                   std::string* pError) {
  std::unique_ptr<FootageReader> reader(new FootageReader());
  reader->mImpl->options = pOptions;
  std::string error =
      IsSequencePattern(pOptions.path) ? reader->mImpl->OpenSequence() : reader->mImpl->OpenMovie();
  if (error.empty()) error = reader->mImpl->SettleColour();
  if (!error.empty()) {
    if (pError) *pError = error;
    return nullptr;
  }
  if (pError) pError->clear();
  return reader;
}

const std::string& FootageReader::Path() const { return mImpl->options.path; }
bool FootageReader::IsSequence() const { return mImpl->sequence; }
int FootageReader::Width() const {
  return mImpl->rotation % 180 ? mImpl->codedHeight : mImpl->displayWidth;
}
int FootageReader::Height() const {
  return mImpl->rotation % 180 ? mImpl->displayWidth : mImpl->codedHeight;
}
FieldOrder FootageReader::Fields() const { return mImpl->fields; }
int FootageReader::TimeBaseNumerator() const { return mImpl->timeBase.num; }
int FootageReader::TimeBaseDenominator() const { return mImpl->timeBase.den; }
int FootageReader::RateNumerator() const { return mImpl->rate.num; }
int FootageReader::RateDenominator() const { return mImpl->rate.den; }
double FootageReader::FramesPerSecond() const { return av_q2d(mImpl->rate); }
long long FootageReader::FirstNumber() const {
  return mImpl->sequence ? mImpl->onDisk.numbers.front() : 0;
}
long long FootageReader::FrameCountHint() const { return mImpl->countHint; }
TimecodeOrigin FootageReader::Origin() const { return mImpl->origin; }
const std::string& FootageReader::OriginDetail() const { return mImpl->originDetail; }
const Timecode& FootageReader::FirstTimecode() const { return mImpl->firstTimecode; }

bool FootageReader::RateFromHeader() const { return mImpl->rateFromHeader; }
const std::string& FootageReader::ColourDetail() const { return mImpl->colourDetail; }

ColourTags FootageReader::Colour() const {
  ColourTags tags;
  if (!mImpl->stream || mImpl->colour) return tags;
  const AVCodecParameters* parameters = mImpl->stream->codecpar;
  tags.matrix = parameters->color_space;
  tags.range = parameters->color_range;
  tags.primaries = parameters->color_primaries;
  tags.transfer = parameters->color_trc;
  return tags;
}

bool FootageReader::HoldsFile(const std::string& pPath) const {
  Impl& impl = *mImpl;
  struct stat candidate = {};
  if (stat(pPath.c_str(), &candidate) != 0) return false;
  if (!impl.sequence) {
    return candidate.st_dev == impl.file.st_dev && candidate.st_ino == impl.file.st_ino;
  }
  if (impl.sequenceFiles.empty()) {
    for (long long number : impl.onDisk.numbers) {
      struct stat one = {};
      if (stat(impl.onDisk.PathOf(number).c_str(), &one) == 0)
        impl.sequenceFiles.insert({one.st_dev, one.st_ino});
    }
  }
  return impl.sequenceFiles.count({candidate.st_dev, candidate.st_ino}) > 0;
}

std::vector<AudioStreamInfo> FootageReader::AudioStreams() const {
  std::vector<AudioStreamInfo> streams;
  const Impl& impl = *mImpl;
  for (size_t i = 0; i < impl.audioOrdinal.size(); ++i) {
    if (impl.audioOrdinal[i] < 0) continue;
    const AVStream* lStream = impl.format->streams[i];
    AudioStreamInfo info;
    info.parameters = lStream->codecpar;
    info.timeBaseNumerator = lStream->time_base.num;
    info.timeBaseDenominator = lStream->time_base.den;
    const AVDictionaryEntry* language = av_dict_get(lStream->metadata, "language", nullptr, 0);
    if (language && language->value) info.language = language->value;
    streams.push_back(info);
  }
  return streams;
}

void FootageReader::SkipBefore(long long pNumber) { mImpl->skipBefore = pNumber; }

bool FootageReader::HandsPictures() const { return mImpl->HandsPictures(); }

Picture::Picture() : mFrame(av_frame_alloc()) {}
Picture::~Picture() { av_frame_free(&mFrame); }
Picture::Picture(Picture&& pOther) noexcept : mFrame(pOther.mFrame) {
  pOther.mFrame = av_frame_alloc();
}
Picture& Picture::operator=(Picture&& pOther) noexcept {
  std::swap(mFrame, pOther.mFrame);
  return *this;
}
bool Picture::Empty() const { return !mFrame || !mFrame->buf[0]; }
int Picture::Format() const { return Empty() ? -1 : mFrame->format; }
void Picture::Clear() {
  if (mFrame) av_frame_unref(mFrame);
}

bool FootageReader::Impl::NextSequence(FootageFrame* pFrame, std::string* pError) {
  pFrame->missing.clear();
  pFrame->picture.Clear();
  if (!ReadSequenceFile(pFrame, &pFrame->missing)) {
    ended = true;
    for (const MissingFrames& lGone : pFrame->missing) {
      endError += (endError.empty() ? Path() + ": " : std::string("; ")) +
                  (lGone.first == lGone.last ? "frame " + std::to_string(lGone.first)
                                             : "frames " + std::to_string(lGone.first) + " to " +
                                                   std::to_string(lGone.last)) +
                  " missing (" + lGone.why + ")";
    }
    *pError = endError;
    return false;
  }
  const long long number = onDisk.numbers[nextFile - 1];
  const long long index = number - onDisk.numbers.front();
  if (origin == TimecodeOrigin::kHeader) {
    // Each frame's own: a jump in the headers shows on the frame that has it,
    // and a frame whose header has none is counted on from the one before.
    TimecodeCounter own;
    if (own.InitFromString(header.TimecodeText(rate.num, rate.den), rate)) {
      counter = own;
      counterIndex = index;
    }
  }
  pFrame->number = number;
  pFrame->width = displayWidth;
  pFrame->height = codedHeight;
  pFrame->pts = index;
  pFrame->duration = 1;
  pFrame->seconds = static_cast<double>(index) * rate.den / rate.num;
  pFrame->damaged = false;
  pFrame->timecode = counter.At(index - counterIndex);
  pFrame->trackTimecode = pFrame->timecode;
  return true;
}

bool FootageReader::Impl::NextMovie(FootageFrame* pFrame, std::string* pError) {
  for (;;) {
    if (!pending && Decode() != 1) {
      ended = true;
      if (breakReason.empty() && countHint > 0 && lastIndex + 1 < countHint - 1) {
        breakReason = "it declares " + std::to_string(countHint) + " frames";
      }
      TellCountedLtc(true);
      if (!breakReason.empty()) {
        endError = Path() + ": breaks off after frame " + std::to_string(lastIndex) +
                   ", the last good frame (" + breakReason + ")";
      }
      *pError = endError;
      return false;
    }
    pending = false;
    const long long index = IndexOf(frame);
    const int64_t pts = PtsOf(frame);
    const int64_t relative = pts != AV_NOPTS_VALUE && firstPts != AV_NOPTS_VALUE
                                 ? pts - firstPts
                                 : av_rescale_q(index, av_inv_q(rate), stream->time_base);
    // A time that is its frame's place rounded to the time base (Matroska
    // keeps whole milliseconds) is that place exactly, so the scene's frame
    // at the same rate is the footage's, not the one before. Only where a
    // tick is a small part of a frame: a coarser one may be a real offset.
    const int64_t onGrid = av_rescale_q_rnd(index, av_inv_q(rate), stream->time_base,
                                            static_cast<AVRounding>(AV_ROUND_NEAR_INF));
    const bool fineTicks =
        av_cmp_q(av_mul_q(stream->time_base, av_make_q(4, 1)), av_inv_q(rate)) <= 0;
    const double seconds = fineTicks && std::llabs(onGrid - relative) <= 1
                               ? static_cast<double>(index) * rate.den / rate.num
                               : relative * av_q2d(stream->time_base);
    int64_t duration = frame->pkt_duration;
    if (duration <= 0)
      duration = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), stream->time_base));
    const long long before = lastIndex;
    lastIndex = index;
    ReadAheadTo(firstSeconds + seconds + duration * av_q2d(stream->time_base));
    if (index < skipBefore) {
      // Passed over: only its sound's last packet may still prime the decoder.
      DropAudioBefore(firstSeconds + seconds - kAudioKeptBeforeSeconds);
      av_frame_unref(frame);
      continue;
    }
    bool damaged = (frame->flags & AV_FRAME_FLAG_CORRUPT) || frame->decode_error_flags != 0;
    // Damage since the frame before, or around it: a hole in the frames' times
    // there is frames the damage took, not a rate that varies.
    bool damageAround = damaged || lastDamaged || undecodedSinceLast;
    undecodedSinceLast = false;
    if (pts != AV_NOPTS_VALUE && !corruptPts.empty()) {
      damageAround = damageAround || *corruptPts.begin() <= pts;
      damaged = damaged || corruptPts.count(pts) > 0;
      corruptPts.erase(corruptPts.begin(), corruptPts.upper_bound(pts));
    }
    if (!TakeFrame(pFrame, pError)) return false;
    if (damaged) {
      Warn(Path() + ": frame " + std::to_string(index) +
           " is damaged (its data is corrupt); it is shown as the decoder gives it");
    }
    pFrame->number = index;
    pFrame->pts = relative;
    pFrame->duration = duration;
    pFrame->seconds = seconds;
    pFrame->damaged = damaged;
    lastDamaged = damaged;
    pFrame->missing.clear();
    if (damageAround && before >= 0 && index > before + 1 && index - 1 >= skipBefore) {
      pFrame->missing.push_back({std::max(before + 1, skipBefore), index - 1,
                                 "lost in the damaged data: nothing decodes for them"});
    }
    HandAudio(pFrame);
    if (!TimecodeOf(index, seconds, &pFrame->timecode, &pFrame->trackTimecode)) {
      pFrame->timecode = Timecode();
      pFrame->trackTimecode = Timecode();
    }
    TellCountedLtc(false);
    return true;
  }
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
  return impl.sequence ? impl.NextSequence(pFrame, &error) : impl.NextMovie(pFrame, &error);
}

}  // namespace media

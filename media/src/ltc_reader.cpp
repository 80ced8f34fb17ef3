#include "ltc_reader.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <vector>

#include "footage_timecode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <ltc.h>
}

namespace media {
namespace {

// LTC frames libltc holds between reads; audio is written to it a quarter second at a time.
constexpr int kQueueFrames = 32;

struct DecodedLtc {
  double start = 0.0;  // seconds from time zero
  double end = 0.0;
  LTCFrame frame{};
};

}  // namespace

struct LtcReader::Impl {
  AVCodecContext* decoder = nullptr;
  SwrContext* resampler = nullptr;
  AVFrame* frame = nullptr;
  LTCDecoder* ltc = nullptr;
  AVRational timeBase{1, 1};
  int channel = 0;
  int sampleRate = 0;
  int resamplerFormat = -1;
  int resamplerRate = 0;
  AVChannelLayout resamplerLayout{};
  std::vector<float> samples;
  std::vector<uint8_t*> planes;
  double decodedUntil = -std::numeric_limits<double>::infinity();
  bool ended = false;
  long long decoded = 0;
  int ltcFps = 0;
  std::deque<DecodedLtc> frames;

  ~Impl() {
    if (ltc) ltc_decoder_free(ltc);
    swr_free(&resampler);
    av_channel_layout_uninit(&resamplerLayout);
    av_frame_free(&frame);
    avcodec_free_context(&decoder);
  }

  void Receive() {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      Write();
      av_frame_unref(frame);
    }
  }

  bool Resampler() {
    if (frame->format == resamplerFormat && frame->sample_rate == resamplerRate &&
        av_channel_layout_compare(&frame->ch_layout, &resamplerLayout) == 0) {
      return resampler != nullptr;
    }
    swr_free(&resampler);
    av_channel_layout_uninit(&resamplerLayout);
    resamplerFormat = frame->format;
    resamplerRate = frame->sample_rate;
    if (swr_alloc_set_opts2(&resampler, &frame->ch_layout, AV_SAMPLE_FMT_FLTP, frame->sample_rate,
                            &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                            frame->sample_rate, 0, nullptr) < 0 ||
        swr_init(resampler) < 0 ||
        av_channel_layout_copy(&resamplerLayout, &frame->ch_layout) < 0) {
      swr_free(&resampler);
      return false;
    }
    return true;
  }

  // One decoded audio frame into libltc, placed by its own timestamp, so a
  // gap in the sound does not shift the LTC after it.
  void Write() {
    const int channels = frame->ch_layout.nb_channels;
    const int count = frame->nb_samples;
    if (channel >= channels || count <= 0 || frame->sample_rate != sampleRate || !Resampler())
      return;
    const int64_t pts = frame->best_effort_timestamp;
    const double start = pts != AV_NOPTS_VALUE         ? pts * av_q2d(timeBase)
                         : std::isfinite(decodedUntil) ? decodedUntil
                                                       : 0.0;
    samples.resize(static_cast<size_t>(channels) * count);
    planes.resize(channels);
    for (int c = 0; c < channels; ++c) {
      planes[c] = reinterpret_cast<uint8_t*>(samples.data() + static_cast<size_t>(c) * count);
    }
    const int converted = swr_convert(resampler, planes.data(), count,
                                      const_cast<const uint8_t**>(frame->extended_data), count);
    if (converted <= 0) return;
    const ltc_off_t position = std::llround(start * sampleRate);
    float* channelSamples = reinterpret_cast<float*>(planes[channel]);
    // In slices shorter than libltc's queue, however long the audio frame.
    for (int done = 0; done < converted;) {
      const int slice = std::min(converted - done, sampleRate / 4 + 1);
      ltc_decoder_write_float(ltc, channelSamples + done, slice, position + done);
      done += slice;
      TakeDecoded();
    }
    decodedUntil = std::max(decodedUntil, start + static_cast<double>(converted) / sampleRate);
  }

  void TakeDecoded() {
    LTCFrameExt lDecoded;
    while (ltc_decoder_read(ltc, &lDecoded)) {
      if (lDecoded.reverse || lDecoded.off_end <= lDecoded.off_start) continue;
      DecodedLtc entry;
      entry.start = static_cast<double>(lDecoded.off_start) / sampleRate;
      entry.end = static_cast<double>(lDecoded.off_end + 1) / sampleRate;
      entry.frame = lDecoded.ltc;
      if (ltcFps == 0) {
        // LTC does not carry its rate: the nearest standard one to the frame's length.
        const double fps = 1.0 / (entry.end - entry.start);
        ltcFps = 30;
        for (int candidate : {24, 25}) {
          if (std::fabs(fps - candidate) < std::fabs(fps - ltcFps)) ltcFps = candidate;
        }
      }
      ++decoded;
      frames.push_back(entry);
    }
  }

  Timecode TimecodeOf(const DecodedLtc& pLtc, long long pOffset) const {
    SMPTETimecode fields{};
    LTCFrame frameCopy = pLtc.frame;
    ltc_frame_to_time(&fields, &frameCopy, 0);
    const bool drop = pLtc.frame.dfbit != 0;
    const AVRational rate = ltcFps == 30 && drop ? AVRational{30000, 1001} : AVRational{ltcFps, 1};
    TimecodeCounter counter;
    if (!counter.InitFromFields(fields.hours, fields.mins, fields.secs, fields.frame, drop, rate)) {
      return Timecode();
    }
    return counter.At(pOffset);
  }
};

LtcReader::LtcReader() : mImpl(std::make_unique<Impl>()) {}
LtcReader::~LtcReader() = default;

std::unique_ptr<LtcReader> LtcReader::Create(const AVCodecParameters* pParameters,
                                             int pTimeBaseNumerator, int pTimeBaseDenominator,
                                             int pChannel, double pVideoFps, std::string* pWhy) {
  std::unique_ptr<LtcReader> reader(new LtcReader());
  Impl& impl = *reader->mImpl;
  impl.timeBase = AVRational{pTimeBaseNumerator, pTimeBaseDenominator};
  impl.channel = pChannel;
  const AVCodec* codec = avcodec_find_decoder(pParameters->codec_id);
  impl.decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!impl.decoder || avcodec_parameters_to_context(impl.decoder, pParameters) < 0) {
    *pWhy = "its audio does not decode";
    return nullptr;
  }
  impl.decoder->pkt_timebase = impl.timeBase;
  if (avcodec_open2(impl.decoder, codec, nullptr) < 0 || impl.decoder->sample_rate <= 0) {
    *pWhy = "its audio does not decode";
    return nullptr;
  }
  impl.sampleRate = impl.decoder->sample_rate;
  impl.frame = av_frame_alloc();
  const double perFrame = pVideoFps > 1.0 ? impl.sampleRate / pVideoFps : impl.sampleRate / 25.0;
  impl.ltc = ltc_decoder_create(static_cast<int>(std::min(perFrame, 1e6)), kQueueFrames);
  if (!impl.frame || !impl.ltc) {
    *pWhy = "out of memory";
    return nullptr;
  }
  return reader;
}

void LtcReader::Feed(const AVPacket* pPacket) {
  Impl& impl = *mImpl;
  if (impl.ended) return;
  // A packet that does not decode only leaves a gap in the LTC, counted over.
  avcodec_send_packet(impl.decoder, pPacket);
  impl.Receive();
  if (!pPacket) impl.ended = true;
}

double LtcReader::DecodedUntil() const {
  return mImpl->ended ? std::numeric_limits<double>::infinity() : mImpl->decodedUntil;
}

long long LtcReader::Decoded() const { return mImpl->decoded; }

bool LtcReader::At(double pSeconds, Timecode* pTimecode) {
  Impl& impl = *mImpl;
  std::deque<DecodedLtc>& frames = impl.frames;
  // Later calls ask for later times: keep only the last frame begun by now, and those after.
  while (frames.size() > 1 && frames[1].start <= pSeconds) frames.pop_front();
  if (frames.empty()) return false;
  const DecodedLtc& first = frames[0];
  if (first.start <= pSeconds && pSeconds < first.end) {
    *pTimecode = impl.TimecodeOf(first, 0);
    return true;
  }
  // No LTC frame decoded here: count from the nearest one.
  const DecodedLtc* before = first.start <= pSeconds ? &first : nullptr;
  const DecodedLtc* after = before ? (frames.size() > 1 ? &frames[1] : nullptr) : &first;
  const bool useBefore = before && (!after || pSeconds - before->end < after->start - pSeconds);
  const DecodedLtc& from = useBefore ? *before : *after;
  const double length = from.end - from.start;
  double framesOff = useBefore ? std::floor((pSeconds - from.start) / length)
                               : -std::ceil((from.start - pSeconds) / length);
  if (!(framesOff > -1e9 && framesOff < 1e9)) return false;
  *pTimecode = impl.TimecodeOf(from, static_cast<long long>(framesOff));
  return true;
}

bool ProbeLtc(const std::string& pPath, int pChannel, double pSeconds, double pVideoFps,
              int* pStream, int* pStreamChannel, std::string* pWhy) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, pPath.c_str(), nullptr, nullptr) < 0) {
    *pWhy = "its audio cannot be read";
    return false;
  }
  struct Closer {
    AVFormatContext** format;
    ~Closer() { avformat_close_input(format); }
  } closer{&format};
  if (avformat_find_stream_info(format, nullptr) < 0) {
    *pWhy = "its audio cannot be read";
    return false;
  }
  int remaining = pChannel, total = 0, audioStreams = 0, found = -1;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    AVStream* stream = format->streams[i];
    stream->discard = AVDISCARD_ALL;
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    const int channels = stream->codecpar->ch_layout.nb_channels;
    total += channels;
    if (found < 0 && remaining >= 0 && remaining < channels) {
      found = static_cast<int>(i);
      *pStream = audioStreams;
      *pStreamChannel = remaining;
    }
    remaining -= channels;
    ++audioStreams;
  }
  if (found < 0) {
    *pWhy = total == 0 ? "it has no audio"
                       : "it has " + std::to_string(total) + " audio channels, no channel " +
                             std::to_string(pChannel);
    return false;
  }
  AVStream* stream = format->streams[found];
  stream->discard = AVDISCARD_DEFAULT;
  std::unique_ptr<LtcReader> reader =
      LtcReader::Create(stream->codecpar, stream->time_base.num, stream->time_base.den,
                        *pStreamChannel, pVideoFps, pWhy);
  if (!reader) return false;
  AVPacket* packet = av_packet_alloc();
  if (!packet) {
    *pWhy = "out of memory";
    return false;
  }
  double start = std::numeric_limits<double>::quiet_NaN();
  while (reader->Decoded() < 2 && av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == found) {
      reader->Feed(packet);
      if (std::isnan(start) && std::isfinite(reader->DecodedUntil()))
        start = reader->DecodedUntil();
      if (!std::isnan(start) && reader->DecodedUntil() > start + pSeconds) {
        av_packet_unref(packet);
        break;
      }
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  if (reader->Decoded() < 2) reader->Feed(nullptr);
  if (reader->Decoded() >= 2) return true;
  *pWhy = "its first " + std::to_string(static_cast<int>(pSeconds)) + " seconds hold none";
  return false;
}

}  // namespace media

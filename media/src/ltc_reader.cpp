#include "ltc_reader.h"

#include <algorithm>
#include <cmath>
#include <deque>
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

// How far past the asked time audio is read looking for an LTC frame, before
// counting on from the last one.
constexpr double kLookaheadSeconds = 1.0;
// LTC frames libltc holds between reads; audio is written to it a quarter second at a time.
constexpr int kQueueFrames = 32;

struct DecodedLtc {
  double start = 0.0;  // seconds, the file's time
  double end = 0.0;
  LTCFrame frame{};
};

}  // namespace

struct LtcReader::Impl {
  AVFormatContext* format = nullptr;
  AVCodecContext* decoder = nullptr;
  SwrContext* resampler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  LTCDecoder* ltc = nullptr;
  int streamIndex = -1;
  int channel = 0;  // within the stream
  int sampleRate = 0;
  int resamplerFormat = -1;
  int resamplerRate = 0;
  AVChannelLayout resamplerLayout{};
  std::vector<float> samples;
  std::vector<uint8_t*> planes;
  long long samplesWritten = 0;
  double startSeconds = 0.0;
  bool haveStart = false;
  bool flushing = false;
  bool ended = false;
  int ltcFps = 0;
  std::deque<DecodedLtc> frames;

  ~Impl() {
    if (ltc) ltc_decoder_free(ltc);
    swr_free(&resampler);
    av_channel_layout_uninit(&resamplerLayout);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
  }

  double DecodedUntil() const {
    return startSeconds + static_cast<double>(samplesWritten) / sampleRate;
  }

  // One step: a decoded audio frame fed to libltc, or one packet read. False once the audio ends.
  bool Step() {
    if (ended) return false;
    int result = avcodec_receive_frame(decoder, frame);
    if (result == 0) {
      Feed();
      av_frame_unref(frame);
      return true;
    }
    if (result != AVERROR(EAGAIN) || flushing) {
      ended = true;
      return false;
    }
    result = av_read_frame(format, packet);
    if (result < 0) {
      avcodec_send_packet(decoder, nullptr);
      flushing = true;
      return true;
    }
    // A packet that does not decode only leaves a gap in the LTC, counted over.
    if (packet->stream_index == streamIndex) avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    return true;
  }

  void Feed() {
    if (!haveStart) {
      const AVStream* stream = format->streams[streamIndex];
      int64_t pts = frame->best_effort_timestamp;
      if (pts == AV_NOPTS_VALUE) pts = stream->start_time;
      startSeconds = pts == AV_NOPTS_VALUE ? 0.0 : pts * av_q2d(stream->time_base);
      haveStart = true;
    }
    if (frame->format != resamplerFormat || frame->sample_rate != resamplerRate ||
        av_channel_layout_compare(&frame->ch_layout, &resamplerLayout) != 0) {
      swr_free(&resampler);
      av_channel_layout_uninit(&resamplerLayout);
      resamplerFormat = -1;
      if (swr_alloc_set_opts2(&resampler, &frame->ch_layout, AV_SAMPLE_FMT_FLTP, frame->sample_rate,
                              &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                              frame->sample_rate, 0, nullptr) < 0 ||
          swr_init(resampler) < 0 ||
          av_channel_layout_copy(&resamplerLayout, &frame->ch_layout) < 0) {
        swr_free(&resampler);
        return;
      }
      resamplerFormat = frame->format;
      resamplerRate = frame->sample_rate;
    }
    const int channels = frame->ch_layout.nb_channels;
    const int count = frame->nb_samples;
    if (channel >= channels || count <= 0) return;
    samples.resize(static_cast<size_t>(channels) * count);
    planes.resize(channels);
    for (int c = 0; c < channels; ++c) {
      planes[c] = reinterpret_cast<uint8_t*>(samples.data() + static_cast<size_t>(c) * count);
    }
    const int converted = swr_convert(resampler, planes.data(), count,
                                      const_cast<const uint8_t**>(frame->extended_data), count);
    if (converted <= 0) return;
    // In slices shorter than libltc's queue, however long the audio frame.
    float* channelSamples = reinterpret_cast<float*>(planes[channel]);
    for (int done = 0; done < converted;) {
      const int slice = std::min(converted - done, sampleRate / 4 + 1);
      ltc_decoder_write_float(ltc, channelSamples + done, slice, samplesWritten);
      samplesWritten += slice;
      done += slice;
      TakeDecoded();
    }
  }

  void TakeDecoded() {
    LTCFrameExt decoded;
    while (ltc_decoder_read(ltc, &decoded)) {
      if (decoded.reverse || decoded.off_end <= decoded.off_start) continue;
      DecodedLtc entry;
      entry.start = startSeconds + static_cast<double>(decoded.off_start) / sampleRate;
      entry.end = startSeconds + static_cast<double>(decoded.off_end + 1) / sampleRate;
      entry.frame = decoded.ltc;
      if (ltcFps == 0) {
        // LTC does not carry its rate: the nearest standard one to the frame's length.
        const double fps = 1.0 / (entry.end - entry.start);
        ltcFps = 30;
        for (int candidate : {24, 25}) {
          if (std::fabs(fps - candidate) < std::fabs(fps - ltcFps)) ltcFps = candidate;
        }
      }
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

std::unique_ptr<LtcReader> LtcReader::Open(const std::string& pPath, int pChannel, double pVideoFps,
                                           std::string* pWhy) {
  std::unique_ptr<LtcReader> reader(new LtcReader());
  Impl& impl = *reader->mImpl;
  if (avformat_open_input(&impl.format, pPath.c_str(), nullptr, nullptr) < 0 ||
      avformat_find_stream_info(impl.format, nullptr) < 0) {
    *pWhy = "its audio cannot be read";
    return nullptr;
  }
  int remaining = pChannel;
  int total = 0;
  for (unsigned i = 0; i < impl.format->nb_streams; ++i) {
    AVStream* stream = impl.format->streams[i];
    stream->discard = AVDISCARD_ALL;
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    const int channels = stream->codecpar->ch_layout.nb_channels;
    total += channels;
    if (impl.streamIndex < 0 && remaining >= 0 && remaining < channels) {
      impl.streamIndex = static_cast<int>(i);
      impl.channel = remaining;
    }
    remaining -= channels;
  }
  if (impl.streamIndex < 0) {
    *pWhy = total == 0 ? "it has no audio"
                       : "it has " + std::to_string(total) + " audio channels, no channel " +
                             std::to_string(pChannel);
    return nullptr;
  }
  AVStream* stream = impl.format->streams[impl.streamIndex];
  stream->discard = AVDISCARD_DEFAULT;
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  impl.decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!impl.decoder || avcodec_parameters_to_context(impl.decoder, stream->codecpar) < 0 ||
      avcodec_open2(impl.decoder, codec, nullptr) < 0 || impl.decoder->sample_rate <= 0) {
    *pWhy = "its audio does not decode";
    return nullptr;
  }
  impl.sampleRate = impl.decoder->sample_rate;
  impl.packet = av_packet_alloc();
  impl.frame = av_frame_alloc();
  const double perFrame = pVideoFps > 1.0 ? impl.sampleRate / pVideoFps : impl.sampleRate / 25.0;
  impl.ltc = ltc_decoder_create(static_cast<int>(std::min(perFrame, 1e6)), kQueueFrames);
  if (!impl.packet || !impl.frame || !impl.ltc) {
    *pWhy = "out of memory";
    return nullptr;
  }
  return reader;
}

bool LtcReader::Probe(double pSeconds) {
  Impl& impl = *mImpl;
  while (impl.frames.size() < 2 &&
         (!impl.haveStart || impl.DecodedUntil() < impl.startSeconds + pSeconds) && impl.Step()) {
  }
  return impl.frames.size() >= 2;
}

bool LtcReader::At(double pSeconds, Timecode* pTimecode) {
  Impl& impl = *mImpl;
  while ((impl.frames.empty() || impl.frames.back().end <= pSeconds) &&
         (!impl.haveStart || impl.DecodedUntil() < pSeconds + kLookaheadSeconds) && impl.Step()) {
  }
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

}  // namespace media

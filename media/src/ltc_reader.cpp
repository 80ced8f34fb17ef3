#include "ltc_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "footage_timecode.h"
#include "ltc_conditioner.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace media {
namespace {

// One channel's samples from decoded audio frames of any sample format, as floats.
class ChannelSamples {
 public:
  ~ChannelSamples() {
    swr_free(&mResampler);
    av_channel_layout_uninit(&mLayout);
  }
  // Every channel of pFrame as planar floats; null when it cannot be converted.
  const float* Channel(const AVFrame* pFrame, int pChannel, int* pCount) {
    const int channels = pFrame->ch_layout.nb_channels;
    if (pChannel >= channels || pFrame->nb_samples <= 0 || !Ready(pFrame)) return nullptr;
    const int count = pFrame->nb_samples;
    mSamples.resize(static_cast<size_t>(channels) * count);
    mPlanes.resize(channels);
    for (int c = 0; c < channels; ++c) {
      mPlanes[c] = reinterpret_cast<uint8_t*>(mSamples.data() + static_cast<size_t>(c) * count);
    }
    *pCount = swr_convert(mResampler, mPlanes.data(), count,
                          const_cast<const uint8_t**>(pFrame->extended_data), count);
    return *pCount > 0 ? reinterpret_cast<const float*>(mPlanes[pChannel]) : nullptr;
  }

 private:
  bool Ready(const AVFrame* pFrame) {
    if (pFrame->format == mFormat && pFrame->sample_rate == mRate &&
        av_channel_layout_compare(&pFrame->ch_layout, &mLayout) == 0) {
      return mResampler != nullptr;
    }
    swr_free(&mResampler);
    av_channel_layout_uninit(&mLayout);
    mFormat = pFrame->format;
    mRate = pFrame->sample_rate;
    // Planar float, the same rate: no more than a change of sample format.
    AVChannelLayout* layout = const_cast<AVChannelLayout*>(&pFrame->ch_layout);
    if (swr_alloc_set_opts2(&mResampler, layout, AV_SAMPLE_FMT_FLTP, pFrame->sample_rate, layout,
                            static_cast<AVSampleFormat>(pFrame->format), pFrame->sample_rate, 0,
                            nullptr) < 0 ||
        swr_init(mResampler) < 0 || av_channel_layout_copy(&mLayout, &pFrame->ch_layout) < 0) {
      swr_free(&mResampler);
      return false;
    }
    return true;
  }

  SwrContext* mResampler = nullptr;
  int mFormat = -1;
  int mRate = 0;
  AVChannelLayout mLayout{};
  std::vector<float> mSamples;
  std::vector<uint8_t*> mPlanes;
};

// An audio stream's decoder, its frames' times in seconds on the file's clock.
struct StreamDecoder {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVRational timeBase{1, 1};
  double until = -std::numeric_limits<double>::infinity();

  ~StreamDecoder() {
    av_frame_free(&frame);
    avcodec_free_context(&context);
  }
  bool Open(const AVCodecParameters* pParameters, AVRational pTimeBase) {
    timeBase = pTimeBase;
    const AVCodec* codec = avcodec_find_decoder(pParameters->codec_id);
    context = codec ? avcodec_alloc_context3(codec) : nullptr;
    frame = av_frame_alloc();
    if (!context || !frame || avcodec_parameters_to_context(context, pParameters) < 0) return false;
    context->pkt_timebase = timeBase;
    return avcodec_open2(context, codec, nullptr) >= 0 && context->sample_rate > 0;
  }
  // Each decoded frame of pPacket (null: the end) to pTake, with its start in seconds.
  template <class tTake>
  void Decode(const AVPacket* pPacket, tTake pTake) {
    // A packet that does not decode leaves a gap in the LTC, counted over.
    avcodec_send_packet(context, pPacket);
    while (avcodec_receive_frame(context, frame) == 0) {
      const int64_t pts = frame->best_effort_timestamp;
      const double start = pts != AV_NOPTS_VALUE  ? pts * av_q2d(timeBase)
                           : std::isfinite(until) ? until
                                                  : 0.0;
      if (frame->sample_rate > 0)
        until = start + static_cast<double>(frame->nb_samples) / frame->sample_rate;
      pTake(frame, start);
      av_frame_unref(frame);
    }
  }
};

// How long a look through a file reads on past the lock, to tell 23.976 from
// 24 (two samples a frame apart at 48 kHz): the three frames that lock measure
// their length only to 1.5 samples, a second of them to a fifth of one.
constexpr double kMeasureSeconds = 1.0;

// The LTC frame pOffset frames after pFrom (before it where negative).
Timecode Counted(const LtcFrameTime& pFrom, long long pOffset) {
  const AVRational rate = LtcRateOf(pFrom);
  TimecodeCounter counter;
  if (!counter.InitFromFields(pFrom.hours, pFrom.minutes, pFrom.seconds, pFrom.frames,
                              rate.den == 1001, rate)) {
    return Timecode();
  }
  return counter.At(pOffset);
}

}  // namespace

struct LtcReader::Impl {
  StreamDecoder stream;
  ChannelSamples samples;
  std::unique_ptr<LtcAudioDecoder> ltc;
  LtcVerifier verifier;
  int channel = 0;
  bool ended = false;
  bool haveFirst = false;
  LtcFrameTime first;
  double period = 0.0;    // seconds a frame lasts in first's run
  bool spanOpen = false;  // counted back from the first frame found, before it
  LtcSpan span;
  std::vector<LtcSpan> closed;

  void Take(const AVFrame* pFrame, double pStart) {
    int count = 0;
    const float* mono = samples.Channel(pFrame, channel, &count);
    if (!mono) return;
    if (!ltc) ltc = std::make_unique<LtcAudioDecoder>(pFrame->sample_rate);
    ltc->Write(mono, static_cast<size_t>(count), pStart);
    LtcFrameTime decoded;
    while (ltc->Read(&decoded)) verifier.Add(decoded);
    verifier.SetAudioUntil(ltc->WrittenUntil());
  }
};

LtcReader::LtcReader() : mImpl(std::make_unique<Impl>()) {}
LtcReader::~LtcReader() = default;

std::unique_ptr<LtcReader> LtcReader::Create(const AVCodecParameters* pParameters,
                                             int pTimeBaseNumerator, int pTimeBaseDenominator,
                                             int pChannel, double /*pVideoFps*/,
                                             const LtcFound* pFound, std::string* pWhy) {
  std::unique_ptr<LtcReader> reader(new LtcReader());
  Impl& impl = *reader->mImpl;
  impl.channel = pChannel;
  if (!impl.stream.Open(pParameters, AVRational{pTimeBaseNumerator, pTimeBaseDenominator})) {
    *pWhy = "its audio does not decode";
    return nullptr;
  }
  if (pFound) {
    impl.haveFirst = true;
    impl.first = pFound->first;
    impl.period = pFound->period > 0.0
                      ? pFound->period
                      : LtcPeriod(LtcRateOf(impl.first), impl.first.end - impl.first.start);
  }
  return reader;
}

void LtcReader::Feed(const AVPacket* pPacket) {
  Impl& impl = *mImpl;
  if (impl.ended) return;
  impl.stream.Decode(pPacket,
                     [&](const AVFrame* pFrame, double pStart) { impl.Take(pFrame, pStart); });
  if (!pPacket) {
    impl.ended = true;
    impl.verifier.Finish();
  }
}

bool LtcReader::Settled(double pSeconds) const {
  const Impl& impl = *mImpl;
  return impl.ended || (impl.haveFirst && pSeconds < impl.first.start) ||
         impl.verifier.FinalUntil() > pSeconds;
}

bool LtcReader::At(double pSeconds, Timecode* pTimecode, double* pStart, bool* pCounted) {
  Impl& impl = *mImpl;
  if (impl.haveFirst && pSeconds < impl.first.start) {
    // Before any LTC runs true: counted back from the first frame that does,
    // whole frames of the run's exact length, not of one frame's measure.
    const double frames = std::floor((pSeconds - impl.first.start) / impl.period);
    if (!(frames > -1e9)) return false;
    *pTimecode = Counted(impl.first, static_cast<long long>(frames));
    *pStart = impl.first.start + frames * impl.period;
    *pCounted = true;
    if (!impl.spanOpen) impl.span = {pSeconds, pSeconds};
    impl.spanOpen = true;
    impl.span.end = pSeconds;
    return pTimecode->nominalRate > 0;
  }
  if (impl.spanOpen) {
    impl.closed.push_back(impl.span);
    impl.spanOpen = false;
  }
  return impl.verifier.At(pSeconds, pTimecode, pCounted, pStart);
}

std::vector<LtcSpan> LtcReader::TakeCountedSpans(bool pAllAsked) {
  Impl& impl = *mImpl;
  std::vector<LtcSpan> spans;
  spans.swap(impl.closed);
  if (pAllAsked && impl.spanOpen) {
    spans.push_back(impl.span);
    impl.spanOpen = false;
  }
  for (const LtcSpan& span : impl.verifier.TakeCountedSpans(pAllAsked)) spans.push_back(span);
  return spans;
}

bool FindLtc(const std::string& pPath, int pChannel, double /*pVideoFps*/, LtcFound* pFound,
             std::string* pWhy) {
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
  // A decoder for each audio stream, and an LTC reader for each channel looked at.
  struct Candidate {
    int stream = 0, channel = 0, overall = 0;
    std::unique_ptr<LtcAudioDecoder> ltc;
    LtcVerifier verifier;
    std::vector<LtcFrameTime> recent;  // the last frames decoded, for the run that locks
  };
  struct Stream {
    std::unique_ptr<StreamDecoder> decoder;
    ChannelSamples samples;
    std::vector<std::unique_ptr<Candidate>> candidates;
  };
  std::vector<std::unique_ptr<Stream>> streams(format->nb_streams);
  int audioStreams = 0, overall = 0, looked = 0;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    AVStream* avStream = format->streams[i];
    avStream->discard = AVDISCARD_ALL;
    if (avStream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    const int channels = avStream->codecpar->ch_layout.nb_channels;
    auto stream = std::make_unique<Stream>();
    for (int c = 0; c < channels; ++c, ++overall) {
      if (pChannel >= 0 && overall != pChannel) continue;
      auto candidate = std::make_unique<Candidate>();
      candidate->stream = audioStreams;
      candidate->channel = c;
      candidate->overall = overall;
      stream->candidates.push_back(std::move(candidate));
    }
    ++audioStreams;
    stream->decoder = std::make_unique<StreamDecoder>();
    if (stream->candidates.empty() ||
        !stream->decoder->Open(avStream->codecpar, avStream->time_base)) {
      continue;
    }
    looked += static_cast<int>(stream->candidates.size());
    avStream->discard = AVDISCARD_DEFAULT;
    streams[i] = std::move(stream);
  }
  if (looked == 0) {
    *pWhy = overall == 0          ? "it has no audio"
            : pChannel >= overall ? "it has " + std::to_string(overall) +
                                        " audio channels, no channel " + std::to_string(pChannel)
                                  : "its audio does not decode";
    return false;
  }
  AVPacket* packet = av_packet_alloc();
  if (!packet) {
    *pWhy = "out of memory";
    return false;
  }
  const Candidate* found = nullptr;
  auto take = [&](Stream& pStream, const AVFrame* pFrame, double pStart) {
    for (auto& owned : pStream.candidates) {
      Candidate& candidate = *owned;
      if (found && found != &candidate) continue;
      int count = 0;
      const float* mono = pStream.samples.Channel(pFrame, candidate.channel, &count);
      if (!mono) continue;
      if (!candidate.ltc) candidate.ltc = std::make_unique<LtcAudioDecoder>(pFrame->sample_rate);
      candidate.ltc->Write(mono, static_cast<size_t>(count), pStart);
      LtcFrameTime decoded;
      while (candidate.ltc->Read(&decoded)) {
        candidate.verifier.Add(decoded);
        if (found) continue;
        candidate.recent.push_back(decoded);
        if (candidate.recent.size() > LtcVerifier::kRunLength)
          candidate.recent.erase(candidate.recent.begin());
        // Locked: the run that locked it is the last frames added.
        if (candidate.verifier.FinalUntil() > -std::numeric_limits<double>::infinity()) {
          pFound->stream = candidate.stream;
          pFound->channel = candidate.channel;
          pFound->overall = candidate.overall;
          pFound->first = candidate.recent.front();
          found = &candidate;
        }
      }
    }
  };
  const auto measured = [&] {
    return found && found->ltc->WrittenUntil() >= pFound->first.end + kMeasureSeconds;
  };
  while (!measured() && av_read_frame(format, packet) >= 0) {
    Stream* stream =
        packet->stream_index >= 0 && packet->stream_index < static_cast<int>(streams.size())
            ? streams[packet->stream_index].get()
            : nullptr;
    if (stream) {
      stream->decoder->Decode(
          packet, [&](const AVFrame* pFrame, double pStart) { take(*stream, pFrame, pStart); });
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  if (found) {
    pFound->period = found->verifier.Period();
    return true;
  }
  *pWhy = "no LTC runs true on " +
          (pChannel >= 0 ? "audio channel " + std::to_string(pChannel)
                         : std::string(looked == 1 ? "its one audio channel"
                                                   : "any of its " + std::to_string(looked) +
                                                         " audio channels")) +
          ", in the whole file";
  return false;
}

}  // namespace media

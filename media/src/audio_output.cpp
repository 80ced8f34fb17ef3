#include "audio_output.h"

#include "av_error.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace media {
namespace {

// Silence put in for a gap in the sound is bounded: a longer gap is left as it is.
constexpr double kMostSilenceSeconds = 10.0;

// Rates the AAC encoder takes; others are resampled to 48 kHz.
bool AacRate(int pRate) {
  for (int rate :
       {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000}) {
    if (rate == pRate) return true;
  }
  return false;
}

bool WritePacket(AVFormatContext* pOutput, AVPacket* pPacket, std::string* pError) {
  const int result = av_interleaved_write_frame(pOutput, pPacket);
  av_packet_unref(pPacket);
  if (result < 0) {
    *pError = "cannot write the sound: " + AvErrorText(result);
    return false;
  }
  return true;
}

}  // namespace

bool ContainerTakes(const AVOutputFormat* pFormat, int pCodecId) {
  const AVCodecID id = static_cast<AVCodecID>(pCodecId);
  if (avformat_query_codec(pFormat, id, FF_COMPLIANCE_NORMAL) == 1) return true;
  if (std::strcmp(pFormat->name, "mov") != 0) return false;
  const AVCodecTag* const riff[] = {avformat_get_riff_video_tags(), avformat_get_riff_audio_tags(),
                                    nullptr};
  return av_codec_get_tag(riff, id) != 0;
}

struct AudioOutput::Track {
  int ordinal = 0;
  AVRational inBase{1, 1};
  AVStream* out = nullptr;
  int64_t start = 0;  // the movie's time zero, in inBase
  std::deque<AVPacket*> queue;
  bool done = false;
  // Copied:
  AVPacket* preroll = nullptr;  // the last packet ending before the start
  bool begun = false;
  // Encoded to AAC:
  bool encode = false;
  AVCodecContext* decoder = nullptr;
  AVCodecContext* encoder = nullptr;
  SwrContext* resampler = nullptr;
  AVAudioFifo* fifo = nullptr;
  AVFrame* decoded = nullptr;
  AVFrame* chunk = nullptr;
  AVPacket* encodedPacket = nullptr;
  int64_t nextSample = 0;      // the movie's sample the fifo's end stands at
  int64_t encodedSamples = 0;  // samples sent to the encoder
  std::vector<float> converted;

  // A decoded frame into the fifo at its own time: a gap before it filled
  // with silence, what overlaps the samples before it (or precedes the
  // movie's start) left out.
  bool Place(std::string* pError) {
    const int rate = encoder->sample_rate;
    const int channels = encoder->ch_layout.nb_channels;
    const int room = swr_get_out_samples(resampler, decoded->nb_samples);
    if (room <= 0) return true;
    converted.assign(static_cast<size_t>(channels) * room, 0.0f);
    uint8_t* planes[8] = {};
    for (int c = 0; c < channels; ++c) {
      planes[c] = reinterpret_cast<uint8_t*>(converted.data() + static_cast<size_t>(c) * room);
    }
    const int got =
        swr_convert(resampler, planes, room, const_cast<const uint8_t**>(decoded->extended_data),
                    decoded->nb_samples);
    if (got <= 0) return true;
    int64_t position = nextSample;
    const int64_t pts = decoded->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) position = std::llround((pts - start) * av_q2d(inBase) * rate);
    if (position > nextSample && position - nextSample <= kMostSilenceSeconds * rate) {
      std::vector<float> silence(static_cast<size_t>(position - nextSample), 0.0f);
      uint8_t* quiet[8] = {};
      for (int c = 0; c < channels; ++c) quiet[c] = reinterpret_cast<uint8_t*>(silence.data());
      if (av_audio_fifo_write(fifo, reinterpret_cast<void**>(quiet),
                              static_cast<int>(silence.size())) < 0) {
        *pError = "out of memory";
        return false;
      }
      nextSample = position;
    }
    const int skip =
        position < nextSample ? static_cast<int>(std::min<int64_t>(got, nextSample - position)) : 0;
    if (skip >= got) return true;
    for (int c = 0; c < channels; ++c) planes[c] += static_cast<size_t>(skip) * sizeof(float);
    if (av_audio_fifo_write(fifo, reinterpret_cast<void**>(planes), got - skip) < 0) {
      *pError = "out of memory";
      return false;
    }
    nextSample += got - skip;
    return true;
  }

  bool EncodeChunk(AVFormatContext* pOutput, int pSamples, std::string* pError) {
    av_frame_unref(chunk);
    chunk->nb_samples = pSamples;
    chunk->format = AV_SAMPLE_FMT_FLTP;
    chunk->sample_rate = encoder->sample_rate;
    if (av_channel_layout_copy(&chunk->ch_layout, &encoder->ch_layout) < 0 ||
        av_frame_get_buffer(chunk, 0) < 0 ||
        av_audio_fifo_read(fifo, reinterpret_cast<void**>(chunk->data), pSamples) < pSamples) {
      *pError = "out of memory";
      return false;
    }
    chunk->pts = encodedSamples;
    encodedSamples += pSamples;
    const int result = avcodec_send_frame(encoder, chunk);
    if (result < 0) {
      *pError = "cannot encode the sound: " + AvErrorText(result);
      return false;
    }
    return Drain(pOutput, pError);
  }

  // What the fifo holds up to pEndSeconds of the movie, in whole frames
  // (the rest too, and the encoder flushed, with pLast).
  bool Flush(AVFormatContext* pOutput, double pEndSeconds, bool pLast, std::string* pError) {
    const int64_t limit = std::llround(pEndSeconds * encoder->sample_rate);
    const int size = encoder->frame_size > 0 ? encoder->frame_size : 1024;
    while (av_audio_fifo_size(fifo) >= size && encodedSamples + size <= limit) {
      if (!EncodeChunk(pOutput, size, pError)) return false;
    }
    if (!pLast) return true;
    const int64_t rest = std::min<int64_t>(av_audio_fifo_size(fifo), limit - encodedSamples);
    if (rest > 0 && !EncodeChunk(pOutput, static_cast<int>(std::min<int64_t>(rest, size)), pError))
      return false;
    avcodec_send_frame(encoder, nullptr);
    return Drain(pOutput, pError);
  }

  bool Drain(AVFormatContext* pOutput, std::string* pError) {
    for (;;) {
      const int result = avcodec_receive_packet(encoder, encodedPacket);
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
      if (result < 0) {
        *pError = "cannot encode the sound: " + AvErrorText(result);
        return false;
      }
      av_packet_rescale_ts(encodedPacket, encoder->time_base, out->time_base);
      encodedPacket->stream_index = out->index;
      if (!WritePacket(pOutput, encodedPacket, pError)) return false;
    }
  }

  ~Track() {
    for (AVPacket*& packet : queue) av_packet_free(&packet);
    av_packet_free(&preroll);
    av_packet_free(&encodedPacket);
    av_frame_free(&decoded);
    av_frame_free(&chunk);
    if (fifo) av_audio_fifo_free(fifo);
    swr_free(&resampler);
    avcodec_free_context(&decoder);
    avcodec_free_context(&encoder);
  }
};

AudioOutput::AudioOutput() = default;
AudioOutput::~AudioOutput() = default;

bool AudioOutput::Open(const std::vector<AudioStreamInfo>& pStreams, AudioMode pMode,
                       double pStartSeconds, AVFormatContext* pOutput,
                       std::vector<std::string>* pNotes, std::string* pError) {
  mOutput = pOutput;
  mStartSeconds = pStartSeconds;
  if (pMode == AudioMode::kNone) return true;
  const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
  for (size_t i = 0; i < pStreams.size(); ++i) {
    const AudioStreamInfo& info = pStreams[i];
    const AVCodecParameters* in = info.parameters;
    const bool takes = ContainerTakes(pOutput->oformat, in->codec_id);
    if (pMode == AudioMode::kCopy && !takes) {
      *pError = std::string("its sound (") + avcodec_get_name(in->codec_id) +
                ") cannot be copied into " + pOutput->oformat->long_name +
                "; use --audio aac, or another container";
      return false;
    }
    auto track = std::make_unique<Track>();
    track->ordinal = static_cast<int>(i);
    track->inBase = AVRational{info.timeBaseNumerator, info.timeBaseDenominator};
    track->start =
        av_rescale_q(std::llround(pStartSeconds * AV_TIME_BASE), AV_TIME_BASE_Q, track->inBase);
    track->encode = pMode == AudioMode::kAac || !takes;
    track->out = avformat_new_stream(pOutput, nullptr);
    if (!track->out) {
      *pError = "out of memory";
      return false;
    }
    if (!info.language.empty())
      av_dict_set(&track->out->metadata, "language", info.language.c_str(), 0);
    if (!track->encode) {
      track->preroll = av_packet_alloc();
      if (!track->preroll || avcodec_parameters_copy(track->out->codecpar, in) < 0) {
        *pError = "out of memory";
        return false;
      }
      // The source container's tag may mean nothing in ours; the muxer picks one.
      track->out->codecpar->codec_tag = 0;
      track->out->time_base = track->inBase;
      mTracks.push_back(std::move(track));
      continue;
    }
    const AVCodec* codec = avcodec_find_decoder(in->codec_id);
    track->decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!track->decoder || avcodec_parameters_to_context(track->decoder, in) < 0 ||
        (track->decoder->pkt_timebase = track->inBase,
         avcodec_open2(track->decoder, codec, nullptr)) < 0 ||
        track->decoder->sample_rate <= 0 || track->decoder->ch_layout.nb_channels <= 0) {
      *pError = std::string("its sound (") + avcodec_get_name(in->codec_id) + ") does not decode";
      return false;
    }
    if (!aac || !(track->encoder = avcodec_alloc_context3(aac))) {
      *pError = "this FFmpeg has no AAC encoder";
      return false;
    }
    AVCodecContext* encoder = track->encoder;
    const int channels = std::min(track->decoder->ch_layout.nb_channels, 8);
    av_channel_layout_default(&encoder->ch_layout, channels);
    encoder->sample_rate =
        AacRate(track->decoder->sample_rate) ? track->decoder->sample_rate : 48000;
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->bit_rate = 96000LL * channels;
    encoder->time_base = AVRational{1, encoder->sample_rate};
    if (pOutput->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(encoder, aac, nullptr);
    if (result < 0) {
      *pError = "cannot open the AAC encoder: " + AvErrorText(result);
      return false;
    }
    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, track->decoder->ch_layout.nb_channels);
    const AVChannelLayout& from = track->decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC
                                      ? inLayout
                                      : track->decoder->ch_layout;
    result =
        swr_alloc_set_opts2(&track->resampler, &encoder->ch_layout, AV_SAMPLE_FMT_FLTP,
                            encoder->sample_rate, const_cast<AVChannelLayout*>(&from),
                            track->decoder->sample_fmt, track->decoder->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (result < 0 || swr_init(track->resampler) < 0) {
      *pError = "cannot convert its sound for AAC";
      return false;
    }
    track->fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, encoder->frame_size * 4);
    track->decoded = av_frame_alloc();
    track->chunk = av_frame_alloc();
    track->encodedPacket = av_packet_alloc();
    if (!track->fifo || !track->decoded || !track->chunk || !track->encodedPacket ||
        avcodec_parameters_from_context(track->out->codecpar, encoder) < 0) {
      *pError = "out of memory";
      return false;
    }
    track->out->time_base = encoder->time_base;
    pNotes->push_back(std::string("sound stream ") + std::to_string(i + 1) + " (" +
                      avcodec_get_name(in->codec_id) + ") is encoded to AAC" +
                      (takes
                           ? " as asked"
                           : std::string(": ") + pOutput->oformat->long_name + " cannot hold it"));
    mTracks.push_back(std::move(track));
  }
  return true;
}

void AudioOutput::Take(AudioPackets&& pPackets) {
  for (size_t i = 0; i < pPackets.Size(); ++i) {
    for (auto& track : mTracks) {
      if (track->ordinal != pPackets.Stream(i) || track->done) continue;
      AVPacket* copy = av_packet_alloc();
      if (!copy) break;
      av_packet_move_ref(copy, pPackets.Packet(i));
      track->queue.push_back(copy);
    }
  }
  pPackets.Clear();
}

namespace {

bool Copy(AVFormatContext* pOutput, AVPacket* pPacket, int64_t pStart, AVRational pInBase,
          AVStream* pOut, std::string* pError) {
  if (pPacket->pts != AV_NOPTS_VALUE) pPacket->pts -= pStart;
  if (pPacket->dts != AV_NOPTS_VALUE) pPacket->dts -= pStart;
  av_packet_rescale_ts(pPacket, pInBase, pOut->time_base);
  pPacket->stream_index = pOut->index;
  pPacket->pos = -1;
  return WritePacket(pOutput, pPacket, pError);
}

}  // namespace

bool AudioOutput::WriteUntil(double pEndSeconds, bool pLast, std::string* pError) {
  for (auto& owned : mTracks) {
    Track& track = *owned;
    if (track.done) continue;
    const int64_t end = std::llround(pEndSeconds / av_q2d(track.inBase));
    while (!track.queue.empty()) {
      AVPacket* packet = track.queue.front();
      const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      if (time != AV_NOPTS_VALUE && time - track.start >= end) {
        if (!pLast) break;  // held until the video reaches it
        av_packet_free(&packet);
        track.queue.pop_front();
        continue;
      }
      track.queue.pop_front();
      bool written = true;
      if (time == AV_NOPTS_VALUE) {
        // Nowhere to place it.
      } else if (!track.encode) {
        if (time - track.start + packet->duration <= 0) {
          // Wholly before the start: the one just before is kept, as
          // decoders need it to prime.
          av_packet_unref(track.preroll);
          av_packet_move_ref(track.preroll, packet);
        } else {
          if (!track.begun) {
            track.begun = true;
            if (track.preroll->size > 0)
              written = Copy(mOutput, track.preroll, track.start, track.inBase, track.out, pError);
          }
          written = written && Copy(mOutput, packet, track.start, track.inBase, track.out, pError);
        }
      } else {
        // A packet that does not decode leaves a gap, filled with silence below.
        if (avcodec_send_packet(track.decoder, packet) >= 0) {
          while (written && avcodec_receive_frame(track.decoder, track.decoded) == 0) {
            written = track.Place(pError);
            av_frame_unref(track.decoded);
          }
        }
      }
      av_packet_free(&packet);
      if (!written) return false;
    }
    if (track.encode && !track.Flush(mOutput, pEndSeconds, pLast, pError)) return false;
    if (pLast) track.done = true;
  }
  return true;
}

}  // namespace media

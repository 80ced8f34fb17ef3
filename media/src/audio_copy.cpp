#include "audio_copy.h"

#include "av_error.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include <cmath>
#include <cstring>

namespace media {

bool ContainerTakes(const AVOutputFormat* pFormat, int pCodecId) {
  const AVCodecID id = static_cast<AVCodecID>(pCodecId);
  if (avformat_query_codec(pFormat, id, FF_COMPLIANCE_NORMAL) == 1) return true;
  if (std::strcmp(pFormat->name, "mov") != 0) return false;
  const AVCodecTag* const riff[] = {avformat_get_riff_video_tags(), avformat_get_riff_audio_tags(),
                                    nullptr};
  return av_codec_get_tag(riff, id) != 0;
}

AudioCopy::~AudioCopy() {
  for (Track& track : mTracks) av_packet_free(&track.preroll);
  av_packet_free(&mPending);
  avformat_close_input(&mInput);
}

bool AudioCopy::Open(const std::string& pPath, double pStartSeconds, AVFormatContext* pOutput,
                     std::string* pError) {
  mPath = pPath;
  mOutput = pOutput;
  int result = avformat_open_input(&mInput, pPath.c_str(), nullptr, nullptr);
  if (result < 0) {
    *pError = pPath + ": cannot open for its audio: " + AvErrorText(result);
    return false;
  }
  result = avformat_find_stream_info(mInput, nullptr);
  if (result < 0) {
    *pError = pPath + ": cannot read its streams: " + AvErrorText(result);
    return false;
  }
  mPending = av_packet_alloc();
  if (!mPending) {
    *pError = pPath + ": out of memory";
    return false;
  }

  // Time 0 of the footage is its first video frame, as the reader counts it.
  int64_t origin = 0;
  AVRational originBase = AV_TIME_BASE_Q;
  const int video = av_find_best_stream(mInput, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video >= 0 && mInput->streams[video]->start_time != AV_NOPTS_VALUE) {
    origin = mInput->streams[video]->start_time;
    originBase = mInput->streams[video]->time_base;
  } else if (mInput->start_time != AV_NOPTS_VALUE) {
    origin = mInput->start_time;
  }
  const int64_t offset = std::llround(pStartSeconds * AV_TIME_BASE);

  for (unsigned i = 0; i < mInput->nb_streams; ++i) {
    AVStream* in = mInput->streams[i];
    if (in->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
      // Not even read from disk.
      in->discard = AVDISCARD_ALL;
      continue;
    }
    const AVCodecID codec = in->codecpar->codec_id;
    if (!ContainerTakes(pOutput->oformat, codec)) {
      *pError = pPath + ": its audio (" + avcodec_get_name(codec) + ") cannot be copied into " +
                pOutput->oformat->long_name + "; choose another container";
      return false;
    }
    AVStream* out = avformat_new_stream(pOutput, nullptr);
    Track track;
    track.preroll = av_packet_alloc();
    if (!out || !track.preroll) {
      av_packet_free(&track.preroll);
      *pError = pPath + ": out of memory";
      return false;
    }
    result = avcodec_parameters_copy(out->codecpar, in->codecpar);
    if (result < 0) {
      av_packet_free(&track.preroll);
      *pError = pPath + ": cannot copy its audio parameters: " + AvErrorText(result);
      return false;
    }
    // The source container's tag may mean nothing in ours; the muxer picks one.
    out->codecpar->codec_tag = 0;
    out->time_base = in->time_base;
    out->disposition = in->disposition;
    av_dict_copy(&out->metadata, in->metadata, 0);
    track.input = static_cast<int>(i);
    track.output = out;
    track.start = av_rescale_q(origin, originBase, in->time_base) +
                  av_rescale_q(offset, AV_TIME_BASE_Q, in->time_base);
    mTracks.push_back(track);
  }
  if (mTracks.empty()) avformat_close_input(&mInput);
  return true;
}

AudioCopy::Track* AudioCopy::Find(int pInputIndex) {
  for (Track& track : mTracks) {
    if (track.input == pInputIndex) return &track;
  }
  return nullptr;
}

bool AudioCopy::Send(Track* pTrack, AVPacket* pPacket, std::string* pError) {
  if (pPacket->pts != AV_NOPTS_VALUE) pPacket->pts -= pTrack->start;
  if (pPacket->dts != AV_NOPTS_VALUE) pPacket->dts -= pTrack->start;
  av_packet_rescale_ts(pPacket, mInput->streams[pTrack->input]->time_base,
                       pTrack->output->time_base);
  pPacket->stream_index = pTrack->output->index;
  pPacket->pos = -1;
  const int result = av_interleaved_write_frame(mOutput, pPacket);
  av_packet_unref(pPacket);
  if (result < 0) {
    *pError = "cannot write the audio of " + mPath + ": " + AvErrorText(result);
    return false;
  }
  return true;
}

bool AudioCopy::WriteUntil(int64_t pEnd, AVRational pTimeBase, bool pLast, std::string* pError) {
  if (mTracks.empty()) return true;
  for (;;) {
    if (!mHavePending) {
      if (mEnded) return true;
      const int result = av_read_frame(mInput, mPending);
      if (result == AVERROR_EOF) {
        mEnded = true;
        return true;
      }
      if (result < 0) {
        *pError = mPath + ": cannot read its audio: " + AvErrorText(result);
        return false;
      }
      mHavePending = true;
    }
    Track* track = Find(mPending->stream_index);
    const int64_t time = mPending->pts != AV_NOPTS_VALUE ? mPending->pts : mPending->dts;
    if (!track || track->done || time == AV_NOPTS_VALUE) {
      av_packet_unref(mPending);
      mHavePending = false;
      continue;
    }
    const int64_t relative = time - track->start;
    const AVRational base = mInput->streams[track->input]->time_base;
    if (av_compare_ts(relative, base, pEnd, pTimeBase) >= 0) {
      // Held until the video reaches it.
      if (!pLast) return true;
      track->done = true;
      av_packet_unref(mPending);
      mHavePending = false;
      bool allDone = true;
      for (const Track& other : mTracks) allDone = allDone && other.done;
      if (allDone) return true;
      continue;
    }
    mHavePending = false;
    if (relative < 0 && relative + mPending->duration <= 0) {
      // Wholly before the start; the packet just before the first one played
      // is kept, as decoders need it to prime (and it is the encoder's priming
      // packet at a file's start).
      av_packet_unref(track->preroll);
      av_packet_move_ref(track->preroll, mPending);
      continue;
    }
    if (!track->begun) {
      track->begun = true;
      if (track->preroll->size > 0 && !Send(track, track->preroll, pError)) return false;
    }
    if (!Send(track, mPending, pError)) return false;
  }
}

}  // namespace media

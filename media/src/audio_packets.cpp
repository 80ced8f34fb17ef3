#include <media/audio_packets.h>

extern "C" {
#include <libavcodec/packet.h>
}

namespace media {

AudioPackets::~AudioPackets() { Clear(); }

AudioPackets::AudioPackets(AudioPackets&& pOther) noexcept : mPackets(std::move(pOther.mPackets)) {
  pOther.mPackets.clear();
}

AudioPackets& AudioPackets::operator=(AudioPackets&& pOther) noexcept {
  if (this != &pOther) {
    Clear();
    mPackets = std::move(pOther.mPackets);
    pOther.mPackets.clear();
  }
  return *this;
}

bool AudioPackets::Add(AVPacket* pPacket, int pStream) {
  AVPacket* lPacket = av_packet_alloc();
  if (!lPacket) return false;
  av_packet_move_ref(lPacket, pPacket);
  mPackets.emplace_back(lPacket, pStream);
  return true;
}

void AudioPackets::RemoveIf(const std::function<bool(size_t)>& pDrop) {
  size_t kept = 0;
  for (size_t i = 0; i < mPackets.size(); ++i) {
    if (pDrop(i)) {
      av_packet_free(&mPackets[i].first);
    } else {
      mPackets[kept++] = mPackets[i];
    }
  }
  mPackets.resize(kept);
}

void AudioPackets::Clear() {
  for (auto& lEntry : mPackets) av_packet_free(&lEntry.first);
  mPackets.clear();
}

}  // namespace media

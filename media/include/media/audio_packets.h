#pragma once
// The footage's audio as its demuxer read it: packets, untouched, for a movie
// to copy or re-encode. Each packet's times are counted from the footage's time
// zero (its first video frame presented), in its own stream's time base.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct AVPacket;
struct AVCodecParameters;

namespace media {

// One audio stream of the footage, as a movie takes it.
struct AudioStreamInfo {
  const AVCodecParameters* parameters = nullptr;  // valid while the footage is open
  int timeBaseNumerator = 1;
  int timeBaseDenominator = 1;
  std::string language;  // empty where the footage names none
};

class AudioPackets {
 public:
  AudioPackets() = default;
  ~AudioPackets();
  AudioPackets(AudioPackets&& pOther) noexcept;
  AudioPackets& operator=(AudioPackets&& pOther) noexcept;
  AudioPackets(const AudioPackets&) = delete;
  AudioPackets& operator=(const AudioPackets&) = delete;

  // Takes the packet (its reference moves here; false when out of memory);
  // pStream counts the footage's
  // audio streams from 0.
  bool Add(AVPacket* pPacket, int pStream);
  void Clear();
  // Frees the packets pDrop names by their index, keeping the others in order.
  void RemoveIf(const std::function<bool(size_t)>& pDrop);
  size_t Size() const { return mPackets.size(); }
  AVPacket* Packet(size_t pIndex) const { return mPackets[pIndex].first; }
  int Stream(size_t pIndex) const { return mPackets[pIndex].second; }

 private:
  std::vector<std::pair<AVPacket*, int>> mPackets;
};

}  // namespace media

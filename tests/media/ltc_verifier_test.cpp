// LTC written by libltc's encoder, damaged as links and edits damage it, read
// back through the conditioner, libltc's decoder and the verifier.

#include "ltc_verifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <random>
#include <vector>

#include "ltc_conditioner.h"

extern "C" {
#include <ltc.h>
}

namespace media {
static void PrintTo(const Timecode& pTimecode, std::ostream* pOut) {
  *pOut << pTimecode.ToString() << " counting " << pTimecode.nominalRate;
}
}  // namespace media

namespace {

using media::LtcAudioDecoder;
using media::LtcFrameTime;
using media::LtcSpan;
using media::LtcVerifier;
using media::Timecode;

constexpr int kRate = 48000;
constexpr double kClipSeconds = 8.0;
// Where the clip is damaged.
constexpr double kGarbageFrom = 2.0;  // LTC frames of random values...
constexpr double kNoiseFrom = 2.3;    // ...then loud noise
constexpr double kGarbageTo = 2.45;
constexpr double kSpliceAt = 4.0;  // the LTC jumps back to kSpliceTo
constexpr double kGapFrom = 5.9;   // audio missing, time running on
constexpr double kGapTo = 6.1;
// From here LTC should be read, not counted, after a damaged stretch.
constexpr double kRecovery = 0.15;

struct Written {
  double start;  // seconds
  double end;
  Timecode timecode;  // what the LTC clock said, whatever the audio carries
};

// The frame's timecode as the encoder holds it.
Timecode Held(LTCEncoder* pEncoder, int pNominal, bool pDrop) {
  SMPTETimecode fields{};
  ltc_encoder_get_timecode(pEncoder, &fields);
  return {fields.hours, fields.mins, fields.secs, fields.frame, pDrop, pNominal};
}

void Set(LTCEncoder* pEncoder, int pHours, int pMinutes, int pSeconds, int pFrames) {
  SMPTETimecode fields{};
  fields.hours = static_cast<unsigned char>(pHours);
  fields.mins = static_cast<unsigned char>(pMinutes);
  fields.secs = static_cast<unsigned char>(pSeconds);
  fields.frame = static_cast<unsigned char>(pFrames);
  ltc_encoder_set_timecode(pEncoder, &fields);
}

// Chained one-pole low-pass stages: the rounded edges of a narrow radio link.
void Round(std::vector<float>& pAudio, double pHz, int pStages) {
  const float a = static_cast<float>(1.0 - std::exp(-2.0 * M_PI * pHz / kRate));
  for (int stage = 0; stage < pStages; ++stage) {
    float y = 0.0f;
    for (float& x : pAudio) x = y += a * (x - y);
  }
}

// A resonant low-pass: the ringing a lossy codec leaves after each edge.
void Ring(std::vector<float>& pAudio, double pHz, double pQ) {
  const double w = 2.0 * M_PI * pHz / kRate;
  const double alpha = std::sin(w) / (2.0 * pQ);
  const double a0 = 1.0 + alpha;
  const double b0 = (1.0 - std::cos(w)) / 2.0 / a0;
  const double a1 = -2.0 * std::cos(w) / a0;
  const double a2 = (1.0 - alpha) / a0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (float& x : pAudio) {
    const double y = b0 * (x + 2.0 * x1 + x2) - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    x = static_cast<float>(y);
  }
}

void ScalePeak(std::vector<float>& pAudio, float pPeak) {
  float peak = 0.0f;
  for (float x : pAudio) peak = std::max(peak, std::fabs(x));
  for (float& x : pAudio) x *= pPeak / peak;
}

struct Case {
  const char* name;
  double fps;
  LTC_TV_STANDARD standard;
  int nominal;
  bool drop;
  void (*shape)(std::vector<float>& pAudio, std::mt19937& pRandom);
};

const Case kCases[] = {
    {"24, rounded, noisy and off centre at -30 dBFS", 24.0, LTC_TV_FILM_24, 24, false,
     [](std::vector<float>& pAudio, std::mt19937& pRandom) {
       Round(pAudio, 3000.0, 3);
       ScalePeak(pAudio, 0.0316f);
       std::normal_distribution<float> noise(0.0f, 0.003f);
       for (float& x : pAudio) x += 0.025f + noise(pRandom);
     }},
    {"25, offset and clipped hard", 25.0, LTC_TV_625_50, 25, false,
     [](std::vector<float>& pAudio, std::mt19937&) {
       for (float& x : pAudio) x = std::clamp(10.0f * x + 0.3f, -1.0f, 1.0f);
     }},
    {"29.97 drop-frame, ringing floats peaking at 1.8", 30000.0 / 1001, LTC_TV_525_60, 30, true,
     [](std::vector<float>& pAudio, std::mt19937&) {
       Ring(pAudio, 9000.0, 2.0);
       ScalePeak(pAudio, 1.8f);
     }},
};

// Each LTC frame's time is what the encoder wrote there; where the audio lost
// it the verifier counts, where the audio carries it the verifier reads it, and
// no garbage is ever believed.
TEST(LtcVerifierTest, ReadsDamagedLtcAsTheEncoderWroteIt) {
  for (const Case& c : kCases) {
    for (unsigned seed : {1, 2, 3}) {
      SCOPED_TRACE(c.name);
      SCOPED_TRACE(seed);
      std::mt19937 random(seed);
      LTCEncoder* encoder = ltc_encoder_create(kRate, c.fps, c.standard, 0);
      ASSERT_NE(encoder, nullptr);
      // 01:08:58:00 + 2 s crosses a minute (dropping ;00 and ;01) inside the garbage.
      Set(encoder, 1, 8, 58, 0);
      std::vector<float> audio;
      std::vector<Written> written;
      int garbage = 0;
      double garbageFrom = 0.0;  // the first garbage frame's start
      Timecode last;
      bool spliced = false;
      while (audio.size() < kClipSeconds * kRate) {
        const double start = static_cast<double>(audio.size()) / kRate;
        if (!spliced && start >= kSpliceAt) {
          // Back in time, reaching the next minute inside the gap.
          Set(encoder, 0, 0, 58, 0);
          spliced = true;
        }
        const Timecode clock = Held(encoder, c.nominal, c.drop);
        if (start >= kGarbageFrom && start < kNoiseFrom) {
          // Random values, but the fourth follows the third: a pair is no run either.
          std::uniform_int_distribution<int> hours(0, 23), sixty(1, 59), frame(0, c.nominal - 3);
          if (garbage == 0) garbageFrom = start;
          if (garbage++ == 3) {
            ++last.frames;
          } else {
            last = {hours(random), sixty(random), sixty(random), frame(random)};
          }
          Set(encoder, last.hours, last.minutes, last.seconds, last.frames);
        }
        ltc_encoder_encode_frame(encoder);
        ltcsnd_sample_t* samples = nullptr;
        const int size = ltc_encoder_get_bufferptr(encoder, &samples, 1);
        for (int i = 0; i < size; ++i) audio.push_back((samples[i] - 128) / 127.0f);
        if (start >= kGarbageFrom && start < kNoiseFrom) {
          Set(encoder, clock.hours, clock.minutes, clock.seconds, clock.frames);
        }
        ltc_encoder_inc_timecode(encoder);
        written.push_back({start, static_cast<double>(audio.size()) / kRate, clock});
      }
      ltc_encoder_free(encoder);
      std::uniform_real_distribution<float> loud(-0.7f, 0.7f);
      for (size_t i = kNoiseFrom * kRate; i < kGarbageTo * kRate; ++i) audio[i] = loud(random);
      c.shape(audio, random);

      // Fed as a reader would: audio frames with their times, skipping the gap,
      // and each frame's time asked once the verifier says its answer is final.
      LtcAudioDecoder decoder(kRate);
      LtcVerifier verifier;
      size_t asked = 0;
      auto ask = [&](double pFinalUntil) {
        for (; asked < written.size(); ++asked) {
          const Written& frame = written[asked];
          const double t = (frame.start + frame.end) / 2.0;
          if (t >= pFinalUntil) return;
          SCOPED_TRACE(t);
          Timecode timecode;
          bool counted = false;
          ASSERT_TRUE(verifier.At(t, &timecode, &counted));
          EXPECT_EQ(timecode, frame.timecode);
          // Any frame the damage touches is lost; those clear of it, and of the
          // clip's ends, are read.
          auto touches = [&frame](double pFrom, double pTo) {
            return frame.end > pFrom && frame.start < pTo;
          };
          if (touches(garbageFrom, kGarbageTo) || touches(kGapFrom, kGapTo)) {
            EXPECT_TRUE(counted);
          } else if (!touches(garbageFrom, kGarbageTo + kRecovery) &&
                     !touches(kGapFrom, kGapTo + kRecovery) && !touches(0.0, kRecovery) &&
                     !touches(kClipSeconds - kRecovery, kClipSeconds)) {
            EXPECT_FALSE(counted);
          }
        }
      };
      constexpr size_t kBlock = 1024;
      const size_t gapFrom = kGapFrom * kRate, gapTo = kGapTo * kRate;
      for (size_t at = 0; at < audio.size();) {
        const size_t end =
            std::min({at + kBlock, audio.size(), at < gapFrom ? gapFrom : audio.size()});
        decoder.Write(audio.data() + at, end - at, static_cast<double>(at) / kRate);
        LtcFrameTime frame;
        while (decoder.Read(&frame)) verifier.Add(frame);
        verifier.SetAudioUntil(decoder.WrittenUntil());
        ask(verifier.FinalUntil());
        at = end == gapFrom ? gapTo : end;
      }
      verifier.Finish();
      ask(verifier.FinalUntil());
      EXPECT_EQ(asked, written.size());

      // The warning names the damaged stretches, and nothing else.
      bool garbageNamed = false, gapNamed = false;
      for (const LtcSpan& span : verifier.TakeCountedSpans(true)) {
        SCOPED_TRACE(span.start);
        garbageNamed |= span.start < kGarbageTo && span.end >= kGarbageFrom;
        gapNamed |= span.start < kGapTo && span.end >= kGapFrom;
        auto within = [&span](double pFrom, double pTo) {
          return span.start >= pFrom - kRecovery && span.end < pTo + kRecovery;
        };
        const bool damaged = within(kGarbageFrom, kGarbageTo) || within(kGapFrom, kGapTo) ||
                             within(0.0, 0.0) || within(kClipSeconds, kClipSeconds);
        EXPECT_TRUE(damaged) << span.start << " to " << span.end;
      }
      EXPECT_TRUE(garbageNamed);
      EXPECT_TRUE(gapNamed);
    }
  }
}

// Frames that look like a run to libavutil's arithmetic alone are still not
// believed: fields past the rate, or frames a pause in the LTC holds apart.
TEST(LtcVerifierTest, BelievesOnlyFramesThatRunTrue) {
  struct Asked {
    double seconds;
    const char* timecode;
    bool counted;
  };
  struct Rule {
    const char* name;
    std::vector<std::pair<double, const char*>> frames;  // start, 25 frames a second
    std::vector<Asked> asked;
  };
  const Rule rules[] = {
      {"a frame number past the rate",
       {{0.00, "01:00:00:25"}, {0.04, "01:00:01:01"}, {0.08, "01:00:01:02"}, {0.12, "01:00:01:03"}},
       {{0.02, "01:00:01:00", true}, {0.06, "01:00:01:01", false}}},
      {"record run: the LTC stopped for a second",
       {{0.00, "01:00:10:10"},
        {0.04, "01:00:10:11"},
        {1.00, "01:00:10:12"},
        {1.04, "01:00:10:13"},
        {1.08, "01:00:10:14"}},
       {{0.02, "01:00:09:12", true}, {1.02, "01:00:10:12", false}}},
  };
  for (const Rule& rule : rules) {
    SCOPED_TRACE(rule.name);
    LtcVerifier verifier;
    for (const auto& [start, text] : rule.frames) {
      LtcFrameTime frame;
      frame.start = start;
      frame.end = start + 0.04;
      ASSERT_EQ(std::sscanf(text, "%d:%d:%d:%d", &frame.hours, &frame.minutes, &frame.seconds,
                            &frame.frames),
                4);
      verifier.Add(frame);
    }
    verifier.Finish();
    for (const Asked& asked : rule.asked) {
      SCOPED_TRACE(asked.seconds);
      Timecode timecode;
      bool counted = false;
      ASSERT_TRUE(verifier.At(asked.seconds, &timecode, &counted));
      EXPECT_EQ(timecode.ToString(), asked.timecode);
      EXPECT_EQ(counted, asked.counted);
    }
  }
}

}  // namespace

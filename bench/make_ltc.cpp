// Writes SMPTE LTC from 10:00:00:00 as raw unsigned 8-bit mono at 48 kHz, for
// the burn-in benchmark's clip with LTC (ffmpeg makes no LTC of its own).
//   vexahud-make-ltc FPS SECONDS OUT.u8

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <ltc.h>
}

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: vexahud-make-ltc FPS SECONDS OUT.u8\n");
    return 2;
  }
  const int fps = std::atoi(argv[1]);
  const int seconds = std::atoi(argv[2]);
  if (fps != 24 && fps != 25 && fps != 30) {
    std::fprintf(stderr, "vexahud-make-ltc: FPS is 24, 25 or 30\n");
    return 2;
  }
  if (seconds <= 0 || seconds > 3600) {
    std::fprintf(stderr, "vexahud-make-ltc: SECONDS is 1 to 3600\n");
    return 2;
  }
  LTCEncoder* encoder =
      ltc_encoder_create(48000, fps, fps == 25 ? LTC_TV_625_50 : LTC_TV_FILM_24, 0);
  FILE* out = std::fopen(argv[3], "wb");
  if (!encoder || !out) {
    std::fprintf(stderr, "vexahud-make-ltc: cannot write %s\n", argv[3]);
    return 1;
  }
  SMPTETimecode start;
  std::memset(&start, 0, sizeof start);
  std::strcpy(start.timezone, "+0000");
  start.hours = 10;
  ltc_encoder_set_timecode(encoder, &start);
  for (int i = 0; i < fps * seconds; ++i) {
    ltc_encoder_encode_frame(encoder);
    ltcsnd_sample_t* samples = nullptr;
    const int size = ltc_encoder_get_bufferptr(encoder, &samples, 1);
    std::fwrite(samples, 1, static_cast<size_t>(size), out);
    ltc_encoder_inc_timecode(encoder);
  }
  ltc_encoder_free(encoder);
  return std::fclose(out) == 0 ? 0 : 1;
}

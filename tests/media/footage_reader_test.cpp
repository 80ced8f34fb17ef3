// The footage reader on media made here by the ffmpeg command and libltc's encoder.

#include <gtest/gtest.h>
#include <media/footage_reader.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
#include <ltc.h>
}

namespace {

namespace fs = std::filesystem;
using media::FootageFrame;
using media::FootageOptions;
using media::FootageReader;
using media::Timecode;
using media::TimecodeOrigin;

class FootageReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char folder[] = "/tmp/media-footage-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    sFolder = folder;
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(sFolder, ignored);
  }

  static std::string PathOf(const std::string& pName) { return sFolder + "/" + pName; }

  // Runs ffmpeg with pArguments, writing pName in the test folder; its path.
  static std::string Ffmpeg(const std::string& pArguments, const std::string& pName) {
    const std::string path = PathOf(pName);
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y " + pArguments + " '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }

  static std::unique_ptr<FootageReader> Open(const std::string& pPath,
                                             TimecodeOrigin pOrigin = TimecodeOrigin::kAuto,
                                             int pLtcChannel = -1,
                                             std::vector<std::string>* pWarnings = nullptr) {
    FootageOptions options;
    options.path = pPath;
    options.timecode = pOrigin;
    options.ltcChannel = pLtcChannel;
    if (pWarnings)
      options.warn = [pWarnings](const std::string& pText) { pWarnings->push_back(pText); };
    std::string error;
    std::unique_ptr<FootageReader> reader = FootageReader::Open(options, &error);
    EXPECT_TRUE(reader) << error;
    return reader;
  }

  // Every frame's number, time and timecode (pictures dropped), and the error at the end.
  struct Read {
    std::vector<FootageFrame> frames;
    std::string error;
  };
  static Read ReadAll(FootageReader* pReader) {
    Read read;
    FootageFrame frame;
    while (pReader->Next(&frame, &read.error)) {
      frame.rgba.clear();
      read.frames.push_back(std::move(frame));
    }
    return read;
  }

  static std::vector<uint8_t> FileBytes(const std::string& pPath) {
    std::ifstream in(pPath, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  static int MaxDifference(const std::vector<uint8_t>& pA, const std::vector<uint8_t>& pB) {
    if (pA.size() != pB.size()) return 256;
    int most = 0;
    for (size_t i = 0; i < pA.size(); ++i) most = std::max(most, std::abs(pA[i] - pB[i]));
    return most;
  }

  static std::string sFolder;
};

std::string FootageReaderTest::sFolder;

Timecode Tc(int pHours, int pMinutes, int pSeconds, int pFrames, int pRate, bool pDrop = false) {
  Timecode timecode;
  timecode.hours = pHours;
  timecode.minutes = pMinutes;
  timecode.seconds = pSeconds;
  timecode.frames = pFrames;
  timecode.nominalRate = pRate;
  timecode.dropFrame = pDrop;
  return timecode;
}

// Non-drop timecode pFrames after pStart.
Timecode Plus(Timecode pStart, int pFrames) {
  const int rate = pStart.nominalRate;
  long long total = ((pStart.hours * 60LL + pStart.minutes) * 60 + pStart.seconds) * rate +
                    pStart.frames + pFrames;
  pStart.frames = static_cast<int>(total % rate);
  total /= rate;
  pStart.seconds = static_cast<int>(total % 60);
  total /= 60;
  pStart.minutes = static_cast<int>(total % 60);
  pStart.hours = static_cast<int>(total / 60 % 24);
  return pStart;
}

// LTC as raw unsigned 8-bit mono at 48 kHz: pCount frames from pStart, jumping
// to pJumpTo at frame pJumpAt (never, where negative).
void WriteLtc(const std::string& pPath, double pFps, LTC_TV_STANDARD pStandard, Timecode pStart,
              int pCount, int pJumpAt = -1, Timecode pJumpTo = Timecode()) {
  LTCEncoder* encoder = ltc_encoder_create(48000, pFps, pStandard, 0);
  ASSERT_NE(encoder, nullptr);
  auto set = [encoder](const Timecode& pTimecode) {
    SMPTETimecode fields{};
    std::snprintf(fields.timezone, sizeof fields.timezone, "+0000");
    fields.hours = static_cast<unsigned char>(pTimecode.hours);
    fields.mins = static_cast<unsigned char>(pTimecode.minutes);
    fields.secs = static_cast<unsigned char>(pTimecode.seconds);
    fields.frame = static_cast<unsigned char>(pTimecode.frames);
    ltc_encoder_set_timecode(encoder, &fields);
  };
  set(pStart);
  std::ofstream out(pPath, std::ios::binary);
  for (int i = 0; i < pCount; ++i) {
    if (i == pJumpAt) set(pJumpTo);
    ltc_encoder_encode_frame(encoder);
    ltcsnd_sample_t* samples = nullptr;
    const int size = ltc_encoder_get_bufferptr(encoder, &samples, 1);
    out.write(reinterpret_cast<const char*>(samples), size);
    ltc_encoder_inc_timecode(encoder);
  }
  ltc_encoder_free(encoder);
}

// A decoded frame is the picture that was encoded, whichever matrix and range
// the movie declares, or the one a player assumes where it declares none.
TEST_F(FootageReaderTest, FrameComesOutAsThePictureEncoded) {
  struct Case {
    const char* size;
    const char* matrix;  // what the picture is encoded with
    const char* range;
    bool tagged;  // whether the movie says so
  };
  const Case cases[] = {
      {"1280x720", "bt709", "tv", true},
      {"1280x720", "bt709", "tv", false},  // HD: BT.709 assumed
      {"640x480", "bt601", "tv", false},   // SD: BT.601 assumed
      {"640x480", "bt709", "pc", true},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.size) + c.matrix + c.range + (c.tagged ? "t" : "u");
    SCOPED_TRACE(name);
    const std::string picture =
        Ffmpeg(std::string("-f lavfi -i testsrc2=s=") + c.size + " -frames:v 1", name + ".png");
    const std::string raw =
        Ffmpeg("-i '" + picture + "' -f rawvideo -pix_fmt rgba", name + ".rgba");
    const std::string movie = Ffmpeg(
        "-i '" + picture + "' -vf scale=out_color_matrix=" + c.matrix + ":out_range=" + c.range +
            ":flags=accurate_rnd+full_chroma_int,format=yuv444p -c:v ffv1" +
            (c.tagged ? std::string(" -colorspace ") + c.matrix + " -color_primaries " + c.matrix +
                            " -color_trc " + c.matrix
                      : std::string()),
        name + ".mkv");
    std::unique_ptr<FootageReader> reader = Open(movie);
    ASSERT_TRUE(reader);
    FootageFrame frame;
    std::string error;
    ASSERT_TRUE(reader->Next(&frame, &error)) << error;
    EXPECT_LE(MaxDifference(frame.rgba, FileBytes(raw)), 3);
    EXPECT_EQ(reader->Colour().matrix, c.tagged ? 1 : 2);
    EXPECT_EQ(reader->Colour().range, std::string(c.range) == "pc" ? 2 : 1);
  }
}

// An image sequence keeps its file numbers, from the first one on disk.
TEST_F(FootageReaderTest, SequenceFromTheFirstNumberOnDisk) {
  fs::create_directory(PathOf("seq"));
  for (const char* pattern : {"plate.%04d.png", "plate.####.dpx"}) {
    SCOPED_TRACE(pattern);
    std::string written = pattern;
    if (written.find('#') != std::string::npos) written.replace(written.find('#'), 4, "%04d");
    Ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -frames:v 3 -start_number 1001", "seq/" + written);
    const std::string raw =
        Ffmpeg("-start_number 1001 -i '" + PathOf("seq/" + written) + "' -f rawvideo -pix_fmt rgba",
               "seq.rgba");
    // Not four digits: not a frame of this pattern.
    fs::copy_file(PathOf("seq/plate.1001" + written.substr(written.size() - 4)),
                  PathOf("seq/plate.999" + written.substr(written.size() - 4)));
    std::unique_ptr<FootageReader> reader = Open(PathOf("seq/" + std::string(pattern)));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->FirstNumber(), 1001);
    EXPECT_EQ(reader->FrameCountHint(), 3);
    std::vector<uint8_t> pictures;
    std::vector<long long> numbers;
    FootageFrame frame;
    std::string error;
    while (reader->Next(&frame, &error)) {
      numbers.push_back(frame.number);
      pictures.insert(pictures.end(), frame.rgba.begin(), frame.rgba.end());
    }
    EXPECT_EQ(error, "");
    EXPECT_EQ(numbers, (std::vector<long long>{1001, 1002, 1003}));
    EXPECT_EQ(pictures, FileBytes(raw));
  }
}

// Plates come out as OpenImageIO's own tool frames them: an EXR's data within
// its display window, one grey channel in all three, tiles, and float EXR
// through the sRGB curve when no OpenColorIO config is given.
TEST_F(FootageReaderTest, PlatesComeOutFramedAsOiiotoolFramesThem) {
  unsetenv("OCIO");
  fs::create_directory(PathOf("plates"));
  const struct {
    const char* name;
    const char* make;
    const char* reference;
  } cases[] = {
      {"window",
       "fill:topleft=1,0,0:bottomright=0,0,2 40x20 3 --origin +8+6 --fullsize 64x36 -d half",
       "--croptofull --colorconvert linear sRGB --ch R,G,B,A=1.0"},
      {"grey", "fill:top=0:bottom=1 64x36 1 -d uint10", "--ch 0,0,0,A=1.0"},
      {"tiled", "fill:left=0,0.2,0.4,1:right=1.5,0.5,0.1,1 64x36 4 --tile 16 16 -d float",
       "--colorconvert linear sRGB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string base = PathOf("plates/") + c.name;
    const std::string ext = std::string(c.name) == "grey" ? ".dpx" : ".exr";
    const std::string make = "oiiotool --pattern " + std::string(c.make) + " -o " + base + ".1001" +
                             ext + " && oiiotool " + base + ".1001" + ext + " " + c.reference +
                             " -d uint8 -o " + base + ".png";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    const std::string raw =
        Ffmpeg("-i '" + base + ".png' -f rawvideo -pix_fmt rgba", std::string(c.name) + ".rgba");
    std::unique_ptr<FootageReader> reader = Open(base + ".####" + ext);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Width(), 64);
    EXPECT_EQ(reader->Height(), 36);
    FootageFrame frame;
    std::string error;
    ASSERT_TRUE(reader->Next(&frame, &error)) << error;
    EXPECT_LE(MaxDifference(frame.rgba, FileBytes(raw)), 1);
  }
}

// A timecode track counts forward from the first frame; a drop-frame one at
// 29.97 skips frames 0 and 1 at each minute but every tenth, and a non-drop
// one at 29.97 or 23.976 counts every frame.
TEST_F(FootageReaderTest, TrackTimecodeCountsFromTheFirstFrame) {
  struct Case {
    const char* rate;
    const char* start;
    int frame;
    Timecode expected;
  };
  const Case cases[] = {
      {"25", "10:00:00:00", 37, Tc(10, 0, 1, 12, 25)},
      {"30000/1001", "00:00:59;28", 2, Tc(0, 1, 0, 2, 30, true)},
      {"30000/1001", "00:09:59;29", 1, Tc(0, 10, 0, 0, 30, true)},
      {"30000/1001", "00:00:59:28", 2, Tc(0, 1, 0, 0, 30)},
      {"24000/1001", "00:00:59:23", 1, Tc(0, 1, 0, 0, 24)},
      {"60000/1001", "00:00:59;58", 2, Tc(0, 1, 0, 4, 60, true)},
  };
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rate) + " " + c.start);
    const std::string movie =
        Ffmpeg(std::string("-f lavfi -i testsrc2=s=64x48:r=") + c.rate + " -frames:v " +
                   std::to_string(c.frame + 1) + " -timecode '" + c.start + "' -c:v libx264",
               "track" + std::to_string(made++) + ".mov");
    std::unique_ptr<FootageReader> reader = Open(movie);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Origin(), TimecodeOrigin::kTrack);
    const Read read = ReadAll(reader.get());
    EXPECT_EQ(read.error, "");
    ASSERT_EQ(read.frames.size(), static_cast<size_t>(c.frame + 1));
    EXPECT_EQ(read.frames.back().number, c.frame);
    EXPECT_EQ(read.frames.back().timecode.ToString(), c.expected.ToString());
    EXPECT_EQ(read.frames.back().timecode, c.expected);
    EXPECT_EQ(reader->FirstTimecode(), read.frames.front().timecode);
  }
}

// Without a timecode, frames count from 0 and 00:00:00:00 even where the
// clip's first presentation time is not 0 (MPEG-TS starts at 1.4 s).
TEST_F(FootageReaderTest, NoTimecodeCountsTheFootagesOwnTime) {
  const std::string movie =
      Ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -frames:v 30 -c:v libx264", "plain.ts");
  std::unique_ptr<FootageReader> reader = Open(movie);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->Origin(), TimecodeOrigin::kNone);
  const Read read = ReadAll(reader.get());
  EXPECT_EQ(read.error, "");
  ASSERT_EQ(read.frames.size(), 30u);
  for (size_t i = 0; i < read.frames.size(); ++i) {
    EXPECT_EQ(read.frames[i].number, static_cast<long long>(i));
    EXPECT_NEAR(read.frames[i].seconds, i / 25.0, 1e-6);
    EXPECT_EQ(read.frames[i].timecode, Plus(Tc(0, 0, 0, 0, 25), static_cast<int>(i)));
  }
}

// LTC on the third audio channel (the second stream's first), read on every
// frame; where it jumps, the frame it jumps on shows the new value.
TEST_F(FootageReaderTest, LtcOnEveryFrameAndWhereItJumps) {
  const Timecode start = Tc(1, 2, 3, 4, 25);
  const Timecode jump = Tc(5, 0, 0, 0, 25);
  const int count = 60;
  const int jumpAt = 23;
  const std::string ltc = PathOf("ltc25.u8");
  WriteLtc(ltc, 25, LTC_TV_625_50, start, count, jumpAt, jump);
  const std::string movie = Ffmpeg(
      "-f lavfi -i testsrc2=s=64x48:r=25 -f lavfi -i sine=r=48000 -f u8 -ar 48000 -ac 1 -i '" +
          ltc + "' -filter_complex '[1]pan=stereo|c0=c0|c1=c0[noise]' -map 0 -map '[noise]' " +
          "-map 2 -t " + std::to_string(count / 25.0) + " -c:v libx264 -c:a pcm_s16le",
      "ltc25.mov");
  for (TimecodeOrigin origin : {TimecodeOrigin::kLtc, TimecodeOrigin::kAuto}) {
    std::unique_ptr<FootageReader> reader = Open(movie, origin, 2);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Origin(), TimecodeOrigin::kLtc);
    EXPECT_EQ(reader->FirstTimecode(), start);
    const Read read = ReadAll(reader.get());
    EXPECT_EQ(read.error, "");
    ASSERT_EQ(read.frames.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(read.frames[i].timecode.ToString(),
                (i < jumpAt ? Plus(start, i) : Plus(jump, i - jumpAt)).ToString())
          << "frame " << i;
    }
  }
}

// LTC where recorders and links put it, as they level and store it: found on
// any channel of any stream, anywhere in the clip, believed only when it runs
// true, and each frame given the LTC frame spanning its start.
TEST_F(FootageReaderTest, LtcAsRecordersMakeIt) {
  const std::string ltc = PathOf("plain.u8");
  WriteLtc(ltc, 25, LTC_TV_625_50, Tc(10, 0, 0, 0, 25), 200);
  // pSilence samples of silence, then pLtc.
  const auto after = [&](const std::string& pLtc, int pSilence, const std::string& pName) {
    const std::string path = PathOf(pName);
    std::ofstream out(path, std::ios::binary);
    out << std::string(pSilence, static_cast<char>(128));
    std::ifstream in(pLtc, std::ios::binary);
    out << in.rdbuf();
    return path;
  };
  const std::string late = after(ltc, 6 * 48000, "late.u8");
  const std::string ltc24 = PathOf("plain24.u8");
  WriteLtc(ltc24, 24, LTC_TV_FILM_24, Tc(10, 0, 0, 0, 24), 150);
  // Two seconds of LTC, silence after it to the end of the clip.
  WriteLtc(PathOf("short24.u8"), 24, LTC_TV_FILM_24, Tc(10, 0, 0, 0, 24), 48);
  const std::string late24 = after(PathOf("short24.u8"), 6 * 48000, "late24.u8");
  WriteLtc(PathOf("plain23976.u8"), 24000.0 / 1001, LTC_TV_FILM_24, Tc(10, 0, 0, 0, 24), 100);
  // From the start of video frame 144, 6.006 s in.
  const std::string late23976 = after(PathOf("plain23976.u8"), 288288, "late23976.u8");
  const std::string ltcIn = "-f u8 -ar 48000 -ac 1 -i '" + ltc + "' ";
  struct Case {
    std::string name;
    std::string ffmpeg;  // the LTC is input 1 (or given inside)
    double videoRate;
    double ltcRate;
    double ltcStart;  // seconds into the clip
  };
  const Case cases[] = {
      // Right channel of a stereo pair, a tone on the left.
      {"right.mov",
       "-f lavfi -i testsrc2=s=64x48:r=25 " + ltcIn +
           "-f lavfi -i sine=r=48000 -filter_complex '[2][1]amerge=inputs=2[a]' -map 0 -map '[a]' "
           "-t 6 -c:v libx264 -c:a pcm_s24le",
       25, 25, 0.0},
      // A second stream, through AAC at -6 dB.
      {"second.mp4",
       "-f lavfi -i testsrc2=s=64x48:r=25 " + ltcIn +
           "-f lavfi -i sine=r=48000 -map 0 -map 2 -map 1 -af volume=-6dB -t 6 -c:v libx264 -c:a "
           "aac",
       25, 25, 0.0},
      // Floats far past full scale, on 50p video.
      {"hot.mov",
       "-f lavfi -i testsrc2=s=64x48:r=50 " + ltcIn +
           "-af volume=3.5 -t 6 -c:v libx264 -c:a pcm_f32le",
       50, 25, 0.0},
      // Starting six seconds in: frame 0 is exactly 150 LTC frames before the first.
      {"late.mov",
       "-f lavfi -i testsrc2=s=64x48:r=25 -f u8 -ar 48000 -ac 1 -i '" + late +
           "' -t 9 -c:v libx264 -c:a pcm_s16le",
       25, 25, 6.0},
      // The same at 24, 144 frames back, and counted on from 8 s.
      {"late24.mov",
       "-f lavfi -i testsrc2=s=64x48:r=24 -f u8 -ar 48000 -ac 1 -i '" + late24 +
           "' -t 9 -c:v libx264 -c:a pcm_s16le",
       24, 24, 6.0},
      // 23.976 from the start of frame 144: counted back at 24, it slips a frame within a second.
      {"late23976.mov",
       "-f lavfi -i testsrc2=s=64x48:r=24000/1001 -f u8 -ar 48000 -ac 1 -i '" + late23976 +
           "' -t 9 -c:v libx264 -c:a pcm_s16le",
       24000.0 / 1001, 24000.0 / 1001, 6.006},
      // 24p over 25 fps LTC: every 24th frame starts 1.7 ms before an LTC frame does.
      {"24over25.mov",
       "-f lavfi -i testsrc2=s=64x48:r=24 " + ltcIn + "-t 6 -c:v libx264 -c:a pcm_s16le", 24, 25,
       0.0},
      // A 0.2 s gap in the sound at 2 s, the times around it kept to the millisecond.
      {"gap.mkv",
       "-f lavfi -i testsrc2=s=64x48:r=24 -f u8 -ar 48000 -ac 1 -i '" + ltc24 +
           "' -af \"aselect='not(between(t,2,2.2))'\" -t 6 -c:v libx264 -c:a pcm_s16le",
       24, 24, 0.0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const std::string movie = Ffmpeg(test.ffmpeg, test.name);
    std::vector<std::string> warnings;
    std::unique_ptr<FootageReader> reader = Open(movie, TimecodeOrigin::kAuto, -1, &warnings);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->Origin(), TimecodeOrigin::kLtc);
    const Read read = ReadAll(reader.get());
    EXPECT_EQ(read.error, "");
    ASSERT_GT(read.frames.size(), static_cast<size_t>(test.videoRate * 5));
    const Timecode start = Tc(10, 0, 0, 0, static_cast<int>(std::lround(test.ltcRate)));
    const int videoNominal = static_cast<int>(std::lround(test.videoRate));
    for (const FootageFrame& frame : read.frames) {
      // Where the frame starts, exactly: Matroska's times are whole milliseconds.
      const double seconds = frame.number / test.videoRate;
      // The LTC frame sounding at the frame's start, as the encoder wrote it.
      const long long ltcFrame =
          static_cast<long long>(std::floor((seconds - test.ltcStart) * test.ltcRate + 1e-6));
      ASSERT_EQ(frame.timecode.ToString(), Plus(start, static_cast<int>(ltcFrame)).ToString())
          << "frame " << frame.number;
      // The movie's track counts at the video's rate.
      const long long ownFrame = std::llround((seconds - test.ltcStart) * test.videoRate);
      const Timecode own = Plus(Tc(10, 0, 0, 0, videoNominal), static_cast<int>(ownFrame));
      ASSERT_EQ(frame.trackTimecode.ToString(), own.ToString()) << "frame " << frame.number;
    }
    EXPECT_EQ(reader->FirstTimecode().ToString(), read.frames.front().timecode.ToString());
    // Each stretch counted is named once, whole: none follows on from the one before.
    long long namedTo = -2;
    for (const std::string& warning : warnings) {
      const char* text = std::strstr(warning.c_str(), "not read, for frame");
      if (!text) continue;
      long long from = 0, to = 0;
      if (std::sscanf(text, "not read, for frames %lld to %lld", &from, &to) != 2) {
        ASSERT_EQ(std::sscanf(text, "not read, for frame %lld", &from), 1) << warning;
        to = from;
      }
      EXPECT_GT(from, namedTo + 1) << warning;
      namedTo = to;
    }
  }
}

// LTC's drop-frame bit decides drop-frame at 29.97.
TEST_F(FootageReaderTest, LtcDropFrameAt2997) {
  const std::string ltc = PathOf("ltc2997.u8");
  WriteLtc(ltc, 30000.0 / 1001, LTC_TV_525_60, Tc(0, 0, 59, 20, 30, true), 20);
  const std::string movie =
      Ffmpeg("-f lavfi -i testsrc2=s=64x48:r=30000/1001 -f u8 -ar 48000 -ac 1 -i '" + ltc +
                 "' -t " + std::to_string(20 * 1.001 / 30) + " -c:v libx264 -c:a pcm_s16le",
             "ltc2997.mov");
  std::unique_ptr<FootageReader> reader = Open(movie, TimecodeOrigin::kLtc);
  ASSERT_TRUE(reader);
  const Read read = ReadAll(reader.get());
  ASSERT_EQ(read.frames.size(), 20u);
  EXPECT_EQ(read.frames[9].timecode, Tc(0, 0, 59, 29, 30, true));
  EXPECT_EQ(read.frames[10].timecode, Tc(0, 1, 0, 2, 30, true));
}

// Bad input: no reader, and an error that starts with the path and names the problem.
TEST_F(FootageReaderTest, BadInputIsRefusedWithTheFileAndTheProblem) {
  std::ofstream(PathOf("notes.mov")) << "not a movie\n";
  const std::string audio = Ffmpeg("-f lavfi -i sine=d=1", "tone.wav");
  const std::string silent = Ffmpeg(
      "-f lavfi -i testsrc2=s=64x48:d=1 -f lavfi -i anullsrc -shortest -c:v libx264", "silent.mov");
  struct Case {
    std::string path;
    TimecodeOrigin origin;
    const char* problem;
  };
  const Case cases[] = {
      {PathOf("missing.mov"), TimecodeOrigin::kAuto, "no such file"},
      {PathOf("notes.mov"), TimecodeOrigin::kAuto, "not a movie"},
      {audio, TimecodeOrigin::kAuto, "no video stream"},
      {PathOf("none.%04d.png"), TimecodeOrigin::kAuto, "no file matches"},
      {silent, TimecodeOrigin::kLtc, "no LTC"},
  };
  for (const Case& c : cases) {
    FootageOptions options;
    options.path = c.path;
    options.timecode = c.origin;
    std::string error;
    EXPECT_EQ(FootageReader::Open(options, &error), nullptr) << c.path;
    EXPECT_EQ(error.rfind(c.path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.problem), std::string::npos) << error;
  }
}

// A clip cut short gives every frame that decodes, then names the last good one.
TEST_F(FootageReaderTest, TruncatedClipStopsAfterItsLastGoodFrame) {
  const std::string whole = Ffmpeg(
      "-f lavfi -i testsrc2=s=320x240:r=25 -frames:v 50 -g 5 -c:v libx264 -movflags +faststart",
      "whole.mov");
  const std::string cut = PathOf("cut.mov");
  fs::copy_file(whole, cut);
  fs::resize_file(cut, fs::file_size(whole) / 2);
  std::unique_ptr<FootageReader> reader = Open(cut);
  ASSERT_TRUE(reader);
  const Read read = ReadAll(reader.get());
  ASSERT_GT(read.frames.size(), 0u);
  EXPECT_LT(read.frames.size(), 50u);
  const std::string last = std::to_string(read.frames.back().number);
  EXPECT_EQ(read.error.rfind(cut + ": ", 0), 0u) << read.error;
  EXPECT_NE(read.error.find("frame " + last + ","), std::string::npos) << read.error;
}

}  // namespace

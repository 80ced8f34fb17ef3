// The movie writer, on frames made here and on footage made by the ffmpeg
// command; what it wrote is read back with libavformat and libavcodec.

#include <gtest/gtest.h>
#include <media/footage_reader.h>
#include <media/movie_writer.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Packet {
  double start = 0.0;  // seconds
  double end = 0.0;
  std::vector<uint8_t> data;
};

struct StreamInfo {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  uint32_t tag = 0;
  int format = -1;
  int profile = -1;
  AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED;
  AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
  AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
  AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
  std::string timecode;
  std::vector<Packet> packets;
};

// Every stream of a file, with its packets.
std::vector<StreamInfo> Probe(const std::string& pPath) {
  std::vector<StreamInfo> streams;
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, pPath.c_str(), nullptr, nullptr) < 0) {
    ADD_FAILURE() << "cannot open " << pPath;
    return streams;
  }
  avformat_find_stream_info(input, nullptr);
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    const AVCodecParameters* par = stream->codecpar;
    StreamInfo info;
    info.type = par->codec_type;
    info.tag = par->codec_tag;
    info.format = par->format;
    info.profile = par->profile;
    info.matrix = par->color_space;
    info.range = par->color_range;
    info.primaries = par->color_primaries;
    info.transfer = par->color_trc;
    if (const AVDictionaryEntry* entry = av_dict_get(stream->metadata, "timecode", nullptr, 0)) {
      info.timecode = entry->value;
    }
    streams.push_back(info);
  }
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(input, packet) >= 0) {
    const AVRational base = input->streams[packet->stream_index]->time_base;
    Packet copy;
    copy.start = static_cast<double>(packet->pts) * av_q2d(base);
    copy.end = static_cast<double>(packet->pts + packet->duration) * av_q2d(base);
    copy.data.assign(packet->data, packet->data + packet->size);
    streams[packet->stream_index].packets.push_back(std::move(copy));
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&input);
  return streams;
}

std::vector<const StreamInfo*> OfType(const std::vector<StreamInfo>& pStreams, AVMediaType pType) {
  std::vector<const StreamInfo*> found;
  for (const StreamInfo& stream : pStreams) {
    if (stream.type == pType) found.push_back(&stream);
  }
  return found;
}

// Decodes the first video stream, handing over each picture.
int DecodeVideo(const std::string& pPath, const std::function<void(const AVFrame&)>& pUse) {
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, pPath.c_str(), nullptr, nullptr) < 0) return -1;
  avformat_find_stream_info(input, nullptr);
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(decoder, input->streams[index]->codecpar);
  avcodec_open2(decoder, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int count = 0;
  auto receive = [&] {
    while (avcodec_receive_frame(decoder, frame) >= 0) {
      pUse(*frame);
      ++count;
    }
  };
  while (av_read_frame(input, packet) >= 0) {
    if (packet->stream_index == index) avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    receive();
  }
  avcodec_send_packet(decoder, nullptr);
  receive();
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&input);
  return count;
}

class MovieWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    av_log_set_level(AV_LOG_ERROR);
    std::string pattern = (fs::temp_directory_path() / "movie_writer.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    mFolder = pattern;
  }
  void TearDown() override { fs::remove_all(mFolder); }

  std::string In(const std::string& pName) const { return (mFolder / pName).string(); }

  // Makes media with FFmpeg's generators.
  static void Ffmpeg(const std::string& pArguments) {
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + pArguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // Writes pCount frames of one colour, and finishes; over footage, at the
  // footage frames' times and with the sound read with them.
  static void WriteFlat(const media::MovieOptions& pOptions, int pCount, uint8_t pRed = 128,
                        uint8_t pGreen = 128, uint8_t pBlue = 128,
                        media::FootageReader* pFootage = nullptr) {
    std::string error;
    std::unique_ptr<media::MovieWriter> writer = media::MovieWriter::Open(pOptions, &error);
    ASSERT_TRUE(writer) << error;
    std::vector<uint8_t> rgba;
    for (int i = 0; i < pOptions.width * pOptions.height; ++i) {
      rgba.insert(rgba.end(), {pRed, pGreen, pBlue, 255});
    }
    media::FootageFrame frame;
    for (int i = 0; i < pCount; ++i) {
      long long pts = i, duration = 1;
      if (pFootage) {
        ASSERT_TRUE(pFootage->Next(&frame, &error)) << error;
        writer->TakeAudio(std::move(frame.audio));
        pts = frame.pts;
        duration = frame.duration;
      }
      ASSERT_TRUE(writer->Write(rgba.data(), 4 * pOptions.width, false, pts, duration, &error))
          << error;
    }
    ASSERT_TRUE(writer->Finish(&error)) << error;
  }

  fs::path mFolder;
};

TEST_F(MovieWriterTest, Ffv1GivesBackTheRgbWrittenWhateverTheRowOrder) {
  // Odd sizes, padded rows and bottom-up frames (as OpenGL reads back).
  const int width = 67;
  const int height = 45;
  const int frames = 4;
  auto expected = [](int x, int y, int f, int channel) {
    uint32_t v = static_cast<uint32_t>(x * 73856093u ^ y * 19349663u ^ f * 83492791u) * 2654435761u;
    return static_cast<uint8_t>(v >> (8 * channel));
  };
  media::MovieOptions options;
  options.path = In("round.mkv");
  options.codec = media::VideoCodec::kFfv1;
  options.width = width;
  options.height = height;
  std::string error;
  std::unique_ptr<media::MovieWriter> writer = media::MovieWriter::Open(options, &error);
  ASSERT_TRUE(writer) << error;
  for (int f = 0; f < frames; ++f) {
    const bool bottomUp = f % 2 == 1;
    const int stride = 4 * width + (bottomUp ? 0 : 12);
    std::vector<uint8_t> buffer(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
      uint8_t* row = buffer.data() + static_cast<size_t>(bottomUp ? height - 1 - y : y) * stride;
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 4; ++c) row[4 * x + c] = expected(x, y, f, c);
      }
    }
    ASSERT_TRUE(writer->Write(buffer.data(), stride, bottomUp, f, 1, &error)) << error;
  }
  ASSERT_TRUE(writer->Finish(&error)) << error;

  int worst = 0;
  int f = 0;
  const int decoded = DecodeVideo(options.path, [&](const AVFrame& picture) {
    ASSERT_EQ(picture.format, AV_PIX_FMT_BGR0);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = picture.data[0] + static_cast<ptrdiff_t>(y) * picture.linesize[0];
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) {
          // BGR0 in memory: blue first.
          worst = std::max(worst, std::abs(row[4 * x + 2 - c] - expected(x, y, f, c)));
        }
      }
    }
    ++f;
  });
  EXPECT_EQ(decoded, frames);
  EXPECT_LE(worst, 2);
}

TEST_F(MovieWriterTest, TimecodeTrackAndAudioPacketsTravelWithTheMovie) {
  struct Case {
    std::string name;
    std::string source;  // ffmpeg arguments making the footage
    media::MovieOptions options;
    int frames;
    std::string timecode;  // as read back
    size_t audioStreams;
  };
  std::vector<Case> cases(2);
  // 29.97 drop-frame, from the footage's start, two audio streams (AAC has a
  // priming packet before time 0).
  cases[0].name = "drop.mov";
  cases[0].source =
      "-f lavfi -i testsrc2=size=64x48:rate=30000/1001 -f lavfi -i sine=f=440:r=48000 "
      "-f lavfi -i sine=f=1000:r=44100 -map 0 -map 1 -map 2 -t 2 -timecode '01:00:59;28' "
      "-c:v libx264 -c:a:0 aac -c:a:1 pcm_s16le";
  cases[0].options.rateNumerator = 30000;
  cases[0].options.rateDenominator = 1001;
  cases[0].options.firstTimecode = {1, 0, 59, 28, true, 30};
  cases[0].frames = 30;
  cases[0].timecode = "01:00:59;28";
  cases[0].audioStreams = 2;
  // 25 fps MP4, starting a second into the footage.
  cases[1].name = "later.mp4";
  cases[1].source =
      "-f lavfi -i testsrc2=size=64x48:rate=25 -f lavfi -i sine=r=48000 -t 3 "
      "-timecode 10:00:00:00 -c:v libx264 -c:a aac";
  cases[1].options.firstTimecode = {10, 0, 1, 0, false, 25};
  cases[1].options.audioStartSeconds = 1.0;
  cases[1].frames = 25;
  cases[1].timecode = "10:00:01:00";
  cases[1].audioStreams = 1;

  std::string error;
  for (Case& test : cases) {
    SCOPED_TRACE(test.name);
    const std::string source = In("source." + test.name);
    Ffmpeg(test.source + " '" + source + "'");
    test.options.path = In(test.name);
    test.options.codec = media::VideoCodec::kH264;
    test.options.width = 64;
    test.options.height = 48;
    media::FootageOptions read;
    read.path = source;
    read.audio = true;
    std::unique_ptr<media::FootageReader> reader = media::FootageReader::Open(read, &error);
    ASSERT_TRUE(reader) << error;
    const double perFrame =
        static_cast<double>(test.options.rateDenominator) / test.options.rateNumerator;
    reader->SkipBefore(std::llround(test.options.audioStartSeconds / perFrame));
    test.options.audio = reader->AudioStreams();
    test.options.timeBaseNumerator = reader->TimeBaseNumerator();
    test.options.timeBaseDenominator = reader->TimeBaseDenominator();
    WriteFlat(test.options, test.frames, 128, 128, 128, reader.get());
    const double span = test.frames * static_cast<double>(test.options.rateDenominator) /
                        test.options.rateNumerator;

    const std::vector<StreamInfo> written = Probe(test.options.path);
    const std::vector<StreamInfo> original = Probe(source);
    // The video stream carries the track's timecode once read, as does the track.
    ASSERT_EQ(OfType(written, AVMEDIA_TYPE_VIDEO).size(), 1u);
    EXPECT_EQ(OfType(written, AVMEDIA_TYPE_VIDEO)[0]->timecode, test.timecode);
    const std::vector<const StreamInfo*> data = OfType(written, AVMEDIA_TYPE_DATA);
    ASSERT_EQ(data.size(), 1u);
    EXPECT_EQ(data[0]->tag, MKTAG('t', 'm', 'c', 'd'));
    EXPECT_EQ(data[0]->timecode, test.timecode);

    const std::vector<const StreamInfo*> audio = OfType(written, AVMEDIA_TYPE_AUDIO);
    const std::vector<const StreamInfo*> footage = OfType(original, AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(audio.size(), test.audioStreams);
    ASSERT_EQ(footage.size(), test.audioStreams);
    for (size_t s = 0; s < audio.size(); ++s) {
      const std::vector<Packet>& out = audio[s]->packets;
      const std::vector<Packet>& in = footage[s]->packets;
      ASSERT_FALSE(out.empty());
      // A run of the footage's packets, byte for byte, each at its own time
      // less the start.
      size_t first = 0;
      while (first < in.size() && in[first].data != out[0].data) ++first;
      ASSERT_LE(first + out.size(), in.size());
      // From the footage's start, nothing is lost: not even AAC's priming packet.
      if (test.options.audioStartSeconds == 0) {
        EXPECT_EQ(first, 0u);
      }
      for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].data, in[first + i].data) << "packet " << i;
        EXPECT_NEAR(out[i].start, in[first + i].start - test.options.audioStartSeconds, 1e-5)
            << "packet " << i;
      }
      // Cut to the frames written: it covers them and starts nothing after.
      EXPECT_LE(out.front().start, 0.0);
      EXPECT_GE(out.back().end, span - 1e-5);
      EXPECT_LT(out.back().start, span);
    }
  }
}

TEST_F(MovieWriterTest, NothingReachesTheOutputUnlessFinished) {
  media::MovieOptions options;
  options.path = In("out.mov");
  options.codec = media::VideoCodec::kFfv1;
  options.width = 16;
  options.height = 16;
  std::vector<uint8_t> rgba(16 * 16 * 4, 90);
  std::string error;

  // Aborted: the temporary file, a hidden one beside the output, is gone.
  std::unique_ptr<media::MovieWriter> writer = media::MovieWriter::Open(options, &error);
  ASSERT_TRUE(writer) << error;
  ASSERT_TRUE(writer->Write(rgba.data(), 16 * 4, false, 0, 1, &error)) << error;
  const fs::path temporary = writer->TemporaryPath();
  EXPECT_TRUE(fs::exists(temporary));
  EXPECT_EQ(temporary.parent_path(), mFolder);
  EXPECT_EQ(temporary.filename().string().rfind(".out.", 0), 0u);
  EXPECT_EQ(temporary.extension(), ".mov");
  EXPECT_FALSE(fs::exists(options.path));
  writer->Abort();
  writer->Abort();
  EXPECT_FALSE(writer->Write(rgba.data(), 16 * 4, false, 1, 1, &error));
  writer.reset();
  EXPECT_TRUE(fs::is_empty(mFolder));

  // Dropped unfinished: an earlier movie at the output stays as it was.
  { std::ofstream(options.path) << "earlier"; }
  writer = media::MovieWriter::Open(options, &error);
  ASSERT_TRUE(writer) << error;
  ASSERT_TRUE(writer->Write(rgba.data(), 16 * 4, false, 0, 1, &error)) << error;
  writer.reset();
  EXPECT_EQ(fs::file_size(options.path), 7u);
  EXPECT_EQ(std::distance(fs::directory_iterator(mFolder), fs::directory_iterator()), 1);

  // The footage itself is refused as the output, before anything is written.
  options.footagePath = options.path;
  error.clear();
  EXPECT_FALSE(media::MovieWriter::Open(options, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(fs::file_size(options.path), 7u);
  EXPECT_EQ(std::distance(fs::directory_iterator(mFolder), fs::directory_iterator()), 1);
}

TEST_F(MovieWriterTest, EachCodecDeclaresItsFormatAndConvertsWithTheMatrixItDeclares) {
  struct Case {
    std::string name;
    media::VideoCodec codec;
    media::ColourTags footage;
    int format;
    int profile;
    AVColorSpace matrix;
    AVColorRange range;
    AVColorPrimaries primaries;
    AVColorTransferCharacteristic transfer;
  };
  const media::ColourTags none;
  media::ColourTags sd;
  sd.matrix = AVCOL_SPC_SMPTE170M;
  sd.primaries = AVCOL_PRI_SMPTE170M;
  sd.transfer = AVCOL_TRC_SMPTE170M;
  const std::vector<Case> cases = {
      {"plain.mp4", media::VideoCodec::kH264, none, AV_PIX_FMT_YUV420P, -1, AVCOL_SPC_BT709,
       AVCOL_RANGE_MPEG, AVCOL_PRI_BT709, AVCOL_TRC_BT709},
      {"sd.mov", media::VideoCodec::kProRes, sd, AV_PIX_FMT_YUV422P10LE, FF_PROFILE_PRORES_HQ,
       AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG, AVCOL_PRI_SMPTE170M, AVCOL_TRC_SMPTE170M},
      {"archive.mkv", media::VideoCodec::kFfv1, none, AV_PIX_FMT_BGR0, -1, AVCOL_SPC_RGB,
       AVCOL_RANGE_JPEG, AVCOL_PRI_BT709, AVCOL_TRC_BT709},
  };
  const double red = 200;
  const double green = 100;
  const double blue = 50;
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    media::MovieOptions options;
    options.path = In(test.name);
    options.codec = test.codec;
    options.colour = test.footage;
    options.width = 64;
    options.height = 48;
    WriteFlat(options, 3, red, green, blue);

    const std::vector<StreamInfo> streams = Probe(options.path);
    const std::vector<const StreamInfo*> video = OfType(streams, AVMEDIA_TYPE_VIDEO);
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0]->format, test.format);
    if (test.profile >= 0) {
      EXPECT_EQ(video[0]->profile, test.profile);
    }
    EXPECT_EQ(video[0]->matrix, test.matrix);
    EXPECT_EQ(video[0]->range, test.range);
    EXPECT_EQ(video[0]->primaries, test.primaries);
    EXPECT_EQ(video[0]->transfer, test.transfer);
    if (test.matrix == AVCOL_SPC_RGB) continue;

    // Limited-range luma and blue difference by the declared matrix's own
    // coefficients, in code values of the format's depth.
    const double kr = test.matrix == AVCOL_SPC_BT709 ? 0.2126 : 0.299;
    const double kb = test.matrix == AVCOL_SPC_BT709 ? 0.0722 : 0.114;
    const double luma = (kr * red + (1 - kr - kb) * green + kb * blue) / 255;
    const double scale = test.format == AV_PIX_FMT_YUV420P ? 1 : 4;
    const double y = scale * (16 + 219 * luma);
    const double cb = scale * (128 + 224 * (blue / 255 - luma) / (2 * (1 - kb)));
    const int frames = DecodeVideo(options.path, [&](const AVFrame& picture) {
      // The picture is flat: any sample will do.
      auto sample = [&](int plane) {
        const uint8_t* at = picture.data[plane] + 2 * picture.linesize[plane];
        if (scale == 1) return static_cast<double>(at[2]);
        uint16_t value;
        std::memcpy(&value, at + 4, sizeof(value));
        return static_cast<double>(value);
      };
      EXPECT_NEAR(sample(0), y, 1.5 * scale);
      EXPECT_NEAR(sample(1), cb, 1.5 * scale);
    });
    EXPECT_EQ(frames, 3);
  }
}

}  // namespace

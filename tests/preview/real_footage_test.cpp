// Footage in the forms cameras, editors and recorders make, through the
// preview to a movie: trimmed, damaged, cut and gapped clips keep their
// sound in step; pictures come out as players show them; image sequences and
// outputs that would lose data.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <cmath>
#include <cstdint>
#include <vector>

#include "footage_fixture.h"

namespace {

class RealFootageTest : public FootageTest {
 protected:
  QByteArray Bytes(const QString& pName) {
    QFile lFile(mDir.filePath(pName));
    EXPECT_TRUE(lFile.open(QIODevice::ReadOnly)) << pName.toStdString();
    return lFile.readAll();
  }
  void Save(const QString& pName, const QByteArray& pBytes) {
    QFile lFile(mDir.filePath(pName));
    ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
    lFile.write(pBytes);
  }
  // A 320x180 clip at 25 fps with a click in the sound on every whole second.
  void Clicking(const QString& pName, const QStringList& pExtra = {}) {
    Ffmpeg(QStringList{"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=4", "-f",
                       "lavfi", "-i", "aevalsrc='if(lt(mod(t,1),0.004),0.9,0)':s=48000:d=4", "-c:v",
                       "libx264", "-g", "25", "-c:a", "aac"} +
           pExtra + QStringList{pName});
  }
};

TEST_F(RealFootageTest, SoundAndPictureKeepTheFootagesOwnTimes) {
  Clicking("base.mp4");
  Clicking("base.ts", {"-bf", "0"});
  // Trimmed with -c copy: an edit list starting mid-GOP.
  Ffmpeg({"-ss", "1.3", "-i", "base.mp4", "-c", "copy", "trimmed.mp4"});
  // Ten frames dropped, the others keeping their times, as a phone drops them.
  Ffmpeg({"-i", "base.mp4", "-vf", "select='not(between(n,40,49))'", "-fps_mode", "passthrough",
          "-c:v", "libx264", "-c:a", "copy", "gap.mp4"});
  // A transport stream cut mid-GOP, and one that lost a dozen packets on the
  // way, the rest overwritten with noise.
  const QByteArray lStream = Bytes("base.ts");
  Save("cut.ts", lStream.mid(lStream.size() * 3 / 10 / 188 * 188));
  const int lMiddle = lStream.size() / 2 / 188 * 188;
  QByteArray lDamaged = lStream.left(lMiddle) + lStream.mid(lMiddle + 12 * 188);
  uint32_t lNoise = 12345;
  for (int i = lMiddle + 40 * 188 + 4, n = 0; n < 150; ++i, ++n) {
    lNoise = lNoise * 1664525u + 1013904223u;
    lDamaged[i] = static_cast<char>(lNoise >> 24);
  }
  Save("damaged.ts", lDamaged);

  for (const QString lName : {"trimmed.mp4", "gap.mp4", "cut.ts", "damaged.ts"}) {
    SCOPED_TRACE(lName.toStdString());
    const QString lOut = lName + ".out.mov";
    const Outcome lRun = Preview({"--footage", lName, "-o", lOut});
    // Every frame a player shows, each at its own time from the first.
    const std::vector<double> lSource = FrameTimes(lName);
    // Frames the damage took are named, and make the exit 1: the holes in
    // the damaged stream's times at 25 fps.
    std::vector<std::string> lLost;
    for (size_t i = 1; lName == "damaged.ts" && i < lSource.size(); ++i) {
      const long long lFrom = std::llround((lSource[i - 1] - lSource[0]) * 25) + 1;
      const long long lTo = std::llround((lSource[i] - lSource[0]) * 25) - 1;
      if (lFrom <= lTo) {
        lLost.push_back((lFrom == lTo
                             ? "frame " + std::to_string(lFrom)
                             : "frames " + std::to_string(lFrom) + " to " + std::to_string(lTo)) +
                        " missing (lost");
      }
    }
    ASSERT_EQ(lRun.status, lLost.empty() ? 0 : 1) << lRun.err;
    for (const std::string& lGone : lLost) {
      EXPECT_NE(lRun.err.find(lGone), std::string::npos) << lGone << "\n" << lRun.err;
    }
    const std::vector<double> lMovie = FrameTimes(lOut);
    ASSERT_FALSE(lSource.empty());
    ASSERT_EQ(lMovie.size(), lSource.size());
    for (size_t i = 0; i < lMovie.size(); ++i)
      ASSERT_NEAR(lMovie[i], lSource[i] - lSource[0], 1e-3) << "frame " << i;
    // Each click where it was against the picture.
    const std::vector<double> lHeard = Clicks(lName);
    const std::vector<double> lCopied = Clicks(lOut);
    std::vector<double> lExpected;
    for (double lClick : lHeard) {
      if (lClick >= lSource[0] && lClick < lSource.back()) lExpected.push_back(lClick - lSource[0]);
    }
    ASSERT_GE(lCopied.size(), lExpected.size());
    for (size_t i = 0; i < lExpected.size(); ++i)
      EXPECT_NEAR(lCopied[i], lExpected[i], 0.0015) << "click " << i;
    if (lName == "damaged.ts") {
      EXPECT_NE(lRun.err.find("is damaged"), std::string::npos) << lRun.err;
    } else {
      EXPECT_EQ(lRun.err.find("damaged"), std::string::npos) << lRun.err;
    }
  }
  // Frames asked for in the gap: none to write, and the footage goes on after it.
  const Outcome lInGap = Preview({"--footage", "gap.mp4", "--frames", "40-49", "-o", "g_%d.png"});
  EXPECT_EQ(lInGap.status, 1);
  EXPECT_NE(lInGap.err.find("40 to 49 asked for, but the footage has none there: it goes on at "
                            "frame 50"),
            std::string::npos)
      << lInGap.err;
}

TEST_F(RealFootageTest, PicturesComeOutAsPlayersShowThem) {
  // Anamorphic: 480x270 stored, 4:3 pixels, shown 640x270.
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=480x270:rate=25:duration=0.2", "-vf", "setsar=4/3",
          "-c:v", "libx264", "wide.mp4"});
  ASSERT_EQ(Preview({"--footage", "wide.mp4", "-o", "wide.mov"}).status, 0);
  EXPECT_EQ(Probe("wide.mov", "stream=width,height", {"-select_streams", "v:0"}), "640,270");
  EXPECT_NE(Probe("wide.mov", "stream=sample_aspect_ratio", {"-select_streams", "v:0"}), "4:3");

  // A phone's portrait clip: stored landscape, its track turned a quarter clockwise.
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=0.2", "-c:v", "libx264",
          "-crf", "10", "flat.mp4"});
  QByteArray lPortrait = Bytes("flat.mp4");
  const int lHeader = lPortrait.indexOf("tkhd");
  ASSERT_GT(lHeader, 0);
  ASSERT_EQ(lPortrait[lHeader + 4], '\0');  // version 0: the matrix 44 bytes on
  const uint32_t kQuarter[9] = {0, 0x10000, 0, 0xffff0000u, 0, 0, 0, 0, 0x40000000};
  for (int i = 0; i < 9; ++i) {
    for (int b = 0; b < 4; ++b)
      lPortrait[lHeader + 44 + 4 * i + b] = static_cast<char>(kQuarter[i] >> (24 - 8 * b));
  }
  Save("portrait.mp4", lPortrait);
  ASSERT_EQ(Preview({"--footage", "portrait.mp4", "-o", "portrait.mov", "--crf", "10"}).status, 0);
  EXPECT_EQ(Probe("portrait.mov", "stream=width,height", {"-select_streams", "v:0"}), "180,320");
  EXPECT_EQ(Probe("portrait.mov", "stream_side_data", {"-select_streams", "v:0"}), "");
  // Upright as ffmpeg turns it, in the rows the letterbox mask leaves clear.
  const QByteArray lTurned = Raw("portrait.mp4", {"-frames:v", "1"});
  const QByteArray lOurs = Raw("portrait.mov", {"-frames:v", "1"});
  ASSERT_EQ(lTurned.size(), 180 * 320 * 3);
  ASSERT_EQ(lOurs.size(), lTurned.size());
  long long lSum = 0;
  for (int i = 180 * 3 * 130; i < 180 * 3 * 190; ++i)
    lSum += std::abs(int(uchar(lOurs[i])) - int(uchar(lTurned[i])));
  EXPECT_LT(lSum / (180 * 3 * 60), 4);

  // 480i: bottom field first, 8:9 pixels. Widths change, lines do not; the
  // movie is interlaced as the footage is.
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=720x480:rate=30000/1001:duration=0.2", "-vf",
          "setsar=8/9,setfield=bff", "-flags", "+ildct+ilme", "-top", "0", "-c:v", "libx264",
          "-x264-params", "bff=1", "ntsc.mov"});
  const Outcome lRun = Preview({"--footage", "ntsc.mov", "-o", "ntsc_hud.mov"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_NE(lRun.err.find("bottom field first"), std::string::npos) << lRun.err;
  EXPECT_EQ(Probe("ntsc_hud.mov", "stream=width,height,field_order", {"-select_streams", "v:0"}),
            "640,480,bb");
  EXPECT_EQ(QString::fromStdString(Probe("ntsc_hud.mov", "frame=interlaced_frame,top_field_first",
                                         {"-select_streams", "v:0", "-read_intervals", "%+#1"}))
                .section(',', 0, 1),
            "1,0");
  EXPECT_EQ(Preview({"--footage", "ntsc.mov", "-o", "small.mov", "--size", "320x240"}).status, 2);
}

TEST_F(RealFootageTest, SequencesAndOutputsThatWouldLoseData) {
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x36:rate=24:duration=2", "-start_number", "1001",
          "plate.%04d.png"});
  ASSERT_TRUE(QFile::remove(mDir.filePath("plate.1010.png")));
  const QByteArray lPlate = Bytes("plate.1001.png");
  const QStringList lPlates = Files();

  // Nothing asked: film's rate. The missing file is named, its place kept
  // empty, the rest written, and the exit is 1.
  Outcome lRun = Preview({"--footage", "plate.%04d.png", "-o", "seq.mov"});
  EXPECT_EQ(lRun.status, 1) << lRun.err;
  EXPECT_NE(lRun.err.find("frame 1010 missing (no file)"), std::string::npos) << lRun.err;
  EXPECT_NE(lRun.err.find("24 fps (the film rate"), std::string::npos) << lRun.err;
  EXPECT_EQ(Probe("seq.mov", "stream=r_frame_rate", {"-select_streams", "v:0"}), "24/1");
  const std::vector<double> lTimes = FrameTimes("seq.mov");
  ASSERT_EQ(lTimes.size(), 47u);
  EXPECT_NEAR(lTimes[9], 10.0 / 24.0, 1e-3);
  lRun = Preview({"--footage", "plate.####.png", "--footage-rate", "23.976", "--frames",
                  "1001-1005", "-o", "ntsc.mov"});
  EXPECT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_EQ(Probe("ntsc.mov", "stream=r_frame_rate", {"-select_streams", "v:0"}), "24000/1001");
  EXPECT_EQ(Probe("ntsc.mov", "stream=codec_type", {}), "video\ndata");
  QFile::remove(mDir.filePath("seq.mov"));
  QFile::remove(mDir.filePath("ntsc.mov"));

  // Refused before anything is written: the footage's own files, and frames
  // it does not hold.
  const struct {
    QStringList arguments;
    const char* message;
  } kRefused[] = {
      {{"--footage", "plate.%04d.png", "-o", "plate.%04d.png"}, "plate.1001.png, a file of"},
      {{"--footage", "plate.%04d.png", "-o", "x.mov", "--strip", "plate.1020.png"}, "footage"},
      {{"--footage", "plate.%04d.png", "--frames", "1040-1060", "-o", "x.mov"},
       "holds frames 1001 to 1048"},
  };
  for (const auto& lCase : kRefused) {
    lRun = Preview(lCase.arguments);
    EXPECT_EQ(lRun.status, 2) << lCase.arguments.join(' ').toStdString();
    EXPECT_NE(lRun.err.find(lCase.message), std::string::npos) << lRun.err;
    EXPECT_EQ(Files(), lPlates);
  }
  EXPECT_EQ(Bytes("plate.1001.png"), lPlate);

  // PCM sound into MP4: encoded to AAC, and said; copying it is refused up front.
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x36:rate=25:duration=1", "-f", "lavfi", "-i",
          "sine=sample_rate=48000:duration=1", "-c:v", "png", "-c:a", "pcm_s24le", "pcm.mov"});
  lRun = Preview({"--footage", "pcm.mov", "-o", "pcm.mp4"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_NE(lRun.err.find("encoded to AAC"), std::string::npos) << lRun.err;
  EXPECT_EQ(Probe("pcm.mp4", "stream=codec_name", {"-select_streams", "a"}), "aac");
  EXPECT_EQ(Preview({"--footage", "pcm.mov", "-o", "copy.mp4", "--audio", "copy"}).status, 2);
  EXPECT_FALSE(QFile::exists(mDir.filePath("copy.mp4")));

  // Matroska declares no frame count: a strip still picks a few frames
  // from the whole clip, and every frame is written.
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x36:rate=25:duration=8", "-c:v", "libx264",
          "long.mkv"});
  lRun = Preview(
      {"--footage", "long.mkv", "-o", "m_%03d.png", "--strip", "strip.png", "--strip-frames", "5"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  const QImage lStrip = QImage(mDir.filePath("strip.png")).convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(lStrip.size(), QSize(5 * 32, 18));
  // It ends on the last frame, written as m_199.png.
  EXPECT_EQ(lStrip.copy(4 * 32, 0, 32, 18),
            QImage(mDir.filePath("m_199.png"))
                .convertToFormat(QImage::Format_RGB32)
                .scaled(32, 18, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  // Past the end of such footage: what there is, the rest named, exit 1.
  lRun = Preview({"--footage", "long.mkv", "--frames", "195-204", "-o", "t_%03d.png"});
  EXPECT_EQ(lRun.status, 1);
  EXPECT_NE(lRun.err.find("frames 200 to 204 asked for"), std::string::npos) << lRun.err;
  EXPECT_TRUE(QFile::exists(mDir.filePath("t_199.png")));
}

TEST_F(RealFootageTest, AnNtscSceneShowsItsFrameNOnFootageFrameN) {
  Clip("ntsc.mov", "64x36", 30, 0.1);
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x36:rate=30000/1001:duration=4", "-c:v", "png",
          "df.mov"});
  // Matroska keeps whole milliseconds: frame 1 at 0.033 s is still frame 1.
  Ffmpeg({"-i", "df.mov", "-c", "copy", "df.mkv"});
  Write("scene.json", R"({"fps": 29.97, "transport": {"start": 0, "stop": 1000},
                          "background": {"footage": "df.mov"}})");
  for (const char* lFile : {"df.mov", "df.mkv"}) {
    for (int lFrame : {1, 119}) {
      const QString lRange = QString("%1-%1").arg(lFrame);
      const Outcome lRun = Preview({"scene.json", "--footage", lFile, "--frames", lRange, "-o",
                                    "f_%d.png", "--save-scene", "s.json"});
      ASSERT_EQ(lRun.status, 0) << lRun.err;
      EXPECT_EQ(Saved("s.json")["transport"]["frame"], lFrame) << lFile;
    }
  }
}

}  // namespace

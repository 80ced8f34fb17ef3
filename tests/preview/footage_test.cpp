// The preview over footage: frames drawn behind the HUD, the footage's own
// timecode on every frame, scene time from presentation time, bad footage.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <vector>

#include "footage_fixture.h"

namespace {

TEST_F(FootageTest, AFrameUnderTheHudIsTheStillPictureWithTheTracksTimecode) {
  Clip("tc.mov", "320x180", 25, 2.0);
  Ffmpeg({"-i", "tc.mov", "-vf", "select=eq(n\\,37)", "-frames:v", "1", "f37.png"});
  const SceneJson lElements = {{{"properties", {{"Camera Timecode Source", {"Footage"}}}}}};
  Write("footage.json", SceneJson({{"fps", 25},
                                   {"transport", {{"start", 0}, {"stop", 100}}},
                                   {"background", {{"footage", "tc.mov"}}},
                                   {"elements", lElements}})
                            .dump());
  // The same element over the same picture, its source given the timecode by hand.
  Write(
      "still.json",
      SceneJson(
          {{"fps", 25},
           {"viewport", {{"width", 320}, {"height", 180}}},
           {"transport", {{"start", 0}, {"stop", 100}, {"frame", 37}}},
           {"background", "f37.png"},
           {"objects",
            {{{"name", "Footage"}, {"properties", {{"Timecode", {{"timecode", "10:00:01:12"}}}}}}}},
           {"elements", lElements}})
          .dump());
  Outcome lRun = Preview({"footage.json", "--frames", "37-37", "-o", "footage_%02d.png"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_NE(lRun.err.find("timecode track, first frame 10:00:00:00"), std::string::npos)
      << lRun.err;
  lRun = Preview({"still.json", "--frames", "37-37", "-o", "still_%02d.png"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  const QImage lFootage(mDir.filePath("footage_37.png"));
  ASSERT_FALSE(lFootage.isNull());
  EXPECT_TRUE(lFootage == QImage(mDir.filePath("still_37.png")));

  // In a taller viewport the frame keeps its aspect, centred on black bars.
  Write("bare.json", R"({"elements": []})");
  lRun = Preview({"bare.json", "--footage", "tc.mov", "--size", "320x240", "--frames", "37-37",
                  "-o", "bars_%02d.png"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  const QImage lBars = QImage(mDir.filePath("bars_37.png")).convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(lBars.copy(0, 30, 320, 180) ==
              QImage(mDir.filePath("f37.png")).convertToFormat(QImage::Format_RGB32));
  QImage lBlack(320, 30, QImage::Format_RGB32);
  lBlack.fill(Qt::black);
  EXPECT_TRUE(lBars.copy(0, 0, 320, 30) == lBlack);
  EXPECT_TRUE(lBars.copy(0, 210, 320, 30) == lBlack);
}

TEST_F(FootageTest, SceneTimeFollowsTheFootagesPresentationTime) {
  Clip("c24.mov", "160x90", 24, 1.0);
  // A 120 fps capture scene over 24 fps reference: frames 0, 5, 10 after the range's start.
  Write("capture.json", R"({"fps": 120, "transport": {"start": 100, "stop": 700},
                            "background": {"footage": "c24.mov", "object": "Ref"}})");
  Outcome lRun = Preview({"capture.json", "--frames", "0-2", "--save-scene", "s.json", "--strip",
                          "strip.png", "--strip-frames", "3"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_EQ(Files(), (QStringList{"c24.mov", "capture.json", "hud_0000.png", "hud_0001.png",
                                  "hud_0002.png", "s.json", "strip.png"}));
  SceneJson lSaved = Saved("s.json");
  EXPECT_EQ(lSaved["transport"]["frame"], 110);
  EXPECT_EQ(lSaved["background"]["object"], "Ref");
  EXPECT_EQ(lSaved["objects"], SceneJson::array());
  EXPECT_EQ(QImage(mDir.filePath("strip.png")).size(), QSize(240, 45));

  // Without a scene: the footage's size and rate, the clip as play range,
  // and the footage as the element's camera source; every frame rendered.
  lRun = Preview({"--footage", "c24.mov", "-o", "all_%02d.png", "--save-scene", "b.json"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  lSaved = Saved("b.json");
  EXPECT_EQ(lSaved["fps"], 24.0);
  EXPECT_EQ(lSaved["transport"]["start"], 0);
  EXPECT_EQ(lSaved["transport"]["stop"], 23);
  EXPECT_EQ(lSaved["transport"]["frame"], 23);
  EXPECT_EQ(lSaved["elements"][0]["properties"]["Camera Timecode Source"], SceneJson({"Footage"}));
  EXPECT_EQ(lSaved["elements"][0]["properties"]["Camera Timecode"],
            SceneJson({{"timecode", "10:00:00:23"}}));
  EXPECT_EQ(QImage(mDir.filePath("all_23.png")).size(), QSize(160, 90));
  EXPECT_FALSE(QFile::exists(mDir.filePath("all_24.png")));
}

TEST_F(FootageTest, BadFootageExitsTwoNamingTheFileAndWritesNothing) {
  Clip("silent.mov", "64x36", 25, 0.2);
  Write("notes.txt", "not a movie");
  Write("scene.json", R"({"background": {"footage": "gone.mov"}})");
  const QStringList lInputs = Files();
  const struct {
    QStringList arguments;
    const char* message;
  } kCases[] = {
      {{"--footage", "missing.mov"}, "missing.mov"},
      {{"scene.json"}, "gone.mov"},
      {{"--footage", "notes.txt"}, "notes.txt"},
      {{"--footage", "plate.%04d.png"}, "plate.%04d.png"},
      {{"--footage", "silent.mov", "--footage-timecode", "ltc"}, "silent.mov"},
      {{"--footage", "silent.mov", "--footage-timecode", "smpte"}, "--footage-timecode"},
      {{"--footage", "silent.mov", "-o", "one.png"}, "need a pattern"},
      {{"--footage", "silent.mov", "-o", "silent.mov"}, "is the footage itself"},
      {{"--footage", "silent.mov", "-o", "x.mov", "--codec", "mpeg2"}, "--codec"},
  };
  for (const auto& lCase : kCases) {
    const Outcome lRun = Preview(lCase.arguments);
    const std::string lArguments = lCase.arguments.join(' ').toStdString();
    EXPECT_EQ(lRun.status, 2) << lArguments;
    EXPECT_NE(lRun.err.find(lCase.message), std::string::npos) << lArguments << ": " << lRun.err;
    EXPECT_EQ(Files(), lInputs) << lArguments;
  }
}

TEST_F(FootageTest, AClipThatBreaksOffKeepsTheFramesBeforeTheBreak) {
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x36:rate=25:duration=2", "-c:v", "png", "-movflags",
          "+faststart", "whole.mov"});
  QFile lWhole(mDir.filePath("whole.mov"));
  ASSERT_TRUE(lWhole.open(QIODevice::ReadOnly));
  const QByteArray lBytes = lWhole.readAll();
  Write("cut.mov", lBytes.left(lBytes.size() / 2).toStdString());
  const Outcome lRun = Preview({"--footage", "cut.mov", "-o", "out_%04d.png"});
  EXPECT_EQ(lRun.status, 1) << lRun.err;
  // Every frame before the break is written, and the message names the last.
  const QStringList lWritten = QDir(mDir.path()).entryList({"out_*"}, QDir::Files, QDir::Name);
  ASSERT_GT(lWritten.size(), 5);
  ASSERT_LT(lWritten.size(), 50);
  EXPECT_EQ(lWritten.last(), QString("out_%1.png").arg(lWritten.size() - 1, 4, 10, QChar('0')));
  EXPECT_NE(lRun.err.find("cut.mov"), std::string::npos) << lRun.err;
  EXPECT_NE(lRun.err.find(" " + std::to_string(lWritten.size() - 1)), std::string::npos)
      << lRun.err;
}

TEST_F(FootageTest, PeakMemoryDoesNotGrowWithTheClip) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "resident memory is the sanitizer's here (its quarantine holds what is freed)";
#endif
  Clip("short.mov", "640x360", 25, 2.0);
  Clip("long.mov", "640x360", 25, 20.0);
  const long lShort = PeakKilobytes({"--footage", "short.mov", "-o", "short_hud.mov"});
  const long lLong = PeakKilobytes({"--footage", "long.mov", "-o", "long_hud.mov"});
  ASSERT_GT(lShort, 0);
  ASSERT_GT(lLong, 0);
  EXPECT_EQ(
      Probe("long_hud.mov", "stream=nb_read_frames", {"-count_frames", "-select_streams", "v:0"}),
      "500");
  EXPECT_LE(lLong, lShort + lShort / 10) << "short " << lShort << " kB, long " << lLong << " kB";
}

TEST_F(FootageTest, AMovieGivesBackTheFootageWithItsTimecodeFromTheFirstFrameWritten) {
  // 29.97 drop-frame footage crossing a minute, with sound.
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=96x54:rate=30000/1001:duration=2", "-f", "lavfi",
          "-i", "sine=sample_rate=48000:duration=2", "-c:v", "png", "-pix_fmt", "rgb24", "-c:a",
          "pcm_s16le", "-timecode", "00:00:59;20", "df.mov"});
  Write("bare.json", R"({"elements": []})");
  const Outcome lRun = Preview({"bare.json", "--footage", "df.mov", "--frames", "10-39", "-o",
                                "out.mov", "--codec", "ffv1"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_EQ(Files(), (QStringList{"bare.json", "df.mov", "out.mov"}));
  // Frame 10 of 00:00:59;20 is 00:01:00;02: two frame numbers dropped.
  EXPECT_EQ(Probe("out.mov", "stream_tags=timecode", {"-select_streams", "v:0"}), "00:01:00;02");
  EXPECT_EQ(Probe("out.mov", "stream=r_frame_rate", {"-select_streams", "v:0"}), "30000/1001");
  EXPECT_EQ(Probe("out.mov", "stream=codec_type", {"-select_streams", "a"}), "audio");
  // With no HUD drawn, the frames come back as the footage's, within 2 code values.
  const QByteArray lFootage = Raw("df.mov", {"-vf", "select=between(n\\,10\\,39)"});
  const QByteArray lMovie = Raw("out.mov");
  ASSERT_EQ(lMovie.size(), 96 * 54 * 3 * 30);
  ASSERT_EQ(lFootage.size(), lMovie.size());
  int lWorst = 0;
  for (int i = 0; i < lMovie.size(); ++i)
    lWorst = std::max(lWorst, std::abs(int(uchar(lMovie[i])) - int(uchar(lFootage[i]))));
  EXPECT_LE(lWorst, 2);
}

TEST_F(FootageTest, AMovieOverFootageKeepsTheRowsTheHudLeavesAlone) {
  // Lossless 4:2:0 footage declaring BT.709, burned in losslessly.
  Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=0.4", "-c:v", "ffv1",
          "-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc",
          "bt709", "-color_range", "tv", "yuv.mkv"});
  Outcome lRun =
      Preview({"--footage", "yuv.mkv", "--frames", "5-5", "-o", "out.mov", "--crf", "0"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  lRun = Preview({"--footage", "yuv.mkv", "--frames", "5-5", "-o", "view_%d.png"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  const QStringList lFrame5 = {"-vf", "select=eq(n\\,5)"};
  const QByteArray lFootage = Raw("yuv.mkv", lFrame5, "yuv420p");
  const QByteArray lMovie = Raw("out.mov", {}, "yuv420p");
  const int kW = 640, kH = 360, kLuma = kW * kH;
  ASSERT_EQ(lFootage.size(), kLuma * 3 / 2);
  ASSERT_EQ(lMovie.size(), lFootage.size());
  // Between the mask and the timeline nothing is drawn: the footage's own
  // pixels, luma and chroma, bit for bit.
  for (int y = 100; y < 200; ++y) {
    ASSERT_EQ(lMovie.mid(y * kW, kW), lFootage.mid(y * kW, kW)) << "luma row " << y;
    for (int lPlane : {kLuma, kLuma * 5 / 4}) {
      const int lAt = lPlane + (y / 2) * (kW / 2);
      ASSERT_EQ(lMovie.mid(lAt, kW / 2), lFootage.mid(lAt, kW / 2)) << "chroma of row " << y;
    }
  }
  // Under the mask bands, drawn on, the luma is the viewer's picture's, in
  // BT.709's limited range.
  const QImage lView = QImage(mDir.filePath("view_5.png")).convertToFormat(QImage::Format_RGB888);
  int lWorst = 0;
  for (int y = 0; y < kH; y += y == 39 ? 281 : 1) {
    for (int x = 0; x < kW; ++x) {
      const QRgb lPixel = lView.pixel(x, y);
      const double lY =
          16.0 + 219.0 *
                     (0.2126 * qRed(lPixel) + 0.7152 * qGreen(lPixel) + 0.0722 * qBlue(lPixel)) /
                     255.0;
      lWorst = std::max(lWorst, std::abs(int(uchar(lMovie[y * kW + x])) - int(std::lround(lY))));
    }
  }
  EXPECT_LE(lWorst, 2);
}

TEST_F(FootageTest, AnInterruptedMovieLeavesNothingBehind) {
  Clip("long.mov", "640x360", 25, 20.0);
  QProcess lProcess;
  lProcess.setWorkingDirectory(mDir.path());
  lProcess.start(VEXAHUD_PREVIEW, {"--footage", "long.mov", "-o", "hud.mov"});
  ASSERT_TRUE(lProcess.waitForStarted());
  // Interrupted once its temporary movie exists, well before the end.
  const QStringList lBefore = Files();
  while (Files() == lBefore && lProcess.state() == QProcess::Running) lProcess.waitForFinished(20);
  ASSERT_EQ(lProcess.state(), QProcess::Running);
  kill(static_cast<pid_t>(lProcess.processId()), SIGINT);
  ASSERT_TRUE(lProcess.waitForFinished(60000));
  EXPECT_EQ(lProcess.exitCode(), 130) << lProcess.readAllStandardError().toStdString();
  EXPECT_EQ(Files(), lBefore);
}

}  // namespace

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
  Write("footage.json",
        SceneJson({{"fps", 25},
                   {"transport", {{"start", 0}, {"stop", 100}}},
                   {"background", {{"footage", "tc.mov"}, {"hud_height", "native"}}},
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

// The HUD reaches a movie as a layer blended into the footage's own samples:
// where it covers nothing, every sample is the footage's, bit for bit; where
// it covers, each is within 2 code values of the viewer's picture (the footage
// converted to RGB with the HUD over it) put through the movie's matrix, and
// chroma is judged at its own resolution.
TEST_F(FootageTest, AMovieBlendsTheHudIntoTheFootagesOwnSamples) {
  struct Case {
    const char* name;
    const char* pixels;  // the footage's, and the lossless movie's
    const char* range;
    int depth, across, down;  // bits, and the chroma's subsampling
    // The HUD's layout: at the footage's pixels, or at half or twice its
    // lines and resampled. Luma is judged alike; chroma of 4:2:0 under a HUD
    // at half the lines is the HUD's own pixels, sharper at edges than the
    // viewer's picture averaged, so resampled chroma is judged by its mean.
    const char* hud;
  };
  const Case kCases[] = {{"yuv420.mkv", "yuv420p", "tv", 8, 2, 2, "native"},
                         {"yuv422p10.mkv", "yuv422p10le", "tv", 10, 2, 1, "native"},
                         {"full420.mkv", "yuv420p", "pc", 8, 2, 2, "native"},
                         {"half.mkv", "yuv420p", "tv", 8, 2, 2, "180"},
                         {"twice.mkv", "yuv422p10le", "tv", 10, 2, 1, "720"}};
  const int kW = 640, kH = 360;
  Write("bare.json", R"({"elements": []})");
  for (const Case& lCase : kCases) {
    SCOPED_TRACE(lCase.name);
    // Smooth colour, as a camera's picture is, the same on every run: the
    // generator places its colours at random unless told where.
    Ffmpeg({"-f", "lavfi", "-i",
            "gradients=s=640x360:r=25:d=0.3:speed=0.05:nb_colors=3:c0=0x3050c0:c1=0xc08040:"
            "c2=0x40b060:x0=40:y0=20:x1=600:y1=340",
            "-c:v", "ffv1", "-pix_fmt", lCase.pixels, "-colorspace", "bt709", "-color_primaries",
            "bt709", "-color_trc", "bt709", "-color_range", lCase.range, lCase.name});
    // Frame 5 after frame 4: the second of a run is drawn over what the
    // first left behind.
    const QStringList lFrame = {"--footage", lCase.name,     "--frames",
                                "4-5",       "--hud-height", lCase.hud};
    const bool lNative = std::string(lCase.hud) == "native";
    ASSERT_EQ(Preview(lFrame + QStringList{"-o", "hud.mkv", "--codec", "ffv1"}).status, 0);
    ASSERT_EQ(
        Preview(lFrame + QStringList{"bare.json", "-o", "bare.mkv", "--codec", "ffv1"}).status, 0);
    ASSERT_EQ(Preview(lFrame + QStringList{"-o", "view_%d.png"}).status, 0);
    ASSERT_EQ(Preview(lFrame + QStringList{"bare.json", "-o", "plain_%d.png"}).status, 0);
    EXPECT_EQ(Probe("hud.mkv", "stream=pix_fmt", {"-select_streams", "v:0"}), lCase.pixels);
    const QByteArray lFootage = Raw(lCase.name, {"-vf", "select=eq(n\\,5)"}, lCase.pixels);
    const QByteArray lMovie = Raw("hud.mkv", {"-vf", "select=eq(n\\,1)"}, lCase.pixels);
    // Nothing drawn: the footage itself.
    EXPECT_EQ(Raw("bare.mkv", {"-vf", "select=eq(n\\,1)"}, lCase.pixels), lFootage);
    const int lBytes = lCase.depth > 8 ? 2 : 1;
    const int lCw = kW / lCase.across, lCh = kH / lCase.down;
    ASSERT_EQ(lMovie.size(), lBytes * (kW * kH + 2 * lCw * lCh));
    ASSERT_EQ(lFootage.size(), lMovie.size());
    auto lSample = [&](const QByteArray& pPlanes, int pPlane, int pX, int pY) {
      const int lAt = (pPlane == 0 ? 0 : kW * kH + (pPlane - 1) * lCw * lCh) +
                      pY * (pPlane == 0 ? kW : lCw) + pX;
      return lBytes == 1 ? int(uchar(pPlanes[lAt]))
                         : int(uchar(pPlanes[2 * lAt])) | int(uchar(pPlanes[2 * lAt + 1])) << 8;
    };
    // The viewer's picture through BT.709, at the movie's depth and range.
    const QImage lView = QImage(mDir.filePath("view_5.png")).convertToFormat(QImage::Format_RGB888);
    const QImage lPlain =
        QImage(mDir.filePath("plain_5.png")).convertToFormat(QImage::Format_RGB888);
    const bool lFull = std::string(lCase.range) == "pc";
    const double lScale = 1 << (lCase.depth - 8), lMost = (1 << lCase.depth) - 1;
    auto lReference = [&](int pX, int pY, int pPlane) {
      const QRgb lPixel = lView.pixel(pX, pY);
      const double lR = qRed(lPixel) / 255.0, lG = qGreen(lPixel) / 255.0,
                   lB = qBlue(lPixel) / 255.0;
      const double lY = 0.2126 * lR + 0.7152 * lG + 0.0722 * lB;
      if (pPlane == 0) return lFull ? lMost * lY : 16 * lScale + 219 * lScale * lY;
      const double lC = pPlane == 1 ? (lB - lY) / 1.8556 : (lR - lY) / 1.5748;
      return 128 * lScale + (lFull ? lMost : 224 * lScale) * lC;
    };
    // Footage a little outside the RGB cube (saturated colours after chroma
    // subsampling) is clipped in the viewer's picture but kept in the movie's
    // samples, so the viewer is no reference there.
    auto lClipped = [&](int pX, int pY) {
      const QRgb lPixel = lPlain.pixel(pX, pY);
      for (int lChannel : {qRed(lPixel), qGreen(lPixel), qBlue(lPixel)})
        if (lChannel == 0 || lChannel == 255) return true;
      return false;
    };
    int lUntouched = 0, lCovered = 0, lChromaCovered = 0;
    double lWorst = 0.0, lChromaWorst = 0.0, lChromaOff = 0.0;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        if (lView.pixel(x, y) == lPlain.pixel(x, y)) {
          // Untouched, as far as an 8-bit view can tell: a glyph's faintest
          // edge moves a 10-bit sample by less than one 8-bit step.
          ASSERT_LE(std::abs(lSample(lMovie, 0, x, y) - lSample(lFootage, 0, x, y)), lScale / 2)
              << x << "," << y;
          ++lUntouched;
        } else if (!lClipped(x, y)) {
          lWorst = std::max(lWorst, std::fabs(lSample(lMovie, 0, x, y) - lReference(x, y, 0)));
          ++lCovered;
        }
      }
    }
    for (int cy = 0; cy < lCh; ++cy) {
      for (int cx = 0; cx < lCw; ++cx) {
        bool lDrawn = false, lOutside = false;
        double lU = 0.0, lV = 0.0;
        for (int y = cy * lCase.down; y < (cy + 1) * lCase.down; ++y) {
          for (int x = cx * lCase.across; x < (cx + 1) * lCase.across; ++x) {
            lDrawn = lDrawn || lView.pixel(x, y) != lPlain.pixel(x, y);
            lOutside = lOutside || lClipped(x, y);
            lU += lReference(x, y, 1) / (lCase.across * lCase.down);
            lV += lReference(x, y, 2) / (lCase.across * lCase.down);
          }
        }
        for (int lPlane : {1, 2}) {
          if (!lDrawn) {
            ASSERT_LE(std::abs(lSample(lMovie, lPlane, cx, cy) - lSample(lFootage, lPlane, cx, cy)),
                      lScale / 2)
                << "chroma " << cx << "," << cy;
          } else if (!lOutside) {
            const double lOff =
                std::fabs(lSample(lMovie, lPlane, cx, cy) - (lPlane == 1 ? lU : lV));
            lChromaWorst = std::max(lChromaWorst, lOff);
            lChromaOff += lOff;
            ++lChromaCovered;
          }
        }
      }
    }
    // The HUD's bands and texts, and the picture between them.
    EXPECT_GT(lCovered, kW * 40);
    EXPECT_GT(lUntouched, kW * 150);
    EXPECT_LE(lWorst / lScale, 2.0);
    if (lNative) {
      EXPECT_LE(lChromaWorst / lScale, 2.0);
    } else {
      EXPECT_LE(lChromaOff / lChromaCovered / lScale, 1.5);
    }
  }
  // 10-bit footage to ProRes keeps its 10 bits; h264 stays 8-bit 4:2:0.
  ASSERT_EQ(Preview({"--footage", "yuv422p10.mkv", "-o", "pro.mov", "--codec", "prores"}).status,
            0);
  EXPECT_EQ(Probe("pro.mov", "stream=pix_fmt", {"-select_streams", "v:0"}), "yuv422p10le");
  ASSERT_EQ(Preview({"--footage", "yuv422p10.mkv", "-o", "avc.mp4"}).status, 0);
  EXPECT_EQ(Probe("avc.mp4", "stream=pix_fmt", {"-select_streams", "v:0"}), "yuv420p");
}

// Over footage of any size the HUD is laid out as for a 1080-line viewer at
// the footage's aspect, then resampled to the footage: over 480 lines it is the
// 1080-line HUD made smaller, not one cut off.
TEST_F(FootageTest, TheHudIsLaidOutAt1080LinesAndScaledToTheFootage) {
  for (const char* lSize : {"848x480", "1696x960"}) {
    Ffmpeg({"-f", "lavfi", "-i", QString("color=c=black:s=%1:r=25:d=0.2").arg(lSize), "-c:v", "png",
            QString("black%1.mov").arg(lSize)});
  }
  // The reference: the same 1080-line HUD over 960-line footage, scaled down
  // by ffmpeg.
  ASSERT_EQ(
      Preview({"--footage", "black848x480.mov", "--frames", "2-2", "-o", "small_%d.png"}).status,
      0);
  ASSERT_EQ(Preview({"--footage", "black1696x960.mov", "--frames", "2-2", "--hud-height", "1080",
                     "-o", "big_%d.png"})
                .status,
            0);
  ASSERT_EQ(Preview({"--footage", "black1696x960.mov", "--frames", "2-2", "--hud-height", "1080",
                     "-o", "big.mov", "--codec", "ffv1"})
                .status,
            0);
  Ffmpeg({"-i", "black1696x960.mov", "-frames:v", "1", "-vf", "scale=848:480", "down.png"});
  const QImage lSmall = QImage(mDir.filePath("small_2.png")).convertToFormat(QImage::Format_RGB888);
  ASSERT_EQ(lSmall.size(), QSize(848, 480));
  EXPECT_EQ(QImage(mDir.filePath("big_2.png")).size(), QSize(1696, 960));
  EXPECT_EQ(Probe("big.mov", "stream=width,height", {"-select_streams", "v:0"}), "1696,960");
  Ffmpeg({"-i", "big_2.png", "-vf", "scale=848:480:flags=lanczos", "reference.png"});
  const QImage lReference =
      QImage(mDir.filePath("reference.png")).convertToFormat(QImage::Format_RGB888);
  ASSERT_EQ(lReference.size(), lSmall.size());
  long long lSum = 0, lLit = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 848; ++x) {
      const QRgb a = lSmall.pixel(x, y), b = lReference.pixel(x, y);
      lSum += std::abs(qGray(a) - qGray(b));
      lLit += qGray(a) > 128;
    }
  }
  // Texts drawn, where the reference has them.
  EXPECT_GT(lLit, 2000);
  EXPECT_LT(static_cast<double>(lSum) / (848 * 480), 1.5);
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

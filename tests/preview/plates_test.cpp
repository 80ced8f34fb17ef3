// Plates as visual effects hands them around: DPX and EXR sequences made by
// oiiotool with a timecode and rate in each header, their colour through an
// OpenColorIO config and checked against ocioconvert, and plates that are
// refused or break mid-way.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <algorithm>
#include <cstdlib>

#include "footage_fixture.h"

namespace {

// A display transform with a matrix and a power, and a log space of a power.
const char kConfig[] = R"(ocio_profile_version: 2
roles:
  default: linear
  scene_linear: linear
file_rules:
  - !<Rule> {name: Default, colorspace: linear}
displays:
  Review:
    - !<View> {name: Film, colorspace: film}
    - !<View> {name: Raw, colorspace: raw}
colorspaces:
  - !<ColorSpace> {name: raw, isdata: true}
  - !<ColorSpace> {name: linear}
  - !<ColorSpace>
    name: camlog
    to_scene_reference: !<ExponentTransform> {value: [2.6, 2.6, 2.6, 1]}
  - !<ColorSpace>
    name: film
    from_scene_reference: !<GroupTransform>
      children:
        - !<MatrixTransform> {matrix: [0.7, 0.2, 0.05, 0, 0.1, 0.8, 0.05, 0, 0.05, 0.15, 0.75, 0, 0, 0, 0, 1]}
        - !<ExponentTransform> {value: [2.2, 2.2, 2.2, 1], direction: inverse}
)";

class PlatesTest : public FootageTest {
 protected:
  void SetUp() override {
    FootageTest::SetUp();
    // Only what a test names: no config from the machine it runs on.
    mEnvironment.remove("OCIO");
  }

  // Runs oiiotool or ocioconvert in the test's folder, with $OCIO where given.
  void Tool(const QString& pProgram, const QStringList& pArguments, const QString& pOcio = "") {
    QProcessEnvironment lEnvironment = mEnvironment;
    if (!pOcio.isEmpty()) lEnvironment.insert("OCIO", mDir.filePath(pOcio));
    QProcess lProcess;
    lProcess.setWorkingDirectory(mDir.path());
    lProcess.setProcessEnvironment(lEnvironment);
    lProcess.start(pProgram, pArguments);
    ASSERT_TRUE(lProcess.waitForFinished(120000)) << pProgram.toStdString();
    ASSERT_EQ(lProcess.exitCode(), 0) << lProcess.readAllStandardError().toStdString();
  }
  // A plate of a smooth colour ramp, scene-linear light up to 2.0.
  void Plate(const QString& pName, const QStringList& pHeader) {
    Tool("oiiotool", QStringList{"--pattern",
                                 "fill:topleft=0,0,0:topright=1,0.5,0.2:bottomleft=0.05,0.9,0.3:"
                                 "bottomright=2,1.5,0.8",
                                 "640x360", "3"} +
                         pHeader + QStringList{"-o", pName});
  }
  Outcome Run(const QStringList& pArguments) { return Preview(pArguments, mEnvironment); }

  // How far apart two pictures of one size are: their largest difference in any channel.
  int Farthest(const QString& pA, const QString& pB) {
    const QImage lA = QImage(mDir.filePath(pA)).convertToFormat(QImage::Format_RGB888);
    const QImage lB = QImage(mDir.filePath(pB)).convertToFormat(QImage::Format_RGB888);
    EXPECT_FALSE(lA.isNull()) << pA.toStdString();
    EXPECT_EQ(lA.size(), lB.size()) << pA.toStdString() << " against " << pB.toStdString();
    if (lA.isNull() || lA.size() != lB.size()) return 256;
    int lMost = 0;
    for (int y = 0; y < lA.height(); ++y) {
      for (int x = 0; x < lA.width(); ++x) {
        const QRgb lP = lA.pixel(x, y), lQ = lB.pixel(x, y);
        lMost = std::max({lMost, std::abs(qRed(lP) - qRed(lQ)), std::abs(qGreen(lP) - qGreen(lQ)),
                          std::abs(qBlue(lP) - qBlue(lQ))});
      }
    }
    return lMost;
  }

  QProcessEnvironment mEnvironment = QProcessEnvironment::systemEnvironment();
};

TEST_F(PlatesTest, EachFrameShowsTheTimecodeInItsOwnHeaderAtTheHeadersRate) {
  // DPX at 24 fps from 01:00:00:00; EXR at 23.976 cut after its third frame
  // to another take at 12:00:00:00.
  for (int i = 0; i < 4; ++i) {
    Plate(QString("dpx.%1.dpx").arg(1001 + i),
          {"--attrib:type=timecode", "smpte:TimeCode",
           QString("01:00:00:%1").arg(i, 2, 10, QChar('0')), "--attrib:type=float", "dpx:FrameRate",
           "24", "-d", "uint10"});
  }
  const char* kExr[] = {"10:00:00:00", "10:00:00:01", "10:00:00:02", "12:00:00:00", "12:00:00:01"};
  for (int i = 0; i < 5; ++i) {
    Plate(QString("exr.%1.exr").arg(i + 1, 4, 10, QChar('0')),
          {"--attrib:type=timecode", "smpte:TimeCode", kExr[i], "--attrib:type=rational",
           "FramesPerSecond", "24000/1001", "-d", "half"});
  }
  const struct {
    const char* pattern;
    const char* origin;
    int frame;
    const char* timecode;
    const char* told;
  } kCases[] = {
      {"dpx.####.dpx", "auto", 1003, "01:00:00:02",
       "24 fps (from its files' headers); timecode from the DPX header of each frame, first "
       "frame 01:00:00:00"},
      {"exr.%04d.exr", "header", 4, "12:00:00:00",
       "24000/1001 (23.976) fps (from its files' headers); timecode from the EXR header of each "
       "frame, first frame 10:00:00:00"},
      {"exr.%04d.exr", "header", 5, "12:00:00:01", "EXR header"},
  };
  for (const auto& lCase : kCases) {
    SCOPED_TRACE(lCase.frame);
    // The footage's timecode on CAMERA, against the same element given it by hand.
    const SceneJson lFootage = {{"footage", lCase.pattern}, {"timecode", lCase.origin}};
    Write("header.json",
          SceneJson({{"background", lFootage},
                     {"elements", {{{"properties", {{"Camera Timecode Source", {"Footage"}}}}}}}})
              .dump());
    SceneJson lPlate = lFootage;
    lPlate["object"] = "Plate";
    Write(
        "hand.json",
        SceneJson(
            {{"background", lPlate},
             {"objects",
              {{{"name", "Hand"}, {"properties", {{"Timecode", {{"timecode", lCase.timecode}}}}}}}},
             {"elements", {{{"properties", {{"Camera Timecode Source", {"Hand"}}}}}}}})
            .dump());
    const QString lFrames = QString("%1-%1").arg(lCase.frame);
    Outcome lRun = Run({"header.json", "--frames", lFrames, "-o", "header_%d.png"});
    ASSERT_EQ(lRun.status, 0) << lRun.err;
    EXPECT_NE(lRun.err.find(lCase.told), std::string::npos) << lRun.err;
    lRun = Run({"hand.json", "--frames", lFrames, "-o", "hand_%d.png"});
    ASSERT_EQ(lRun.status, 0) << lRun.err;
    const QString lName = QString("_%1.png").arg(lCase.frame);
    EXPECT_EQ(Farthest("header" + lName, "hand" + lName), 0);
  }
  // A movie takes the headers' rate and the first frame's timecode.
  ASSERT_EQ(Run({"--footage", "exr.####.exr", "-o", "exr.mov"}).status, 0);
  EXPECT_EQ(Probe("exr.mov", "stream=r_frame_rate", {"-select_streams", "v:0"}), "24000/1001");
  EXPECT_EQ(Probe("exr.mov", "stream_tags=timecode", {"-select_streams", "v:0"}), "10:00:00:00");
  // --footage-rate still overrides the header.
  const Outcome lRun = Run({"--footage", "dpx.####.dpx", "--footage-rate", "25", "--frames",
                            "1001-1001", "-o", "r_%d.png"});
  EXPECT_NE(lRun.err.find("25 fps (from --footage-rate)"), std::string::npos) << lRun.err;
}

TEST_F(PlatesTest, ColourGoesThroughOpenColorIoBeforeTheHudIsDrawn) {
  Write("review.ocio", kConfig);
  Plate("lin.1001.exr", {"-d", "half"});
  // What OCIO's own tool makes of the plate, taken as linear and as log,
  // as 8-bit footage for the same render without colour.
  Tool("ocioconvert", {"--view", "lin.1001.exr", "linear", "lin.exr", "Review", "Film"},
       "review.ocio");
  Tool("ocioconvert", {"--view", "lin.1001.exr", "camlog", "log.exr", "Review", "Film"},
       "review.ocio");
  Tool("oiiotool", {"lin.exr", "-d", "uint8", "-o", "ref_lin.1001.png"});
  Tool("oiiotool", {"log.exr", "-d", "uint8", "-o", "ref_log.1001.png"});
  // With no config, float EXR through the sRGB curve, as OpenImageIO's own conversion.
  Tool("oiiotool", {"lin.1001.exr", "--colorconvert", "linear", "sRGB", "-d", "uint8", "-o",
                    "ref_srgb.1001.png"});

  // The config in a scene's footage entry with the defaults (float EXR as
  // scene_linear, the default display and view); on the command line, each named.
  Write("graded.json", R"({"background": {"footage": "lin.####.exr", "ocio": "review.ocio"}})");
  Write("ref.json", R"({"background": {"footage": "ref_lin.####.png"}})");
  Outcome lRun = Run({"graded.json", "-o", "graded_%d.png"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_NE(lRun.err.find("'linear' to display 'Review', view 'Film'"), std::string::npos)
      << lRun.err;
  ASSERT_EQ(Run({"ref.json", "-o", "ref_%d.png"}).status, 0);
  EXPECT_LE(Farthest("graded_1001.png", "ref_1001.png"), 2);

  lRun = Run({"--footage", "lin.####.exr", "--ocio", "review.ocio", "--colorspace", "camlog",
              "--display", "Review", "--view", "Film", "-o", "log_%d.png"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  ASSERT_EQ(Run({"--footage", "ref_log.####.png", "-o", "reflog_%d.png"}).status, 0);
  EXPECT_LE(Farthest("log_1001.png", "reflog_1001.png"), 2);

  lRun = Run({"--footage", "lin.####.exr", "-o", "srgb_%d.png"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  EXPECT_NE(lRun.err.find("shown through the sRGB curve"), std::string::npos) << lRun.err;
  ASSERT_EQ(Run({"--footage", "ref_srgb.####.png", "-o", "refsrgb_%d.png"}).status, 0);
  EXPECT_LE(Farthest("srgb_1001.png", "refsrgb_1001.png"), 2);

  // A movie in YUV, into a movie: the reader hands RGB through the transform,
  // not its own pictures. Nothing drawn over it.
  Ffmpeg(
      {"-i", "ref_srgb.1001.png", "-c:v", "libx264", "-qp", "0", "-pix_fmt", "yuv444p", "log.mov"});
  Ffmpeg({"-i", "log.mov", "-frames:v", "1", "log_decoded.png"});
  Tool("ocioconvert", {"--view", "log_decoded.png", "camlog", "movie.exr", "Review", "Film"},
       "review.ocio");
  Tool("oiiotool", {"movie.exr", "-d", "uint8", "-o", "ref_movie.png"});
  Write("bare.json", R"({"elements": []})");
  lRun = Run({"bare.json", "--footage", "log.mov", "--ocio", "review.ocio", "--colorspace",
              "camlog", "--hud-height", "native", "-o", "graded.mkv", "--codec", "ffv1"});
  ASSERT_EQ(lRun.status, 0) << lRun.err;
  Ffmpeg({"-i", "graded.mkv", "-frames:v", "1", "graded_movie.png"});
  EXPECT_LE(Farthest("graded_movie.png", "ref_movie.png"), 3);
}

TEST_F(PlatesTest, BadPlatesAndColourExitTwoAndAFileThatBreaksExitsOne) {
  Write("review.ocio", kConfig);
  Write("broken.ocio", "ocio_profile_version: 2\ncolorspaces: [\n");
  Plate("lin.1001.exr", {"-d", "half"});
  Plate("png.1001.png", {"-d", "uint8"});
  Plate("sized.1001.dpx", {});
  Tool("oiiotool", {"sized.1001.dpx", "--resize", "320x180", "-o", "sized.1002.dpx"});
  const QStringList lInputs = Files();
  const QStringList lPlate = {"--footage", "lin.####.exr"};
  const struct {
    QStringList arguments;
    const char* message;
  } kCases[] = {
      {lPlate + QStringList{"--ocio", "missing.ocio"}, "missing.ocio"},
      {lPlate + QStringList{"--ocio", "broken.ocio"}, "broken.ocio does not load"},
      {lPlate + QStringList{"--ocio", "review.ocio", "--colorspace", "Log"}, "colour space 'Log'"},
      {lPlate + QStringList{"--ocio", "review.ocio", "--display", "sRGB"}, "display 'sRGB'"},
      {lPlate + QStringList{"--ocio", "review.ocio", "--view", "Log"}, "view 'Log'"},
      {lPlate + QStringList{"--colorspace", "linear"}, "needs an OpenColorIO config"},
      {{"--footage", "png.####.png", "--footage-timecode", "header"}, "no timecode in its header"},
      {{"--footage", "sized.####.dpx"}, "sized.1002.dpx 320x180"},
  };
  for (const auto& lCase : kCases) {
    const std::string lArguments = lCase.arguments.join(' ').toStdString();
    const Outcome lRun = Run(lCase.arguments + QStringList{"-o", "out.mov"});
    EXPECT_EQ(lRun.status, 2) << lArguments;
    EXPECT_NE(lRun.err.find(lCase.message), std::string::npos) << lArguments << ": " << lRun.err;
    EXPECT_EQ(Files(), lInputs) << lArguments;
  }

  // A file that no longer reads, mid-way: named, the frames around it
  // rendered, and the exit is 1.
  for (int i = 2; i <= 4; ++i)
    QFile::copy(mDir.filePath("lin.1001.exr"), mDir.filePath(QString("lin.100%1.exr").arg(i)));
  QFile lCut(mDir.filePath("lin.1003.exr"));
  ASSERT_TRUE(lCut.resize(lCut.size() / 2));
  const Outcome lRun = Run({"--footage", "lin.####.exr", "-o", "cut_%d.png"});
  EXPECT_EQ(lRun.status, 1) << lRun.err;
  EXPECT_NE(lRun.err.find("frame 1003 missing"), std::string::npos) << lRun.err;
  EXPECT_NE(lRun.err.find("lin.1003.exr"), std::string::npos) << lRun.err;
  for (const char* lName : {"cut_1001.png", "cut_1002.png", "cut_1004.png"})
    EXPECT_TRUE(QFile::exists(mDir.filePath(lName))) << lName;
  EXPECT_FALSE(QFile::exists(mDir.filePath("cut_1003.png")));
}

}  // namespace

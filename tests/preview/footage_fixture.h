#pragma once
// The preview run over footage that the ffmpeg command makes in the test's
// folder, and ffprobe and ffmpeg reading back what it wrote.

#include <fbhost/property_json.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QByteArray>
#include <QProcess>
#include <cmath>
#include <string>
#include <vector>

#include "preview_fixture.h"

extern char** environ;

using fbhost::SceneJson;

class FootageTest : public PreviewTest {
 protected:
  // Makes media with the ffmpeg command, in the test's folder.
  void Ffmpeg(const QStringList& pArguments) {
    QProcess lProcess;
    lProcess.setWorkingDirectory(mDir.path());
    lProcess.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + pArguments);
    ASSERT_TRUE(lProcess.waitForFinished(300000));
    ASSERT_EQ(lProcess.exitCode(), 0) << lProcess.readAllStandardError().toStdString();
  }
  // A testsrc2 clip, lossless RGB (PNG in MOV), with a timecode track.
  void Clip(const QString& pName, const QString& pSize, int pRate, double pSeconds,
            const QString& pTimecode = "10:00:00:00") {
    Ffmpeg({"-f", "lavfi", "-i",
            QString("testsrc2=size=%1:rate=%2:duration=%3").arg(pSize).arg(pRate).arg(pSeconds),
            "-c:v", "png", "-pix_fmt", "rgb24", "-timecode", pTimecode, pName});
  }
  SceneJson Saved(const QString& pName) { return SceneJson::parse(Read(pName)); }

  // One entry of ffprobe's report on a file, as text.
  std::string Probe(const QString& pFile, const QString& pEntry, const QStringList& pOptions) {
    QStringList lArguments =
        QStringList{"-v", "error", "-show_entries", pEntry, "-of", "csv=p=0"} + pOptions;
    QProcess lProcess;
    lProcess.setWorkingDirectory(mDir.path());
    lProcess.start("ffprobe", lArguments << pFile);
    lProcess.waitForFinished(120000);
    return lProcess.readAllStandardOutput().trimmed().toStdString();
  }
  // Every frame of a file as raw pixels (packed 8-bit RGB unless asked
  // otherwise), decoded by the ffmpeg command.
  QByteArray Raw(const QString& pFile, const QStringList& pFilter = {},
                 const QString& pPixels = "rgb24") {
    QProcess lProcess;
    lProcess.setWorkingDirectory(mDir.path());
    lProcess.start("ffmpeg", QStringList{"-v", "error", "-i", pFile} + pFilter +
                                 QStringList{"-fps_mode", "passthrough", "-f", "rawvideo",
                                             "-pix_fmt", pPixels, "-"});
    lProcess.waitForFinished(120000);
    return lProcess.readAllStandardOutput();
  }

  // The times of a file's video frames as ffprobe reads them, in seconds.
  std::vector<double> FrameTimes(const QString& pFile) {
    std::vector<double> lTimes;
    const QStringList lLines =
        QString::fromStdString(
            Probe(pFile, "frame=best_effort_timestamp_time", {"-select_streams", "v:0"}))
            .split('\n', Qt::SkipEmptyParts);
    // A frame's side data, where it has any, adds empty fields after the time.
    for (const QString& lLine : lLines) lTimes.push_back(lLine.section(',', 0, 0).toDouble());
    return lTimes;
  }
  // Where the clicks in a file's first audio stream fall, in seconds on the
  // file's clock, as ffmpeg decodes it (a click: a sample over 0.3, the next
  // looked for a tenth of a second on).
  std::vector<double> Clicks(const QString& pFile) {
    const double lStart =
        std::stod("0" + Probe(pFile, "stream=start_time", {"-select_streams", "a:0"}));
    QProcess lProcess;
    lProcess.setWorkingDirectory(mDir.path());
    lProcess.start("ffmpeg", {"-v", "error", "-i", pFile, "-map", "0:a:0", "-ac", "1", "-ar",
                              "48000", "-f", "f32le", "-"});
    lProcess.waitForFinished(120000);
    const QByteArray lRaw = lProcess.readAllStandardOutput();
    const float* lSamples = reinterpret_cast<const float*>(lRaw.constData());
    std::vector<double> lClicks;
    for (int i = 0; i < lRaw.size() / 4; ++i) {
      if (std::fabs(lSamples[i]) > 0.3f) {
        lClicks.push_back(lStart + static_cast<double>(i) / 48000.0);
        i += 4800;
      }
    }
    return lClicks;
  }

  // The preview's peak resident memory in kilobytes, or -1 when it failed.
  long PeakKilobytes(const std::vector<std::string>& pArguments) {
    std::vector<std::string> lWords{VEXAHUD_PREVIEW};
    lWords.insert(lWords.end(), pArguments.begin(), pArguments.end());
    std::vector<char*> lArgv;
    for (std::string& lWord : lWords) lArgv.push_back(lWord.data());
    lArgv.push_back(nullptr);
    const QByteArray lFolder = mDir.path().toLocal8Bit();
    posix_spawn_file_actions_t lActions;
    posix_spawn_file_actions_init(&lActions);
    posix_spawn_file_actions_addchdir_np(&lActions, lFolder.constData());
    posix_spawn_file_actions_addopen(&lActions, 2, "/dev/null", O_WRONLY, 0);
    pid_t lChild = 0;
    const int lSpawned = posix_spawn(&lChild, lArgv[0], &lActions, nullptr, lArgv.data(), environ);
    posix_spawn_file_actions_destroy(&lActions);
    if (lSpawned != 0) return -1;
    int lStatus = 0;
    struct rusage lUsage = {};
    if (wait4(lChild, &lStatus, 0, &lUsage) != lChild || !WIFEXITED(lStatus) ||
        WEXITSTATUS(lStatus) != 0)
      return -1;
    return lUsage.ru_maxrss;
  }
};

#pragma once
// Runs the built vexahud-preview in a temporary folder of its own.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <string>

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(mDir.isValid()); }

  Outcome Preview(const QStringList& pArguments, const QProcessEnvironment& pEnvironment =
                                                     QProcessEnvironment::systemEnvironment()) {
    QProcess lProcess;
    lProcess.setWorkingDirectory(mDir.path());
    lProcess.setProcessEnvironment(pEnvironment);
    lProcess.start(VEXAHUD_PREVIEW, pArguments);
    Outcome lRun;
    const bool lFinished = lProcess.waitForFinished(300000);
    if (lFinished && lProcess.exitStatus() == QProcess::NormalExit)
      lRun.status = lProcess.exitCode();
    lRun.out = lProcess.readAllStandardOutput().toStdString();
    lRun.err = lProcess.readAllStandardError().toStdString();
    return lRun;
  }

  QString Write(const QString& pName, const std::string& pText) {
    QFile lFile(mDir.filePath(pName));
    EXPECT_TRUE(lFile.open(QIODevice::WriteOnly));
    lFile.write(pText.data(), static_cast<qint64>(pText.size()));
    return pName;
  }
  std::string Read(const QString& pName) {
    QFile lFile(mDir.filePath(pName));
    EXPECT_TRUE(lFile.open(QIODevice::ReadOnly)) << pName.toStdString();
    return lFile.readAll().toStdString();
  }
  QStringList Files() const {
    return QDir(mDir.path())
        .entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
  }

  QTemporaryDir mDir;
};

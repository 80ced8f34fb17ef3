#include <fbhost/trace.h>
#include <gtest/gtest.h>

#include <QtGlobal>
#include <string>

namespace {

// The plug-ins' trace stays off the console unless switched on; warnings
// always reach it.
TEST(Trace, ReachesStderrOnlyWhenSwitchedOn) {
  EXPECT_FALSE(fbhost::TraceVisible());
  testing::internal::CaptureStderr();
  qDebug("hidden debug");
  qInfo("hidden info");
  qWarning("a warning");
  fbhost::SetTraceVisible(true);
  qDebug("shown debug");
  qInfo("shown info");
  fbhost::SetTraceVisible(false);
  qDebug("hidden again");
  const std::string lErr = testing::internal::GetCapturedStderr();
  EXPECT_EQ(lErr.find("hidden"), std::string::npos) << lErr;
  EXPECT_NE(lErr.find("a warning\n"), std::string::npos) << lErr;
  EXPECT_NE(lErr.find("shown debug\nshown info\n"), std::string::npos) << lErr;
}

}  // namespace

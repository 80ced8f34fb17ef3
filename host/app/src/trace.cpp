#include "fbhost/trace.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstdio>

namespace fbhost {

namespace {

std::atomic<bool> gTraceVisible{false};
// The handler installed before ours: Qt's own, unless a program set one.
QtMessageHandler gNext = nullptr;

void Route(QtMsgType pType, const QMessageLogContext& pContext, const QString& pMessage) {
  const bool lTrace = pType == QtDebugMsg || pType == QtInfoMsg;
  if (!lTrace && gNext) {
    gNext(pType, pContext, pMessage);
    return;
  }
  if (lTrace && !gTraceVisible.load(std::memory_order_relaxed)) return;
  const QByteArray lLine = qFormatLogMessage(pType, pContext, pMessage).toLocal8Bit();
  std::fprintf(stderr, "%s\n", lLine.constData());
  std::fflush(stderr);
}

void Install() {
  const QtMessageHandler lBefore = qInstallMessageHandler(Route);
  if (lBefore != Route) gNext = lBefore;
}

[[maybe_unused]] const bool gInstalled = (Install(), true);

}  // namespace

void SetTraceVisible(bool pVisible) {
  gTraceVisible.store(pVisible, std::memory_order_relaxed);
  Install();
}

bool TraceVisible() { return gTraceVisible.load(std::memory_order_relaxed); }

}  // namespace fbhost

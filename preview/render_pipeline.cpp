#include "render_pipeline.h"

#include <fbsdk/runtime.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <thread>

#include "bounded_queue.h"
#include "progress.h"

namespace {

using FootagePtr = std::unique_ptr<media::FootageFrame>;
using RenderedPtr = std::unique_ptr<RenderedFrame>;

// Frames in flight between two stages: one being filled, one being used,
// and one waiting, so neither side waits on the other's every frame.
const size_t kInFlight = 3;

// A fixed set of buffers passed around between two stages: the producer takes
// an empty one, the consumer gives it back.
template <class tItem>
struct Channel {
  Channel() : full(kInFlight), empty(kInFlight) {
    for (size_t i = 0; i < kInFlight; ++i) {
      auto lItem = std::make_unique<tItem>();
      empty.Push(lItem);
    }
  }
  void Close() {
    full.Close();
    empty.Close();
  }
  BoundedQueue<std::unique_ptr<tItem>> full;
  BoundedQueue<std::unique_ptr<tItem>> empty;
};

// The first error any stage meets; the others stop when they see it.
class Failure {
 public:
  void Set(const std::string& pError) {
    std::lock_guard<std::mutex> lLock(mMutex);
    if (mError.empty()) mError = pError;
    mFailed = true;
  }
  bool Failed() const { return mFailed; }
  std::string Error() {
    std::lock_guard<std::mutex> lLock(mMutex);
    return mError;
  }

 private:
  std::mutex mMutex;
  std::string mError;
  std::atomic<bool> mFailed{false};
};

media::Timecode SceneTimecode(fbhost::Scene& pScene) {
  // As the HUD shows the scene's time.
  int lH = 0, lM = 0, lS = 0, lF = 0, lField = 0, lMs = 0;
  fbhost::LocalTime().GetTime(lH, lM, lS, lF, lField, lMs);
  media::Timecode lCode;
  lCode.hours = lH;
  lCode.minutes = lM;
  lCode.seconds = lS;
  lCode.frames = lF;
  const double lRate = std::round(pScene.FrameRate());
  lCode.nominalRate = lRate >= 1.0 && lRate <= 1000.0 ? static_cast<int>(lRate) : 0;
  return lCode;
}

void SetFootageTimecode(ORSDK2014::FBProperty* pProperty, const media::Timecode& pCode) {
  if (!pProperty) return;
  // The SDK's rate: drop-frame rates positive, the others negative.
  const float lRate = pCode.dropFrame ? static_cast<float>(pCode.nominalRate * 1000.0 / 1001.0)
                                      : -static_cast<float>(pCode.nominalRate);
  ORSDK2014::FBTimeCode lCode(lRate);
  lCode.SetTimeCode(pCode.hours, pCode.minutes, pCode.seconds, static_cast<float>(pCode.frames));
  pProperty->SetData(&lCode);
}

}  // namespace

bool InStrip(long long pFrame, long long pFirst, long long pLast, int pCount) {
  const long long lSpan = pLast - pFirst;
  if (lSpan < pCount) return true;
  for (int i = 0; i < pCount; ++i) {
    const long long lPick = pFirst + (lSpan * i + (pCount - 1) / 2) / (pCount - 1);
    if (lPick == pFrame) return true;
  }
  return false;
}

RenderResult RenderFrames(const RenderRun& pRun) {
  fbhost::Scene& lScene = *pRun.scene;
  fbhost::OffscreenViewer& lViewer = *pRun.viewer;
  const int lWidth = lViewer.Width();
  const int lHeight = lViewer.Height();
  Failure lFailure;
  auto lStopped = [&] {
    return lFailure.Failed() || (pRun.interrupted && pRun.interrupted->load());
  };

  // Decoding: footage frames in order, those outside the range skipped.
  Channel<media::FootageFrame> lDecoded;
  std::string lBrokeOff;
  std::thread lDecoder;
  if (pRun.footage) {
    lDecoder = std::thread([&] {
      FootagePtr lFrame;
      while (!lStopped() && lDecoded.empty.Pop(&lFrame)) {
        std::string lError;
        bool lGot = false;
        while ((lGot = pRun.footage->Next(lFrame.get(), &lError)) && pRun.limited &&
               lFrame->number < pRun.first && !lStopped()) {
        }
        if (!lGot) {
          // The frames before the break are still drawn and written.
          lBrokeOff = lError;
          break;
        }
        if (lStopped() || (pRun.limited && lFrame->number > pRun.last)) break;
        if (!lDecoded.full.Push(lFrame)) break;
      }
      lDecoded.full.Close();
    });
  }

  // Writing: each frame handed to the sink in order.
  Channel<RenderedFrame> lRendered;
  RenderResult lResult;
  std::thread lWriter([&] {
    RenderedPtr lFrame;
    while (lRendered.full.Pop(&lFrame)) {
      std::string lError;
      if (!lFailure.Failed() && !pRun.sink->Write(*lFrame, lWidth, lHeight, &lError)) {
        lFailure.Set(lError);
        lRendered.Close();
        lDecoded.Close();
        break;
      }
      ++lResult.written;
      if (pRun.stripFrames > 0 &&
          InStrip(lFrame->number, pRun.first, pRun.last, pRun.stripFrames)) {
        lResult.strip.push_back(
            QImage(lFrame->rgba.data(), lWidth, lHeight, QImage::Format_RGBA8888)
                .mirrored(false, true));
      }
      lRendered.empty.Push(lFrame);
    }
  });

  // Drawing, on this thread.
  ProgressBar lProgress(pRun.last - pRun.first + 1);
  const double lClockRate = pRun.footage ? pRun.footage->FramesPerSecond() : lScene.FrameRate();
  long long lDone = 0;
  for (long long lNext = pRun.first; !lStopped(); ++lNext) {
    FootagePtr lFootage;
    RenderedPtr lOut;
    if (pRun.footage) {
      if (!lDecoded.full.Pop(&lFootage)) break;
    } else if (lNext > pRun.last) {
      break;
    }
    if (!lRendered.empty.Pop(&lOut)) break;
    ++lDone;
    if (lFootage) {
      lViewer.SetBackgroundFrame(lFootage->rgba.data(), lFootage->width, lFootage->height, true);
      lScene.SetTimeAfterStart(lFootage->seconds);
      SetFootageTimecode(pRun.footageTimecode, lFootage->timecode);
      lOut->number = lFootage->number;
      lOut->seconds = lFootage->seconds;
      lOut->timecode = lFootage->timecode;
      lDecoded.empty.Push(lFootage);
    } else {
      lScene.SetFrame(lNext);
      lOut->number = lNext;
      lOut->timecode = SceneTimecode(lScene);
    }
    lScene.SetSystemTimeSeconds(static_cast<double>(lDone) / lClockRate);
    lViewer.RenderFrame(lScene.Elements(), lScene.CurrentCamera());
    lOut->rgba.resize(static_cast<size_t>(lWidth) * static_cast<size_t>(lHeight) * 4);
    lViewer.ReadPixelsBottomUp(lOut->rgba.data());
    if (!lRendered.full.Push(lOut)) break;
    lProgress.Update(lDone);
  }
  const bool lInterrupted = pRun.interrupted && pRun.interrupted->load();
  if (lInterrupted) lDecoded.Close();
  // Whatever was drawn is written before the sink finishes or gives up.
  lRendered.full.Close();
  lWriter.join();
  lDecoded.Close();
  if (lDecoder.joinable()) lDecoder.join();

  if (lFailure.Failed()) {
    lResult.outcome = RenderOutcome::kFailed;
    lResult.error = lFailure.Error();
  } else if (lInterrupted) {
    lResult.outcome = RenderOutcome::kInterrupted;
  } else if (!lBrokeOff.empty()) {
    lResult.outcome = RenderOutcome::kFailed;
    lResult.error = lBrokeOff;
  } else if (lResult.written == 0) {
    lResult.outcome = RenderOutcome::kFailed;
    lResult.error = "no frame to render";
  }
  std::string lError;
  if (lResult.outcome == RenderOutcome::kDone && !pRun.sink->Finish(&lError)) {
    lResult.outcome = RenderOutcome::kFailed;
    lResult.error = lError;
  }
  if (lResult.outcome != RenderOutcome::kDone) pRun.sink->Abort();
  return lResult;
}

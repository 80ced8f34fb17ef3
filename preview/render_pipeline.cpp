#include "render_pipeline.h"

#include <fbsdk/runtime.h>
#include <media/cpu_time.h>

#include <cmath>
#include <cstring>
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

// The frames a strip shows, kept at half size. Over footage of unknown
// length, every stride-th frame is kept, the stride doubling whenever twice
// the strip's frames are held, so memory stays bounded; the strip then picks
// evenly from those.
class StripCollector {
 public:
  StripCollector(int pCount, bool pKnown, long long pFirst, long long pLast)
      : mCount(pCount), mKnown(pKnown), mFirst(pFirst), mLast(pLast) {}

  void Offer(const RenderedFrame& pFrame, int pWidth, int pHeight) {
    if (mCount <= 0) return;
    const long long lIndex = mSeen++;
    if (mKnown ? !InStrip(pFrame.number, mFirst, mLast, mCount) : lIndex % mStride != 0) {
      // The length unknown, any frame may be the last: the latest is kept
      // aside as it came, so the strip ends on the footage's last frame.
      if (!mKnown) {
        mLatest.assign(pFrame.rgba.begin(), pFrame.rgba.end());
        mLatestIndex = lIndex;
        mLatestWidth = pWidth;
        mLatestHeight = pHeight;
      }
      return;
    }
    mCells.push_back({lIndex, Cell(pFrame.rgba.data(), pWidth, pHeight)});
    mLatestIndex = -1;
    if (!mKnown && static_cast<int>(mCells.size()) >= 4 * mCount) {
      mStride *= 2;
      std::vector<std::pair<long long, QImage>> lKept;
      for (auto& lCell : mCells) {
        if (lCell.first % mStride == 0) lKept.push_back(std::move(lCell));
      }
      mCells.swap(lKept);
    }
  }

  std::vector<QImage> Take() {
    std::vector<QImage> lStrip;
    if (!mKnown && mLatestIndex >= 0) {
      mCells.push_back({mLatestIndex, Cell(mLatest.data(), mLatestWidth, mLatestHeight)});
    }
    const long long lHeld = static_cast<long long>(mCells.size());
    if (mKnown || lHeld <= mCount) {
      for (auto& lCell : mCells) lStrip.push_back(std::move(lCell.second));
      return lStrip;
    }
    // The cells nearest to even steps from the first frame to the last.
    const long long lLast = mCells.back().first;
    size_t lAt = 0;
    for (int i = 0; i < mCount; ++i) {
      const long long lWanted = (lLast * i + (mCount - 1) / 2) / (mCount - 1);
      while (lAt + 1 < mCells.size() &&
             std::llabs(mCells[lAt + 1].first - lWanted) <= std::llabs(mCells[lAt].first - lWanted))
        ++lAt;
      lStrip.push_back(mCells[lAt].second);
      if (lAt + 1 < mCells.size()) ++lAt;
    }
    return lStrip;
  }

 private:
  static QImage Cell(const unsigned char* pRgba, int pWidth, int pHeight) {
    return QImage(pRgba, pWidth, pHeight, QImage::Format_RGBA8888)
        .mirrored(false, true)
        .convertToFormat(QImage::Format_RGB32)
        .scaled(std::max(1, pWidth / 2), std::max(1, pHeight / 2), Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation);
  }

  int mCount;
  bool mKnown;
  long long mFirst, mLast;
  long long mSeen = 0;
  long long mStride = 1;
  std::vector<std::pair<long long, QImage>> mCells;
  std::vector<unsigned char> mLatest;  // the latest frame not in mCells, as it came
  long long mLatestIndex = -1;
  int mLatestWidth = 0, mLatestHeight = 0;
};

std::string FrameRange(long long pFirst, long long pLast) {
  return pFirst == pLast ? "frame " + std::to_string(pFirst)
                         : "frames " + std::to_string(pFirst) + " to " + std::to_string(pLast);
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
  RenderResult lResult;
  Channel<media::FootageFrame> lDecoded;
  std::string lBrokeOff;
  std::atomic<bool> lMissing{false};
  auto lMissingFrames = [&](const std::string& pText) {
    lMissing = true;
    if (pRun.warn) pRun.warn(pText);
  };
  std::thread lDecoder;
  if (pRun.footage) {
    lDecoder = std::thread([&] {
      FootagePtr lFrame;
      if (pRun.limited) pRun.footage->SkipBefore(pRun.first);
      long long lLastSeen = pRun.first - 1;
      long long lGoesOnAt = -1;  // the first frame past the range, where the footage has one
      while (!lStopped() && lDecoded.empty.Pop(&lFrame)) {
        std::string lError;
        bool lGot = false;
        const double lStarted = media::ThreadCpuSeconds();
        struct Count {
          double started;
          double* total;
          ~Count() { *total += media::ThreadCpuSeconds() - started; }
        } lCount{lStarted, &lResult.decodeSeconds};
        while ((lGot = pRun.footage->Next(lFrame.get(), &lError)) && pRun.limited &&
               lFrame->number < pRun.first && !lStopped()) {
        }
        if (!lGot) {
          // The frames before the break are still drawn and written.
          lBrokeOff = lError;
          break;
        }
        for (const media::MissingFrames& lGone : lFrame->missing) {
          const long long lFrom = pRun.limited ? std::max(lGone.first, pRun.first) : lGone.first;
          const long long lTo = pRun.limited ? std::min(lGone.last, pRun.last) : lGone.last;
          if (lFrom <= lTo) {
            lMissingFrames(pRun.footage->Path() + ": " + FrameRange(lFrom, lTo) + " missing (" +
                           lGone.why + ")");
          }
        }
        if (pRun.limited && lFrame->number > pRun.last) lGoesOnAt = lFrame->number;
        if (lStopped() || lGoesOnAt >= 0) break;
        lLastSeen = lFrame->number;
        if (!lDecoded.full.Push(lFrame)) break;
      }
      if (pRun.limited && lBrokeOff.empty() && !lStopped() && lLastSeen < pRun.last) {
        // Past the range's end but not the footage's: its times skip those frames.
        lMissingFrames(pRun.footage->Path() + ": " + FrameRange(lLastSeen + 1, pRun.last) +
                       " asked for, but the footage " +
                       (lGoesOnAt >= 0
                            ? "has none there: it goes on at frame " + std::to_string(lGoesOnAt)
                            : "ends at frame " + std::to_string(lLastSeen)));
      }
      lDecoded.full.Close();
    });
  }

  // Writing: each frame handed to the sink in order.
  Channel<RenderedFrame> lRendered;
  StripCollector lStrip(pRun.stripFrames, pRun.lengthKnown, pRun.first, pRun.last);
  std::thread lWriter([&] {
    RenderedPtr lFrame;
    while (lRendered.full.Pop(&lFrame)) {
      std::string lError;
      const double lStarted = media::ThreadCpuSeconds();
      if (!lFailure.Failed() && !ComposeLayer(lFrame.get())) lError = "out of memory";
      lResult.composeSeconds += media::ThreadCpuSeconds() - lStarted;
      if (!lFailure.Failed() && (!lError.empty() || !pRun.sink->Write(*lFrame, &lError))) {
        lFailure.Set(lError);
        lRendered.Close();
        lDecoded.Close();
        break;
      }
      ++lResult.written;
      lStrip.Offer(*lFrame, lFrame->width, lFrame->height);
      lFrame->audio.Clear();
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
    // The HUD as a layer over the footage's own picture, or laid out at
    // another size than the footage's; else the footage is the viewer's background.
    const bool lLayer = lFootage && (pRun.hudLayer || !lFootage->picture.Empty());
    if (lFootage && !lViewer.SetLayerMode(lLayer)) {
      lFailure.Set("cannot draw the HUD as a layer: the OpenGL context draws to one buffer only");
      break;
    }
    if (lFootage && !lLayer) {
      if (lFootage->rgba.empty()) {
        lFailure.Set(pRun.footage->Path() + ": frame " + std::to_string(lFootage->number) +
                     " is not the viewport's size");
        break;
      }
      lViewer.SetBackgroundFrame(lFootage->rgba.data(), lFootage->width, lFootage->height, true);
    }
    if (lFootage) {
      lScene.SetTimeAfterStart(lFootage->seconds);
      SetFootageTimecode(pRun.footageTimecode, lFootage->timecode);
      lOut->number = lFootage->number;
      lOut->seconds = lFootage->seconds;
      lOut->pts = lFootage->pts;
      lOut->duration = lFootage->duration;
      lOut->timecode = lFootage->trackTimecode;
      lOut->audio = std::move(lFootage->audio);
    } else {
      lScene.SetFrame(lNext);
      lOut->number = lNext;
      lOut->pts = lNext;
      lOut->duration = 1;
      lOut->timecode = SceneTimecode(lScene);
    }
    lScene.SetSystemTimeSeconds(static_cast<double>(lDone) / lClockRate);
    const double lDrawStarted = media::ThreadCpuSeconds();
    lViewer.RenderFrame(lScene.Elements(), lScene.CurrentCamera());
    lOut->rgba.resize(static_cast<size_t>(lWidth) * static_cast<size_t>(lHeight) * 4);
    lOut->picture.Clear();
    lOut->layer = lLayer;
    lOut->width = lLayer ? lFootage->width : lWidth;
    lOut->height = lLayer ? lFootage->height : lHeight;
    if (lLayer) {
      lOut->layerWidth = lWidth;
      lOut->layerHeight = lHeight;
      lOut->white.resize(lOut->rgba.size() / 4);
      lViewer.ReadLayerBottomUp(lOut->rgba.data(), lOut->white.data(), &lOut->rowsDrawn);
      if (!lFootage->picture.Empty()) {
        lOut->picture = std::move(lFootage->picture);
        lOut->matrix = lFootage->matrix;
        lOut->fullRange = lFootage->fullRange;
      } else {
        lOut->footage.swap(lFootage->rgba);
      }
    } else {
      lOut->rowsDrawn.clear();
      lViewer.ReadPixelsBottomUp(lOut->rgba.data());
    }
    lResult.drawSeconds += media::ThreadCpuSeconds() - lDrawStarted;
    if (lFootage) {
      lDecoded.empty.Push(lFootage);
    }
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
  } else if (lResult.written == 0) {
    lResult.outcome = RenderOutcome::kFailed;
    lResult.error = !lBrokeOff.empty() ? lBrokeOff : "no frame to render";
  } else if (!lBrokeOff.empty()) {
    // Every frame before the break is kept; the break is still a failure.
    lResult.outcome = RenderOutcome::kIncomplete;
    lResult.error = lBrokeOff;
  } else if (lMissing) {
    lResult.outcome = RenderOutcome::kIncomplete;
    lResult.error = "frames are missing from the output (named above)";
  }
  std::string lError;
  const bool lKeep =
      lResult.outcome == RenderOutcome::kDone || lResult.outcome == RenderOutcome::kIncomplete;
  if (lKeep && !pRun.sink->Finish(&lError)) {
    lResult.outcome = RenderOutcome::kFailed;
    lResult.error = lError;
  }
  if (lResult.outcome != RenderOutcome::kDone && lResult.outcome != RenderOutcome::kIncomplete)
    pRun.sink->Abort();
  lResult.strip = lStrip.Take();
  lResult.blendSeconds = pRun.sink->BlendSeconds();
  lResult.composeSeconds += pRun.sink->ResampleSeconds();
  lResult.encodeSeconds = pRun.sink->EncodeSeconds();
  return lResult;
}

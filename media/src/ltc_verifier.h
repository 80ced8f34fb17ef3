#pragma once
// Decoded LTC frames believed only once they run true: a frame is taken when it
// continues a run of consecutive frames at its rate, and times with no such
// frame are counted from the nearest one (freewheel). Garbage, splices and
// dropouts in the audio never put an unchecked value on screen.
//
// Frames are added as the audio advances and times are asked in increasing
// order; only the frames between the last time asked and the audio fed are kept.

#include <media/timecode.h>

#include <cstddef>
#include <deque>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

namespace media {

// One decoded LTC frame: the seconds its audio spans, on the footage's clock,
// and its fields. The rate is told by the frame's length and drop-frame bit.
struct LtcFrameTime {
  double start = 0.0;
  double end = 0.0;
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int frames = 0;
  bool dropFrame = false;
};

// The LTC rate a frame's length and drop-frame bit tell: 24, 25, 30, or
// 30000/1001 for 30 with the drop-frame bit.
AVRational LtcRateOf(const LtcFrameTime& pFrame);

// The exact seconds a frame lasts of LTC counting at pRate (LtcRateOf's) whose
// frames measured pMeasured seconds, so that frames counted far from a measured
// one keep in step. 24 and 30 may also run 1000/1001 slow (23.976, and 29.97
// without drop-frame): counted alike, but a frame apart in 42 s.
double LtcPeriod(AVRational pRate, double pMeasured);

struct LtcSpan {
  double start = 0.0;
  double end = 0.0;
};

class LtcVerifier {
 public:
  // Consecutive frames needed to lock, and again to re-lock after a jump.
  static constexpr int kRunLength = 3;

  explicit LtcVerifier(int pRunLength = kRunLength);

  // Frames in the order decoded.
  void Add(const LtcFrameTime& pFrame);
  // Audio has been decoded up to pSeconds and every frame ending before it added.
  void SetAudioUntil(double pSeconds);
  // The audio has ended: frames still waiting for a run are dropped.
  void Finish();

  // Answers before this time are final: no frame still to come can change them.
  // Nothing is final before the first lock (it is counted back from), until Finish.
  double FinalUntil() const;
  // The seconds a frame lasts in the run locked on (LtcPeriod, measured over
  // the whole run); 0 before a lock.
  double Period() const { return mLocked ? mLast.period : 0.0; }

  // The timecode of the LTC frame spanning pSeconds: a verified frame read there
  // (pCounted false), else counted at the LTC's rate from the last verified frame
  // before, or back from the first verified one (pCounted true). False while none
  // has been verified. Times asked must not decrease.
  // pStart, where given, receives where that LTC frame starts.
  bool At(double pSeconds, Timecode* pTimecode, bool* pCounted, double* pStart = nullptr);

  // The stretches of asked times answered by counting, since the last call: those
  // a read answer has closed, and with pAllAsked (nothing more will be asked)
  // the one still open.
  std::vector<LtcSpan> TakeCountedSpans(bool pAllAsked);

 private:
  struct Frame {
    double start = 0.0;
    double end = 0.0;
    Timecode timecode;
    AVRational rate{0, 1};
    double period = 0.0;  // seconds per frame of its run (LtcPeriod), once verified
  };

  static bool Parse(const LtcFrameTime& pFrame, Frame* pParsed);
  static Timecode Count(const Frame& pFrom, long long pOffset);
  static bool Continues(const Frame& pBefore, const Frame& pAfter);
  bool ContinuesLock(const Frame& pFrame, long long* pOffset) const;
  void Verify(Frame pFrame, long long pIndex);

  int mRunLength;
  std::vector<Frame> mPending;  // a run still too short to believe
  std::deque<Frame> mVerified;  // from the last one before the time asked
  bool mLocked = false;
  Frame mLast;                // the last verified frame
  double mRunFirstEnd = 0.0;  // where the locked run's first frame ends
  long long mLastIndex = 0;   // mLast's frame count within its run
  double mLastAddedEnd = -1e300;
  double mAudioUntil = -1e300;
  bool mFinished = false;
  bool mSpanOpen = false;
  LtcSpan mSpan;
  std::vector<LtcSpan> mSpans;
};

}  // namespace media

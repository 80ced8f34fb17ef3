#include "ltc_verifier.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "footage_timecode.h"

namespace media {
namespace {

// How far, as a share of a frame, a frame may start from where the run puts it.
constexpr double kTimingSlack = 0.25;
// The longest LTC frame (23.976 frames a second) and a biphase cell more: a frame
// is handed over only once its last transition is heard, so one still to come
// may start this long before the audio decoded.
constexpr double kLongestFrameSeconds = 0.05;
// A frame is handed over at its end, so the next starts no earlier than this before it.
constexpr double kOrderSlackSeconds = 0.001;

}  // namespace

LtcVerifier::LtcVerifier(int pRunLength) : mRunLength(std::max(1, pRunLength)) {}

AVRational LtcRateOf(const LtcFrameTime& pFrame) {
  // LTC does not carry its rate: the nearest standard one to the frame's length.
  const double fps = 1.0 / (pFrame.end - pFrame.start);
  int nominal = 30;
  for (int candidate : {24, 25}) {
    if (std::fabs(fps - candidate) < std::fabs(fps - nominal)) nominal = candidate;
  }
  return pFrame.dropFrame && nominal == 30 ? AVRational{30000, 1001} : AVRational{nominal, 1};
}

double LtcPeriod(AVRational pRate, double pMeasured) {
  const double period = av_q2d(av_inv_q(pRate));
  if (pRate.den != 1 || pRate.num == 25) return period;
  const double slow = av_q2d(av_div_q(AVRational{1001, 1000}, pRate));
  return std::fabs(pMeasured - slow) < std::fabs(pMeasured - period) ? slow : period;
}

bool LtcVerifier::Parse(const LtcFrameTime& pFrame, Frame* pParsed) {
  const double length = pFrame.end - pFrame.start;
  if (!(length > 0.0) || !std::isfinite(pFrame.start)) return false;
  pParsed->rate = LtcRateOf(pFrame);
  const int nominal = (pParsed->rate.num + pParsed->rate.den - 1) / pParsed->rate.den;
  const bool drop = pParsed->rate.den == 1001;
  pParsed->start = pFrame.start;
  pParsed->end = pFrame.end;
  pParsed->timecode.hours = pFrame.hours;
  pParsed->timecode.minutes = pFrame.minutes;
  pParsed->timecode.seconds = pFrame.seconds;
  pParsed->timecode.frames = pFrame.frames;
  pParsed->timecode.dropFrame = drop;
  pParsed->timecode.nominalRate = nominal;
  // Fields that libavutil would count into some other timecode (a frame number
  // past the rate, a dropped number, hour 24 and up) are garbage.
  TimecodeCounter counter;
  return counter.InitFromFields(pFrame.hours, pFrame.minutes, pFrame.seconds, pFrame.frames, drop,
                                pParsed->rate) &&
         counter.At(0) == pParsed->timecode;
}

Timecode LtcVerifier::Count(const Frame& pFrom, long long pOffset) {
  const Timecode& from = pFrom.timecode;
  TimecodeCounter counter;
  if (!counter.InitFromFields(from.hours, from.minutes, from.seconds, from.frames, from.dropFrame,
                              pFrom.rate)) {
    return Timecode();
  }
  return counter.At(pOffset);
}

bool LtcVerifier::Continues(const Frame& pBefore, const Frame& pAfter) {
  const double length = pBefore.end - pBefore.start;
  return av_cmp_q(pBefore.rate, pAfter.rate) == 0 &&
         std::fabs(pAfter.start - pBefore.end) <= kTimingSlack * length &&
         Count(pBefore, 1) == pAfter.timecode;
}

// A frame where the locked run, counted on through a dropout, puts that very value.
bool LtcVerifier::ContinuesLock(const Frame& pFrame, long long* pOffset) const {
  if (!mLocked || av_cmp_q(mLast.rate, pFrame.rate) != 0) return false;
  const double frames = (pFrame.start - mLast.start) / mLast.period;
  const double offset = std::round(frames);
  if (offset < 1.0 || offset > 1e9 || std::fabs(frames - offset) > kTimingSlack) return false;
  *pOffset = static_cast<long long>(offset);
  return Count(mLast, *pOffset) == pFrame.timecode;
}

void LtcVerifier::Verify(Frame pFrame, long long pIndex) {
  // Measured over the run, so 23.976 counts apart from 24 through a long dropout.
  const double measured =
      pIndex > 0 ? (pFrame.end - mRunFirstEnd) / static_cast<double>(pIndex) : 0.0;
  pFrame.period = LtcPeriod(pFrame.rate, measured > 0.0 ? measured : pFrame.end - pFrame.start);
  mVerified.push_back(pFrame);
  mLast = pFrame;
  mLastIndex = pIndex;
}

void LtcVerifier::Add(const LtcFrameTime& pFrame) {
  if (mFinished) return;
  mLastAddedEnd = std::max(mLastAddedEnd, pFrame.end);
  Frame frame;
  if (!Parse(pFrame, &frame)) {
    mPending.clear();
    return;
  }
  long long offset = 0;
  if (ContinuesLock(frame, &offset)) {
    mPending.clear();
    Verify(frame, mLastIndex + offset);
    return;
  }
  if (!mPending.empty() && Continues(mPending.back(), frame)) {
    mPending.push_back(frame);
  } else {
    mPending.assign(1, frame);
  }
  if (static_cast<int>(mPending.size()) < mRunLength) return;
  // A run long enough to believe: lock (again) at its values, from its first frame.
  mLocked = true;
  mRunFirstEnd = mPending.front().end;
  for (size_t i = 0; i < mPending.size(); ++i) Verify(mPending[i], static_cast<long long>(i));
  // Its first frames take the period the whole run measured.
  for (size_t i = mVerified.size() - mPending.size(); i + 1 < mVerified.size(); ++i) {
    mVerified[i].period = mLast.period;
  }
  mPending.clear();
}

void LtcVerifier::SetAudioUntil(double pSeconds) { mAudioUntil = std::max(mAudioUntil, pSeconds); }

void LtcVerifier::Finish() {
  mFinished = true;
  mPending.clear();
}

double LtcVerifier::FinalUntil() const {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  if (mFinished) return kInfinity;
  if (!mLocked) return -kInfinity;
  double until = std::max(mLastAddedEnd - kOrderSlackSeconds, mAudioUntil - kLongestFrameSeconds);
  // A run still too short may yet be believed, from its first frame on.
  if (!mPending.empty()) until = std::min(until, mPending.front().start);
  return until;
}

bool LtcVerifier::At(double pSeconds, Timecode* pTimecode, bool* pCounted, double* pStart) {
  if (mVerified.empty() || !std::isfinite(pSeconds)) return false;
  while (mVerified.size() > 1 && mVerified[1].start <= pSeconds) mVerified.pop_front();
  const Frame& from = mVerified.front();
  const bool read = from.start <= pSeconds && pSeconds < from.end;
  if (read) {
    *pTimecode = from.timecode;
    if (pStart) *pStart = from.start;
  } else {
    const double frames = std::floor((pSeconds - from.start) / from.period);
    if (!(std::fabs(frames) < 1e9)) return false;
    *pTimecode = Count(from, static_cast<long long>(frames));
    if (pStart) *pStart = from.start + frames * from.period;
  }
  *pCounted = !read;
  if (read) {
    if (mSpanOpen) mSpans.push_back(mSpan);
    mSpanOpen = false;
  } else if (mSpanOpen) {
    mSpan.end = pSeconds;
  } else {
    mSpan = {pSeconds, pSeconds};
    mSpanOpen = true;
  }
  return true;
}

std::vector<LtcSpan> LtcVerifier::TakeCountedSpans(bool pAllAsked) {
  std::vector<LtcSpan> spans;
  spans.swap(mSpans);
  // Not when the audio ends: frames asked after it are counted on, in the same span.
  if (pAllAsked && mSpanOpen) {
    spans.push_back(mSpan);
    mSpanOpen = false;
  }
  return spans;
}

}  // namespace media

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime_state.h"

namespace fbhost {
namespace detail {

// Never destroyed: plug-ins, elements and libraries a program keeps in its
// own statics may still reach it while the process exits.
State& S() {
  static State* const sState = new State;
  return *sState;
}

void SetLocalTime(FBTime pTime) {
  if (pTime != S().localTime) ++S().timeChanges;
  S().localTime = pTime;
}

void ReportMisuse(const std::string& pReport) {
  if (MisuseHandler lHandler = S().misuseHandler) {
    lHandler(pReport.c_str());
    return;
  }
  std::fprintf(stderr, "fbsdk: %s\n", pReport.c_str());
  std::abort();
}

}  // namespace detail

using detail::S;

void SetFrameRate(double pFramesPerSecond) {
  if (!std::isfinite(pFramesPerSecond) || pFramesPerSecond <= 0.0) return;
  // 29.97 as written is the host's NTSC rate 30000/1001, and likewise 23.976,
  // 47.952 and 59.94.
  for (long long lNominal : {24LL, 30LL, 48LL, 60LL}) {
    const double lNtsc = lNominal * 1000.0 / 1001.0;
    if (std::fabs(pFramesPerSecond - lNtsc) < lNominal * 5e-5) {
      S().rate = {lNominal * 1000, 1001, lNtsc};
      return;
    }
  }
  // Whole rates are exact too; the bound keeps frame and tick products in 128 bits.
  if (pFramesPerSecond == std::floor(pFramesPerSecond) && pFramesPerSecond <= 1e12) {
    S().rate = {static_cast<long long>(pFramesPerSecond), 1, pFramesPerSecond};
    return;
  }
  S().rate = {0, 0, pFramesPerSecond};
}
double FrameRate() { return S().rate.value; }
bool FrameRateFraction(long long& pNumerator, long long& pDenominator) {
  if (S().rate.den <= 0) return false;
  pNumerator = S().rate.num;
  pDenominator = S().rate.den;
  return true;
}
void SetLocalTime(FBTime pTime) { detail::SetLocalTime(pTime); }
FBTime LocalTime() { return S().localTime; }
void SetSystemTime(FBTime pTime) { S().systemTime = pTime; }
FBTime SystemTime() { return S().systemTime; }
void SetTransport(bool pRecording, bool pPlaying) {
  S().recording = pRecording;
  S().playing = pPlaying;
}
bool IsRecording() { return S().recording; }
bool IsPlaying() { return S().playing; }
void SetPlayRange(FBTime pStart, FBTime pStop) {
  S().playStart = pStart;
  S().playStop = pStop;
}
FBTime PlayStart() { return S().playStart; }
FBTime PlayStop() { return S().playStop; }
void SetCurrentTake(FBTake* pTake) { S().take = pTake; }
FBTake* CurrentTake() { return S().take; }
void SetCurrentCamera(FBCamera* pCamera) { S().camera = pCamera; }
FBCamera* CurrentCamera() { return S().camera; }

void ResetScene() {
  detail::State& lState = S();
  lState.rate = {30, 1, 30.0};
  detail::SetLocalTime(FBTime(0));
  lState.systemTime = FBTime(0);
  lState.recording = false;
  lState.playing = false;
  lState.playStart = FBTime(0);
  lState.playStop = FBTime(0);
  lState.take = nullptr;
  lState.camera = nullptr;
}

const std::vector<RegisteredClass>& RegisteredClasses() { return S().classes; }

const RegisteredClass* FindRegisteredClass(const char* pGroup, const char* pEntry) {
  if (!pGroup || !pEntry) return nullptr;
  for (const RegisteredClass& lClass : S().classes) {
    if (lClass.group == pGroup && lClass.entry == pEntry) return &lClass;
  }
  return nullptr;
}

void SetRegistrationObserver(RegistrationObserver pObserver) {
  S().registrationObserver = pObserver;
}

int ForgetClassesIn(const void* pBegin, const void* pEnd) {
  const auto lBegin = reinterpret_cast<std::uintptr_t>(pBegin);
  const auto lEnd = reinterpret_cast<std::uintptr_t>(pEnd);
  std::vector<RegisteredClass>& lClasses = S().classes;
  const size_t lBefore = lClasses.size();
  for (size_t i = lClasses.size(); i-- > 0;) {
    const auto lAddress = reinterpret_cast<std::uintptr_t>(lClasses[i].creator);
    if (lAddress >= lBegin && lAddress < lEnd)
      lClasses.erase(lClasses.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return static_cast<int>(lBefore - lClasses.size());
}

int LiveComponentCount() { return S().liveComponents; }

MisuseHandler SetMisuseHandler(MisuseHandler pHandler) {
  const MisuseHandler lBefore = S().misuseHandler;
  S().misuseHandler = pHandler;
  return lBefore;
}

void HandBackNullText(ORSDK2014::FBProperty* pProperty) {
  if (pProperty && pProperty->GetPropertyType() == ORSDK2014::kFBPT_charptr)
    S().nullTexts.insert(pProperty);
}

int HUDElementBasePropertyCount() { return 5; }

}  // namespace fbhost

// Costs of the HUD on the offscreen viewer at 1920 x 1080: frames with the
// HUD in several states against a frame that only clears, the event handler,
// a binding, and an element's creation and destruction.

#include <benchmark/benchmark.h>
#include <fbhost/offscreen_viewer.h>
#include <fbsdk/runtime.h>
#include <fbhost/scene.h>
#include <unistd.h>

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "element/vexa_hud_element.h"

namespace {
long gAllocations = 0;
}

// Counts every C++ allocation in the process, the host's included.
void* operator new(size_t pSize) {
  ++gAllocations;
  if (void* lMemory = std::malloc(pSize ? pSize : 1)) return lMemory;
  throw std::bad_alloc();
}
void* operator new[](size_t pSize) { return operator new(pSize); }
void operator delete(void* pMemory) noexcept { std::free(pMemory); }
void operator delete[](void* pMemory) noexcept { std::free(pMemory); }
void operator delete(void* pMemory, size_t) noexcept { std::free(pMemory); }
void operator delete[](void* pMemory, size_t) noexcept { std::free(pMemory); }

namespace {

const int kWidth = 1920;
const int kHeight = 1080;

fbhost::OffscreenViewer& Viewer() {
  static std::unique_ptr<fbhost::OffscreenViewer> sViewer = [] {
    std::string lError;
    auto lViewer = fbhost::OffscreenViewer::Create(kWidth, kHeight, &lError);
    if (!lViewer) {
      std::fprintf(stderr, "no offscreen viewer: %s\n", lError.c_str());
      std::exit(1);
    }
    lViewer->SetBackground(0.3, 0.3, 0.3);
    return lViewer;
  }();
  return *sViewer;
}

void Set(FBComponent* pOwner, const char* pName, bool pValue) {
  pOwner->PropertyList.Find(pName)->SetData(&pValue);
}

// A stage: camera, take, play range, and a performer carrying a timecode.
struct Stage {
  Stage() {
    camera = scene.AddCamera("Camera 1");
    scene.SetCurrentCamera(camera);
    scene.SetCurrentTake(scene.AddTake("Take 001"));
    scene.SetPlayRange(0, 1000);
    performer = scene.AddObject("performer");
    scene.AddCustomProperty(performer, "TimeCode", kFBPT_TimeCode);
  }
  VexaHUDElement* AddHud(bool pEverything) {
    auto* lHud = static_cast<VexaHUDElement*>(scene.CreateElement("VexaHUDElement", "hud"));
    if (!lHud) {
      std::fprintf(stderr, "the plug-in refused to create an element\n");
      std::exit(1);
    }
    if (pEverything) {
      for (const char* lName :
           {"Show Camera Name", "Show Interoccular", "Show Convergence", "Show Slate", "Show FPS",
            "Show Value 1", "Show Value 2", "Show Reticle", "Show Marker 1", "Show Marker 2"}) {
        Set(lHud, lName, true);
      }
      lHud->setCharacterTimecodeSource(performer);
      lHud->setCameraTimecodeSource(performer);
    }
    return lHud;
  }
  // One frame of the scene, the clock and the scene time moving on.
  void Frame() {
    ++frame;
    scene.SetFrame(frame % 1000);
    scene.SetSystemTimeMs(frame * 33);
    Viewer().RenderFrame(scene.Elements(), camera);
  }

  fbhost::Scene scene;
  FBCamera* camera = nullptr;
  FBComponent* performer = nullptr;
  long long frame = 0;
};

// Frames of one kind, with the allocations each makes once settled.
void RunFrames(benchmark::State& pState, Stage& pStage) {
  for (int i = 0; i < 10; ++i) pStage.Frame();
  const long lBefore = gAllocations;
  for (auto _ : pState) pStage.Frame();
  pState.counters["allocs/pass"] = benchmark::Counter(static_cast<double>(gAllocations - lBefore),
                                                      benchmark::Counter::kAvgIterations);
}

void BM_ClearOnlyFrame(benchmark::State& pState) {
  Stage lStage;
  RunFrames(pState, lStage);
}

void BM_HudDefaults(benchmark::State& pState) {
  Stage lStage;
  lStage.AddHud(false);
  RunFrames(pState, lStage);
}

void BM_HudEverything(benchmark::State& pState) {
  Stage lStage;
  lStage.AddHud(true);
  RunFrames(pState, lStage);
}

void BM_HudEverythingSaving(benchmark::State& pState) {
  Stage lStage;
  Set(lStage.AddHud(true), "Saving", true);
  RunFrames(pState, lStage);
}

// The frame after "Saving" turns on, the message's glyphs made in it.
void BM_FirstFrameAfterSaving(benchmark::State& pState) {
  Stage lStage;
  for (auto _ : pState) {
    pState.PauseTiming();
    VexaHUDElement* lHud = lStage.AddHud(true);
    lStage.Frame();
    Set(lHud, "Saving", true);
    pState.ResumeTiming();
    lStage.Frame();
    pState.PauseTiming();
    lStage.scene.DeleteElement(lHud);
    pState.ResumeTiming();
  }
}

void BM_RenderingPipelineHandler(benchmark::State& pState) {
  Stage lStage;
  lStage.AddHud(false);
  long long lMs = 0;
  for (auto _ : pState) {
    fbhost::SetSystemTime(FBTime(++lMs * 46186158LL));
    fbhost::RaiseRenderingPipeline(kFBGlobalEvalCallbackAfterRender);
  }
}

void BM_Binding(benchmark::State& pState) {
  Stage lStage;
  VexaHUDElement* lHud = lStage.AddHud(false);
  for (auto _ : pState) lHud->setCharacterTimecodeSource(lStage.performer);
}

void BM_CreateAndDestroy(benchmark::State& pState) {
  Stage lStage;
  for (auto _ : pState) lStage.scene.DeleteElement(lStage.AddHud(false));
}

BENCHMARK(BM_ClearOnlyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HudDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HudEverything)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HudEverythingSaving)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrameAfterSaving)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RenderingPipelineHandler)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Binding)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateAndDestroy)->Unit(benchmark::kMicrosecond);

// The usual table, then each frame's time against the clear-only frame.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& pRuns) override {
    ConsoleReporter::ReportRuns(pRuns);
    for (const Run& lRun : pRuns) {
      if (lRun.run_type != Run::RT_Iteration) continue;
      mSeconds[lRun.benchmark_name()] =
          lRun.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(lRun.time_unit);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto lBase = mSeconds.find("BM_ClearOnlyFrame");
    if (lBase == mSeconds.end() || lBase->second <= 0) return;
    std::printf("\nAgainst the clear-only frame (%.3f ms):\n", lBase->second * 1e3);
    for (const auto& lEntry : mSeconds) {
      std::printf("  %-40s %14.6f ms  %10.6f x\n", lEntry.first.c_str(), lEntry.second * 1e3,
                  lEntry.second / lBase->second);
    }
  }

 private:
  std::map<std::string, double> mSeconds;
};

long long ResidentBytes() {
  long long lPages = 0, lResident = 0;
  FILE* lFile = std::fopen("/proc/self/statm", "r");
  if (!lFile) return -1;
  if (std::fscanf(lFile, "%lld %lld", &lPages, &lResident) != 2) lResident = -1;
  std::fclose(lFile);
  return lResident * sysconf(_SC_PAGESIZE);
}

// Resident growth of one element that has shown every item and the saving
// message, after the driver's first-use costs were paid by another element.
void PrintElementMemory() {
  Stage lStage;
  VexaHUDElement* lWarmUp = lStage.AddHud(true);
  lStage.Frame();
  lStage.scene.DeleteElement(lWarmUp);
  lStage.Frame();
  const long long lBaseline = ResidentBytes();
  Set(lStage.AddHud(true), "Saving", true);
  lStage.Frame();
  lStage.Frame();
  std::printf("Resident memory of one element with every item and the saving message: %.1f MB\n",
              (ResidentBytes() - lBaseline) / 1e6);
}

}  // namespace

// The binding's "Connecting to" lines would drown the figures.
void DropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

int main(int argc, char** argv) {
  qInstallMessageHandler(DropMessages);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  PrintElementMemory();
  RatioReporter lReporter;
  benchmark::RunSpecifiedBenchmarks(&lReporter);
  benchmark::Shutdown();
  return 0;
}

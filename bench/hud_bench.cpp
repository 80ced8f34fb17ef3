// Costs of the HUD on the offscreen viewer at 1920 x 1080: frames with the
// HUD in several states against a frame that only clears, the event handler,
// a binding, an element's creation and destruction, and the HUD's layer
// resampled for a 3840 x 2160 movie.

#include <benchmark/benchmark.h>
#include <fbhost/offscreen_viewer.h>
#include <fbhost/scene.h>
#include <fbsdk/runtime.h>
#include <media/layer_resampler.h>
#include <unistd.h>

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "element/vexa_hud_element.h"
#include "layer_blend.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

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

// Twenty animatable properties of the element, its camera and its source,
// set to still values or keyed across the play range so that they read the
// same values on the frames measured.
void TwentyProperties(Stage& pStage, VexaHUDElement* pHud, bool pKeyed) {
  const std::pair<const char*, std::vector<double>> kValues[] = {
      {"In Frame", {5, 300}},
      {"Out Frame", {600, 950}},
      {"Marker 1 Frame", {10, 400}},
      {"Marker 2 Frame", {20, 500}},
      {"Marker 3 Frame", {30, 600}},
      {"Marker 4 Frame", {40, 700}},
      {"Value 1", {1, 9}},
      {"Value 2", {0.5, 0.25}},
      {"Reticle Size", {40, 80}},
      {"Aspect", {1.5, 2.35}},
      {"Interoccular", {6, 7}},
      {"Convergence", {200, 300}},
      {"Show Labels", {1, 1}},
      {"Show Timeline", {1, 1}},
      {"Bloop Light Duration", {5, 9}},
      {"Reticle Color", {1, 0, 0, 1, 0, 1, 0, 1}},
      {"Font Color", {1, 1, 1, 1, 1, 1, 0, 1}},
      {"Mask Color", {0, 0, 0, 0.5, 0, 0, 0, 0.7}}};
  std::vector<std::pair<FBPropertyAnimatable*, std::vector<double>>> lProperties;
  for (const auto& lValue : kValues) {
    lProperties.emplace_back(
        dynamic_cast<FBPropertyAnimatable*>(pHud->PropertyList.Find(lValue.first)), lValue.second);
  }
  pStage.camera->ApertureMode = kFBApertureFocalLength;
  lProperties.emplace_back(&pStage.camera->FocalLength, std::vector<double>{24, 85});
  lProperties.emplace_back(
      static_cast<FBPropertyAnimatable*>(pStage.performer->PropertyList.Find("TimeCode")),
      std::vector<double>{36000, 0, 36000, 1000});
  for (auto& lEntry : lProperties) {
    FBPropertyAnimatable* lProperty = lEntry.first;
    if (!lProperty) {
      std::fprintf(stderr, "an animatable property is missing\n");
      std::exit(1);
    }
    double* lFirst = lEntry.second.data();
    if (!pKeyed) {
      if (lProperty->GetPropertyType() == kFBPT_TimeCode) {
        FBTimeCode lCode(FBTimeCode::NTSC_DROP);
        lCode.SetTimeCode(10);
        lProperty->SetData(&lCode);
      } else if (lProperty->GetPropertyType() == kFBPT_ColorRGBA) {
        FBColorAndAlpha lColour(lFirst[0], lFirst[1], lFirst[2], lFirst[3]);
        lProperty->SetData(&lColour);
      } else {
        FBProperty& lPlain = *lProperty;
        if (lPlain.GetPropertyType() == kFBPT_double) lPlain.SetData(lFirst);
        if (lPlain.GetPropertyType() == kFBPT_int) {
          int lInt = static_cast<int>(lFirst[0]);
          lPlain.SetData(&lInt);
        }
        if (lPlain.GetPropertyType() == kFBPT_bool) {
          bool lBool = lFirst[0] != 0.0;
          lPlain.SetData(&lBool);
        }
      }
      continue;
    }
    // Three keys of the still value: the frames draw the same picture, so
    // the difference is the evaluation of the keys alone.
    lProperty->SetAnimated(true);
    for (long long lFrame : {0, 500, 1000}) {
      FBTime lTime;
      lTime.SetFrame(lFrame);
      lProperty->GetAnimationNode()->KeyAdd(lTime, lFirst);
    }
  }
}

void BM_HudTwentyStill(benchmark::State& pState) {
  Stage lStage;
  TwentyProperties(lStage, lStage.AddHud(true), false);
  RunFrames(pState, lStage);
}

void BM_HudTwentyKeyed(benchmark::State& pState) {
  Stage lStage;
  TwentyProperties(lStage, lStage.AddHud(true), true);
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

// A layer read back from the viewer: over black, over white, and which rows
// were drawn; the viewer is left in layer mode until Done.
struct Layer {
  std::vector<unsigned char> black = std::vector<unsigned char>(size_t{4} * kWidth * kHeight);
  std::vector<unsigned char> white = std::vector<unsigned char>(black.size() / 4);
  std::vector<unsigned char> rows;
  bool Start(benchmark::State& pState) {
    if (Viewer().SetLayerMode(true)) return true;
    pState.SkipWithError("no layer mode");
    return false;
  }
  void Draw(Stage& pStage) {
    pStage.Frame();
    Viewer().ReadLayerBottomUp(black.data(), white.data(), &rows);
  }
  void Done() { Viewer().SetLayerMode(false); }
  // One frame of the default HUD, read once for a benchmark of what follows.
  bool ReadDefaults(benchmark::State& pState) {
    Stage lStage;
    lStage.AddHud(false);
    if (!Start(pState)) return false;
    Draw(lStage);
    Done();
    return true;
  }
};

// A movie's frame of the default HUD: drawn as a layer, and its drawn rows
// read back over black and over white. Argument 1: without the mask, as at
// "Aspect" 1.0 on a wide viewport, to show what the two bands cost.
// llvmpipe shades in threads of its own, which the CPU column leaves out:
// with LP_NUM_THREADS=0 it shades on this thread, and CPU is all of it.
void BM_HudDefaultsAsLayer(benchmark::State& pState) {
  Stage lStage;
  VexaHUDElement* lHud = lStage.AddHud(false);
  if (pState.range(0) == 1) {
    double lSquare = 1.0;
    lHud->PropertyList.Find("Aspect")->SetData(&lSquare);
  }
  Layer lLayer;
  if (!lLayer.Start(pState)) return;
  for (int i = 0; i < 10; ++i) lLayer.Draw(lStage);
  for (auto _ : pState) lLayer.Draw(lStage);
  lLayer.Done();
}

// The default HUD's layer blended into a 1080-line 8-bit 4:2:0 picture.
void BM_LayerBlendedInto1080(benchmark::State& pState) {
  Layer lLayer;
  if (!lLayer.ReadDefaults(pState)) return;
  std::unique_ptr<AVFrame, void (*)(AVFrame*)> lFrame(
      av_frame_alloc(), [](AVFrame* pFrame) { av_frame_free(&pFrame); });
  lFrame->format = AV_PIX_FMT_YUV420P;
  lFrame->width = kWidth;
  lFrame->height = kHeight;
  if (av_frame_get_buffer(lFrame.get(), 0) < 0) {
    pState.SkipWithError("no frame");
    return;
  }
  for (int lPlane = 0; lPlane < 3; ++lPlane) {
    const int lRowsOf = lPlane ? kHeight / 2 : kHeight;
    for (int y = 0; y < lRowsOf; ++y) {
      for (int x = 0; x < lFrame->linesize[lPlane]; ++x) {
        lFrame->data[lPlane][y * lFrame->linesize[lPlane] + x] = static_cast<uint8_t>(x + y);
      }
    }
  }
  media::LayerRows lRows;
  lRows.overBlack = lLayer.black.data();
  lRows.overWhite = lLayer.white.data();
  lRows.bottomUp = true;
  lRows.rowsDrawn = lLayer.rows.data();
  for (auto _ : pState) {
    media::BlendLayer(lFrame.get(), lRows, AVCOL_SPC_BT709, false);
    benchmark::DoNotOptimize(lFrame->data[0]);
  }
}

// The default HUD's layer as a 2160-line movie takes it: drawn at 1080 lines
// and resampled to the picture's planes.
void BM_LayerResampledTo2160(benchmark::State& pState) {
  Layer lLayer;
  if (!lLayer.ReadDefaults(pState)) return;
  media::LayerResampler lResampler;
  media::LayerPlanes lPlanes;
  for (auto _ : pState) {
    if (!lResampler.ResampleToPlanes(lLayer.black.data(), lLayer.white.data(), lLayer.rows.data(),
                                     kWidth, kHeight, 2 * kWidth, 2 * kHeight, &lPlanes)) {
      pState.SkipWithError("cannot resample");
      break;
    }
    benchmark::DoNotOptimize(lPlanes.luma.red);
  }
}

BENCHMARK(BM_ClearOnlyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HudDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HudEverything)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HudEverythingSaving)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HudTwentyStill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HudTwentyKeyed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrameAfterSaving)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RenderingPipelineHandler)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Binding)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateAndDestroy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HudDefaultsAsLayer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerBlendedInto1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerResampledTo2160)->Unit(benchmark::kMillisecond);

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

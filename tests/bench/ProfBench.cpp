// The professor's frame, as the game loop and a level solver run it.
//
// BM_ProfUpdate: Update alone (no sprite drawing) over a course of plain
// floor, slow floor, ice and a spring between two walls, 100,000 frames of
// scripted keys per iteration (right, then left, fire held every second
// hundred frames).
// Target: well under a microsecond per frame, so that a search can run him by
// the hundred thousand frames.
//
// BM_ProfUpdateDrawErase: the same frames with the sprite drawn into the back
// buffer and erased from the background copy, as every frame of play does.
// The difference to BM_ProfUpdate is the cost of drawing and erasing.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "ImageCollectionUnit.h"
#include "VGRMapUnit.h"
#include "VGRPlayerUnit.h"
#include "ZR_SDL.h"

namespace {

constexpr int kFrames = 100000;

struct TCourse {
  TCourse() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (!ScreenSurface) Initialize(640, 400, 32, VF_BACKBUFFER);
    if (!ImageCollection) ImageCollection = std::make_unique<TImageCollection>();
    for (const char* facing : {"ProfLeft", "ProfRight"})
      for (int frame = 1; frame <= 5; ++frame) {
        TImagePtr image = CreateImageWH(TProf::Width, TProf::Height);
        ImageBar(image.get(), 2, 0, 17, TProf::Height - 1, 0x80, uint8_t(0x20 * frame), 0x40);
        SetImageColorKey(image.get(), true);
        ImageCollection->Add(std::move(image), facing + std::to_string(frame));
      }
    Background = CreateImageWH(516, 356);
    ImageBar(Background.get(), 0, 0, 515, 355, 0x10, 0x20, 0x30);

    Map = std::make_unique<TMap>();
    Map->Grow(TMap::Columns, TMap::Rows);
    for (int r = 0; r < TMap::Rows; ++r) {
      Map->SetLogicalTile(0, r, otSolid);
      Map->SetLogicalTile(TMap::Columns - 1, r, otSolid);
    }
    // Row 21: floor with slow floor, ice and a spring; walls at both ends.
    const std::string floor = "####sssss###iiii####S######sss##";
    for (int c = 1; c <= 32; ++c) {
      const char k = floor[static_cast<size_t>(c - 1)];
      Map->SetLogicalTile(c, 21, k == 's' ? otSlowFloor : k == 'i' ? otIce : k == 'S' ? otSpring : otSolid);
    }
    for (int r = 17; r <= 20; ++r) {
      Map->SetLogicalTile(1, r, otSolid);
      Map->SetLogicalTile(32, r, otSolid);
    }
    Prof = std::make_unique<TProf>(126, 56);
    Prof->SetMap(Map.get());
    Prof->SetBackground(Background.get(), 62, 22);
    Start = Prof->SaveLogic();
    Start.X = 94;
    Start.Y = 328;
    Start.PieceValue = 1;
  }

  // Right for 500 frames, then left for 500, fire held in every second
  // block of 100 frames.
  static void Keys(int frame) {
    const int phase = frame % 1000;
    KeyState[TProf::KeyRight] = phase < 500;
    KeyState[TProf::KeyLeft] = phase >= 500;
    KeyState[TProf::KeyFire] = (phase / 100) % 2 == 1;
  }

  TImagePtr Background;
  std::unique_ptr<TMap> Map;
  std::unique_ptr<TProf> Prof;
  TProfLogic Start;
};

TCourse& Course() {
  static TCourse course;
  return course;
}

void Run(benchmark::State& state, bool draw) {
  TCourse& c = Course();
  TProf& prof = *c.Prof;
  int64_t moved = 0;
  for (auto _ : state) {
    prof.RestoreLogic(c.Start);
    for (int f = 0; f < kFrames; ++f) {
      TCourse::Keys(f);
      if (draw) prof.Draw();
      prof.Update();
      if (draw) prof.Erase();
    }
    moved += prof.X;
  }
  benchmark::DoNotOptimize(moved);
  if (prof.State != psWalking && prof.State != psSliding && prof.State != psSpringJump && prof.State != psFalling)
    state.SkipWithError("the course ended in an unexpected state");
  state.counters["per_frame"] =
      benchmark::Counter(static_cast<double>(kFrames), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

void BM_ProfUpdate(benchmark::State& state) { Run(state, false); }
BENCHMARK(BM_ProfUpdate)->Unit(benchmark::kMillisecond);

void BM_ProfUpdateDrawErase(benchmark::State& state) { Run(state, true); }
BENCHMARK(BM_ProfUpdateDrawErase)->Unit(benchmark::kMillisecond);

}  // namespace

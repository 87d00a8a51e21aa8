// IsCollide runs several times per frame (once per monster, twice for the
// boulder). Worst case: two 32 by 16 masks whose boxes overlap fully while no
// pixel meets (complementary stripes), so every byte of the overlap is read.
// Common case: boxes far apart, rejected before any pixel is read.
#include <benchmark/benchmark.h>

#include "CollisionCheckerUnit.h"

namespace {

TMask Stripes(int phase) {
  TMask m;
  m.Width = 32;
  m.Height = 16;
  m.Data.resize(32 * 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) m.Data[static_cast<size_t>(y * 32 + x)] = (x + phase) % 2 == 0 ? 1 : 0;
  return m;
}

void BM_IsCollideOverlapNoPixel(benchmark::State& state) {
  TMask a = Stripes(0), b = Stripes(1);
  TCollisionChecker c;
  TCollisionRect ra{&a, 100, 100}, rb{&b, 100, 100};
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.IsCollide(ra, rb));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_IsCollideOverlapNoPixel);

void BM_IsCollideFarApart(benchmark::State& state) {
  TMask a = Stripes(0), b = Stripes(0);
  TCollisionChecker c;
  TCollisionRect ra{&a, 10, 10}, rb{&b, 300, 200};
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.IsCollide(ra, rb));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_IsCollideFarApart);

}  // namespace

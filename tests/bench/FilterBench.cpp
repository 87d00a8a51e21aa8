// Speed of the byte filters that end a compressed member's decoding chain, on
// a 1 MiB member: the re-interleave per stride and the delta decoding, each in
// MB/s of output.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "CodingUnit.h"

namespace {

constexpr std::size_t kSize = (1 << 20) + 7;  // odd: the planes differ in length

const std::vector<uint8_t>& Input() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d(kSize);
    uint32_t x = 2463534242u;
    for (auto& b : d) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      b = static_cast<uint8_t>(x);
    }
    return d;
  }();
  return data;
}

void BM_Reinterleave(benchmark::State& state) {
  const int stride = static_cast<int>(state.range(0));
  const auto& in = Input();
  for (auto _ : state) {
    std::vector<uint8_t> out = ReinterleaveBytes(in.data(), in.size(), stride);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}
BENCHMARK(BM_Reinterleave)->ArgName("stride")->Arg(2)->Arg(3)->Arg(5);

void BM_DeltaDecode(benchmark::State& state) {
  const auto& in = Input();
  for (auto _ : state) {
    std::vector<uint8_t> out = DeltaDecodeBytes(in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}
BENCHMARK(BM_DeltaDecode);

// A plain copy of the same bytes: the memory speed the filters aim at.
void BM_CopyFloor(benchmark::State& state) {
  const auto& in = Input();
  for (auto _ : state) {
    std::vector<uint8_t> out(in.begin(), in.end());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}
BENCHMARK(BM_CopyFloor);

}  // namespace

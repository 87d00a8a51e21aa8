// Mixing cost: one minute of output with a module playing and eight looping
// samples overlapping, rendered without a device. The figure that matters is
// the CPU share: CPU time divided by the minute of audio it produced.
#include <benchmark/benchmark.h>

#include "../platform/AudioFixtures.h"
#include "BASS.h"

#include <algorithm>

namespace {

void BM_MixOneMinute(benchmark::State& state) {
  if (!BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr)) {
    state.SkipWithError("mixer did not start");
    return;
  }
  BASS_SetVolume(100.0f);
  const auto mod = audiotest::MakeMod(true);
  const HMUSIC music = BASS_MusicLoad(true, mod.data(), 0, static_cast<DWORD>(mod.size()), 0x404, 0);
  std::vector<HSAMPLE> samples;
  for (int i = 0; i < 8; ++i) {
    // Mixed rates and channel counts, so every playback is resampled.
    std::vector<int> frames;
    const int channels = 1 + i % 2;
    const uint32_t rate = i % 3 == 0 ? 22050 : 11025;
    for (uint32_t f = 0; f < rate; ++f) {
      for (int c = 0; c < channels; ++c) frames.push_back(static_cast<int>(3000 * ((f * (i + 3)) % 97) / 97));
    }
    const auto wav = audiotest::MakeWav(frames, static_cast<uint16_t>(channels), rate);
    samples.push_back(BASS_SampleLoad(true, wav.data(), 0, static_cast<DWORD>(wav.size()), 2,
                                      BASS_SAMPLE_OVER_POS | BASS_SAMPLE_LOOP));
  }
  if (music == 0 || std::count(samples.begin(), samples.end(), 0u) > 0) {
    state.SkipWithError("test sounds did not load");
    BASS_Free();
    return;
  }
  constexpr uint32_t kRate = 44100, kBlock = 1024, kMinute = 60 * kRate;
  std::vector<int16_t> buffer(2 * kBlock);
  for (auto _ : state) {
    BASS_ChannelPlay(music, true);
    for (HSAMPLE s : samples) BASS_ChannelPlay(BASS_SampleGetChannel(s, false), false);
    for (uint32_t done = 0; done < kMinute; done += kBlock) {
      BASS_RenderOutput(buffer.data(), std::min(kBlock, kMinute - done));
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  BASS_Free();
  state.counters["audio_seconds"] = benchmark::Counter(60.0 * state.iterations());
}
BENCHMARK(BM_MixOneMinute)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

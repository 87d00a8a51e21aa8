// What the game's music and sound effects cost to load and to hold: the
// "Music" and "Waves" collections of Zapkin.ini loaded from the real archive
// beside the benchmark (build/bin/Voltigor.mad4, target vgr_data) as the
// program loads them, with the mixer started without a device. Counters:
// heap_MB, the heap still in use after loading (songs load when played);
// heap_play_MB, while the first song plays; rss_peak_MB, the process's peak.
// Run it alone to read the peak:
//   build/bin/vgr_bench --benchmark_filter=LoadGameAudio
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "BASS.h"
#include "BenchFiles.h"
#include "MAD4HighLevelUnit.h"
#include "MusicCollectionUnit.h"
#include "WaveCollectionUnit.h"

namespace {

double HeapMB() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd) / (1024.0 * 1024.0);
}

double PeakRssMB() {
  double kb = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
      if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atof(line + 6);
    }
    std::fclose(f);
  }
  return kb / 1024.0;
}

void BM_LoadGameAudio(benchmark::State& state) {
  const std::string archive = ArchiveBesideBench();
  if (access(archive.c_str(), R_OK) != 0) {
    state.SkipWithError("build the archive first (target vgr_data)");
    return;
  }
  if (!BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr)) {
    state.SkipWithError("mixer did not start");
    return;
  }
  TMAD4HighLevel volumes;
  volumes.Mount(archive, 100, true);
  TMAD4HighLevel* old = MAD4Volumes;
  MAD4Volumes = &volumes;
  double held = 0, playing = 0;
  int songs = 0, effects = 0;
  for (auto _ : state) {
    const double before = HeapMB();
    TMusicCollection music;
    TWaveCollection waves;
    music.Load("Zapkin.ini", "Music");
    waves.Load("Zapkin.ini", "Waves");
    held = HeapMB() - before;
    state.PauseTiming();
    songs = music.Count();
    effects = waves.Count();
    if (songs > 0) {
      music.Items.front()->Play();
      int16_t frames[2 * 1024];
      BASS_RenderOutput(frames, 1024);
      playing = HeapMB() - before;
      music.Items.front()->Stop();
    }
    state.ResumeTiming();
  }
  MAD4Volumes = old;
  BASS_Free();
  state.counters["songs"] = songs;
  state.counters["effects"] = effects;
  state.counters["heap_MB"] = held;
  state.counters["heap_play_MB"] = playing;
  state.counters["rss_peak_MB"] = PeakRssMB();
}
BENCHMARK(BM_LoadGameAudio)->Unit(benchmark::kMillisecond);

}  // namespace

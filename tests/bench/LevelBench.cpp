// Level starts and the cell queries of play.
//
// BM_LoadLevel: building a construction level (drawn, with its dots) and an
// interim level (drawn, dressed with random tiles, sequences, springs and
// monsters) from a pack piece, as every level start and every restart after
// a death does. Target: well under one frame period (16 ms), so a restart
// shows no hitch.
//
// BM_CellQueries: what the professor asks per frame, a few points at a time,
// here every pixel row of one column across the whole playfield. Target:
// nanoseconds per query.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../platform/ImageFixtures.h"
#include "SystemUnit.h"
#include "VGRGameValues.h"
#include "VGRMapUnit.h"
#include "VGRResourceTypesUnit.h"
#include "XMapPackUnit.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"

using namespace imgfix;

namespace {

void Write(const std::string& name, const Bytes& bytes) {
  TFileStream f(name, fmCreate);
  f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void Write(const std::string& name, const std::string& text) { Write(name, Bytes(text.begin(), text.end())); }

Bytes Piece(bool interim) {
  TXMap m;
  m.Grow(32, 22);
  for (int y = 0; y < 22; ++y) {
    for (int x = 0; x < 32; ++x) {
      const bool floor = interim ? y % 3 == 0 : (y == 21 || (y % 4 == 0 && x % 7 < 4));
      m.SetPhysicalTile(x, y, floor ? '!' + (x % 3) : ' ');
    }
  }
  m.ExtraLines = {"9", "20,1,10,5,2,3", "16,4,20,8,-1,4", ".", ".", "."};
  if (!interim) m.ExtraLines.push_back(std::string(176, '5'));
  TMemoryStream s;
  m.Save(s, 'T');
  return s.Data;
}

// The level data in a scratch folder that is the working folder from then on.
struct TLevelData {
  TLevelData() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (!ScreenSurface) Initialize(640, 400, 32, VF_BACKBUFFER);
    Old = std::filesystem::current_path();
    Dir = std::filesystem::temp_directory_path() / ("vgr-levelbench-" + std::to_string(getpid()));
    std::filesystem::create_directories(Dir);
    std::filesystem::current_path(Dir);
    std::string objects = ">4,4,4\n>5,5\n%1,2\n#SOLID,1\n#WIRE,2\n#SPRING,15\n#EMPTY,0\n";
    for (int n = 1; n <= 9; ++n) {
      Write("o" + std::to_string(n) + ".tga",
            MakeTGA24(16, 16, [n](int x, int y) { return (x + y) % 5 == 0 ? 0u : 0x203040u * static_cast<uint32_t>(n); }));
      const char* alias = n <= 3 ? "solid" : n == 4 ? "wire" : n == 5 ? "spring" : "empty";
      objects += "o" + std::to_string(n) + ".tga," + std::to_string(n) + "," + alias + "\n";
    }
    Write("objects.lst", objects + "!END\n");
    Write("monsters.txt", std::string("MONS01a,1,0\n"));
    Write("moreblk.tga", MakeStrip(7, 16, 16, {0x07, 0x00}));
    TXMap empty;
    empty.Grow(32, 22);
    TMemoryStream e;
    empty.Save(e, 'T');
    Write("empty.mpp", e.Data);
    TXMapPack pack;
    pack.AddEntry("01.mpp", "", Piece(false));
    pack.AddEntry("26.mpp", "", Piece(true));
    TMemoryStream p;
    pack.SaveMPCK(p);
    Write("Zapkin.mpk", p.Data);
    Resources = std::make_unique<TResources>();
    Map = std::make_unique<TMap>();
  }
  ~TLevelData() {
    Map.reset();
    Resources.reset();
    std::error_code ignored;
    std::filesystem::current_path(Old, ignored);
    std::filesystem::remove_all(Dir, ignored);
  }
  std::filesystem::path Old;
  std::filesystem::path Dir;
  std::unique_ptr<TMap> Map;
};

TLevelData& Data() {
  static TLevelData data;
  return data;
}

void BM_LoadLevel(benchmark::State& state) {
  TMap& map = *Data().Map;
  const uint8_t level = static_cast<uint8_t>(state.range(0));
  MrRobotMode = true;
  Randomize(7);
  for (auto _ : state) {
    if (!map.LoadLevel(level, true)) state.SkipWithError("level not built");
    benchmark::DoNotOptimize(map.DotCount);
  }
  MrRobotMode = false;
}
BENCHMARK(BM_LoadLevel)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_CellQueries(benchmark::State& state) {
  TMap& map = *Data().Map;
  map.LoadLevel(1, false);
  for (auto _ : state) {
    int solid = 0;
    for (int y = 24; y < 376; ++y) {
      solid += !map.IsEmptyAt(200, y);
      solid += map.IsIceAt(200, y);
      solid += map.ObjectAt(200, y);
      solid += map.HasDotAt(200, y);
    }
    benchmark::DoNotOptimize(solid);
  }
  state.SetItemsProcessed(state.iterations() * 352 * 4);
}
BENCHMARK(BM_CellQueries);

}  // namespace

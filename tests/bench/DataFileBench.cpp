// Loading hostile configuration files of 16 MB, the largest a data file is
// expected to be: every one must load in well under a second. Both are read
// from a loose file through the lookup, as the game reads Zapkin.ini.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "VGRResourceTypesUnit.h"
#include "XMapPackUnit.h"
#include "ZRStream3.h"
#include "ScrollUnit.h"
#include "ZRINIFile.h"
#include "ZR_SDL.h"

namespace {

constexpr std::size_t kSize = 16u << 20;

void WriteText(const std::string& file, const std::string& text) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) std::abort();
}

// The file `name` holding `text` in a new scratch folder.
std::string WriteScratch(const std::string& name, const std::string& text) {
  std::string templ = (std::filesystem::temp_directory_path() / "vgrbench-XXXXXX").string();
  if (!::mkdtemp(templ.data())) std::abort();
  const std::string file = templ + "/" + name;
  WriteText(file, text);
  return file;
}

// Pictures and the scroller's font need a display; the dummy driver serves.
void OpenDummyDisplay() {
  if (ScreenSurface) return;
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  Initialize(640, 400, 32, VF_BACKBUFFER);
}

// The object and monster definitions loaded from a scratch working folder
// holding "objects.lst" and "monsters.txt" as given.
void LoadDefinitions(benchmark::State& state, const std::string& objects, const std::string& monsters) {
  const std::string folder = std::filesystem::path(WriteScratch("objects.lst", objects)).parent_path().string();
  WriteText(folder + "/monsters.txt", monsters);
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  OpenDummyDisplay();
  for (auto _ : state) {
    TResources resources;
    benchmark::DoNotOptimize(resources.Count());
  }
  std::filesystem::current_path(old);
  std::filesystem::remove_all(folder);
}

// Distinct sections of one line each: about a million of them.
void BM_IniOfManySections16MB(benchmark::State& state) {
  std::string text;
  for (int i = 0; text.size() < kSize; ++i) text += "[S" + std::to_string(i) + "]\nK=" + std::to_string(i) + "\n";
  const std::string file = WriteScratch("many.ini", text);
  for (auto _ : state) {
    TIniFile ini(file, true);
    benchmark::DoNotOptimize(ini.Sections.size());
  }
  std::filesystem::remove_all(std::filesystem::path(file).parent_path());
}
BENCHMARK(BM_IniOfManySections16MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// One line of 16 MB: cut while it is read, the file refused.
void BM_IniOfOneLine16MB(benchmark::State& state) {
  const std::string file = WriteScratch("line.ini", "[A]\nK=" + std::string(kSize, 'v') + "\n");
  for (auto _ : state) {
    TIniFile ini(file, true);
    benchmark::DoNotOptimize(ini.Sections.size());
  }
  std::filesystem::remove_all(std::filesystem::path(file).parent_path());
}
BENCHMARK(BM_IniOfOneLine16MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// "objects.lst" of 16 MB: half a million type aliases, then as many object
// lines naming an alias that is not there (each one a warning, no picture).
// Every object line looked its alias up from the front of the list once.
void BM_ObjectsOfManyAliases16MB(benchmark::State& state) {
  std::string text = ">1\n";
  int i = 0;
  for (; text.size() < kSize / 2; ++i) text += "#A" + std::to_string(i) + ",1\n";
  for (int j = 0; text.size() < kSize; ++j) text += "p" + std::to_string(j) + ".tga," + std::to_string(j) + ",B\n";
  text += "!END\n";
  LoadDefinitions(state, text, "");
}
BENCHMARK(BM_ObjectsOfManyAliases16MB)->Unit(benchmark::kMillisecond)->Iterations(1);

// Map packs of 16 MB, chunked and binary, of tiny maps: about 200,000 pieces.
void BM_MapPack16MB(benchmark::State& state) {
  TXMapPack pack;
  const std::vector<uint8_t> piece(64, 33);
  for (int i = 0; static_cast<std::size_t>(i) * 80 < kSize; ++i) pack.AddEntry("P" + std::to_string(i), "", piece);
  TMemoryStream saved;
  const bool ok = state.range(0) == 0 ? pack.SaveMPCK(saved) : pack.SaveMPKB(saved);
  if (!ok) std::abort();
  state.SetLabel(std::to_string(saved.Data.size() >> 20) + " MB");
  for (auto _ : state) {
    saved.SetPosition(0);
    TXMapPack loaded;
    loaded.Load(saved);
    benchmark::DoNotOptimize(loaded.Count());
  }
}
BENCHMARK(BM_MapPack16MB)->ArgName("binary")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// "monsters.txt" of 16 MB: lines of one frame (state 0) or of 255 frames
// (state 1), each a strip the game makes for that monster.
void BM_MonstersOf16MB(benchmark::State& state) {
  std::string text;
  std::string frames;
  for (int f = 0; f < 255; ++f) frames += "," + std::to_string(f % 8);
  for (int i = 0; text.size() < kSize; ++i) {
    text += "MONS" + std::string(i % 20 < 9 ? "0" : "") + std::to_string(i % 20 + 1) + "a," +
            (state.range(0) == 0 ? "1,0" : "255" + frames) + "\n";
  }
  LoadDefinitions(state, ">1\n!END\n", text);
}
BENCHMARK(BM_MonstersOf16MB)->ArgName("frames255")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// "scroll.txt" of 16 MB read by the credits scroller from a loose file.
void BM_ScrollText16MB(benchmark::State& state) {
  std::string text;
  for (int i = 0; text.size() < kSize; ++i) text += "Credits line " + std::to_string(i) + "\r\n";
  const std::string file = WriteScratch("scroll.txt", text);
  OpenDummyDisplay();
  for (auto _ : state) {
    TScroll scroll(nullptr, 0, 0, 16);
    scroll.LoadFromFile(file);
    benchmark::DoNotOptimize(scroll.TextLength);
  }
  std::filesystem::remove_all(std::filesystem::path(file).parent_path());
}
BENCHMARK(BM_ScrollText16MB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

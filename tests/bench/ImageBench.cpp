// Image loading and colour-keyed drawing.
//
// BM_LoadGfxList200: a GFX list of 200 small colour-keyed TGA pictures, every
// one with a collision mask, loaded from an archive into a collection: what
// start-up does with "Zapkin.ini". Target: under 50 ms.
//
// BM_BlitKeyed: drawing a 16 by 16 or 32 by 16 colour-keyed sprite onto the
// back buffer, from the plain keyed surface and from the run-length encoded
// one that CreateImageFromRawPicture makes for sprites with solid runs; and a
// finely dithered sprite, for which the loader keeps the plain surface.
#include <benchmark/benchmark.h>
#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../platform/ImageFixtures.h"
#include "ImageCollectionUnit.h"
#include "RawPictureUnit.h"
#include "ZR_SDL.h"

using namespace imgfix;

namespace {

void OpenDisplay() {
  if (ScreenSurface) return;
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  Initialize(640, 400, 32, VF_BACKBUFFER);
}

// A round sprite in a frame strip, different for each picture number.
uint32_t SpriteColour(int n, int x, int y) {
  const int cx = x % 16 - 8, cy = y - 8;
  return cx * cx + cy * cy < 30 + n % 20 ? 0x203040u + static_cast<uint32_t>(n) * 0x010101u : 0u;
}

struct TGfxArchive {
  std::string Dir;
  std::string Archive;
  TGfxArchive() {
    Dir = (std::filesystem::temp_directory_path() / ("vgr-imagebench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(Dir);
    Archive = Dir + "/gfx.mad4";
    std::filesystem::remove(Archive);
    std::vector<std::pair<std::string, Bytes>> members;
    std::string list;
    for (int n = 0; n < 200; ++n) {
      const std::string file = "gfx\\p" + std::to_string(n) + ".tga";
      // Half single pictures, half two-frame strips.
      const int frames = n % 2 == 0 ? 1 : 2;
      const Bytes attrs = frames == 1 ? Bytes{} : Bytes{0x02, 0x50};
      members.emplace_back(file, MakeTGA24(16 * frames, 16, [n](int x, int y) { return SpriteColour(n, x, y); }, attrs));
      list += "." + file + ",Img" + std::to_string(n) + ",*\r\n";
    }
    list += "!END\r\n";
    members.emplace_back("gfx.lst", Bytes(list.begin(), list.end()));
    WriteArchive(Archive, members);
  }
  ~TGfxArchive() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
};

void BM_LoadGfxList200(benchmark::State& state) {
  OpenDisplay();
  TGfxArchive data;
  TArchiveMounted mounted(data.Archive);
  for (auto _ : state) {
    TImageCollection collection;
    collection.AddByList(std::string("gfx.lst"));
    if (collection.Count() != 200 || !collection.Find("Img199") || !collection.Find("Img199")->Mask) {
      state.SkipWithError("the list did not load");
      break;
    }
    benchmark::DoNotOptimize(collection.Items.data());
  }
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_LoadGfxList200)->Unit(benchmark::kMillisecond);

// Arguments: sprite width (16 or 32); 0 plain keyed, 1 as loaded; 0 round
// sprite, 1 dithered sprite.
void BM_BlitKeyed(benchmark::State& state) {
  OpenDisplay();
  const int w = static_cast<int>(state.range(0));
  const bool asLoaded = state.range(1) != 0;
  const bool dithered = state.range(2) != 0;
  TRawPicture p(w, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < w; ++x) {
      const bool on = dithered ? (x + y) % 3 != 0 : SpriteColour(3, x, y) != 0;
      if (on) p.PixelAt(x, y)[1] = 0xC0;
    }
  TImagePtr image;
  if (asLoaded) {
    p.SetExtraType(etShort);
    p.SetExtraByte(0, 1);
    p.SetExtraByte(1, AttrColorKeyed);
    image = CreateImageFromRawPicture(p);
  } else {
    image = CreateImageFromRawPicture(p);
    SDL_SetColorKey(image->Surface, SDL_SRCCOLORKEY, 0);
  }
  int i = 0;
  for (auto _ : state) {
    PutImage((i * 7) % 600, (i * 13) % 380, image.get());
    ++i;
  }
}
BENCHMARK(BM_BlitKeyed)->ArgsProduct({{16, 32}, {0, 1}, {0, 1}});

}  // namespace

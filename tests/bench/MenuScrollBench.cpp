// Per-frame cost of the main menu screen's components: the scroller moves a
// window over its strip and blits one screen-wide band, re-rendering glyphs
// only once per screenful; the menu reads a few keys and draws one text per
// row. Both should stay far below a millisecond of the 16 ms frame.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "../ui/UiFixtures.h"
#include "ScrollUnit.h"
#include "SetupCommandUnit.h"
#include "ZRStream3.h"
#include "ZR_SDL.h"
#include "vcc_Menu.h"

namespace {

struct TDisplay {
  TDisplay() {
    ::setenv("SDL_VIDEODRIVER", "dummy", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    Initialize(640, 400, 32, VF_BACKBUFFER);
  }
  ~TDisplay() { Finalize(); }
};

void BM_ScrollerFrame(benchmark::State& state) {
  TDisplay display;
  auto font = uitest::MakeTestFont(1, 20, [](int c) { return 4 + c % 9; });
  font->Spacing = 1;
  TScroll scroll(font.get(), 345, 0, 30);
  std::string text;
  for (int i = 0; i < 2000; ++i) text += static_cast<char>('A' + i % 26);
  text += '\x1b';
  TMemoryStream stream(std::vector<uint8_t>(text.begin(), text.end()));
  scroll.LoadFromStream(stream);
  for (auto _ : state) {
    scroll.Update(1);
    scroll.Draw(0);
  }
}
BENCHMARK(BM_ScrollerFrame);

void BM_MenuFrame(benchmark::State& state) {
  TDisplay display;
  KeyNames_Startup();
  SetupCommands = std::make_unique<TSetupCommandHandler>();
  Fonts[0] = uitest::MakeTestFont(1);
  Fonts[1] = uitest::MakeTestFont(2);
  {
    TMenu menu;
    menu.Setup("X=120|Y=150|Width=400|Height=90|AlignX=Left|AlignY=Top");
    menu.Setup("Font1=0|Font2=1|TextAlign=center|TextOffsetY=2|RowHeight=30");
    menu.Setup("KeyUp=Up|KeyDown=Down|KeyLeft=Left|KeyRight=Right|KeySelect=Space|KeyEscape=Escape");
    menu.Setup("Item=NEW GAME|Item=%mo%MODE {NORMAL=0}|Item=QUIT");
    for (auto _ : state) {
      menu.Process();
      Bar(0, 180, 639, 237, 0, 0, 0);
      menu.Draw();
    }
  }
  Fonts[0].reset();
  Fonts[1].reset();
  SetupCommands.reset();
  KeyNames_Shutdown();
}
BENCHMARK(BM_MenuFrame);

}  // namespace

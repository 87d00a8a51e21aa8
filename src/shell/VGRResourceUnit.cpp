#include "VGRResourceUnit.h"

// ---- Title, credits and main menu -----------------------------------------

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "ImageCollectionUnit.h"
#include "MusicCollectionUnit.h"
#include "PlaylistUnit.h"
#include "ScrollUnit.h"
#include "VGRGameValues.h"
#include "VGRResourceTypesUnit.h"
#include "Voltigor.h"
#include "ZRFonts.h"
#include "ZR_SDL.h"
#include "vcc_Menu.h"

bool ShowIntro = true;
std::unique_ptr<TTGAFont> InfoFont;

namespace {

// Rows of the main menu, as MainMenu returns them.
constexpr uint8_t kNewGame = 0, kPractice = 1, kMode = 2, kQuit = 3;

double SinDegrees(double degrees) { return std::sin(degrees * std::numbers::pi / 180.0); }

void PutNamedImage(int x, int y, const char* name) {
  if (PImage image = ImageCollection ? ImageCollection->FindImage(name) : nullptr) PutImage(x, y, image);
}

// The current song of the playlist "Menu", started or stopped.
void MenuMusic(bool start) {
  TPlayList* list = PlayLists ? PlayLists->Find("Menu") : nullptr;
  TMusicCollectionItem* item = list && MusicCollection ? MusicCollection->Find(list->CurrentSong()) : nullptr;
  if (!item || !item->Music) return;
  if (start) {
    item->Music->Play();
  } else {
    item->Music->Stop();
  }
}

// The copper bar: three sine ramps, red leading, each climbing to full over
// 16 rows and falling back, so the colours pass from red through white to blue.
TImagePtr CreateColorBar() {
  TImagePtr bar = CreateImageWH(640, 40);
  int32_t phase[3] = {-32, -16, 0};
  int32_t step[3] = {4, 4, 4};
  for (int row = 0; row < 40; ++row) {
    uint8_t channel[3];
    for (int c = 0; c < 3; ++c) {
      const int32_t p = std::min(std::max(phase[c], 0), 63);
      channel[c] = static_cast<uint8_t>(std::trunc(SinDegrees(p * 90.0 / 63.0) * 255.0));
    }
    ImageBar(bar.get(), 0, row, 639, row, channel[0], channel[1], channel[2]);
    for (int c = 0; c < 3; ++c) {
      phase[c] += step[c];
      if (phase[c] == 64) step[c] = -4;
    }
  }
  return bar;
}

// Every pixel of the font's sheet that is not black becomes (1, 1, 1): on
// the colour-keyed scroller strip the letters are opaque shapes that show
// only where they cross the bright bar.
void DarkenFont(TBMPFont& font) {
  PImage image = font.GetImage();
  if (!image || !image->Surface) return;
  SDL_Surface* s = image->Surface;
  if (!LockSurface(s)) return;
  const int w = SurfaceWidth(s), h = SurfaceHeight(s);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (GetPixel(s, x, y) != 0) PutPixel(s, x, y, 1, 1, 1);
    }
  }
  UnlockSurface(s);
}

// The practice starts: construction maps 1, 3, 5 ... of the levels reached,
// shown and returned as their map numbers.
std::string PracticeEntries() {
  std::string entries;
  const int32_t levels = std::min(LastLevel, 25);
  for (int32_t i = 1; i <= levels; ++i) {
    if (i > 1) entries += '\0';
    const std::string map = std::to_string(2 * i - 1);
    entries += map + "=" + map;
  }
  return entries;
}

// The second mode is offered once the game has been completed in this run.
std::string ModeEntries() {
  std::string entries = "NORMAL=0";
  if (ZaRarozUnlocked) {
    entries += '\0';
    entries += "ZA.RAROZ=1";
  }
  return entries;
}

// One frame of a held picture: false when Escape asked to go straight to
// the menu (the screen is then black and the sequence marked as shown).
bool WaitOneFrame() {
  ProcessEvents();
  if (KeyState[SYM_ESCAPE]) {
    Bar(0, 0, 639, 399, 0, 0, 0);
    ShowIntro = false;
    KeyState[SYM_ESCAPE] = false;
    return false;
  }
  WaitForFrame();
  return true;
}

bool WaitFrames(int frames) {
  for (int i = 0; i < frames; ++i) {
    if (!WaitOneFrame()) return false;
  }
  return true;
}

}  // namespace

void PlayIntro() {
  ProcessEvents();
  if (KeyState[SYM_ESCAPE]) {
    Bar(0, 0, 639, 399, 0, 0, 0);
    ShowIntro = false;
    MenuMusic(true);
    KeyState[SYM_ESCAPE] = false;
    return;
  }
  WaitForFrame();

  Bar(0, 0, 639, 399, 0, 0, 0);
  PutNamedImage(0, 136, "ORVANTI");
  if (InfoFont) InfoFont->TextOut("presents", 320, 310, taCenter);
  MenuMusic(true);
  Flip();

  // The credits are drawn now and shown when "presents" has been up long enough.
  Bar(0, 0, 639, 399, 0, 0, 0);
  if (InfoFont) {
    InfoFont->SetAlpha(255);
    InfoFont->TextOut("KROMAG", 320, 40, taCenter);
    InfoFont->TextOut("ODRIN VESK", 320, 140, taCenter);
    InfoFont->TextOut("MERRET", 320, 280, taCenter);
    InfoFont->SetAlpha(192);
    InfoFont->TextOut("level design & skeleton gfx", 320, 80, taCenter);
    InfoFont->TextOut("in-game, game over & outro music", 320, 180, taCenter);
    InfoFont->TextOut("sound effects", 320, 220, taCenter);
    InfoFont->TextOut("code, gfx, intro music", 320, 320, taCenter);
  }
  if (!WaitFrames(216)) return;
  Flip();

  Bar(0, 0, 639, 399, 0, 0, 0);
  PutNamedImage(220, 40, "Inlay");
  if (!WaitFrames(432)) return;
  Flip();

  Bar(0, 0, 639, 399, 0, 0, 0);
  ShowIntro = false;
  WaitFrames(216);
}

uint8_t MainMenu(uint8_t Previous) {
  // 1.
  TImagePtr bar = CreateColorBar();
  InfoFont = std::make_unique<TTGAFont>("font\\ifont.tga");
  // 2. After MODE the music simply plays on.
  if (Previous != kMode) {
    if (ShowIntro) {
      PlayIntro();
    } else {
      MenuMusic(true);
    }
  }
  // 3.
  Fonts[0] = std::make_unique<TTGAFont>("font\\dfont.tga");
  Fonts[0]->SetColor(245, 255, 250);
  Fonts[1] = std::make_unique<TTGAFont>("font\\dfont.tga");
  Fonts[1]->SetColor(250, 56, 128);
  // 4.
  auto scrollFont = std::make_unique<TTGAFont>("font\\scrfnt.tga");
  DarkenFont(*scrollFont);
  auto scroller = std::make_unique<TScroll>(scrollFont.get(), 345, 0, 30);
  scroller->LoadFromFile("scroll.txt");
  // 5.
  Bar(0, 0, 639, 399, 0, 0, 0);
  PutNamedImage(160, 10, "LogoVGR");
  PutNamedImage(230, 74, "Vora2002");
  // 6.
  Menu->Clear();
  Menu->Setup("X=120|Y=150|Width=400|Height=90|AlignX=Left|AlignY=Top");
  Menu->Setup("Font1=0|Font2=1|TextAlign=center|TextOffsetY=2|RowHeight=30");
  Menu->Setup("KeyUp=Up|KeyDown=Down|KeyLeft=Left|KeyRight=Right");
  Menu->Setup("KeySelect=Space|KeyEscape=Escape");
  Menu->Setup("Item=NEW GAME");
  Menu->Setup("Item=%sl%PRACTICE LEVEL {" + PracticeEntries() + "}");
  Menu->Setup("Item=%mo%MODE {" + ModeEntries() + "}");
  Menu->Setup("Item=QUIT");
  // 7.
  Menu->SetItem(Previous);
  // The rows are rebuilt on every call; the mode chosen last stays chosen, or
  // confirming MODE would throw the choice of Za.Raroz away again.
  if (ZaRarozUnlocked && MrRobotMode && Menu->Lines.size() > kMode) Menu->Lines[kMode].Current = 1;
  int t = 0;
  ClearKeys();
  // 8.
  do {
    Menu->Process();
    scroller->Update(1);
    Bar(0, 316, 639, 395, 0, 0, 0);
    PutImage(0, 336 + static_cast<int>(std::trunc(SinDegrees(t * 2.25) * 20.0)), bar.get());
    // Only the rows whose texts can change are cleared.
    Bar(0, 180, 639, 237, 0, 0, 0);
    Menu->Draw();
    scroller->Draw(0);
    Flip();
    t = t + 1 == 160 ? 0 : t + 1;
    ProcessEvents();
    if (KeyState[SYM_ESCAPE]) {
      Menu->SetItem(kQuit);
      KeyState[SYM_ESCAPE] = false;
    }
  } while (!KeyState[SYM_RETURN] && !KeyState[SYM_SPACE]);
  // 9.
  const int32_t line = Menu->SelectedLine();
  const uint8_t choice = static_cast<uint8_t>(line < 0 ? kNewGame : line);
  StartMap = 1;
  if (choice == kPractice) {
    int32_t map = 1;
    if (TryStrToInt(Menu->GetOptionValue("sl"), map)) StartMap = map;
  }
  MrRobotMode = Menu->GetOptionValue("mo") == "1";
  KeyState[SYM_RETURN] = false;
  KeyState[SYM_SPACE] = false;
  // 10.
  scroller.reset();
  Fonts[0].reset();
  Fonts[1].reset();
  scrollFont.reset();
  InfoFont.reset();
  bar.reset();
  // 11.
  if (choice != kMode) MenuMusic(false);
  return choice;
}

// ---- Game over and completion scenes --------------------------------------

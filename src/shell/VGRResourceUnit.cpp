#include "VGRResourceUnit.h"

// ---- Title, credits and main menu -----------------------------------------

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "ImageCollectionUnit.h"
#include "MusicCollectionUnit.h"
#include "PlaylistUnit.h"
#include "ScrollUnit.h"
#include "VGRGameValues.h"
#include "VGRMapUnit.h"
#include "VGRResourceTypesUnit.h"
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
  if (!item) return;
  if (start) {
    item->Play();
  } else {
    item->Stop();
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

// The scroller's letters pass over black and over every colour of the
// swinging bar, so they are drawn light with a near-black rim inside each
// glyph's cell: readable on both, at every moment of the swing.
void OutlineScrollFont(TBMPFont& font) {
  PImage image = font.GetImage();
  if (!image || !image->Surface) return;
  SDL_Surface* s = image->Surface;
  if (!LockSurface(s)) return;
  const int w = SurfaceWidth(s), h = SurfaceHeight(s);
  std::vector<uint8_t> ink(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) ink[static_cast<std::size_t>(y) * w + x] = GetPixel(s, x, y) != 0;
  }
  const auto inked = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && ink[static_cast<std::size_t>(y) * w + x]; };
  for (const TGlyphRect& g : font.Glyphs) {
    for (int y = std::max(g.Top, 0); y <= std::min(g.Bottom, h - 1); ++y) {
      for (int x = std::max(g.Left, 0); x <= std::min(g.Right, w - 1); ++x) {
        if (inked(x, y)) {
          // A light top, a warmer foot: the letters keep the bar's glow.
          const bool foot = y - g.Top > (g.Bottom - g.Top) / 2;
          if (foot) {
            PutPixel(s, x, y, 255, 214, 120);
          } else {
            PutPixel(s, x, y, 255, 246, 214);
          }
          continue;
        }
        bool rim = false;
        for (int dy = -1; dy <= 1 && !rim; ++dy) {
          for (int dx = -1; dx <= 1 && !rim; ++dx) rim = inked(x + dx, y + dy);
        }
        if (rim) PutPixel(s, x, y, 24, 14, 22);
      }
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

// The names of the construction maps, read from the map pack once a run.
const std::vector<std::string>& MapNames() {
  static std::vector<std::string> names;
  if (names.empty()) names = ConstructionMapNames();
  return names;
}

// The practice row names the map it offers, right of the row's centred text,
// inside the band the menu clears every frame.
void DrawPracticeName(TBMPFont* font) {
  if (!font || !Menu || Menu->Lines.size() <= kPractice) return;
  int32_t map = 0;
  if (!TryStrToInt(Menu->GetOptionValue("sl"), map) || map < 1 || map % 2 == 0) return;
  const std::size_t index = static_cast<std::size_t>(map - 1) / 2;
  if (index >= MapNames().size() || MapNames()[index].empty()) return;
  for (std::size_t i = 0; i < Menu->Visible.size(); ++i) {
    if (Menu->Visible[i] != kPractice) continue;
    const TLineData& row = Menu->Lines[kPractice];
    std::string text = row.Text;
    if (row.Current >= 0 && row.Current < static_cast<int32_t>(row.Captions.size())) {
      text += row.Captions[static_cast<std::size_t>(row.Current)];
    }
    TBMPFont* rowFont = static_cast<int32_t>(i) == Menu->Cursor ? Menu->Font2 : Menu->Font1;
    const int32_t halfRow = rowFont ? rowFont->TextWidth(text) / 2 : 0;
    const int32_t y = Menu->Top + static_cast<int32_t>(i) * Menu->RowHeight;
    // A long name closes up on the number rather than run off the screen.
    const std::string& name = MapNames()[index];
    const int32_t end = Menu->TextX + halfRow;
    const int32_t x = std::max(end + 4, std::min(end + 12, 631 - font->TextWidth(name)));
    font->SetAlpha(192);
    font->TextOut(name, x, y + 4, taLeft);
  }
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
  OutlineScrollFont(*scrollFont);
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
    DrawPracticeName(InfoFont.get());
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

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "ImageCollectionUnit.h"
#include "MusicCollectionUnit.h"
#include "MusicUnit.h"
#include "PlaylistUnit.h"
#include "SystemUnit.h"
#include "VGRMapUnit.h"
#include "VGRMonsterUnit.h"
#include "VGRPlayerUnit.h"
#include "VGRGameValues.h"
#include "ZRFonts.h"
#include "ZR_SDL.h"

// Two scripted scenes built from the game's own parts: level 53 as a stage
// for walls and floors only, the professor steered by synthetic key presses,
// monsters on the floor, music, and a prompt. Neither reads the keyboard for
// steering; both run on fixed frame counts.

namespace endscene {

const char* const kTitleFontName = "font\\dfont.tga";
const char* const kInfoFontName = "font\\ifont.tga";
constexpr uint8_t kStageLevel = 53;

PImage Picture(const char* name) { return ImageCollection ? ImageCollection->FindImage(name) : nullptr; }

// The current song of a playlist, or null when the list or the song is
// missing (the lookups have said so in the log).
TMusicCollectionItem* Song(const char* playlist) {
  TPlayList* list = PlayLists ? PlayLists->Find(playlist) : nullptr;
  if (!list || !MusicCollection) return nullptr;
  return MusicCollection->Find(list->CurrentSong());
}

bool Held(int sym) { return KeyState[sym]; }

void SetArrows(bool left, bool right) {
  KeyState[SYM_LEFT] = left;
  KeyState[SYM_RIGHT] = right;
}

// Monster kinds 1..20.
uint8_t RandomKind() { return static_cast<uint8_t>(1 + Random(20)); }

// What both scenes share while they run: the playfield copy, the stage map,
// the professor and the monsters.
struct TStage {
  TImagePtr Background = CreateImageWH(516, 356);
  TMap Map;
  std::unique_ptr<TProf> Prof;
  std::vector<std::unique_ptr<TMonster>> Monsters;
  std::unique_ptr<TTGAFont> TitleFont;

  TStage(int32_t profX, int32_t profY, std::vector<TMonsterStart> starts) {
    Map.LoadLevel(kStageLevel, false);
    Prof = std::make_unique<TProf>(profX, profY);
    Prof->SetMap(&Map);
    Prof->SetBackground(Background.get(), 62, 22);
    for (const TMonsterStart& s : starts) Monsters.push_back(std::make_unique<TMonster>(s, Background.get()));
    TitleFont = std::make_unique<TTGAFont>(kTitleFontName);
    TitleFont->SetColor(224, 240, 240);
  }

  // Cleared screen, title, frame, checkerboard rows 5 to 17 and the floor.
  void DrawCommon(const char* title) {
    Bar(0, 0, 639, 379, 0, 0, 0);
    Flip();
    TitleFont->TextOut(title, 320, 50, taCenter);
    Bar(61, 101, 578, 315, 64, 64, 64);
    Bar(62, 101, 578, 314, 192, 192, 192);
    Bar(62, 102, 577, 314, 128, 128, 128);
    Bar(63, 103, 576, 313, 192, 192, 192);
    Bar(64, 103, 576, 312, 64, 64, 64);
    PImage bricks[2] = {Picture("DarkBrick1"), Picture("DarkBrick2")};
    for (int j = 5; j <= 17; ++j)
      for (int i = 0; i < 32; ++i) PutImage(64 + 16 * i, 24 + 16 * j, bricks[(i + j) % 2]);
    PImage brick = Picture("Brick");
    for (int i = 0; i < 32; ++i) PutImage(64 + 16 * i, 280, brick);
  }

  void GrabBackground() { GrabImage(62, 22, Background.get()); }

  void DrawMonsters() {
    for (auto& m : Monsters) m->Draw();
  }
  void EraseMonsters() {
    for (auto& m : Monsters) m->Erase();
  }
  void MoveMonsters() {
    for (auto& m : Monsters) m->Move();
  }
  // A rectangle of the screen back from the playfield copy.
  void Restore(int x, int y, int w, int h) {
    PutImagePart(x, y, x - 62, y - 22, x - 62 + w - 1, y - 22 + h - 1, Background.get());
  }
};

TMonsterStart Start(uint8_t left, uint8_t row, uint8_t right, uint8_t start, int8_t speed, uint8_t kind) {
  return TMonsterStart{left, row, right, start, speed, kind};
}

}  // namespace endscene

void ShowGameOver() {
  using namespace endscene;
  const uint8_t kind1 = RandomKind();
  const uint8_t kind2 = RandomKind();
  TStage stage(312, 248, {Start(0, 15, 30, 1, 3, kind1), Start(0, 15, 30, 29, -3, kind2)});

  stage.DrawCommon("GAME OVER!");
  PImage brick = Picture("Brick");
  for (int i = 8; i <= 13; ++i) {
    PutImage(64 + 16 * i, 216, brick);
    PutImage(224 + 16 * i, 216, brick);
  }
  PutImage(216, 125, Picture("ZapkinAcme"));
  stage.GrabBackground();
  ClearKeyBuffer();
  TMusicCollectionItem* song = Song("Gameover");
  if (song) song->Play();

  PImage boulder = Picture("Boulder");
  // The professor's last leap ends below the stage: what moves is kept
  // inside the frame, so he drops out of sight through the floor.
  SetClipArea(64, 103, 576, 312);
  for (int c = 0; c < 720; ++c) {
    stage.DrawMonsters();
    stage.Prof->Draw();
    // The boulder waits on the left platform, rolls right, falls behind it;
    // outside those frames it is not drawn again and stays where it was.
    int bx = -1, by = -1;
    if (c <= 239) {
      bx = 244, by = 120;
    } else if (c >= 330 && c <= 361) {
      bx = 244 + 2 * (c - 330), by = 120;
    } else if (c >= 362 && c <= 449) {
      bx = 308, by = 120 + 2 * (c - 362);
    }
    if (bx >= 0) PutImage(bx, by, boulder);
    Flip();
    stage.EraseMonsters();
    stage.Prof->Erase();
    if (c >= 330 && c <= 449) stage.Restore(bx, by, 16, 16);

    switch (c) {
      case 0: SetArrows(true, false); break;
      case 69: SetArrows(false, false); break;
      case 70: SetArrows(false, true); break;
      case 209: SetArrows(false, false); break;
      case 210: SetArrows(true, false); break;
      case 279: SetArrows(false, false); break;
      case 280: SetArrows(false, true); break;
      case 281: SetArrows(false, false); break;
      case 340: SetArrows(true, false); break;
      case 341: SetArrows(false, false); break;
      case 420: stage.Prof->Die(); break;
      default: break;
    }
    stage.Prof->Update();
    stage.MoveMonsters();
  }

  ClearClipArea();
  stage.TitleFont->TextOut("PRESS SPACE", 320, 330, taCenter);
  for (;;) {
    stage.DrawMonsters();
    Flip();
    stage.EraseMonsters();
    stage.MoveMonsters();
    ProcessEvents();
    if (Held(SYM_SPACE) || Held(SYM_RETURN) || Held(SYM_ESCAPE)) break;
  }
  ClearKeys();
  if (song) song->Stop();
}

std::array<uint8_t, 4> CompletionMonsterKinds() {
  // A kind already taken is drawn again until a free one comes up.
  std::array<uint8_t, 4> kinds{};
  for (size_t i = 0; i < kinds.size(); ++i) {
    do {
      kinds[i] = endscene::RandomKind();
    } while (std::find(kinds.begin(), kinds.begin() + i, kinds[i]) != kinds.begin() + i);
  }
  return kinds;
}

void ShowCompletion() {
  using namespace endscene;
  const std::array<uint8_t, 4> kinds = CompletionMonsterKinds();
  TStage stage(512, 248, {Start(2, 11, 4, 3, 3, kinds[0]), Start(26, 11, 28, 27, -3, kinds[1]),
                          Start(8, 12, 10, 9, 2, kinds[2]), Start(20, 12, 22, 21, -2, kinds[3])});

  stage.DrawCommon("GAME COMPLETED!");
  // The creature stands on a stand that reaches the floor; the stand is part
  // of the stage, so the foot coming down leaves it whole.
  if (PImage plinth = Picture("Plinth")) PutImage(292, 253, plinth);
  stage.GrabBackground();
  PutImage(296, 189, Picture("Zapkin"));
  ClearKeyBuffer();

  PImage chain = Picture("Chain");
  for (int x : {126, 222, 414, 510})
    for (int y : {104, 120, 136, 152}) PutImage(x, y, chain);
  PutImage(222, 168, chain);
  PutImage(414, 168, chain);
  for (auto [x, y] : {std::pair{126, 168}, std::pair{510, 168}, std::pair{222, 184}, std::pair{414, 184}})
    PutImagePart(x, y, 0, 0, 3, 1, chain);

  TMusicCollectionItem* song = Song("Outro");
  if (song) song->Play();
  TTGAFont infoFont(kInfoFontName);
  infoFont.SetAlpha(192);

  PImage cage = Picture("Cage");
  PImage foot = Picture("RudIzaz");
  for (int d = 0;; ++d) {
    stage.DrawMonsters();
    for (auto [x, y] : {std::pair{104, 170}, std::pair{200, 186}, std::pair{392, 186}, std::pair{488, 170}})
      PutImage(x, y, cage);
    stage.Prof->Draw();
    // The foot slides in from above, then comes down a pixel a frame until
    // it stands on the floor, where it stays.
    if (d >= 2 && d <= 64) {
      PutImagePart(296, 104, 0, 65 - d, 47, 63, foot);
    } else if (d >= 65 && d <= 177) {
      PutImage(296, 104 + d - 65, foot);
    } else if (d == 300) {
      infoFont.TextOut("Press Space", 320, 330, taCenter);
    }
    Flip();
    stage.EraseMonsters();
    stage.Prof->Erase();
    if (d >= 65 && d < 177) stage.Restore(296, 104 + d - 65, 48, 64);

    if (d == 0) SetArrows(true, false);
    if (d == 1) SetArrows(false, false);
    stage.Prof->Update();
    stage.MoveMonsters();
    ProcessEvents();
    if (Held(SYM_SPACE)) break;
  }

  KeyState[SYM_SPACE] = false;
  Bar(0, 0, 639, 315, 0, 0, 0);
  const auto line = [&infoFont](const char* text, int y, uint8_t alpha) {
    infoFont.SetAlpha(alpha);
    infoFont.TextOut(text, 320, y, taCenter);
  };
  line("Congratulations!", 20, 255);
  if (LastLevel < 26) {
    line("You found out that home made", 60, 224);
    line("monsters aren't a good idea.", 100, 228);
    line("But you just unlocked a new", 160, 232);
    line("game mode called Za.Raroz.", 200, 236);
    line("You can select this mode", 240, 240);
    line("in the main menu.", 280, 244);
  } else {
    line("You completed the whole game!", 160, 224);
  }
  // The page stands until Space; frames keep their pace meanwhile rather
  // than spinning on the event queue.
  do {
    Flip();
    ProcessEvents();
  } while (!Held(SYM_SPACE));
  KeyState[SYM_SPACE] = false;

  if (song) song->Stop();
  LastLevel = 26;
  ZaRarozUnlocked = true;
}

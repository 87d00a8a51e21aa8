#include "GAME.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>

#include "ImageCollectionUnit.h"
#include "Logger.h"
#include "MusicCollectionUnit.h"
#include "MusicUnit.h"
#include "PlaylistUnit.h"
#include "SystemUnit.h"
#include "VGRGameValues.h"
#include "VGRResourceTypesUnit.h"
#include "VGRResourceUnit.h"
#include "ZRFonts.h"
#include "ZR_SDL.h"
#include "ZRWindowUnit.h"

int32_t Score = 0;
TGame* GameInPlay = nullptr;
bool PauseAndAskKeys = true;
std::function<void()> GameOverScreen = [] { ShowGameOver(); };
std::function<void()> CompletionScreen = [] { ShowCompletion(); };

namespace {

// The play area: Background's pixel (0, 0) is this screen point.
constexpr int kAreaX = 62, kAreaY = 22;
constexpr int kMeterX = 392, kMeterY = 26;

PImage Find(const std::string& name) { return ImageCollection ? ImageCollection->FindImage(name) : nullptr; }

void Put(int x, int y, const std::string& name) {
  if (PImage image = Find(name)) PutImage(x, y, image);
}

// A rectangle of the back buffer kept while something is drawn over it and
// put back when the keeper goes, so that the frame then goes on as if
// nothing had been there.
class TScreenPatch {
 public:
  TScreenPatch(int x1, int y1, int x2, int y2) : X(x1), Y(y1), Under(CreateImageWH(x2 - x1 + 1, y2 - y1 + 1)) {
    GrabImage(X, Y, Under.get());
  }
  ~TScreenPatch() { PutImage(X, Y, Under.get()); }
  TScreenPatch(const TScreenPatch&) = delete;
  TScreenPatch& operator=(const TScreenPatch&) = delete;

 private:
  int X, Y;
  TImagePtr Under;
};

// One line of text on a black band across the middle of the play area, at
// least as wide as the focus pause's.
std::unique_ptr<TScreenPatch> ShowBand(TTGAFont* font, const std::string& text) {
  constexpr int kY1 = 188, kY2 = 211;
  int half = 80;
  if (font) half = std::max(half, font->TextWidth(text) / 2 + 16);
  auto patch = std::make_unique<TScreenPatch>(320 - half, kY1, 319 + half, kY2);
  Bar(320 - half, kY1, 319 + half, kY2, 0, 0, 0);
  if (font) font->TextOut(text, 320, kY1 + 4, taCenter);
  return patch;
}

// A window that lost the focus holds the game on its drawn frame, with a
// line over the playfield.
void ShowPausedUntilFocus(TTGAFont* font) {
  const auto band = ShowBand(font, "PAUSED");
  WaitForFocus();
}

// The strip above the play area's frame holds the map's name and the tally
// of a finished map: nothing of the play is ever there.
constexpr int kTopLineBottom = 20;
// The map's name stays about two seconds.
constexpr uint32_t kNameFrames = 125;
// The place of the next piece is outlined for as many frames as it is not.
constexpr uint32_t kMarkBlink = 20;
// Beside the creature display, in the black right margin: the dots left.
constexpr int kDotsX = 609, kDotsY = 58;

}  // namespace

// ---- Game start and end ---------------------------------------------------

TGame::TGame() {
  Map = std::make_unique<TMap>();
  CollisionChecker = std::make_unique<TCollisionChecker>();
  SkipLimit = 50;
  CurrentMap = static_cast<uint8_t>(StartMap);
  MusicMap = 255;
  Score = 0;
  Background = CreateImageWH(516, 356);
  Boulder = std::make_unique<TBoulder>(Background.get());
  Prof = std::make_unique<TProf>(126, 56);
  ScoreFont = std::make_unique<TTGAFont>("font\\scoref.tga");
  ScoreFont->SetFixedWidth(13);
  ScoreFont->Spacing = 0;
  Lives = 3;
  GameInPlay = this;
}

TGame::~TGame() {
  if (!Ended) {
    StopMusic();
    Monsters.clear();
    Prof.reset();
    Boulder.reset();
    Map.reset();
  }
  SetReplayChecksSource(nullptr);
  CollisionChecker.reset();
  GameInPlay = nullptr;
}

void TGame::EndGame() {
  SetReplayChecksSource(nullptr);
  // 1. The HUD line shows the map the game ended on: 50 for a game played
  // to the end, the map of the last life or of the Escape otherwise, which
  // the end screen keeps in view. Then the map's objects go.
  DrawNumber(CurrentMap, 2, 515, 540);
  Monsters.clear();
  Prof.reset();
  Boulder.reset();
  Map.reset();
  // 2. The HUD line stays under the end screens, which clear only above it.
  if (Score > HighScore) HighScore = Score;
  DrawNumber(HighScore, 5, 359, 423);
  ScoreFont.reset();
  Ended = true;
  {
    char line[80];
    std::snprintf(line, sizeof line, "Game ended on map %d with %d spare lives, score %d", CurrentMap,
                  static_cast<int>(Lives), static_cast<int>(Score));
    Log->Status(line, "GAME, TGame.EndGame");
  }
  // 3. to 5. The end screen the game earned, and the practice levels it unlocked.
  if (StartMap == 1 && CurrentMap == 50 && CompletionScreen) CompletionScreen();
  if (Lives == -1 && GameOverScreen) GameOverScreen();
  if (StartMap == 1 && (CurrentMap + 1) / 2 > LastLevel) LastLevel = (CurrentMap + 1) / 2;
}

// ---- Map start ------------------------------------------------------------

void TGame::BeginMap() {
  // 1. and 2. The kind of map, the professor's start and the TNT's place, and the song.
  Interim = CurrentMap % 2 == 0 && CurrentMap != 0;
  TPlayList* list = PlayLists ? PlayLists->Find(Interim ? "Interim" : "Constructing") : nullptr;
  if (Interim) {
    Prof->X = 94;
    Prof->Y = 328;
    Prof->InInterim = true;
    TNTX = 546;
    TNTY = 56;
    if (list && list->Count() > 0) list->SetCurrent(((CurrentMap - 1) / 2) % list->Count());
  } else {
    Prof->X = 126;
    Prof->Y = 56;
    Prof->InInterim = false;
    TNTX = 462;
    TNTY = 72;
    if (list && list->Count() > 0) list->SetCurrent((CurrentMap / 2) % list->Count());
  }
  // 3. A restart after a death keeps the music running.
  const bool entered = CurrentMap != MusicMap;
  if (entered) {
    MapFrames_ = 0;
    NameFramesLeft_ = Interim ? 0 : kNameFrames;
  }
  if (entered) {
    Song = list ? list->CurrentSong() : "";
    StartMusic();
    MusicMap = CurrentMap;
  }
  // 4. The professor on this map, standing at his start.
  Prof->SetBackground(Background.get(), kAreaX, kAreaY);
  Prof->SetMap(Map.get());
  Prof->Reset();
  // 5. and 6. The frame, the HUD line and the room behind the tiles.
  DrawFrameAndHud();
  DrawRoom();
  // 7. The tiles go over the checkerboard and the decoration.
  Map->LoadLevel(CurrentMap, true);
  if (NameFramesLeft_ > 0) DrawTopLine(Map->PieceName);
  DotsAtStart_ = Map->DotCount;
  DotsShown_ = 0xFFFF;
  DrawDotsLeft();
  // 8. The play area as it stands is what every moving thing erases back to.
  GrabImage(kAreaX, kAreaY, Background.get());
  // 9. The lives picture.
  if (PImage lives = Find("LifeNumber")) PutImagePart(80, 54, 16 * Lives, 0, 16 * Lives + 15, 19, lives);
  // 10. The monsters of the map's five slots.
  Monsters.clear();
  for (uint32_t slot = 0; slot < TMap::MonsterSlots; ++slot) {
    const TMonsterStart start = Map->MonsterStart(slot);
    if (start.MonsterNumber != 0) Monsters.push_back(std::make_unique<TMonster>(start, Background.get()));
  }
  // 11. Pieces collected before a death stay collected; in the Za.Raroz mode
  // all seven start mounted.
  if (Interim) {
    Prof->SetNextPiece(8);
  } else {
    if (MrRobotMode) Prof->SetNextPiece(8);
    for (int i = 0; i < 32; ++i) {
      for (int j = 0; j < 22; ++j) {
        const int x = 64 + 16 * i, y = 24 + 16 * j;
        const uint16_t t = Map->ObjectAt(x, y);
        if (t != 0 && t < Prof->NextPiece()) {
          Prof->ShowPiece(t);
          Map->RedrawCell(x, y, Background.get());
          Map->ClearCell(x, y);
        }
      }
    }
    MeterLimit = 184;
    MeterValue = 0;
    MeterTicks = 0;
    DrawMeter("Meter1");
  }
  // 12. The end animation's counter, the boulder back in its hole, and the checksums.
  FrameCounter = 0;
  Boulder->Reset();
  SetReplayChecksSource([this] { return Checks(); });
}

void TGame::DrawFrameAndHud() {
  Bar(0, 0, 639, 399, 0, 0, 0);
  Bar(61, 21, 578, 378, 64, 64, 64);
  Bar(62, 21, 578, 377, 192, 192, 192);
  Bar(62, 22, 577, 377, 128, 128, 128);
  Bar(63, 23, 576, 376, 192, 192, 192);
  Bar(64, 23, 576, 375, 64, 64, 64);
  ScoreFont->TextOut("SCORE: 00000  HIGH: 00000  MAP: 00", 320, 380, taCenter);
  DrawNumber(CurrentMap, 2, 515, 540);
  DrawScore();
  DrawNumber(HighScore, 5, 359, 423);
}

void TGame::DrawRoom() {
  PImage bricks[2] = {Find("DarkBrick1"), Find("DarkBrick2")};
  for (int i = 0; i < 32; ++i) {
    for (int j = 0; j < 22; ++j) {
      if (PImage b = bricks[(i + j) % 2]) PutImage(64 + 16 * i, 24 + 16 * j, b);
    }
  }
  if (!Interim) {
    Put(128, 24, "Picture1");
    Put(176, 24, "Bulb");
    Put(224, 24, "Picture2");
    Put(312, 32, "Shelf");
    Put(392, 26, "Meter");
    Put(472, 40, "Device");
    Put(562, 30, "Wire");
  }
  Put(64, 40, "Gold");
}

void TGame::DrawNumber(int32_t value, int digits, int x, int clearRight) {
  Bar(x, 380, clearRight, 399, 0, 0, 0);
  if (!ScoreFont) return;
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", digits, static_cast<int>(value));
  ScoreFont->TextOut(text, x, 380, taLeft);
}

void TGame::DrawMeter(const std::string& name) { Put(kMeterX, kMeterY, name); }

void TGame::StartMusic() {
  MusicStarts += 1;
  if (!MusicCollection || Song.empty()) return;
  if (TMusicCollectionItem* item = MusicCollection->Find(Song)) item->Play();
}

void TGame::StopMusic() {
  if (!MusicCollection || Song.empty()) return;
  if (TMusicCollectionItem* item = MusicCollection->Find(Song)) item->Stop();
}

// ---- One frame ------------------------------------------------------------

bool TGame::Frame() {
  FrameTimer.FrameStart();
  // 1. The end-of-level animation: the creature shows up row by row, or the
  // box opens.
  if (Prof->IsLevelDone()) {
    const int c = static_cast<int>(FrameCounter / 2);
    // Replays played by the build look for this line to tell a finished map.
    if (FrameCounter == 0) {
      char line[64];
      std::snprintf(line, sizeof line, "Map %02d completed with %d spare lives", CurrentMap, static_cast<int>(Lives));
      Log->Status(line, "GAME, TGame.Frame");
      DrawTally();
    }
    if (!Interim) {
      PutImagePart(504, 56, 442, 34, 473, 34 + c, Background.get());
      if (PImage zapkin = Find("Zapkin")) PutImagePart(504, 56, 0, 0, 31, c, zapkin);
      FrameCounter += 1;
      if (FrameCounter == 128) {
        CurrentMap = CurrentMap + 1 == 51 ? 1 : CurrentMap + 1;
        Prof->SetNextPiece(1);
      }
    } else {
      Boulder->Reset();
      Bar(112, 29 + c, 143, 29 + c, 0, 0, 0);
      FrameCounter += 1;
      if (FrameCounter == 136) {
        CurrentMap = CurrentMap + 1 == 51 ? 1 : CurrentMap + 1;
        Prof->SetNextPiece(1);
      }
    }
  }
  // 2. The TNT's fuse.
  if (PImage tnt = Find("TNT Anim")) {
    const int f = FrameCounter < 30 ? static_cast<int>(FrameCounter / 6) : 4;
    PutImagePart(TNTX, TNTY, f * 10, 0, f * 10 + 9, 15, tnt);
  }
  // 3. The professor and the monsters.
  Prof->Draw();
  for (auto& m : Monsters) m->Draw();
  // 4. The boulder, the creature's box and the pipe of an interim map. The
  // boulder comes out of the ceiling right beside the box's "ACME" sign and
  // rolls past its edge: it goes first, so that the box stays in front of it.
  if (Interim) {
    const int c = static_cast<int>(FrameCounter / 2);
    Boulder->Draw();
    if (PImage box = Find("ZapkinAcme")) PutImagePart(104, 29 + c, 0, c, 47, 90, box);
    Put(544, 342, "Pipe");
  }
  // 5. The cell types over the tiles, while Q is held.
  if (KeyState[SYM_Q]) Map->ShowTypes();
  // The place where the next piece goes blinks in the creature display, so
  // that the order the pieces are taken in can be seen.
  std::optional<TScreenPatch> mark;
  int32_t markX = 0, markY = 0;
  if (Present && !Interim && !Prof->IsLevelDone() && (MapFrames_ / kMarkBlink) % 2 == 0 &&
      TProf::PiecePlace(Prof->NextPiece(), markX, markY)) {
    mark.emplace(markX, markY, markX + 15, markY + 15);
    Bar(markX, markY, markX + 15, markY, 255, 232, 96);
    Bar(markX, markY + 15, markX + 15, markY + 15, 255, 232, 96);
    Bar(markX, markY + 1, markX, markY + 14, 255, 232, 96);
    Bar(markX + 15, markY + 1, markX + 15, markY + 14, 255, 232, 96);
  }
  // 6. Paused, or asked whether to leave: the drawn frame stays up until
  // the player goes on, or the game ends here.
  FrameTimer.PresentStart();
  const bool stay = Hold_ == THold::None || HoldPlay();
  FrameTimer.PresentEnd();
  if (!stay) {
    FrameTimer.FrameEnd();
    return false;
  }
  // Away from the window, play stops here until the focus comes back
  // (never in a timedemo, which has no one watching).
  if (!WindowHasFocus() && !UnpacedFrames) ShowPausedUntilFocus(ScoreFont.get());
  FrameTimer.PresentStart();
  if (Present) Flip();
  FrameTimer.PresentEnd();
  mark.reset();
  // 7. Every moving thing erased back to the play area's copy.
  for (auto& m : Monsters) m->Erase();
  Prof->Erase();
  PutImagePart(TNTX, TNTY, TNTX - kAreaX, TNTY - kAreaY, TNTX - 53, TNTY - 7, Background.get());
  // 8. The boulder and the box of an interim map erased too.
  if (Interim) {
    Boulder->Erase();
    PutImagePart(104, 29, 42, 7, 90, 121, Background.get());
  }
  // 9. Deaths, in this order.
  if (Prof->HasFallenTooFar()) Prof->Die();
  if (Prof->IsAlive() && Prof->X > 528 && Prof->Y == 328) Prof->Die();
  for (auto& m : Monsters) {
    if (Prof->Touches(m->Bounds())) {
      Prof->Die();
      Prof->ShowStandingFrame();
    }
  }
  if (MeterValue == MeterLimit) {
    Prof->Die();
    Prof->ShowStandingFrame();
  }
  if (Interim) {
    if (Prof->Touches(Boulder->BoundsA())) {
      Prof->Die();
      Prof->ShowStandingFrame();
    }
    if (Prof->Touches(Boulder->BoundsB())) Prof->Die();
    Boulder->Update();
  }
  // 10. The professor moves; what he picks up scores.
  Score += Prof->Update();
  DrawScore();
  // 11. The monsters move; the boulder starts and aims at the professor.
  for (auto& m : Monsters) m->Move();
  Boulder->Start(1);
  Boulder->Aim(static_cast<uint16_t>(Prof->X + 2));
  // 12. Window events and the keys of this frame.
  ProcessEvents();
  // 13. The level-skip keys.
  if (KeyState[SYM_KP_PLUS]) {
    CurrentMap = CurrentMap + 1 == SkipLimit + 1 ? 1 : CurrentMap + 1;
    Prof->SetNextPiece(1);
    KeyState[SYM_KP_PLUS] = false;
  }
  if (KeyState[SYM_KP_MINUS]) {
    CurrentMap = CurrentMap == 1 ? SkipLimit : CurrentMap - 1;
    Prof->SetNextPiece(1);
    KeyState[SYM_KP_MINUS] = false;
  }
  // 14. The meter: a step takes 81 frames, 7 while the professor is shocked.
  if (!Interim) {
    if (Prof->IsShocked()) MeterTicks += 11;
    MeterTicks += 1;
    if (MeterTicks > 80) {
      MeterValue += 1;
      if (MeterValue % 23 == 0) {
        DrawMeter("Meter");
        DrawMeter("Meter" + std::to_string(MeterValue / 23 + 1));
      }
      MeterTicks = 0;
    }
  }
  MapFrames_ += 1;
  if (NameFramesLeft_ > 0 && --NameFramesLeft_ == 0) DrawTopLine("");
  DrawDotsLeft();
  TakeHoldKeys();
  FrameTimer.FrameEnd();
  // 15. Play goes on until Escape, another map, or the end of the death leap.
  return !KeyState[SYM_ESCAPE] && CurrentMap == MusicMap && !Prof->IsDead();
}

// ---- Beyond the rules: what the player is shown, the pause, the question --

void TGame::DrawTopLine(const std::string& text) {
  Bar(0, 0, 639, kTopLineBottom, 0, 0, 0);
  if (ScoreFont && !text.empty()) ScoreFont->TextOut(text, 320, 0, taCenter);
}

// Drawn once as the end-of-level animation begins, and left up through it.
void TGame::DrawTally() {
  const uint32_t seconds = MapFrames_ * FrameTime / 1000;
  char time[24];
  std::snprintf(time, sizeof time, "TIME %u:%02u", seconds / 60, seconds % 60);
  std::string line = time;
  if (!Interim) {
    char parts[80];
    const int meterLeft = MeterLimit == 0 ? 0 : (MeterLimit - std::min(MeterValue, MeterLimit)) * 100 / MeterLimit;
    if (MrRobotMode) {
      std::snprintf(parts, sizeof parts, "DOTS %u  %s  METER LEFT %d%%", static_cast<unsigned>(DotsAtStart_), time,
                    meterLeft);
    } else {
      std::snprintf(parts, sizeof parts, "PIECES %u  %s  METER LEFT %d%%", Prof->NextPiece() - 1u, time, meterLeft);
    }
    line = parts;
  }
  NameFramesLeft_ = 0;
  DrawTopLine(line);
}

void TGame::DrawDotsLeft() {
  if (Interim || !MrRobotMode || Map->DotCount == DotsShown_) return;
  DotsShown_ = Map->DotCount;
  Bar(579, kDotsY, 639, kDotsY + 40, 0, 0, 0);
  if (Resources && Resources->MoreBlocks) PutImage(kDotsX - 8, kDotsY, Resources->MoreBlocks.get());
  if (ScoreFont) ScoreFont->TextOut(std::to_string(DotsShown_), kDotsX, kDotsY + 19, taCenter);
}

// Read after the frame's events: P or Start pauses, Escape asks; both take
// effect on the next frame, once its pictures are drawn.
void TGame::TakeHoldKeys() {
  if (!PauseAndAskKeys) return;
  if (KeyState[SYM_P] || KeyState[SYM_RETURN]) {
    KeyState[SYM_P] = KeyState[SYM_RETURN] = false;
    Hold_ = THold::Paused;
  }
  if (KeyState[SYM_ESCAPE]) {
    KeyState[SYM_ESCAPE] = false;
    Hold_ = THold::Asking;
  }
}

// The play held on the frame just drawn. Its frames are shown and their keys
// read as ever, so that a replay records a pause or a question and plays it
// back like any other keys, but nothing of the game moves: no step of a
// frame runs, the random generator is not drawn from, and the checksums of
// the frames after it are those a game without it would have. False when
// the player chose to leave; Escape is then held, as if pressed in play.
bool TGame::HoldPlay() {
  constexpr int kMoves[] = {SYM_LEFT, SYM_RIGHT, SYM_UP, SYM_DOWN, SYM_SPACE};
  PauseSound(true);
  bool leave = false;
  while (Hold_ != THold::None) {
    const THold shown = Hold_;
    Log->Status(shown == THold::Paused ? "Paused" : "Asked whether to leave", "GAME, TGame.HoldPlay");
    const auto band = ShowBand(ScoreFont.get(), shown == THold::Paused ? "PAUSED" : "Leave this game? Y / N");
    while (Hold_ == shown) {
      if (!WindowHasFocus() && !UnpacedFrames) {
        WaitForFocus();
        PauseSound(true);
      }
      if (Present) Flip();
      bool heldBefore[std::size(kMoves)];
      for (std::size_t i = 0; i < std::size(kMoves); ++i) heldBefore[i] = KeyState[kMoves[i]];
      ProcessEvents();
      bool moved = false;
      for (std::size_t i = 0; i < std::size(kMoves); ++i) moved = moved || (!heldBefore[i] && KeyState[kMoves[i]]);
      if (shown == THold::Paused) {
        if (KeyState[SYM_ESCAPE]) {
          KeyState[SYM_ESCAPE] = false;
          Hold_ = THold::Asking;
        } else if (KeyState[SYM_P] || KeyState[SYM_RETURN]) {
          KeyState[SYM_P] = KeyState[SYM_RETURN] = false;
          Hold_ = THold::None;
        }
      } else if (KeyState[SYM_Y] || KeyState[SYM_ESCAPE]) {
        KeyState[SYM_Y] = false;
        KeyState[SYM_ESCAPE] = true;
        leave = true;
        Hold_ = THold::None;
      } else if (KeyState[SYM_N] || moved) {
        // A move answers and is made: the key stays held for the play.
        KeyState[SYM_N] = false;
        Hold_ = THold::None;
      }
    }
  }
  PauseSound(false);
  Log->Status(leave ? "Left the game" : "Resumed", "GAME, TGame.HoldPlay");
  return !leave;
}

// ---- After the frames of a map -------------------------------------------

bool TGame::EndMap() {
  SetReplayChecksSource(nullptr);
  if (Prof->IsDead()) Lives -= 1;
  if (CurrentMap != MusicMap || Lives == -1 || KeyState[SYM_ESCAPE]) StopMusic();
  Monsters.clear();
  return !KeyState[SYM_ESCAPE] && Lives != -1 && CurrentMap != 50;
}

// ---- Logic state ----------------------------------------------------------

TGameLogic TGame::SaveLogic() const {
  TGameLogic l;
  static_cast<TGameValues&>(l) = *this;
  l.Score = Score;
  l.RandSeed = RandSeed;
  for (int32_t y = 0; y < Map->Height; ++y) {
    for (int32_t x = 0; x < Map->Width; ++x) {
      l.Physical.push_back(Map->GetPhysicalTile(x, y));
      l.Logical.push_back(Map->GetLogicalTile(x, y));
    }
  }
  const auto* dots = &Map->Dots[0][0];
  l.Dots.assign(dots, dots + sizeof Map->Dots);
  l.DotCount = Map->DotCount;
  l.Prof = Prof->SaveLogic();
  for (const auto& m : Monsters) l.Monsters.push_back(m->SaveLogic());
  l.Boulder = Boulder->SaveLogic();
  return l;
}

void TGame::RestoreLogic(const TGameLogic& l) {
  static_cast<TGameValues&>(*this) = l;
  Score = l.Score;
  RandSeed = l.RandSeed;
  std::size_t i = 0;
  for (int32_t y = 0; y < Map->Height; ++y) {
    for (int32_t x = 0; x < Map->Width; ++x, ++i) {
      if (i >= l.Physical.size()) break;
      Map->SetPhysicalTile(x, y, l.Physical[i]);
      Map->SetLogicalTile(x, y, l.Logical[i]);
    }
  }
  if (l.Dots.size() == sizeof Map->Dots) std::copy(l.Dots.begin(), l.Dots.end(), &Map->Dots[0][0]);
  Map->DotCount = l.DotCount;
  Prof->RestoreLogic(l.Prof);
  for (std::size_t m = 0; m < Monsters.size() && m < l.Monsters.size(); ++m) Monsters[m]->RestoreLogic(l.Monsters[m]);
  Boulder->RestoreLogic(l.Boulder);
}

TReplayChecks TGame::Checks() const {
  TReplayChecks c;
  {
    TLogicChecksum s;
    s.Add(CurrentMap);
    s.Add(RandSeed);
    for (int32_t y = 0; y < Map->Height; ++y) {
      for (int32_t x = 0; x < Map->Width; ++x) {
        s.Add(Map->GetPhysicalTile(x, y));
        s.Add(Map->GetLogicalTile(x, y));
      }
    }
    for (const auto& column : Map->Dots) {
      for (uint8_t d : column) s.Add(d);
    }
    s.Add(Map->DotCount);
    c.Values[0] = s.Value();
  }
  {
    TLogicChecksum s;
    s.Add(Lives);
    c.Values[1] = s.Value();
  }
  {
    TLogicChecksum s;
    s.Add(Score);
    c.Values[2] = s.Value();
  }
  {
    TLogicChecksum s;
    Prof->AddToChecksum(s);
    c.Values[3] = s.Value();
  }
  {
    TLogicChecksum s;
    s.Add(Monsters.size());
    for (const auto& m : Monsters) m->AddToChecksum(s);
    c.Values[4] = s.Value();
  }
  {
    TLogicChecksum s;
    Boulder->AddToChecksum(s);
    c.Values[5] = s.Value();
  }
  {
    TLogicChecksum s;
    s.Add(MeterTicks);
    s.Add(MeterValue);
    s.Add(MeterLimit);
    s.Add(FrameCounter);
    c.Values[6] = s.Value();
  }
  return c;
}

// ---- The whole game -------------------------------------------------------

void PlayGame() {
  TGame game;
  do {
    game.BeginMap();
    while (game.Frame()) {
    }
  } while (game.EndMap());
  game.EndGame();
}

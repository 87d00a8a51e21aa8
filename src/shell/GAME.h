#pragma once
// The game loop: one game from the chosen map until the last life, Escape or
// the end of the last map, with scoring and the HUD.
//
// PlayGame is built from TGame, whose steps can also be driven one at a time:
// tests, replays and a level solver run the real game frame by frame headless,
// with the keys of each frame put into KeyState, and save and restore the
// whole logic state of a map in play as one value.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ReplayUnit.h"
#include "VGRBoulderUnit.h"
#include "VGRMapUnit.h"
#include "VGRMonsterUnit.h"
#include "VGRPlayerUnit.h"

class TTGAFont;

// Runs one game from StartMap; reads and updates the program-wide values.
void PlayGame();

// The points of the game in play (0 between games).
extern int32_t Score;

// The game PlayGame is running, for tests and tools that watch it frame by
// frame; null between games.
class TGame;
extern TGame* GameInPlay;

// P (or the controller's Start, which arrives as Return) pauses a game, and
// Escape asks before it leaves one. A replay recorded before either existed
// plays with this off: there Escape leaves at once, as it did then.
extern bool PauseAndAskKeys;

// The end screens PlayGame shows; tests put recorders in their place.
extern std::function<void()> GameOverScreen;
extern std::function<void()> CompletionScreen;

// The game's own values, declared once: the game holds them as its fields
// and a saved state holds them as one copy, so a value added here is saved
// and restored with the rest.
struct TGameValues {
  uint8_t CurrentMap = 0;
  uint8_t MusicMap = 255;
  uint8_t SkipLimit = 50;
  int32_t Lives = 3;
  bool Interim = false;
  uint32_t FrameCounter = 0;
  uint16_t MeterTicks = 0;
  uint16_t MeterValue = 0;
  uint16_t MeterLimit = 184;
  int32_t TNTX = 0;
  int32_t TNTY = 0;
};

// Everything that decides the rest of a map in play; the pictures that only
// show it are not part of it.
struct TGameLogic : TGameValues {
  int32_t Score = 0;  // the program-wide points
  uint32_t RandSeed = 0;
  std::vector<int32_t> Physical;  // the map's cells, row by row
  std::vector<int32_t> Logical;
  std::vector<uint8_t> Dots;
  uint16_t DotCount = 0;
  TProfLogic Prof;
  std::vector<TMonsterLogic> Monsters;
  TBoulderLogic Boulder;
};

class TGame : public TGameValues {
 public:
  // Game start.
  TGame();
  // Game end, if EndGame has not run; frees the game's objects.
  ~TGame();
  TGame(const TGame&) = delete;
  TGame& operator=(const TGame&) = delete;

  // Builds the current map (also after a death) and draws the screen.
  void BeginMap();
  // One frame of play with the keys now in KeyState. False when the map's
  // frames are over (level done and shown, skipped, dead, or Escape).
  bool Frame();
  // Lives, music and monsters after the frames of a map; true when another
  // map start follows.
  bool EndMap();
  // High score, end screens and unlocked practice levels.
  void EndGame();

  TGameLogic SaveLogic() const;
  void RestoreLogic(const TGameLogic& logic);
  TReplayChecks Checks() const;

  // Drawing of the HUD and the meter, also for the solver's own frames.
  void DrawNumber(int32_t value, int digits, int x, int clearRight);
  void DrawScore() { DrawNumber(Score, 5, 190, 254); }

  // Songs started in this game (a restart after a death starts none).
  uint32_t MusicStarts = 0;
  // Frames played on this map since it was entered, restarts after a death
  // included; a pause and the question to leave add none.
  uint32_t MapFrames() const { return MapFrames_; }
  // The play is paused, or the question to leave is up, from the next frame on.
  bool Held() const { return Hold_ != THold::None; }
  // False for frames no one sees (a level solver's search): the back buffer
  // is drawn as ever but not copied to the display.
  bool Present = true;

  std::unique_ptr<TMap> Map;
  TImagePtr Background;
  std::unique_ptr<TBoulder> Boulder;
  std::unique_ptr<TProf> Prof;
  std::vector<std::unique_ptr<TMonster>> Monsters;
  std::unique_ptr<TTGAFont> ScoreFont;

 private:
  void DrawFrameAndHud();
  void DrawRoom();
  void DrawMeter(const std::string& name);
  void StartMusic();
  void StopMusic();
  std::string Song;
  bool Ended = false;

  // What the player is shown beyond the rules: the map's name, the slot of
  // the next piece, the dots left, the tally of a finished map, the pause and
  // the question to leave. None of it is part of the logic, nor read by it.
  enum class THold { None, Paused, Asking };
  bool HoldPlay();
  void TakeHoldKeys();
  void DrawTopLine(const std::string& text);
  void DrawTally();
  void DrawDotsLeft();
  THold Hold_ = THold::None;
  uint32_t MapFrames_ = 0;
  uint32_t NameFramesLeft_ = 0;
  uint16_t DotsShown_ = 0xFFFF;
  uint16_t DotsAtStart_ = 0;
};

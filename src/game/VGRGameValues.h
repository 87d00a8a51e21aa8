#pragma once
// Program-wide values the main program sets up and the screens and game
// units read and change: the menu's choices, the practice levels unlocked,
// the high score, the game mode and the small digits font of the cell-type
// overlay. They live here rather than in the main program so that the game
// library stands on its own and the screens need not include the program.

#include <cstdint>
#include <memory>

class TTGAFont;

// The row the main menu returned last; handed back to it on the next call.
extern uint8_t MenuChoice;
// The highest level (1..26) whose practice start the menu offers; 26 also
// marks a completed game.
extern int32_t LastLevel;
// The best score of this run; never stored.
extern int32_t HighScore;
// The map a game starts on: 1, or the practice start chosen in the menu.
extern int32_t StartMap;
// The game has been completed in this run (the completion screen sets it
// with LastLevel := 26): the menu then offers the Za.Raroz mode. A LastLevel
// of 26 read at start-up does not count.
extern bool ZaRarozUnlocked;
// The "Za.Raroz" mode: construction maps start with the creature complete
// and carry dots to collect.
extern bool MrRobotMode;
// Drawn with spacing -1; null until the main program loads it.
extern std::unique_ptr<TTGAFont> NumbersFont;

#pragma once
// Program-wide values the main program sets up and the game units read: the
// game mode chosen in the menu and the small digits font of the cell-type
// overlay. They live here rather than in the main program so that the game
// library stands on its own.

#include <memory>

class TTGAFont;

// The "Za.Raroz" mode: construction maps start with the creature complete
// and carry dots to collect.
extern bool MrRobotMode;
// Drawn with spacing -1; null until the main program loads it.
extern std::unique_ptr<TTGAFont> NumbersFont;

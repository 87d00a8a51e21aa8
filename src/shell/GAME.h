#pragma once
// The game loop: one game from the chosen map until the last life, Escape or
// the end of the last map, with scoring and the HUD.

#include <cstdint>

// Runs one game from StartMap; reads and updates the program-wide values.
void PlayGame();

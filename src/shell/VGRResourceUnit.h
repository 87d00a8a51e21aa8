#pragma once
// The game screens: the title sequence, the main menu and the two end scenes.
// The game loop itself is in GAME.h. These are the only screens that know
// every layer below them.

#include <cstdint>

// ---- Title, credits and main menu -----------------------------------------

// Shows the main menu (the title sequence first, once per run) and returns
// the row the player confirmed: 0 NEW GAME, 1 PRACTICE LEVEL, 2 MODE, 3 QUIT.
uint8_t MainMenu(uint8_t Previous);
void PlayIntro();

// ---- Game over and completion scenes --------------------------------------

void ShowGameOver();
void ShowCompletion();

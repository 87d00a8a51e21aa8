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

#include <array>

// Shown when the last life is lost: a scripted scene of 720 frames, then
// "PRESS SPACE" until Space, Return or Escape.
void ShowGameOver();
// Shown when a game begun at map 1 has passed the last map; waits for Space
// twice and sets LastLevel to 26, which unlocks the Za.Raroz mode.
void ShowCompletion();
// The monster kinds of the completion scene: four different ones of 1..20,
// drawn with Random.
std::array<uint8_t, 4> CompletionMonsterKinds();

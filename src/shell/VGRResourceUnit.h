#pragma once
// The game screens: the title sequence, the main menu and the two end scenes.
// The game loop itself is in GAME.h. These are the only screens that know
// every layer below them.

#include <cstdint>

// ---- Title, credits and main menu -----------------------------------------

// ---- Game over and completion scenes --------------------------------------

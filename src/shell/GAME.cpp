#include "GAME.h"

#include "ZR_SDL.h"

// Until the game loop is written, a game is black frames until Escape, as the
// program ran before it had a menu; Escape then returns to the menu.
void PlayGame() {
  while (!KeyState[SYM_ESCAPE]) {
    Bar(0, 0, 639, 399, 0, 0, 0);
    Flip();
    ProcessEvents();
  }
  KeyState[SYM_ESCAPE] = false;
}

// The floor of scripts/measure.sh: the least a program shaped like the game
// can do. A 640 x 400 window opened as the game opens it, a back buffer, and
// per frame one blit of it to the display, the game's pacing and one flip,
// then the event queue drained; nothing drawn, no sound, no data. What the
// game costs beyond this is the game's own.
//
//   vgrfloor [FRAMES]   runs FRAMES frames (0 or none: until the window is
//                       closed or the process is ended)

#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The game's frame clock: 60 frames a second give 1000 div 60 ms; a frame
// ready after its deadline (the first one too) re-arms it from now and is
// shown at once.
constexpr uint32_t kFrameTime = 1000 / 60;
uint32_t NextFrameTime = 0;

uint32_t TimeLeft() {
  const uint32_t now = SDL_GetTicks();
  if (NextFrameTime <= now) {
    NextFrameTime = now + kFrameTime;
    return 0;
  }
  return NextFrameTime - now;
}

}  // namespace

int main(int argc, char** argv) {
  const long frames = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  // The game's own display settings, unless the environment chose.
  setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
  setenv("SDL12COMPAT_WINDOW_SCALING", "1", 0);
  if (SDL_Init(SDL_INIT_VIDEO) == -1) return 1;
  // The game's flags: its back-buffer bit reaches SDL, and no double buffer.
  SDL_Surface* screen = SDL_SetVideoMode(640, 400, 32, 0x04000000u);
  SDL_Surface* back = screen ? SDL_CreateRGBSurface(0, 640, 400, 32, 0, 0, 0, 0) : nullptr;
  if (!back) {
    SDL_Quit();
    return 1;
  }
  SDL_WM_SetCaption("vgrfloor", nullptr);
  SDL_ShowCursor(0);
  bool running = true;
  for (long frame = 0; running && (frames <= 0 || frame < frames); ++frame) {
    SDL_UpperBlit(back, nullptr, screen, nullptr);
    // As the game's flip: one look at the clock for its statistics, which
    // re-arms a missed deadline, then the wait unless it was missed.
    if (TimeLeft() > 0) {
      for (uint32_t left = TimeLeft(); left > 0; left = TimeLeft()) SDL_Delay(left);
    }
    SDL_Flip(screen);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) running = false;
    }
  }
  SDL_FreeSurface(back);
  SDL_Quit();
  return 0;
}

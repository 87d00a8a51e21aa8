#pragma once
// The player's side of the display: how large the window opens, full screen
// toggled with Alt+Enter, game controllers read as keys, and whether a
// display exists at all. The game still draws 640 x 400 frames; scaling is
// left to the SDL 1.2 compatibility layer, which the settings below steer.

#include <cstdint>
#include <functional>
#include <string>

union SDL_Event;

// The largest window factor the automatic choice gives.
constexpr int kMaxWindowScale = 8;

// The integer factor the width x height window opens at. `requested` (the
// -scale switch, 0 when not given) wins, limited to 1..kMaxWindowScale. Else a
// scaling the player set in the environment (`environment`, null when unset)
// is kept: the result is 0, "leave it". Else the largest factor whose window
// fits in 85% of the desktop, at least 1; 1 when the desktop size is unknown.
int ChooseWindowScale(int desktopWidth, int desktopHeight, int width, int height, int requested,
                      const char* environment);

// The factor the player asked for on the command line (0: choose).
void SetWindowScaleRequest(int scale);
// The factor the window was last opened at (1 before any window).
int WindowScale();

// Before SDL starts: nearest-neighbour scaling and game controllers with a
// known button layout, each unless the player set it in the environment.
void PrepareDisplaySettings();
// After SDL started, before the video mode is set: the window factor for the
// desktop SDL reports, handed to the compatibility layer.
void ApplyWindowScale(int width, int height);
// After the final video mode: opens every game controller SDL knows and
// names each in the log.
void OpenGameControllers();
// Forgets the controllers (SDL closes them when it quits).
void CloseGameControllers();

// Whether a display can be opened: a video driver chosen in the environment,
// or an X or Wayland display. `getenv` looks a variable up (null when unset).
bool DisplayAvailable(const std::function<const char*(const char*)>& getenv);

// Switches between full screen and the window; false when SDL refused.
bool ToggleFullScreen();
bool IsFullScreen();

// Events the player's comforts consume before the game sees them: Alt+Enter
// toggles full screen, and controller events become key presses and releases
// handed on to HandleEvent. True when the event was consumed here.
bool HandleComfortEvent(const SDL_Event& event);

// Where controller buttons go as key events: the display unit's own event
// handler, so that they reach the key table exactly as keys do.
void SetControllerKeySink(void (*sink)(const SDL_Event&));

// Whether the window has the keyboard focus (and is not minimised), as the
// last focus event said; true until one says otherwise.
bool WindowHasFocus();
// Test seam: queues the event of the window losing or regaining the focus.
void PushFocusEvent(bool gained);

// Clears what the controllers hold (their keys are released with the table).
void ResetControllerState();

// Test seams: queue controller events as SDL would deliver them.
void PushPadButton(int pad, int button, bool down);
void PushPadAxis(int pad, int axis, int value);
void PushPadHat(int pad, int hat, int value);

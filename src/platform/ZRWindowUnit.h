#pragma once
// The player's side of the display: how large the window opens, full screen
// toggled with Alt+Enter, game controllers read as keys, and whether a
// display exists at all. The game still draws 640 x 400 frames; scaling is
// left to the SDL 1.2 compatibility layer, which the settings below steer,
// by whole factors only, and to SDL 2 below it where the layer has no word.

#include <cstdint>
#include <functional>
#include <string>

union SDL_Event;

// The largest window factor the automatic choice gives.
constexpr int kMaxWindowScale = 8;

// The integer factor the width x height window opens at, and what the player
// is told when the -scale switch could not be followed.
struct TWindowScale {
  int Scale = 1;     // 0: the scaling the player set in the environment is left alone
  std::string Note;  // one line for the log and standard error; empty when nothing was refused
};

// `requested` is the -scale switch's value (null when the switch is not
// given): a whole number from 1 to kMaxWindowScale, lowered to the largest
// factor whose window fits the desktop. Anything else is refused with a note,
// and the choice is made as without the switch: a scaling the player set in
// the environment (`environment`, null when unset) is kept (Scale 0), else the
// largest factor whose window fits in 85% of the desktop, at least 1; 1 when
// the desktop size is unknown.
TWindowScale ChooseWindowScale(int desktopWidth, int desktopHeight, int width, int height, const char* requested,
                               const char* environment);

// The -scale switch's value as given on the command line; not called when the
// switch is absent.
void SetWindowScaleRequest(const std::string& value);
// The factor the window was last opened at (1 before any window).
int WindowScale();

// Before SDL starts: nearest-neighbour scaling and game controllers with a
// known button layout, each unless the player set it in the environment.
void PrepareDisplaySettings();
// After SDL started, before the video mode is set: the window factor for the
// desktop SDL reports, handed to the compatibility layer. A refused -scale is
// told once per run, in the log and on standard error.
void ApplyWindowScale(int width, int height);
// After each video mode: the picture is scaled by whole factors only, centred
// on black when the window or screen is larger (full screen); the display
// starts windowed.
void PrepareVideoMode();
// The renderer SDL draws the window with. The player's own SDL_RENDER_DRIVER
// (`playerDriver`, null when unset) wins. Else, when OpenGL would draw in
// software here (`softwareReason` says why; empty when a GPU driver may be
// there), SDL's software renderer is chosen, drawing straight into the
// window: the same picture for a fraction of the CPU time, memory and
// threads. `Driver` is what SDL_RENDER_DRIVER is to be set to (empty: leave
// SDL's choice), and `LogLine` says why.
struct TRendererChoice {
  std::string Driver;
  std::string LogLine;
};
TRendererChoice ChooseRenderer(const char* playerDriver, const std::string& softwareReason);
// After SDL started, before the first video mode: ChooseRenderer for this
// machine, applied and logged once a run.
void ApplyRendererChoice();

// After the final video mode: opens every game controller SDL knows and
// names each in the log.
void OpenGameControllers();
// Forgets the controllers (SDL closes them when it quits).
void CloseGameControllers();

// Whether a display can be opened: a video driver chosen in the environment,
// or an X or Wayland display. `getenv` looks a variable up (null when unset).
bool DisplayAvailable(const std::function<const char*(const char*)>& getenv);

// Full screen shows the whole picture at the largest whole factor that fits
// the desktop, centred on black. Where a window manager offers full screen it
// is asked for it; without one (a bare X server, as kiosks and some remote
// sessions run) the window itself is made borderless and as large as the
// desktop. Leaving full screen gives back the window as it was before. False
// when the system refused; the log says which way was taken.
bool SetFullScreen(bool on);
// True once after the window changed its size or was uncovered: the last
// picture must then be shown again, since a screen that holds a picture for
// a while (the title) presents nothing new meanwhile.
bool DisplayNeedsRepaint();
// Switches between full screen and the window; false when the system refused.
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

#include "ZRWindowUnit.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "Logger.h"


namespace {

const char* const kScaleVariable = "SDL12COMPAT_WINDOW_SCALING";
const char* const kMethodVariable = "SDL12COMPAT_SCALE_METHOD";
const char* const kControllerVariable = "SDL12COMPAT_USE_GAME_CONTROLLERS";

int RequestedScale = 0;
int OpenedScale = 1;
// Read once, before the program sets the variable itself.
bool PlayerScaleKnown = false;
std::string PlayerScale;
bool PlayerScaleSet = false;

std::vector<SDL_Joystick*> Controllers;

bool Focused = true;

// Return went down with Alt: its release is the toggle's too.
bool AltReturnDown = false;

// What a controller holds, by source; several sources may hold one key.
// With game-controller mapping, joystick buttons follow the standard layout:
// 0 south, 1 east, 4 back, 6 start, 11 to 14 the d-pad up, down, left, right.
enum TSource { kButtonFirst = 0, kButtonCount = 16, kHatUp = 16, kHatDown, kHatLeft, kHatRight, kStickUp,
               kStickDown, kStickLeft, kStickRight, kSourceCount };

int SymOfSource(int source) {
  switch (source) {
    case 0: return SDLK_SPACE;
    case 1: return SDLK_ESCAPE;
    case 4: return SDLK_ESCAPE;
    case 6: return SDLK_RETURN;
    case 11: case kHatUp: case kStickUp: return SDLK_UP;
    case 12: case kHatDown: case kStickDown: return SDLK_DOWN;
    case 13: case kHatLeft: case kStickLeft: return SDLK_LEFT;
    case 14: case kHatRight: case kStickRight: return SDLK_RIGHT;
    default: return 0;
  }
}

// A stick counts as pushed past half way and as let go below a quarter, so
// that a stick resting near the threshold does not flutter.
constexpr int kStickPress = 16384;
constexpr int kStickRelease = 8192;

struct TPad {
  bool Held[kSourceCount] = {};
};
std::vector<TPad> Pads;

bool KeyHeldByPads(int sym) {
  for (const TPad& p : Pads) {
    for (int s = 0; s < kSourceCount; ++s) {
      if (p.Held[s] && SymOfSource(s) == sym) return true;
    }
  }
  return false;
}

// The display unit's event handler, which takes controller keys as it takes
// the keyboard's; set by the display unit, which this unit sits below.
void (*KeySink)(const SDL_Event&) = nullptr;

void SendKey(int sym, bool down) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = static_cast<SDLKey>(sym);
  if (KeySink) KeySink(e);
}

// Sets a source and passes a key press or release on when the key's state
// over all controllers changed.
void SetSource(int pad, int source, bool held) {
  if (pad < 0 || source < 0 || source >= kSourceCount) return;
  if (static_cast<size_t>(pad) >= Pads.size()) Pads.resize(static_cast<size_t>(pad) + 1);
  const int sym = SymOfSource(source);
  if (sym == 0 || Pads[static_cast<size_t>(pad)].Held[source] == held) return;
  const bool before = KeyHeldByPads(sym);
  Pads[static_cast<size_t>(pad)].Held[source] = held;
  const bool after = KeyHeldByPads(sym);
  if (before != after) SendKey(sym, after);
}

void SetAxis(int pad, int low, int high, int value, bool lowHeld, bool highHeld) {
  const bool lowNow = lowHeld ? value < -kStickRelease : value <= -kStickPress;
  const bool highNow = highHeld ? value > kStickRelease : value >= kStickPress;
  SetSource(pad, low, lowNow);
  SetSource(pad, high, highNow);
}

bool PadHeld(int pad, int source) {
  return pad >= 0 && static_cast<size_t>(pad) < Pads.size() && Pads[static_cast<size_t>(pad)].Held[source];
}

void PushEvent(SDL_Event& e) { SDL_PushEvent(&e); }

}  // namespace

void SetControllerKeySink(void (*sink)(const SDL_Event&)) { KeySink = sink; }

int ChooseWindowScale(int desktopWidth, int desktopHeight, int width, int height, int requested,
                      const char* environment) {
  if (requested > 0) return requested > kMaxWindowScale ? kMaxWindowScale : requested;
  if (environment && *environment) return 0;
  if (desktopWidth <= 0 || desktopHeight <= 0 || width <= 0 || height <= 0) return 1;
  int scale = 1;
  // Integer sums rather than 0.85 products: no rounding at the border.
  while (scale < kMaxWindowScale && static_cast<int64_t>(width) * (scale + 1) * 100 <= int64_t{85} * desktopWidth &&
         static_cast<int64_t>(height) * (scale + 1) * 100 <= int64_t{85} * desktopHeight) {
    ++scale;
  }
  return scale;
}

void SetWindowScaleRequest(int scale) { RequestedScale = scale; }
int WindowScale() { return OpenedScale; }

void PrepareDisplaySettings() {
  if (!PlayerScaleKnown) {
    const char* v = std::getenv(kScaleVariable);
    PlayerScaleSet = v != nullptr;
    PlayerScale = v ? v : "";
    PlayerScaleKnown = true;
  }
  // Pixels stay sharp when the window is scaled or shown full screen.
  setenv(kMethodVariable, "nearest", 0);
  // Known controllers then report the same button numbers whatever the make.
  setenv(kControllerVariable, "1", 0);
}

void ApplyWindowScale(int width, int height) {
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  const int dw = info ? info->current_w : 0, dh = info ? info->current_h : 0;
  const int scale =
      ChooseWindowScale(dw, dh, width, height, RequestedScale, PlayerScaleSet ? PlayerScale.c_str() : nullptr);
  if (scale == 0) {
    setenv(kScaleVariable, PlayerScale.c_str(), 1);
    OpenedScale = std::atoi(PlayerScale.c_str());
    Log->Status("Window scale from the environment: " + PlayerScale, "ZR_SDL, Initialize");
    return;
  }
  setenv(kScaleVariable, std::to_string(scale).c_str(), 1);
  OpenedScale = scale;
  Log->Status("Window scale: " + std::to_string(scale) + " (desktop " + std::to_string(dw) + "x" +
                  std::to_string(dh) + ")",
              "ZR_SDL, Initialize");
}

void OpenGameControllers() {
  Controllers.clear();
  Pads.clear();
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
  const int n = SDL_NumJoysticks();
  for (int i = 0; i < n; ++i) {
    if (SDL_Joystick* j = SDL_JoystickOpen(i)) {
      Controllers.push_back(j);
      const char* name = SDL_JoystickName(i);
      Log->Status(std::string("Game controller: ") + (name ? name : "(unnamed)"), "ZR_SDL, Initialize");
    }
  }
  SDL_JoystickEventState(SDL_ENABLE);
}

void CloseGameControllers() {
  Controllers.clear();
  Pads.clear();
  AltReturnDown = false;
  Focused = true;
}

bool DisplayAvailable(const std::function<const char*(const char*)>& getenv) {
  for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* v = getenv(name);
    if (v && *v) return true;
  }
  return false;
}

bool ToggleFullScreen() {
  if (!SDL_GetVideoSurface()) return false;
  const bool ok = SDL_WM_ToggleFullScreen(SDL_GetVideoSurface()) != 0;
  Log->Status(ok ? (IsFullScreen() ? "Full screen" : "Windowed") : "Full screen toggle refused",
              "ZR_SDL, ToggleFullScreen");
  return ok;
}

bool IsFullScreen() { return SDL_GetVideoSurface() && (SDL_GetVideoSurface()->flags & SDL_FULLSCREEN) != 0; }

bool HandleComfortEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
      if (event.key.keysym.sym == SDLK_RETURN && (event.key.keysym.mod & KMOD_ALT) != 0) {
        AltReturnDown = true;
        ToggleFullScreen();
        return true;
      }
      return false;
    case SDL_KEYUP:
      if (event.key.keysym.sym == SDLK_RETURN && AltReturnDown) {
        AltReturnDown = false;
        return true;
      }
      return false;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      if (event.jbutton.button < kButtonCount) {
        SetSource(event.jbutton.which, kButtonFirst + event.jbutton.button, event.type == SDL_JOYBUTTONDOWN);
      }
      return true;
    case SDL_JOYHATMOTION: {
      if (event.jhat.hat != 0) return true;
      const int v = event.jhat.value;
      const int pad = event.jhat.which;
      SetSource(pad, kHatUp, (v & SDL_HAT_UP) != 0);
      SetSource(pad, kHatDown, (v & SDL_HAT_DOWN) != 0);
      SetSource(pad, kHatLeft, (v & SDL_HAT_LEFT) != 0);
      SetSource(pad, kHatRight, (v & SDL_HAT_RIGHT) != 0);
      return true;
    }
    case SDL_JOYAXISMOTION: {
      const int pad = event.jaxis.which;
      if (event.jaxis.axis == 0) {
        SetAxis(pad, kStickLeft, kStickRight, event.jaxis.value, PadHeld(pad, kStickLeft), PadHeld(pad, kStickRight));
      } else if (event.jaxis.axis == 1) {
        SetAxis(pad, kStickUp, kStickDown, event.jaxis.value, PadHeld(pad, kStickUp), PadHeld(pad, kStickDown));
      }
      return true;
    }
    case SDL_JOYBALLMOTION:
      return true;
    case SDL_ACTIVEEVENT:
      // The mouse merely leaving the window changes nothing.
      if (event.active.state & (SDL_APPINPUTFOCUS | SDL_APPACTIVE)) Focused = event.active.gain != 0;
      return false;
    default:
      return false;
  }
}

void ResetControllerState() {
  Pads.clear();
  AltReturnDown = false;
}

bool WindowHasFocus() { return Focused; }

void PushFocusEvent(bool gained) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_ACTIVEEVENT;
  e.active.gain = gained ? 1 : 0;
  e.active.state = SDL_APPINPUTFOCUS;
  PushEvent(e);
}

void PushPadButton(int pad, int button, bool down) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = down ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
  e.jbutton.which = static_cast<Uint8>(pad);
  e.jbutton.button = static_cast<Uint8>(button);
  e.jbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
  PushEvent(e);
}

void PushPadAxis(int pad, int axis, int value) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_JOYAXISMOTION;
  e.jaxis.which = static_cast<Uint8>(pad);
  e.jaxis.axis = static_cast<Uint8>(axis);
  e.jaxis.value = static_cast<Sint16>(value);
  PushEvent(e);
}

void PushPadHat(int pad, int hat, int value) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_JOYHATMOTION;
  e.jhat.which = static_cast<Uint8>(pad);
  e.jhat.hat = static_cast<Uint8>(hat);
  e.jhat.value = static_cast<Uint8>(value);
  PushEvent(e);
}

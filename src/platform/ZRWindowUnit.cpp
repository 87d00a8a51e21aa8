#include "ZRWindowUnit.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "Logger.h"
#include "ZRNativeWindow.h"
#include "ZRToolbox.h"


namespace {

const char* const kScaleVariable = "SDL12COMPAT_WINDOW_SCALING";
const char* const kMethodVariable = "SDL12COMPAT_SCALE_METHOD";
const char* const kControllerVariable = "SDL12COMPAT_USE_GAME_CONTROLLERS";

bool ScaleRequested = false;
std::string RequestedScale;
// A refused -scale is told once, though the display may be opened twice.
bool ScaleNoteGiven = false;
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

TWindowScale ChooseWindowScale(int desktopWidth, int desktopHeight, int width, int height, const char* requested,
                               const char* environment) {
  const bool desktopKnown = desktopWidth > 0 && desktopHeight > 0 && width > 0 && height > 0;
  // The largest factor up to `most` whose window is at most percent% of the
  // desktop either way; integer sums rather than products of fractions, so
  // that nothing is rounded at the border.
  auto largestFitting = [&](int most, int percent) {
    int scale = 1;
    while (scale < most && static_cast<int64_t>(width) * (scale + 1) * 100 <= int64_t{percent} * desktopWidth &&
           static_cast<int64_t>(height) * (scale + 1) * 100 <= int64_t{percent} * desktopHeight) {
      ++scale;
    }
    return scale;
  };
  auto automatic = [&]() -> TWindowScale {
    if (environment && *environment) return {0, ""};
    return {desktopKnown ? largestFitting(kMaxWindowScale, 85) : 1, ""};
  };
  if (!requested) return automatic();
  int32_t wanted = 0;
  TDecimalRule rule;
  rule.PlusSign = false;
  rule.Min = 1;
  rule.Max = kMaxWindowScale;
  const std::string asked = *requested ? std::string("-scale ") + requested : std::string("-scale");
  if (!StrToInt32(requested, wanted, rule)) {
    TWindowScale choice = automatic();
    choice.Note = asked + ": not a whole number from 1 to " + std::to_string(kMaxWindowScale) + "; using " +
                  (choice.Scale == 0 ? std::string(kScaleVariable) + "=" + environment : std::to_string(choice.Scale));
    return choice;
  }
  if (!desktopKnown) return {wanted, ""};
  // The player's own choice may fill the whole desktop, not only 85% of it.
  const int fitting = largestFitting(wanted, 100);
  if (fitting == wanted) return {wanted, ""};
  return {fitting, asked + ": the desktop is " + std::to_string(desktopWidth) + "x" + std::to_string(desktopHeight) +
                       "; using " + std::to_string(fitting)};
}

void SetWindowScaleRequest(const std::string& value) {
  ScaleRequested = true;
  RequestedScale = value;
  ScaleNoteGiven = false;
}
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
  const TWindowScale choice = ChooseWindowScale(dw, dh, width, height, ScaleRequested ? RequestedScale.c_str() : nullptr,
                                                PlayerScaleSet ? PlayerScale.c_str() : nullptr);
  if (choice.Scale == 0) {
    setenv(kScaleVariable, PlayerScale.c_str(), 1);
    OpenedScale = std::atoi(PlayerScale.c_str());
  } else {
    setenv(kScaleVariable, std::to_string(choice.Scale).c_str(), 1);
    OpenedScale = choice.Scale;
  }
  if (!choice.Note.empty()) {
    if (!ScaleNoteGiven) {
      Log->Warning(choice.Note, "ZR_SDL, Initialize");
      std::cerr << "Voltigor: " << choice.Note << std::endl;
      ScaleNoteGiven = true;
    }
  } else if (choice.Scale == 0) {
    Log->Status("Window scale from the environment: " + PlayerScale, "ZR_SDL, Initialize");
  } else {
    Log->Status("Window scale: " + std::to_string(choice.Scale) + " (desktop " + std::to_string(dw) + "x" +
                    std::to_string(dh) + ")",
                "ZR_SDL, Initialize");
  }
}

TRendererChoice ChooseRenderer(const char* playerDriver, const std::string& softwareReason) {
  if (playerDriver && *playerDriver) return {"", std::string("Renderer: ") + playerDriver + " (SDL_RENDER_DRIVER)"};
  if (softwareReason.empty()) return {"", "Renderer: SDL's choice"};
  return {"software", "Renderer: software (OpenGL would draw in software: " + softwareReason + ")"};
}

void ApplyRendererChoice() {
  static bool chosen = false;
  if (chosen) return;
  chosen = true;
  const char* player = std::getenv("SDL_RENDER_DRIVER");
  const TRendererChoice choice = ChooseRenderer(player, player && *player ? std::string() : SoftwareOpenGLReason());
  if (!choice.Driver.empty()) {
    setenv("SDL_RENDER_DRIVER", choice.Driver.c_str(), 1);
    // Else SDL would put the software renderer's window surface on OpenGL
    // once more.
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
  }
  Log->Status(choice.LogLine, "ZR_SDL, Initialize");
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

namespace {

bool FullScreenOn = false;
// Frames until the size SDL believes in is compared with the window's size
// before full screen; 0 when nothing is to be looked at.
int FramesToSizeCheck = 0;
constexpr int kSizeCheckDelay = 30;
// What the picture was last shown at, and whether the window was uncovered.
int ShownW = 0, ShownH = 0;
bool Exposed = false;
// How full screen was reached, for the way back.
enum class TFullScreenKind { System, CoveringWindow, Legacy } FullScreenKind = TFullScreenKind::System;
// The window before full screen.
int WindowedX = 0, WindowedY = 0, WindowedW = 0, WindowedH = 0;

const char* const kFullScreenLoc = "ZR_SDL, ToggleFullScreen";

std::string SizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

bool EnterFullScreen() {
  SDL_Surface* screen = SDL_GetVideoSurface();
  const TSDL2* s = SDL2();
  if (!s) {
    // A real SDL 1.2 scales nothing: its own full screen is all there is.
    if (!SDL_WM_ToggleFullScreen(screen)) return false;
    FullScreenKind = TFullScreenKind::Legacy;
    Log->Status("Full screen", kFullScreenLoc);
    return true;
  }
  s->GetWindowPosition(s->Window, &WindowedX, &WindowedY);
  s->GetWindowSize(s->Window, &WindowedW, &WindowedH);
  TSDL2Rect desktop{0, 0, 0, 0};
  const int index = s->GetWindowDisplayIndex(s->Window);
  if (index < 0 || s->GetDisplayBounds(index, &desktop) != 0 || desktop.w <= 0 || desktop.h <= 0) return false;
  const int w = screen ? screen->w : 1, h = screen ? screen->h : 1;
  const int factor = std::max(1, std::min(desktop.w / std::max(w, 1), desktop.h / std::max(h, 1)));
  std::string how;
  if (SystemOffersFullScreen()) {
    if (!SDL_WM_ToggleFullScreen(screen)) return false;
    FullScreenKind = TFullScreenKind::System;
    how = "by the window manager";
  } else {
    // Nothing on a bare server moves or frames a window but its owner, so a
    // borderless window over the whole desktop is full screen there.
    s->SetWindowBordered(s->Window, 0);
    s->SetWindowPosition(s->Window, desktop.x, desktop.y);
    s->SetWindowSize(s->Window, desktop.w, desktop.h);
    s->RaiseWindow(s->Window);
    FullScreenKind = TFullScreenKind::CoveringWindow;
    how = "a window over the whole desktop (no window manager offers full screen)";
  }
  Log->Status("Full screen: " + SizeText(desktop.w, desktop.h) + ", the picture " + std::to_string(factor) +
                  " times, " + how,
              kFullScreenLoc);
  return true;
}

bool LeaveFullScreen() {
  SDL_Surface* screen = SDL_GetVideoSurface();
  const TSDL2* s = SDL2();
  if (FullScreenKind == TFullScreenKind::Legacy || !s) {
    if (!SDL_WM_ToggleFullScreen(screen)) return false;
    Log->Status("Windowed", kFullScreenLoc);
    return true;
  }
  if (FullScreenKind == TFullScreenKind::System) {
    if ((s->GetWindowFlags(s->Window) & kSDL2FullScreen) != 0 && !SDL_WM_ToggleFullScreen(screen)) return false;
    // The window manager puts the window back in its own time; should SDL
    // still believe in the full-screen size afterwards, the picture would be
    // drawn for it, cropped. Looked at again once the manager had its turn.
    FramesToSizeCheck = kSizeCheckDelay;
  } else {
    s->SetWindowBordered(s->Window, 1);
    s->SetWindowSize(s->Window, WindowedW, WindowedH);
    s->SetWindowPosition(s->Window, WindowedX, WindowedY);
  }
  Log->Status("Windowed: " + SizeText(WindowedW, WindowedH) + " at " + std::to_string(WindowedX) + "," +
                  std::to_string(WindowedY),
              kFullScreenLoc);
  return true;
}

}  // namespace

void PrepareVideoMode() {
  FullScreenOn = false;
  FramesToSizeCheck = 0;
  if (const TSDL2* s = SDL2()) {
    if (void* renderer = s->GetRenderer(s->Window)) {
      s->RenderSetIntegerScale(renderer, 1);
      static bool told = false;
      TSDL2RendererInfo info{};
      if (!told && s->GetRendererInfo(renderer, &info) == 0 && info.name) {
        Log->Status(std::string("Drawing with SDL's ") + info.name + " renderer", "ZR_SDL, Initialize");
        told = true;
      }
    }
  }
}

bool SetFullScreen(bool on) {
  if (!SDL_GetVideoSurface()) return false;
  if (on == FullScreenOn) return true;
  const bool ok = on ? EnterFullScreen() : LeaveFullScreen();
  if (ok) {
    FullScreenOn = on;
  } else {
    Log->Status(on ? "Full screen refused" : "Leaving full screen refused", kFullScreenLoc);
  }
  return ok;
}

bool ToggleFullScreen() { return SetFullScreen(!FullScreenOn); }

bool DisplayNeedsRepaint() {
  bool repaint = Exposed;
  Exposed = false;
  if (const TSDL2* s = SDL2()) {
    int w = 0, h = 0;
    s->GetWindowSize(s->Window, &w, &h);
    if (FramesToSizeCheck > 0 && --FramesToSizeCheck == 0 && !FullScreenOn && (w != WindowedW || h != WindowedH)) {
      Log->Status("Window size set again: SDL believed " + SizeText(w, h), kFullScreenLoc);
      s->SetWindowSize(s->Window, WindowedW, WindowedH);
      s->GetWindowSize(s->Window, &w, &h);
    }
    repaint = repaint || w != ShownW || h != ShownH;
    ShownW = w;
    ShownH = h;
  }
  return repaint;
}

bool IsFullScreen() { return SDL_GetVideoSurface() && FullScreenOn; }

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
    case SDL_VIDEOEXPOSE:
      Exposed = true;
      return false;
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

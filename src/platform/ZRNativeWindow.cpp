#include "ZRNativeWindow.h"

// X11's headers define names such as Status and None as macros: they stay in
// this file, away from the log's interface.
#include <SDL.h>
#include <SDL_syswm.h>

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

// The browser's build links the original SDL 1.2 itself: there is no SDL 2
// underneath to look up, and its dlopen aborts the page.
#if __has_include(<dlfcn.h>) && !defined(__EMSCRIPTEN__)
#include <dlfcn.h>
#define VGR_HAVE_DLFCN 1
#endif

namespace {

template <typename F>
bool Bind(void* library, const char* name, F& f) {
#ifdef VGR_HAVE_DLFCN
  f = reinterpret_cast<F>(dlsym(library, name));
#else
  (void)library;
  (void)name;
  f = nullptr;
#endif
  return f != nullptr;
}

}  // namespace

const TSDL2* SDL2() {
  static TSDL2 api;
  static void* (*windowOf)() = nullptr;
  static bool bound = false;
  static bool complete = false;
  if (!bound) {
    bound = true;
#ifdef VGR_HAVE_DLFCN
    void* compat = dlopen(nullptr, RTLD_NOW);
    void* sdl2 = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    complete = compat && sdl2 && Bind(compat, "SDL12COMPAT_GetWindow", windowOf) &&
               Bind(sdl2, "SDL_GetWindowFlags", api.GetWindowFlags) &&
               Bind(sdl2, "SDL_GetWindowSize", api.GetWindowSize) && Bind(sdl2, "SDL_SetWindowSize", api.SetWindowSize) &&
               Bind(sdl2, "SDL_GetWindowPosition", api.GetWindowPosition) &&
               Bind(sdl2, "SDL_SetWindowPosition", api.SetWindowPosition) &&
               Bind(sdl2, "SDL_SetWindowBordered", api.SetWindowBordered) &&
               Bind(sdl2, "SDL_RaiseWindow", api.RaiseWindow) &&
               Bind(sdl2, "SDL_GetWindowDisplayIndex", api.GetWindowDisplayIndex) &&
               Bind(sdl2, "SDL_GetDisplayBounds", api.GetDisplayBounds) &&
               Bind(sdl2, "SDL_GetRenderer", api.GetRenderer) &&
               Bind(sdl2, "SDL_RenderSetIntegerScale", api.RenderSetIntegerScale) &&
               Bind(sdl2, "SDL_GetRendererInfo", api.GetRendererInfo);
#endif
  }
  if (!complete) return nullptr;
  // The layer makes a new window when SDL restarts, so it is asked each time.
  api.Window = windowOf();
  return api.Window ? &api : nullptr;
}

// A window manager holds the root window's redirection and lists
// _NET_WM_STATE_FULLSCREEN among what it supports. A bare X server
// takes a full-screen request silently and keeps the window as it was, while
// SDL believes in a window as large as the desktop: the picture would then
// be drawn for that size into the smaller window, cropped and enlarged.
bool SystemOffersFullScreen() {
#if defined(SDL_VIDEO_DRIVER_X11) && defined(VGR_HAVE_DLFCN)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) return true;
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (!x11) return true;
  decltype(&XGetWindowAttributes) getAttributes = nullptr;
  decltype(&XInternAtom) internAtom = nullptr;
  decltype(&XGetWindowProperty) getProperty = nullptr;
  decltype(&XFree) release = nullptr;
  if (!Bind(x11, "XGetWindowAttributes", getAttributes) || !Bind(x11, "XInternAtom", internAtom) ||
      !Bind(x11, "XGetWindowProperty", getProperty) || !Bind(x11, "XFree", release)) {
    return true;
  }
  Display* display = info.info.x11.display;
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  if (!getAttributes(display, root, &attributes)) return true;
  // Only a window manager selects the redirection on the root window.
  if ((attributes.all_event_masks & SubstructureRedirectMask) == 0) return false;
  const Atom supported = internAtom(display, "_NET_SUPPORTED", True);
  const Atom fullScreen = internAtom(display, "_NET_WM_STATE_FULLSCREEN", True);
  if (supported == None || fullScreen == None) return false;
  bool listed = false;
  for (long offset = 0;;) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (getProperty(display, root, supported, offset, 64, False, XA_ATOM, &type, &format, &count, &after, &data) !=
        Success) {
      break;
    }
    if (data && type == XA_ATOM && format == 32) {
      const Atom* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count; ++i) listed = listed || atoms[i] == fullScreen;
    }
    if (data) release(data);
    offset += static_cast<long>(count);
    if (listed || after == 0 || count == 0) break;
  }
  return listed;
#else
  return true;
#endif
}

std::string SoftwareOpenGLReason() {
  if (const char* forced = std::getenv("LIBGL_ALWAYS_SOFTWARE")) {
    if (*forced && std::strcmp(forced, "0") != 0 && strcasecmp(forced, "false") != 0) {
      return "LIBGL_ALWAYS_SOFTWARE is set";
    }
  }
#if defined(SDL_VIDEO_DRIVER_X11) && defined(VGR_HAVE_DLFCN)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWMInfo(&info) > 0 && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display) {
    if (void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD)) {
      decltype(&XQueryExtension) queryExtension = nullptr;
      if (Bind(x11, "XQueryExtension", queryExtension)) {
        int opcode = 0, event = 0, error = 0;
        const bool direct = queryExtension(info.info.x11.display, "DRI3", &opcode, &event, &error) ||
                            queryExtension(info.info.x11.display, "DRI2", &opcode, &event, &error);
        if (!direct) return "the X server offers no direct rendering";
      }
    }
  }
#endif
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", failed)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("renderD", 0) == 0 || name.rfind("card", 0) == 0) return "";
  }
  return "no GPU device in /dev/dri";
}

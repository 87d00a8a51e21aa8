#pragma once
// Below the SDL 1.2 compatibility layer: the SDL 2 window it draws into, and
// the few calls of SDL 2 and of the X server that the SDL 1.2 API has no word
// for. Everything is looked up at run time in the libraries the layer has
// already loaded, so that nothing here is needed to build or to run on a
// system without them; callers then keep to the SDL 1.2 API.

#include <cstdint>
#include <string>

struct TSDL2Rect {
  int x, y, w, h;
};

// SDL 2 calls on the layer's window (void* stands for SDL's own types).
struct TSDL2 {
  void* Window = nullptr;
  uint32_t (*GetWindowFlags)(void*) = nullptr;
  void (*GetWindowSize)(void*, int*, int*) = nullptr;
  void (*SetWindowSize)(void*, int, int) = nullptr;
  void (*GetWindowPosition)(void*, int*, int*) = nullptr;
  void (*SetWindowPosition)(void*, int, int) = nullptr;
  void (*SetWindowBordered)(void*, int) = nullptr;
  void (*RaiseWindow)(void*) = nullptr;
  int (*GetWindowDisplayIndex)(void*) = nullptr;
  int (*GetDisplayBounds)(int, TSDL2Rect*) = nullptr;
  void* (*GetRenderer)(void*) = nullptr;
  int (*RenderSetIntegerScale)(void*, int) = nullptr;
  int (*GetRendererInfo)(void*, struct TSDL2RendererInfo*) = nullptr;
};

// SDL_RendererInfo.
struct TSDL2RendererInfo {
  const char* name;
  uint32_t flags;
  uint32_t num_texture_formats;
  uint32_t texture_formats[16];
  int max_texture_width;
  int max_texture_height;
};

// SDL_WINDOW_FULLSCREEN, a bit of the desktop kind of full screen too.
constexpr uint32_t kSDL2FullScreen = 0x00000001u;

// The calls with the current window; null when there is no window yet or the
// SDL 1.2 API is not the compatibility layer's.
const TSDL2* SDL2();

// Whether full screen can be left to the system: an X server with a window
// manager that offers it, or any other video driver. False on a bare X server.
bool SystemOffersFullScreen();

// Why OpenGL would draw in software here, found without loading any OpenGL
// driver (which alone would cost tens of megabytes and a thread per core):
// LIBGL_ALWAYS_SOFTWARE set, an X server that offers no direct rendering
// (DRI2 or DRI3, as virtual and remote servers), or no GPU device in
// /dev/dri. Empty when a GPU driver may be there. Call after SDL started.
std::string SoftwareOpenGLReason();

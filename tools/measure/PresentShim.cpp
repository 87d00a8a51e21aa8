// Preloaded into a program (LD_PRELOAD) by scripts/measure.sh: logs the
// moment of every frame presented, so frame times come from the display
// calls themselves. VGR_PRESENT_LOG names the log; without it the shim only
// passes the calls on.
//
// Log lines, CLOCK_MONOTONIC in nanoseconds:
//   init REALTIME MONOTONIC   once, when the program is loaded
//   poll T                    the first event poll after the first present
//   P START END               one present: when it was called and returned
//
// Calls made from inside a present (an SDL 1.2 flip may update rectangles or
// present through SDL2) count once, as the outer call.

#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int LogFd = -1;
thread_local int Depth = 0;
bool Presented = false;
bool PollSeen = false;

int64_t Nanos(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void WriteLine(const char* text, int length) {
  if (LogFd >= 0 && length > 0) {
    // One write per line with O_APPEND: lines stay whole even when the
    // program is ended between two frames.
    [[maybe_unused]] const ssize_t written = write(LogFd, text, static_cast<size_t>(length));
  }
}

__attribute__((constructor)) void OpenPresentLog() {
  const char* name = std::getenv("VGR_PRESENT_LOG");
  if (!name || !*name) return;
  LogFd = open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  char line[96];
  const int n = std::snprintf(line, sizeof line, "init %lld %lld\n", static_cast<long long>(Nanos(CLOCK_REALTIME)),
                              static_cast<long long>(Nanos(CLOCK_MONOTONIC)));
  WriteLine(line, n);
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Runs the real call and logs it as one present unless it sits inside one.
template <typename Call>
void Present(Call call) {
  if (Depth > 0 || LogFd < 0) {
    ++Depth;
    call();
    --Depth;
    return;
  }
  const int64_t start = Nanos(CLOCK_MONOTONIC);
  ++Depth;
  call();
  --Depth;
  const int64_t end = Nanos(CLOCK_MONOTONIC);
  Presented = true;
  char line[64];
  const int n = std::snprintf(line, sizeof line, "P %lld %lld\n", static_cast<long long>(start),
                              static_cast<long long>(end));
  WriteLine(line, n);
}

}  // namespace

extern "C" {

// SDL 1.2
int SDL_Flip(void* screen) {
  static auto real = Next<int (*)(void*)>("SDL_Flip");
  int result = -1;
  if (real) Present([&] { result = real(screen); });
  return result;
}

void SDL_UpdateRect(void* screen, int32_t x, int32_t y, uint32_t w, uint32_t h) {
  static auto real = Next<void (*)(void*, int32_t, int32_t, uint32_t, uint32_t)>("SDL_UpdateRect");
  if (real) Present([&] { real(screen, x, y, w, h); });
}

void SDL_UpdateRects(void* screen, int count, void* rects) {
  static auto real = Next<void (*)(void*, int, void*)>("SDL_UpdateRects");
  if (real) Present([&] { real(screen, count, rects); });
}

// SDL2, for programs that call it directly.
void SDL_RenderPresent(void* renderer) {
  static auto real = Next<void (*)(void*)>("SDL_RenderPresent");
  if (real) Present([&] { real(renderer); });
}

int SDL_UpdateWindowSurface(void* window) {
  static auto real = Next<int (*)(void*)>("SDL_UpdateWindowSurface");
  int result = -1;
  if (real) Present([&] { result = real(window); });
  return result;
}

void SDL_GL_SwapWindow(void* window) {
  static auto real = Next<void (*)(void*)>("SDL_GL_SwapWindow");
  if (real) Present([&] { real(window); });
}

// The first look at the events after the first frame: the end of a
// program's loading, when it draws nothing between its first frame and its
// first event loop.
int SDL_PollEvent(void* event) {
  static auto real = Next<int (*)(void*)>("SDL_PollEvent");
  if (Presented && !PollSeen && LogFd >= 0 && Depth == 0) {
    PollSeen = true;
    char line[48];
    const int n = std::snprintf(line, sizeof line, "poll %lld\n", static_cast<long long>(Nanos(CLOCK_MONOTONIC)));
    WriteLine(line, n);
  }
  return real ? real(event) : 0;
}

}  // extern "C"

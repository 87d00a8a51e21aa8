#include "ZR_SDL.h"

#include <SDL.h>

#include <bitset>
#include <cstring>

#include "BASS.h"
#include "Lists.h"
#include "Logger.h"
#include "SystemUnit.h"
#include "WebPort.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"
#include "ZRWindowUnit.h"

namespace {

const char* const kInitLoc = "ZR_SDL, Initialize";

std::function<std::unique_ptr<TMouseObjectsBase>()> MouseObjectsFactory;
std::function<uint32_t()> TickSource;
std::function<void(uint32_t)> DelaySink;
std::function<void(uint32_t)> InputScript;
std::function<void(uint32_t)> PauseScript;
std::function<void()> BeforeEvents;
std::function<void()> AfterEvents;

// The records wrapping the display and back buffer; the surfaces themselves
// belong to SDL (display) or are freed by Finalize (back buffer).
std::unique_ptr<TImage> ScreenRecord;
std::unique_ptr<TImage> BackRecord;

// A key pressed and let go between two event polls would otherwise never be
// seen held by a frame (a quick tap, or a tool sending both at once); its
// release waits for the next poll.
std::bitset<512> PressedThisPoll;
std::bitset<512> ReleaseNextPoll;

void ApplyDeferredReleases() {
  for (std::size_t sym = 0; sym < ReleaseNextPoll.size(); ++sym) {
    if (ReleaseNextPoll.test(sym)) KeyState[sym] = false;
  }
  ReleaseNextPoll.reset();
  PressedThisPoll.reset();
}

uint32_t Ticks() { return TickSource ? TickSource() : SDL_GetTicks(); }
void Delay(uint32_t ms) {
  if (DelaySink) {
    DelaySink(ms);
  } else {
    WaitMilliseconds(ms);
  }
}

// SDL turns a termination request into a quit event; a hang-up ends the
// program the same way, once the event loop sees it.
void QuitOnHangup() {
  static bool pushed = false;
  if (!HangupRequested() || pushed) return;
  pushed = true;
  Log->Status("Hang-up received, ending", "ZR_SDL, ProcessEvents");
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

[[noreturn]] void FailVideo(const std::string& msg) {
  Log->Error(msg, kInitLoc);
  SDL_Quit();
  Halt(1, "cannot open the game's window: " + msg);
}

SDL_Rect MakeRect(int x1, int y1, int x2, int y2) {
  SDL_Rect r;
  r.x = static_cast<Sint16>(x1);
  r.y = static_cast<Sint16>(y1);
  r.w = static_cast<Uint16>(x2 - x1 + 1);
  r.h = static_cast<Uint16>(y2 - y1 + 1);
  return r;
}

SDL_Rect At(int x, int y) {
  SDL_Rect r;
  r.x = static_cast<Sint16>(x);
  r.y = static_cast<Sint16>(y);
  r.w = 0;
  r.h = 0;
  return r;
}

void Blit(SDL_Surface* src, SDL_Rect* srcRect, SDL_Surface* dst, int x, int y) {
  if (!src || !dst) return;
  SDL_Rect d = At(x, y);
  SDL_UpperBlit(src, srcRect, dst, &d);
}

void OpenVideo(uint16_t width, uint16_t height, uint16_t depth, uint32_t flags) {
  HalfSize = (flags & VF_HALFSIZE) != 0;
  flags &= ~VF_HALFSIZE;
  PrepareDisplaySettings();
  if (SDL_Init(SDL_INIT_VIDEO) == -1) FailVideo(std::string("Could not initialize SDL : ") + SDL_GetError());
  // Full screen starts from the window the player gets back when leaving it.
  const bool fullScreen = (flags & VF_FULLSCREEN) != 0;
  flags &= ~VF_FULLSCREEN;
  ApplyRendererChoice();
  ApplyWindowScale(width, height);
  ScreenWidth = width;
  ScreenHeight = height;
  ScreenSurface = UseBackBuffer ? SDL_SetVideoMode(width, height, depth, flags)
                                : SDL_SetVideoMode(width, height, depth, flags | 0x40000001u);
  if (!ScreenSurface) {
    FailVideo("Couldn't set " + std::to_string(width) + "x" + std::to_string(height) + "x" +
              std::to_string(depth) + " video mode : " + SDL_GetError());
  }
  PrepareVideoMode();
  ScreenRecord = std::make_unique<TImage>(ScreenSurface);
  ScreenRecord->FlagC = true;
  ScreenImage = ScreenRecord.get();
  if (UseBackBuffer) {
    if (HalfSize) {
      ScreenWidth /= 2;
      ScreenHeight /= 2;
    }
    BackSurface = SDL_CreateRGBSurface(0, static_cast<int>(ScreenWidth), static_cast<int>(ScreenHeight), depth, 0,
                                       0, 0, 0);
    if (!BackSurface) {
      Log->Error(std::string("Couldn't create secondary surface: ") + SDL_GetError(), kInitLoc);
      ScreenRecord->Surface = nullptr;
      SDL_FreeSurface(ScreenSurface);
      ScreenSurface = nullptr;
      SDL_Quit();
      Halt(1, "cannot create the back buffer: " + std::string(SDL_GetError()));
    }
    BackRecord = std::make_unique<TImage>(BackSurface);
    BackRecord->FlagC = true;
    BackImage = BackRecord.get();
  }
  MouseObjects = MouseObjectsFactory ? MouseObjectsFactory() : nullptr;
  ComponentMessages = std::make_unique<TFIFOStringList>();
  SavedVolume = 100.0f;
  AudioReady = false;
  ScreenDepth = depth;
  SDL_WM_SetCaption("ORVANTI SDL Application", nullptr);
  FrameCount = 0;
  SpareTotal = 0;
  if (fullScreen) SetFullScreen(true);
}

TInputEvent Translate(const SDL_Event& e) {
  TInputEvent t;
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      t.Kind = e.type == SDL_KEYDOWN ? TInputEvent::KeyDown : TInputEvent::KeyUp;
      t.Sym = e.key.keysym.sym;
      t.Mod = e.key.keysym.mod;
      break;
    case SDL_MOUSEMOTION:
      t.Kind = TInputEvent::MouseMotion;
      t.X = HalfSize ? e.motion.x / 2 : e.motion.x;
      t.Y = HalfSize ? e.motion.y / 2 : e.motion.y;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      t.Kind = e.type == SDL_MOUSEBUTTONDOWN ? TInputEvent::MouseButtonDown : TInputEvent::MouseButtonUp;
      t.X = HalfSize ? e.button.x / 2 : e.button.x;
      t.Y = HalfSize ? e.button.y / 2 : e.button.y;
      t.Button = e.button.button;
      break;
    default:
      break;
  }
  return t;
}

}  // namespace

TImage::~TImage() {
  if (Surface) SDL_FreeSurface(Surface);
}

void SetMouseObjectsFactory(std::function<std::unique_ptr<TMouseObjectsBase>()> factory) {
  MouseObjectsFactory = std::move(factory);
}

void TKeyRing::Push(uint8_t c) {
  Buffer[WriteIndex] = c;
  WriteIndex = static_cast<uint8_t>(WriteIndex == 254 ? 0 : WriteIndex + 1);
  if (WriteIndex == ReadIndex) ReadIndex = static_cast<uint8_t>(ReadIndex == 254 ? 0 : ReadIndex + 1);
}

bool TKeyRing::Pop(uint8_t& c) {
  if (ReadIndex == WriteIndex) return false;
  c = Buffer[ReadIndex];
  ReadIndex = static_cast<uint8_t>(ReadIndex == 254 ? 0 : ReadIndex + 1);
  return true;
}

int TKeyRing::Count() const { return (WriteIndex + 255 - ReadIndex) % 255; }

SDL_Surface* ScreenSurface = nullptr;
SDL_Surface* BackSurface = nullptr;
PImage ScreenImage = nullptr;
PImage BackImage = nullptr;
uint32_t ScreenWidth = 0;
uint32_t ScreenHeight = 0;
uint32_t ScreenDepth = 0;
bool UseBackBuffer = false;
bool HalfSize = false;
uint32_t FrameTime = 25;
uint32_t NextFrameTime = 0;
uint32_t FrameCount = 0;
uint32_t SpareTotal = 0;
bool KeyState[512] = {};
bool WindowKeysIgnored = false;
bool UnpacedFrames = false;
TKeyRing KeyBuffer;
int16_t MouseX = 0;
int16_t MouseY = 0;
bool MouseButton = false;
float SavedVolume = 100.0f;
bool AudioReady = false;
std::unique_ptr<TMouseObjectsBase> MouseObjects;
std::unique_ptr<TFIFOStringList> ComponentMessages;

void Initialize(uint16_t width, uint16_t height, uint16_t depth, uint32_t flags) {
  UseBackBuffer = (flags & VF_BACKBUFFER) != 0;
  OpenVideo(width, height, depth, flags & ~VF_FULLSCREEN);
  if (flags & VF_FULLSCREEN) {
    // Some drivers only grant full screen to a display that was opened
    // windowed and closed again, so the window is opened once first.
    Finalize();
    OpenVideo(width, height, depth, flags | VF_FULLSCREEN);
  }
  Init_Audio();
  StartWebInput();
  SetControllerKeySink(HandleEvent);
  OpenGameControllers();
}

void Finalize() {
  // The display surface belongs to SDL and goes with SDL_Quit.
  if (ScreenRecord) ScreenRecord->Surface = nullptr;
  ScreenRecord.reset();
  ScreenImage = nullptr;
  ScreenSurface = nullptr;
  if (UseBackBuffer) {
    BackRecord.reset();  // frees BackSurface
    BackSurface = nullptr;
    BackImage = nullptr;
  }
  if (AudioReady) {
    BASS_Free();
    Log->Status("BASS: Shutdown...", "ZR_SDL, Finalize");
  }
  AudioReady = false;
  CloseGameControllers();
  SDL_Quit();
  MouseObjects.reset();
  ComponentMessages.reset();
  if (FrameCount > 0) {
    Log->Status("ZR_SDL: Average ms remaining in each frame: " + std::to_string(SpareTotal / FrameCount),
                "ZR_SDL, Finalize");
  }
}

void SetFrameRate(uint32_t fps) {
  if (fps == 0) fps = 1;  // a zero rate would divide by zero; one frame a second is the slowest sane pace
  FrameTime = 1000 / fps;
}

uint32_t TimeLeft() {
  uint32_t now = Ticks();
  if (NextFrameTime <= now) {
    NextFrameTime = now + FrameTime;
    return 0;
  }
  return NextFrameTime - now;
}

namespace {

bool SoundMuted = false;

// A loudspeaker struck through, in the top right corner of the display, while
// F12 holds the sound off. It goes onto the display surface only, after the
// back buffer: no screen grabs it and nothing drawn later has to erase it.
void DrawMuteMark(SDL_Surface* screen, int scale) {
  static const char* const kRows[] = {
      "...#.......",
      "..##..#...#",
      "####...#.#.",
      "####....#..",
      "####...#.#.",
      "..##..#...#",
      "...#.......",
  };
  constexpr int kW = 11, kH = 7, kRight = 6, kTop = 6;
  const int x0 = (640 - kRight - kW) * scale, y0 = kTop * scale;
  const auto fill = [screen, scale](int x, int y, int w, int h, Uint32 colour) {
    SDL_Rect r{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w * scale),
               static_cast<Uint16>(h * scale)};
    SDL_FillRect(screen, &r, colour);
  };
  fill(x0 - 2 * scale, y0 - 2 * scale, kW + 4, kH + 4, SDL_MapRGB(screen->format, 24, 14, 22));
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      if (kRows[y][x] != '#') continue;
      const Uint32 colour = x < 4 ? SDL_MapRGB(screen->format, 196, 200, 212) : SDL_MapRGB(screen->format, 236, 80, 48);
      fill(x0 + x * scale, y0 + y * scale, 1, 1, colour);
    }
  }
}

}  // namespace

void Flip() {
  if (UseBackBuffer && BackSurface && ScreenSurface) {
    if (HalfSize) {
      DoublePixels(BackSurface, ScreenSurface);
    } else {
      SDL_Rect d = At(0, 0);
      if (SDL_UpperBlit(BackSurface, nullptr, ScreenSurface, &d) != 0) {
        Log->Warning("Flip Blit failed...", "ZR_SDL, Flip");
      }
    }
  }
  if (SoundMuted && ScreenSurface) DrawMuteMark(ScreenSurface, HalfSize ? 2 : 1);
  if (!UnpacedFrames) {
    const uint32_t spare = TimeLeft();
    SpareTotal += spare;
    // A frame ready after its deadline is shown at once, and TimeLeft has
    // just started the next period from now. Waiting a whole period more
    // would make a frame a moment late (a present held up by a busy machine)
    // twice as long as the rest: a visible stutter.
    if (spare > 0) WaitForFrame();
  } else {
    YieldNowAndThen();
  }
  if (ScreenSurface) PresentSurface(ScreenSurface);
  FrameCount += 1;
}

void WaitForFrame() {
  if (UnpacedFrames) return;
  for (uint32_t left = TimeLeft(); left > 0; left = TimeLeft()) Delay(left);
}

void HandleEvent(const SDL_Event& event) {
  if (HandleComfortEvent(event)) return;
  if (WindowKeysIgnored && (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) &&
      event.key.keysym.sym != SDLK_F12) {
    return;
  }
  if (MouseObjects && MouseObjects->HandleEvent(Translate(event))) return;
  switch (event.type) {
    case SDL_KEYDOWN: {
      const int sym = event.key.keysym.sym;
      if (sym >= 0 && sym < 512) {
        KeyState[sym] = true;
        PressedThisPoll.set(static_cast<std::size_t>(sym));
        ReleaseNextPoll.reset(static_cast<std::size_t>(sym));
      }
      if (sym >= 97 && sym <= 122) {
        const bool shift = (event.key.keysym.mod & (KMOD_LSHIFT | KMOD_RSHIFT)) != 0;
        KeyBuffer.Push(static_cast<uint8_t>(shift ? sym - 32 : sym));
      } else if (sym >= 0 && sym < 127) {
        KeyBuffer.Push(static_cast<uint8_t>(sym));
      }
      if (KeyState[SYM_F12]) {
        const float v = BASS_GetVolume();
        if (v == 0) {
          BASS_SetVolume(SavedVolume);
          SoundMuted = false;
        } else {
          BASS_SetVolume(0);
          SavedVolume = v;
          SoundMuted = true;
        }
        KeyState[SYM_F12] = false;
      }
      break;
    }
    case SDL_KEYUP: {
      const int sym = event.key.keysym.sym;
      if (sym >= 0 && sym < 512) {
        if (PressedThisPoll.test(static_cast<std::size_t>(sym))) {
          ReleaseNextPoll.set(static_cast<std::size_t>(sym));
        } else {
          KeyState[sym] = false;
        }
      }
      break;
    }
    case SDL_MOUSEMOTION:
      MouseX = static_cast<int16_t>(HalfSize ? event.motion.x / 2 : event.motion.x);
      MouseY = static_cast<int16_t>(HalfSize ? event.motion.y / 2 : event.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
      MouseButton = true;
      break;
    case SDL_MOUSEBUTTONUP:
      MouseButton = false;
      break;
    case SDL_QUIT:
      SDL_Quit();
      Halt(2);
    default:
      break;
  }
}

void ProcessEvents() {
  // Before the scripts, so that a key a script holds is not let go here.
  ApplyDeferredReleases();
  if (InputScript) InputScript(FrameCount);
  if (BeforeEvents) BeforeEvents();
  QuitOnHangup();
  SDL_Event event;
  while (SDL_PollEvent(&event)) HandleEvent(event);
  if (ScreenSurface && DisplayNeedsRepaint()) SDL_Flip(ScreenSurface);
  if (AfterEvents) AfterEvents();
}

void ClearKeys() {
  std::memset(KeyState, 0, sizeof KeyState);
  PressedThisPoll.reset();
  ReleaseNextPoll.reset();
}

void ClearKeyBuffer() {
  KeyBuffer.WriteIndex = 0;
  KeyBuffer.ReadIndex = 0;
}

void Init_Audio() {
  const uint32_t v = BASS_GetVersion();
  if ((v >> 16) != 0x0204) {
    Log->Error("An incorrect version of BASS.DLL was loaded", "ZR_SDL, Init_Audio");
    AudioReady = false;
    return;
  }
  Log->Status("BASS V2.4 loaded.", "ZR_SDL, Init_Audio");
  if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
    Log->Error("BASS: Can't initialize device!", "ZR_SDL, Init_Audio");
    AudioReady = false;
  } else {
    Log->Status("BASS: Device initialized.", "ZR_SDL, Init_Audio");
    AudioReady = true;
  }
}

TImagePtr CreateImageWH(int32_t width, int32_t height) {
  SDL_Surface* s = SDL_CreateRGBSurface(0, width, height, static_cast<int>(ScreenDepth), 0, 0, 0, 0);
  if (!s) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    Log->Error("Cannot create surface (" + size + ")", "ZR_SDL, CreateImageWH");
    Halt(1, "cannot create a picture of " + size + " pixels: " + SDL_GetError());
  }
  SDL_FillRect(s, nullptr, 0);
  return std::make_unique<TImage>(s);
}

void FreeImage(PImage image) {
  if (image && image->Surface) {
    SDL_FreeSurface(image->Surface);
    image->Surface = nullptr;
  }
}

void ClearImage(PImage image) {
  if (!image || !image->Surface) return;
  const SDL_PixelFormat* fmt = ScreenSurface ? ScreenSurface->format : image->Surface->format;
  SDL_FillRect(image->Surface, nullptr, SDL_MapRGB(const_cast<SDL_PixelFormat*>(fmt), 0, 0, 0));
}

SDL_Surface* TargetSurface() { return UseBackBuffer && BackSurface ? BackSurface : ScreenSurface; }

void GrabImage(int x, int y, PImage image) {
  if (!image || !image->Surface) return;
  SDL_Rect src = MakeRect(x, y, x + image->Surface->w - 1, y + image->Surface->h - 1);
  Blit(TargetSurface(), &src, image->Surface, 0, 0);
}

void PutImage(int x, int y, PImage image) {
  if (image) Blit(image->Surface, nullptr, TargetSurface(), x, y);
}

void PutImagePart(int x, int y, int sx1, int sy1, int sx2, int sy2, PImage image) {
  if (!image) return;
  SDL_Rect src = MakeRect(sx1, sy1, sx2, sy2);
  Blit(image->Surface, &src, TargetSurface(), x, y);
}

void PutImageOnImage(PImage dest, int x, int y, PImage source) {
  if (dest && source) Blit(source->Surface, nullptr, dest->Surface, x, y);
}

void PutImagePartOnImage(PImage dest, int x, int y, int sx1, int sy1, int sx2, int sy2, PImage source) {
  if (!dest || !source) return;
  SDL_Rect src = MakeRect(sx1, sy1, sx2, sy2);
  Blit(source->Surface, &src, dest->Surface, x, y);
}

void Bar(int x1, int y1, int x2, int y2, uint8_t r, uint8_t g, uint8_t b) {
  SDL_Surface* t = TargetSurface();
  if (!t) return;
  SDL_Rect rect = MakeRect(x1, y1, x2, y2);
  SDL_FillRect(t, &rect, SDL_MapRGB(t->format, r, g, b));
}

void SetClipArea(int x1, int y1, int x2, int y2) {
  if (SDL_Surface* t = TargetSurface()) {
    SDL_Rect rect = MakeRect(x1, y1, x2, y2);
    SDL_SetClipRect(t, &rect);
  }
}

void ClearClipArea() {
  if (SDL_Surface* t = TargetSurface()) SDL_SetClipRect(t, nullptr);
}

void BarColor(int x1, int y1, int x2, int y2, uint32_t pixel) {
  SDL_Surface* t = TargetSurface();
  if (!t) return;
  SDL_Rect rect = MakeRect(x1, y1, x2, y2);
  SDL_FillRect(t, &rect, pixel);
}

void ImageBar(PImage image, int x1, int y1, int x2, int y2, uint8_t r, uint8_t g, uint8_t b) {
  if (!image || !image->Surface) return;
  SDL_Rect rect = MakeRect(x1, y1, x2, y2);
  SDL_FillRect(image->Surface, &rect, SDL_MapRGB(image->Surface->format, r, g, b));
}

uint32_t GetPixel(SDL_Surface* surface, int x, int y) {
  const int bpp = surface->format->BytesPerPixel;
  const uint8_t* p = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch + x * bpp;
  switch (bpp) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 3: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    case 4: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default: return 0;
  }
}

namespace {
void StorePixel(uint8_t* p, int bpp, uint32_t v) {
  switch (bpp) {
    case 1: p[0] = static_cast<uint8_t>(v); break;
    case 2: p[0] = static_cast<uint8_t>(v); p[1] = static_cast<uint8_t>(v >> 8); break;
    case 3:
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      p[2] = static_cast<uint8_t>(v >> 16);
      break;
    case 4: std::memcpy(p, &v, 4); break;
    default: break;
  }
}
}  // namespace

void PutPixel(SDL_Surface* surface, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
  const int bpp = surface->format->BytesPerPixel;
  uint8_t* p = static_cast<uint8_t*>(surface->pixels) + y * surface->pitch + x * bpp;
  StorePixel(p, bpp, SDL_MapRGB(surface->format, r, g, b));
}

void DoublePixels(SDL_Surface* source, SDL_Surface* dest) {
  if (!source || !dest || dest->w < 2 * source->w || dest->h < 2 * source->h) return;
  // Always locked: a run-length encoded picture may not say so in its flags,
  // and its pixels are only there while it is locked.
  if (!LockSurface(source)) return;
  if (!LockSurface(dest)) {
    UnlockSurface(source);
    return;
  }
  const int bpp = source->format->BytesPerPixel;
  for (int y = 0; y < source->h; ++y) {
    for (int x = 0; x < source->w; ++x) {
      const uint32_t v = GetPixel(source, x, y);
      for (int dy = 0; dy < 2; ++dy) {
        uint8_t* row = static_cast<uint8_t*>(dest->pixels) + (2 * y + dy) * dest->pitch;
        for (int dx = 0; dx < 2; ++dx) StorePixel(row + (2 * x + dx) * bpp, bpp, v);
      }
    }
  }
  UnlockSurface(dest);
  UnlockSurface(source);
}

int ImageWidth(PImage image) { return image && image->Surface ? image->Surface->w : 0; }
int ImageHeight(PImage image) { return image && image->Surface ? image->Surface->h : 0; }
int SurfaceWidth(SDL_Surface* surface) { return surface ? surface->w : 0; }
int SurfaceHeight(SDL_Surface* surface) { return surface ? surface->h : 0; }
int SurfaceBytesPerPixel(SDL_Surface* surface) { return surface ? surface->format->BytesPerPixel : 0; }

uint32_t MapColor(SDL_Surface* surface, uint8_t r, uint8_t g, uint8_t b) {
  return surface ? SDL_MapRGB(surface->format, r, g, b) : 0;
}

void GetColor(SDL_Surface* surface, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b) {
  r = g = b = 0;
  if (surface) SDL_GetRGB(pixel, surface->format, &r, &g, &b);
}

void SetImageColorKey(PImage image, bool on) {
  if (!image || !image->Surface) return;
  if (on) {
    SDL_SetColorKey(image->Surface, SDL_SRCCOLORKEY | SDL_RLEACCEL, 0);
  } else {
    SDL_SetColorKey(image->Surface, 0, 0);
    // sdl12-compat keeps blitting with the old key after a lock cycle until
    // the surface is locked once more.
    SDL_LockSurface(image->Surface);
    SDL_UnlockSurface(image->Surface);
  }
  image->ColorKeyed = on;
}

void SetImageAlpha(PImage image, uint8_t alpha) {
  if (image && image->Surface) SDL_SetAlpha(image->Surface, alpha == 255 ? 0 : SDL_SRCALPHA, alpha);
}

// Always locked: sdl12-compat does not report run-length encoded surfaces in
// SDL_MUSTLOCK, yet their pixels are only valid while locked. Locking a plain
// software surface costs nothing.
bool LockSurface(SDL_Surface* surface) {
  if (!surface) return false;
  return SDL_LockSurface(surface) == 0;
}

void UnlockSurface(SDL_Surface* surface) {
  if (surface) SDL_UnlockSurface(surface);
}

void ShowCursor(bool visible) { SDL_ShowCursor(visible ? 1 : 0); }

bool SaveImageBMP(PImage image, const std::string& fileName) {
  return image && image->Surface && SDL_SaveBMP(image->Surface, fileName.c_str()) == 0;
}

void SetFrameClock(std::function<uint32_t()> ticks, std::function<void(uint32_t)> delay) {
  TickSource = std::move(ticks);
  DelaySink = std::move(delay);
  // A deadline on the old clock means nothing on the new one: a test clock
  // run far ahead would otherwise hold SDL's next frame for minutes.
  NextFrameTime = 0;
}

void SetInputScript(std::function<void(uint32_t)> script) { InputScript = std::move(script); }

void SetPauseScript(std::function<void(uint32_t)> script) { PauseScript = std::move(script); }

void WaitForFocus() {
  if (WindowHasFocus()) return;
  Log->Status("Paused", "ZR_SDL, WaitForFocus");
  if (AudioReady) SDL_PauseAudio(1);
  SDL_Event events[16];
  for (uint32_t period = 0; !WindowHasFocus(); ++period) {
    // Shown again each period: a desktop may have drawn over the window.
    if (BackSurface && ScreenSurface) SDL_UpperBlit(BackSurface, nullptr, ScreenSurface, nullptr);
    if (ScreenSurface) PresentSurface(ScreenSurface);
    if (PauseScript) PauseScript(period);
    QuitOnHangup();
    SDL_PumpEvents();
    const int n = SDL_PeepEvents(events, 16, SDL_GETEVENT, SDL_ACTIVEEVENTMASK | SDL_QUITMASK);
    for (int i = 0; i < n; ++i) HandleEvent(events[i]);
    // A paused game needs no frame rate: a few looks a second at the queue.
    if (!WindowHasFocus()) Delay(100);
  }
  if (AudioReady) SDL_PauseAudio(0);
  // The frame after the pause starts its own period instead of catching up.
  NextFrameTime = 0;
  Log->Status("Resumed", "ZR_SDL, WaitForFocus");
}

void PauseSound(bool paused) {
  if (AudioReady) SDL_PauseAudio(paused ? 1 : 0);
}

void SetEventHooks(std::function<void()> before, std::function<void()> after) {
  BeforeEvents = std::move(before);
  AfterEvents = std::move(after);
}

void PushKeyEvent(int sym, bool down, int mod) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = static_cast<SDLKey>(sym);
  e.key.keysym.mod = static_cast<SDLMod>(mod);
  SDL_PushEvent(&e);
}

void PushQuitEvent() {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

void ZR_SDL_Startup() { LogUnitVersion("ZR_SDL", "1.86"); }

// ---------------------------------------------------------------------------
// Pictures into images, and images into collision masks.

#include "RawPictureUnit.h"

namespace {

const char* const kLoadImageLoc = "ZR_SDL, LoadImage";

// Run-length encoded colour-keyed blits beat plain keyed blits only when the
// opaque pixels come in runs of several pixels; on finely dithered pictures
// they are slower. Measured with sdl12-compat: break-even lies near runs of
// six pixels, so shorter average runs keep the plain surface.
constexpr int64_t kMinAverageRun = 6;

bool OpaqueRunsAreLong(SDL_Surface* s) {
  if (!LockSurface(s)) return false;
  int64_t pixels = 0;
  int64_t runs = 0;
  for (int y = 0; y < s->h; ++y) {
    bool inRun = false;
    for (int x = 0; x < s->w; ++x) {
      const bool opaque = GetPixel(s, x, y) != 0;
      if (opaque) {
        ++pixels;
        if (!inRun) ++runs;
      }
      inRun = opaque;
    }
  }
  UnlockSurface(s);
  return pixels >= kMinAverageRun * runs;
}

// The strip rectangle of frames first to last, or false when the strip has
// no frames that wide.
bool FrameRect(PImage image, int32_t first, int32_t last, SDL_Rect& rect) {
  if (!image || !image->Surface || image->FrameCount <= 0) return false;
  if (first < 0 || first >= image->FrameCount || last < first || last >= image->FrameCount) return false;
  const int32_t fw = image->Surface->w / image->FrameCount;
  // More frames than pixel columns: no frame has any width to cut.
  if (fw <= 0) return false;
  rect.x = static_cast<Sint16>(first * fw);
  rect.y = 0;
  rect.w = static_cast<Uint16>((last - first + 1) * fw);
  rect.h = static_cast<Uint16>(image->Surface->h);
  return true;
}

TImagePtr CopyFrames(PImage image, const SDL_Rect& rect) {
  TImagePtr result = CreateImageWH(rect.w, rect.h);
  SDL_Rect src = rect;
  Blit(image->Surface, &src, result->Surface, 0, 0);
  return result;
}

}  // namespace

void SetImageColorKeyRLE(PImage image) {
  if (!image || !image->Surface) return;
  SDL_Surface* s = image->Surface;
  // The run-length flag given here is not honoured by every SDL; converting
  // the keyed surface with it is what actually encodes it.
  SDL_SetColorKey(s, SDL_SRCCOLORKEY | SDL_RLEACCEL, 0);
  image->ColorKeyed = true;
  if (s == ScreenSurface || s == BackSurface || !OpaqueRunsAreLong(s)) return;
  SDL_Surface* encoded = SDL_ConvertSurface(s, s->format, SDL_SRCCOLORKEY | SDL_RLEACCEL);
  if (!encoded) return;  // the plain keyed surface still draws correctly
  SDL_FreeSurface(s);
  image->Surface = encoded;
}

TImagePtr CreateRunLengthCopy(PImage image) {
  if (!image || !image->Surface) return nullptr;
  SDL_Surface* s = image->Surface;
  SDL_Surface* encoded = SDL_ConvertSurface(s, s->format, SDL_SRCCOLORKEY | SDL_RLEACCEL);
  if (!encoded) return nullptr;
  auto copy = std::make_unique<TImage>(encoded);
  copy->ColorKeyed = image->ColorKeyed;
  return copy;
}

TImagePtr CreateImageFromRawPicture(const TRawPicture& picture) {
  const char* const loc = "ZR_SDL, CreateImageFromRawPicture";
  Log->Debug(std::to_string(picture.Width) + ", " + std::to_string(picture.Height) + ", " +
                 std::to_string(picture.ExtraType),
             loc);
  if (picture.Width <= 0 || picture.Height <= 0 ||
      picture.Pixels.size() < static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height) * 3) {
    return nullptr;
  }
  // The picture's pixels are already blue, green, red: SDL reads them in
  // place through its default 24-bit masks, and the blit converts once.
  SDL_Surface* wrap = SDL_CreateRGBSurfaceFrom(const_cast<uint8_t*>(picture.Pixels.data()), picture.Width,
                                               picture.Height, 24, picture.Width * 3, 0, 0, 0, 0);
  if (!wrap) {
    const std::string size = std::to_string(picture.Width) + "x" + std::to_string(picture.Height);
    Log->Error("Cannot create surface (" + size + ")", loc);
    Halt(1, "cannot create a picture of " + size + " pixels: " + SDL_GetError());
  }
  TImagePtr image = CreateImageWH(picture.Width, picture.Height);
  Blit(wrap, nullptr, image->Surface, 0, 0);
  SDL_FreeSurface(wrap);

  if (picture.ExtraType == etShort || picture.ExtraType == etLong) {
    const uint8_t b1 = picture.GetExtraByte(1);
    image->Animated = true;
    image->FrameCount = picture.FrameCount();
    image->FlagC = (b1 & AttrFlagC) != 0;
    image->FlagB = (b1 & AttrFlagB) != 0;
    image->ColorKeyed = (b1 & AttrColorKeyed) != 0;
    image->AttrA = 0;
    image->AttrB = 0;
    const bool randomStart = (b1 & AttrRandomStart) != 0;
    image->StartFrame = 0;
    if (randomStart && image->FrameCount > 0) image->StartFrame = Random(static_cast<uint32_t>(image->FrameCount));
    if (picture.ExtraType == etLong) {
      image->AttrA = picture.GetExtraByte(2);
      image->AttrB = picture.GetExtraByte(3);
      if (!randomStart) image->StartFrame = picture.GetExtraByte(4) + picture.GetExtraByte(5) * 256u;
    }
  }
  if (image->ColorKeyed) SetImageColorKeyRLE(image.get());
  if (image->FrameCount == 0) image->Animated = false;
  return image;
}

TImagePtr ExtractFrame(PImage image, int32_t n) {
  SDL_Rect rect;
  if (!FrameRect(image, n, n, rect)) return nullptr;
  TImagePtr result = CopyFrames(image, rect);
  if (image->ColorKeyed) SetImageColorKeyRLE(result.get());
  return result;
}

TImagePtr ExtractFrames(PImage image, int32_t first, int32_t last) {
  SDL_Rect rect;
  if (!FrameRect(image, first, last, rect)) return nullptr;
  TImagePtr result = CopyFrames(image, rect);
  result->Animated = true;
  result->FrameCount = last - first + 1;
  result->FlagB = image->FlagB;
  result->FlagC = image->FlagC;
  result->AttrA = image->AttrA;
  result->AttrB = image->AttrB;
  result->StartFrame = 0;
  if (image->ColorKeyed) SetImageColorKeyRLE(result.get());
  return result;
}

TMaskPtr CreateMaskFromImage(PImage image) {
  if (!image || !image->Surface) return nullptr;
  SDL_Surface* s = image->Surface;
  // sdl12-compat draws nothing more from a run-length encoded surface that
  // is locked after it has been drawn (and does not always report the
  // encoding in its flags). A keyed surface is therefore read through a
  // plain copy: drawn keyed onto black, its see-through pixels stay 0.
  std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> copy(nullptr, SDL_FreeSurface);
  if (s->flags & (SDL_SRCCOLORKEY | SDL_RLEACCEL | SDL_RLEACCELOK)) {
    copy.reset(SDL_CreateRGBSurface(0, s->w, s->h, s->format->BitsPerPixel, s->format->Rmask, s->format->Gmask,
                                    s->format->Bmask, s->format->Amask));
    if (copy) {
      SDL_FillRect(copy.get(), nullptr, 0);
      SDL_Rect d = At(0, 0);
      if (SDL_UpperBlit(s, nullptr, copy.get(), &d) == 0) {
        s = copy.get();
      }
    }
  }
  if (!LockSurface(s)) {
    Log->Warning("Can't lock surface", "ZR_SDL, CreateMaskFromImage");
    return nullptr;
  }
  auto mask = std::make_unique<TMask>();
  mask->Width = s->w;
  mask->Height = s->h;
  mask->Data.resize(static_cast<size_t>(s->w) * static_cast<size_t>(s->h));
  uint8_t* out = mask->Data.data();
  for (int y = 0; y < s->h; ++y) {
    for (int x = 0; x < s->w; ++x) *out++ = GetPixel(s, x, y) != 0 ? 1 : 0;
  }
  UnlockSurface(s);
  return mask;
}

TImagePtr LoadImage(const std::string& name) {
  Log->Debug("LoadImage(" + name + ")", kLoadImageLoc);
  const TPictureName parts = ParsePictureName(name);
  const std::string extension = PictureExtension(parts.FileName);
  Log->Debug("Before loading...", kLoadImageLoc);
  TRawPicture picture;
  if (!ReadPictureFile(picture, parts.FileName)) {
    Log->Error("Unknown file extension! (" + extension + ")", kLoadImageLoc);
    return nullptr;
  }
  Log->Debug("After loading...", kLoadImageLoc);
  if (picture.Width == 0) return nullptr;
  Log->Debug("Load ok. (" + std::to_string(picture.Width) + "x" + std::to_string(picture.Height) + ")",
             kLoadImageLoc);
  picture.MultiTransform(parts.Transform);
  Log->Debug("After transforming rawpicture.", kLoadImageLoc);
  TImagePtr image = CreateImageFromRawPicture(picture);
  picture.Clear();
  Log->Debug("After converting to image...", kLoadImageLoc);
  if (!image) return nullptr;
  if (parts.FirstFrame >= 0 && image->Animated) {
    TImagePtr clipped = parts.LastFrame >= parts.FirstFrame ? ExtractFrames(image.get(), parts.FirstFrame, parts.LastFrame)
                                                            : ExtractFrame(image.get(), parts.FirstFrame);
    image = std::move(clipped);
    Log->Debug("After clipping (" + std::to_string(parts.FirstFrame) + " - " + std::to_string(parts.LastFrame) +
                   ")...",
               kLoadImageLoc);
  } else {
    Log->Debug("No clipping.", kLoadImageLoc);
  }
  return image;
}

// ---------------------------------------------------------------------------
// Grey sheets of the fonts.

std::unique_ptr<TMemoryStream> ImageToGreyStream(PImage image) {
  auto out = std::make_unique<TMemoryStream>();
  const int w = ImageWidth(image), h = ImageHeight(image);
  out->WriteU16(static_cast<uint16_t>(w));
  out->WriteU16(static_cast<uint16_t>(h));
  if (w == 0 || h == 0) return out;
  SDL_Surface* s = image->Surface;
  std::vector<uint8_t> grey(static_cast<size_t>(w) * h, 0);
  if (LockSurface(s)) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t v = GetPixel(s, x, y);
        grey[static_cast<size_t>(y) * w + x] = GreyLevel(static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                                                         static_cast<uint8_t>(v));
      }
    }
    UnlockSurface(s);
  }
  out->WriteBuffer(grey.data(), static_cast<int64_t>(grey.size()));
  return out;
}

TImagePtr CreateTintedImage(TStream& stream, uint8_t r, uint8_t g, uint8_t b) {
  const int w = stream.ReadU16(), h = stream.ReadU16();
  // A wider sheet would overflow the 16-bit row pitch of the surfaces.
  if (w == 0 || h == 0 || w > 16383) return nullptr;
  std::vector<uint8_t> grey(static_cast<size_t>(w) * h, 0);
  stream.Read(grey.data(), static_cast<int64_t>(grey.size()));
  std::vector<uint8_t> rgb(grey.size() * 3);
  for (size_t i = 0; i < grey.size(); ++i) {
    const unsigned v = grey[i];
    rgb[i * 3 + 0] = static_cast<uint8_t>(v * b / 256);
    rgb[i * 3 + 1] = static_cast<uint8_t>(v * g / 256);
    rgb[i * 3 + 2] = static_cast<uint8_t>(v * r / 256);
  }
  // Blue, green, red bytes in memory: the 24-bit masks of a little-endian surface.
  SDL_Surface* wrap = SDL_CreateRGBSurfaceFrom(rgb.data(), w, h, 24, w * 3, 0xFF0000, 0x00FF00, 0x0000FF, 0);
  TImagePtr image = CreateImageWH(w, h);
  if (wrap) {
    SDL_BlitSurface(wrap, nullptr, image->Surface, nullptr);
    SDL_FreeSurface(wrap);
  }
  return image;
}

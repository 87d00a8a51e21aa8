#pragma once
// The program's one door to the display, keyboard, mouse and frame clock.
// Nothing outside the platform folder includes SDL: other code sees surfaces
// only as opaque pointers and draws through the functions below.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct SDL_Surface;
union SDL_Event;
class TFIFOStringList;

// A drawable picture: a surface plus its animation attributes. An animated
// image is a horizontal strip of FrameCount equally wide frames.
struct TImage {
  SDL_Surface* Surface = nullptr;
  bool Animated = false;
  bool FlagB = false;
  bool FlagC = false;
  bool ColorKeyed = false;
  int32_t FrameCount = 0;
  uint32_t AttrA = 0;
  uint32_t AttrB = 0;
  uint32_t StartFrame = 0;

  TImage() = default;
  explicit TImage(SDL_Surface* surface) : Surface(surface) {}
  ~TImage();  // frees the surface it still holds
  TImage(const TImage&) = delete;
  TImage& operator=(const TImage&) = delete;
};
using PImage = TImage*;
using TImagePtr = std::unique_ptr<TImage>;

// Input events as the on-screen components see them.
struct TInputEvent {
  enum TKind { KeyDown, KeyUp, MouseMotion, MouseButtonDown, MouseButtonUp, Other } Kind = Other;
  int Sym = 0;          // key symbol for key events
  int Mod = 0;          // key modifiers
  int X = 0, Y = 0;     // pointer position (logical) for mouse events
  int Button = 0;
};

// The container of on-screen input components; the UI supplies the real one.
class TMouseObjectsBase {
 public:
  virtual ~TMouseObjectsBase() = default;
  // True when a component consumed the event.
  virtual bool HandleEvent(const TInputEvent& event) = 0;
};
void SetMouseObjectsFactory(std::function<std::unique_ptr<TMouseObjectsBase>()> factory);

// The typed-character ring: 255 slots, the oldest character dropped when full.
struct TKeyRing {
  uint8_t Buffer[255] = {};
  uint8_t WriteIndex = 0;
  uint8_t ReadIndex = 0;
  void Push(uint8_t c);
  bool Pop(uint8_t& c);
  int Count() const;
};

// Flag bits of Initialize.
constexpr uint32_t VF_FULLSCREEN = 0x80000000u;
constexpr uint32_t VF_BACKBUFFER = 0x04000000u;
constexpr uint32_t VF_HALFSIZE = 0x08000000u;

// Module state.
extern SDL_Surface* ScreenSurface;
extern SDL_Surface* BackSurface;
extern PImage ScreenImage;
extern PImage BackImage;
extern uint32_t ScreenWidth;
extern uint32_t ScreenHeight;
extern uint32_t ScreenDepth;
extern bool UseBackBuffer;
extern bool HalfSize;
extern uint32_t FrameTime;
extern uint32_t NextFrameTime;
extern uint32_t FrameCount;
extern uint32_t SpareTotal;
extern bool KeyState[512];
extern TKeyRing KeyBuffer;
extern int16_t MouseX;
extern int16_t MouseY;
extern bool MouseButton;
extern float SavedVolume;
extern bool AudioReady;
extern std::unique_ptr<TMouseObjectsBase> MouseObjects;
extern std::unique_ptr<TFIFOStringList> ComponentMessages;

// Key symbols the game reads.
constexpr int SYM_RETURN = 13, SYM_ESCAPE = 27, SYM_SPACE = 32, SYM_Q = 113, SYM_KP_MINUS = 269,
              SYM_KP_PLUS = 270, SYM_UP = 273, SYM_DOWN = 274, SYM_RIGHT = 275, SYM_LEFT = 276,
              SYM_F12 = 293;
constexpr int SYM_N = 110, SYM_P = 112, SYM_Y = 121;

void Initialize(uint16_t width, uint16_t height, uint16_t depth, uint32_t flags);
void Finalize();
void SetFrameRate(uint32_t fps);
uint32_t TimeLeft();
// Presents the back buffer at the frame deadline; a frame ready after its
// deadline is presented at once and starts the next period.
void Flip();
// Waits for the frame deadline, without presenting anything: the pace of
// screens that hold a picture for a number of frames (a missed deadline
// starts a new period, which it waits out). Does not wait when frames are
// unpaced.
void WaitForFrame();
void ProcessEvents();
// Handles one event as ProcessEvents does (test seam and replay entry).
void HandleEvent(const SDL_Event& event);
void ClearKeys();
void ClearKeyBuffer();
void Init_Audio();

TImagePtr CreateImageWH(int32_t width, int32_t height);
void FreeImage(PImage image);
void ClearImage(PImage image);
void GrabImage(int x, int y, PImage image);
void PutImage(int x, int y, PImage image);
void PutImagePart(int x, int y, int sx1, int sy1, int sx2, int sy2, PImage image);
void PutImageOnImage(PImage dest, int x, int y, PImage source);
void PutImagePartOnImage(PImage dest, int x, int y, int sx1, int sy1, int sx2, int sy2, PImage source);
void Bar(int x1, int y1, int x2, int y2, uint8_t r, uint8_t g, uint8_t b);
// Drawing into the back buffer (or the display without one) stays inside
// the rectangle (x1, y1)-(x2, y2) until ClearClipArea.
void SetClipArea(int x1, int y1, int x2, int y2);
void ClearClipArea();
void BarColor(int x1, int y1, int x2, int y2, uint32_t pixel);
void ImageBar(PImage image, int x1, int y1, int x2, int y2, uint8_t r, uint8_t g, uint8_t b);
uint32_t GetPixel(SDL_Surface* surface, int x, int y);
void PutPixel(SDL_Surface* surface, int x, int y, uint8_t r, uint8_t g, uint8_t b);
void DoublePixels(SDL_Surface* source, SDL_Surface* dest);

// Surface facts and settings for code outside the platform folder.
int ImageWidth(PImage image);
int ImageHeight(PImage image);
int SurfaceWidth(SDL_Surface* surface);
int SurfaceHeight(SDL_Surface* surface);
int SurfaceBytesPerPixel(SDL_Surface* surface);
uint32_t MapColor(SDL_Surface* surface, uint8_t r, uint8_t g, uint8_t b);
void GetColor(SDL_Surface* surface, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b);
// Colour key 0 (black) on or off, with run-length acceleration when on.
void SetImageColorKey(PImage image, bool on);
// Per-surface alpha, 255 opaque.
void SetImageAlpha(PImage image, uint8_t alpha);
// Locks the surface for pixel access; false when the lock failed.
bool LockSurface(SDL_Surface* surface);
void UnlockSurface(SDL_Surface* surface);
void ShowCursor(bool visible);
bool SaveImageBMP(PImage image, const std::string& fileName);
// The drawing target of code that has none of its own.
SDL_Surface* TargetSurface();

// Test seam: the clock Flip paces by. `ticks` replaces SDL_GetTicks and
// `delay` replaces SDL_Delay; pass nullptr for both to restore SDL's. The
// frame deadline starts afresh on the new clock.
void SetFrameClock(std::function<uint32_t()> ticks, std::function<void(uint32_t)> delay);

// Test and replay seam: called at the start of every ProcessEvents with the
// number of frames flipped so far, before SDL's queue is drained. A script
// pushes events (PushKeyEvent) or sets KeyState for that frame.
void SetInputScript(std::function<void(uint32_t frame)> script);
// Replay seam: `before` runs at the start of every ProcessEvents (after the
// input script), `after` once SDL's queue is drained. nullptr removes a hook.
void SetEventHooks(std::function<void()> before, std::function<void()> after);
// Replay playback: key presses and releases from the window are dropped (F12
// still mutes); the replay supplies the keys instead.
extern bool WindowKeysIgnored;
// Timedemo and headless runs: Flip presents without waiting for the frame
// deadline. The frame statistics then count no spare time.
extern bool UnpacedFrames;
// While the window is away (WindowHasFocus false): keeps showing the back
// buffer as it is, with the sound paused, until the focus comes back or the
// window is closed. Only focus and close events are taken from SDL's queue
// meanwhile; keys wait there for the next ProcessEvents. No frame is counted
// and no input script or event hook runs, so replays never see the pause.
void WaitForFocus();
// Holds or releases the sound output, as the focus pause does; the game's own
// pause uses it while its frames stand still.
void PauseSound(bool paused);
// Test seam: called once per paused period with the number of periods so far.
void SetPauseScript(std::function<void(uint32_t period)> script);
// Queues a key press or release as if the keyboard had sent it.
void PushKeyEvent(int sym, bool down, int mod = 0);
// Queues a window-close request.
void PushQuitEvent();

void ZR_SDL_Startup();

// ---------------------------------------------------------------------------
// Pictures into images, and images into collision masks.

#include <vector>

class TRawPicture;

// The collision mask of an image: one byte per pixel, rows top to bottom, no
// padding; 1 where the image pixel is not 0 (not black), 0 where it is.
struct TMask {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Data;  // Width * Height bytes; pixel (x, y) at y * Width + x
};
using PMask = TMask*;
using TMaskPtr = std::unique_ptr<TMask>;

// Loads "file[a..b]:transform" into an image at the display depth: reader by
// extension, transformation string, animation attributes and colour key,
// then the frame selection. Null on failure (the reason is in the log).
TImagePtr LoadImage(const std::string& name);
// A new image holding the picture's pixels at the display depth with the
// attributes of its attribute block; the picture stays the caller's.
TImagePtr CreateImageFromRawPicture(const TRawPicture& picture);
// Frame n of an animated strip as a single, not animated image; null when n
// lies outside the strip.
TImagePtr ExtractFrame(PImage image, int32_t n);
// Frames first to last of a strip as a new strip starting on frame 0; null
// when the range lies outside the strip.
TImagePtr ExtractFrames(PImage image, int32_t first, int32_t last);
// The mask of the whole surface (all frames of a strip); null when there is
// no surface or it cannot be locked.
TMaskPtr CreateMaskFromImage(PImage image);
// Makes black transparent on the image: colour key 0, stored run-length
// encoded where that makes its blits faster. Sets ColorKeyed.
void SetImageColorKeyRLE(PImage image);
// A copy of a colour-keyed image, run-length encoded whatever its runs, for
// drawing from only: an encoded surface must never be drawn on or locked.
// Null when the image has no surface or the copy failed.
TImagePtr CreateRunLengthCopy(PImage image);

// ---------------------------------------------------------------------------
// Grey sheets of the fonts: an image reduced to grey levels, and tinted back.

class TMemoryStream;
class TStream;

// The grey levels of an image: width and height (16 bits each), then one
// byte per pixel, rows top down, (R * 30 + G * 59 + B * 11) div 100 of the
// raw pixel value's bits 16-23, 8-15 and 0-7.
std::unique_ptr<TMemoryStream> ImageToGreyStream(PImage image);
// A new image at the display depth from a grey stream (read from its
// current position): level v becomes red v * r div 256, green v * g div 256,
// blue v * b div 256. Levels missing from a short stream count as 0.
TImagePtr CreateTintedImage(TStream& stream, uint8_t r, uint8_t g, uint8_t b);

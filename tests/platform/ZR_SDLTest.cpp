#include <gtest/gtest.h>
#include <SDL.h>

#include <algorithm>
#include <vector>

#include "BASS.h"
#include "Logger.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "ZR_SDL.h"

namespace {

// A clock that only moves when Flip waits, so pacing is exact and instant.
struct TFakeClock {
  uint32_t Now = 1000;
  std::vector<uint32_t> Delays;
  void Install() {
    SetFrameClock([this] { return Now; },
                  [this](uint32_t ms) {
                    Delays.push_back(ms);
                    Now += ms;
                  });
  }
  ~TFakeClock() { SetFrameClock(nullptr, nullptr); }
};

class Display : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearKeys();
    ClearKeyBuffer();
    Initialize(640, 400, 32, VF_BACKBUFFER);
    NextFrameTime = 0;
  }
  void TearDown() override {
    if (ScreenSurface) Finalize();
  }
  vgrtest::TScopedLog Log_;
};

using vgrtest::Matching;

}  // namespace

TEST(FrameRate, PeriodIsIntegerDivision) {
  SetFrameRate(60);
  EXPECT_EQ(FrameTime, 16u);
  SetFrameRate(40);
  EXPECT_EQ(FrameTime, 25u);
  SetFrameRate(0);  // never a division by zero
  EXPECT_EQ(FrameTime, 1000u);
  SetFrameRate(60);
}

TEST_F(Display, OpensWindowWithBackBufferAndCaption) {
  EXPECT_EQ(ScreenWidth, 640u);
  EXPECT_EQ(ScreenHeight, 400u);
  ASSERT_NE(BackImage, nullptr);
  EXPECT_EQ(ImageWidth(BackImage), 640);
  EXPECT_EQ(ImageHeight(BackImage), 400);
  EXPECT_TRUE(BackImage->FlagC);
  EXPECT_TRUE(ScreenImage->FlagC);
  char* title = nullptr;
  SDL_WM_GetCaption(&title, nullptr);
  ASSERT_NE(title, nullptr);
  EXPECT_STREQ(title, "ORVANTI SDL Application");
  ASSERT_NE(ComponentMessages, nullptr);
}

TEST_F(Display, FlipPacesFramesAndCountsSpareTime) {
  TFakeClock clock;
  clock.Install();
  SetFrameRate(60);
  // First flip: no deadline yet, so it is shown at once and starts the first period.
  Flip();
  EXPECT_EQ(SpareTotal, 0u);
  EXPECT_TRUE(clock.Delays.empty());
  // A frame ready 5 ms early adds 5 and waits 5.
  clock.Now += 11;
  Flip();
  EXPECT_EQ(SpareTotal, 5u);
  EXPECT_EQ(clock.Delays, std::vector<uint32_t>{5});
  // A late frame adds nothing and is shown at once; lost time is not caught
  // up: the next period starts from that moment.
  clock.Delays.clear();
  clock.Now += 40;
  Flip();
  EXPECT_EQ(SpareTotal, 5u);
  EXPECT_TRUE(clock.Delays.empty());
  clock.Now += 4;
  Flip();
  EXPECT_EQ(SpareTotal, 17u);
  EXPECT_EQ(clock.Delays, std::vector<uint32_t>{12});
  EXPECT_EQ(FrameCount, 4u);
}

TEST_F(Display, FinalizeWritesAverageSpareTime) {
  TFakeClock clock;
  clock.Install();
  SetFrameRate(60);
  Flip();             // arms the deadline: 0 spare
  clock.Now += 6;     // 10 left
  Flip();
  clock.Now += 5;     // 11 left
  Flip();
  SpareTotal = 0;     // count only the three frames below
  FrameCount = 0;
  clock.Now += 6;
  Flip();             // 10
  clock.Now += 5;
  Flip();             // 11
  clock.Now += 16;
  Flip();             // 0
  EXPECT_EQ(SpareTotal, 21u);
  Finalize();
  EXPECT_EQ(Matching(Log_.Lines(), "Average"),
            std::vector<std::string>{"(ZR_SDL, Finalize) ZR_SDL: Average ms remaining in each frame: 7"});
}

TEST_F(Display, FinalizeAfterNoFlipWritesNoAverage) {
  Finalize();
  EXPECT_TRUE(Matching(Log_.Lines(), "Average").empty());
}

TEST(KeyRing, HoldsAtMost254AndDropsTheOldest) {
  TKeyRing ring;
  for (int i = 0; i < 254; ++i) ring.Push(static_cast<uint8_t>(i));
  EXPECT_EQ(ring.Count(), 254);
  ring.Push(254);  // the 255th character drops the first
  EXPECT_EQ(ring.Count(), 254);
  uint8_t c = 0;
  ASSERT_TRUE(ring.Pop(c));
  EXPECT_EQ(c, 1);
  int n = 1;
  uint8_t last = c;
  while (ring.Pop(c)) {
    ++n;
    last = c;
  }
  EXPECT_EQ(n, 254);
  EXPECT_EQ(last, 254);
}

TEST_F(Display, KeyEventsFillKeyStateAndTheRing) {
  PushKeyEvent('a', true, KMOD_LSHIFT);
  PushKeyEvent('b', true);
  PushKeyEvent('c', true, KMOD_RSHIFT);
  PushKeyEvent(SYM_UP, true);  // 273: held, but types nothing
  PushKeyEvent('1', true, KMOD_LSHIFT);  // shift changes letters only
  ProcessEvents();
  EXPECT_TRUE(KeyState[int{'a'}]);
  EXPECT_TRUE(KeyState[SYM_UP]);
  std::string typed;
  uint8_t ch;
  while (KeyBuffer.Pop(ch)) typed += static_cast<char>(ch);
  EXPECT_EQ(typed, "AbC1");
  PushKeyEvent('a', false);
  ProcessEvents();
  EXPECT_FALSE(KeyState[int{'a'}]);
  ClearKeys();
  EXPECT_FALSE(KeyState[SYM_UP]);
}

// A tap shorter than a frame still reaches one frame; a release in a later
// poll, or a second press after the tap, behaves as ever.
TEST_F(Display, KeyTappedWithinOnePollIsHeldUntilTheNextPoll) {
  PushKeyEvent(SYM_RETURN, true);
  PushKeyEvent(SYM_RETURN, false);
  PushKeyEvent('x', true);
  PushKeyEvent('x', false);
  PushKeyEvent('x', true);
  ProcessEvents();
  EXPECT_TRUE(KeyState[SYM_RETURN]);
  EXPECT_TRUE(KeyState[int{'x'}]);
  ProcessEvents();
  EXPECT_FALSE(KeyState[SYM_RETURN]);
  EXPECT_TRUE(KeyState[int{'x'}]);
  PushKeyEvent('x', false);
  ProcessEvents();
  EXPECT_FALSE(KeyState[int{'x'}]);
}

TEST_F(Display, F12TogglesMuteAndIsNeverSeenHeld) {
  // While muted the display shows a struck-through loudspeaker at the top
  // right; the back buffer never holds it.
  UnpacedFrames = true;
  const auto shown = [](int x, int y) {
    uint8_t r = 0, g = 0, b = 0;
    LockSurface(ScreenSurface);
    GetColor(ScreenSurface, GetPixel(ScreenSurface, x, y), r, g, b);
    UnlockSurface(ScreenSurface);
    return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
  };
  constexpr int kCrossX = 629, kCrossY = 7, kSpeakerX = 623, kSpeakerY = 8;
  Bar(0, 0, 639, 399, 0, 0, 0);
  Flip();
  EXPECT_EQ(shown(kCrossX, kCrossY), 0u);
  BASS_SetVolume(60.0f);
  PushKeyEvent(SYM_F12, true);
  ProcessEvents();
  EXPECT_FALSE(KeyState[SYM_F12]);
  EXPECT_EQ(BASS_GetVolume(), 0.0f);
  EXPECT_EQ(SavedVolume, 60.0f);
  Flip();
  EXPECT_EQ(shown(kCrossX, kCrossY), 0xEC5030u);
  EXPECT_EQ(shown(kSpeakerX, kSpeakerY), 0xC4C8D4u);
  LockSurface(BackSurface);
  EXPECT_EQ(GetPixel(BackSurface, kCrossX, kCrossY), 0u);
  UnlockSurface(BackSurface);
  PushKeyEvent(SYM_F12, true);
  ProcessEvents();
  EXPECT_EQ(BASS_GetVolume(), 60.0f);
  Flip();
  EXPECT_EQ(shown(kCrossX, kCrossY), 0u);
  UnpacedFrames = false;
  // Already silent before the first press: restores the initial 100.
  BASS_SetVolume(0.0f);
  SavedVolume = 100.0f;
  PushKeyEvent(SYM_F12, true);
  ProcessEvents();
  EXPECT_EQ(BASS_GetVolume(), 100.0f);
}

TEST_F(Display, MouseStateFollowsEvents) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = 123;
  e.motion.y = 45;
  HandleEvent(e);
  EXPECT_EQ(MouseX, 123);
  EXPECT_EQ(MouseY, 45);
  e = SDL_Event{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = 3;
  HandleEvent(e);
  EXPECT_TRUE(MouseButton);
  e.type = SDL_MOUSEBUTTONUP;
  HandleEvent(e);
  EXPECT_FALSE(MouseButton);
}

TEST_F(Display, WindowCloseEndsWithExitCode2) {
  PushQuitEvent();
  int code = -1;
  try {
    ProcessEvents();
  } catch (const THaltRequest& h) {
    code = h.ExitCode;
  }
  EXPECT_EQ(code, 2);
  ScreenSurface = nullptr;  // SDL was shut down by the close
  BackSurface = nullptr;
}

TEST_F(Display, BarClipsAndMapsColours) {
  Bar(-5, -5, 2, 2, 255, 0, 0);
  Bar(638, 398, 700, 700, 0, 0, 255);
  SDL_Surface* s = BackSurface;
  const uint32_t red = SDL_MapRGB(s->format, 255, 0, 0);
  const uint32_t blue = SDL_MapRGB(s->format, 0, 0, 255);
  EXPECT_EQ(GetPixel(s, 0, 0), red);
  EXPECT_EQ(GetPixel(s, 2, 2), red);
  EXPECT_EQ(GetPixel(s, 3, 3), 0u);
  EXPECT_EQ(GetPixel(s, 639, 399), blue);
  EXPECT_EQ(GetPixel(s, 637, 399), 0u);
}

TEST_F(Display, ImagesBlitWithColourKeyAndGrab) {
  TImagePtr img = CreateImageWH(4, 2);
  EXPECT_EQ(ImageWidth(img.get()), 4);
  EXPECT_FALSE(img->Animated);
  ImageBar(img.get(), 0, 0, 1, 1, 0, 255, 0);  // left half green, right half black
  Bar(0, 0, 639, 399, 0, 0, 255);
  SetImageColorKey(img.get(), true);
  PutImage(10, 10, img.get());
  SDL_Surface* s = BackSurface;
  EXPECT_EQ(GetPixel(s, 10, 10), SDL_MapRGB(s->format, 0, 255, 0));
  EXPECT_EQ(GetPixel(s, 12, 10), SDL_MapRGB(s->format, 0, 0, 255));  // black was transparent
  SetImageColorKey(img.get(), false);
  PutImagePart(20, 20, 2, 0, 3, 1, img.get());  // only the black half
  EXPECT_EQ(GetPixel(s, 20, 20), 0u);
  EXPECT_EQ(GetPixel(s, 22, 20), SDL_MapRGB(s->format, 0, 0, 255));
  TImagePtr grab = CreateImageWH(2, 2);
  GrabImage(10, 10, grab.get());
  EXPECT_EQ(GetPixel(grab->Surface, 1, 1), SDL_MapRGB(s->format, 0, 255, 0));
  ClearImage(grab.get());
  EXPECT_EQ(GetPixel(grab->Surface, 1, 1), 0u);
}

TEST(Pixels, GetAndPutForEveryWidth) {
  for (int depth : {8, 16, 24, 32}) {
    SDL_Surface* s = SDL_CreateRGBSurface(0, 5, 3, depth, 0, 0, 0, 0);
    ASSERT_NE(s, nullptr) << depth;
    ASSERT_EQ(s->format->BitsPerPixel, depth);
    SDL_FillRect(s, nullptr, 0);
    PutPixel(s, 4, 2, 255, 255, 255);
    const uint32_t white = SDL_MapRGB(s->format, 255, 255, 255);
    EXPECT_EQ(GetPixel(s, 4, 2), white) << depth;
    EXPECT_EQ(GetPixel(s, 3, 2), 0u) << depth;
    if (depth == 24) {
      // The three bytes, low byte first, and nothing beyond them.
      const uint8_t* p = static_cast<uint8_t*>(s->pixels) + 2 * s->pitch + 4 * 3;
      EXPECT_EQ(p[0] | (p[1] << 8) | (p[2] << 16), static_cast<int>(white));
    }
    SDL_FreeSurface(s);
  }
}

TEST(Pixels, DoublePixelsEveryWidthKeepsTheByteAfter24BitPixels) {
  for (int depth : {8, 16, 24, 32}) {
    SDL_Surface* src = SDL_CreateRGBSurface(0, 2, 2, depth, 0, 0, 0, 0);
    SDL_Surface* dst = SDL_CreateRGBSurface(0, 5, 4, depth, 0, 0, 0, 0);
    SDL_FillRect(src, nullptr, 0);
    SDL_FillRect(dst, nullptr, SDL_MapRGB(dst->format, 9, 9, 9));
    PutPixel(src, 1, 0, 255, 255, 255);
    const uint32_t white = SDL_MapRGB(dst->format, 255, 255, 255);
    const uint32_t grey = SDL_MapRGB(dst->format, 9, 9, 9);
    DoublePixels(src, dst);
    EXPECT_EQ(GetPixel(dst, 2, 0), white) << depth;
    EXPECT_EQ(GetPixel(dst, 3, 1), white) << depth;
    EXPECT_EQ(GetPixel(dst, 1, 1), 0u) << depth;
    EXPECT_EQ(GetPixel(dst, 4, 0), grey) << depth;  // outside the doubled area
    EXPECT_EQ(GetPixel(dst, 4, 1), grey) << depth;  // the bytes right after a doubled row
    // Too small a destination: nothing happens.
    SDL_Surface* small = SDL_CreateRGBSurface(0, 3, 4, depth, 0, 0, 0, 0);
    SDL_FillRect(small, nullptr, grey);
    DoublePixels(src, small);
    EXPECT_EQ(GetPixel(small, 0, 0), grey);
    SDL_FreeSurface(small);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
  }
}

TEST(HalfSize, BackBufferIsHalfAndPointerIsHalved) {
  vgrtest::TScopedLog log;
  Initialize(640, 400, 32, VF_BACKBUFFER | VF_HALFSIZE);
  EXPECT_EQ(ScreenWidth, 320u);
  EXPECT_EQ(ScreenHeight, 200u);
  EXPECT_EQ(ImageWidth(BackImage), 320);
  EXPECT_EQ(SurfaceWidth(ScreenSurface), 640);
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = 639;
  e.motion.y = 399;
  HandleEvent(e);
  EXPECT_EQ(MouseX, 319);
  EXPECT_EQ(MouseY, 199);
  Bar(0, 0, 0, 0, 255, 255, 255);
  SetFrameRate(1000);
  Flip();
  EXPECT_EQ(GetPixel(ScreenSurface, 1, 1), SDL_MapRGB(ScreenSurface->format, 255, 255, 255));
  EXPECT_EQ(GetPixel(ScreenSurface, 2, 2), 0u);
  Finalize();
  SetFrameRate(60);
}

TEST(FullScreen, OpensWindowedFirstAndStartsAudioOnce) {
  vgrtest::TScopedLog log;
  Initialize(640, 400, 32, VF_FULLSCREEN | VF_BACKBUFFER);
  ASSERT_NE(ScreenSurface, nullptr);
  EXPECT_EQ(Matching(log.Lines(), "BASS V2.4 loaded.").size(), 1u);
  Finalize();
}

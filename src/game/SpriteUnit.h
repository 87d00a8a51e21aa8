#pragma once
// A picture at a pixel position that draws itself into a target image, plays
// the frames of an animated strip at the speed the picture asks for, and
// erases itself from a stored clean background.

#include <cstdint>

#include "ZR_SDL.h"

// When set, the target of sprites created afterwards.
extern PImage SpriteTarget;

class TSprite {
 public:
  // Target: SpriteTarget, else the back buffer, else the display. The image
  // is not owned.
  TSprite(int32_t x, int32_t y, PImage image);
  virtual ~TSprite() = default;
  TSprite(const TSprite&) = delete;
  TSprite& operator=(const TSprite&) = delete;

  // The clean copy of the play area, and the target position its pixel
  // (0, 0) stands for.
  void SetBackground(PImage background, int32_t originX, int32_t originY);
  // Another picture of the same frame width (a strip or a single frame).
  void SetImage(PImage image);

  virtual void Step() {}
  virtual void Draw();
  virtual void Erase();
  virtual void SetPosition(int32_t x, int32_t y);
  virtual void MoveBy(int32_t dx, int32_t dy);
  virtual void Hide();
  virtual void Show();

  int32_t X = 0;
  int32_t Y = 0;
  int32_t BackOriginX = 0;
  int32_t BackOriginY = 0;
  int32_t FrameWidth = 0;
  int32_t FrameCount = 0;
  int32_t CurrentFrame = 0;
  int32_t DelayCounter = -1;
  int32_t HoldCounter = -1;
  int32_t FrameDelay = 0;  // draws per frame, minus one
  int32_t HoldCount = 0;   // extra frame periods on the last frame
  PImage Image = nullptr;
  PImage Background = nullptr;
  PImage Target = nullptr;
  bool Hidden = false;
  bool Animated = false;
  bool Looping = false;
  bool Paused = false;
  bool Visible = false;
  bool Finished = false;
  bool Reverse = false;

 private:
  void Advance();
};

void SpriteUnit_Startup();

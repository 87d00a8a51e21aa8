#include "SpriteUnit.h"

#include "Logger.h"

PImage SpriteTarget = nullptr;

TSprite::TSprite(int32_t x, int32_t y, PImage image) {
  Target = SpriteTarget ? SpriteTarget : (BackImage ? BackImage : ScreenImage);
  X = x;
  Y = y;
  Image = image;
  Background = nullptr;
  Paused = false;
  if (image && image->Animated && image->FrameCount > 0) {
    Animated = true;
    FrameCount = image->FrameCount;
    FrameWidth = ImageWidth(image) / FrameCount;
    CurrentFrame = static_cast<int32_t>(image->StartFrame);
    Looping = image->FlagB;
    Paused = image->FlagC;
    FrameDelay = static_cast<int32_t>(image->AttrA);
    HoldCount = static_cast<int32_t>(image->AttrB);
    Reverse = false;
    DelayCounter = -1;
    HoldCounter = -1;
  } else {
    Animated = false;
    CurrentFrame = 0;
    FrameWidth = ImageWidth(image);
  }
  Hidden = false;
  Finished = false;
  Visible = true;
}

void TSprite::SetBackground(PImage background, int32_t originX, int32_t originY) {
  Background = background;
  BackOriginX = originX;
  BackOriginY = originY;
}

void TSprite::SetImage(PImage image) {
  Image = image;
  // A sprite made from an empty picture has no frame width yet: the new
  // picture then counts as one frame of its own width.
  if (FrameWidth <= 0) FrameWidth = ImageWidth(image);
  FrameCount = FrameWidth > 0 ? ImageWidth(image) / FrameWidth : 0;
}

void TSprite::Draw() {
  if (Hidden || !Visible || !Image) return;
  if (!Animated) {
    PutImageOnImage(Target, X, Y, Image);
    return;
  }
  PutImagePartOnImage(Target, X, Y, FrameWidth * CurrentFrame, 0, FrameWidth * (CurrentFrame + 1) - 1,
                      ImageHeight(Image) - 1, Image);
  if (Paused) return;
  ++DelayCounter;
  if (DelayCounter == FrameDelay) {
    DelayCounter = -1;
    Advance();
  }
}

void TSprite::Advance() {
  const bool atEnd = Reverse ? CurrentFrame == 0 : CurrentFrame == FrameCount - 1;
  if (!atEnd) {
    CurrentFrame += Reverse ? -1 : 1;
    return;
  }
  if (!Looping) {
    Finished = true;
    return;
  }
  ++HoldCounter;
  if (HoldCounter == HoldCount) {
    CurrentFrame = Reverse ? FrameCount - 1 : 0;
    HoldCounter = -1;
  }
}

void TSprite::Erase() {
  if (Hidden || !Visible || !Image) return;
  const int32_t w = Animated ? FrameWidth : ImageWidth(Image);
  const int32_t h = ImageHeight(Image);
  if (Background) {
    const int32_t sx = X - BackOriginX;
    const int32_t sy = Y - BackOriginY;
    PutImagePartOnImage(Target, X, Y, sx, sy, sx + w - 1, sy + h - 1, Background);
  } else {
    ImageBar(Target, X, Y, X + w - 1, Y + h - 1, 0, 0, 0);
  }
}

void TSprite::SetPosition(int32_t x, int32_t y) {
  X = x;
  Y = y;
}

void TSprite::MoveBy(int32_t dx, int32_t dy) {
  X += dx;
  Y += dy;
}

void TSprite::Hide() { Hidden = true; }

void TSprite::Show() { Hidden = false; }

void SpriteUnit_Startup() { LogUnitVersion("SpriteUnit", "3.11"); }

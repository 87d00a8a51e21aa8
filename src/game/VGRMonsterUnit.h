#pragma once
// A monster patrols one row of a level from side to side. It is no sprite:
// it draws itself from its two animation strips and erases itself from the
// game loop's clean copy of the playfield, and offers the mask of the frame
// it shows for the collision test.

#include <cstdint>

#include "CollisionCheckerUnit.h"
#include "LogicChecksum.h"
#include "VGRMapUnit.h"
#include "ZR_SDL.h"

// Every value that decides where a monster is and what it does next, declared
// once: the monster holds them as its fields and a saved state holds them as
// one copy, so a value added here is saved and restored with the rest.
struct TMonsterLogic {
  uint16_t LeftLimit = 0;
  uint16_t RightLimit = 0;
  uint16_t X = 0;
  uint16_t Y = 0;
  int32_t Speed = 0;  // frames per one-pixel step
  int32_t Dir = 1;    // -1 left, 1 right
  uint16_t AnimCounter = 0;  // the frame shown is AnimCounter div 4
  uint16_t AnimLimit = 0;
  uint16_t SpeedCounter = 0;
};

class TMonster : public TMonsterLogic {
 public:
  static constexpr int32_t FrameWidth = 32;
  static constexpr int32_t FrameHeight = 16;
  static constexpr int32_t MaxFrames = 16;

  // Limits and start from the record; the strips "M1" + number (walking
  // left) and "M2" + number (walking right) from Resources.Images. The
  // background is the game loop's playfield copy, whose pixel (0, 0) is the
  // screen point (62, 22); not owned.
  TMonster(const TMonsterStart& start, PImage background);
  virtual ~TMonster();
  TMonster(const TMonster&) = delete;
  TMonster& operator=(const TMonster&) = delete;

  // The current frame into the back buffer at (X, Y).
  void Draw();
  // The monster's 32 x 16 rectangle back from the background copy.
  void Erase();
  // One frame of movement.
  void Move();
  // The mask of the frame shown, at (X, Y). The record is also kept in
  // CollisionRect.
  TCollisionRect Bounds();

  TMonsterLogic SaveLogic() const;
  void RestoreLogic(const TMonsterLogic& logic);
  void AddToChecksum(TLogicChecksum& sum) const;

  // Frames of the strips (1..16; 0 when the strip is missing).
  int32_t FrameCountOf() const { return AnimLimit / 4; }

  PImage ImageLeft = nullptr;
  PImage ImageRight = nullptr;
  PImage Background = nullptr;
  TMaskPtr MasksLeft[MaxFrames];
  TMaskPtr MasksRight[MaxFrames];
  TCollisionRect CollisionRect;
};

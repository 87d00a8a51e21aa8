#pragma once
// Pixel collision: two masks placed on the screen touch when their boxes
// overlap and, inside the overlap, some pixel is set in both.

#include <cstdint>
#include <memory>

#include "ZR_SDL.h"

class TBMPFont;

// A mask at a screen position (its top left); filled by the owner of a
// moving thing before each test.
struct TCollisionRect {
  PMask Mask = nullptr;
  int32_t X = 0;
  int32_t Y = 0;
};

class TCollisionChecker {
 public:
  TCollisionChecker() = default;
  virtual ~TCollisionChecker() = default;

  // Symmetric: exchanging A and B never changes the answer. Touching edges
  // count; a missing or inconsistent mask never collides.
  bool IsCollide(TCollisionRect a, TCollisionRect b);
  // The mask in the run log, "X" for set and "." for clear pixels.
  void DumpMask(PMask mask);

  // When set, IsCollide reports its work: on screen and in the log. Not owned.
  TBMPFont* DebugFont = nullptr;
};

// The game's one checker, created by the game loop; null outside a game.
extern std::unique_ptr<TCollisionChecker> CollisionChecker;

void CollisionCheckerUnit_Startup();

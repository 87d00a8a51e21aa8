#pragma once
// The boulder of the interim levels: it grows out of the ceiling at the top
// left, rolls along the top row to a point chosen from the professor's
// position (marked by a down arrow), drops to the bottom row, rolls off to
// the right and is idle until started again.

#include <cstdint>

#include "CollisionCheckerUnit.h"
#include "LogicChecksum.h"
#include "ZR_SDL.h"

// Every value that decides where the boulder is and what it does next,
// declared once: the boulder holds them as its fields and a saved state
// holds them as one copy, so a value added here is saved and restored with
// the rest.
struct TBoulderLogic {
  enum : uint8_t {
    bsEmerging = 0,
    bsWaiting = 1,
    bsRollingTop = 2,
    bsFalling = 3,
    bsRollingBottom = 4,
    bsIdle = 5,
  };
  uint16_t X = 0;
  uint16_t Y = 0;
  uint16_t TargetX = 0;
  int32_t Speed = 0;     // frames per action
  uint16_t Counter = 0;  // pixels or rows left in the current state
  uint8_t State = bsIdle;
  uint16_t DelayCounter = 0;
};

class TBoulder : public TBoulderLogic {
 public:
  // The pictures "Boulder" and "ArrowDown" from the game's picture
  // collection. The background is the game loop's playfield copy (origin
  // (62, 22)); not owned.
  explicit TBoulder(PImage background);
  virtual ~TBoulder();
  TBoulder(const TBoulder&) = delete;
  TBoulder& operator=(const TBoulder&) = delete;

  // Idle.
  void Reset();
  // A new cycle; only when idle.
  void Start(uint8_t speed);
  // The drop point, limited to 176..544 and rounded down to a multiple of
  // 4; only while waiting at the ceiling.
  void Aim(uint16_t x);
  void Draw();
  void Erase();
  void Update();
  // The boulder's mask at (X, Y).
  TCollisionRect BoundsA();
  // The arrow's mask above the drop point while the boulder rolls or falls,
  // otherwise at x 0, outside the playfield.
  TCollisionRect BoundsB();

  TBoulderLogic SaveLogic() const;
  void RestoreLogic(const TBoulderLogic& logic);
  void AddToChecksum(TLogicChecksum& sum) const;

  PImage BoulderImage = nullptr;
  PImage ArrowImage = nullptr;
  PImage Background = nullptr;
  TMaskPtr BoulderMask;
  TMaskPtr ArrowMask;
  // Shared by both bounds queries.
  TCollisionRect CollisionRect;
};

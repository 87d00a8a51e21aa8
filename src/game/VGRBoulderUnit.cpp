#include "VGRBoulderUnit.h"

#include "ImageCollectionUnit.h"

namespace {

constexpr uint16_t kStartX = 132;
constexpr uint16_t kTopY = 24;
constexpr uint16_t kFallRows = 320;
constexpr uint16_t kRollOffX = 560;
constexpr uint16_t kEmergeRows = 15;

PImage GamePicture(const char* name) { return ImageCollection ? ImageCollection->FindImage(name) : nullptr; }

}  // namespace

TBoulder::TBoulder(PImage background) {
  BoulderImage = GamePicture("Boulder");
  ArrowImage = GamePicture("ArrowDown");
  Background = background;
  BoulderMask = CreateMaskFromImage(BoulderImage);
  ArrowMask = CreateMaskFromImage(ArrowImage);
  State = bsIdle;
}

TBoulder::~TBoulder() = default;

void TBoulder::Reset() { State = bsIdle; }

void TBoulder::Start(uint8_t speed) {
  if (State != bsIdle) return;
  Counter = kEmergeRows;
  Speed = speed;
  DelayCounter = speed;
  X = kStartX;
  Y = kTopY;
  TargetX = 500;
  State = bsEmerging;
}

void TBoulder::Aim(uint16_t x) {
  if (State != bsWaiting) return;
  uint16_t t = x < 176 ? 176 : (x > 544 ? 544 : x);
  TargetX = static_cast<uint16_t>(t & ~3u);
  Counter = static_cast<uint16_t>(TargetX - kStartX);
  State = bsRollingTop;
}

void TBoulder::Draw() {
  // Draw and Update count down the same delay: with a speed of 1 both act
  // every frame, with a larger one they take turns.
  DelayCounter = static_cast<uint16_t>(DelayCounter - 1);
  if (DelayCounter != 0) return;
  DelayCounter = static_cast<uint16_t>(Speed);
  switch (State) {
    case bsEmerging:
      // The lower rows first, at the ceiling: the boulder grows out of it.
      PutImagePart(kStartX, kTopY, 0, Counter, 15, 15, BoulderImage);
      break;
    case bsWaiting:
      PutImage(kStartX, kTopY, BoulderImage);
      break;
    case bsRollingTop:
    case bsFalling:
    case bsRollingBottom:
      PutImage(X, Y, BoulderImage);
      PutImage(TargetX + 16, kTopY, ArrowImage);
      break;
    default:
      break;
  }
}

void TBoulder::Update() {
  DelayCounter = static_cast<uint16_t>(DelayCounter - 1);
  if (DelayCounter != 0) return;
  DelayCounter = static_cast<uint16_t>(Speed);
  switch (State) {
    case bsEmerging:
      Counter = static_cast<uint16_t>(Counter - 1);
      if (Counter == 0) State = bsWaiting;
      break;
    case bsRollingTop:
      X = static_cast<uint16_t>(X + 2);
      Counter = static_cast<uint16_t>(Counter - 2);
      if (Counter == 0) {
        State = bsFalling;
        Counter = kFallRows;
      }
      break;
    case bsFalling:
      Y = static_cast<uint16_t>(Y + 2);
      Counter = static_cast<uint16_t>(Counter - 2);
      if (Counter == 0) {
        State = bsRollingBottom;
        Counter = static_cast<uint16_t>(kRollOffX - X);
      }
      break;
    case bsRollingBottom:
      X = static_cast<uint16_t>(X + 2);
      Counter = static_cast<uint16_t>(Counter - 2);
      if (Counter == 0) State = bsIdle;
      break;
    default:
      break;
  }
}

void TBoulder::Erase() {
  // Both rectangles in every state: the boulder's and the arrow's spots are
  // always clean in the background copy, so restoring them is harmless.
  PutImagePart(X, Y, X - 62, Y - 22, X - 47, Y - 7, Background);
  PutImagePart(TargetX + 16, kTopY, TargetX - 46, 2, TargetX - 31, 17, Background);
}

TCollisionRect TBoulder::BoundsA() {
  CollisionRect.Mask = BoulderMask.get();
  CollisionRect.X = X;
  CollisionRect.Y = Y;
  return CollisionRect;
}

TCollisionRect TBoulder::BoundsB() {
  const bool shown = State == bsRollingTop || State == bsFalling || State == bsRollingBottom;
  CollisionRect.Mask = ArrowMask.get();
  CollisionRect.X = shown ? TargetX + 16 : 0;
  CollisionRect.Y = kTopY;
  return CollisionRect;
}

TBoulderLogic TBoulder::SaveLogic() const { return *this; }

void TBoulder::RestoreLogic(const TBoulderLogic& l) { static_cast<TBoulderLogic&>(*this) = l; }

void TBoulder::AddToChecksum(TLogicChecksum& sum) const {
  // Bound one by one: a value added to the saved part does not compile here
  // until the checksum takes it too.
  const auto& [x, y, targetX, speed, counter, state, delayCounter] = static_cast<const TBoulderLogic&>(*this);
  sum.Add(x);
  sum.Add(y);
  sum.Add(targetX);
  sum.Add(speed);
  sum.Add(counter);
  sum.Add(state);
  sum.Add(delayCounter);
}

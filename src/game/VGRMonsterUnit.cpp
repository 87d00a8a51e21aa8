#include "VGRMonsterUnit.h"

#include <string>

#include "ImageCollectionUnit.h"
#include "Logger.h"
#include "VGRResourceTypesUnit.h"

namespace {

const char* const kCreateLoc = "VGRMonsterUnit, TMonster.Create";

PImage MonsterStrip(const std::string& name) {
  return Resources && Resources->Images ? Resources->Images->FindImage(name) : nullptr;
}

}  // namespace

TMonster::TMonster(const TMonsterStart& start, PImage background) {
  LeftLimit = static_cast<uint16_t>(16 * start.LeftColumn + 72);
  RightLimit = static_cast<uint16_t>(16 * start.RightColumn + 56);
  Y = static_cast<uint16_t>(16 * start.Row + 24);
  X = static_cast<uint16_t>(16 * start.StartColumn + 64);

  Speed = start.Speed < 0 ? -start.Speed : start.Speed;
  Dir = start.Speed < 0 ? -1 : 1;
  SpeedCounter = static_cast<uint16_t>(Speed);

  const std::string number = std::to_string(start.MonsterNumber);
  ImageLeft = MonsterStrip("M1" + number);
  ImageRight = MonsterStrip("M2" + number);
  Background = background;

  int32_t frames = ImageLeft ? ImageWidth(ImageLeft) / FrameWidth : 0;
  if (frames > MaxFrames) {
    Log->Warning("Monster strip has more than 16 frames, the rest are not used! (M1" + number + ")", kCreateLoc);
    frames = MaxFrames;
  }
  // Each frame gets its own mask from a scratch image cleared first: the
  // strips are colour keyed, so a copy leaves the black pixels of the frame
  // before it standing.
  if (frames > 0) {
    TImagePtr scratch = CreateImageWH(FrameWidth, FrameHeight);
    for (int32_t i = 0; i < frames; ++i) {
      const int32_t sx = FrameWidth * i;
      ClearImage(scratch.get());
      PutImagePartOnImage(scratch.get(), 0, 0, sx, 0, sx + FrameWidth - 1, FrameHeight - 1, ImageLeft);
      MasksLeft[i] = CreateMaskFromImage(scratch.get());
      ClearImage(scratch.get());
      PutImagePartOnImage(scratch.get(), 0, 0, sx, 0, sx + FrameWidth - 1, FrameHeight - 1, ImageRight);
      MasksRight[i] = CreateMaskFromImage(scratch.get());
    }
  }

  AnimCounter = 0;
  AnimLimit = static_cast<uint16_t>(frames * 4);
}

TMonster::~TMonster() = default;

void TMonster::Draw() {
  const int32_t sx = FrameWidth * (AnimCounter / 4);
  PutImagePart(X, Y, sx, 0, sx + FrameWidth - 1, FrameHeight - 1, Dir < 0 ? ImageLeft : ImageRight);
}

void TMonster::Erase() { PutImagePart(X, Y, X - 62, Y - 22, X - 31, Y - 7, Background); }

void TMonster::Move() {
  // A speed of 0 lets the counter wrap to 65535: the monster then stands for
  // 65536 frames between steps. Intended, as is the step one pixel past a
  // limit before the turn.
  SpeedCounter = static_cast<uint16_t>(SpeedCounter - 1);
  if (SpeedCounter != 0) return;
  AnimCounter = static_cast<uint16_t>(AnimCounter + 1);
  if (AnimCounter == AnimLimit) AnimCounter = 0;
  X = static_cast<uint16_t>(X + Dir);
  if (X < LeftLimit || X > RightLimit) Dir = -Dir;
  SpeedCounter = static_cast<uint16_t>(Speed);
}

TCollisionRect TMonster::Bounds() {
  const uint32_t frame = AnimCounter / 4u;
  CollisionRect.Mask = frame < static_cast<uint32_t>(MaxFrames)
                           ? (Dir < 0 ? MasksLeft[frame] : MasksRight[frame]).get()
                           : nullptr;
  CollisionRect.X = X;
  CollisionRect.Y = Y;
  return CollisionRect;
}

TMonsterLogic TMonster::SaveLogic() const { return *this; }

void TMonster::RestoreLogic(const TMonsterLogic& l) { static_cast<TMonsterLogic&>(*this) = l; }

void TMonster::AddToChecksum(TLogicChecksum& sum) const {
  // Bound one by one: a value added to the saved part does not compile here
  // until the checksum takes it too.
  const auto& [leftLimit, rightLimit, x, y, speed, dir, animCounter, animLimit, speedCounter] =
      static_cast<const TMonsterLogic&>(*this);
  sum.Add(leftLimit);
  sum.Add(rightLimit);
  sum.Add(x);
  sum.Add(y);
  sum.Add(speed);
  sum.Add(dir);
  sum.Add(animCounter);
  sum.Add(animLimit);
  sum.Add(speedCounter);
}

#include "VGRPlayerUnit.h"

#include <cmath>
#include <string>

#include "BASS.h"
#include "ImageCollectionUnit.h"
#include "SystemUnit.h"
#include "VGRMapUnit.h"
#include "VGRResourceTypesUnit.h"
#include "WaveCollectionUnit.h"

namespace {

// The walk cycle: eight steps of four counts each.
constexpr int32_t kWalkFrames[8] = {3, 4, 5, 4, 3, 2, 1, 2};

// Where each body piece sits in the creature display.
constexpr int32_t kPieceX[8] = {0, 512, 504, 520, 504, 520, 504, 520};
constexpr int32_t kPieceY[8] = {0, 56, 72, 72, 88, 88, 104, 104};

constexpr int32_t kLeapLeft = 64;
constexpr int32_t kLeapRight = 555;
constexpr int32_t kTop = 24;
constexpr int32_t kBottom = 344;

// trunc(sin(degrees) * scale), with the exact values of the angles whose sine
// is a simple fraction (30, 150, 210 degrees...): floating-point sine lands a
// hair below them, and trunc would then lose a whole pixel.
int32_t TruncSin(int32_t degrees, double scale) {
  constexpr double kPi = 3.14159265358979323846;
  double v = std::sin(degrees * kPi / 180.0) * scale;
  const double nearest = std::round(v);
  if (std::fabs(v - nearest) < 1e-9) v = nearest;
  return static_cast<int32_t>(std::trunc(v));
}

PImage ObjectPicture(int32_t number) {
  if (!Resources || !Resources->Images) return nullptr;
  return Resources->Images->FindImage(std::to_string(number));
}

// b := black, c drawn on it, a drawn over with the per-surface alpha.
void Blend(PImage a, PImage c, PImage b, int32_t alpha) {
  ImageBar(b, 0, 0, TProf::Width - 1, TProf::Height - 1, 0, 0, 0);
  PutImageOnImage(b, 0, 0, c);
  SetImageAlpha(a, static_cast<uint8_t>(alpha));
  PutImageOnImage(b, 0, 0, a);
}

TImagePtr MakeWorkImage() {
  TImagePtr image = CreateImageWH(TProf::Width, TProf::Height);
  SetImageColorKey(image.get(), true);
  return image;
}

}  // namespace

std::function<void(const char* name, bool started)> ProfSoundTrace;

uint32_t PlaySoundByName(const char* name) {
  if (ProfSoundTrace) ProfSoundTrace(name, true);
  if (!WaveCollection) return kNoChannel;
  TWaveCollectionItem* item = WaveCollection->Find(name);
  if (!item || !item->Wave) return kNoChannel;
  return item->Wave->Play();
}

TProf::TProf(int32_t x, int32_t y)
    : TSprite(x, y, ImageCollection ? ImageCollection->FindImage("ProfRight1") : nullptr) {
  static const char* const kSuffix[3] = {"", "White", "OutLn"};
  for (int right = 0; right < 2; ++right)
    for (int frame = 1; frame <= 5; ++frame)
      for (int variant = 0; variant < 3; ++variant) {
        const std::string name = std::string(right ? "ProfRight" : "ProfLeft") + std::to_string(frame) + kSuffix[variant];
        Pictures[right][frame][variant] = ImageCollection ? ImageCollection->FindImage(name) : nullptr;
      }
  WorkA = MakeWorkImage();
  WorkB = MakeWorkImage();
  WorkC = MakeWorkImage();
  for (int frame = 1; frame <= 5; ++frame) {
    MasksLeft[frame] = CreateMaskFromImage(Picture(false, frame));
    MasksRight[frame] = CreateMaskFromImage(Picture(true, frame));
  }
}

TProf::~TProf() = default;

void TProf::SetMap(TMap* map) { Map = map; }

void TProf::Reset() {
  // A looping falling sound must not outlive the fall it belongs to.
  if (State == psFalling || State == psDropping) StopFallSound();
  State = psWalking;
  FallCounter = 0;
  PieceValue = 1;
}

void TProf::ShowPiece(uint16_t piece) {
  int32_t x = 0, y = 0;
  if (!Map || !PiecePlace(piece, x, y)) return;
  PutImage(x, y, ObjectPicture(Map->PieceTile(piece)));
}

bool TProf::PiecePlace(uint16_t piece, int32_t& x, int32_t& y) {
  if (piece < 1 || piece > 7) return false;
  x = kPieceX[piece];
  y = kPieceY[piece];
  return true;
}

int32_t TProf::WalkFrame() const { return kWalkFrames[(WalkCounter / 4) % 8]; }

void TProf::ShowStandingFrame() { SetImage(Picture(Dir > 0, WalkFrame())); }

bool TProf::Touches(const TCollisionRect& other) {
  if (!IsAlive()) return false;
  const int32_t frame = WalkFrame();
  CollisionRect.Mask = Dir < 0 ? MasksLeft[frame].get() : MasksRight[frame].get();
  CollisionRect.X = X;
  CollisionRect.Y = Y;
  if (CollisionChecker) return CollisionChecker->IsCollide(other, CollisionRect);
  TCollisionChecker checker;
  return checker.IsCollide(other, CollisionRect);
}

void TProf::Die() {
  if (State == psDying) return;
  if (State == psFalling || State == psDropping) StopFallSound();
  DeathBaseY = Y;
  DeathDX = static_cast<int32_t>(Random(13)) - 6;
  State = psDying;
  StateCounter = 0;
  PlaySoundByName("Death");
}

TProfLogic TProf::SaveLogic() const {
  TProfLogic l;
  static_cast<TProfValues&>(l) = *this;
  l.X = X;
  l.Y = Y;
  return l;
}

void TProf::RestoreLogic(const TProfLogic& l) {
  static_cast<TProfValues&>(*this) = l;
  X = l.X;
  Y = l.Y;
  ShowStandingFrame();
}

void TProf::AddToChecksum(TLogicChecksum& c) const {
  c.Add(X);
  c.Add(Y);
  // Bound one by one: a value added to the saved part does not compile here
  // until the checksum takes it too.
  const auto& [stateCounter, nextPiece, vy, dir, state, walkCounter, fallCounter, deathBaseY, deathDX, pieceValue,
               frameCounter, inInterim] = static_cast<const TProfValues&>(*this);
  c.Add(stateCounter);
  c.Add(nextPiece);
  c.Add(vy);
  c.Add(dir);
  c.Add(state);
  c.Add(walkCounter);
  c.Add(fallCounter);
  c.Add(deathBaseY);
  c.Add(deathDX);
  c.Add(pieceValue);
  c.Add(frameCounter);
  c.Add(inInterim ? 1 : 0);
}

bool TProf::CanStep(int32_t dir) const {
  if (dir > 0) return Map->IsEmptyAt(X + 18, Y + 16) && Map->IsEmptyAt(X + 18, Y);
  if (dir < 0) return Map->IsEmptyAt(X + 1, Y + 16) && Map->IsEmptyAt(X + 1, Y);
  return false;
}

bool TProf::CellsFreeAt(int32_t x, int32_t y) const {
  return Map->IsEmptyAt(x + 2, y) && Map->IsEmptyAt(x + 17, y) && Map->IsEmptyAt(x + 2, y + 16) &&
         Map->IsEmptyAt(x + 17, y + 16);
}

void TProf::StopFallSound() {
  if (ProfSoundTrace) ProfSoundTrace("Falling", false);
  if (FallChannel != kNoChannel) BASS_ChannelStop(FallChannel);
  FallChannel = kNoChannel;
}

void TProf::GrabForTransport() {
  GrabImage(X, Y, WorkA.get());
  ImageBar(WorkC.get(), 0, 0, Width - 1, Height - 1, 0, 0, 0);
  PutImageOnImage(WorkC.get(), 0, 0, WorkA.get());
  PutImageOnImage(WorkC.get(), 0, 0, SavedImage);
}

int32_t TProf::Update() {
  FrameCounter += 1;
  int32_t points = 0;
  if (!Map) return 0;
  switch (State) {
    case psWalking: UpdateWalking(points); break;
    case psFalling: UpdateFalling(); break;
    case psSpringJump: UpdateSpringJump(); break;
    case psSliding: UpdateSliding(); break;
    case psDropping: UpdateDropping(); break;
    case psTransportOut: UpdateTransportOut(); break;
    case psTransportIn: UpdateTransportIn(); break;
    case psShocked: UpdateShocked(); break;
    case psRecovering: UpdateRecovering(); break;
    case psDying: UpdateDying(); break;
    default: break;  // level done, fell too far, dead: nothing moves
  }
  return points;
}

void TProf::UpdateWalking(int32_t& points) {
  const int32_t fx = X + 2, fy = Y + 32;
  const bool fire = KeyState[KeyFire];
  const bool aligned = Aligned();
  if (fire && aligned && Map->IsSpringAt(fx, fy)) {
    State = psSpringJump;
    StateCounter = 34;
    VY = -2;
    PlaySoundByName("Spring");
    return;
  }
  if (fire && aligned && Map->IsTrapdoorAt(fx, fy)) {
    State = psDropping;
    StateCounter = 8;
    VY = 2;
    FallChannel = PlaySoundByName("Falling");
    return;
  }
  if (aligned) {
    // The top of the next row at or below the feet.
    if (Map->IsEmptyAt(X + 2, Y - 1 - ((Y - 9) % 16) + 48)) {
      State = psFalling;
      VY = 2;
      FallChannel = PlaySoundByName("Falling");
      return;
    }
    if (Map->HasDotAt(fx, fy)) {
      Map->EatDotAt(fx, fy);
      if (Background) {
        Map->RedrawCell(fx, fy, Background);
        PutImagePart(fx, fy, X - 60, Y + 10, X - 45, Y + 25, Background);
      }
    }
    // Ice starts a slide only where a step is possible: before his first step,
    // or at rest against a wall, he stands on it as on floor.
    if (Map->IsIceAt(fx, fy) && CanStep(Dir)) {
      State = psSliding;
      StateCounter = 16;
      PlaySoundByName("Sliding on ICE");
      return;
    }
    if (Map->IsTransporterAt(fx, fy)) {
      // A transport that would end with the body inside a wall does not
      // happen: the professor stays and walks on.
      if (CellsFreeAt(Dir > 0 ? X + 32 : X - 32, Y)) {
        State = psTransportOut;
        SavedImage = Image;
        GrabForTransport();
        StateCounter = 128;
        PlaySoundByName("Create VGR");
        return;
      }
    } else if (Map->ObjectAt(fx, fy) == FNextPiece) {
      ShowPiece(FNextPiece);
      points += PieceValue;
      PieceValue += 1;
      FNextPiece += 1;
      if (Background) Map->RedrawCell(fx, fy, Background);
      Map->ClearCell(fx, fy);
      PlaySoundByName("Piece Pickup");
      return;
    } else if (Map->IsWireAt(fx, fy)) {
      State = psShocked;
      StateCounter = 130;
      PlaySoundByName("Shocking");
      return;
    } else if (Map->IsExitAt(fx, fy) && FNextPiece == 8 && Map->DotCount == 0) {
      PlaySoundByName(InInterim ? "Destroy VGR" : "Create VGR");
      State = psLevelDone;
      StateCounter = 1;
    }
  }
  // The picture follows the keys even on a frame the slow floor holds him.
  const int32_t frame = WalkFrame();
  if (KeyState[KeyLeft] && Map->IsEmptyAt(X + 1, Y + 16) && Map->IsEmptyAt(X + 1, Y)) {
    SetImage(Picture(false, frame));
    if (!(Map->IsSlowFloorAt(X + 9, Y + 32) && FrameCounter % 2 == 0)) {
      WalkCounter -= 1;
      Dir = -1;
      X -= 1;
    }
  } else if (KeyState[KeyRight] && Map->IsEmptyAt(X + 18, Y + 16) && Map->IsEmptyAt(X + 18, Y)) {
    SetImage(Picture(true, frame));
    if (!(Map->IsSlowFloorAt(X + 10, Y + 32) && FrameCounter % 2 == 0)) {
      WalkCounter += 1;
      Dir = 1;
      X += 1;
    }
  }
}

void TProf::UpdateFalling() {
  Y += VY;
  FallCounter += 1;
  if (!Map->IsEmptyAt(X + 2, Y + 32)) {
    StopFallSound();
    PlaySoundByName("Landing");
    State = FallCounter > 34 ? psFellTooFar : psWalking;
    FallCounter = 0;
  }
}

void TProf::UpdateSpringJump() {
  // Only the top of the playfield stops the jump; it passes through the rest.
  if (Y < kTop - VY) {
    Y = kTop - VY;
    StateCounter = 1;
  }
  Y += VY;
  StateCounter -= 1;
  if (StateCounter == 0) {
    State = VerticallyAligned() ? psWalking : psFalling;
    VY = 2;
  }
}

void TProf::UpdateSliding() {
  // A slide ends where a walking step would be blocked.
  if (!CanStep(Dir)) {
    State = psWalking;
    return;
  }
  X += Dir;
  StateCounter -= 1;
  if (StateCounter == 0) {
    if (Map->IsIceAt(X + 2, Y + 32)) {
      StateCounter = 16;
      PlaySoundByName("Sliding on ICE");
    } else {
      State = psWalking;
    }
  }
}

void TProf::UpdateDropping() {
  Y += VY;
  StateCounter -= 1;
  if (StateCounter == 0) {
    if (Map->IsTrapdoorAt(X + 2, Y + 32)) {
      StateCounter = 8;
    } else {
      // The falling sound started with the drop ends with it.
      StopFallSound();
      State = psWalking;
    }
  }
}

void TProf::UpdateTransportOut() {
  SetImage(WorkB.get());
  StateCounter -= 1;
  Blend(WorkC.get(), WorkA.get(), WorkB.get(), StateCounter * 2);
  if (StateCounter == 0) {
    GrabForTransport();
    State = psTransportIn;
    X += Dir > 0 ? 32 : -32;
  }
}

void TProf::UpdateTransportIn() {
  Blend(WorkC.get(), WorkA.get(), WorkB.get(), StateCounter * 2);
  StateCounter += 1;
  if (StateCounter == 128) {
    State = psWalking;
    ShowStandingFrame();
  }
}

void TProf::UpdateShocked() {
  const bool right = Dir > 0;
  const int32_t frame = WalkFrame();
  StateCounter -= 1;
  if (StateCounter % 16 == 0) {
    SetImage(Picture(right, frame, kWhite));
  } else if (StateCounter % 16 == 8) {
    // WorkB is not cleared first: the outline is laid over the last flash.
    PutImageOnImage(WorkB.get(), 0, 0, Picture(right, frame, kWhite));
    SetImage(WorkB.get());
    PutImageOnImage(WorkB.get(), 0, 0, Picture(right, frame, kOutline));
  }
  if (StateCounter == 0) {
    State = psRecovering;
    StateCounter = 128;
    // The wire burns through: it becomes the object of the next number.
    const int32_t fx = X + 2, fy = Y + 32;
    Map->NextObjectAt(fx, fy);
    Map->RetypeAt(fx, fy);
    PImage burnt = ObjectPicture(Map->ObjectNumberAt(fx, fy));
    PutImage(fx, fy, burnt);
    PutImageOnImage(Background, X - 60, Y + 10, burnt);
    ImageBar(WorkC.get(), 0, 0, Width - 1, Height - 1, 0, 0, 0);
    ImageBar(WorkA.get(), 0, 0, Width - 1, Height - 1, 0, 0, 0);
    PutImageOnImage(WorkC.get(), 0, 0, Picture(right, frame));
    PutImageOnImage(WorkA.get(), 0, 0, Picture(right, frame, kWhite));
    SetImage(WorkB.get());
  }
}

void TProf::UpdateRecovering() {
  Blend(WorkA.get(), WorkC.get(), WorkB.get(), StateCounter * 2);
  StateCounter -= 1;
  if (StateCounter == 0) {
    State = psWalking;
    ShowStandingFrame();
  }
}

void TProf::UpdateDying() {
  X += DeathDX;
  if (X < kLeapLeft) {
    DeathDX = -DeathDX;
    X = kLeapLeft;
  }
  if (X > kLeapRight) {
    DeathDX = -DeathDX;
    X = kLeapRight;
  }
  // The three phases are tested in order, so the frame whose rise reaches 90
  // degrees also takes the first step of the fall.
  if (StateCounter < 90) {
    Y = DeathBaseY - TruncSin(StateCounter, 32);
    StateCounter += 3;
  }
  if (StateCounter == 90) {
    DeathBaseY -= TruncSin(90, 32);
    StateCounter += 1;
  }
  if (StateCounter > 90) {
    Y = DeathBaseY + 352 - TruncSin(StateCounter, 352);
    StateCounter += 1;
  }
  if (Y < kTop) Y = kTop;
  if (Y > kBottom) {
    Y = kBottom;
    State = psDead;
  }
}

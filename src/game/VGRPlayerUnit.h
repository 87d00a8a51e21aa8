#pragma once
// The professor: the player's sprite, a state machine advanced once per frame
// by Update under the cursor keys and the fire key. Everything that decides
// where he goes is kept in plain values (TProfLogic) that a replay or a search
// can save, restore and checksum; the pictures only show that state.

#include <cstdint>
#include <functional>

#include "CollisionCheckerUnit.h"
#include "LogicChecksum.h"
#include "SpriteUnit.h"
#include "ZR_SDL.h"

class TMap;

// The professor's states.
enum : uint8_t {
  psWalking = 0,
  psFalling = 1,
  psSpringJump = 2,
  psSliding = 3,
  psDropping = 4,
  psTransportOut = 5,
  psTransportIn = 6,
  psShocked = 7,
  psRecovering = 8,
  psLevelDone = 9,
  psFellTooFar = 10,
  psDying = 11,
  psDead = 12,
};

// The professor's own values that decide his movement, declared once: the
// professor holds them as his fields and a saved state holds them as one
// copy, so a value added here is saved and restored with the rest.
struct TProfValues {
  uint16_t StateCounter = 0;
  uint16_t FNextPiece = 1;  // read through NextPiece(): 1..8, 8 once all seven are in
  int32_t VY = 0;
  int32_t Dir = 0;  // -1 left, 1 right, 0 before the first step
  uint8_t State = psWalking;
  uint16_t WalkCounter = 32768;
  uint8_t FallCounter = 0;
  int32_t DeathBaseY = 0;
  int32_t DeathDX = 0;
  uint16_t PieceValue = 0;
  int32_t FrameCounter = 0;
  bool InInterim = false;

  friend bool operator==(const TProfValues&, const TProfValues&) = default;
};

// Every value that decides the professor's movement, as one trivially
// copyable value: his own and the sprite's place.
struct TProfLogic : TProfValues {
  int32_t X = 0;
  int32_t Y = 0;

  friend bool operator==(const TProfLogic&, const TProfLogic&) = default;
};

class TProf : public TSprite, public TProfValues {
 public:
  static constexpr int32_t Width = 20;
  static constexpr int32_t Height = 32;
  // Key symbols of the key-state table.
  static constexpr int KeyFire = 32;
  static constexpr int KeyLeft = 276;
  static constexpr int KeyRight = 275;

  // At (x, y) with the picture "ProfRight1". The walking, "White" and
  // "OutLn" pictures are looked up in the image collection here, once.
  TProf(int32_t x, int32_t y);
  ~TProf() override;

  void SetMap(TMap* map);
  // A fresh start on the level: walking, no fall under way, the next piece
  // worth one point.
  void Reset();
  uint8_t NextPiece() const { return static_cast<uint8_t>(FNextPiece); }
  void SetNextPiece(uint16_t n) { FNextPiece = n; }
  // The picture of body piece `piece` (1..7) at its place in the creature
  // display, drawn into the back buffer.
  void ShowPiece(uint16_t piece);
  // The top left of the 16-by-16 place of body piece `piece` (1..7) in the
  // creature display; false for any other number.
  static bool PiecePlace(uint16_t piece, int32_t& x, int32_t& y);
  // One frame; the points earned in it.
  int32_t Update();
  // False unless alive; otherwise the pixel collision of his current frame's
  // mask with `other`.
  bool Touches(const TCollisionRect& other);
  // Starts the death leap (nothing while already leaping).
  void Die();
  // The walking picture of the current frame, left-facing unless Dir > 0.
  void ShowStandingFrame();

  bool IsAlive() const { return State != psDying && State != psDead; }
  bool IsLevelDone() const { return State == psLevelDone; }
  bool IsShocked() const { return State == psShocked; }
  bool HasFallenTooFar() const { return State == psFellTooFar; }
  bool IsDead() const { return State == psDead; }

  // The walk-cycle frame (1..5) of WalkCounter.
  int32_t WalkFrame() const;

  TProfLogic SaveLogic() const;
  // Takes the values back; the picture is derived again from them (the
  // walking picture: fades and flashes are not restored).
  void RestoreLogic(const TProfLogic& logic);
  void AddToChecksum(TLogicChecksum& checksum) const;

  TMap* Map = nullptr;  // not owned
  TImagePtr WorkA, WorkB, WorkC;
  PImage SavedImage = nullptr;
  TMaskPtr MasksLeft[6];   // 1..5
  TMaskPtr MasksRight[6];  // 1..5
  TCollisionRect CollisionRect;
  uint32_t FallChannel = 0xFFFFFFFFu;

 private:
  enum { kPlain = 0, kWhite = 1, kOutline = 2 };
  // "ProfLeft"/"ProfRight" + frame (+ "White"/"OutLn"), found at creation.
  PImage Pictures[2][6][3] = {};
  PImage Picture(bool right, int32_t frame, int variant = kPlain) const { return Pictures[right ? 1 : 0][frame][variant]; }

  void UpdateWalking(int32_t& points);
  void UpdateFalling();
  void UpdateSpringJump();
  void UpdateSliding();
  void UpdateDropping();
  void UpdateTransportOut();
  void UpdateTransportIn();
  void UpdateShocked();
  void UpdateRecovering();
  void UpdateDying();

  bool Aligned() const { return (X + 2) % 16 == 0; }
  bool VerticallyAligned() const { return (Y - 8) % 16 == 0; }
  // The body points a step in that direction tests (a walking step's):
  // false for direction 0, which goes nowhere.
  bool CanStep(int32_t dir) const;
  // The cells his body would fill standing with the top left at (x, y).
  bool CellsFreeAt(int32_t x, int32_t y) const;
  void StopFallSound();
  // The back-buffer area under the professor into WorkA, and WorkA with the
  // kept walking picture over it into WorkC.
  void GrabForTransport();
};

// Plays the effect `name` of the sound collection; the channel, or
// 0xFFFFFFFF when nothing plays (no such effect, no audio).
uint32_t PlaySoundByName(const char* name);

// Test and replay seam: told of every effect the professor starts (started
// true) and of the falling sound he stops (started false).
extern std::function<void(const char* name, bool started)> ProfSoundTrace;

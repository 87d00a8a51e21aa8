#include "CollisionCheckerUnit.h"

#include <cstring>
#include <string>

#include "Logger.h"
#include "ZRFonts.h"

namespace {

const char* const kIsCollideLoc = "CollisionCheckerUnit, TCollisionChecker.IsCollide";

bool Usable(PMask m) {
  return m && m->Width >= 0 && m->Height >= 0 &&
         m->Data.size() >= static_cast<size_t>(m->Width) * static_cast<size_t>(m->Height);
}

// True when some byte of a and b, anded, is exactly 1. Eight bytes at a time:
// a pair whose low bits are not both set cannot give 1.
bool RowsMeet(const uint8_t* a, const uint8_t* b, int32_t w) {
  constexpr uint64_t kLowBits = 0x0101010101010101ull;
  int32_t i = 0;
  for (; i + 8 <= w; i += 8) {
    uint64_t wa, wb;
    std::memcpy(&wa, a + i, 8);
    std::memcpy(&wb, b + i, 8);
    if ((wa & wb & kLowBits) == 0) continue;
    for (int32_t k = i; k < i + 8; ++k)
      if ((a[k] & b[k]) == 1) return true;
  }
  for (; i < w; ++i)
    if ((a[i] & b[i]) == 1) return true;
  return false;
}

std::string RectText(const TCollisionRect& r) {
  return std::to_string(r.X) + "," + std::to_string(r.Y) + "," + std::to_string(r.Mask->Width) + "," +
         std::to_string(r.Mask->Height);
}

}  // namespace

bool TCollisionChecker::IsCollide(TCollisionRect a, TCollisionRect b) {
  if (!Usable(a.Mask) || !Usable(b.Mask)) return false;
  if (a.X > b.X) std::swap(a, b);
  const int32_t aw = a.Mask->Width, ah = a.Mask->Height;
  const int32_t bw = b.Mask->Width, bh = b.Mask->Height;
  const bool aHigher = a.Y < b.Y;
  bool apart;
  int32_t ax, ay, bx, by, h;
  if (aHigher) {
    apart = a.X + aw - 1 < b.X || a.Y + ah - 1 < b.Y;
    ax = b.X - a.X;
    ay = b.Y - a.Y;
    bx = 0;
    by = 0;
    h = a.Y + ah < b.Y + bh ? a.Y + ah - b.Y : bh;
  } else {
    apart = a.X + aw - 1 < b.X || b.Y + bh - 1 < a.Y;
    ax = b.X - a.X;
    ay = 0;
    bx = 0;
    by = a.Y - b.Y;
    h = a.Y + ah < b.Y + bh ? ah : b.Y + bh - a.Y;
  }
  const int32_t w = a.X + aw < b.X + bw ? a.X + aw - b.X : bw;
  if (apart) {
    if (DebugFont) DebugFont->TextOut("Not touching...", 0, 0, 0);
    return false;
  }
  if (DebugFont) {
    const std::string loc = aHigher ? kIsCollideLoc : "";
    Log->Status(RectText(a), loc);
    DumpMask(a.Mask);
    Log->Status(RectText(b), loc);
    DumpMask(b.Mask);
    Log->Status(std::to_string(ax) + "," + std::to_string(ay) + " - " + std::to_string(bx) + "," +
                    std::to_string(by) + " - " + std::to_string(w) + "," + std::to_string(h),
                "");
  }
  if (w <= 0 || h <= 0) return false;  // an empty mask has no pixel to share
  const uint8_t* pa = a.Mask->Data.data() + static_cast<size_t>(ay) * aw + ax;
  const uint8_t* pb = b.Mask->Data.data() + static_cast<size_t>(by) * bw + bx;
  for (int32_t row = 0; row < h; ++row, pa += aw, pb += bw) {
    if (RowsMeet(pa, pb, w)) return true;
  }
  return false;
}

void TCollisionChecker::DumpMask(PMask mask) {
  Log->Status("Mask debug starts:", "");
  if (Usable(mask)) {
    // Every row whole, however wide the mask.
    for (int32_t y = 0; y < mask->Height; ++y) {
      std::string row(static_cast<size_t>(mask->Width), '.');
      const uint8_t* p = mask->Data.data() + static_cast<size_t>(y) * mask->Width;
      for (int32_t x = 0; x < mask->Width; ++x)
        if (p[x] != 0) row[static_cast<size_t>(x)] = 'X';
      Log->Status(row, "");
    }
  }
  Log->Status("Mask debug ends.", "");
}

std::unique_ptr<TCollisionChecker> CollisionChecker;

void CollisionCheckerUnit_Startup() { LogUnitVersion("CollisionCheckerUnit", "2.00"); }

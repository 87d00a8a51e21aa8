#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../platform/ImageFixtures.h"
#include "CollisionCheckerUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "ZRFonts.h"

using namespace imgfix;

namespace {

TMask Full(int w, int h) {
  TMask m;
  m.Width = w;
  m.Height = h;
  m.Data.assign(static_cast<size_t>(w * h), 1);
  return m;
}

TMask Empty(int w, int h) {
  TMask m = Full(w, h);
  std::fill(m.Data.begin(), m.Data.end(), 0);
  return m;
}

void Set(TMask& m, int x, int y, uint8_t v) { m.Data[static_cast<size_t>(y * m.Width + x)] = v; }

TCollisionRect At(TMask& m, int x, int y) { return TCollisionRect{&m, x, y}; }

// Straight from the definition: some screen pixel set in both masks.
bool BruteForce(const TCollisionRect& a, const TCollisionRect& b) {
  for (int y = 0; y < a.Mask->Height; ++y)
    for (int x = 0; x < a.Mask->Width; ++x) {
      if (a.Mask->Data[static_cast<size_t>(y * a.Mask->Width + x)] != 1) continue;
      const int bx = a.X + x - b.X, by = a.Y + y - b.Y;
      if (bx < 0 || by < 0 || bx >= b.Mask->Width || by >= b.Mask->Height) continue;
      if (b.Mask->Data[static_cast<size_t>(by * b.Mask->Width + bx)] == 1) return true;
    }
  return false;
}

TEST(Collision, FullSquaresTouchingAndApart) {
  TCollisionChecker c;
  TMask a = Full(16, 16), b = Full(16, 16);
  struct {
    int bx, by;
    bool collide;
  } cases[] = {
      {15, 0, true},  {16, 0, false}, {0, 15, true},   {0, 16, false},  {15, 15, true},
      {16, 15, false}, {-15, 0, true}, {-16, 0, false}, {0, -15, true}, {0, -16, false},
      {-15, 15, true}, {15, -15, true}, {-16, -16, false}, {0, 0, true},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(c.IsCollide(At(a, 0, 0), At(b, k.bx, k.by)), k.collide) << k.bx << "," << k.by;
    EXPECT_EQ(c.IsCollide(At(b, k.bx, k.by), At(a, 0, 0)), k.collide) << k.bx << "," << k.by;
  }
}

TEST(Collision, HolesAndSinglePixels) {
  TCollisionChecker c;
  TMask holed = Full(16, 16);
  Set(holed, 5, 7, 0);
  TMask dot = Empty(3, 3);
  Set(dot, 1, 1, 1);
  // The dot's one pixel over the hole: no collision; one pixel further: one.
  EXPECT_FALSE(c.IsCollide(At(holed, 100, 50), At(dot, 100 + 4, 50 + 6)));
  EXPECT_FALSE(c.IsCollide(At(dot, 104, 56), At(holed, 100, 50)));
  EXPECT_TRUE(c.IsCollide(At(holed, 100, 50), At(dot, 100 + 5, 50 + 6)));
  // Only bytes that and to exactly 1 count.
  TMask odd = Full(2, 1);
  odd.Data = {2, 3};
  TMask three = Full(2, 1);
  three.Data = {3, 3};
  EXPECT_FALSE(c.IsCollide(At(odd, 0, 0), At(three, 0, 0)));
  odd.Data = {0, 1};
  EXPECT_TRUE(c.IsCollide(At(odd, 0, 0), At(three, 0, 0)));
}

TEST(Collision, SmallMaskInsideALargeOneIsTestedWhole) {
  TCollisionChecker c;
  TMask large = Full(64, 48);
  for (int corner = 0; corner < 4; ++corner) {
    SCOPED_TRACE(corner);
    TMask small = Empty(10, 7);
    Set(small, corner % 2 ? 9 : 0, corner / 2 ? 6 : 0, 1);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{20, 20}, {0, 0}, {54, 41}, {30, 2}}) {
      EXPECT_TRUE(c.IsCollide(At(large, 0, 0), At(small, x, y)));
      EXPECT_TRUE(c.IsCollide(At(small, x, y), At(large, 0, 0)));
    }
  }
  TMask hollow = Empty(64, 48);
  Set(hollow, 63, 47, 1);
  TMask tiny = Full(1, 1);
  EXPECT_TRUE(c.IsCollide(At(tiny, 63, 47), At(hollow, 0, 0)));
  EXPECT_FALSE(c.IsCollide(At(tiny, 62, 47), At(hollow, 0, 0)));
}

TEST(Collision, UnusableMasksNeverCollide) {
  TCollisionChecker c;
  TMask full = Full(4, 4);
  TMask lying = Full(4, 4);
  lying.Data.resize(3);
  TMask zero;
  EXPECT_FALSE(c.IsCollide(TCollisionRect{nullptr, 0, 0}, At(full, 0, 0)));
  EXPECT_FALSE(c.IsCollide(At(full, 0, 0), At(lying, 0, 0)));
  EXPECT_FALSE(c.IsCollide(At(zero, 1, 1), At(full, 0, 0)));
  EXPECT_FALSE(c.IsCollide(At(full, 0, 0), At(zero, 1, 1)));
}

// Thousands of random masks and placements against the definition, both
// argument orders.
TEST(Collision, AgreesWithBruteForceBothWays) {
  TCollisionChecker c;
  Randomize(20261207);
  int hits = 0;
  for (int round = 0; round < 4000; ++round) {
    TMask m[2];
    for (auto& k : m) {
      k = Empty(1 + static_cast<int>(Random(40)), 1 + static_cast<int>(Random(24)));
      const uint32_t density = Random(100);
      for (auto& v : k.Data) v = Random(100) < density ? 1 : 0;
    }
    const TCollisionRect a = At(m[0], static_cast<int>(Random(60)) - 30, static_cast<int>(Random(40)) - 20);
    const TCollisionRect b = At(m[1], static_cast<int>(Random(60)) - 30, static_cast<int>(Random(40)) - 20);
    const bool want = BruteForce(a, b);
    ASSERT_EQ(c.IsCollide(a, b), want) << "round " << round;
    ASSERT_EQ(c.IsCollide(b, a), want) << "round " << round;
    hits += want;
  }
  // Both answers were exercised plentifully.
  EXPECT_GT(hits, 400);
  EXPECT_LT(hits, 3600);
}

TEST(Collision, NoDebugFontNoOutput) {
  vgrtest::TScopedLog log;
  const size_t before = log.Lines().size();
  TCollisionChecker c;
  EXPECT_EQ(c.DebugFont, nullptr);
  TMask a = Full(4, 4), b = Full(4, 4);
  c.IsCollide(At(a, 0, 0), At(b, 2, 2));
  c.IsCollide(At(a, 0, 0), At(b, 20, 2));
  EXPECT_EQ(log.Lines().size(), before);
}

TEST(Collision, DebugOutput) {
  vgrtest::TScopedLog log;
  TDisplay display;
  // A font whose every glyph is a white 2 by 3 block.
  TBMPFont font;
  font.Image = CreateImageWH(2, 3);
  ImageBar(font.Image.get(), 0, 0, 1, 2, 0xFF, 0xFF, 0xFF);
  for (auto& g : font.Glyphs) g = TGlyphRect{0, 0, 1, 2};
  TCollisionChecker c;
  c.DebugFont = &font;

  TMask a = Empty(3, 2), b = Full(2, 2);
  Set(a, 2, 1, 1);
  const size_t before = log.Lines().size();
  EXPECT_TRUE(c.IsCollide(At(b, 12, 21), At(a, 10, 20)));
  std::vector<std::string> lines = log.Lines();
  lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
  const std::vector<std::string> expected = {
      "(CollisionCheckerUnit, TCollisionChecker.IsCollide) 10,20,3,2",
      "() Mask debug starts:",
      "() ...",
      "() ..X",
      "() Mask debug ends.",
      "(CollisionCheckerUnit, TCollisionChecker.IsCollide) 12,21,2,2",
      "() Mask debug starts:",
      "() XX",
      "() XX",
      "() Mask debug ends.",
      "() 2,1 - 0,0 - 1,1",
  };
  EXPECT_EQ(lines, expected);

  // The lower one first after the exchange: empty locations.
  const size_t mid = log.Lines().size();
  EXPECT_FALSE(c.IsCollide(At(a, 10, 20), At(b, 11, 19)));
  lines = log.Lines();
  ASSERT_GT(lines.size(), mid);
  EXPECT_EQ(lines[mid], "() 10,20,3,2");
  EXPECT_EQ(lines.back(), "() 1,0 - 0,1 - 2,1");

  // Apart: the note on screen, nothing in the log.
  const size_t apart = log.Lines().size();
  EXPECT_EQ(ImagePx(BackImage, 0, 0), 0u);
  EXPECT_FALSE(c.IsCollide(At(a, 0, 0), At(b, 50, 50)));
  EXPECT_EQ(log.Lines().size(), apart);
  EXPECT_EQ(ImagePx(BackImage, 0, 0), 0xFFFFFFu);
}

TEST(Collision, DumpMaskListsWideMasksWhole) {
  vgrtest::TScopedLog log;
  TCollisionChecker c;
  TMask wide = Empty(300, 2);
  Set(wide, 299, 0, 1);
  Set(wide, 0, 1, 7);
  c.DumpMask(&wide);
  const auto lines = log.Lines();
  ASSERT_GE(lines.size(), 4u);
  const std::vector<std::string> tail(lines.end() - 4, lines.end());
  EXPECT_EQ(tail[0], "() Mask debug starts:");
  EXPECT_EQ(tail[1], "() " + std::string(299, '.') + "X");
  EXPECT_EQ(tail[2], "() X" + std::string(299, '.'));
  EXPECT_EQ(tail[3], "() Mask debug ends.");
}

}  // namespace

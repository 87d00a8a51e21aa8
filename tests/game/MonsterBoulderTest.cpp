#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ImageCollectionUnit.h"
#include "VGRBoulderUnit.h"
#include "VGRMonsterUnit.h"
#include "VGRResourceFixtures.h"

using namespace vgrfix;

namespace {

// Cell k of monster sheet s: one lit column at x 4k + 1 of the cell, black
// elsewhere, so each frame's mask and drawing tell which cell they came from.
uint32_t StripeColour(int sheet, int cell) { return CellColour(sheet, cell); }
int StripeColumn(int cell) { return 4 * cell + 1; }

// The playfield copy: every pixel tells where it came from.
uint32_t BackColour(int x, int y) { return (static_cast<uint32_t>(x & 0xFF) << 16) | ((y & 0xFF) << 8) | 0x80; }

// The boulder's rows carry distinct colours, so a partial draw shows which
// row landed where; the arrow is one colour.
uint32_t RowColour(int row) { return 0x080000u * static_cast<uint32_t>(row + 1) + 0x0000F0u; }
constexpr uint32_t kArrowColour = 0x30C030;

// Far more updates than a boulder at speed 1 takes from its aim to rest
// (under 400: two pixels an update across a 640-pixel screen and the fall).
constexpr int kBoulderCycleFrames = 2000;

class MonsterBoulderTest : public ::testing::Test, public TDefinitionsFixture {
 protected:
  MonsterBoulderTest() {
    for (int sheet = 1; sheet <= 2; ++sheet) {
      vgrtest::WriteFile(Folder / ("monsters" + std::to_string(sheet) + ".tga"),
                         imgfix::MakeTGA24(128, 16, [sheet](int x, int) {
                           return x % 32 == StripeColumn(x / 32) ? StripeColour(sheet, x / 32) : 0u;
                         }));
    }
    WriteObjects({">1", "!END"});
    // M15 from cells 3, 0 of the first sheet; M25 from cells 1, 2 of the
    // second; M16 a strip of 17 frames.
    WriteMonsters({"MONS05a,2,3,0", "MONS06a,17,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1", "", "MONS05b,2,1,2",
                   "MONS06b,1,0"});
    Resources = std::make_unique<TResources>();

    Back = CreateImageWH(516, 356);
    LockSurface(Back->Surface);
    for (int y = 0; y < 356; ++y)
      for (int x = 0; x < 516; ++x) {
        const uint32_t c = BackColour(x, y);
        PutPixel(Back->Surface, x, y, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c));
      }
    UnlockSurface(Back->Surface);

    SavedCollection = std::move(ImageCollection);
    ImageCollection = std::make_unique<TImageCollection>();
    TImagePtr boulder = CreateImageWH(16, 16);
    for (int r = 0; r < 16; ++r)
      ImageBar(boulder.get(), 0, r, 15, r, uint8_t(RowColour(r) >> 16), uint8_t(RowColour(r) >> 8), uint8_t(RowColour(r)));
    ImageCollection->Add(std::move(boulder), "Boulder");
    TImagePtr arrow = CreateImageWH(16, 16);
    ImageBar(arrow.get(), 0, 0, 15, 15, uint8_t(kArrowColour >> 16), uint8_t(kArrowColour >> 8), uint8_t(kArrowColour));
    ImageCollection->Add(std::move(arrow), "ArrowDown");
  }
  ~MonsterBoulderTest() override { ImageCollection = std::move(SavedCollection); }

  static uint32_t Screen(int x, int y) { return imgfix::ImagePx(BackImage, x, y); }
  // The stripe cell drawn at the monster's place, -1 when none is.
  static int CellShownAt(int x, int y, int sheet) {
    for (int cell = 0; cell < 4; ++cell)
      if (Screen(x + StripeColumn(cell), y) == StripeColour(sheet, cell)) return cell;
    return -1;
  }
  // The columns set in the mask's first row.
  static std::vector<int> MaskColumns(PMask mask) {
    std::vector<int> out;
    for (int x = 0; mask && x < mask->Width; ++x)
      if (mask->Data[x]) out.push_back(x);
    return out;
  }

  TImagePtr Back;
  std::unique_ptr<TImageCollection> SavedCollection;
};

// One patrol per speed: limits 104..152 are passed by one pixel before the
// turn, a step comes every `speed` frames, the strip follows the direction
// and each frame is shown for four steps.
TEST_F(MonsterBoulderTest, MonstersPatrolTheirRow) {
  const struct {
    int8_t speed;
    int32_t dir;
  } cases[] = {{1, 1}, {-1, -1}, {3, 1}, {-2, -1}};
  // Frames of M15 (left) show cells 3, 0 of sheet 1; of M25 (right) cells
  // 1, 2 of sheet 2.
  const int leftCells[2] = {3, 0}, rightCells[2] = {1, 2};
  for (const auto& c : cases) {
    SCOPED_TRACE("speed " + std::to_string(c.speed));
    TMonster m({2, 3, 6, 3, c.speed, 5}, Back.get());
    EXPECT_EQ(m.LeftLimit, 104);
    EXPECT_EQ(m.RightLimit, 152);
    EXPECT_EQ(m.X, 112);
    EXPECT_EQ(m.Y, 72);
    EXPECT_EQ(m.Dir, c.dir);
    EXPECT_EQ(m.FrameCountOf(), 2);

    const int every = std::abs(c.speed);
    int minX = m.X, maxX = m.X, steps = 0, turns = 0;
    for (int frame = 1; frame <= 500 * every; ++frame) {
      Bar(0, 0, 639, 399, 0, 0, 0);
      m.Draw();
      const bool left = m.Dir < 0;
      const int cell = (left ? leftCells : rightCells)[(steps / 4) % 2];
      ASSERT_EQ(CellShownAt(m.X, m.Y, left ? 1 : 2), cell) << "frame " << frame;
      const TCollisionRect r = m.Bounds();
      ASSERT_EQ(r.X, m.X);
      ASSERT_EQ(r.Y, m.Y);
      ASSERT_EQ(MaskColumns(r.Mask), std::vector<int>{StripeColumn(cell)}) << "frame " << frame;
      m.Erase();
      ASSERT_EQ(Screen(m.X + StripeColumn(cell), m.Y), BackColour(m.X + StripeColumn(cell) - 62, m.Y - 22));

      const int oldX = m.X, oldDir = m.Dir;
      m.Move();
      if (frame % every != 0) {
        ASSERT_EQ(m.X, oldX) << "frame " << frame;
        continue;
      }
      ++steps;
      ASSERT_EQ(m.X, oldX + oldDir);
      if (m.Dir != oldDir) {
        ++turns;
        ASSERT_TRUE(m.X == 103 || m.X == 153) << "turned at " << m.X;
      }
      minX = std::min<int>(minX, m.X);
      maxX = std::max<int>(maxX, m.X);
    }
    EXPECT_EQ(minX, 103);
    EXPECT_EQ(maxX, 153);
    EXPECT_GE(turns, 9);
  }
}

// Speed 0 wraps the step counter: the monster stands for 65536 frames.
TEST_F(MonsterBoulderTest, SpeedZeroWaitsForTheCounterToWrap) {
  TMonster m({2, 3, 6, 3, 0, 5}, Back.get());
  for (int i = 0; i < 65535; ++i) m.Move();
  EXPECT_EQ(m.X, 112);
  m.Move();
  EXPECT_EQ(m.X, 113);
}

// A strip wider than 16 frames keeps its first 16 and says which picture.
TEST_F(MonsterBoulderTest, OverlongStripIsCutWithAWarning) {
  TMonster m({2, 3, 6, 3, 1, 6}, Back.get());
  EXPECT_EQ(m.FrameCountOf(), 16);
  EXPECT_EQ(m.AnimLimit, 64);
  EXPECT_EQ(LogWith("(M16)").size(), 1u);
}

// One whole boulder cycle as the game drives it, traced as runs of states:
// 15 emerge steps, a roll along the top to the aimed x, 320 rows of fall, a
// roll along the bottom to 560, then straight into the next cycle.
TEST_F(MonsterBoulderTest, BoulderCycleTrace) {
  TBoulder b(Back.get());
  EXPECT_EQ(b.State, TBoulder::bsIdle);
  b.Start(1);
  struct TRun {
    int state, frames, endX, endY;
    bool operator==(const TRun&) const = default;
  };
  std::vector<TRun> runs;
  for (int frame = 0; frame < 15 + 84 + 160 + 130 + 3; ++frame) {
    Bar(0, 0, 639, 399, 0, 0, 0);
    const int state = b.State;
    b.Draw();
    if (state == TBoulder::bsEmerging) {
      EXPECT_EQ(Screen(140, 24), RowColour(b.Counter)) << "frame " << frame;
      EXPECT_EQ(Screen(140, 24 + 15 - b.Counter), RowColour(15));
    } else {
      EXPECT_EQ(Screen(b.X, b.Y), RowColour(0));
      EXPECT_EQ(Screen(b.X + 15, b.Y + 15), RowColour(15));
      EXPECT_EQ(Screen(b.TargetX + 20, 30), kArrowColour);
    }
    const TCollisionRect arrow = b.BoundsB();
    EXPECT_EQ(arrow.X, state == TBoulder::bsEmerging ? 0 : b.TargetX + 16);
    EXPECT_EQ(arrow.Y, 24);
    const TCollisionRect boulder = b.BoundsA();
    EXPECT_EQ(boulder.X, b.X);
    EXPECT_EQ(boulder.Y, b.Y);
    EXPECT_EQ(boulder.Mask, b.BoulderMask.get());
    b.Erase();
    EXPECT_EQ(Screen(b.X + 3, b.Y + 3), BackColour(b.X + 3 - 62, b.Y + 3 - 22));
    EXPECT_EQ(Screen(b.TargetX + 20, 30), BackColour(b.TargetX + 20 - 62, 30 - 22));
    b.Update();
    if (runs.empty() || runs.back().state != state) runs.push_back({state, 0, 0, 0});
    runs.back().frames += 1;
    runs.back().endX = b.X;
    runs.back().endY = b.Y;
    b.Start(1);
    b.Aim(301);  // the professor's X + 2
  }
  const std::vector<TRun> expected = {
      {TBoulder::bsEmerging, 15, 132, 24}, {TBoulder::bsRollingTop, 84, 300, 24}, {TBoulder::bsFalling, 160, 300, 344},
      {TBoulder::bsRollingBottom, 130, 560, 344}, {TBoulder::bsEmerging, 3, 132, 24}};
  EXPECT_EQ(runs, expected);
  // The emerge's end aims at once: the waiting state never lasts a frame.
  EXPECT_EQ(b.TargetX, 500);
}

// Aim limits and rounds, and only acts while waiting; the arrow's bounds lie
// at x 0 unless it is shown; Start during a cycle changes nothing.
TEST_F(MonsterBoulderTest, BoulderEdges) {
  const std::pair<int, int> aims[] = {{100, 176}, {600, 544}, {301, 300}, {176, 176}, {547, 544}};
  for (auto [x, target] : aims) {
    TBoulder b(Back.get());
    b.Aim(x);
    EXPECT_EQ(b.State, TBoulder::bsIdle);
    b.Start(1);
    EXPECT_EQ(b.BoundsB().X, 0);
    for (int i = 0; i < 14; ++i) b.Update();
    b.Aim(x);  // still emerging: ignored
    EXPECT_EQ(b.State, TBoulder::bsEmerging);
    EXPECT_EQ(b.TargetX, 500);
    b.Update();
    EXPECT_EQ(b.State, TBoulder::bsWaiting);
    EXPECT_EQ(b.BoundsB().X, 0);
    b.Aim(x);
    EXPECT_EQ(b.TargetX, target) << "aim " << x;
    EXPECT_EQ(b.Counter, target - 132);
    EXPECT_EQ(b.BoundsB().X, target + 16);

    // Start in every state of the cycle is ignored. The cycle is bounded,
    // so that a boulder that never comes to rest fails instead of spinning.
    int frames = 0;
    for (; b.State != TBoulder::bsIdle && frames < kBoulderCycleFrames; ++frames) {
      TLogicChecksum before, after;
      b.AddToChecksum(before);
      b.Start(3);
      b.AddToChecksum(after);
      ASSERT_EQ(before.Value(), after.Value()) << "state " << int(b.State);
      b.Update();
    }
    ASSERT_EQ(b.State, TBoulder::bsIdle) << "still not idle after " << frames << " frames";
    EXPECT_EQ(b.BoundsB().X, 0);
    b.Start(1);
    EXPECT_EQ(b.State, TBoulder::bsEmerging);
    b.Reset();
    EXPECT_EQ(b.State, TBoulder::bsIdle);
  }
}

// A saved frame of monsters and boulder put back replays the same course,
// also into fresh objects.
TEST_F(MonsterBoulderTest, SavedLogicReplaysTheSameCourse) {
  TMonster m({2, 3, 6, 3, 3, 5}, Back.get());
  TBoulder b(Back.get());
  auto run = [](TMonster& m, TBoulder& b, int frames) {
    TLogicChecksum sum;
    for (int i = 0; i < frames; ++i) {
      m.Move();
      b.Update();
      b.Start(1);
      b.Aim(static_cast<uint16_t>(200 + i % 150));
      m.AddToChecksum(sum);
      b.AddToChecksum(sum);
    }
    return sum.Value();
  };
  run(m, b, 123);
  const TMonsterLogic ml = m.SaveLogic();
  const TBoulderLogic bl = b.SaveLogic();
  const uint32_t first = run(m, b, 400);
  const uint32_t later = run(m, b, 400);
  EXPECT_NE(first, later);
  m.RestoreLogic(ml);
  b.RestoreLogic(bl);
  EXPECT_EQ(run(m, b, 400), first);

  TMonster m2({0, 0, 1, 0, 1, 5}, Back.get());
  TBoulder b2(Back.get());
  m2.RestoreLogic(ml);
  b2.RestoreLogic(bl);
  EXPECT_EQ(run(m2, b2, 400), first);
}

}  // namespace

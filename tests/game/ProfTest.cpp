// The professor, run headless frame by frame on levels drawn in the tests.
//
// The golden trace (tests/game/golden/ProfWalk.trace) holds the professor's
// x, y and state for every frame of a scripted walk. After an intended change
// of his movement, rewrite it with
//   VGR_UPDATE_GOLDEN=1 build/bin/game_tests --gtest_filter='Prof*Golden*'
// and review the diff.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "ProfFixtures.h"
#include "TestSupport.h"
#include "SystemUnit.h"

using namespace proffix;

namespace {

class ProfTest : public ::testing::Test, public TProfFixture {};

const std::string kFloor(32, '#');

struct TCheck {
  int Frame;
  int32_t X, Y;
  int State;
};

struct TCase {
  const char* Name;
  int Top;  // map row of the first string
  std::vector<std::string> Rows;
  int Col, Row;  // standing over column Col on row Row
  const char* Keys;
  std::function<void(TProf&, TMap&)> Setup;
  std::vector<TCheck> Checks;
  int Points;
  std::vector<std::string> Sounds;
  std::function<void(TProf&, TMap&, TProfFixture&)> After;
};

TEST_F(ProfTest, StatesFrameByFrame) {
  const std::string wall = std::string(8, ' ') + "#";  // column 9
  const std::vector<TCase> cases = {
      // Walking and falling: falls are decided only at aligned positions, and
      // the feet point is the left foot's.
      {"walking right falls as soon as the feet leave the ledge", 18, {"##########", "", "", kFloor}, 10, 18, "R",
       nullptr, {{16, 222, 280, 0}, {17, 222, 280, 1}, {40, 222, 326, 1}, {41, 222, 328, 0}}, 0,
       {"Falling", "stop Falling", "Landing"}, nullptr},
      {"walking left walks on air until aligned", 18, {"         ###########", "", "", kFloor}, 10, 18, "L", nullptr,
       {{1, 205, 280, 0}, {16, 190, 280, 0}, {17, 190, 280, 1}, {41, 190, 328, 0}}, 0,
       {"Falling", "stop Falling", "Landing"}, nullptr},
      {"34 frames of falling land safely", 21, {kFloor}, 5, 21, "",
       [](TProf& p, TMap&) {
         p.State = psFalling;
         p.VY = 2;
         p.Y -= 68;
       },
       {{33, 126, 326, 1}, {34, 126, 328, 0}}, 0, {"stop Falling", "Landing"}, nullptr},
      {"35 frames of falling end the life", 21, {kFloor}, 5, 21, "",
       [](TProf& p, TMap&) {
         p.State = psFalling;
         p.VY = 2;
         p.Y -= 70;
       },
       {{34, 126, 326, 1}, {35, 126, 328, 10}, {40, 126, 328, 10}}, 0, {"stop Falling", "Landing"}, nullptr},
      {"left wins over right", 21, {kFloor}, 10, 21, "LR", nullptr, {{5, 201, 328, 0}}, 0, {}, nullptr},
      {"right wins when the way left is blocked, and left again a pixel on", 19, {wall, wall, kFloor}, 10, 21, "LR", nullptr,
       {{1, 207, 328, 0}, {2, 206, 328, 0}, {5, 207, 328, 0}}, 0, {}, nullptr},
      {"a slow floor moves him on odd frames only", 21, {"#######sssss####################"}, 10, 21, "R", nullptr,
       {{1, 207, 328, 0}, {2, 207, 328, 0}, {3, 208, 328, 0}, {6, 209, 328, 0}}, 0, {}, nullptr},
      // Springs and trapdoors want the fire key.
      {"a spring throws him 68 pixels up and he falls back", 21, {"####S###########################"}, 5, 21, "F",
       nullptr, {{1, 126, 328, 2}, {34, 126, 262, 2}, {35, 126, 260, 1}, {69, 126, 328, 0}, {70, 126, 328, 2}}, 0,
       {"Spring", "stop Falling", "Landing", "Spring"}, nullptr},
      {"the top of the playfield stops the jump", 5, {"####S#####"}, 5, 5, "F", nullptr,
       {{25, 126, 24, 2}, {26, 126, 24, 0}, {27, 126, 24, 1}, {51, 126, 72, 0}}, 0,
       {"Spring", "Falling", "stop Falling", "Landing"}, nullptr},
      {"without fire a spring is floor", 21, {"####S###########################"}, 5, 21, "", nullptr,
       {{5, 126, 328, 0}}, 0, {}, nullptr},
      {"a trapdoor drops him a cell, then he falls", 18, {"####d#####", "", "", kFloor}, 5, 18, "F", nullptr,
       {{1, 126, 280, 4}, {8, 126, 294, 4}, {9, 126, 296, 0}, {10, 126, 296, 1}, {26, 126, 328, 0}}, 0,
       {"Falling", "stop Falling", "Falling", "stop Falling", "Landing"}, nullptr},
      {"stacked trapdoors drop straight through", 18, {"####d#####", "    d", "", kFloor}, 5, 18, "F", nullptr,
       {{9, 126, 296, 4}, {17, 126, 312, 0}, {18, 126, 312, 1}, {26, 126, 328, 0}}, 0,
       {"Falling", "stop Falling", "Falling", "stop Falling", "Landing"}, nullptr},
      // Ice and transporters.
      {"ice slides him cell by cell", 21, {"###iii##########################"}, 3, 21, "R", nullptr,
       {{16, 110, 328, 0}, {17, 110, 328, 3}, {33, 126, 328, 3}, {65, 158, 328, 0}, {66, 159, 328, 0}}, 0,
       {"Sliding on ICE", "Sliding on ICE", "Sliding on ICE"}, nullptr},
      {"a slide stops where a step would be blocked, and he can walk away", 19,
       {wall, wall, "###iiiii########################"}, 5, 21, "L", [](TProf& p, TMap&) { p.Dir = 1; },
       {{1, 126, 328, 3}, {49, 174, 328, 3}, {50, 174, 328, 0}, {51, 173, 328, 0}, {66, 158, 328, 0},
        {67, 158, 328, 3}},
       0, {"Sliding on ICE", "Sliding on ICE", "Sliding on ICE", "Sliding on ICE", "Sliding on ICE"}, nullptr},
      {"before his first step he stands on ice as on floor", 21, {"###iii##########################"}, 5, 21, "",
       nullptr, {{5, 126, 328, 0}}, 0, {}, nullptr},
      {"a transporter carries him two cells on", 21, {"####t###########################"}, 5, 21, "",
       [](TProf& p, TMap&) { p.Dir = 1; },
       {{1, 126, 328, 5}, {128, 126, 328, 5}, {129, 158, 328, 6}, {256, 158, 328, 6}, {257, 158, 328, 0}}, 0,
       {"Create VGR"}, nullptr},
      {"before the first step a transporter carries him left", 21, {"####t###########################"}, 5, 21, "",
       nullptr, {{129, 94, 328, 6}, {257, 94, 328, 0}}, 0, {"Create VGR"}, nullptr},
      {"a transport may end next to a wall", 19, {"        #", "        #", "####t###########################"}, 5,
       21, "", [](TProf& p, TMap&) { p.Dir = 1; }, {{257, 158, 328, 0}}, 0, {"Create VGR"}, nullptr},
      {"a transport into a wall does not happen", 19,
       {"      #", "      #", "####t###########################"}, 5, 21, "R", [](TProf& p, TMap&) { p.Dir = 1; },
       {{1, 127, 328, 0}, {15, 141, 328, 0}}, 0, {}, nullptr},
      // Wires.
      {"a wire shocks once and burns into the next object", 21, {"####w###########################"}, 5, 21, "",
       nullptr,
       {{1, 126, 328, 7}, {130, 126, 328, 7}, {131, 126, 328, 8}, {258, 126, 328, 8}, {259, 126, 328, 0},
        {300, 126, 328, 0}},
       0, {"Shocking"},
       [](TProf&, TMap& m, TProfFixture& t) {
         EXPECT_EQ(m.ObjectNumberAt(CellX(5), CellY(21)), kBurntWire);
         EXPECT_FALSE(m.IsWireAt(CellX(5), CellY(21)));
         // The burnt wire is drawn on the screen and on the playfield copy.
         EXPECT_EQ(t.Screen(CellX(5), CellY(21)), ObjColour(kBurntWire));
         EXPECT_EQ(t.Back(CellX(5), CellY(21)), ObjColour(kBurntWire));
       }},
      // Pieces, dots and the exit.
      {"pieces 1 to 7 in one go give 1+2+...+7 points, then the exit", 21, {"#1234567E#######################"}, 2,
       21, "R", nullptr,
       {{1, 78, 328, 0}, {2, 79, 328, 0}, {18, 94, 328, 0}, {119, 190, 328, 0}, {120, 191, 328, 9},
        {130, 191, 328, 9}},
       28,
       {"Piece Pickup", "Piece Pickup", "Piece Pickup", "Piece Pickup", "Piece Pickup", "Piece Pickup",
        "Piece Pickup", "Create VGR"},
       [](TProf& p, TMap& m, TProfFixture& t) {
         EXPECT_EQ(p.NextPiece(), 8);
         EXPECT_EQ(p.PieceValue, 8);
         // A picked piece's cell keeps its type: he still stood on it.
         EXPECT_EQ(m.ObjectAt(CellX(3), CellY(21)), 2);
         // Its cell shows the floor around it, and the cell above, where the
         // piece lay, the level's background picture again, on the screen
         // and on the playfield copy; the piece is in the creature display.
         EXPECT_EQ(t.Screen(CellX(3), CellY(21)), ObjColour(kSolid));
         EXPECT_EQ(t.Back(CellX(3), CellY(21)), ObjColour(kSolid));
         EXPECT_EQ(t.Screen(CellX(3), CellY(20)), ObjColour(kBackground));
         EXPECT_EQ(t.Back(CellX(3), CellY(20)), ObjColour(kBackground));
         EXPECT_EQ(t.Screen(512 + 4, 56 + 4), ObjColour(kFirstPiece));
         EXPECT_EQ(t.Screen(504 + 4, 88 + 4), ObjColour(kFirstPiece + 3));
         EXPECT_EQ(t.Screen(520 + 15, 104 + 15), ObjColour(kFirstPiece + 6));
       }},
      {"a piece out of order does nothing", 21, {"####2###########################"}, 5, 21, "", nullptr,
       {{3, 126, 328, 0}}, 0, {}, [](TProf& p, TMap&, TProfFixture&) { EXPECT_EQ(p.NextPiece(), 1); }},
      {"the exit waits for the last piece", 21, {"########E#######################"}, 9, 21, "",
       [](TProf& p, TMap&) { p.SetNextPiece(7); }, {{3, 190, 328, 0}}, 0, {}, nullptr},
      {"the exit waits for the last dot", 21, {"########E#######################"}, 9, 21, "",
       [](TProf& p, TMap& m) {
         p.SetNextPiece(8);
         m.Dots[2][21] = 1;
         m.DotCount = 1;
       },
       {{3, 190, 328, 0}}, 0, {}, nullptr},
      {"the last dot eaten on the exit ends an interim level", 21, {"########E#######################"}, 9, 21, "",
       [](TProf& p, TMap& m) {
         p.SetNextPiece(8);
         p.InInterim = true;
         m.Dots[8][21] = 1;
         m.DotCount = 1;
       },
       {{1, 190, 328, 9}, {3, 190, 328, 9}}, 0, {"Destroy VGR"},
       [](TProf&, TMap& m, TProfFixture& t) {
         EXPECT_EQ(m.DotCount, 0);
         EXPECT_FALSE(m.HasDotAt(CellX(9), CellY(21)));
         // The eaten dot's cell is repaired on the copy and on the screen:
         // the exit it lay on shows again.
         EXPECT_EQ(t.Back(CellX(9), CellY(21)), ObjColour(kExit));
         EXPECT_EQ(t.Screen(CellX(9), CellY(21)), ObjColour(kExit));
       }},
  };

  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Sounds.clear();
    Bar(0, 0, 639, 399, 0, 0, 0);
    Build(c.Rows, c.Top);
    Prof->SetPosition(ColX(c.Col), RowY(c.Row));
    if (c.Setup) c.Setup(*Prof, *Map);
    Keys(c.Keys);
    int points = 0;
    int frame = 0;
    for (const TCheck& check : c.Checks) {
      while (frame < check.Frame) {
        points += Prof->Update();
        ++frame;
      }
      EXPECT_EQ(Prof->X, check.X) << "frame " << frame;
      EXPECT_EQ(Prof->Y, check.Y) << "frame " << frame;
      EXPECT_EQ(Prof->State, check.State) << "frame " << frame;
    }
    EXPECT_EQ(points, c.Points);
    EXPECT_EQ(Sounds, c.Sounds);
    if (c.After) c.After(*Prof, *Map, *this);
  }
}

// The picture of every frame of a walk follows the cycle 3 4 5 4 3 2 1 2,
// four counts each, taken before the counter moves.
TEST_F(ProfTest, WalkCycleAndFacing) {
  Build({kFloor}, 21);
  Prof->SetPosition(ColX(10), RowY(21));
  EXPECT_EQ(Prof->Image, Pic("ProfRight1"));
  EXPECT_EQ(Prof->WalkCounter, 32768);
  const int cycle[8] = {3, 4, 5, 4, 3, 2, 1, 2};
  Keys("R");
  for (int f = 0; f < 40; ++f) {
    Prof->Update();
    ASSERT_EQ(Prof->Image, Pic("ProfRight" + std::to_string(cycle[(f / 4) % 8]))) << f;
  }
  EXPECT_EQ(Prof->Dir, 1);
  Keys("L");
  Prof->Update();  // counter 32808: (32808 div 4) mod 8 = 2
  EXPECT_EQ(Prof->Image, Pic("ProfLeft5"));
  EXPECT_EQ(Prof->WalkCounter, 32807);
  EXPECT_EQ(Prof->Dir, -1);

  // On a slow floor the picture follows the keys on the frames he stands.
  Build({"#######sssss####################"}, 21);
  Prof->SetPosition(ColX(10), RowY(21));
  Keys("R");
  Prof->Update();
  EXPECT_EQ(Prof->X, 207);
  Keys("L");
  Prof->Update();  // an even frame
  EXPECT_EQ(Prof->X, 207);
  EXPECT_EQ(Prof->Dir, 1);
  EXPECT_EQ(Prof->Image, Pic("ProfLeft3"));
}

// Before the first step the masks face right while the standing picture
// faces left; dying or dead, nothing touches him.
TEST_F(ProfTest, TouchesAndDeathLeap) {
  Build({kFloor}, 21);
  Prof->SetPosition(500, 200);
  TMask dot;
  dot.Width = dot.Height = 1;
  dot.Data = {1};
  const TCollisionRect leftHalf{&dot, 503, 210}, rightHalf{&dot, 515, 210};
  EXPECT_FALSE(Prof->Touches(leftHalf));
  EXPECT_TRUE(Prof->Touches(rightHalf));
  Prof->ShowStandingFrame();
  EXPECT_EQ(Prof->Image, Pic("ProfLeft3"));
  Prof->Dir = -1;
  EXPECT_TRUE(Prof->Touches(leftHalf));
  EXPECT_FALSE(Prof->Touches(rightHalf));
  Prof->Dir = 1;

  Randomize(7);
  Prof->SetPosition(540, 200);
  Prof->State = psFalling;  // in mid-air: the falling sound stops with the fall
  Prof->Die();
  EXPECT_EQ(Prof->State, psDying);
  EXPECT_GE(Prof->DeathDX, -6);
  EXPECT_LE(Prof->DeathDX, 6);
  EXPECT_EQ(Prof->DeathBaseY, 200);
  EXPECT_EQ(Sounds, (std::vector<std::string>{"stop Falling", "Death"}));
  Prof->DeathDX = 6;
  const TCollisionRect onHim{&dot, 550, 210};
  EXPECT_FALSE(Prof->Touches(onHim));
  EXPECT_FALSE(Prof->IsAlive());

  std::vector<int32_t> xs{0}, ys{0};
  for (int f = 1; f <= 95 && Prof->State == psDying; ++f) {
    Prof->Update();
    xs.push_back(Prof->X);
    ys.push_back(Prof->Y);
    ASSERT_GE(Prof->X, 64);
    ASSERT_LE(Prof->X, 555);
    ASSERT_GE(Prof->Y, 24);
    if (f == 40) {
      const TProfLogic before = Prof->SaveLogic();
      Prof->Die();
      EXPECT_EQ(Prof->SaveLogic(), before);
      EXPECT_FALSE(Prof->Touches(TCollisionRect{&dot, Prof->X + 15, Prof->Y + 5}));
    }
  }
  ASSERT_EQ(xs.size(), 91u);
  // Bounces at both walls.
  EXPECT_EQ(xs[2], 552);
  EXPECT_EQ(xs[3], 555);
  EXPECT_EQ(xs[4], 549);
  EXPECT_EQ(xs[84], 69);
  EXPECT_EQ(xs[85], 64);
  EXPECT_EQ(xs[86], 70);
  // The rise: 3 degrees a frame up to 90, where the leap's base moves 32 up
  // and the fall starts in the same frame.
  EXPECT_EQ(ys[1], 200);
  EXPECT_EQ(ys[11], 184);  // sin 30 degrees * 32 = 16 exactly
  EXPECT_EQ(ys[29], 169);
  EXPECT_EQ(ys[30], 169);  // 168 + 352 - trunc(sin 91 * 352)
  EXPECT_EQ(Prof->DeathBaseY, 168);
  EXPECT_EQ(ys[89], 344);  // sin 150 degrees * 352 = 176 exactly: still on the line
  EXPECT_EQ(ys[90], 344);
  EXPECT_EQ(Prof->State, psDead);
  EXPECT_TRUE(Prof->IsDead());
  EXPECT_FALSE(Prof->Touches(onHim));
  const TProfLogic dead = Prof->SaveLogic();
  Prof->Update();
  EXPECT_EQ(Prof->FrameCounter, dead.FrameCounter + 1);
  EXPECT_EQ(Prof->Y, 344);
  EXPECT_EQ(Prof->X, dead.X);
  EXPECT_EQ(Sounds, (std::vector<std::string>{"stop Falling", "Death"}));
  // A leap that lands exactly on a wall turns only when it would pass it: on
  // the wall it takes one more step, which the clamp holds there.
  for (const auto& [start, dx, expected] :
       {std::tuple{76, -6, std::vector<int32_t>{70, 64, 64, 70}},
        std::tuple{543, 6, std::vector<int32_t>{549, 555, 555, 549}}}) {
    SCOPED_TRACE(start);
    Prof->State = psWalking;
    Prof->SetPosition(start, 200);
    Prof->Die();
    Prof->DeathDX = dx;
    std::vector<int32_t> path;
    for (std::size_t f = 0; f < expected.size(); ++f) {
      Prof->Update();
      path.push_back(Prof->X);
    }
    EXPECT_EQ(path, expected);
  }
  // A new life started in mid-drop stops the falling sound too.
  Prof->State = psDropping;
  Prof->Reset();
  EXPECT_EQ(Prof->State, psWalking);
  EXPECT_EQ(Sounds.back(), "stop Falling");
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift : {0, 8, 16}) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d < -3 || d > 3) return false;
  }
  return true;
}

// The shock flashes white and outlined, then fades from white back to the
// walking picture; a transport fades him out over the ground he stood on and
// in again two cells on.
TEST_F(ProfTest, FlashesAndFades) {
  using vgrfix::ImagePx;
  Build({"####w###########################"}, 21);
  Prof->SetPosition(ColX(5), RowY(21));
  // Bounded, so that a counter that stops counting fails the test.
  auto to = [&](int frame) {
    for (int i = 0; i < 1000 && Prof->FrameCounter < frame; ++i) Prof->Update();
    ASSERT_EQ(Prof->FrameCounter, frame);
  };
  to(2);
  EXPECT_EQ(Prof->Image, Pic("ProfRight1"));  // the picture he was made with
  to(3);                                        // 128: white
  EXPECT_EQ(Prof->Image, Pic("ProfLeft3White"));
  to(11);  // 120: white with the outline over it
  EXPECT_EQ(Prof->Image, Prof->WorkB.get());
  EXPECT_EQ(ImagePx(Prof->WorkB.get(), 0, 5), 0x00FF60u);
  EXPECT_EQ(ImagePx(Prof->WorkB.get(), 5, 5), 0xFFFFFFu);
  to(131);
  EXPECT_EQ(Prof->State, psRecovering);
  EXPECT_EQ(ImagePx(Prof->WorkC.get(), 5, 5), 0x604040u);
  EXPECT_EQ(ImagePx(Prof->WorkC.get(), 15, 5), 0u);
  EXPECT_EQ(ImagePx(Prof->WorkA.get(), 5, 5), 0xFFFFFFu);
  to(132);  // alpha 256 taken as a byte: the white picture is not drawn
  EXPECT_EQ(ImagePx(Prof->WorkB.get(), 5, 5), 0x604040u);
  to(133);  // alpha 254: nearly white
  EXPECT_TRUE(Near(ImagePx(Prof->WorkB.get(), 5, 5), 0xFEFEFEu)) << std::hex << ImagePx(Prof->WorkB.get(), 5, 5);
  to(196);  // alpha 130: half way
  EXPECT_TRUE(Near(ImagePx(Prof->WorkB.get(), 5, 5), 0xAF9F9Fu)) << std::hex << ImagePx(Prof->WorkB.get(), 5, 5);
  to(259);
  EXPECT_EQ(Prof->State, psWalking);
  EXPECT_EQ(Prof->Image, Pic("ProfLeft3"));

  Build({"####t###########################"}, 21);
  Prof->SetPosition(ColX(5), RowY(21));
  Prof->Dir = 1;
  Prof->ShowStandingFrame();
  Bar(ColX(5), RowY(21), ColX(5) + 19, RowY(21) + 31, 0x11, 0x22, 0x33);
  to(1);
  EXPECT_EQ(Prof->State, psTransportOut);
  EXPECT_EQ(Prof->SavedImage, Pic("ProfRight3"));
  EXPECT_EQ(ImagePx(Prof->WorkA.get(), 2, 2), 0x112233u);
  EXPECT_EQ(ImagePx(Prof->WorkC.get(), 2, 2), 0x112233u);
  EXPECT_EQ(ImagePx(Prof->WorkC.get(), 15, 5), 0xE04040u);
  to(2);
  EXPECT_EQ(Prof->Image, Prof->WorkB.get());
  EXPECT_TRUE(Near(ImagePx(Prof->WorkB.get(), 15, 5), 0xE04040u));
  to(128);  // alpha 2: nearly gone
  EXPECT_TRUE(Near(ImagePx(Prof->WorkB.get(), 15, 5), 0x112233u));
  to(257);
  EXPECT_EQ(Prof->X, ColX(7));
  EXPECT_EQ(Prof->Image, Pic("ProfRight3"));
}

// A run on random keys, saved part way and restored: the rest replays to the
// same values, frame by frame.
TEST_F(ProfTest, SavedLogicReplays) {
  Build({"          ####d########", "", "", "", "###iii###sss###S##ii#t#######d##", "", "", kFloor}, 14);
  Prof->SetPosition(ColX(3), RowY(18));
  std::mt19937 keys(42);
  std::vector<std::string> script;
  static const char* const kKeys[] = {"RF", "RF", "RF", "R", "R", "LF", "L", "LR", ""};
  while (script.size() < 1500) {
    const std::string k = kKeys[keys() % 9];
    script.insert(script.end(), 30 + keys() % 60, k);
  }
  auto run = [&](int from, int to, std::vector<uint32_t>& sums, std::set<int>& states) {
    for (int f = from; f < to; ++f) {
      Keys(script[static_cast<size_t>(f)]);
      Prof->Update();
      TLogicChecksum c;
      Prof->AddToChecksum(c);
      sums.push_back(c.Value());
      states.insert(Prof->State);
    }
  };
  std::vector<uint32_t> first, second;
  std::set<int> states, ignored;
  run(0, 600, first, states);
  const TProfLogic saved = Prof->SaveLogic();
  run(600, 1500, first, states);
  const TProfLogic end = Prof->SaveLogic();
  // The walk must have been worth replaying.
  EXPECT_GE(states.size(), 5u);

  Prof->RestoreLogic(saved);
  EXPECT_EQ(Prof->SaveLogic(), saved);
  run(600, 1500, second, ignored);
  EXPECT_EQ(std::vector<uint32_t>(first.begin() + 600, first.end()), second);
  EXPECT_EQ(Prof->SaveLogic(), end);
  EXPECT_NE(first[599], first.back());
}

// The scripted walk: a trapdoor, a fall too far, ice, a piece, a spring, the
// exit; then a transporter onto a wire, and a death.
TEST_F(ProfTest, GoldenWalkTrace) {
  std::vector<std::string> rows(22);
  rows[5] = " #d#";
  rows[7] = "    #E#";
  rows[11] = " #i7S#";
  rows[21] = "###################t#w##########";
  Build(rows, 0);
  Randomize(2026);
  Prof->SetPosition(93, 72);
  Prof->SetNextPiece(7);
  Keys("RF");
  std::ostringstream trace;
  trace << "# frame x y state\n";
  std::set<int> states;
  int points = 0;
  for (int frame = 1; frame <= 600; ++frame) {
    if (frame == 53) Prof->Reset();  // a new life where he fell
    if (frame == 143) {
      Prof->Reset();
      Prof->SetPosition(ColX(20), RowY(21));
      Keys("");
    }
    if (frame == 532) Prof->Die();
    points += Prof->Update();
    trace << frame << " " << Prof->X << " " << Prof->Y << " " << int(Prof->State) << "\n";
    states.insert(Prof->State);
  }
  EXPECT_EQ(states.size(), 13u);
  EXPECT_EQ(points, 1);

  const std::string file = vgrtest::SourceDir() + "/tests/game/golden/ProfWalk.trace";
  const char* update = std::getenv("VGR_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    std::ofstream(file) << trace.str();
    GTEST_SKIP() << "rewrote " << file;
  }
  std::ifstream in(file);
  ASSERT_TRUE(in) << file << " is missing; see the top of this file";
  std::stringstream expected;
  expected << in.rdbuf();
  std::istringstream want(expected.str()), got(trace.str());
  std::string a, b;
  int line = 0;
  while (true) {
    const bool moreWant = static_cast<bool>(std::getline(want, a));
    const bool moreGot = static_cast<bool>(std::getline(got, b));
    ++line;
    if (!moreWant && !moreGot) break;
    ASSERT_EQ(a, b) << "first difference at line " << line;
  }
}

}  // namespace

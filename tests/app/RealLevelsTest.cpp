// The game's own data archive, as built beside the program: its object and
// monster definitions load, and every level whose piece it holds builds and
// draws with pictures for all its objects.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "GameArchive.h"
#include "ImageCollectionUnit.h"
#include "Logger.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VGRGameValues.h"
#include "VGRMapUnit.h"
#include "VGRResourceTypesUnit.h"
#include "XMapPackUnit.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"

namespace {

class RealData : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
    Initialize(640, 400, 32, VF_BACKBUFFER);
    Archive_.Mount();
    if (!ZROpenStream("objects.lst")) GTEST_SKIP() << "the data archive holds no definitions";
  }
  void TearDown() override {
    Resources.reset();
    if (ScreenSurface) Finalize();
  }

  vgrtest::TScopedLog Log_;
  vgrtest::TGameArchive Archive_;
};

TEST_F(RealData, DefinitionsLoadAndEveryPackedLevelBuilds) {
  Resources = std::make_unique<TResources>();
  ASSERT_GT(Resources->Count(), 0);
  ASSERT_NE(Resources->MoreBlocks, nullptr);
  for (int32_t i = 0; i < Resources->Count(); ++i) {
    EXPECT_NE(Resources->Images->FindImage(std::to_string(Resources->ItemNumber(i))), nullptr)
        << "object " << Resources->ItemNumber(i);
  }
  // Every monster a level may draw has both animation sets.
  for (int n = 1; n <= 20; ++n) {
    for (const char* set : {"M1", "M2"}) {
      PImage strip = Resources->Images->FindImage(set + std::to_string(n));
      ASSERT_NE(strip, nullptr) << set << n;
      EXPECT_EQ(ImageWidth(strip) % 32, 0);
      EXPECT_EQ(ImageHeight(strip), 16);
    }
  }

  TMap map;
  int built = 0;
  for (int level = 1; level <= 53; ++level) {
    if (level == 51 || level == 52) continue;
    char name[16];
    std::snprintf(name, sizeof name, "%02d.mpp", level % 2 == 0 ? 26 : (level - 1) / 2 + 1);
    if (map.Pack->IndexOf(name) < 0) continue;
    SCOPED_TRACE(level);
    for (bool robot : {false, true}) {
      MrRobotMode = robot;
      Randomize(static_cast<uint32_t>(level));
      ASSERT_TRUE(map.LoadLevel(static_cast<uint8_t>(level), true));
      for (int32_t y = 0; y < TMap::Rows; ++y) {
        for (int32_t x = 1; x <= 32; ++x) {
          const int32_t number = map.GetPhysicalTile(x, y);
          if (number != 0) {
            EXPECT_NE(Resources->Images->FindImage(std::to_string(number)), nullptr) << x << "," << y;
          }
        }
      }
      for (uint32_t slot = 0; slot < 5; ++slot) EXPECT_LE(map.MonsterStart(slot).MonsterNumber, 20);
    }
    ++built;
  }
  MrRobotMode = false;
  EXPECT_GT(built, 0);
}

}  // namespace

// The units start in their one fixed order and finalise in the reverse one:
// the log lists the version lines in that order, and a unit's finalisation
// may use every unit that started before it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SystemUnit.h"
#include "Voltigor.h"

namespace {

std::vector<std::string> Calls;

template <int N>
void FakeStart() {
  Calls.push_back("start " + std::to_string(N));
}
template <int N>
void FakeStop() {
  Calls.push_back("stop " + std::to_string(N));
}

}  // namespace

TEST(UnitStarts, TableKeepsTheStartOrderAndFinalisesInReverse) {
  const std::vector<std::string> order = {
      "ParametersUnit",      "Logger",           "StackUnit",           "Lists",
      "ZRToolbox",           "MatorPictureUnit", "MAD4LowLevelUnit",    "MyZStreamUnit",
      "RLEUnit",             "HuffmanUnit",      "CodingUnit",          "CompressorUnit",
      "MAD4MidLevelUnit",    "MAD4HighLevelUnit", "ZRStream3",          "RawPictureReaderFASTUnit",
      "RawPictureUnit",      "ZRINIFile",        "LexerUnit",           "ZR_SDL",
      "ZRFonts",             "MusicUnit",        "MusicCollectionUnit", "WaveUnit",
      "WaveCollectionUnit",  "ImageCollectionUnit", "PlaylistUnit",     "ScrollUnit",
      "KeyNames",            "SetupCommandUnit", "VisualComponentUnit", "vcc_Menu",
      "SpriteUnit",          "CollisionCheckerUnit", "XMapUnit",        "SPackUnit",
      "XMapChainUnit",       "XMapPackUnit",
  };
  std::vector<std::string> names;
  for (const TUnitStart& unit : UnitStarts()) {
    names.push_back(unit.Name);
    EXPECT_NE(unit.Startup, nullptr) << unit.Name;
  }
  EXPECT_EQ(names, order);

  // The units that create program-wide objects free them again.
  const std::vector<std::string> finalising = {
      "ParametersUnit",     "Logger",          "MatorPictureUnit",     "MyZStreamUnit",
      "HuffmanUnit",        "CompressorUnit",  "MAD4HighLevelUnit",    "MusicCollectionUnit",
      "WaveCollectionUnit", "ImageCollectionUnit", "PlaylistUnit",     "KeyNames",
      "SetupCommandUnit",   "VisualComponentUnit", "vcc_Menu",
  };
  std::vector<std::string> withShutdown;
  for (const TUnitStart& unit : UnitStarts()) {
    if (unit.Shutdown) withShutdown.push_back(unit.Name);
  }
  EXPECT_EQ(withShutdown, finalising);

  // Each finalisation is registered as its unit starts, so they run newest first.
  ASSERT_EQ(PendingExitProcs(), 0u);
  Calls.clear();
  const std::vector<TUnitStart> fake = {
      {"One", FakeStart<1>, FakeStop<1>},
      {"Two", FakeStart<2>, nullptr},
      {"Three", FakeStart<3>, FakeStop<3>},
      {"Four", FakeStart<4>, FakeStop<4>},
  };
  StartUnitTable(fake);
  EXPECT_EQ(Calls, (std::vector<std::string>{"start 1", "start 2", "start 3", "start 4"}));
  EXPECT_EQ(PendingExitProcs(), 3u);
  RunExitProcs();
  EXPECT_EQ(Calls, (std::vector<std::string>{"start 1", "start 2", "start 3", "start 4", "stop 4", "stop 3",
                                              "stop 1"}));
}

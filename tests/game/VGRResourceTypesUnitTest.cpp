#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ImageCollectionUnit.h"
#include "VGRResourceFixtures.h"

using namespace vgrfix;

namespace {

const std::string kCreateLoc = "ResourceUnit, TResources.Create";

std::string Warning(const std::string& msg) { return "[" + kCreateLoc + "] " + msg; }

std::vector<uint8_t> Values(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

class ResourcesTest : public ::testing::Test, public TDefinitionsFixture {
 protected:
  // Objects with the one sequence every start-up needs, then `lines`.
  void Load(const std::vector<std::string>& lines, const std::vector<std::string>& monsters = {"MONS01a,1,0"}) {
    std::vector<std::string> all = {">1"};
    all.insert(all.end(), lines.begin(), lines.end());
    all.push_back("!END");
    WriteObjects(all);
    WriteMonsters(monsters);
    Resources = std::make_unique<TResources>();
  }
  // The exit code and the error lines of a start-up that must end.
  int FailingLoad(const std::vector<std::string>& objects, const std::vector<std::string>& monsters) {
    WriteObjects(objects);
    WriteMonsters(monsters);
    return HaltCode([] { Resources = std::make_unique<TResources>(); });
  }
};

TEST(RTypeList, FindsTheFirstNameIgnoringCase) {
  TRTypeList list;
  EXPECT_EQ(list.Find("solid"), -1);
  list.Add("Solid", 1);
  list.Add("SOLID", 2);
  list.Add(std::string(70, 'x'), 9);
  list.Add("minus", -1);
  EXPECT_EQ(list.Find("solid"), 1);
  EXPECT_EQ(list.Find("sOLId"), 1);
  EXPECT_EQ(list.Items.size(), 4u);
  EXPECT_EQ(list.Items[2].Name.size(), 64u);
  EXPECT_EQ(list.Find(std::string(64, 'X')), 9);
  EXPECT_EQ(list.Find(std::string(70, 'x')), -1);
  EXPECT_EQ(list.Find("solid "), -1);
  EXPECT_EQ(list.Find("minus"), -1);  // indistinguishable from a missing name
}

TEST(TryStrToInt, DecimalOnly) {
  struct {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {{"12", true, 12},          {"007", true, 7},    {" -4 ", true, -4}, {"+5", true, 5},
               {"2147483647", true, INT32_MAX}, {"-2147483648", true, INT32_MIN}, {"2147483648", false, 0},
               {"", false, 0},            {"-", false, 0},     {"1x", false, 0},   {"$10", false, 0},
               {"1 2", false, 0},         {"99999999999999999999", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int32_t v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
    }
  }
}

TEST_F(ResourcesTest, AliasMustComeBeforeItsUse) {
  Load({"wall.tga,13,solid", "#SOLID,3", "wall.tga,12,solid", "wall.tga,007,Solid", "; wall.tga,14,solid", ""});
  ASSERT_EQ(Resources->Count(), 2);
  EXPECT_EQ(Resources->ItemNumber(0), 12);
  EXPECT_EQ(Resources->ItemType(0), 3);
  EXPECT_EQ(Resources->ItemNumber(1), 7);
  EXPECT_NE(Resources->Images->FindImage("12"), nullptr);
  EXPECT_NE(Resources->Images->FindImage("7"), nullptr);  // stored without leading zeros
  EXPECT_EQ(Resources->Images->FindImage("007"), nullptr);
  EXPECT_EQ(Resources->Images->FindImage("13"), nullptr);
  EXPECT_EQ(LogWith("Object definition error!"),
            std::vector<std::string>{Warning("Object definition error! (wall.tga,13,solid)")});
  EXPECT_EQ(LogWith("resourceitems loaded."),
            std::vector<std::string>{"(" + kCreateLoc + ") 2 resourceitems loaded."});
  // Object pictures are colour-keyed: black is transparent.
  EXPECT_TRUE(Resources->Images->FindImage("12")->ColorKeyed);
}

TEST_F(ResourcesTest, MalformedLinesAreWarnedAndSkipped) {
  Load({"#SOLID,1", "#NOCOMMA", "wall.tga", "wall.tga,12", ",12,solid", "wall.tga,,solid",
        "wall.tga,12,solid,extra", "wall.tga,12,missing", "wall.tga,40,solid"});
  ASSERT_EQ(Resources->Count(), 1);
  EXPECT_EQ(Resources->ItemNumber(0), 40);
  const std::vector<std::string> expected = {
      Warning("Type alias definition error! (#NOCOMMA)"),
      Warning("Object definition error! (wall.tga,,)"),
      Warning("Object definition error! (wall.tga,12,)"),
      Warning("Object definition error! (,12,solid)"),
      Warning("Object definition error! (wall.tga,,solid)"),
      Warning("Object definition error! (wall.tga,12,solid,extra)"),  // the alias is used whole
      Warning("Object definition error! (wall.tga,12,missing)"),
  };
  std::vector<std::string> warnings = LogWith("definition error!");
  EXPECT_EQ(warnings, expected);
}

TEST_F(ResourcesTest, NothingAfterEndIsRead) {
  WriteObjects({">1", "#SOLID,1", "wall.tga,1,solid", "!end", "wall.tga,2,solid", "%x", "!END"});
  WriteMonsters({"MONS01a,1,0"});
  Resources = std::make_unique<TResources>();
  EXPECT_EQ(Resources->Count(), 1);
  EXPECT_TRUE(Resources->RandomTiles.empty());
}

TEST_F(ResourcesTest, RandomTilesKeepSixteenValuesAcrossLines) {
  Load({"%1,2,3", "%4"});
  EXPECT_EQ(Values(Resources->RandomTiles), (std::vector<uint8_t>{1, 2, 3, 4}));

  Resources.reset();
  std::string twenty = "%";
  for (int i = 1; i <= 20; ++i) twenty += std::to_string(i) + ",";
  Load({twenty, "%99", "%256,-1"});
  std::vector<uint8_t> first16;
  for (int i = 1; i <= 16; ++i) first16.push_back(static_cast<uint8_t>(i));
  EXPECT_EQ(Values(Resources->RandomTiles), first16);

  Resources.reset();
  Load({"%256,-1,300,"});
  EXPECT_EQ(Values(Resources->RandomTiles), (std::vector<uint8_t>{0, 255, 44}));
}

TEST_F(ResourcesTest, SequencesTakeLowBitsAndStopAtSixteen) {
  std::vector<std::string> lines = {">300,5"};
  for (int i = 2; i <= 17; ++i) lines.push_back(">" + std::to_string(i));
  WriteObjects([&] {
    auto all = lines;
    all.push_back("!END");
    return all;
  }());
  WriteMonsters({"MONS01a,1,0"});
  Resources = std::make_unique<TResources>();
  EXPECT_EQ(Values(Resources->InterimSequences[0]), (std::vector<uint8_t>{44, 5}));
  for (int i = 1; i < 16; ++i) EXPECT_EQ(Values(Resources->InterimSequences[i]), std::vector<uint8_t>{uint8_t(i + 1)});
  EXPECT_EQ(LogWith("Too many interim random sequences"),
            std::vector<std::string>{Warning("Too many interim random sequences in OBJECTS.LST!")});

  // A long sequence keeps its first 16 values.
  Resources.reset();
  Load({">1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18"});
  EXPECT_EQ(Resources->InterimSequences[0], std::string(1, '\1'));
  EXPECT_EQ(Resources->InterimSequences[1].size(), 16u);
}

TEST_F(ResourcesTest, TypeOfNumber) {
  Load({"#A,5", "#B,6", "wall.tga,0,a", "wall.tga,9,a", "wall.tga,9,b", "wall.tga,-3,b"});
  EXPECT_EQ(Resources->TypeOfNumber(0), 0);  // even with an object 0 defined
  EXPECT_EQ(Resources->TypeOfNumber(9), 5);  // the first entry wins
  EXPECT_EQ(Resources->TypeOfNumber(-3), 6);
  EXPECT_EQ(Resources->TypeOfNumber(10), 0);
  EXPECT_EQ(Resources->Count(), 4);
}

TEST_F(ResourcesTest, RandomChoicesAreUniformAndSeeded) {
  Load({">7", ">8,9", "%4,5,6"});
  std::set<std::string> sequences;
  std::set<int> tiles;
  Randomize(11);
  for (int i = 0; i < 400; ++i) {
    sequences.insert(Resources->RandomInterimSequence());
    tiles.insert(Resources->RandomTile());
  }
  EXPECT_EQ(sequences, (std::set<std::string>{"\1", "\7", "\x08\x09"}));
  EXPECT_EQ(tiles, (std::set<int>{4, 5, 6}));

  Randomize(5);
  const std::string a = Resources->RandomInterimSequence();
  const int ta = Resources->RandomTile();
  Randomize(5);
  EXPECT_EQ(Resources->RandomInterimSequence(), a);
  EXPECT_EQ(Resources->RandomTile(), ta);

  Resources->RandomTiles.clear();
  EXPECT_EQ(Resources->RandomTile(), 0);
  // With every slot emptied the draw ends at once instead of looping.
  for (auto& s : Resources->InterimSequences) s.clear();
  EXPECT_EQ(Resources->RandomInterimSequence(), "");
  EXPECT_EQ(LogWith("No interim random sequence defined!").size(), 1u);
}

TEST_F(ResourcesTest, MoreBlocksIsFrameSixColourKeyed) {
  Load({});
  ASSERT_NE(Resources->MoreBlocks, nullptr);
  EXPECT_EQ(ImageWidth(Resources->MoreBlocks.get()), 16);
  EXPECT_FALSE(Resources->MoreBlocks->Animated);
  EXPECT_TRUE(Resources->MoreBlocks->ColorKeyed);
  EXPECT_EQ(ImagePx(Resources->MoreBlocks.get(), 5, 5), kMoreBlocksColour);
}

TEST_F(ResourcesTest, MonsterStripsAreCutFromTheCurrentSheet) {
  std::string longest = "MONS03a,255";
  for (int i = 0; i < 255; ++i) longest += ",1";
  Load({}, {"MONS05a,2,3,0", "MONS05b,1,1", longest, "", "XXXX07a,3,2,1,0", "", "", "ABCD08bNAME,1,9,ignored",
            "MONS09a,1,3"});
  PImage widest = Resources->Images->FindImage("M13");
  ASSERT_NE(widest, nullptr);
  EXPECT_EQ(ImageWidth(widest), 255 * 32);
  EXPECT_EQ(ImagePx(widest, 254 * 32 + 9, 9), CellColour(1, 1));
  struct {
    const char* name;
    int frames;
    std::vector<uint32_t> colours;
  } cases[] = {
      {"M15", 2, {CellColour(1, 3), CellColour(1, 0)}},
      {"M25", 1, {CellColour(1, 1)}},
      {"M17", 3, {CellColour(2, 2), CellColour(2, 1), CellColour(2, 0)}},
      {"M28", 1, {0}},  // cell 9 lies outside the sheet: a black frame
      {"M19", 1, {CellColour(2, 3)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PImage strip = Resources->Images->FindImage(c.name);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(ImageWidth(strip), c.frames * 32);
    EXPECT_EQ(ImageHeight(strip), 16);
    EXPECT_TRUE(strip->ColorKeyed);
    for (int f = 0; f < c.frames; ++f) {
      EXPECT_EQ(ImagePx(strip, f * 32 + 3, 7), c.colours[static_cast<std::size_t>(f)]) << "frame " << f;
      EXPECT_EQ(ImagePx(strip, f * 32 + 31, 15), c.colours[static_cast<std::size_t>(f)]) << "frame " << f;
    }
  }
}

// 200,000 empty lines, each of which switches to the second sheet, loaded
// that sheet as often; it is loaded once, and the strips stay the same.
TEST_F(ResourcesTest, EmptyMonsterLinesLoadTheSecondSheetOnce) {
  std::vector<std::string> monsters(200000, "");
  monsters.push_back("MONS09a,1,3");
  Load({}, monsters);
  EXPECT_EQ(LogWith("ZROpenStream('monsters2.tga')").size(), 1u);
  PImage strip = Resources->Images->FindImage("M19");
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(ImagePx(strip, 3, 7), CellColour(2, 3));
}

TEST_F(ResourcesTest, MalformedMonsterLineStopsWithCodeZero) {
  const std::vector<std::string> objects = {">1", "!END"};
  struct {
    std::vector<std::string> monsters;
    int line;
  } cases[] = {
      {{"MONS01a,1,0", "MONS00a,1,0"}, 2},    // monster number 0
      {{"MONSxya,1,0"}, 1},                   // not a number
      {{"MONS01a,1,0", "", "MONS02a"}, 3},    // no frame count
      {{"MONS01a,,0"}, 1},                    // empty frame count
      {{"MON1a,1,0"}, 1},                     // too short to hold the set letter
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const std::size_t before = LogWith("Monster definition error!").size();
    EXPECT_EQ(FailingLoad(objects, c.monsters), 0);
    const auto errors = LogWith("Monster definition error!");
    ASSERT_EQ(errors.size(), before + 1);
    EXPECT_EQ(errors.back(), "{" + kCreateLoc + "} Monster definition error! (Line:" + std::to_string(c.line) + ")");
  }
}

TEST_F(ResourcesTest, UnusableDataEndsTheStartUpWithAnError) {
  const std::vector<std::string> goodObjects = {">1", "#S,1", "!END"};
  const std::vector<std::string> goodMonsters = {"MONS01a,1,0"};
  struct {
    const char* what;
    std::vector<std::string> objects;
    std::vector<std::string> monsters;
    const char* error;
  } cases[] = {
      {"no !END", {">1", "#S,1"}, goodMonsters, "No \"!END\" line in objects.lst! (line 2)"},
      {"no sequence", {"#S,1", "!END"}, goodMonsters, "No interim random sequence defined! (objects.lst)"},
      {"tile text", {">1", "%1,x", "!END"}, goodMonsters, "Number expected in objects.lst, line 2! (x)"},
      {"empty tile", {">1", "%1,,2", "!END"}, goodMonsters, "Number expected in objects.lst, line 2! ()"},
      {"sequence text", {">a", "!END"}, goodMonsters, "Number expected in objects.lst, line 1! (a)"},
      {"empty sequence", {">", "!END"}, goodMonsters, "Number expected in objects.lst, line 1! ()"},
      {"alias value", {">1", "#S,one", "!END"}, goodMonsters, "Number expected in objects.lst, line 2! (one)"},
      {"object number", {">1", "#S,1", "wall.tga,1x,s", "!END"}, goodMonsters,
       "Number expected in objects.lst, line 3! (1x)"},
      {"frame count", goodObjects, {"MONS01a,two,0"}, "Number expected in monsters.txt, line 1! (two)"},
      {"missing cell", goodObjects, {"MONS01a,2,0"}, "Number expected in monsters.txt, line 1! ()"},
      {"cell text", goodObjects, {"MONS01a,1,c"}, "Number expected in monsters.txt, line 1! (c)"},
      {"frame count 0", goodObjects, {"MONS01a,0"}, "Frame count out of range in monsters.txt, line 1! (0)"},
      {"256 frames", goodObjects, {"MONS01a,256"}, "Frame count out of range in monsters.txt, line 1! (256)"},
      {"huge frame count", goodObjects, {"MONS01a,99999999"},
       "Frame count out of range in monsters.txt, line 1! (99999999)"},
      {"long object line", {">1", std::string(70000, '1'), "!END"}, goodMonsters,
       "Line too long in objects.lst, line 2! (more than 65536 bytes)"},
      {"long monster line", goodObjects, {"MONS01a,1," + std::string(70000, '0')},
       "Line too long in monsters.txt, line 1! (more than 65536 bytes)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FailingLoad(c.objects, c.monsters), DataErrorExitCode);
    const auto lines = Log.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "{" + kCreateLoc + "} " + c.error);
  }
}

TEST_F(ResourcesTest, MissingDefinitionFilesEndTheStartUp) {
  EXPECT_EQ(HaltCode([] { Resources = std::make_unique<TResources>(); }), DataErrorExitCode);
  EXPECT_EQ(Log.Lines().back(), "{" + kCreateLoc + "} Object definitions not found! (objects.lst)");
  WriteObjects({">1", "!END"});
  EXPECT_EQ(HaltCode([] { Resources = std::make_unique<TResources>(); }), DataErrorExitCode);
  EXPECT_EQ(Log.Lines().back(), "{" + kCreateLoc + "} Monster definitions not found! (monsters.txt)");
}

TEST_F(ResourcesTest, DefinitionsAreReadFromTheArchive) {
  // Loose files win over archive members, so the folder keeps only pictures.
  const std::string archive = Folder / "defs.mad4";
  ASSERT_TRUE(imgfix::WriteArchive(
      archive, {{"objects.lst", picfix::Bytes{'>', '2', '\r', '\n', '#', 'S', ',', '1', '\n', 'w', 'a', 'l', 'l', '.',
                                                't', 'g', 'a', ',', '3', ',', 's', '\n', '!', 'E', 'N', 'D'}},
                {"monsters.txt", picfix::Bytes{'M', 'O', 'N', 'S', '0', '2', 'a', ',', '1', ',', '2'}}}));
  imgfix::TArchiveMounted mounted(archive);
  Resources = std::make_unique<TResources>();
  EXPECT_EQ(Resources->Count(), 1);
  EXPECT_EQ(Resources->ItemNumber(0), 3);
  EXPECT_EQ(Resources->InterimSequences[0], std::string(1, '\2'));  // the carriage return is dropped
  PImage strip = Resources->Images->FindImage("M12");
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(ImagePx(strip, 10, 10), CellColour(1, 2));
}

}  // namespace

// Monsters past the picture budget get no strip and one error line, not one
// made, refused and logged for each line of a long file.
TEST_F(ResourcesTest, MonstersPastThePictureBudgetAreRefusedOnce) {
  Load({});  // the objects' pictures and one monster strip of 32 x 16 pixels
  const int64_t strip = 32 * 16 * 4;
  // Room for the objects' pictures and two strips.
  const int64_t old = SetImageBudgetBytes(ImageBytesHeld() + strip);
  Resources.reset();
  WriteMonsters({"MONS01a,1,0", "MONS02a,1,0", "MONS03a,1,0", "MONS04a,1,0", "MONS05a,1,0"});
  Resources = std::make_unique<TResources>();
  SetImageBudgetBytes(old);
  for (const char* name : {"M11", "M12"}) EXPECT_NE(Resources->Images->FindImage(name), nullptr) << name;
  for (const char* name : {"M13", "M14", "M15"}) EXPECT_EQ(Resources->Images->FindImage(name), nullptr) << name;
  EXPECT_EQ(LogWith("picture budget"),
            std::vector<std::string>{"{" + kCreateLoc + "} Monster pictures past the picture budget refused from line 3!"});
  EXPECT_TRUE(LogWith("Pictures would take more than").empty());
}

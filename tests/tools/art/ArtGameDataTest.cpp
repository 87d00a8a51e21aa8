// The game's real pictures and definitions, drawn from data/ as the data
// build does and read back the way the game reads them: every picture name
// the game draws exists at the size its place on the screen calls for, the
// creature's pieces fit the creature, left-facing frames mirror right-facing
// ones, and "objects.lst", "monsters.txt", "scroll.txt" and the map files
// load cleanly and hold what the game relies on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ArtCommand.h"
#include "ArtScript.h"
#include "ImageCollectionUnit.h"
#include "Logger.h"
#include "PackCommand.h"
#include "RawPictureUnit.h"
#include "SystemUnit.h"
#include "VGRMapUnit.h"
#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "VGRResourceTypesUnit.h"
#include "XMapUnit.h"
#include "ZRStream3.h"
#include "ZR_SDL.h"

using namespace vgrdata;

namespace {

const std::string kData = vgrtest::SourceDir() + "/data/";

// Everything the data build stages for pictures, in a scratch folder that
// is the current folder while a test runs (pictures are loose files then).
class TArtStage {
 public:
  static TArtStage& Get() {
    static TArtStage stage;
    return stage;
  }
  std::string Error;
  const std::string& Path() const { return Dir_.Path(); }

 private:
  TArtStage() {
    TArtBook book;
    for (const auto& e : std::filesystem::directory_iterator(kData + "art")) {
      const std::string f = e.path().string();
      if (f.size() > 4 && f.substr(f.size() - 4) == ".pal" && !book.AddFile(f, Error)) return;
    }
    std::vector<std::string> arts;
    for (const auto& e : std::filesystem::directory_iterator(kData + "art"))
      if (e.path().extension() == ".art") arts.push_back(e.path().string());
    std::sort(arts.begin(), arts.end());
    for (const auto& f : arts)
      if (!book.AddFile(f, Error)) return;
    if (book.WriteAll(Dir_.Path(), Error) < 0) return;
    for (const char* f : {"objects.lst", "monsters.txt", "scroll.txt", "Zapkin.ini"})
      std::filesystem::copy_file(kData + f, Dir_ / f);
    std::filesystem::copy_file(kData + "maps/empty.mpp", Dir_ / "empty.mpp");
    // The pack of the pieces this data brings, as maps.cmake builds it.
    std::ostringstream out, err;
    if (PackCommand({"build", Dir_ / "Zapkin.mpk", "--format", "mpck", kData + "maps/26.mpp", kData + "maps/27.mpp"},
                    out, err) != 0)
      Error = "pack: " + err.str();
  }
  vgrtest::TTempDir Dir_;
};

class ArtGameData : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TArtStage::Get().Error.empty()) << TArtStage::Get().Error;
    char buf[4096];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    Old_ = buf;
    ASSERT_EQ(chdir(TArtStage::Get().Path().c_str()), 0);
    ClearKeys();
    Initialize(640, 400, 32, VF_BACKBUFFER);
    Gfx_.AddByList("Zapkin.ini", "GFX");
  }
  void TearDown() override {
    Resources.reset();
    Gfx_.Clear();
    if (ScreenSurface) Finalize();
    if (!Old_.empty()) {
      EXPECT_EQ(chdir(Old_.c_str()), 0);
    }
  }
  // Warning and error lines of the log so far.
  std::vector<std::string> Complaints() const {
    std::vector<std::string> out;
    for (const std::string& l : Log_.Lines())
      if (!l.empty() && (l[0] == '[' || l[0] == '{')) out.push_back(l);
    return out;
  }

  vgrtest::TScopedLog Log_;
  TImageCollection Gfx_;
  std::string Old_;
};

// The pixel values of an image, row by row.
std::vector<uint32_t> PixelsOf(PImage image, int x0 = 0, int y0 = 0, int w = -1, int h = -1) {
  if (w < 0) w = ImageWidth(image);
  if (h < 0) h = ImageHeight(image);
  std::vector<uint32_t> px;
  LockSurface(image->Surface);
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) px.push_back(GetPixel(image->Surface, x, y));
  UnlockSurface(image->Surface);
  return px;
}

std::vector<uint32_t> Mirrored(std::vector<uint32_t> px, int w) {
  for (size_t row = 0; row < px.size(); row += static_cast<size_t>(w))
    std::reverse(px.begin() + static_cast<long>(row), px.begin() + static_cast<long>(row) + w);
  return px;
}

}  // namespace

TEST_F(ArtGameData, EveryPictureNameHasTheSizeItsPlaceCallsFor) {
  struct TSize {
    const char* Name;
    int W, H;
  } sizes[] = {
      {"DarkBrick1", 16, 16}, {"DarkBrick2", 16, 16}, {"Brick", 16, 16},   {"Boulder", 16, 16},
      {"ArrowDown", 16, 16},  {"Chain", 16, 16},      {"Zapkin", 32, 64},  {"ZapkinAcme", 48, 91},
      {"RudIzaz", 48, 64},    {"TNT Anim", 50, 16},   {"LogoVGR", 320, 64}, {"Cage", 48, 46},
      {"Plinth", 40, 27},  // from the creature's feet at y 253 down to the floor at y 280
  };
  for (const auto& s : sizes) {
    PImage img = Gfx_.FindImage(s.Name);
    ASSERT_NE(img, nullptr) << s.Name;
    EXPECT_EQ(ImageWidth(img), s.W) << s.Name;
    EXPECT_EQ(ImageHeight(img), s.H) << s.Name;
  }
  PImage tnt = Gfx_.FindImage("TNT Anim");
  EXPECT_TRUE(tnt->Animated);
  EXPECT_EQ(tnt->FrameCount, 5);
  // Lives: 16 by 20 cells for at least the numbers 0 to 3.
  PImage lives = Gfx_.FindImage("LifeNumber");
  ASSERT_NE(lives, nullptr);
  EXPECT_EQ(ImageHeight(lives), 20);
  EXPECT_GE(ImageWidth(lives), 64);
  EXPECT_EQ(ImageWidth(lives) % 16, 0);
  for (const char* side : {"ProfRight", "ProfLeft"})
    for (int i = 1; i <= 5; ++i)
      for (const char* suffix : {"", "White", "OutLn"}) {
        const std::string name = side + std::to_string(i) + suffix;
        PImage img = Gfx_.FindImage(name);
        ASSERT_NE(img, nullptr) << name;
        EXPECT_EQ(ImageWidth(img), 20) << name;
        EXPECT_EQ(ImageHeight(img), 32) << name;
      }
  // The meter's ten pictures are drawn over each other at one place.
  PImage meter = Gfx_.FindImage("Meter");
  ASSERT_NE(meter, nullptr);
  for (int i = 1; i <= 9; ++i) {
    PImage m = Gfx_.FindImage("Meter" + std::to_string(i));
    ASSERT_NE(m, nullptr) << i;
    EXPECT_EQ(ImageWidth(m), ImageWidth(meter));
    EXPECT_EQ(ImageHeight(m), ImageHeight(meter));
  }
  EXPECT_NE(PixelsOf(Gfx_.FindImage("Meter1")), PixelsOf(Gfx_.FindImage("Meter9")));
  // The skull at the deadly end stays in sight when the meter is full.
  EXPECT_EQ(PixelsOf(Gfx_.FindImage("Meter9"), 52, 2, 5, 3), PixelsOf(meter, 52, 2, 5, 3));
}

TEST_F(ArtGameData, PicturesStayWithinTheirPlaces) {
  // Top left where the game draws it, and the right and bottom edges it
  // must not pass (the next picture, the playfield's edge, the screen).
  struct TPlace {
    const char* Name;
    int X, Y, MaxRight, MaxBottom;
  } places[] = {
      {"Gold", 64, 40, 103, 119},      {"Picture1", 128, 24, 175, 87}, {"Bulb", 176, 24, 223, 87},
      {"Picture2", 224, 24, 311, 87},  {"Shelf", 312, 32, 391, 87},    {"Meter", 392, 26, 471, 71},
      {"Device", 472, 40, 561, 119},   {"Wire", 562, 30, 575, 119},    {"Pipe", 544, 342, 575, 375},
      {"ORVANTI", 0, 136, 639, 309},   {"Inlay", 220, 40, 639, 399},   {"LogoVGR", 160, 10, 639, 73},
      {"Vora2002", 230, 74, 639, 149},
  };
  for (const auto& p : places) {
    PImage img = Gfx_.FindImage(p.Name);
    ASSERT_NE(img, nullptr) << p.Name;
    EXPECT_LE(p.X + ImageWidth(img) - 1, p.MaxRight) << p.Name;
    EXPECT_LE(p.Y + ImageHeight(img) - 1, p.MaxBottom) << p.Name;
  }
  EXPECT_EQ(ImageWidth(Gfx_.FindImage("ORVANTI")), 640);
  // Centred pictures: the box, the logo and the year plaque.
  EXPECT_EQ(220 + ImageWidth(Gfx_.FindImage("Inlay")) / 2, 320);
  EXPECT_EQ(160 + ImageWidth(Gfx_.FindImage("LogoVGR")) / 2, 320);
  EXPECT_EQ(230 + ImageWidth(Gfx_.FindImage("Vora2002")) / 2, 320);
}

TEST_F(ArtGameData, LeftFacingFramesMirrorTheRightFacingOnesAndFlashesCoverTheProfessor) {
  for (int i = 1; i <= 5; ++i) {
    const std::string n = std::to_string(i);
    PImage right = Gfx_.FindImage("ProfRight" + n);
    PImage left = Gfx_.FindImage("ProfLeft" + n);
    ASSERT_NE(right, nullptr);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(PixelsOf(left), Mirrored(PixelsOf(right), 20)) << i;
    EXPECT_TRUE(right->ColorKeyed);
    const auto body = PixelsOf(right);
    const auto white = PixelsOf(Gfx_.FindImage("ProfRight" + n + "White"));
    const auto rim = PixelsOf(Gfx_.FindImage("ProfRight" + n + "OutLn"));
    size_t rimCount = 0;
    for (size_t k = 0; k < body.size(); ++k) {
      EXPECT_EQ(body[k] != 0, white[k] != 0) << "frame " << i << " pixel " << k;
      if (rim[k] != 0) {
        EXPECT_NE(body[k], 0u);
        ++rimCount;
      }
    }
    EXPECT_GT(rimCount, 40u);
    // The walk frames differ from each other.
    if (i > 1) {
      EXPECT_NE(body, PixelsOf(Gfx_.FindImage("ProfRight" + std::to_string(i - 1))));
    }
  }
}

TEST_F(ArtGameData, DefinitionsLoadCleanlyAndTheMonstersAreComplete) {
  Resources = std::make_unique<TResources>();
  EXPECT_TRUE(Complaints().empty()) << Complaints().front();
  ASSERT_NE(Resources->MoreBlocks, nullptr);
  EXPECT_EQ(ImageWidth(Resources->MoreBlocks.get()), 16);
  EXPECT_EQ(ImageHeight(Resources->MoreBlocks.get()), 16);
  std::map<int, int> types;  // number -> type
  for (const auto& item : Resources->Items) {
    EXPECT_TRUE(types.emplace(item.Number, item.Type).second) << "object " << item.Number << " twice";
    // A piece cell holds the character number + 32, printable ASCII.
    EXPECT_GE(item.Number, 1);
    EXPECT_LE(item.Number, 94);
    PImage img = Resources->Images->FindImage(std::to_string(item.Number));
    ASSERT_NE(img, nullptr) << item.Number;
    EXPECT_EQ(ImageWidth(img), 16) << item.Number;
    EXPECT_EQ(ImageHeight(img), 16) << item.Number;
  }
  for (int t = 0; t <= 16; ++t)
    EXPECT_TRUE(std::any_of(types.begin(), types.end(), [t](auto& p) { return p.second == t; })) << "type " << t;
  // A shock raises a wire's number by one: the next object is a burnt wire.
  for (const auto& [number, type] : types)
    if (type == 2) {
      ASSERT_TRUE(types.count(number + 1)) << number;
      EXPECT_NE(types[number + 1], 2) << number;
      EXPECT_NE(types[number + 1], 0) << number;
    }
  // Interim floors: solid random tiles; sequences of known objects without
  // holes or trapdoors (the lowest floor is the map's bottom row).
  ASSERT_FALSE(Resources->RandomTiles.empty());
  for (char v : Resources->RandomTiles) EXPECT_EQ(Resources->TypeOfNumber(static_cast<uint8_t>(v)), 1);
  int sequences = 0;
  for (const std::string& s : Resources->InterimSequences) {
    if (s.empty()) continue;
    ++sequences;
    for (char v : s) {
      const int type = Resources->TypeOfNumber(static_cast<uint8_t>(v));
      EXPECT_NE(type, 0) << static_cast<int>(v);
      EXPECT_NE(type, 6) << static_cast<int>(v);
    }
  }
  EXPECT_GE(sequences, 4);
  for (int m = 1; m <= 20; ++m) {
    PImage left = Resources->Images->FindImage("M1" + std::to_string(m));
    PImage right = Resources->Images->FindImage("M2" + std::to_string(m));
    ASSERT_NE(left, nullptr) << m;
    ASSERT_NE(right, nullptr) << m;
    const int frames = ImageWidth(right) / 32;
    EXPECT_EQ(ImageWidth(right) % 32, 0);
    EXPECT_GE(frames, 2) << m;
    EXPECT_LE(frames, 8) << m;
    EXPECT_EQ(ImageWidth(left), ImageWidth(right)) << m;
    EXPECT_EQ(ImageHeight(right), 16);
    for (int f = 0; f < frames; ++f) {
      const auto r = PixelsOf(right, 32 * f, 0, 32, 16);
      EXPECT_EQ(PixelsOf(left, 32 * f, 0, 32, 16), Mirrored(r, 32)) << "monster " << m << " frame " << f;
      EXPECT_GT(std::count_if(r.begin(), r.end(), [](uint32_t v) { return v != 0; }), 40) << m;
      // A walk or float cycle has to show: each frame differs visibly from the next.
      const auto n = PixelsOf(right, 32 * ((f + 1) % frames), 0, 32, 16);
      size_t changed = 0;
      for (size_t k = 0; k < r.size(); ++k) changed += r[k] != n[k];
      EXPECT_GE(changed, 40u) << "monster " << m << " frame " << f;
    }
  }
}

TEST_F(ArtGameData, ThePiecesBuildTheCreature) {
  Resources = std::make_unique<TResources>();
  PImage zapkin = Gfx_.FindImage("Zapkin");
  ASSERT_NE(zapkin, nullptr);
  // Where the machine mounts piece n,
  // relative to the creature's top left at (504, 56).
  const int at[7][2] = {{8, 0}, {0, 16}, {16, 16}, {0, 32}, {16, 32}, {0, 48}, {16, 48}};
  for (int piece = 1; piece <= 7; ++piece) {
    int number = -1;
    for (const auto& item : Resources->Items)
      if (item.Type == 6 + piece) number = item.Number;
    ASSERT_GT(number, 0) << piece;
    PImage img = Resources->Images->FindImage(std::to_string(number));
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(PixelsOf(img), PixelsOf(zapkin, at[piece - 1][0], at[piece - 1][1], 16, 16)) << "piece " << piece;
  }
  // Nothing of the creature lies outside the pieces.
  const auto all = PixelsOf(zapkin);
  for (int y = 0; y < 16; ++y)
    for (int x : {0, 1, 2, 3, 4, 5, 6, 7, 24, 25, 26, 27, 28, 29, 30, 31})
      EXPECT_EQ(all[static_cast<size_t>(y) * 32 + x], 0u) << x << "," << y;
}

TEST_F(ArtGameData, ScrollTextEndsWithEscape) {
  const std::vector<uint8_t> text = vgrtest::ReadBinaryFile("scroll.txt");
  const auto esc = std::find(text.begin(), text.end(), 27);
  ASSERT_NE(esc, text.end());
  size_t shown = 0;
  for (auto it = text.begin(); it != esc; ++it) {
    if (*it == 10 || *it == 13) continue;
    EXPECT_GE(*it, 32);
    EXPECT_LE(*it, 126);
    ++shown;
  }
  EXPECT_GT(shown, 400u);
}

TEST_F(ArtGameData, ObjectsListKeepsThePracticeListAtItsStart) {
  // The start-up derives the unlocked levels from bytes 1 and 2 of
  // "objects.lst"; a fresh run must offer level 1 only.
  const std::vector<uint8_t> b = vgrtest::ReadBinaryFile("objects.lst");
  ASSERT_GE(b.size(), 3u);
  uint8_t key = 0;
  for (char c : std::string("Voltigor.mad4")) key ^= static_cast<uint8_t>(c);
  uint16_t v = static_cast<uint16_t>(b[1] | (b[2] << 8));
  for (int bit = 0; bit < 8; ++bit) v = (key >> bit) & 1 ? static_cast<uint16_t>(v / 2) : static_cast<uint16_t>(v - 5);
  EXPECT_TRUE(v < 2 || v > 26) << v;
}

TEST(ArtMaps, TemplatesAndPieces) {
  vgrtest::TScopedLog log;
  TXMap empty;
  empty.Load(kData + "maps/empty.mpp");
  EXPECT_EQ(empty.Width, 32);
  EXPECT_EQ(empty.Height, 22);
  EXPECT_TRUE(empty.ExtraLines.empty());
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 32; ++x) EXPECT_EQ(empty.GetPhysicalTile(x, y), 32);

  // Interim: full floors on rows 6, 9 ... 21, so that springs find solid
  // cells in columns 11 to 30 (piece columns 10 to 29); the exit ledge.
  TXMap interim;
  interim.Load(kData + "maps/26.mpp");
  ASSERT_EQ(interim.Width, 32);
  ASSERT_EQ(interim.Height, 22);
  for (int row = 6; row <= 21; row += 3)
    for (int x = 0; x < 32; ++x) EXPECT_NE(interim.GetPhysicalTile(x, row), 32) << x << "," << row;
  EXPECT_NE(interim.GetPhysicalTile(29, 3), 32);
  ASSERT_GE(interim.ExtraLines.size(), 6u);
  EXPECT_EQ(interim.ExtraLines[0], "29");
  // The four random monsters take their rows from slots 0 to 3: none "." .
  for (int slot = 1; slot <= 4; ++slot) EXPECT_NE(interim.ExtraLines[static_cast<size_t>(slot)], ".");
  // Their start columns are drawn from 2 to 28 (x 96 to 512): a patrol that
  // does not hold every one of them leaves the monster turning on the spot.
  // And the patrol stops short of the right wall: the professor, who walks
  // up to x 558 there, has at least x 553 to 558 to wait out a monster at
  // the end of each floor, beyond the wires the random sequences lay.
  for (int slot = 1; slot <= 4; ++slot) {
    int row = 0, left = 0, right = 0;
    ASSERT_EQ(std::sscanf(interim.ExtraLines[static_cast<size_t>(slot)].c_str(), "%d,%d,%d", &row, &left, &right), 3);
    const int leftLimit = 16 * left + 72, rightLimit = 16 * right + 56;
    EXPECT_LE(leftLimit, 96) << slot;
    EXPECT_GE(rightLimit, 512) << slot;
    // The monster walks one pixel past its limit and is 32 pixels wide.
    EXPECT_LT(rightLimit + 1 + 31, 553) << slot;
  }

  // The end screens' stage: the floor at row 16, the platforms at row 12.
  TXMap stage;
  stage.Load(kData + "maps/27.mpp");
  ASSERT_EQ(stage.Width, 32);
  ASSERT_EQ(stage.Height, 22);
  for (int x = 0; x < 32; ++x) EXPECT_NE(stage.GetPhysicalTile(x, 16), 32) << x;
  for (int x = 8; x <= 13; ++x) EXPECT_NE(stage.GetPhysicalTile(x, 12), 32);
  for (int x = 18; x <= 23; ++x) EXPECT_NE(stage.GetPhysicalTile(x, 12), 32);
  ASSERT_EQ(stage.ExtraLines.size(), 7u);
  EXPECT_EQ(stage.ExtraLines[6].size(), 176u);
}

TEST_F(ArtGameData, InterimLevelsAndTheEndStageBuildFromTheTemplates) {
  Resources = std::make_unique<TResources>();
  TMap map;
  for (uint32_t seed : {1u, 2u, 3u}) {
    Randomize(seed);
    for (int level = 2; level <= 50; level += 2) {
      ASSERT_TRUE(map.LoadLevel(static_cast<uint8_t>(level), false)) << level;
      // Two springs drawn on each floor, within columns 11 to 30, besides
      // the room's own lift at column 29 (28 of the piece), which the
      // drawing never covers.
      for (int row = 6; row <= 21; row += 3) {
        EXPECT_EQ(map.GetLogicalTile(29, row), otSpring) << "level " << level << " row " << row;
        int springs = 0;
        for (int c = 0; c < TMap::Columns; ++c)
          if (c != 29 && map.GetLogicalTile(c, row) == otSpring) {
            EXPECT_GE(c, 11);
            EXPECT_LE(c, 30);
            ++springs;
          }
        EXPECT_EQ(springs, 2) << "level " << level << " row " << row;
      }
      // The professor starts on the bottom floor; the exit waits on the ledge.
      EXPECT_NE(map.GetLogicalTile(3, 21), otEmpty);
      EXPECT_EQ(map.GetLogicalTile(30, 3), otExit);
      // Four random monsters on the floors, none on the bottom one.
      for (uint32_t slot = 0; slot < 4; ++slot) {
        const TMonsterStart m = map.MonsterStart(slot);
        EXPECT_NE(m.MonsterNumber, 0);
        EXPECT_TRUE(m.Row == 5 || m.Row == 8 || m.Row == 11 || m.Row == 14 || m.Row == 17) << int(m.Row);
        EXPECT_NE(map.GetLogicalTile(1 + m.StartColumn, m.Row + 1), otEmpty);
      }
    }
  }
  ASSERT_TRUE(map.LoadLevel(53, false));
  for (int c = 1; c <= 32; ++c) EXPECT_EQ(map.GetLogicalTile(c, 16), otSolid) << c;
  for (uint32_t slot = 0; slot < TMap::MonsterSlots; ++slot) EXPECT_EQ(map.MonsterStart(slot).MonsterNumber, 0);
  EXPECT_TRUE(Complaints().empty()) << Complaints().front();
}

TEST_F(ArtGameData, ContactSheetAndPlayfieldViews) {
  // The fonts are not part of this stage: their absence is the only
  // complaint allowed.
  std::ostringstream out, err;
  ArtCommand({"sheet", "sheet.bmp"}, out, err);
  EXPECT_EQ(err.str().find("missing:"), std::string::npos) << err.str();
  TRawPicture sheet;
  sheet.ReadBMP(std::string("sheet.bmp"));
  EXPECT_EQ(sheet.Width, 1280);
  EXPECT_GT(sheet.Height, 400);

  for (const char* name : {"a.bmp", "b.bmp"}) {
    std::ostringstream o, e;
    ArtCommand({"playfield", name, "--level", "2", "--seed", "5"}, o, e);
    EXPECT_EQ(e.str().find("cannot"), std::string::npos) << e.str();
  }
  TRawPicture a, b;
  a.ReadBMP(std::string("a.bmp"));
  b.ReadBMP(std::string("b.bmp"));
  EXPECT_EQ(a.Width, 640);
  EXPECT_EQ(a.Height, 400);
  // The same seed draws the same level.
  EXPECT_EQ(a.Pixels, b.Pixels);
  // The HUD names the map drawn: its two digits at (515, 380), in the font
  // of the built archive, differ between map 2 and map 12.
  if (FileExists(vgrtest::BinDir() + "/Voltigor.mad4")) {
    TRawPicture m[2];
    for (int i = 0; i < 2; ++i) {
      const std::string name = "m" + std::to_string(i) + ".bmp";
      std::ostringstream om, em;
      ArtCommand({"playfield", name, "--level", i == 0 ? "2" : "12", "--seed", "5", "--archive",
                  vgrtest::BinDir() + "/Voltigor.mad4"},
                 om, em);
      m[i].ReadBMP(name);
      ASSERT_EQ(m[i].Height, 400) << em.str();
    }
    bool digitsDiffer = false;
    for (int y = 380; y < 400; ++y) {
      for (int x = 515; x <= 540; ++x) {
        digitsDiffer |= !std::equal(m[0].PixelAt(x, y), m[0].PixelAt(x, y) + 3, m[1].PixelAt(x, y));
      }
    }
    EXPECT_TRUE(digitsDiffer);

    // A piece file shows what the game shows of the level built from it:
    // pieces lying on their floors, the first three taken. Above the HUD
    // line the picture is that of level 7, which the game builds from the
    // same piece. Both are drawn from the archive alone, away from the
    // stage's loose pack.
    vgrtest::TTempDir away;
    const std::filesystem::path stage = std::filesystem::current_path();
    std::filesystem::current_path(away.Path());
    TRawPicture piece, level;
    for (const auto& [args, picture] : {std::pair{std::vector<std::string>{"--piece", kData + "maps/04.mpp"}, &piece},
                                         std::pair{std::vector<std::string>{"--level", "7"}, &level}}) {
      std::vector<std::string> command = {"playfield", "p.bmp", "--archive", vgrtest::BinDir() + "/Voltigor.mad4"};
      command.insert(command.end(), args.begin(), args.end());
      std::ostringstream op, ep;
      EXPECT_EQ(ArtCommand(command, op, ep), 0) << ep.str();
      picture->ReadBMP(std::string("p.bmp"));
      EXPECT_EQ(picture->Height, 400) << ep.str();
    }
    int differ = piece.Height == 400 && level.Height == 400 ? 0 : -1;
    for (int y = 0; differ >= 0 && y < 380; ++y) {
      for (int x = 0; x < 640; ++x) differ += !std::equal(piece.PixelAt(x, y), piece.PixelAt(x, y) + 3, level.PixelAt(x, y));
    }
    std::filesystem::current_path(stage);
    EXPECT_EQ(differ, 0);
  }
  std::ostringstream o, e;
  EXPECT_EQ(ArtCommand({"playfield", "c.bmp", "--level", "99"}, o, e), 2);
}

// A disk that fills up while the sheet or the playfield is written: the
// failure is reported and no partial picture is left.
TEST_F(ArtGameData, ViewsOnAFullDiskLeaveNothing) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"art", "sheet", "full.bmp"},
                                               {"art", "playfield", "full.bmp", "--level", "2", "--seed", "5"}}) {
    const vgrtest::TToolResult r = vgrtest::VgrOnFullDisk(args, 1000);
    EXPECT_EQ(r.code, 1) << args[1] << "\n" << r.err;
    EXPECT_NE(r.err.find("cannot write full.bmp"), std::string::npos) << args[1] << "\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists("full.bmp")) << args[1] << ": a partial picture was left";
  }
}

TEST(ArtCommandData, DataThatStopsTheGameIsReportedNotFatal) {
  vgrtest::TScopedLog log;
  vgrtest::TTempDir dir;
  char buf[4096];
  ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
  const std::string old = buf;
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  // An object list without its "!END" line cannot start the game.
  vgrtest::WriteFile(dir / "objects.lst", std::string("#SOLID,1\r\n>1\r\n"));
  vgrtest::WriteFile(dir / "monsters.txt", std::string(""));
  vgrtest::WriteFile(dir / "Zapkin.ini", std::string("[*GFX]\r\n"));
  std::ostringstream out, err;
  const int rc = ArtCommand({"sheet", "s.bmp"}, out, err);
  EXPECT_EQ(chdir(old.c_str()), 0);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(err.str().find("the game would stop here"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("!END"), std::string::npos) << err.str();
  Resources.reset();
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../platform/ImageFixtures.h"
#include "ImageCollectionUnit.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

using namespace imgfix;

namespace {

class ImageCollectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Pictures told apart by their width.
    for (int w : {2, 3, 4, 5}) {
      vgrtest::WriteFile(Folder_ / ("p" + std::to_string(w) + ".tga"),
                         MakeTGA24(w, 2, [](int x, int) { return x == 0 ? 0u : 0xFFFFFFu; }));
    }
  }
  static std::string Text(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& item : C_.Items) out.push_back(item->Name);
    return out;
  }
  void AddText(const std::string& text) {
    TMemoryStream s;
    s.Data.assign(text.begin(), text.end());
    C_.AddByList(s);
  }

  vgrtest::TScopedLog Log_;
  TDisplay Display_;
  TInFolder Folder_;
  TImageCollection C_;
};

TEST_F(ImageCollectionTest, KeyedLineWithMask) {
  ASSERT_TRUE(C_.AddImageEx(".p4.tga,Ball,*"));
  TImageCollectionItem* ball = C_.Find("Ball");
  ASSERT_NE(ball, nullptr);
  ASSERT_NE(ball->Image, nullptr);
  EXPECT_EQ(ImageWidth(ball->Image.get()), 4);
  EXPECT_TRUE(ball->Image->ColorKeyed);
  ASSERT_NE(ball->Mask, nullptr);
  EXPECT_EQ(ball->Mask->Data, (std::vector<uint8_t>{0, 1, 1, 1, 0, 1, 1, 1}));
  EXPECT_EQ(C_.FindImage("Ball"), ball->Image.get());

  ASSERT_TRUE(C_.AddImageEx("p2.tga,Logo"));
  TImageCollectionItem* logo = C_.Find("Logo");
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->Mask, nullptr);
  EXPECT_FALSE(logo->Image->ColorKeyed);
  // Only exactly "*" asks for a mask.
  ASSERT_TRUE(C_.AddImageEx("p2.tga,NoMask, *"));
  EXPECT_EQ(C_.Find("NoMask")->Mask, nullptr);
}

TEST_F(ImageCollectionTest, NamesAreExactAndCaseSensitive) {
  ASSERT_TRUE(C_.AddImageEx("p2.tga, Logo"));
  EXPECT_EQ(C_.Find("Logo"), nullptr);
  EXPECT_NE(C_.Find(" Logo"), nullptr);
  ASSERT_TRUE(C_.AddImageEx("p3.tga,Logo"));
  EXPECT_EQ(C_.Find("logo"), nullptr);
  EXPECT_EQ(C_.FindImage("LOGO"), nullptr);
  EXPECT_EQ(ImageWidth(C_.FindImage("Logo")), 3);
  const auto lines = Log_.Lines();
  EXPECT_EQ(Containing(lines, "(ImageCollectionUnit, TImageCollection.Find) Image not found! (Logo).").size(), 1u);
  EXPECT_EQ(Containing(lines, "(ImageCollectionUnit, TImageCollection.Find) Image not found! (logo).").size(), 1u);
  EXPECT_EQ(Containing(lines, "(ImageCollectionUnit, TImageCollection.Find) Image not found! (LOGO).").size(), 1u);
}

TEST_F(ImageCollectionTest, DuplicatesAreKeptAndTheFirstWins) {
  AddText(Text({"p2.tga,Twin,*", "p5.tga,Twin,*", "!END"}));
  ASSERT_EQ(C_.Count(), 2);
  EXPECT_EQ(ImageWidth(C_.FindImage("Twin")), 2);
  // Each keeps the mask of its own picture.
  ASSERT_NE(C_.GetItem(0)->Mask, nullptr);
  ASSERT_NE(C_.GetItem(1)->Mask, nullptr);
  EXPECT_EQ(C_.GetItem(0)->Mask->Width, 2);
  EXPECT_EQ(C_.GetItem(1)->Mask->Width, 5);
  EXPECT_EQ(C_.GetItem(2), nullptr);
}

TEST_F(ImageCollectionTest, LinesThatAddNothingOrAnEmptyItem) {
  struct {
    const char* line;
    bool added;
  } cases[] = {
      {"", false},          {"   ", false},         {"?script", false},
      {".?script", false},  {"JustAName", true},    {"missing.tga,Gone,*", true},
      {"p2.tga,", true},    {"pic.png,Png", true},  {" p2.tga,Spaced", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const int before = C_.Count();
    EXPECT_EQ(C_.AddImageEx(c.line), c.added);
    EXPECT_EQ(C_.Count(), before + (c.added ? 1 : 0));
  }
  // No comma: no file, the whole line is the name; failed loads keep their
  // name but have no image and no mask.
  ASSERT_NE(C_.Find("JustAName"), nullptr);
  EXPECT_EQ(C_.Find("JustAName")->Image, nullptr);
  ASSERT_NE(C_.Find("Gone"), nullptr);
  EXPECT_EQ(C_.Find("Gone")->Image, nullptr);
  EXPECT_EQ(C_.Find("Gone")->Mask, nullptr);
  EXPECT_NE(C_.FindImage(""), nullptr);  // "p2.tga," names its item ""
  // The file part is handed on unchanged, leading blank included.
  EXPECT_EQ(C_.FindImage("Spaced"), nullptr);
  const auto warnings = Containing(Log_.Lines(), "[ImageCollectionUnit, TImageCollection.AddImageEx] ZRScript not supported. Use TImageCollectionIP to access ZRScript.");
  EXPECT_EQ(warnings.size(), 2u);
}

TEST_F(ImageCollectionTest, ListLayouts) {
  struct {
    const char* name;
    std::string text;
    std::vector<std::string> names;
    const char* debug;
  } cases[] = {
      {"layout 2, lower case header", Text({"[*gfxlist]", "p2.tga,A", "p3.tga,B", "[Other]", "x=1"}), {"A", "B"},
       "LoadListV2"},
      {"layout 2, CR LF", "[*GFXLIST]\r\np2.tga,A\r\np3.tga,B\r\n", {"A", "B"}, "LoadListV2"},
      {"layout 2 needs its list section", Text({"[*GFXLIST]", "[*Other]", "p2.tga,A"}), {}, "LoadListV2"},
      {"trailing blank: layout 1", Text({"[*GFXLIST] ", "p2.tga,A"}), {"[*GFXLIST] ", "A"}, "LoadListV1"},
      {"layout 1 stops at !END", Text({"p2.tga,A", "!END", "p3.tga,B"}), {"A"}, "LoadListV1"},
      {"!END is case-sensitive and untrimmed", Text({"p2.tga,A", "!end", " !END", "p3.tga,B", "!END "}),
       {"A", "!end", " !END", "B", "!END "}, "LoadListV1"},
      {"layout 1 without !END", "p2.tga,A\n\np3.tga,B", {"A", "B"}, "LoadListV1"},
      {"empty stream", "", {}, "LoadListV1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    C_.Clear();
    vgrtest::TScopedLog log;
    AddText(c.text);
    EXPECT_EQ(Names(), c.names);
    EXPECT_EQ(Containing(log.Lines(), std::string("<ImageCollectionUnit, AddByList> ") + c.debug).size(), 1u);
  }
}

TEST_F(ImageCollectionTest, ListsFromFilesStringListsAndIniSections) {
  vgrtest::WriteFile(Folder_ / "images.lst", Text({"p2.tga,FromFile", "!END"}));
  vgrtest::WriteFile(Folder_ / "Zapkin.ini", Text({"[Music]", "Title=x.mp3", "[*GFX]", ".p3.tga,FromIni,*", "p4.tga,Second"}));
  C_.AddByList(std::string("images.lst"));
  C_.AddByList(std::string("absent.lst"));
  C_.AddByList(std::vector<std::string>{"p5.tga,FromStrings", "", "?x"});
  C_.AddByList("Zapkin.ini", "GFX");
  {
    TIniFile ini("Zapkin.ini", true);
    C_.AddByList(ini, "Music");
    C_.AddByList(ini, "Nowhere");
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"FromFile", "FromStrings", "FromIni", "Second"}));
  EXPECT_NE(C_.Find("FromIni")->Mask, nullptr);
  const auto lines = Log_.Lines();
  EXPECT_EQ(Containing(lines, "<ImageCollectionUnit, AddByList> Filename=images.lst").size(), 1u);
  EXPECT_EQ(Containing(lines, "<ImageCollectionUnit, AddByList> Filename=absent.lst").size(), 1u);
  EXPECT_EQ(Containing(lines, "[ImageCollectionUnit, TImageCollection.AddByList] Invalid section type! [*Music]").size(), 1u);
  EXPECT_EQ(Containing(lines, "[ImageCollectionUnit, TImageCollection.AddByList] Invalid section type! [*Nowhere]").size(), 1u);
  // The INI file was opened for reading only: it is not written back.
  EXPECT_EQ(vgrtest::ReadTextFile(Folder_ / "Zapkin.ini"),
            Text({"[Music]", "Title=x.mp3", "[*GFX]", ".p3.tga,FromIni,*", "p4.tga,Second"}));
}

TEST_F(ImageCollectionTest, AssignMaskAndOwnership) {
  AddText(Text({"p2.tga,A", "p3.tga,A", "p4.tga,B,*"}));
  TMask own;
  own.Width = 1;
  own.Height = 1;
  own.Data = {1};
  C_.AssignMask("A", &own);
  EXPECT_EQ(C_.GetItem(0)->Mask, &own);
  EXPECT_EQ(C_.GetItem(1)->Mask, nullptr);
  // Replacing the mask of a "*" item: the caller's mask is used, the
  // collection's own is still freed with the item.
  C_.AssignMask("B", &own);
  EXPECT_EQ(C_.Find("B")->Mask, &own);
  C_.AssignMask("C", &own);
  EXPECT_EQ(Containing(Log_.Lines(), "(ImageCollectionUnit, TImageCollection.AssignMask) Image not found! (C).").size(),
            1u);
  C_.Clear();
  EXPECT_EQ(C_.Count(), 0);
  EXPECT_EQ(own.Data, std::vector<uint8_t>{1});  // never freed by the collection
  const auto lines = Log_.Lines();
  EXPECT_EQ(Containing(lines, "<ImageCollectionUnit, TImageCollectionItem.Destroy> Destroying ICItem: A").size(), 2u);
  EXPECT_EQ(Containing(lines, "<ImageCollectionUnit, TImageCollectionItem.Destroy> Destroying ICItem: B").size(), 1u);
}

TEST_F(ImageCollectionTest, ListItemsAndSaveItems) {
  vgrtest::WriteFile(Folder_ / "strip.tga", MakeStrip(4, 16, 16, {0x04, 0x40}));
  AddText(Text({"p3.tga,Logo", "strip.tga,Anim", "gone.tga,Gone", "p5.tga,Last"}));
  C_.ListItems();
  std::vector<std::string> listing;
  for (const auto& l : Log_.Lines())
    if (l.find("listing") != std::string::npos || l.rfind("< Trace >", 0) == 0) listing.push_back(l);
  const std::vector<std::string> expected = {
      "(ImageCollectionUnit, TImageCollection.ListItems) Imagecollection listing starts...",
      "< Trace >  0. Logo (3x2,Anim=0)",
      "< Trace >  1. Anim (64x16,Anim=-1)",
      "< Trace >  2. Gone (0x0,Anim=0)",
      "< Trace >  3. Last (5x2,Anim=0)",
      "(ImageCollectionUnit, TImageCollection.ListItems) Imagecollection listing ends...",
  };
  EXPECT_EQ(listing, expected);

  C_.SaveItems();
  struct {
    const char* file;
    int width, height;
  } saved[] = {{"IC_000.bmp", 3, 2}, {"IC_001.bmp", 64, 16}, {"IC_003.bmp", 5, 2}};
  for (const auto& s : saved) {
    SCOPED_TRACE(s.file);
    // SDL writes colour-keyed surfaces with a larger header and bit fields;
    // the size fields stand at the same place in every BMP.
    const auto b = vgrtest::ReadBinaryFile(Folder_ / s.file);
    ASSERT_GE(b.size(), 26u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(b[18] | b[19] << 8, s.width);
    EXPECT_EQ(b[22] | b[23] << 8, s.height);
  }
  EXPECT_FALSE(FileExists(Folder_ / "IC_002.bmp"));
}

// What start-up does: the GFX section of "Zapkin.ini" read from the archive,
// the pictures read from the archive too.
TEST(ImageCollectionUnit, GfxSectionOfTheArchivedIniFile) {
  vgrtest::TScopedLog log;
  TDisplay display;
  vgrtest::TTempDir dir;
  const std::string ini = "[Waves]\r\nx=1\r\n[*GFX]\r\n.gfx\\ball.tga,Ball,*\r\ngfx\\strip.tga[1..2],Walk\r\n"
                          "gfx\\brick.tga,DarkBrick1\r\n";
  ASSERT_TRUE(WriteArchive(dir / "test.mad4",
                           {{"Zapkin.ini", Bytes(ini.begin(), ini.end())},
                            {"gfx\\ball.tga", MakeTGA24(3, 3, [](int x, int y) { return x == y ? 0xFF0000u : 0u; })},
                            {"gfx\\strip.tga", MakeStrip(4, 8, 8, {0x04, 0x50})},
                            {"gfx\\brick.tga", MakeTGA24(16, 16, [](int, int) { return 0x404040u; })}}));
  TArchiveMounted mounted(dir / "test.mad4");
  ImageCollectionUnit_Startup();
  ImageCollection->AddByList("Zapkin.ini", "GFX");
  ASSERT_EQ(ImageCollection->Count(), 3);
  PImage ball = ImageCollection->FindImage("Ball");
  ASSERT_NE(ball, nullptr);
  EXPECT_TRUE(ball->ColorKeyed);
  ASSERT_NE(ImageCollection->Find("Ball")->Mask, nullptr);
  EXPECT_EQ(ImageCollection->Find("Ball")->Mask->Data, (std::vector<uint8_t>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  PImage walk = ImageCollection->FindImage("Walk");
  ASSERT_NE(walk, nullptr);
  EXPECT_EQ(ImageWidth(walk), 16);
  EXPECT_EQ(walk->FrameCount, 2);
  EXPECT_TRUE(walk->FlagB);
  EXPECT_EQ(ImagePx(walk, 1, 1), FrameColour(1));
  ASSERT_NE(ImageCollection->FindImage("DarkBrick1"), nullptr);
  ImageCollectionUnit_Shutdown();
}

TEST(ImageCollectionUnit, StartupCreatesAndShutdownFrees) {
  vgrtest::TScopedLog log;
  ImageCollectionUnit_Startup();
  ASSERT_NE(ImageCollection, nullptr);
  EXPECT_EQ(ImageCollection->Count(), 0);
  EXPECT_EQ(Containing(log.Lines(), "(uses) ImageCollectionUnit, version 2.05").size(), 1u);
  ImageCollectionUnit_Shutdown();
  EXPECT_EQ(ImageCollection, nullptr);
}

}  // namespace

namespace {

// Every line naming one picture holds its own copy: past the budget for all
// pictures together, the lines beyond it are refused with an error line each,
// before their pixels are decoded, and hold nothing; what the collection held
// is given back when it goes.
TEST_F(ImageCollectionTest, PicturesTogetherKeepToTheBudget) {
  vgrtest::WriteFile(Folder_ / "big.tga", MakeTGA24(64, 64, [](int x, int) { return x == 0 ? 0u : 0xFFFFFFu; }));
  const int64_t before = ImageBytesHeld();
  const int64_t previous = SetImageBudgetBytes(before + 3 * 64 * 64 * 4);
  {
    TImageCollection c;
    std::string list;
    for (int i = 0; i < 5; ++i) list += "big.tga,Big" + std::to_string(i) + "\n";
    TMemoryStream s;
    s.Data.assign(list.begin(), list.end());
    c.AddByList(s);
    ASSERT_EQ(c.Count(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(c.GetItem(i)->Image != nullptr, i < 3) << i;
    EXPECT_EQ(ImageBytesHeld(), before + 3 * 64 * 64 * 4);
    EXPECT_EQ(vgrtest::Matching(Log_.Lines(), "! (Big").size(), 2u);
    EXPECT_EQ(vgrtest::Matching(Log_.Lines(), "Pictures would take more than").size(), 2u);
    // Those past the budget were refused from their header, never decoded.
    EXPECT_EQ(vgrtest::Matching(Log_.Lines(), "Load ok. (64x64)").size(), 3u);
  }
  EXPECT_EQ(ImageBytesHeld(), before);
  SetImageBudgetBytes(previous);
}

// GFX lists name pictures only where the lookup looks for them.
TEST_F(ImageCollectionTest, ListNamesOutsideTheDataFoldersAreRefused) {
  vgrtest::WriteFile("list.gfx", Text({"gfx/../../p2.tga,Up", "/etc/passwd,Root", "a\\..\\..\\p2.tga,Back", "p2.tga,Fine",
                                       "!END"}));
  C_.AddByList("list.gfx");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Fine"}));
  for (const char* line : {"gfx/../../p2.tga,Up", "/etc/passwd,Root", "a\\..\\..\\p2.tga,Back"})
    EXPECT_EQ(vgrtest::Matching(Log_.Lines(), std::string("Name outside the data folders refused! (list.gfx, ") + line + ")")
                  .size(),
              1u)
        << line;
}

}  // namespace

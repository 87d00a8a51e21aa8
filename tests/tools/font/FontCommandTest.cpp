#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FontCommand.h"
#include "FontFiles.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "VgrData.h"
#include "ZRFonts.h"
#include "ZRStream3.h"
#include "ZR_SDL.h"

namespace {

const std::string kFontDir = "/usr/share/fonts/truetype/dejavu/";

using vgrtest::Vgr;

// The font recipes of the data build, read from data/fonts.cmake so that
// the test checks the fonts that ship.
struct TRecipe {
  std::string Name;
  std::vector<std::string> Args;  // of "vgrdata font build", output excluded
};

const std::string kAlphabet = vgrtest::SourceDir() + "/data/fonts/alphabet.txt";

std::vector<TRecipe> ShippedRecipes() {
  const std::string text = vgrtest::ReadTextFile(vgrtest::SourceDir() + "/data/fonts.cmake");
  const std::regex font(R"(^vgr_font\(([\w.]+)(.*)\))");
  std::vector<TRecipe> recipes;
  std::istringstream lines(text);
  std::string line;
  std::smatch m;
  while (std::getline(lines, line)) {
    if (!std::regex_search(line, m, font)) continue;
    TRecipe r;
    r.Name = m[1];
    r.Args = {"--pixels", kAlphabet};
    std::istringstream rest(m[2].str());
    for (std::string word; rest >> word;) r.Args.push_back(word);
    recipes.push_back(r);
  }
  return recipes;
}

class ShippedFonts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir_ = new vgrtest::TTempDir();
    for (const TRecipe& r : ShippedRecipes()) {
      std::vector<std::string> args = {"font", "build", *Dir_ / r.Name};
      args.insert(args.end(), r.Args.begin(), r.Args.end());
      const vgrtest::TToolResult res = Vgr(args);
      BuildErrors_ += res.code != 0 ? r.Name + ": " + res.err : std::string();
      Built_.push_back(r.Name);
    }
  }
  static void TearDownTestSuite() {
    delete Dir_;
    Dir_ = nullptr;
  }
  void SetUp() override { Initialize(640, 400, 32, VF_BACKBUFFER); }
  void TearDown() override {
    if (ScreenSurface) Finalize();
  }
  static std::string File(const std::string& name) { return *Dir_ / name; }

  static vgrtest::TTempDir* Dir_;
  static std::string BuildErrors_;
  static std::vector<std::string> Built_;
};
vgrtest::TTempDir* ShippedFonts::Dir_ = nullptr;
std::string ShippedFonts::BuildErrors_;
std::vector<std::string> ShippedFonts::Built_;

// Whether the glyph's box holds any pixel that is not black.
bool HasInk(TBMPFont& f, int c) {
  const TGlyphRect& g = f.Glyphs[c];
  for (int y = g.Top; y <= g.Bottom; ++y)
    for (int x = g.Left; x <= g.Right; ++x)
      if (GetPixel(f.GetImage()->Surface, x, y) != 0) return true;
  return false;
}

}  // namespace

TEST_F(ShippedFonts, AllSixBuildFromThePixelAlphabet) {
  EXPECT_EQ(BuildErrors_, "");
  EXPECT_EQ(Built_, (std::vector<std::string>{"hamp.zrr", "lilnums.tga", "dfont.tga", "ifont.tga", "scrfnt.tga",
                                              "scoref.tga"}));
}

TEST_F(ShippedFonts, EveryPrintableCharacterHasInk) {
  for (const std::string& name : Built_) {
    std::unique_ptr<TBMPFont> f;
    if (name.ends_with(".zrr")) {
      f = std::make_unique<TZRRFont>(File(name));
    } else {
      f = std::make_unique<TTGAFont>(File(name));
    }
    ASSERT_NE(f->GetImage(), nullptr) << name;
    for (int c = 33; c < 127; ++c) EXPECT_TRUE(HasInk(*f, c)) << name << " '" << static_cast<char>(c) << "'";
    const TGlyphRect& space = f->Glyphs[' '];
    EXPECT_FALSE(HasInk(*f, ' ')) << name;
    if (!name.ends_with(".zrr")) {
      EXPECT_GT(space.Right, space.Left) << name;  // present, not the zero box
    }
  }
}

TEST_F(ShippedFonts, LoadingLineFontIsOneBitWithDeepDescenders) {
  TZRRFont f(File("hamp.zrr"));
  EXPECT_EQ(f.Flags, zrrDescender | zrrSparse);
  EXPECT_GE(f.CellWidth, 8);
  EXPECT_LE(f.CellWidth, 16);
  EXPECT_GE(f.CellHeight, 12);
  EXPECT_LE(f.CellHeight, 24);
  // One colour only: every pixel of the sheet is black or the font colour.
  for (int x = 0; x < ImageWidth(f.GetImage()); ++x)
    for (int y = 0; y < ImageHeight(f.GetImage()); ++y) {
      const uint32_t v = GetPixel(f.GetImage()->Surface, x, y);
      ASSERT_TRUE(v == 0 || v == MapColor(f.GetImage()->Surface, 255, 255, 255)) << x << "," << y;
    }
  EXPECT_LT(f.TextWidth("Loading..."), 640);
  // Descenders reach at least three rows below the baseline (the foot of "x"),
  // as drawn: descender mode included.
  auto lowestInk = [&f](int c) {
    int lowest = -1;
    for (int y = 0; y < f.CellHeight; ++y)
      for (int x = f.Glyphs[c].Left; x <= f.Glyphs[c].Right; ++x)
        if (GetPixel(f.GetImage()->Surface, x, y) != 0) lowest = y;
    return lowest;
  };
  for (char c : std::string("gjpqy")) EXPECT_GE(lowestInk(c) - lowestInk('x'), 3) << c;
}

TEST_F(ShippedFonts, OnlyTheRecolouredFontIsGreyAndTheirLettersAreShaded) {
  // dfont is tinted by the menu and the end screens: grey levels on black,
  // several of them, so that every tint keeps the shading.
  for (const char* name : {"dfont.tga", "ifont.tga", "scoref.tga"}) {
    TTGAFont f(File(name));
    std::set<uint32_t> colors;
    bool grey = true;
    for (int x = 0; x < ImageWidth(f.GetImage()); ++x)
      for (int y = 0; y < ImageHeight(f.GetImage()); ++y) {
        uint8_t r, g, b;
        const uint32_t v = GetPixel(f.GetImage()->Surface, x, y);
        GetColor(f.GetImage()->Surface, v, r, g, b);
        grey = grey && r == g && g == b;
        colors.insert(v);
      }
    EXPECT_EQ(grey, std::string(name) == "dfont.tga") << name;
    EXPECT_GE(colors.size(), 4u) << name << " has black, a lit edge, a body and a dark edge";
  }
}

TEST_F(ShippedFonts, FitTheScreensThatUseThem) {
  TTGAFont dfont(File("dfont.tga"));
  EXPECT_LE(2 + (30 - dfont.LineHeight) / 2 + dfont.LineHeight, 30);  // a menu row
  EXPECT_LE(dfont.TextWidth("PRACTICE LEVEL < 49 >"), 400);
  EXPECT_LE(dfont.TextWidth("GAME COMPLETED!"), 640);

  TTGAFont ifont(File("ifont.tga"));
  EXPECT_LE(ifont.LineHeight, 40);
  for (const char* line : {"in-game, game over & outro music", "You completed the whole game!",
                           "You found out that home made", "level design & skeleton gfx"}) {
    EXPECT_LE(ifont.TextWidth(line), 600) << line;
  }

  TTGAFont scroller(File("scrfnt.tga"));
  EXPECT_LE(scroller.LineHeight, 30);

  TTGAFont score(File("scoref.tga"));
  EXPECT_LE(score.LineHeight, 20);
  for (int c = 33; c < 127; ++c) EXPECT_LE(score.Glyphs[c].Right - score.Glyphs[c].Left + 1, 13) << char(c);
  score.SetFixedWidth(13);
  score.Spacing = 0;
  EXPECT_EQ(320 - score.TextWidth("SCORE: 00000  HIGH: 00000  MAP: 00") / 2 + 7 * 13, 190);  // the score digits

  TTGAFont numbers(File("lilnums.tga"));
  numbers.Spacing = -1;
  EXPECT_LE(numbers.LineHeight, 12);
  for (int n = 0; n < 100; ++n) {
    const std::string digits = std::string(1, char('0' + n / 10)) + char('0' + n % 10);
    EXPECT_LE(numbers.TextWidth(digits), 16) << digits;
  }
}

// ---------------------------------------------------------------- writer and reader in step

TEST(FontRoundTrip, ZRRCellsOfEveryWidthComeBackPixelForPixel) {
  Initialize(640, 400, 32, VF_BACKBUFFER);
  std::mt19937 rng(7);
  for (uint8_t width : {3, 8, 11, 16, 21}) {
    for (uint8_t flags : {0, 1, 2, 3}) {
      vgrdata::TZRRFontData d;
      d.Flags = flags;
      d.CellWidth = width;
      d.GlyphHeight = 5;
      for (int c : {int('A'), int('g'), int('y'), int('z'), 200}) {
        d.Present[c] = true;
        d.Cells[c].resize(static_cast<size_t>(width) * 5);
        for (uint8_t& v : d.Cells[c]) v = static_cast<uint8_t>(rng() & 1);
      }
      TMemoryStream m(vgrdata::EncodeZRR(d));
      TZRRFont f(m);
      ASSERT_NE(f.GetImage(), nullptr);
      for (int c : {int('A'), int('g'), int('y'), int('z'), 200, int('B')}) {
        const int shift = (flags & 1) && (c == 'g' || c == 'y') ? 1 : 0;
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < width; ++x) {
            const bool ink = d.Present[c] && d.Cells[c][static_cast<size_t>(y) * width + x];
            ASSERT_EQ(GetPixel(f.GetImage()->Surface, c * width + x, y + shift) != 0, ink)
                << "width " << int(width) << " flags " << int(flags) << " char " << c << " at " << x << "," << y;
          }
      }
    }
  }
  Finalize();
}

// ---------------------------------------------------------------- the command

TEST(FontCommand, RenderDrawsTheTextInTheColourAsked) {
  vgrtest::TTempDir dir;
  ASSERT_EQ(Vgr({"font", "build", dir / "f.tga", "--face", kFontDir + "DejaVuSans-Bold.ttf", "--size", "20"}).code, 0);
  const vgrtest::TToolResult r = Vgr({"font", "render", dir / "f.tga", "HI\\nHI", dir / "out.bmp", "--color", "ff0000",
                         "--background", "0000ff"});
  ASSERT_EQ(r.code, 0) << r.err;
  TRawPicture p;
  TFileStream s(dir / "out.bmp", fmOpenRead);
  p.ReadBMP(s);
  ASSERT_GT(p.Width, 20);
  int red = 0, blue = 0, other = 0;
  for (int32_t y = 0; y < p.Height; ++y)
    for (int32_t x = 0; x < p.Width; ++x) {
      const uint8_t* px = p.PixelAt(x, y);
      if (px[2] > 0 && px[1] == 0 && px[0] == 0) {
        ++red;
      } else if (px[0] == 255 && px[1] == 0 && px[2] == 0) {
        ++blue;
      } else {
        ++other;
      }
    }
  EXPECT_GT(red, 100);   // the letters, tinted
  EXPECT_GT(blue, 100);  // the canvas around them
  EXPECT_GT(other, 0);   // black glyph boxes: TGA fonts are drawn opaque
  // Two lines: taller than two lines of the font.
  const vgrtest::TToolResult info = Vgr({"font", "info", dir / "f.tga"});
  const size_t at = info.out.find("line height: ");
  ASSERT_NE(at, std::string::npos) << info.out;
  EXPECT_GE(p.Height, 2 * std::stoi(info.out.substr(at + 13)));
}

TEST(FontCommand, InfoAndSheetDescribeAFont) {
  vgrtest::TTempDir dir;
  const vgrtest::TToolResult b = Vgr({"font", "build", dir / "h.zrr", "--face", kFontDir + "DejaVuSansMono-Bold.ttf", "--size",
                         "14", "--cell", "9"});
  ASSERT_EQ(b.code, 0) << b.err;
  const vgrtest::TToolResult info = Vgr({"font", "info", dir / "h.zrr"});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_NE(info.out.find("format: zrr"), std::string::npos);
  EXPECT_NE(info.out.find("printable characters: 95 of 95\n"), std::string::npos) << info.out;
  const vgrtest::TToolResult sheet = Vgr({"font", "sheet", dir / "h.zrr", dir / "s.bmp", "--scale", "2"});
  ASSERT_EQ(sheet.code, 0) << sheet.err;
  EXPECT_TRUE(FileExists(dir / "s.bmp"));
  EXPECT_EQ(vgrdata::ContactSheetLines().size(), 5u);
}

TEST(FontCommand, ReadsFontsFromAnArchive) {
  vgrtest::TTempDir dir;
  ASSERT_EQ(Vgr({"font", "build", dir / "n.tga", "--face", kFontDir + "DejaVuSans.ttf", "--size", "9", "--mode",
                 "mono", "--spacing", "-1"})
                .code,
            0);
  ASSERT_EQ(Vgr({"archive", "create", dir / "a.mad4"}).code, 0);
  ASSERT_EQ(Vgr({"archive", "add", dir / "a.mad4", "font\\packed.tga", dir / "n.tga"}).code, 0);
  const vgrtest::TToolResult r = Vgr({"font", "info", "font\\packed.tga", "--archive", dir / "a.mad4"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("printable characters: 95 of 95"), std::string::npos) << r.out;
  EXPECT_EQ(Vgr({"font", "info", "font\\packed.tga"}).code, 1);  // not on disk
}

TEST(FontCommand, RejectsBadArguments) {
  vgrtest::TTempDir dir;
  const std::string face = kFontDir + "DejaVuSans.ttf";
  const std::vector<std::pair<std::vector<std::string>, int>> cases = {
      {{"font"}, 2},
      {{"font", "paint"}, 2},
      {{"font", "build", dir / "x.png", "--face", face, "--size", "12"}, 2},
      {{"font", "build", dir / "x.tga", "--face", face}, 2},
      {{"font", "build", dir / "x.tga", "--face", face, "--size", "12", "--mode", "fancy"}, 2},
      {{"font", "build", dir / "x.tga", "--face", face, "--size", "12", "--chars", "90-80"}, 2},
      {{"font", "build", dir / "x.tga", "--face", dir / "none.ttf", "--size", "12"}, 1},
      {{"font", "build", dir / "x.zrr", "--face", face, "--size", "12", "--cell", "70"}, 1},
      {{"font", "render", dir / "missing.zrr", "A", dir / "o.bmp"}, 1},
      {{"font", "render", dir / "missing.zrr", "A", dir / "o.bmp", "--color", "red"}, 2},
      {{"font", "info", dir / "x.tga", "--archive", dir / "none.mad4"}, 1},
      {{"font", "info", dir / "x.tga", "--bogus"}, 2},
      {{"font", "build", dir / "x.tga", "--pixels", kAlphabet, "--face", face, "--size", "12"}, 2},
      {{"font", "build", dir / "x.tga", "--face", face, "--size", "12", "--scale", "2"}, 2},
      {{"font", "build", dir / "x.tga", "--pixels", kAlphabet, "--scale", "0"}, 2},
      {{"font", "build", dir / "x.tga", "--pixels", kAlphabet, "--ramp", "ffffff,000000"}, 2},
      {{"font", "build", dir / "x.tga", "--pixels", kAlphabet, "--light", "ffffff,eeeeee"}, 2},
      {{"font", "build", dir / "x.tga", "--pixels", dir / "none.txt"}, 1},
      {{"font", "build", dir / "x.tga", "--pixels", dir / "bad.txt"}, 1},
      {{"font", "build", dir / "x.tga", "--pixels", kAlphabet, "--chars", "32-127"}, 1},
  };
  vgrtest::WriteFile(dir / "bad.txt", "ascent 2\ndescent 0\nchar A\n##\n#\n");
  for (const auto& [args, code] : cases) {
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_EQ(Vgr(args).code, code) << line;
  }
  EXPECT_FALSE(FileExists(dir / "x.zrr"));
  EXPECT_FALSE(FileExists(dir / "x.tga"));
}

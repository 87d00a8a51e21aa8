// The picture sources of data/art: palette files, picture blocks and their
// drawing commands, the attribute blocks written into the TGA files (read
// back by the game's own TGA reader), and the errors a broken source gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ArtScript.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ZRStream3.h"

using namespace vgrdata;

namespace {

const char* const kPalette =
    "; test palette\n"
    "k 101010 outline\n"
    "r 800000 red dark=x light=R\n"
    "x 400000 red-dark\n"
    "R ff8080 red-light\n"
    "b 0000c0 blue\n"
    "w f0f0f0 white\n";

// A book with the test palette and one picture source.
struct TBook {
  TArtBook Book;
  std::string Error;
  bool Ok = false;
  explicit TBook(const std::string& source) {
    Ok = Book.AddText(kPalette, "test.pal", Error) && Book.AddText(source, "test.art", Error);
  }
  const TArtPicture* Get(const std::string& name) { return Book.Get(name, Error); }
  // The picture's pixels as grid keys, "_" for black, one string per row.
  std::vector<std::string> Rows(const std::string& name) {
    std::vector<std::string> rows;
    const TArtPicture* p = Get(name);
    if (!p) return rows;
    for (int y = 0; y < p->Height; ++y) {
      std::string r;
      for (int x = 0; x < p->Width; ++x) r += Book.Palette().At(p->At(x, y)).Key;
      rows.push_back(r);
    }
    return rows;
  }
};

using Rows = std::vector<std::string>;

}  // namespace

TEST(ArtPalette, KeysNamesAndTones) {
  TArtPalette pal;
  std::string error;
  ASSERT_TRUE(pal.Parse(kPalette, "test.pal", error)) << error;
  EXPECT_EQ(pal.Size(), 7);  // black and six colours
  const int red = pal.ByKey('r');
  ASSERT_GT(red, 0);
  EXPECT_EQ(pal.ByName("red"), red);
  EXPECT_EQ(pal.Resolve("r"), red);
  EXPECT_EQ(pal.Resolve("red"), red);
  EXPECT_EQ(pal.Resolve("_"), 0);
  EXPECT_EQ(pal.Resolve("none"), 0);
  EXPECT_EQ(pal.Resolve("nope"), -1);
  EXPECT_EQ(pal.At(pal.At(red).Dark).Key, 'x');
  EXPECT_EQ(pal.At(pal.At(red).Light).Key, 'R');
  // Without dark= or light= a colour is its own next tone.
  EXPECT_EQ(pal.At(pal.ByKey('b')).Dark, pal.ByKey('b'));
  EXPECT_EQ(pal.At(red).R, 0x80);
}

TEST(ArtPalette, BrokenLinesNameTheirLine) {
  struct TCase {
    const char* Text;
    const char* Reason;
  } cases[] = {
      {"a 000000 nought\n", "transparent"},
      {"_ 102030 mine\n", "reserved"},
      {". 102030 dot\n", "reserved"},
      {"a 102030 one\na 203040 two\n", "twice"},
      {"a 102030 one\nb 203040 one\n", "twice"},
      {"a 1020 short\n", "expected"},
      {"a 10203g bad\n", "bad colour"},
      {"a 102030 one dark=z\n", "unknown colour"},
      {"a 102030 one glow=b\n", "unknown option"},
  };
  for (const auto& c : cases) {
    TArtPalette pal;
    std::string error;
    EXPECT_FALSE(pal.Parse(c.Text, "p.pal", error)) << c.Text;
    EXPECT_NE(error.find(c.Reason), std::string::npos) << c.Text << " -> " << error;
    EXPECT_EQ(error.rfind("p.pal:", 0), 0u) << error;
  }
}

TEST(ArtScript, GridsShapesAndClipping) {
  TBook b(
      "picture P 6x4\n"
      "  rect -3 -3 1 1 r\n"  // clipped at the top left
      "  dot 5 3 b\n"
      "  dot 9 9 b\n"  // outside: nothing
      "  grid 2 1\n"
      "w.w\n"
      " _w\n"
      "end\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_EQ(b.Rows("P"), (Rows{"rr____", "rrw_w_", "____w_", "_____b"}));
}

TEST(ArtScript, OutlineTouchesOnlyTheFourNeighbours) {
  TBook b(
      "picture P 5x5\n"
      "  dot 2 2 r\n"
      "  outline k\n"
      "end\n"
      "picture Q 5x5\n"
      "  dot 2 2 r\n"
      "  outline k 8\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_EQ(b.Rows("P"), (Rows{"_____", "__k__", "_krk_", "__k__", "_____"}));
  EXPECT_EQ(b.Rows("Q"), (Rows{"_____", "_kkk_", "_krk_", "_kkk_", "_____"}));
}

TEST(ArtScript, OutlineAllKeepsEveryFrameToItself) {
  // The pixel at the right edge of frame 0 must not outline frame 1.
  TBook b(
      "picture P 6x1 frames=2\n"
      "  dot 2 0 r\n"
      "  outline k all\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_EQ(b.Rows("P"), (Rows{"_kr___"}));
}

TEST(ArtScript, SilhouetteAndEdge) {
  TBook b(
      "picture P 4x4\n"
      "  rect 0 0 3 3 r\n"
      "  dot 1 1 b\n"
      "end\n"
      "picture W 4x4\n"
      "  stamp P 0 0\n"
      "  silhouette w\n"
      "end\n"
      "picture E 5x5\n"
      "  rect 1 1 3 3 r\n"
      "  edge b\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_EQ(b.Rows("W"), (Rows{"wwww", "wwww", "wwww", "wwww"}));
  EXPECT_EQ(b.Rows("E"), (Rows{"_____", "_bbb_", "_b_b_", "_bbb_", "_____"}));
}

TEST(ArtScript, StampMirrorsAStripFrameByFrame) {
  TBook b(
      "picture S 6x1 frames=2\n"
      "  frame 0\n"
      "  dot 0 0 r\n"
      "  frame 1\n"
      "  dot 1 0 b\n"
      "end\n"
      "picture M 6x1\n"
      "  stamp S 0 0 H\n"
      "end\n"
      "picture One 3x1\n"
      "  stamp S 0 0 frame=1\n"
      "end\n"
      "picture Big 2x2\n"
      "  stamp One -1 0 2\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_EQ(b.Rows("M"), (Rows{"__r_b_"}));
  EXPECT_EQ(b.Rows("One"), (Rows{"_b_"}));
  EXPECT_EQ(b.Rows("Big"), (Rows{"_b", "_b"}));
}

TEST(ArtScript, ShadeLightsTheTopLeftAndDarkensTheBottomRight) {
  TBook b(
      "picture P 5x5\n"
      "  rect 1 1 3 3 r\n"
      "  shade\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_EQ(b.Rows("P"), (Rows{"_____", "_RRR_", "_Rrx_", "_Rxx_", "_____"}));
}

TEST(ArtScript, SymmetryCopyFrameReplace) {
  TBook b(
      "picture P 8x1 frames=2\n"
      "  dot 0 0 r\n"
      "  dot 1 0 b\n"
      "  symmetry\n"
      "  copyframe 0 1 H\n"
      "  frame 1\n"
      "  replace r w\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_EQ(b.Rows("P"), (Rows{"rbbrwbbw"}));
}

TEST(ArtScript, AttributeBlocksReadBackByTheGame) {
  struct TCase {
    const char* Header;
    int32_t ExtraType;
    std::vector<uint8_t> Extra;
  } cases[] = {
      {"picture P 8x2", etNone, {}},
      {"picture P 8x2 key", etShort, {0x00, 0x40}},
      {"picture P 8x2 frames=4 key random", etShort, {0x04, 0x60}},
      {"picture P 8x2 frames=2 loop pause", etShort, {0x02, 0x90}},
      {"picture P 8x2 frames=4 key loop delay=5 hold=2 start=3", etLong,
       {0x04, 0x50, 5, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    // Drawing happens in frame 0, the strip's first frame.
    TBook b(std::string(c.Header) + " out=x.tga\n  rect 0 0 7 1 r\n  dot 1 1 b\nend\n");
    ASSERT_TRUE(b.Ok) << b.Error;
    vgrtest::TTempDir dir;
    std::string error;
    ASSERT_EQ(b.Book.WriteAll(dir.Path(), error), 1) << error;
    TRawPicture p;
    p.ReadTGA(dir / "x.tga");
    EXPECT_EQ(p.Width, 8) << c.Header;
    EXPECT_EQ(p.Height, 2);
    EXPECT_EQ(p.ExtraType, c.ExtraType) << c.Header;
    EXPECT_EQ(p.Extra, c.Extra) << c.Header;
    // Pixels come back as the palette says: blue, green, red bytes.
    EXPECT_EQ(p.PixelAt(0, 0)[2], 0x80);
    EXPECT_EQ(p.PixelAt(1, 1)[0], 0xC0);
    EXPECT_EQ(p.PixelAt(1, 1)[2], 0x00);
  }
}

TEST(ArtScript, OutputsGoIntoTheirFolders) {
  TBook b(
      "picture A 2x2 out=gfx\\a.tga\nend\n"
      "picture Helper 2x2\nend\n"
      "picture B 2x2 out=top.tga\n  stamp A 0 0\nend\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  vgrtest::TTempDir dir;
  std::vector<std::string> written;
  std::string error;
  ASSERT_EQ(b.Book.WriteAll(dir.Path(), error, &written), 2) << error;
  EXPECT_TRUE(FileExists(dir / "gfx/a.tga"));
  EXPECT_TRUE(FileExists(dir / "top.tga"));
  EXPECT_EQ(b.Book.Names(), (std::vector<std::string>{"A", "Helper", "B"}));
}

TEST(ArtScript, BrokenSourcesAreRefusedWithTheirPlace) {
  struct TCase {
    const char* Source;
    const char* Reason;
  } cases[] = {
      {"picture P 4x4\n  splash 1 2 r\nend\n", "test.art:2: unknown command splash"},
      {"picture P 4x4\n  rect 1 2 r\nend\n", "test.art:2: rect X1 Y1 X2 Y2 C"},
      {"picture P 4x4\n  rect 0 0 1 1 q\nend\n", "test.art:2:"},
      {"picture P 4x4\n  grid 0 0\nrQ\nend\nend\n", "test.art:3: unknown grid key 'Q'"},
      {"picture P 5x4 frames=2\nend\n", "multiple of the frame count"},
      {"picture P 0x4\nend\n", "size must be"},
      {"picture P 5000x4\nend\n", "size must be"},
      {"picture P 4x4\n", "has no \"end\""},
      {"picture P 4x4 shiny\nend\n", "unknown or bad option shiny"},
      {"picture P 4x4\nend\npicture P 4x4\nend\n", "defined twice"},
      {"picture P 4x4\n  stamp Nobody 0 0\nend\n", "no picture named Nobody"},
      {"picture P 4x4\n  stamp Q 0 0\nend\npicture Q 4x4\n  stamp P 0 0\nend\n", "stamps itself"},
      {"picture P 4x4 frames=2\n  frame 2\nend\n", "frame needs"},
      {"rect 0 0 1 1 r\n", "expected \"picture NAME WxH"},
  };
  for (const auto& c : cases) {
    TBook b(c.Source);
    if (b.Ok) {
      for (const std::string& name : b.Book.Names()) b.Get(name);
    }
    EXPECT_NE(b.Error.find(c.Reason), std::string::npos) << c.Source << " -> " << b.Error;
  }
}

TEST(ArtScript, OutputsThatLeaveTheFolderOrCollideAreRefused) {
  for (const char* source : {"picture P 2x2 out=..\\evil.tga\nend\n",
                             "picture P 2x2 out=a.tga\nend\npicture Q 2x2 out=a.tga\nend\n"}) {
    TBook b(source);
    ASSERT_TRUE(b.Ok) << b.Error;
    vgrtest::TTempDir dir;
    std::string error;
    EXPECT_EQ(b.Book.WriteAll(dir.Path(), error), -1) << source;
    EXPECT_FALSE(error.empty());
  }
}

TEST(ArtScript, HugeShapesAreClippedNotWalked) {
  // Coordinates far outside the picture must not cost time or memory.
  TBook b(
      "picture P 3x2\n"
      "  noise -999999999 -999999999 999999999 999999999 r 50 1\n"
      "  rect -999999999 -999999999 999999999 999999999 b\n"
      "  checker -999999999 -999999999 999999999 999999999 w\n"
      "  vgrad -999999999 -999999999 999999999 999999999 r b\n"
      "  darken -999999999 -999999999 999999999 999999999\n"
      "  shade -999999999 -999999999 999999999 999999999\n"
      "  replace w r -999999999 -999999999 999999999 999999999\n"
      "  ellipse -999999999 -999999999 999999999 999999999 w\n"
      "  line -999999999 0 999999999 1 k\n"
      "end\n"
      "picture Q 3x2\n"
      "  disc 1 1 999999999 r\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_NE(b.Get("P"), nullptr) << b.Error;
  EXPECT_EQ(b.Get("Q"), nullptr);
  EXPECT_NE(b.Error.find("at most"), std::string::npos) << b.Error;
}

TEST(ArtScript, PicturesHaveAMemoryBudget) {
  std::string source;
  for (int i = 0; i < 5; ++i) source += "picture P" + std::to_string(i) + " 4096x4096\nend\n";
  TBook b(source);
  ASSERT_TRUE(b.Ok) << b.Error;
  int made = 0;
  for (const std::string& name : b.Book.Names()) made += b.Get(name) != nullptr;
  EXPECT_EQ(made, 4);
  EXPECT_NE(b.Error.find("million pixels"), std::string::npos) << b.Error;
}

TEST(ArtScript, CheckerCanKeepToOneColour) {
  TBook b(
      "picture P 4x2\n"
      "  rect 0 0 1 1 r\n"
      "  checker 0 0 3 1 w r\n"
      "end\n"
      "picture Q 4x2\n"
      "  checker 0 0 3 1 w\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  EXPECT_EQ(b.Rows("P"), (Rows{"wr__", "rw__"}));
  EXPECT_EQ(b.Rows("Q"), (Rows{"w_w_", "_w_w"}));
}

TEST(ArtScript, RampsDitherBetweenTheirColours) {
  TBook b(
      "picture P 4x9\n"
      "  vgrad 0 0 3 8 r b\n"
      "end\n");
  ASSERT_TRUE(b.Ok) << b.Error;
  const Rows rows = b.Rows("P");
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows.front(), "rrrr");
  EXPECT_EQ(rows.back(), "bbbb");
  // Half way both colours meet in an even pattern.
  const int blue = static_cast<int>(std::count(rows[4].begin(), rows[4].end(), 'b'));
  EXPECT_GE(blue, 1);
  EXPECT_LE(blue, 3);
}

// The menu component: row syntax, settings, keys, sub-lists and drawing.
#include <gtest/gtest.h>

#include "Logger.h"
#include "SetupCommandUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "UiFixtures.h"
#include "ZR_SDL.h"
#include "vcc_Menu.h"

using uitest::MakeTestFont;
using uitest::ReadScreenText;
using uitest::ScreenPixel;
using uitest::TPixel;

namespace {

const std::string kNul(1, '\0');

TEST(MenuRow, Syntax) {
  struct TCase {
    std::string Text;
    uint8_t Kind;
    std::string Caption, Value;
    std::vector<std::string> Captions, Values;
  };
  const std::vector<TCase> cases = {
      {"NEW GAME", lkPlain, "NEW GAME", "NEW GAME", {}, {}},
      {"Volume=loud=1", lkPlain, "Volume", "loud=1", {}, {}},
      {"@Options", lkHeader, "Options", "", {}, {}},
      {"%sl%PRACTICE LEVEL {1=1" + kNul + "3=3}", lkOption, "PRACTICE LEVEL ", "sl", {"1", "3"}, {"1", "3"}},
      {"%mo%MODE {NORMAL=0}", lkOption, "MODE ", "mo", {"NORMAL"}, {"0"}},
      {"%x%Empty {}", lkOption, "Empty ", "x", {}, {}},
      {"%x%Pairs {a=b=c" + kNul + "plain}", lkOption, "Pairs ", "x", {"a", "plain"}, {"b=c", "plain"}},
      {"%x%No entries", lkOption, "No entries", "x", {}, {}},
      {"%broken", lkOption, "", "broken", {}, {}},
      {"", lkPlain, "", "", {}, {}},
  };
  for (const auto& c : cases) {
    const TLineData row = ParseMenuRow(c.Text);
    EXPECT_EQ(row.Kind, c.Kind) << c.Text;
    EXPECT_EQ(row.Text, c.Caption) << c.Text;
    EXPECT_EQ(row.Value, c.Value) << c.Text;
    EXPECT_EQ(row.Captions, c.Captions) << c.Text;
    EXPECT_EQ(row.Values, c.Values) << c.Text;
    EXPECT_EQ(row.Current, 0);
    EXPECT_EQ(row.Parent, -1);
    EXPECT_FALSE(row.HasChildren);
  }
}

class Menu_ : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearKeys();
    Initialize(640, 400, 32, VF_BACKBUFFER);
    KeyNames_Startup();
    SetupCommands = std::make_unique<TSetupCommandHandler>();
    Fonts[0] = MakeTestFont(1);
    Fonts[1] = MakeTestFont(2);
    Fonts[2] = MakeTestFont(3);
    M = std::make_unique<TMenu>();
  }
  void TearDown() override {
    M.reset();
    for (auto& f : Fonts) f.reset();
    SetupCommands.reset();
    KeyNames_Shutdown();
    Finalize();
    ClearKeys();
  }
  // One frame as a screen loop runs it: the keys arrive, the menu reacts.
  void Press(int sym) {
    PushKeyEvent(sym, true);
    ProcessEvents();
    M->Process();
    PushKeyEvent(sym, false);
    ProcessEvents();
  }
  void Standard() {
    M->Setup("X=120|Y=150|Width=400|Height=90|AlignX=Left|AlignY=Top");
    M->Setup("Font1=0|Font2=1|Font3=2|TextAlign=center|TextOffsetY=2|RowHeight=30");
    M->Setup("KeyUp=Up|KeyDown=Down|KeyLeft=Left|KeyRight=Right");
    M->Setup("KeySelect=Space|KeyEscape=Escape");
  }
  std::string Shown(int row) {
    const TLineData& l = M->Lines[static_cast<std::size_t>(M->Visible[static_cast<std::size_t>(row)])];
    return l.Kind == lkOption && !l.Captions.empty() ? l.Text + l.Captions[static_cast<std::size_t>(l.Current)]
                                                     : l.Text;
  }
  vgrtest::TScopedLog Log_;
  std::unique_ptr<TMenu> M;
};

TEST_F(Menu_, PracticeOptionStepsOneThreeOne) {
  Standard();
  M->Setup("Item=NEW GAME");
  M->Setup("Item=%sl%PRACTICE LEVEL {1=1" + kNul + "3=3}");
  M->Setup("Item=QUIT");
  M->Process();
  ASSERT_EQ(M->Visible.size(), 3u);
  EXPECT_EQ(Shown(1), "PRACTICE LEVEL 1");
  Press(SYM_DOWN);
  EXPECT_EQ(M->SelectedLine(), 1);
  Press(SYM_RIGHT);
  EXPECT_EQ(Shown(1), "PRACTICE LEVEL 3");
  EXPECT_EQ(M->GetOptionValue("sl"), "3");
  Press(SYM_RIGHT);
  EXPECT_EQ(Shown(1), "PRACTICE LEVEL 1");
  EXPECT_EQ(M->GetOptionValue("sl"), "1");
  EXPECT_EQ(M->GetOptionValue("SL"), "");
  EXPECT_EQ(M->GetOptionValue("nope"), "");
  // Left from the first entry wraps to the last.
  Press(SYM_LEFT);
  EXPECT_EQ(M->GetOptionValue("sl"), "3");
  EXPECT_FALSE(KeyState[SYM_LEFT]);
}

TEST_F(Menu_, CursorStopsAtBothEndsLeavingTheKeySet) {
  Standard();
  M->Setup("Item=A|Item=B|Item=C");
  M->Process();
  EXPECT_EQ(M->Cursor, 0);
  KeyState[SYM_UP] = true;
  M->Process();
  EXPECT_EQ(M->Cursor, 0);
  EXPECT_TRUE(KeyState[SYM_UP]);
  KeyState[SYM_UP] = false;
  KeyState[SYM_DOWN] = true;
  M->Process();
  EXPECT_EQ(M->Cursor, 1);
  EXPECT_FALSE(KeyState[SYM_DOWN]);  // one press, one row
  Press(SYM_DOWN);
  EXPECT_EQ(M->Cursor, 2);
  KeyState[SYM_DOWN] = true;
  M->Process();
  EXPECT_EQ(M->Cursor, 2);
  EXPECT_TRUE(KeyState[SYM_DOWN]);
  // Left and right do nothing on a plain row.
  KeyState[SYM_LEFT] = true;
  M->Process();
  EXPECT_TRUE(KeyState[SYM_LEFT]);
}

TEST_F(Menu_, AlignmentTables) {
  struct TCase {
    std::string Commands;
    int32_t Left, Right, Top, Bottom, TextX, TextAlign;
  };
  const std::vector<TCase> cases = {
      {"X=120|Y=150|Width=400|Height=90|AlignX=Left|AlignY=Top", 120, 519, 150, 239, 120, 0},
      {"X=120|Y=150|Width=400|Height=90|AlignX=center|AlignY=Center|TextAlign=center", -80, 319, 105, 194, 120, 1},
      {"X=120|Y=150|Width=400|Height=90|AlignX=RIGHT|AlignY=bottom|TextAlign=Right", -280, 119, 60, 149, 119, 2},
      {"X=10|Y=20|Width=5|Height=7|AlignX=middle|TextAlign=left", 10, 14, 20, 26, 10, 0},
      {"X=10|Y=20|Width=5|Height=7|AlignX=|AlignY=CENTER", 10, 14, 17, 23, 10, 0},
  };
  for (const auto& c : cases) {
    M->Clear();
    M->Setup(c.Commands);
    M->Refresh();
    EXPECT_EQ(M->Left, c.Left) << c.Commands;
    EXPECT_EQ(M->Right, c.Right) << c.Commands;
    EXPECT_EQ(M->Top, c.Top) << c.Commands;
    EXPECT_EQ(M->Bottom, c.Bottom) << c.Commands;
    EXPECT_EQ(M->TextX, c.TextX) << c.Commands;
    EXPECT_EQ(M->TextAlign, c.TextAlign) << c.Commands;
  }
}

TEST_F(Menu_, RefreshReadsEverySetting) {
  Standard();
  M->Setup("Background=102030|SelectedBackground=FF0000|Item=A");
  M->Refresh();
  EXPECT_EQ(M->Font1, Fonts[0].get());
  EXPECT_EQ(M->Font2, Fonts[1].get());
  EXPECT_EQ(M->Font3, Fonts[2].get());
  EXPECT_EQ(M->RowHeight, 30);
  EXPECT_EQ(M->TextOffset, 2 + (30 - 8) / 2);
  EXPECT_EQ(M->PageRows, 3);
  EXPECT_EQ(M->KeyUp, 273);
  EXPECT_EQ(M->KeyDown, 274);
  EXPECT_EQ(M->KeyLeft, 276);
  EXPECT_EQ(M->KeyRight, 275);
  EXPECT_EQ(M->KeySelect, 32);
  EXPECT_EQ(M->KeyEscape, 27);
  EXPECT_EQ(M->BackgroundColor, 0x102030);
  EXPECT_EQ(M->SelectedColor, 0xFF0000);
  EXPECT_EQ(M->HeaderColor, -1);
  EXPECT_FALSE(M->Dirty);
  // Unset numbers give no font, no keys and no rows per page.
  M->Clear();
  EXPECT_TRUE(M->Dirty);
  EXPECT_TRUE(M->Lines.empty());
  M->Setup("Font1=9|Item=A");
  M->Refresh();
  EXPECT_EQ(M->Font1, nullptr);
  EXPECT_EQ(M->Font2, Fonts[0].get());
  EXPECT_EQ(M->KeyUp, 0);
  EXPECT_EQ(M->PageRows, 0);
  EXPECT_EQ(M->BackgroundColor, -1);
}

TEST_F(Menu_, UnconfiguredKeysAreNeverHeld) {
  M->Setup("Item=%a%A {x=1" + kNul + "y=2}|Item=B");
  M->Process();
  KeyState[0] = true;  // what an unknown key sets
  M->Process();
  EXPECT_FALSE(M->Done);
  EXPECT_EQ(M->GetOptionValue("a"), "1");
  KeyState[0] = false;
}

TEST_F(Menu_, HeaderRowsComeFirstAndCannotBeSelected) {
  Standard();
  M->Setup("HeaderBackground=0000FF");
  M->Setup("Item=Sound|Item=@Options|Item=Quit");
  M->Process();
  EXPECT_EQ(M->Visible, (std::vector<int32_t>{1, 0, 2}));
  EXPECT_EQ(M->HeaderCount, 1);
  EXPECT_EQ(M->Cursor, 1);
  EXPECT_EQ(M->SelectedLine(), 0);
  KeyState[SYM_UP] = true;
  M->Process();
  EXPECT_EQ(M->Cursor, 1);
  EXPECT_TRUE(KeyState[SYM_UP]);
  KeyState[SYM_UP] = false;

  M->Draw();
  // Row 0 is the header, drawn with font 3 on its colour; row 1 is under the
  // cursor (font 2), row 2 is plain (font 1).
  int tag = 0;
  EXPECT_EQ(ReadScreenText(150 + 13 + 1, 0, 639, &tag), "Options");
  EXPECT_EQ(tag, 3);
  EXPECT_EQ(ScreenPixel(120, 150), (TPixel{0, 0, 255}));
  EXPECT_EQ(ScreenPixel(519, 179), (TPixel{0, 0, 255}));
  EXPECT_EQ(ReadScreenText(180 + 13 + 1, 0, 639, &tag), "Sound");
  EXPECT_EQ(tag, 2);
  EXPECT_EQ(ReadScreenText(210 + 13 + 1, 0, 639, &tag), "Quit");
  EXPECT_EQ(tag, 1);
  EXPECT_EQ(ScreenPixel(120, 180), (TPixel{0, 0, 0}));
}

TEST_F(Menu_, ItemExtTreeWithQuotedTokens) {
  Standard();
  M->Setup("ItemExt=  Sound > \"Music on\" 'Music off' < Back  ");
  M->Process();
  ASSERT_EQ(M->Lines.size(), 4u);
  EXPECT_EQ(M->Lines[0].Text, "Sound");
  EXPECT_TRUE(M->Lines[0].HasChildren);
  EXPECT_EQ(M->Lines[0].Parent, -1);
  EXPECT_EQ(M->Lines[1].Text, "Music on");
  EXPECT_EQ(M->Lines[1].Parent, 0);
  EXPECT_EQ(M->Lines[2].Text, "Music off");
  EXPECT_EQ(M->Lines[2].Parent, 0);
  EXPECT_EQ(M->Lines[3].Text, "Back");
  EXPECT_EQ(M->Lines[3].Parent, -1);
  EXPECT_FALSE(M->Lines[3].HasChildren);
  EXPECT_EQ(M->Visible, (std::vector<int32_t>{0, 3}));

  // Select opens the sub-list, escape closes it onto its parent row.
  Press(SYM_SPACE);
  EXPECT_FALSE(M->Done);
  EXPECT_EQ(M->Visible, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(M->Cursor, 0);
  Press(SYM_DOWN);
  EXPECT_EQ(M->SelectedLine(), 2);
  Press(SYM_ESCAPE);
  EXPECT_EQ(M->Visible, (std::vector<int32_t>{0, 3}));
  EXPECT_EQ(M->SelectedLine(), 0);
  EXPECT_FALSE(M->Done);
  Press(SYM_ESCAPE);
  EXPECT_TRUE(M->Done);
  EXPECT_EQ(M->LastKey, SYM_ESCAPE);
}

TEST_F(Menu_, NestedTreesAndItemRowsMix) {
  Standard();
  M->Setup("Item=Top");
  M->Setup("ItemExt=> A > A1 A2 < B < C");
  M->Setup("ItemExt=<");  // more closes than opens are ignored
  M->Process();
  ASSERT_EQ(M->Lines.size(), 6u);
  const std::vector<int32_t> parents = {-1, 0, 1, 1, 0, -1};
  for (std::size_t i = 0; i < parents.size(); ++i) EXPECT_EQ(M->Lines[i].Parent, parents[i]) << i;
  EXPECT_TRUE(M->Lines[0].HasChildren);
  EXPECT_TRUE(M->Lines[1].HasChildren);
  EXPECT_EQ(M->Visible, (std::vector<int32_t>{0, 5}));
  // SetItem shows the list holding the row, however deep.
  M->SetItem(3);
  EXPECT_EQ(M->Visible, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(M->SelectedLine(), 3);
  Press(SYM_ESCAPE);
  EXPECT_EQ(M->Visible, (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(M->SelectedLine(), 1);
  Press(SYM_ESCAPE);
  EXPECT_EQ(M->SelectedLine(), 0);
  M->SetItem(99);  // no such row: nothing changes
  EXPECT_EQ(M->SelectedLine(), 0);
  // No underflow: the stack is only popped while it holds something.
  for (const auto& l : Log_.Lines()) EXPECT_EQ(l.find("Stack underflow"), std::string::npos) << l;
}

TEST_F(Menu_, SelectConfirmsAndThenKeysAreIgnored) {
  Standard();
  M->Setup("Item=A|Item=B");
  Press(SYM_DOWN);
  Press(SYM_SPACE);
  EXPECT_TRUE(M->Done);
  EXPECT_EQ(M->LastKey, SYM_SPACE);
  EXPECT_EQ(M->SelectedLine(), 1);
  KeyState[SYM_UP] = true;
  M->Process();
  EXPECT_EQ(M->SelectedLine(), 1);
  EXPECT_TRUE(KeyState[SYM_UP]);
  KeyState[SYM_UP] = false;
  // A new configuration makes it usable again.
  M->Setup("Item=C");
  M->Process();
  EXPECT_FALSE(M->Done);
  EXPECT_EQ(M->Visible.size(), 3u);
}

TEST_F(Menu_, OptionWithoutEntriesIgnoresLeftAndRight) {
  Standard();
  M->Setup("Item=%e%EMPTY {}");
  Press(SYM_RIGHT);
  Press(SYM_LEFT);
  EXPECT_EQ(M->Lines[0].Current, 0);
  EXPECT_EQ(M->GetOptionValue("e"), "");
  M->Draw();
  EXPECT_EQ(ReadScreenText(164), "EMPTY");
}

TEST_F(Menu_, EmptyMenuHasNoSelection) {
  Standard();
  M->Process();
  EXPECT_EQ(M->SelectedLine(), -1);
  Press(SYM_SPACE);
  Press(SYM_DOWN);
  Press(SYM_RIGHT);
  EXPECT_FALSE(M->Done);
  M->Draw();
  // Escape at the top level still leaves.
  Press(SYM_ESCAPE);
  EXPECT_TRUE(M->Done);
}

TEST_F(Menu_, FillItemsWritesDebugLines) {
  Standard();
  M->Setup("Item=A|Item=B");
  M->Refresh();
  std::vector<std::string> debug;
  for (const auto& l : Log_.Lines()) {
    if (l.rfind("<vcc_Menu, TMenu.FillItems> ", 0) == 0) debug.push_back(l.substr(28));
  }
  EXPECT_EQ(debug, (std::vector<std::string>{"Parent=-1", "Item added: 0", "Item added: 1"}));
}

TEST_F(Menu_, RowColoursAndTextPlacement) {
  Standard();
  M->Setup("Background=102030|SelectedBackground=405060|Item=AB|Item=CD");
  M->Draw();
  // Row rectangles: (120, y)-(519, y + 29); colours are raw pixel values.
  EXPECT_EQ(ScreenPixel(120, 150), (TPixel{0x40, 0x50, 0x60}));
  EXPECT_EQ(ScreenPixel(519, 179), (TPixel{0x40, 0x50, 0x60}));
  EXPECT_EQ(ScreenPixel(120, 180), (TPixel{0x10, 0x20, 0x30}));
  EXPECT_EQ(ScreenPixel(519, 209), (TPixel{0x10, 0x20, 0x30}));
  EXPECT_EQ(ScreenPixel(520, 150), (TPixel{0, 0, 0}));
  EXPECT_EQ(ScreenPixel(120, 210), (TPixel{0, 0, 0}));
  // Text centred on 320, moved down by TextOffset 13 so it sits mid-row.
  int tag = 0, start = 0;
  EXPECT_EQ(ReadScreenText(163, 0, 639, &tag, &start), "AB");
  EXPECT_EQ(start, 320 - 8);
  EXPECT_EQ(tag, 2);
  EXPECT_EQ(ScreenPixel(320, 162), (TPixel{0x40, 0x50, 0x60}));
  EXPECT_EQ(ScreenPixel(320, 170).B, uitest::kInkBlue);
  EXPECT_EQ(ScreenPixel(320, 171), (TPixel{0x40, 0x50, 0x60}));
  EXPECT_EQ(ReadScreenText(193, 0, 639, &tag), "CD");
  EXPECT_EQ(tag, 1);
}

TEST_F(Menu_, PointerMovesTheCursorAndClickConfirmKey) {
  Standard();
  M->Setup("Item=A|Item=B|Item=C");
  M->Refresh();
  M->MouseMove(200, 150 + 2 * 30 + 5, 0);
  EXPECT_EQ(M->Cursor, 2);
  M->MouseMove(200, 150 + 5 * 30, 0);  // below the last row
  EXPECT_EQ(M->Cursor, 2);
  M->MouseMove(200, 140, 0);  // above the first
  EXPECT_EQ(M->Cursor, 2);
  M->MouseDown(200, 160, 1);
  EXPECT_EQ(M->LastKey, 13);
}

// The main menu screen's own commands, driven by keys as the player would,
// and drawn to the back buffer.
TEST_F(Menu_, MainMenuScreenConfiguration) {
  const int lastLevel = 3;
  std::string entries;
  for (int i = 1; i <= lastLevel; ++i) {
    if (i > 1) entries += kNul;
    entries += std::to_string(2 * i - 1) + "=" + std::to_string(2 * i - 1);
  }
  M->Clear();
  M->Setup("X=120|Y=150|Width=400|Height=90|AlignX=Left|AlignY=Top");
  M->Setup("Font1=0|Font2=1|TextAlign=center|TextOffsetY=2|RowHeight=30");
  M->Setup("KeyUp=Up|KeyDown=Down|KeyLeft=Left|KeyRight=Right");
  M->Setup("KeySelect=Space|KeyEscape=Escape");
  M->Setup("Item=NEW GAME");
  M->Setup("Item=%sl%PRACTICE LEVEL {" + entries + "}");
  M->Setup("Item=%mo%MODE {NORMAL=0}");
  M->Setup("Item=QUIT");
  M->SetItem(0);

  auto frame = [&] {
    M->Process();
    Bar(0, 0, 639, 399, 0, 0, 0);
    M->Draw();
  };
  auto row = [&](int i, int* tag) { return ReadScreenText(150 + 30 * i + 13 + 1, 0, 639, tag); };

  frame();
  int tag = 0;
  EXPECT_EQ(row(0, &tag), "NEW GAME");
  EXPECT_EQ(tag, 2);
  EXPECT_EQ(row(1, &tag), "PRACTICE LEVEL 1");
  EXPECT_EQ(tag, 1);
  EXPECT_EQ(row(2, &tag), "MODE NORMAL");
  EXPECT_EQ(tag, 1);
  EXPECT_EQ(row(3, &tag), "QUIT");  // drawn although below the menu's height

  Press(SYM_DOWN);
  Press(SYM_RIGHT);
  Press(SYM_RIGHT);
  frame();
  EXPECT_EQ(row(0, &tag), "NEW GAME");
  EXPECT_EQ(tag, 1);
  EXPECT_EQ(row(1, &tag), "PRACTICE LEVEL 5");
  EXPECT_EQ(tag, 2);
  Press(SYM_RIGHT);
  frame();
  EXPECT_EQ(row(1, &tag), "PRACTICE LEVEL 1");
  Press(SYM_LEFT);
  frame();
  EXPECT_EQ(row(1, &tag), "PRACTICE LEVEL 5");

  // MODE offers one entry; right keeps it.
  Press(SYM_DOWN);
  Press(SYM_RIGHT);
  frame();
  EXPECT_EQ(row(2, &tag), "MODE NORMAL");
  EXPECT_EQ(tag, 2);

  // What the screen does with Escape: the cursor jumps to QUIT.
  M->SetItem(3);
  frame();
  EXPECT_EQ(row(3, &tag), "QUIT");
  EXPECT_EQ(tag, 2);
  Press(SYM_UP);
  Press(SYM_UP);
  Press(SYM_SPACE);
  EXPECT_TRUE(M->Done);
  EXPECT_EQ(M->SelectedLine(), 1);
  EXPECT_EQ(M->GetOptionValue("sl"), "5");
  EXPECT_EQ(M->GetOptionValue("mo"), "0");

  // The next call starts from the row returned last time.
  M->Clear();
  M->Setup("X=120|Y=150|Width=400|Height=90|AlignX=Left|AlignY=Top|RowHeight=30|Font1=0|Font2=1");
  M->Setup("Item=NEW GAME|Item=%sl%PRACTICE LEVEL {1=1}|Item=%mo%MODE {NORMAL=0}|Item=QUIT");
  M->SetItem(2);
  EXPECT_EQ(M->SelectedLine(), 2);
  EXPECT_FALSE(M->Done);
}

TEST(vcc_Menu, StartupCreatesTheProgramsMenu) {
  vgrtest::TScopedLog log;
  vcc_Menu_Startup();
  ASSERT_NE(Menu, nullptr);
  EXPECT_EQ(Menu->Kind, "Menu");
  EXPECT_EQ(Menu->Cursor, 0);
  EXPECT_TRUE(Menu->Dirty);
  vcc_Menu_Shutdown();
  EXPECT_EQ(Menu, nullptr);
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"(uses) vcc_Menu, version 2.06"});
}

}  // namespace

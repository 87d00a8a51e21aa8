// The setup command language: grammar, value kinds, storage and fatal errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "LexerUnit.h"
#include "SetupCommandUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"

namespace {

class SetupCommands_ : public ::testing::Test {
 protected:
  void SetUp() override { KeyNames_Startup(); }
  void TearDown() override { KeyNames_Shutdown(); }

  vgrtest::TScopedLog Log_;
  TSetupCommandHandler Handler;
};

TEST(KeyNameTable, Has136LinesInTableOrder) {
  KeyNames_Startup();
  ASSERT_EQ(KeyNames.size(), 136u);
  EXPECT_EQ(KeyNames.front(), "UNKNOWN=0");
  EXPECT_EQ(KeyNames[1], "FIRST=0");
  EXPECT_EQ(KeyNames.back(), "EURO=321");
  int32_t code = -1;
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"up", 273},     {"Escape", 27},  {"space", 32},    {"kp_enter", 271}, {"0", 48},
      {"z", 122},      {"F15", 296},    {"numlock", 300}, {"unknown", 0},    {"SCROLLOCK", 302}};
  for (const auto& [name, expected] : cases) {
    ASSERT_TRUE(FindKeyCode(name, code)) << name;
    EXPECT_EQ(code, expected) << name;
  }
  EXPECT_FALSE(FindKeyCode("F16", code));
  EXPECT_FALSE(FindKeyCode("", code));
  KeyNames_Shutdown();
}

TEST_F(SetupCommands_, GrammarMarksAccumulatingProperties) {
  EXPECT_NE(std::find(Handler.Syntax.begin(), Handler.Syntax.end(), "MENU.ITEM=S"), Handler.Syntax.end());
  EXPECT_NE(std::find(Handler.Syntax.begin(), Handler.Syntax.end(), "MENU.KEYUP=SDLK_KEYNAME"), Handler.Syntax.end());
  EXPECT_NE(std::find(Handler.Syntax.begin(), Handler.Syntax.end(), "EDITBOX.TRANSPARENT=B"), Handler.Syntax.end());
  EXPECT_EQ(Handler.MultiValued, (std::vector<std::string>{"LISTBOX.ITEM", "MENU.ITEM", "MENU.ITEMEXT"}));
  // 16 + 22 + 23 + 10 properties; no "+" is left in any line.
  EXPECT_EQ(Handler.Syntax.size(), 71u);
  for (const auto& line : Handler.Syntax) EXPECT_EQ(line.find('+'), std::string::npos) << line;
  EXPECT_EQ(Handler.BoolWords, (std::vector<std::string>{"TRUE", "YES", "Y", "I", "1", "FALSE", "NO", "N", "0"}));
}

TEST_F(SetupCommands_, SeriesStoresEachAndReturnsTheLastIndex) {
  Handler.AddCommand("Menu", "0", "Width=400");
  const int32_t index = Handler.AddCommand("Menu", "0", "X=120|Y=150");
  EXPECT_EQ(index, 2);
  ASSERT_EQ(Handler.Count(), 3);
  EXPECT_EQ(Handler.Entries[1].Text, "0.X");
  EXPECT_EQ(Handler.Entries[2].Text, "0.Y");
  EXPECT_EQ(Handler.GetValue("0", "X"), "120");
  EXPECT_EQ(Handler.GetValue("0", "y"), "150");
  // Setting an existing property again returns its old index.
  EXPECT_EQ(Handler.AddCommand("menu", "0", "x=7"), 1);
}

TEST_F(SetupCommands_, ItemAccumulatesWhileXIsReplaced) {
  Handler.AddCommand("Menu", "0", "Item=A");
  Handler.AddCommand("Menu", "0", "Item=B");
  Handler.AddCommand("Menu", "0", "X=1");
  Handler.AddCommand("Menu", "0", "X=2");
  EXPECT_EQ(Handler.GetValues("0", "Item"), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Handler.GetValues("0", "X"), (std::vector<std::string>{"2"}));
  EXPECT_EQ(Handler.GetValue("0", "Item"), "A");
  // A list box's items accumulate too; a second component keeps its own.
  Handler.AddCommand("ListBox", "1", "Item=C|Item=D");
  EXPECT_EQ(Handler.GetValues("1", "ITEM"), (std::vector<std::string>{"C", "D"}));
  EXPECT_EQ(Handler.GetValues("0", "Item").size(), 2u);
}

TEST_F(SetupCommands_, ValuesKeepTheirCaseAndText) {
  Handler.AddCommand("Menu", "0", "Item=%sl%PRACTICE LEVEL {1=1" + std::string(1, '\0') + "3=3}");
  Handler.AddCommand("Menu", "0", "Item=");
  Handler.AddCommand("Menu", "0", "AlignX=Left");
  const auto items = Handler.GetValues("0", "Item");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], std::string("%sl%PRACTICE LEVEL {1=1") + '\0' + "3=3}");
  EXPECT_EQ(items[1], "");
  EXPECT_EQ(Handler.GetValue("0", "AlignX"), "Left");
}

TEST_F(SetupCommands_, EverySpellingOfAKeyStoresItsCode) {
  for (const char* cmd : {"KeyUp=Up", "KeyUp=up", "KeyUp=SDLK_UP", "KeyUp=sdlk_up", "KEYUP=Sdlk_Up"}) {
    Handler.AddCommand("Menu", "0", cmd);
    EXPECT_EQ(Handler.GetValue("0", "KeyUp"), "273") << cmd;
  }
  Handler.AddCommand("Menu", "0", "KeySelect=Space|KeyEscape=Escape|KeyLeft=SDLK_LEFT");
  EXPECT_EQ(Handler.GetValue("0", "KeySelect"), "32");
  EXPECT_EQ(Handler.GetValue("0", "KeyEscape"), "27");
  EXPECT_EQ(Handler.GetValue("0", "KeyLeft"), "276");
}

TEST_F(SetupCommands_, AcceptedValuesOfEachKind) {
  const std::vector<std::pair<std::string, std::string>> accepted = {
      {"Menu", "Width=-5"},           {"Menu", "Width=1.5"},          {"Menu", "X=0"},
      {"Menu", "Background=FF00FF"},  {"Menu", "Background=0A1B2C"},  {"EditBox", "PasswordChar=*"},
      {"EditBox", "Transparent=yes"}, {"EditBox", "Transparent=n"},   {"EditBox", "Transparent=I"},
      {"EditBox", "Transparent=0"},   {"Menu", "AlignY="},            {"ScrollBox", "ViewTop=12"},
  };
  for (const auto& [kind, cmd] : accepted) {
    Handler.AddCommand(kind, "0", cmd);
    const std::string property = cmd.substr(0, cmd.find('='));
    EXPECT_EQ(Handler.GetValue("0", property), cmd.substr(cmd.find('=') + 1)) << cmd;
  }
}

TEST_F(SetupCommands_, BarePropertyIsTrue) {
  Handler.AddCommand("EditBox", "0", "Transparent");
  EXPECT_EQ(Handler.GetValue("0", "Transparent"), "Y");
  EXPECT_EQ(Handler.Entries[0].Text, "0.TRANSPARENT");
}

TEST_F(SetupCommands_, UnsetPropertyGivesNothing) {
  EXPECT_EQ(Handler.GetValue("0", "X"), "");
  EXPECT_TRUE(Handler.GetValues("0", "Item").empty());
  Handler.AddCommand("Menu", "0", "X=3");
  EXPECT_EQ(Handler.GetValue("0", "Y"), "");
  EXPECT_EQ(Handler.GetValue("1", "X"), "");
}

TEST_F(SetupCommands_, RemoveComponentForgetsOnlyThatComponent) {
  Handler.AddCommand("Menu", "1", "X=1|Item=a");
  Handler.AddCommand("Menu", "10", "X=2");
  Handler.AddCommand("Menu", "1", "Y=3");
  Handler.AddCommand("Menu", "menu", "Y=4");
  Handler.RemoveComponent("1");
  ASSERT_EQ(Handler.Count(), 2);
  EXPECT_EQ(Handler.GetValue("10", "X"), "2");
  EXPECT_EQ(Handler.GetValue("1", "X"), "");
  // Lookups ignore case, and so does forgetting.
  Handler.RemoveComponent("MENU");
  EXPECT_EQ(Handler.Count(), 1);
}

struct TFatalCase {
  const char* Kind;
  const char* Command;
  const char* Error;
};

TEST_F(SetupCommands_, MalformedCommandsEndTheProgramWithCode1) {
  const std::vector<TFatalCase> cases = {
      {"Menu", "KeyUp=Upp", "SDLK_KeyName value expected (see them in SDL)! (KEYUP=Upp)"},
      {"Menu", "KeyUp=SDLK_Upp", "SDLK_KeyName value expected (see them in SDL)! (KEYUP=Upp)"},
      {"Menu", "KeyUp=SDLK_", "SDLK_KeyName value expected (see them in SDL)! (KEYUP=SDLK_)"},
      {"Menu", "Background=ff00ff", "RGB value expected (6 hex digits: rrggbb)! (BACKGROUND=ff00ff)"},
      {"Menu", "Background=FF00F", "RGB value expected (6 hex digits: rrggbb)! (BACKGROUND=FF00F)"},
      {"Menu", "Width=", "Numeric value expected! (WIDTH=)"},
      {"Menu", "Width=-", "Numeric value expected! (WIDTH=-)"},
      {"Menu", "Width=1a", "Numeric value expected! (WIDTH=1a)"},
      {"Menu", "Width=--1", "Numeric value expected! (WIDTH=--1)"},
      {"Menu", "Colour=red", "Unknown identifier! (COLOUR=red)"},
      {"Menu", "X", "Numeric value expected! (X=Y)"},
      {"Widget", "X=1", "Unknown identifier! (X=1)"},
      {"EditBox", "Transparent=maybe", "Boolean value expected! (TRANSPARENT=maybe)"},
      {"EditBox", "PasswordChar=", "Char value expected! (PASSWORDCHAR=)"},
      {"EditBox", "PasswordChar=ab", "Char value expected! (PASSWORDCHAR=ab)"},
      {"Menu", "X=1|", "Unknown identifier! (=Y)"},
  };
  for (const auto& c : cases) {
    vgrtest::TScopedLog log;
    int code = -1;
    try {
      Handler.AddCommand(c.Kind, "0", c.Command);
    } catch (const THaltRequest& h) {
      code = h.ExitCode;
    }
    EXPECT_EQ(code, 1) << c.Command;
    std::vector<std::string> errors;
    for (const auto& l : log.Lines()) {
      if (l.rfind("{", 0) == 0) errors.push_back(l);
    }
    EXPECT_EQ(errors, std::vector<std::string>{std::string("{SetupCommandUnit, TSetupCommandHandler.AddCommand} ") +
                                               c.Error})
        << c.Command;
  }
}

TEST_F(SetupCommands_, SeriesStopsAtTheFirstBadCommand) {
  EXPECT_THROW(Handler.AddCommand("Menu", "0", "X=1|Colour=red|Y=2"), THaltRequest);
  EXPECT_EQ(Handler.GetValue("0", "X"), "1");
  EXPECT_EQ(Handler.GetValue("0", "Y"), "");
}

TEST(SetupCommandUnit, StartupWritesVersionAndCreatesTheHandler) {
  vgrtest::TScopedLog log;
  SetupCommandUnit_Startup();
  ASSERT_NE(SetupCommands, nullptr);
  SetupCommandUnit_Shutdown();
  EXPECT_EQ(SetupCommands, nullptr);
  LexerUnit_Startup();
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"(uses) SetupCommandUnit, version 1.05",
                                                   "(uses) LexerUnit, version 1.10"}));
}

TEST(Lexer, SplitsWordsAndQuotedTexts) {
  struct TCase {
    std::string Text;
    std::vector<std::string> Tokens;
  };
  const std::vector<TCase> cases = {
      {"Sound > \"Music on\" 'Music off' < Back", {"Sound", ">", "Music on", "Music off", "<", "Back"}},
      {"  a   b  ", {"a", "b"}},
      {"", {}},
      {"\"\" x", {"", "x"}},
      {"'it\"s here' \"don't\"", {"it\"s here", "don't"}},
      {"ab\"cd ef\"", {"ab\"cd", "ef\""}},
      {"\"unclosed text", {"unclosed text"}},
      {"'a''b'", {"a", "b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitTokens(c.Text), c.Tokens) << c.Text;
}

}  // namespace

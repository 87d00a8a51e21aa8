#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Logger.h"
#include "TestSupport.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

namespace {

std::unique_ptr<TIniFile> Parse(const std::string& text) {
  TMemoryStream s(std::vector<uint8_t>(text.begin(), text.end()));
  return TIniFile::CreateFromStream(s);
}

// Lines of the test log that are warnings, without the log's own lines.
std::vector<std::string> Warnings(const vgrtest::TScopedLog& log) {
  std::vector<std::string> out;
  for (const auto& l : log.Lines()) {
    if (!l.empty() && l[0] == '[') out.push_back(l);
  }
  return out;
}

bool HasLine(const vgrtest::TScopedLog& log, const std::string& line) {
  const auto lines = log.Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(IniFile, SectionHeaders) {
  struct {
    const char* text;
    std::string name;
    int32_t type;
  } cases[] = {
      {"  [*Music]  ", "Music", stList},
      {"[ Music ]", " Music ", stNormal},
      {"[Music]", "Music", stNormal},
      {"[*]", "", stList},
      {"[]", "", stNormal},
      {"\t[Tab]", "", -1},  // a tab is not trimmed, so this is no header
      {"[*a b]", "a b", stList},
  };
  for (const auto& c : cases) {
    auto ini = Parse(c.text);
    if (c.type < 0) {
      EXPECT_TRUE(ini->Sections.empty()) << c.text;
      continue;
    }
    ASSERT_EQ(ini->Sections.size(), 1u) << c.text;
    EXPECT_EQ(ini->Sections[0].Name, c.name) << c.text;
    EXPECT_EQ(ini->Sections[0].Type, c.type) << c.text;
  }
  auto ini = Parse("  [*Music]  \n[ Music ]\n");
  EXPECT_EQ(ini->SectionType("music"), stList);
  EXPECT_EQ(ini->SectionType(" MUSIC "), stNormal);
  EXPECT_EQ(ini->SectionType("Nope"), -1);
  EXPECT_EQ(ini->SectionType(""), -1);
}

TEST(IniFile, NormalSectionValues) {
  auto ini = Parse(
      "ignored=before any header\n"
      "[Main]\n"
      "Looped\n"
      "Yes1=yes\n"
      "Yes2=YES\n"
      "True=tRuE\n"
      "On=on\n"
      "Zero=0\n"
      "Blank= 1\n"
      "File=a=b\n"
      "Volume = 50\n"
      "Empty=\n"
      "  ; note\n"
      "; real comment=1\n"
      "Num=-42\n"
      "Tab=\tx\n"
      "num=7\n");
  struct {
    const char* key;
    std::string value;
  } strings[] = {
      {"Looped", "1"},       {"looped", "1"},     {"File", "a=b"},    {"Volume ", " 50"}, {"Volume", "dflt"},
      {"Empty", "dflt"},     {"  ; note", "1"},   {"; real comment", "dflt"},            {"Num", "-42"},
      {"Tab", "\tx"},        {"ignored", "dflt"}, {"", "dflt"},
  };
  for (const auto& c : strings) EXPECT_EQ(ini->ReadString("Main", c.key, "dflt"), c.value) << c.key;
  struct {
    const char* key;
    bool value;
  } bools[] = {
      {"Looped", true}, {"Yes1", true}, {"Yes2", true}, {"True", true},
      {"On", false},    {"Zero", false}, {"Blank", false}, {"File", false},
  };
  for (const auto& c : bools) EXPECT_EQ(ini->ReadBool("Main", c.key, !c.value), c.value) << c.key;
  EXPECT_TRUE(ini->ReadBool("Main", "Missing", true));
  EXPECT_FALSE(ini->ReadBool("Main", "Empty", false));
  EXPECT_EQ(ini->ReadInteger("Main", "Num", 0), -42);
  EXPECT_EQ(ini->ReadInteger("main", "NUM", 0), -42) << "first match wins";
  EXPECT_EQ(ini->ReadInteger("Main", "Missing", 9), 9);
  EXPECT_TRUE(ini->ValueExists("Main", "Looped"));
  EXPECT_FALSE(ini->ValueExists("Main", "Empty"));
  EXPECT_FALSE(ini->ValueExists("Other", "Looped"));
}

TEST(IniFile, IntegersThatAreNotDecimalGiveTheDefaultWithAWarning) {
  auto ini = Parse("[S]\na=12x\nb= 5\nc=2147483647\nd=-2147483648\ne=2147483648\nf=$10\ng=+8\nh=-\n");
  struct {
    const char* key;
    int32_t value;
    bool warns;
  } cases[] = {
      {"a", -1, true}, {"b", -1, true}, {"c", 2147483647, false}, {"d", INT32_MIN, false},
      {"e", -1, true}, {"f", -1, true}, {"g", 8, false},          {"h", -1, true},
  };
  for (const auto& c : cases) {
    vgrtest::TScopedLog log;
    EXPECT_EQ(ini->ReadInteger("S", c.key, -1), c.value) << c.key;
    EXPECT_EQ(Warnings(log).size(), c.warns ? 1u : 0u) << c.key;
  }
  vgrtest::TScopedLog log;
  ini->ReadInteger("S", "a", 0);
  EXPECT_TRUE(HasLine(log, "[ZRINIFile, TIniFile.ReadInteger] Not an integer value! ([S] a=12x)"));
}

TEST(IniFile, WrongTypeAndMissingSectionsReturnDefaults) {
  auto ini = Parse("[*List]\nKey=value\n[Normal]\nKey=v\n");
  EXPECT_EQ(ini->ReadString("List", "Key", "d"), "d");
  EXPECT_EQ(ini->ReadString("Missing", "Key", "d"), "d");
  EXPECT_EQ(ini->ReadString("Normal", "Key", "d"), "v");
}

TEST(IniFile, FallbackSection) {
  auto ini = Parse("[Main]\nA=1\nE=\n[Defaults]\nB=2\nE=3\n[*Items]\nB=list\nC=4\nbare\n");
  EXPECT_EQ(ini->ReadString("Main", "B", "d", "Defaults"), "2");
  EXPECT_EQ(ini->ReadString("Main", "A", "d", "Defaults"), "1");
  EXPECT_EQ(ini->ReadString("Main", "E", "d", "Defaults"), "3") << "empty value counts as missing";
  EXPECT_EQ(ini->ReadString("Missing", "B", "d", "Defaults"), "2");
  EXPECT_EQ(ini->ReadString("Main", "C", "d", "Items"), "4") << "fallback of any type";
  EXPECT_EQ(ini->ReadString("Main", "bare", "d", "Items"), "d");
  EXPECT_EQ(ini->ReadString("Main", "B", "d", "NoSuchSection"), "d");
  EXPECT_EQ(ini->ReadInteger("Main", "B", 0, "Defaults"), 2);
  EXPECT_TRUE(ini->ReadBool("Main", "A", false, "Defaults"));
}

TEST(IniFile, ListSections) {
  vgrtest::TScopedLog log;
  auto ini = Parse(
      "[*Playlists]\n"
      "Menu=a.mp3\n"
      "Filename=pics\\x[1].pcx  \n"
      "Filename=pic.pcx  \n"
      "  ; not a comment\n"
      "; a comment\n"
      "\n"
      "   \n"
      "[*playlists]\n"
      "Second=b\n"
      "[Normal]\n"
      "x=1\n");
  ASSERT_EQ(ini->Sections.size(), 3u);
  EXPECT_EQ(ini->ListItemCount("Playlists"), 5);
  EXPECT_TRUE(ini->Sections[1].Lines.empty()) << "the duplicate header stays empty";
  const std::vector<std::string> expected = {"Menu=a.mp3", "Filename=pics\\x[1].pcx", "Filename=pic.pcx  ",
                                             "  ; not a comment", "Second=b"};
  for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(ini->ReadListItem("PLAYLISTS", i), expected[i]) << i;
  EXPECT_TRUE(Warnings(log).empty());

  struct {
    const char* section;
    int32_t index;
    std::vector<std::string> warnings;
  } cases[] = {
      {"Playlists", -1, {"[ZRINIFile, TIniFile.ReadListItem] Index is out of range! (-1)"}},
      {"Playlists", 5, {"[ZRINIFile, TIniFile.ReadListItem] Index is out of range! (5)"}},
      {"Normal",
       0,
       {"[ZRINIFile, TIniFile.ReadListItem] ReadListItem is not allowed on stNormal type Sections!",
        "[ZRINIFile, TIniFile.ReadListItem] Section: Normal Index: 0"}},
      {"Gone", 0, {"[ZRINIFile, TIniFile.ReadListItem] Section not found! (Gone)"}},
  };
  for (const auto& c : cases) {
    vgrtest::TScopedLog caseLog;
    EXPECT_EQ(ini->ReadListItem(c.section, c.index), "");
    EXPECT_EQ(Warnings(caseLog), c.warnings) << c.section << " " << c.index;
  }
  {
    vgrtest::TScopedLog caseLog;
    EXPECT_EQ(ini->ListItemCount("Normal"), 0);
    EXPECT_EQ(ini->ListItemCount("Gone"), 0);
    EXPECT_EQ(Warnings(caseLog),
              (std::vector<std::string>{
                  "[ZRINIFile, TIniFile.ListItemCount] ListItemCount is only allowed on List type Sections! (Normal)",
                  "[ZRINIFile, TIniFile.ListItemCount] Section not found! (Gone)"}));
  }
}

TEST(IniFile, DuplicateHeadersJoinTheFirstEntryByItsType) {
  // The second header is a list header, but its lines go to the first, normal
  // entry and are stored as key=value lines.
  auto ini = Parse("[Mix]\na=1\n[*MIX]\nword\n");
  ASSERT_EQ(ini->Sections.size(), 2u);
  EXPECT_EQ(ini->SectionType("mix"), stNormal);
  EXPECT_EQ(ini->Sections[0].Lines, (std::vector<std::string>{"a=1", "word=1"}));
  EXPECT_TRUE(ini->Sections[1].Lines.empty());
}

TEST(IniFile, UnfindableSectionsDropTheirLines) {
  auto ini = Parse("[a=b]\nx=1\n[]\ny=2\n[Ok]\nz=3\n");
  ASSERT_EQ(ini->Sections.size(), 3u);
  EXPECT_TRUE(ini->Sections[0].Lines.empty());
  EXPECT_TRUE(ini->Sections[1].Lines.empty());
  EXPECT_EQ(ini->SectionType("a=b"), -1);
  EXPECT_EQ(ini->ReadString("Ok", "z", ""), "3");
}

TEST(IniFile, LineEndingsGiveTheSameSections) {
  const std::string lf = "[S]\nA=1\n[*L]\nitem one\nitem two";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {lf, lf + "\n", crlf, crlf + "\r\n"}) {
    auto ini = Parse(text);
    EXPECT_EQ(ini->ReadString("S", "A", ""), "1");
    ASSERT_EQ(ini->ListItemCount("L"), 2);
    EXPECT_EQ(ini->ReadListItem("L", 1), "item two") << "last line without LF still counts";
  }
  // A last line without LF keeps its CR.
  auto ini = Parse("[*L]\nitem\r");
  EXPECT_EQ(ini->ReadListItem("L", 0), "item\r");
}

TEST(IniFile, StreamIsReadFromItsCurrentPosition) {
  const std::string text = "junk[Skipped]\n[S]\nk=v\n";
  TMemoryStream s(std::vector<uint8_t>(text.begin(), text.end()));
  s.SetPosition(14);
  TIniFile ini(s);
  EXPECT_EQ(ini.Sections.size(), 1u);
  EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
  EXPECT_TRUE(ini.FileName.empty());
}

TEST(IniFile, CreateThroughTheLookupAndWriteBack) {
  vgrtest::TTempDir dir;
  const std::string name = dir / "Zapkin.ini";
  vgrtest::WriteFile(name, "; comment\r\n[Main]\r\nLooped\r\nA=b\r\n[*List]\r\n  x  \r\n[main]\r\nC=d\r\n");
  {
    TIniFile ini(name, true);
    EXPECT_TRUE(ini.FileName.empty());
    EXPECT_EQ(ini.ReadString("Main", "C", ""), "d");
  }
  EXPECT_NE(vgrtest::ReadTextFile(name).find("; comment"), std::string::npos) << "no-save leaves the file alone";
  {
    TIniFile ini(name, false);
    EXPECT_EQ(ini.FileName, name);
  }
  EXPECT_EQ(vgrtest::ReadTextFile(name), "[Main]\nLooped=1\nA=b\nC=d\n\n[*List]\n  x  \n\n[main]\n\n");
}

TEST(IniFile, MissingFileGivesAnEmptyObject) {
  vgrtest::TScopedLog log;
  vgrtest::TTempDir dir;
  TIniFile ini(dir / "nothere.ini", true);
  EXPECT_TRUE(ini.Sections.empty());
  EXPECT_EQ(ini.ReadInteger("A", "b", 5), 5);
  EXPECT_EQ(ini.ListItemCount("A"), 0);
  EXPECT_TRUE(HasLine(log, "[ZRINIFile, TIniFile.ListItemCount] Section not found! (A)"));
}

TEST(IniFile, EmptyStreamGivesNoSections) {
  auto ini = Parse("");
  EXPECT_TRUE(ini->Sections.empty());
}

}  // namespace

namespace {

// 300,000 distinct sections with a line each (about 5 MB): found by a search
// from the front for every line this is some 4.5e10 name comparisons, many
// minutes; the whole file must load in time linear in its size. A repeated
// header still adds its lines to the first section of that name.
TEST(IniFile, ManySectionsLoadInLinearTime) {
  std::string text;
  const int count = 300000;
  for (int i = 0; i < count; ++i) text += "[S" + std::to_string(i) + "]\nK=" + std::to_string(i) + "\n";
  text += "[s17]\nLater=yes\n";
  auto ini = Parse(text);
  ASSERT_EQ(ini->Sections.size(), static_cast<std::size_t>(count) + 1);
  EXPECT_EQ(ini->ReadInteger("S299999", "K", -1), 299999);
  EXPECT_EQ(ini->ReadString("S17", "later", ""), "yes");
  EXPECT_TRUE(ini->Sections.back().Lines.empty());
}

// A data file has no line of 64 KiB; one longer (a hostile file of one line
// of gigabytes) is cut while it is read and the whole file refused, naming
// the line. Lines of exactly the limit are read whole.
TEST(IniFile, OverlongLineRefusesTheFile) {
  vgrtest::TScopedLog log;
  const std::string limit(TLineReader::MaxLineLength - 2, 'v');
  auto fits = Parse("[A]\nK=" + limit + "\n");
  EXPECT_EQ(fits->ReadString("A", "K", ""), limit);
  auto ini = Parse("[A]\nK=1\nL=" + std::string(3 * TLineReader::MaxLineLength, 'v') + "\n[B]\nM=2\n");
  EXPECT_TRUE(ini->Sections.empty());
  EXPECT_EQ(ini->SectionType("A"), -1);
  EXPECT_EQ(vgrtest::Matching(log.Lines(), "Line too long! (line 3)").size(), 1u);
  TMemoryStream s(std::vector<uint8_t>(200000, 'x'));
  TLineReader reader(s);
  EXPECT_EQ(reader.ReadLine().size(), TLineReader::MaxLineLength);
  EXPECT_TRUE(reader.TooLong());
  EXPECT_TRUE(reader.AtEnd());
}

}  // namespace

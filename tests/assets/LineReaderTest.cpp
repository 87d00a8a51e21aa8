#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Reads as the INI parser does: at least one line, then until the end.
std::vector<std::string> AllLines(const std::string& text) {
  TMemoryStream s(Bytes(text));
  TLineReader r(s);
  std::vector<std::string> lines;
  do {
    lines.push_back(r.ReadLine());
  } while (!r.AtEnd());
  return lines;
}

struct LineCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

TEST(LineReader, SplitsAsTheDialectSays) {
  const std::string long300(300, 'x');
  const std::string long255(255, 'y');
  const std::string long256(256, 'z');
  const std::vector<LineCase> cases = {
      {"empty stream gives one empty line", "", {""}},
      {"lone LF", "\n", {""}},
      {"LF lines", "a\nb\n", {"a", "b"}},
      {"CRLF same as LF", "a\r\nb\r\n", {"a", "b"}},
      {"last line without LF", "a\nb", {"a", "b"}},
      {"last line without LF keeps its CR", "a\nb\r", {"a", "b\r"}},
      {"only one CR dropped", "a\r\r\n", {"a\r"}},
      {"lone CR does not end a line", "a\rb\n", {"a\rb"}},
      {"tabs and blanks are ordinary", " \ta \t\n", {" \ta \t"}},
      {"empty lines kept", "\n\nx\n", {"", "", "x"}},
      {"line longer than a block", long300 + "\nend", {long300, "end"}},
      {"LF as last byte of the first block", long255 + "\nq", {long255, "q"}},
      {"LF as first byte of the second block", long256 + "\nq", {long256, "q"}},
      {"CR at a block end, LF in the next", long255 + "\r\nq", {long255, "q"}},
      {"NUL bytes are ordinary", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AllLines(c.text), c.lines) << c.name;
  }
}

TEST(LineReader, LeavesStreamJustBehindTheLineFeed) {
  TMemoryStream s(Bytes("first\r\nsecond\nthird"));
  TLineReader r(s);
  EXPECT_EQ(r.ReadLine(), "first");
  EXPECT_EQ(s.Position(), 7);
  // A caller may read on its own between lines.
  EXPECT_EQ(s.ReadU8(), 's');
  EXPECT_EQ(r.ReadLine(), "econd");
  EXPECT_EQ(s.Position(), 14);
  EXPECT_FALSE(r.AtEnd());
  EXPECT_EQ(r.ReadLine(), "third");
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(LineReader, BoolFormTellsWhetherALineWasThere) {
  TMemoryStream s(Bytes("x\n"));
  TLineReader r(s);
  std::string line = "junk";
  EXPECT_TRUE(r.ReadLine(line));
  EXPECT_EQ(line, "x");
  line = "junk";
  EXPECT_FALSE(r.ReadLine(line));
  EXPECT_EQ(line, "");
}

TEST(LineReader, StartsAtTheCurrentPosition) {
  TMemoryStream s(Bytes("MPKT\nline\n"));
  s.SetPosition(5);
  TLineReader r(s);
  EXPECT_EQ(r.ReadLine(), "line");
  EXPECT_TRUE(r.AtEnd());
}

TEST(LineReader, ReadsFromFileStreams) {
  vgrtest::TTempDir dir;
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\r\n";
  text += "tail";
  vgrtest::WriteFile(dir / "t.txt", text);
  TFileStream f(dir / "t.txt", fmOpenRead);
  ASSERT_TRUE(f.IsOpen());
  TLineReader r(f);
  std::vector<std::string> lines;
  std::string line;
  while (r.ReadLine(line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 101u);
  EXPECT_EQ(lines[0], "line 0");
  EXPECT_EQ(lines[99], "line 99");
  EXPECT_EQ(lines[100], "tail");
}

TEST(TrimBlanks, RemovesBlanksOnly) {
  struct {
    std::string in, out;
  } cases[] = {
      {"", ""}, {"   ", ""}, {"  a b  ", "a b"}, {"\ta\t", "\ta\t"}, {" \t a", "\t a"}, {"a\r ", "a\r"},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimBlanks(c.in), c.out) << "[" << c.in << "]";
}

}  // namespace

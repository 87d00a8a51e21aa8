#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "XMapChainUnit.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRStream3.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string U32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

std::string Chunk(const std::string& id, const std::string& data) { return id + U32(uint32_t(data.size())) + data; }

std::string Mapd(const std::string& name, const std::string& info, const std::string& map) {
  return Chunk("MAPD", std::string(1, char(name.size())) + name + std::string(1, char(info.size())) + info + map);
}

// A one-row text map whose cells spell `row`.
std::string TextMap(const std::string& row, char mode = 'T') {
  TXMap m;
  m.Grow(static_cast<int32_t>(row.size()), 1);
  for (std::size_t x = 0; x < row.size(); ++x) m.SetPhysicalTile(int32_t(x), 0, static_cast<uint8_t>(row[x]));
  m.MapName = "map " + row;
  m.ExtraLines = {"1", "."};
  TMemoryStream s;
  m.Save(s, mode);
  return std::string(s.Data.begin(), s.Data.end());
}

std::string RowOf(TXMap& m) {
  std::string s;
  for (int32_t x = 0; x < m.Width; ++x) s += static_cast<char>(m.GetPhysicalTile(x, 0));
  return s;
}

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

void LoadPack(TXMapPack& pack, const std::string& bytes) {
  TMemoryStream s(Bytes(bytes));
  pack.Load(s);
}

TEST(XMapPack, ReadsNestedChunks) {
  vgrtest::TScopedLog log;
  const std::string chain = std::string("M") + U32(1) + "C" + U32(2) + U32(3) + "G" + U32(uint32_t(-4)) + "?" +
                            "M" + U32(0);
  const std::string inner = Chunk("VERS", U32(7)) + Mapd("01.mpp", "first", TextMap("ab")) +
                            Chunk("JUNK", "xyz") + Chunk("MPCK", Mapd("02.mpp", "", TextMap("cd"))) +
                            Chunk("CHND", chain) + Mapd("03.mpp", "", TextMap("ef"));
  TXMapPack pack;
  LoadPack(pack, Chunk("MPCK", inner));
  ASSERT_EQ(pack.Count(), 3);
  EXPECT_EQ(pack.PackVersion, 7);
  EXPECT_EQ(pack.Entries[0].Name, "01.mpp");
  EXPECT_EQ(pack.Entries[0].Info, "first");
  EXPECT_EQ(pack.Entries[1].Name, "02.mpp");
  EXPECT_EQ(pack.Entries[2].Name, "03.mpp");
  auto m = pack.GetMap("02.mpp");
  ASSERT_TRUE(m);
  EXPECT_EQ(RowOf(*m), "cd");

  ASSERT_EQ(pack.Chain->Count(), 5);
  std::vector<std::string> texts;
  for (const auto& e : pack.Chain->Items) texts.push_back(e.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{"M1", "C 2,3", "G -4", "G -4", "M0"}));
  EXPECT_EQ(pack.Chain->GetMapIndex(0), 1);
  EXPECT_EQ(pack.Chain->GetMapIndex(1), -1);
  EXPECT_EQ(pack.Chain->GetMapIndex(4), 0);
  EXPECT_EQ(pack.Chain->GetMapIndex(5), -1);

  // The chain serves maps by step.
  auto first = pack.GetCurrentMap();
  ASSERT_TRUE(first);
  EXPECT_EQ(RowOf(*first), "cd");
  pack.SetChainPosition(4);
  EXPECT_EQ(RowOf(*pack.GetCurrentMap()), "ab");
  pack.SetChainPosition(2);
  EXPECT_FALSE(pack.GetCurrentMap());
  pack.SetChainPosition(-1);
  EXPECT_FALSE(pack.GetCurrentMap());

  const auto lines = log.Lines();
  EXPECT_EQ(Count(lines, "(XMapPackUnit, TXMapPack.Load) 3 maps loaded."), 1);
  // Once by name, once as the first chain step.
  EXPECT_EQ(Count(lines, "(XMapPackUnit, TXMapPack.GetMap) GetMap serves map having name \"02.mpp\"."), 2);
}

TEST(XMapPack, ChunkListsEndAtTheEndOfTheData) {
  struct Case {
    const char* name;
    std::string bytes;
    int maps;
  };
  const std::string a = Mapd("a", "", TextMap("a"));
  const std::string b = Mapd("b", "", TextMap("b"));
  const std::string pack = Chunk("MPCK", a + b);
  const std::string cut = pack.substr(0, pack.size() - 3);
  std::string tooLong = Chunk("MPCK", a + "MAPD" + U32(1000) + "xx");
  const std::string damagedMapd = Chunk("MPCK", Chunk("MAPD", "\x09" "ab") + a);
  const std::vector<Case> cases = {
      {"exact", pack, 2},
      {"empty chunk at the end", Chunk("MPCK", a + b + Chunk("JUNK", "")), 2},
      {"stray bytes at the end", Chunk("MPCK", a + b + "abc"), 2},
      {"stray bytes after the pack", pack + "zz", 2},
      {"pack cut short", cut, 0},
      {"chunk runs past its list", tooLong, 1},
      {"name longer than the chunk", damagedMapd, 1},
      {"lower-case magic", Chunk("mpck", a), 1},
      {"empty pack", Chunk("MPCK", ""), 0},
  };
  for (const Case& c : cases) {
    TXMapPack p;
    LoadPack(p, c.bytes);
    EXPECT_EQ(p.Count(), c.maps) << c.name;
  }
}

TEST(XMapPack, DeeplyNestedListsStop) {
  std::string bytes = Mapd("deep", "", TextMap("z"));
  for (int i = 0; i < 100; ++i) bytes = Chunk("MPCK", bytes);
  TXMapPack p;
  LoadPack(p, bytes);
  EXPECT_EQ(p.Count(), 0);
  std::string shallow = Mapd("deep", "", TextMap("z"));
  for (int i = 0; i < 10; ++i) shallow = Chunk("MPCK", shallow);
  LoadPack(p, shallow);
  EXPECT_EQ(p.Count(), 1);
}

TEST(XMapPack, TextPacksWithCommentsAndEndMarks) {
  const std::string m1 = TextMap("one");
  const std::string m2 = TextMap("two", 'X');
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"plain", "MPKT\r\n[01.mpp]\r\n" + m1 + "[02.mpp]\r\n" + m2 + "!END\r\n", {"01.mpp", "02.mpp"}},
      {"comments between maps", "MPKT\r\n; pieces\r\n\r\n[01.mpp]\r\n" + m1 + "; next\r\n  \r\n  [02.mpp]  \r\n" + m2,
       {"01.mpp", "02.mpp"}},
      {"!CHAIN ends the list", "MPKT\r\n[01.mpp]\r\n" + m1 + "!CHAIN\r\n[02.mpp]\r\n" + m2, {"01.mpp"}},
      {"end mark in any case", "mpkt\n[01.mpp]\n" + m1 + " !end \n[02.mpp]\n" + m2, {"01.mpp"}},
      {"no header at all", "MPKT\r\n" + m1, {""}},
  };
  for (const Case& c : cases) {
    TXMapPack p;
    LoadPack(p, c.text);
    std::vector<std::string> names;
    for (const auto& e : p.Entries) names.push_back(e.Name);
    EXPECT_EQ(names, c.names) << c.name;
    if (c.names.size() == 2) {
      EXPECT_EQ(RowOf(*p.GetMapByIndex(0)), "one") << c.name;
      EXPECT_EQ(RowOf(*p.GetMapByIndex(1)), "two") << c.name;
      EXPECT_EQ(p.GetMapByIndex(0)->LastResult, "OK") << c.name;
    }
  }
  // The comment after the first map stays in its data.
  TXMapPack p;
  LoadPack(p, cases[1].text);
  const std::string data(p.Entries[0].Data->Data.begin(), p.Entries[0].Data->Data.end());
  EXPECT_EQ(data, m1 + "; next\r\n  \r\n  [02.mpp]  \r\n");
  // Without a header the one entry is the whole file, which is not a map.
  LoadPack(p, cases[4].text);
  EXPECT_EQ(p.GetMapByIndex(0)->LastResult, "Not an XMAP file!");
}

TEST(XMapPack, IndexedPackLayout) {
  // Count 2, the entries, then the table of their offsets and the end.
  const std::string e0 = std::string("\x01" "a") + TextMap("aa");
  const std::string e1 = std::string("\x02" "bb") + TextMap("bb");
  const uint32_t start = 4 + 1 + 4;
  const uint32_t table = start + uint32_t(e0.size() + e1.size());
  auto packed = [](uint32_t v) {
    return v < 64 ? std::string(1, char(v)) : std::string{char(0x40 | (v >> 8)), char(v & 0xFF)};
  };
  const std::string bytes = "MPKB" + std::string(1, '\x02') + U32(table) + e0 + e1 + packed(start) +
                            packed(start + uint32_t(e0.size())) + packed(table);
  TXMapPack p;
  LoadPack(p, bytes);
  ASSERT_EQ(p.Count(), 2);
  EXPECT_EQ(p.Entries[0].Name, "a");
  EXPECT_EQ(p.Entries[1].Name, "bb");
  EXPECT_EQ(RowOf(*p.GetMap("BB")), "bb");
  EXPECT_TRUE(p.Entries[0].Info.empty());
}

TEST(XMapPack, DamagedIndexedPacks) {
  struct Case {
    const char* name;
    std::string bytes;
    int maps;
  };
  const std::string e0 = std::string("\x01" "a") + TextMap("aa");
  const uint32_t table = 9 + uint32_t(e0.size());
  const std::vector<Case> cases = {
      {"huge count", "MPKB" + std::string("\xFF\xFF\xFF\xFF", 4) + U32(9) + e0, 0},
      {"table past the end", "MPKB\x01" + U32(5000) + e0, 0},
      {"offset past the end", "MPKB\x01" + U32(table) + e0 + "\x09" + std::string("\x7F\xFF", 2), 0},
      {"offsets backwards", "MPKB\x01" + U32(table) + e0 + std::string("\x50\x00", 2) + "\x09", 0},
      {"name longer than the entry", "MPKB\x01" + U32(10) + "\x09" + "\x09\x0a", 0},
      {"table cut short", "MPKB\x02" + U32(table) + e0 + "\x09", 0},
  };
  for (const Case& c : cases) {
    vgrtest::TScopedLog log;
    TXMapPack p;
    LoadPack(p, c.bytes);
    EXPECT_EQ(p.Count(), c.maps) << c.name;
    const auto lines = log.Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("[XMapPackUnit, TXMapPack.LoadMPKB]", 0) == 0; }))
        << c.name;
  }
}

// The same maps written in each form read back the same.
TEST(XMapPack, AllThreeFormsServeTheSameMaps) {
  TXMapPack source;
  const std::vector<std::string> rows = {"abc", "def", "g h", "Zq"};
  const std::vector<std::string> names = {"01.mpp", "02.mpp", "26.mpp", "Empty.MPP"};
  for (std::size_t i = 0; i < rows.size(); ++i) source.AddEntry(names[i], "", Bytes(TextMap(rows[i], i % 2 ? 'X' : 'T')));
  using Writer = bool (TXMapPack::*)(TStream&) const;
  for (Writer w : {&TXMapPack::SaveMPCK, &TXMapPack::SaveMPKT, &TXMapPack::SaveMPKB}) {
    TMemoryStream out;
    ASSERT_TRUE((source.*w)(out));
    out.SetPosition(0);
    TXMapPack p;
    p.Load(out);
    const std::string magic(out.Data.begin(), out.Data.begin() + 4);
    ASSERT_EQ(p.Count(), 4) << magic;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(p.Entries[i].Name, names[i]) << magic;
      auto byName = p.GetMap(names[i]);
      ASSERT_TRUE(byName) << magic;
      EXPECT_EQ(RowOf(*byName), rows[i]) << magic;
      EXPECT_EQ(byName->MapName, "map " + rows[i]) << magic;
      EXPECT_EQ(byName->ExtraLines, (std::vector<std::string>{"1", "."})) << magic;
      EXPECT_EQ(RowOf(*p.GetMapByIndex(int32_t(i))), rows[i]) << magic;
    }
    EXPECT_FALSE(p.GetMapByIndex(4)) << magic;
    EXPECT_FALSE(p.GetMapByIndex(-1)) << magic;
  }
}

TEST(XMapPack, NamesIgnoreCaseAndTheFirstWins) {
  vgrtest::TScopedLog log;
  TXMapPack p;
  p.AddEntry("piece.mpp", "", Bytes(TextMap("first")));
  p.AddEntry("PIECE.MPP", "", Bytes(TextMap("second")));
  EXPECT_EQ(p.IndexOf("Piece.Mpp"), 0);
  EXPECT_EQ(RowOf(*p.GetMap("PIECE.MPP")), "first");
  EXPECT_EQ(p.IndexOf("nothing"), -1);
  EXPECT_FALSE(p.GetMap("nothing"));
  EXPECT_EQ(Count(log.Lines(), "[XMapPackUnit, TXMapPack.GetMap] No map found with name 'nothing'!"), 1);
}

TEST(XMapPack, EachRequestGivesAnIndependentMap) {
  TXMapPack p;
  p.AddEntry("a", "", Bytes(TextMap("xy")));
  auto one = p.GetMap("a");
  one->SetPhysicalTile(0, 0, 0);
  auto two = p.GetMap("a");
  EXPECT_EQ(RowOf(*two), "xy");
}

TEST(XMapPack, LoadingPutsTheStreamBack) {
  TXMapPack source;
  source.AddEntry("a", "", Bytes(TextMap("ab")));
  using Writer = bool (TXMapPack::*)(TStream&) const;
  for (Writer w : {&TXMapPack::SaveMPCK, &TXMapPack::SaveMPKT, &TXMapPack::SaveMPKB}) {
    TMemoryStream s;
    s.WriteBuffer("junk!", 5);
    ASSERT_TRUE((source.*w)(s));
    s.SetPosition(5);
    TXMapPack p;
    p.Load(s);
    EXPECT_EQ(s.Position(), 5);
    ASSERT_EQ(p.Count(), 1);
    EXPECT_EQ(RowOf(*p.GetMap("a")), "ab");
  }
}

TEST(XMapPack, NotAPackAndMissingFiles) {
  vgrtest::TScopedLog log;
  TXMapPack p;
  p.AddEntry("old", "", Bytes(TextMap("o")));
  LoadPack(p, "RIFF....");
  EXPECT_EQ(p.Count(), 0);
  LoadPack(p, "MP");
  EXPECT_EQ(p.Count(), 0);
  const auto lines = log.Lines();
  EXPECT_EQ(Count(lines, "[XMapPackUnit, TXMapPack.Load] Not a MapPack file!"), 2);
  EXPECT_EQ(Count(lines, "(XMapPackUnit, TXMapPack.Load) 0 maps loaded."), 2);

  vgrtest::TTempDir dir;
  TXMapPack missing;
  missing.Load(dir / "Zapkin.mpk");
  EXPECT_EQ(missing.Count(), 0);
  EXPECT_FALSE(missing.GetMap("01.mpp"));
}

TEST(XMapPack, WritersRefuseWhatTheirFormCannotCarry) {
  struct Case {
    const char* name;
    void (*setup)(TXMapPack&);
    bool mpck;
    bool mpkt;
    bool mpkb;
  };
  const std::vector<Case> cases = {
      {"plain", [](TXMapPack&) {}, true, true, true},
      // A text pack without a "[name]" line reads back as one nameless map.
      {"no maps", [](TXMapPack& p) { p.Entries.clear(); }, true, false, true},
      {"chain", [](TXMapPack& p) { p.Chain->Add({'M', 0, 0}); }, true, false, false},
      {"version", [](TXMapPack& p) { p.PackVersion = 2; }, true, false, false},
      {"info", [](TXMapPack& p) { p.Entries[0].Info = "i"; }, true, false, false},
      {"long name", [](TXMapPack& p) { p.Entries[0].Name = std::string(256, 'n'); }, false, true, false},
      {"line feed in name", [](TXMapPack& p) { p.Entries[0].Name = "a\nb"; }, true, false, true},
      {"binary map", [](TXMapPack& p) { p.AddEntry("b", "", {'M', 'A', 'P', 'B', 0, 0, 0, 0, 0, 0, 0}); }, true,
       false, true},
      {"header line inside a map", [](TXMapPack& p) { p.AddEntry("h", "", Bytes("MAPT\r\n[x]\r\nXX\r\n")); }, true,
       false, true},
  };
  for (const Case& c : cases) {
    TXMapPack p;
    p.AddEntry("a", "", Bytes(TextMap("ab")));
    c.setup(p);
    TMemoryStream a, b, k;
    EXPECT_EQ(p.SaveMPCK(a), c.mpck) << c.name;
    EXPECT_EQ(p.SaveMPKT(b), c.mpkt) << c.name;
    EXPECT_EQ(p.SaveMPKB(k), c.mpkb) << c.name;
    if (!c.mpkt) {
      EXPECT_TRUE(b.Data.empty()) << c.name;
    }
  }
}

TEST(XMapPack, TextMapWithoutFinalLineEndStillPacks) {
  TXMapPack p;
  p.AddEntry("a", "", Bytes("MAPT\r\nWI2\r\nHE1\r\nMPab\r\nXX"));
  p.AddEntry("b", "", Bytes(TextMap("cd")));
  TMemoryStream s;
  ASSERT_TRUE(p.SaveMPKT(s));
  s.SetPosition(0);
  TXMapPack back;
  back.Load(s);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(RowOf(*back.GetMap("a")), "ab");
  EXPECT_EQ(RowOf(*back.GetMap("b")), "cd");
}

TEST(XMapChain, SavesWhatItLoads) {
  TXMapChain c;
  c.Add({'M', 3, 0});
  c.Add({'C', -1, 70000});
  c.Add({'G', 9, 0});
  TMemoryStream s;
  ASSERT_TRUE(c.Save(s));
  EXPECT_EQ(s.Data.size(), 5u + 9u + 5u);
  s.SetPosition(0);
  TXMapChain back;
  back.Load(s);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Items[1].Text, "C -1,70000");
  EXPECT_EQ(back.Items[2].Item.Value1, 9);
  // An item cut short by the end of the data is dropped.
  s.Data.resize(s.Data.size() - 2);
  s.SetPosition(0);
  back.Load(s);
  EXPECT_EQ(back.Count(), 2);
}

}  // namespace

namespace {

// Damaged packs of every form load without reading outside their data, and
// every entry they keep serves a map.
TEST(XMapPack, MutatedPacksStayUsable) {
  TXMapPack source;
  source.AddEntry("01.mpp", "", Bytes(TextMap("abc")));
  source.AddEntry("02.mpp", "", Bytes(TextMap("de", 'X')));
  source.AddEntry("03.mpp", "", Bytes(TextMap("f")));
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  using Writer = bool (TXMapPack::*)(TStream&) const;
  for (Writer w : {&TXMapPack::SaveMPCK, &TXMapPack::SaveMPKT, &TXMapPack::SaveMPKB}) {
    TMemoryStream good;
    ASSERT_TRUE((source.*w)(good));
    for (int round = 0; round < 300; ++round) {
      std::string bytes(good.Data.begin(), good.Data.end());
      for (int e = 0, n = int(next(4)) + 1; e < n; ++e) {
        const std::size_t at = 4 + next(uint32_t(bytes.size() - 4));
        if (next(2)) {
          bytes[at] = static_cast<char>(next(256));
        } else {
          bytes.erase(at, std::min<std::size_t>(next(6) + 1, bytes.size() - at));
        }
        if (bytes.size() <= 4) bytes += "xx";
      }
      TXMapPack p;
      TMemoryStream s(Bytes(bytes));
      p.Load(s);
      // Entries never overlap, so together they hold at most the whole pack.
      std::size_t total = 0;
      for (int32_t i = 0; i < p.Count(); ++i) {
        total += p.Entries[std::size_t(i)].Data->Data.size();
        ASSERT_TRUE(p.GetMapByIndex(i));
      }
      ASSERT_LE(total, bytes.size());
    }
  }
}

}  // namespace

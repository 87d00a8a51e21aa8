#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileWriteHook.h"
#include "MAD4LowLevelUnit.h"
#include "StorageTestSupport.h"

using namespace storagetest;

namespace {

class LowLevel : public ::testing::Test {
 protected:
  std::string Path(const std::string& name = "a.mad4") const { return Dir / name; }
  void Write(const TBytes& bytes, const std::string& name = "a.mad4") const { vgrtest::WriteFile(Path(name), bytes); }
  TBytes Read(const std::string& name = "a.mad4") const { return vgrtest::ReadBinaryFile(Path(name)); }

  static std::vector<std::pair<std::string, int32_t>> Layout(const TMAD4LowLevel& a) {
    std::vector<std::pair<std::string, int32_t>> out;
    for (const TMAD4ChunkData& c : a.Chunks) out.emplace_back(FourCCText(c.FourCC), c.Size);
    return out;
  }
  // Mounts read-only again and returns the chunk layout, checking that the
  // chunks tile the file exactly.
  std::vector<std::pair<std::string, int32_t>> Remount(const std::string& name = "a.mad4") const {
    TMAD4LowLevel a;
    a.Mount(Path(name), true);
    EXPECT_EQ(a.Status, 0);
    EXPECT_FALSE(a.Damaged());
    return Layout(a);
  }

  vgrtest::TTempDir Dir;
  vgrtest::TScopedLog Log;
};

using TLayout = std::vector<std::pair<std::string, int32_t>>;

TBytes Raw(const std::string& name, std::size_t size, uint8_t fill) { return Chunk("RAWD", Named(name, TBytes(size, fill))); }

}  // namespace

TEST_F(LowLevel, MissingFileBecomesTheEmptyArchive) {
  for (bool readOnly : {false, true}) {
    const std::string name = readOnly ? "ro.mad4" : "rw.mad4";
    TMAD4LowLevel a;
    a.Mount(Path(name), readOnly);
    EXPECT_TRUE(a.Mounted);
    EXPECT_EQ(a.Status, 0);
    ASSERT_EQ(a.ChunkCount(), 1);
    EXPECT_EQ(a.GetChunk(0)->FourCC, kFourCC_ENDS);
    EXPECT_EQ(a.GetChunk(0)->Start, 8);
    EXPECT_EQ(a.GetChunk(0)->Size, 4);
    a.Unmount();
    TBytes expected;
    PutTag(expected, "MAD4");
    PutU32(expected, 12);
    PutTag(expected, "ENDS");
    PutU32(expected, 4);
    PutU32(expected, 20);
    EXPECT_EQ(Read(name), expected) << name;
  }
}

TEST_F(LowLevel, TrailerGivesTheArchiveStart) {
  // 1000 bytes of other data, then an archive of 100 bytes with N = 100.
  TBytes inner = Archive({NullChunk(72)});
  ASSERT_EQ(inner.size(), 100u);
  TBytes behind(1000, 0x5A);
  behind.insert(behind.end(), inner.begin(), inner.end());
  // An archive at 0 whose trailer says N = 2000 in a file of 1100 bytes.
  TBytes tooFar = Archive({NullChunk(1072)});
  ASSERT_EQ(tooFar.size(), 1100u);
  tooFar[tooFar.size() - 4] = 0xD0;
  tooFar[tooFar.size() - 3] = 0x07;
  struct TCase {
    TBytes File;
    int32_t Start;
    TLayout Chunks;
  };
  const std::vector<TCase> cases = {
      {behind, 1000, {{"NULL", 72}, {"ENDS", 4}}},
      {tooFar, 0, {{"NULL", 1072}, {"ENDS", 4}}},
      {Archive({Raw("x", 3, 1)}, false), 0, {{"RAWD", 5}}},
  };
  for (const TCase& c : cases) {
    Write(c.File);
    TMAD4LowLevel a;
    a.Mount(Path(), true);
    EXPECT_EQ(a.Status, 0);
    EXPECT_EQ(a.ArchiveStart, c.Start);
    EXPECT_EQ(Layout(a), c.Chunks);
    ASSERT_FALSE(a.Chunks.empty());
    EXPECT_EQ(a.Chunks.front().Start, c.Start + 8);
  }
}

TEST_F(LowLevel, ReadWriteMountOfAnArchiveBehindOtherDataKeepsItIntact) {
  TBytes prefix(1000, 0x5A);
  TBytes file = prefix;
  TBytes inner = Archive({Raw("a", 10, 1), NullChunk(20)});
  file.insert(file.end(), inner.begin(), inner.end());
  Write(file);
  {
    TMAD4LowLevel a;
    a.Mount(Path(), false);
    ASSERT_EQ(a.ArchiveStart, 1000);
    TMemoryStream data(Named("b", TBytes(30, 2)));
    EXPECT_GT(a.Add(FourCC("RAWD"), data), 1000);
    a.Unmount();
  }
  TBytes after = Read();
  ASSERT_GT(after.size(), 1000u);
  EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), after.begin()));
  EXPECT_EQ(GetU32(after, after.size() - 4), after.size() - 1000);
  EXPECT_EQ(GetU32(after, 1004), after.size() - 1008);
  EXPECT_EQ(GetU32(after, 4), GetU32(prefix, 4));
  TMAD4LowLevel again;
  again.Mount(Path(), true);
  EXPECT_EQ(again.ArchiveStart, 1000);
  // the free chunk at the end made room for the new one
  EXPECT_EQ(Layout(again), (TLayout{{"RAWD", 12}, {"RAWD", 32}, {"ENDS", 4}}));
}

TEST_F(LowLevel, FileWithoutTrailerGetsOneOnReadWriteUnmount) {
  TBytes file = Archive({Raw("x", 3, 7)}, false);
  Write(file);
  TMAD4LowLevel a;
  a.Mount(Path(), false);
  EXPECT_EQ(Layout(a), (TLayout{{"RAWD", 5}}));
  a.Unmount();
  TBytes after = Read();
  ASSERT_EQ(after.size(), file.size() + 12);
  EXPECT_TRUE(std::equal(file.begin() + 8, file.end(), after.begin() + 8));
  EXPECT_EQ(GetU32(after, after.size() - 4), after.size());
  EXPECT_EQ(GetU32(after, 4), after.size() - 8);
  EXPECT_EQ(Remount(), (TLayout{{"RAWD", 5}, {"ENDS", 4}}));
}

TEST_F(LowLevel, AddPlacesTheChunk) {
  struct TCase {
    const char* What;
    std::vector<TBytes> Chunks;
    int32_t ExpectedStart;
    const char* LogLine;
    TLayout After;
  };
  // Free chunks between payload chunks, so none of them is at the end.
  auto between = [](std::vector<uint32_t> sizes) {
    std::vector<TBytes> chunks{Raw("p", 1, 9)};
    for (uint32_t s : sizes) {
      chunks.push_back(NullChunk(s));
      chunks.push_back(Raw("q", 1, 9));
    }
    return chunks;
  };
  // positions: header 8, first RAWD 8+3=11 -> next at 19
  const std::vector<TCase> cases = {
      {"exact fit", between({50, 120, 100}), 19 + 58 + 11 + 128 + 11, "  Replace whole NULL (Start=227, Size=100)",
       {{"RAWD", 3}, {"NULL", 50}, {"RAWD", 3}, {"NULL", 120}, {"RAWD", 3}, {"RAWD", 100}, {"RAWD", 3}, {"ENDS", 4}}},
      {"split", between({50, 120, 110}), 19 + 58 + 11, "  Overwrite partial NULL (Start=88, Size=100)",
       {{"RAWD", 3}, {"NULL", 50}, {"RAWD", 3}, {"RAWD", 100}, {"NULL", 12}, {"RAWD", 3}, {"NULL", 110}, {"RAWD", 3}, {"ENDS", 4}}},
      {"end", between({107}), 19 + 115 + 11, "  Put at the end (Start=145, Size=100)",
       {{"RAWD", 3}, {"NULL", 107}, {"RAWD", 3}, {"RAWD", 100}, {"ENDS", 4}}},
      {"split to an empty free chunk", between({108}), 19, "  Overwrite partial NULL (Start=19, Size=100)",
       {{"RAWD", 3}, {"RAWD", 100}, {"NULL", 0}, {"RAWD", 3}, {"ENDS", 4}}},
  };
  for (const TCase& c : cases) {
    Write(Archive(c.Chunks));
    vgrtest::TScopedLog log;
    TMAD4LowLevel a;
    a.Mount(Path(), false);
    TBytes payload(100);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i + 1);
    TMemoryStream data(payload);
    data.SetPosition(50);  // Add reads from the beginning
    EXPECT_EQ(a.Add(FourCC("RAWD"), data), c.ExpectedStart) << c.What;
    EXPECT_EQ(Layout(a), c.After) << c.What;
    EXPECT_TRUE(AnyLineContains(log.Lines(), c.LogLine)) << c.What;
    a.Unmount();
    EXPECT_EQ(Remount(), c.After) << c.What;
    TBytes after = Read();
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), after.begin() + c.ExpectedStart + 8)) << c.What;
  }
}

TEST_F(LowLevel, EndPlacementKeepsTheFileWalkable) {
  // New chunks that end inside the free space or the old trailer at the end.
  for (uint32_t freeSize : {0u, 3u, 104u, 107u}) {
    for (std::size_t size : {0u, 2u, 4u, 100u}) {
      Write(Archive({Raw("p", 1, 9), NullChunk(freeSize)}));
      TMAD4LowLevel a;
      a.Mount(Path(), false);
      TMemoryStream data(TBytes(size, 0x33));
      const int32_t start = a.Add(FourCC("DATA"), data);
      if (size + 8 <= freeSize) {
        EXPECT_EQ(start, 19) << freeSize << "/" << size;  // split
        continue;
      }
      if (size == freeSize) continue;  // exact fit
      EXPECT_EQ(start, 19) << freeSize << "/" << size;
      a.Unmount();
      EXPECT_EQ(Remount(), (TLayout{{"RAWD", 3}, {"DATA", static_cast<int32_t>(size)}, {"ENDS", 4}}))
          << freeSize << "/" << size;
      EXPECT_EQ(Read().size(), 19 + 8 + size + 12);
    }
  }
}

TEST_F(LowLevel, ReservedFourCCsAreRefused) {
  TBytes file = Archive({Raw("p", 1, 9)});
  Write(file);
  TMAD4LowLevel a;
  a.Mount(Path(), false);
  TMemoryStream data(Bytes("x"));
  EXPECT_EQ(a.Add(kFourCC_ENDS, data), -1);
  EXPECT_EQ(a.Add(kFourCC_NULL, data), -1);
  EXPECT_EQ(a.ChunkCount(), 2);
  a.Unmount();
  EXPECT_EQ(Read(), file);
  std::vector<std::string> lines = Log.Lines();
  EXPECT_TRUE(AnyLineContains(lines, "{MAD4LowLevelUnit, TMAD4LowLevel.Add} Invalid FourCC! (53444E45)"));
  EXPECT_TRUE(AnyLineContains(lines, "Invalid FourCC! (4C4C554E)"));
}

TEST_F(LowLevel, UnmountMergesRunsOfFreeChunks) {
  Write(Archive({Raw("p", 1, 9), NullChunk(10), NullChunk(20), NullChunk(30), Raw("q", 1, 9), NullChunk(5), NullChunk(6)}));
  {
    TMAD4LowLevel a;
    a.Mount(Path(), false);
  }  // the destructor unmounts
  EXPECT_EQ(Remount(), (TLayout{{"RAWD", 3}, {"NULL", 76}, {"RAWD", 3}, {"NULL", 19}, {"ENDS", 4}}));
  TBytes after = Read();
  EXPECT_EQ(GetU32(after, 19 + 4), 76u);
  // the merged chunk's data is zeros, old headers included
  EXPECT_TRUE(std::all_of(after.begin() + 27, after.begin() + 27 + 76, [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(AnyLineContains(Log.Lines(), "<MAD4LowLevelUnit, TMAD4LowLevel.CombineNulls> After combining NULLs"));
}

TEST_F(LowLevel, AddRemoveAddSurvivesRemount) {
  Write(Archive({}));
  std::vector<TBytes> members;
  {
    TMAD4LowLevel a;
    a.Mount(Path(), false);
    for (int i = 0; i < 6; ++i) {
      members.push_back(Named("m" + std::to_string(i), TBytes(static_cast<std::size_t>(10 + 13 * i), static_cast<uint8_t>(i))));
      TMemoryStream s(members.back());
      ASSERT_GE(a.Add(FourCC("RAWD"), s), 0);
    }
    // Free two neighbours (26 and 39 bytes) and m4 (65 bytes); then m6 (15
    // bytes) splits the first free chunk and m7 (65 bytes) fits m4's exactly.
    ASSERT_TRUE(a.Release(a.GetChunk(1)->Start));
    ASSERT_TRUE(a.Release(a.GetChunk(2)->Start));
    ASSERT_TRUE(a.Release(a.GetChunk(4)->Start));
    EXPECT_FALSE(a.Release(a.GetChunk(4)->Start));
    members[1].clear();
    members[2].clear();
    members[4].clear();
    members.push_back(Named("m6", TBytes(12, 6)));
    TMemoryStream s6(members.back());
    ASSERT_GE(a.Add(FourCC("RAWD"), s6), 0);
    members.push_back(Named("m7", TBytes(62, 7)));
    TMemoryStream s7(members.back());
    ASSERT_GE(a.Add(FourCC("RAWD"), s7), 0);
  }
  TMAD4LowLevel b;
  b.Mount(Path(), false);
  std::vector<TBytes> found;
  for (const TMAD4ChunkData& c : b.Chunks) {
    if (c.FourCC != FourCC("RAWD")) continue;
    int32_t size = 0;
    auto s = b.OpenChunk(c.Start, size);
    ASSERT_TRUE(s);
    TBytes bytes(static_cast<std::size_t>(size));
    ASSERT_TRUE(s->ReadBuffer(bytes.data(), size));
    found.push_back(bytes);
  }
  std::vector<TBytes> expected;
  for (const TBytes& m : members) {
    if (!m.empty()) expected.push_back(m);
  }
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
}

TEST_F(LowLevel, SplitAndExactFitAreUsedByLaterAdds) {
  Write(Archive({Raw("p", 1, 9), NullChunk(26), Raw("q", 1, 9)}));
  TMAD4LowLevel a;
  a.Mount(Path(), false);
  TMemoryStream small(TBytes(15, 1));
  EXPECT_EQ(a.Add(FourCC("RAWD"), small), 19);
  TMemoryStream fits(TBytes(3, 2));
  EXPECT_EQ(a.Add(FourCC("RAWD"), fits), 19 + 23);
  EXPECT_EQ(Layout(a), (TLayout{{"RAWD", 3}, {"RAWD", 15}, {"RAWD", 3}, {"RAWD", 3}, {"ENDS", 4}}));
}

// Hostile files: the walk stops, nothing is written, nothing is read outside
// the file.
TEST_F(LowLevel, DamagedChunksMountReadOnlyAndAreNeverWritten) {
  TBytes negative = Archive({Raw("p", 1, 9), NullChunk(4)});
  negative[19 + 4] = 0xF0;
  negative[19 + 5] = 0xFF;
  negative[19 + 6] = 0xFF;
  negative[19 + 7] = 0xFF;  // size -16: would walk backwards
  TBytes minusEight = Archive({Raw("p", 1, 9), NullChunk(4)});
  for (int i = 0; i < 4; ++i) minusEight[static_cast<std::size_t>(19 + 4 + i)] = i == 0 ? 0xF8 : 0xFF;  // -8: stays in place
  TBytes pastEnd = Archive({Raw("p", 1, 9), NullChunk(4)});
  pastEnd[19 + 4] = 0xFF;
  pastEnd[19 + 5] = 0xFF;  // 65535 bytes: past the end
  TBytes hugeSize = Archive({Raw("p", 1, 9)});
  for (int i = 0; i < 4; ++i) hugeSize[static_cast<std::size_t>(8 + 4 + i)] = i == 3 ? 0x7F : 0xFF;
  TBytes stray = Archive({Raw("p", 1, 9)}, false);
  stray.insert(stray.end(), {1, 2, 3});
  struct TCase {
    const char* What;
    TBytes File;
    TLayout Before;
  };
  const std::vector<TCase> cases = {
      {"negative size", negative, {{"RAWD", 3}}},
      {"size -8", minusEight, {{"RAWD", 3}}},
      {"size past the end", pastEnd, {{"RAWD", 3}}},
      {"size near 2 GiB", hugeSize, {}},
      {"stray bytes behind the last chunk", stray, {{"RAWD", 3}}},
  };
  for (const TCase& c : cases) {
    Write(c.File);
    vgrtest::TScopedLog log;
    {
      TMAD4LowLevel a;
      a.Mount(Path(), false);
      EXPECT_TRUE(a.Mounted) << c.What;
      EXPECT_TRUE(a.Damaged()) << c.What;
      EXPECT_TRUE(a.ReadOnly()) << c.What;
      EXPECT_EQ(Layout(a), c.Before) << c.What;
      TMemoryStream data(Bytes("new"));
      EXPECT_EQ(a.Add(FourCC("RAWD"), data), -1) << c.What;
      EXPECT_FALSE(a.Release(8)) << c.What;
    }
    EXPECT_EQ(Read(), c.File) << c.What;
    EXPECT_TRUE(AnyLineContains(log.Lines(), "Damaged archive, mounted read-only!")) << c.What;
  }
}

TEST_F(LowLevel, BadMagicIsNotMounted) {
  TBytes zip = Bytes("PK\x03\x04 not an archive at all");
  TBytes tiny = Bytes("MAD");
  TBytes madu = Archive({Raw("p", 1, 9)});
  madu[3] = 'U';
  for (const TBytes& file : {zip, tiny, TBytes{}}) {
    Write(file);
    vgrtest::TScopedLog log;
    TMAD4LowLevel a;
    a.Mount(Path(), false);
    EXPECT_EQ(CountLinesContaining(log.Lines(), "Not an archive! (" + Path() + ")"), 1);
    EXPECT_FALSE(a.Mounted);
    EXPECT_EQ(a.Status, 2);
    EXPECT_EQ(a.ChunkCount(), 0);
    a.Unmount();
    EXPECT_EQ(Read(), file);
  }
  Write(madu);
  TMAD4LowLevel a;
  a.Mount(Path(), true);
  EXPECT_EQ(a.Status, 0);
  EXPECT_EQ(Layout(a), (TLayout{{"RAWD", 3}, {"ENDS", 4}}));
}

// A pipe, a device or a dangling link where the archive should be is
// refused with a message, never read (a pipe would hold the start-up) nor
// replaced by a new archive.
TEST_F(LowLevel, NonRegularArchiveIsRefusedNotReplaced) {
  ASSERT_EQ(::mkfifo(Path("pipe.mad4").c_str(), 0644), 0);
  ASSERT_EQ(::symlink(Path("nowhere").c_str(), Path("dangling.mad4").c_str()), 0);
  for (const std::string name : {"pipe.mad4", "dangling.mad4"}) {
    vgrtest::TScopedLog log;
    {
      TMAD4LowLevel a;
      a.Mount(Path(name), false);
      EXPECT_FALSE(a.Mounted) << name;
    }
    EXPECT_FALSE(log.Lines().empty());
    EXPECT_EQ(CountLinesContaining(log.Lines(), Path(name) + ")"), 1) << name;
    struct stat st {};
    ASSERT_EQ(::lstat(Path(name).c_str(), &st), 0) << name;
    EXPECT_EQ(name == "pipe.mad4" ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode), true) << name;
    EXPECT_FALSE(::FileExists(Path("nowhere")));
  }
}

TEST_F(LowLevel, ReadOnlyMountWritesNothing) {
  TBytes file = Archive({Raw("p", 1, 9), NullChunk(3), NullChunk(4)}, false);
  Write(file);
  TMAD4LowLevel a;
  a.Mount(Path(), true);
  EXPECT_TRUE(a.ReadOnly());
  TMemoryStream data(Bytes("x"));
  EXPECT_EQ(a.Add(FourCC("RAWD"), data), -1);
  a.Unmount();
  EXPECT_EQ(Read(), file);
}

// Closing an archive that nothing changed writes nothing: its bytes and its
// modification time stay as they were (the game mounts its archive for
// writing at every start).
TEST_F(LowLevel, ReadWriteMountOfAnUnchangedArchiveWritesNothing) {
  static int writes = 0;
  for (const bool trailer : {true, false}) {
    SCOPED_TRACE(trailer ? "with its trailer" : "without a trailer");
    Write(Archive({Raw("p", 1, 9), NullChunk(3)}, trailer));
    TMAD4LowLevel a;
    a.Mount(Path(), false);
    ASSERT_FALSE(a.ReadOnly());
    a.Unmount();
    // Once the trailer is there, further closes find it right.
    const TBytes closed = Read();
    struct timespec old[2] = {{1000000, 0}, {1000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path().c_str(), old, 0), 0);
    writes = 0;
    SetFileWriteHook([](int64_t, int64_t) {
      ++writes;
      return true;
    });
    a.Mount(Path(), false);
    a.Unmount();
    SetFileWriteHook(nullptr);
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(Read(), closed);
    struct stat st {};
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000);
  }
}

TEST_F(LowLevel, MemberThatEndsLikeATrailerIsNotOverwritten) {
  // The last chunk's data ends with "ENDS", 4 and a value larger than the
  // file, so the file has no trailer of its own.
  TBytes tail;
  PutTag(tail, "ENDS");
  PutU32(tail, 4);
  PutU32(tail, 0x00FFFFFF);
  TBytes file = Archive({Chunk("RAWD", Named("t", tail))}, false);
  Write(file);
  {
    TMAD4LowLevel a;
    a.Mount(Path(), false);
    EXPECT_EQ(Layout(a), (TLayout{{"RAWD", 14}}));
  }
  TBytes after = Read();
  ASSERT_EQ(after.size(), file.size() + 12);
  EXPECT_TRUE(std::equal(file.begin() + 8, file.end(), after.begin() + 8));
  EXPECT_EQ(Remount(), (TLayout{{"RAWD", 14}, {"ENDS", 4}}));
}

TEST_F(LowLevel, SecondReadWriteMountOfALockedArchiveIsReadOnly) {
  Write(Archive({Raw("p", 1, 9)}));
  TMAD4LowLevel first;
  first.Mount(Path(), false);
  ASSERT_FALSE(first.ReadOnly());
  {
    TMAD4LowLevel second;
    second.Mount(Path(), false);
    EXPECT_TRUE(second.Mounted);
    EXPECT_TRUE(second.ReadOnly());
    TMemoryStream data(Bytes("x"));
    EXPECT_EQ(second.Add(FourCC("RAWD"), data), -1);
  }
  EXPECT_TRUE(AnyLineContains(Log.Lines(), "[MAD4LowLevelUnit, TMAD4LowLevel.Mount] Archive in use by another process"));
  // The first mount still writes; once it is gone, a new one writes again.
  TMemoryStream data(Bytes("y"));
  EXPECT_GT(first.Add(FourCC("RAWD"), data), 0);
  first.Unmount();
  TMAD4LowLevel third;
  third.Mount(Path(), false);
  EXPECT_FALSE(third.ReadOnly());
}

TEST_F(LowLevel, ReadOnlyMountsShareTheArchive) {
  Write(Archive({Raw("p", 1, 9)}));
  TMAD4LowLevel reader;
  reader.Mount(Path(), true);
  TMAD4LowLevel writer;
  writer.Mount(Path(), false);
  EXPECT_FALSE(writer.ReadOnly());
}

TEST_F(LowLevel, ChunkAccess) {
  Write(Archive({Raw("p", 1, 9), Chunk("ABCD", Bytes("hello"))}));
  TMAD4LowLevel a;
  a.Mount(Path(), true);
  EXPECT_EQ(a.IndexOfChunk(19), 1);
  EXPECT_EQ(a.IndexOfChunk(20), -1);
  EXPECT_EQ(a.GetChunk(3), nullptr);
  EXPECT_EQ(a.GetChunk(-1), nullptr);
  int32_t size = -1;
  EXPECT_EQ(a.OpenChunk(20, size), nullptr);
  auto s = a.OpenChunk(19, size);
  ASSERT_TRUE(s);
  EXPECT_EQ(size, 5);
  // a stream on the archive file itself, at the chunk's data
  TBytes expected = Bytes("hello");
  TBytes file = Read();
  expected.insert(expected.end(), file.end() - 12, file.end());
  EXPECT_EQ(s->ReadAll(), expected);
  std::unique_ptr<TMAD4ChunkData> c = a.ReadChunkData(19);
  EXPECT_EQ(c->FourCC, FourCC("ABCD"));
  EXPECT_EQ(c->Size, 5);
  EXPECT_EQ(a.Stream->Position(), 19 + 13);
}

TEST_F(LowLevel, MountLogLines) {
  Write(Archive({Raw("p", 1, 9)}));
  TMAD4LowLevel a;
  a.Mount(Path(), false);
  std::vector<std::string> lines = Log.Lines();
  EXPECT_TRUE(AnyLineContains(lines, "<MAD4LowLevelUnit, TMAD4LowLevel.Mount> Mounting file: " + Path()));
  EXPECT_TRUE(AnyLineContains(lines, "<MAD4LowLevelUnit, TMAD4LowLevel.Mount> Mode: Read/Write"));
  EXPECT_TRUE(AnyLineContains(lines, "<MAD4LowLevelUnit, TMAD4LowLevel.ReadChunkData> Chunk found: 44574152"));
  EXPECT_TRUE(AnyLineContains(lines, "Chunk found: 53444E45"));
}

TEST_F(LowLevel, EmptyLastChunkIsWalkedAndTheArchiveStaysWritable) {
  // The last chunk's 8-byte head ends exactly at the end of the file.
  Write(Archive({Raw("x", 3, 7), NullChunk(0)}, false));
  TMAD4LowLevel a;
  a.Mount(Path(), false);
  EXPECT_EQ(a.Status, 0);
  EXPECT_FALSE(a.Damaged());
  EXPECT_FALSE(a.ReadOnly());
  EXPECT_EQ(Layout(a), (TLayout{{"RAWD", 5}, {"NULL", 0}}));
  a.Unmount();
  EXPECT_EQ(Remount(), (TLayout{{"RAWD", 5}, {"NULL", 0}, {"ENDS", 4}}));
}

// The archive is the one file the program writes: a process killed in the
// middle of any write, or a disk that fills up, must never cost a stored file
// that was complete before. A scripted session of archive work runs in a
// child process that is killed before its N-th write, for every N (large
// writes are offered to the hook in blocks, so a kill also lands part way
// through a member's data); the archive it leaves must mount for writing,
// walk from header to end, give back every member that was complete before
// the interrupted operation, and show no member with bytes not its own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FileWriteHook.h"
#include "MAD4MidLevelUnit.h"
#include "StorageTestSupport.h"
#include "TestSupport.h"

namespace {

using namespace storagetest;
using TMembers = std::map<std::string, TBytes>;

TBytes Pattern(std::size_t n, uint8_t seed) {
  TBytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 31 + i / 7);
  return b;
}

// One step of the session and what it does to the members.
struct TStep {
  std::string What;
  std::function<bool(TMAD4MidLevel&)> Run;
  std::function<void(TMembers&)> Effect;
  // Members the step itself replaces or removes: an interrupted step may
  // leave them either way.
  std::set<std::string> Touches;
  // A replacing step leaves its member in one of its two forms, never none.
  bool KeepsOne = false;
};

int32_t Store(TMAD4MidLevel& a, uint32_t type, const std::string& name, const TBytes& payload) {
  TMemoryStream s;
  s.Data = Named(name, payload);
  return a.StoreFile(type, s);
}

TStep Add(const std::string& name, std::size_t size, uint8_t seed) {
  const TBytes data = Pattern(size, seed);
  return {"add " + name, [=](TMAD4MidLevel& a) { return Store(a, kFourCC_RAWD, name, data) >= 0; },
          [=](TMembers& m) { m[name] = data; }, {}};
}

// A compressed member in the stored container (method 0: no stage).
TStep AddCompressed(const std::string& name, std::size_t size, uint8_t seed) {
  const TBytes data = Pattern(size, seed);
  TBytes container{0};
  PutU32(container, static_cast<uint32_t>(size));
  container.insert(container.end(), data.begin(), data.end());
  return {"add compressed " + name, [=](TMAD4MidLevel& a) { return Store(a, kFourCC_COMP, name, container) >= 0; },
          [=](TMembers& m) { m[name] = data; }, {}};
}

TStep Link(const std::string& name, const std::string& target) {
  return {"link " + name + " to " + target,
          [=](TMAD4MidLevel& a) {
            const TMAD4FileData* t = a.GetFileData(a.IndexOfFile(target));
            if (!t) return false;
            TBytes rel;
            PutU32(rel, static_cast<uint32_t>(t->ChunkStart - a.ArchiveStart));
            return Store(a, kFourCC_LINK, name, rel) >= 0;
          },
          [=](TMembers& m) { m[name] = m[target]; }, {}};
}

TStep Remove(const std::string& name) {
  return {"remove " + name, [=](TMAD4MidLevel& a) { return a.RemoveFile(name); },
          [=](TMembers& m) { m.erase(name); }, {name}};
}

// As the data tool replaces a member: the new one is stored first, then the
// old one freed.
TStep Replace(const std::string& name, std::size_t size, uint8_t seed) {
  const TBytes data = Pattern(size, seed);
  return {"replace " + name,
          [=](TMAD4MidLevel& a) {
            std::vector<int32_t> old;
            for (int i = 0; i < a.FileCount(); ++i)
              if (a.GetFileData(i)->Name == name) old.push_back(a.GetFileData(i)->ChunkStart);
            if (Store(a, kFourCC_RAWD, name, data) < 0) return false;
            for (int32_t start : old)
              if (!a.RemoveChunk(start)) return false;
            return true;
          },
          [=](TMembers& m) { m[name] = data; }, {name}, true};
}

TStep Remount() {
  return {"unmount and mount",
          [](TMAD4MidLevel& a) {
            const std::string file = a.FileName;
            a.Unmount();
            a.Mount(file, false);
            return a.Mounted && !a.Damaged();
          },
          [](TMembers&) {}, {}};
}

// Adds that go to the end, reuse a free chunk whole, split one, and fill the
// free space at the end; removes next to each other (merged on unmount);
// links; unmounts that rewrite the trailer.
std::vector<TStep> Session() {
  return {
      Add("a.txt", 300, 1),         Add("b.bin", 500, 2),       AddCompressed("c.dat", 120, 3),
      Link("l.txt", "a.txt"),       Remove("b.bin"),            Add("d.bin", 500, 4),  // exact fit
      Remove("d.bin"),              Add("e.bin", 200, 5),                              // split
      Add("f.bin", 5000, 6),        Remove("f.bin"),            Add("g.bin", 100, 7),  // free space at the end
      Remount(),                    Remove("c.dat"),            Remove("e.bin"),
      Remount(),                    Add("h.bin", 250, 8),       Add("i.bin", 2000, 9),
      Remove("l.txt"),              Link("m.txt", "g.bin"),     Remount(),
  };
}

// Members of megabytes: their data goes out in several blocks, and freeing
// one writes hundreds of blocks of zeros. Adds at the end, into the space of
// a removed member, and replacements of a member by one of another size.
std::vector<TStep> LargeSession() {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  return {
      Add("small.txt", 100, 1),
      Add("big1.bin", kMiB + kMiB / 2 + 3, 2),
      Add("big2.bin", kMiB + 17, 3),
      Replace("big1.bin", kMiB + kMiB / 4 + 5, 4),  // goes to the end, then frees the old one
      Remount(),
      Add("big3.bin", kMiB + kMiB / 8, 5),  // split of the freed space
      Remove("big2.bin"),
      Replace("big3.bin", 2 * kMiB + 1, 6),
      Remount(),
  };
}

// Members after the first `steps` steps.
TMembers MembersAfter(const std::vector<TStep>& session, std::size_t steps) {
  TMembers m;
  for (std::size_t i = 0; i < steps && i < session.size(); ++i) session[i].Effect(m);
  return m;
}

int64_t Writes = 0;
int64_t KillAt = 0;
int64_t FailFrom = 0;
std::vector<int64_t>* WriteSizes = nullptr;

bool CountingHook(int64_t count, int64_t) {
  ++Writes;
  if (WriteSizes) WriteSizes->push_back(count);
  return true;
}

bool KillingHook(int64_t, int64_t) {
  if (++Writes == KillAt) _exit(0);
  return true;
}

bool FailingHook(int64_t, int64_t) { return ++Writes < FailFrom; }

// A full disk refuses only what needs new room: from the FailFrom-th write
// on, every write that grows a file.
bool FillingHook(int64_t, int64_t growth) { return ++Writes < FailFrom || growth == 0; }

// One failing write (an I/O error), the FailFrom-th; the others go through.
bool OneFailureHook(int64_t, int64_t) { return ++Writes != FailFrom; }

// Runs `work` in a child process killed before its n-th write; true when the
// child died there (and not by finishing: then the parent's count was wrong).
::testing::AssertionResult KilledAtWrite(int64_t n, const std::function<void()>& work) {
  const pid_t child = fork();
  if (child < 0) return ::testing::AssertionFailure() << "fork failed";
  if (child == 0) {
    Writes = 0;
    KillAt = n;
    SetFileWriteHook(KillingHook);
    work();
    _exit(3);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return ::testing::AssertionFailure() << "waitpid failed";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return ::testing::AssertionFailure() << "child not killed at write " << n;
  return ::testing::AssertionSuccess();
}

// The empty archive the session starts from, made before any hook is set.
void CreateEmpty(const std::string& file) {
  TMAD4MidLevel a;
  a.Mount(file, false);
}

// Runs the session; `writesBefore` receives the write count before each step.
bool RunSession(const std::string& file, const std::vector<TStep>& session, std::vector<int64_t>* writesBefore) {
  TMAD4MidLevel a;
  a.Mount(file, false);
  if (!a.Mounted) return false;
  for (const TStep& step : session) {
    if (writesBefore) writesBefore->push_back(Writes);
    if (!step.Run(a)) return false;
  }
  if (writesBefore) writesBefore->push_back(Writes);
  a.Unmount();
  return true;
}

// The walk of the check: chunks back to back from the header to the file's
// end (or to the damage the mount found), each inside the file. A read-only
// mount leaves an add that was cut off behind the trailer in the file.
::testing::AssertionResult Walks(const TMAD4MidLevel& a, int64_t fileSize) {
  int64_t pos = a.ArchiveStart + 8;
  for (int i = 0; i < a.ChunkCount(); ++i) {
    const TMAD4ChunkData* c = a.GetChunk(i);
    if (c->Start != pos) return ::testing::AssertionFailure() << "chunk " << i << " not where the last one ended";
    if (c->Size < 0 || c->Start + 8 + int64_t{c->Size} > fileSize)
      return ::testing::AssertionFailure() << "chunk " << i << " runs past the file";
    pos += 8 + c->Size;
  }
  const bool trailer = a.ChunkCount() > 0 && a.GetChunk(a.ChunkCount() - 1)->FourCC == kFourCC_ENDS;
  if (!a.Damaged() && pos != fileSize && !(a.ReadOnly() && trailer && pos < fileSize))
    return ::testing::AssertionFailure() << "undamaged walk stops before the end";
  return ::testing::AssertionSuccess();
}

// Every member the archive shows reads back as it was before the step or as
// the step makes it: nothing half written, nothing foreign. A replaced
// member is there in one of its forms.
::testing::AssertionResult OnlyWholeMembers(TMAD4MidLevel& a, const TMembers& before, const TMembers& after,
                                            const std::set<std::string>& keptOne) {
  std::set<std::string> seen;
  for (int i = 0; i < a.FileCount(); ++i) {
    const std::string name = a.GetFileData(i)->Name;
    if (name == kVersionEntryName) continue;
    seen.insert(name);
    auto s = a.OpenFile(name);
    if (!s) return ::testing::AssertionFailure() << name << " is listed but does not open";
    const auto b = before.find(name), f = after.find(name);
    if (!(b != before.end() && b->second == s->Data) && !(f != after.end() && f->second == s->Data))
      return ::testing::AssertionFailure() << name << " reads back bytes it never held";
  }
  for (const std::string& name : keptOne)
    if (!seen.count(name) && before.count(name)) return ::testing::AssertionFailure() << name << " is gone";
  return ::testing::AssertionSuccess();
}

// Every member of `expected` (but those in `skip`) reads back byte for byte.
::testing::AssertionResult HasMembers(TMAD4MidLevel& a, const TMembers& expected, const std::set<std::string>& skip) {
  for (const auto& [name, bytes] : expected) {
    if (skip.count(name)) continue;
    auto s = a.OpenFile(name);
    if (!s) return ::testing::AssertionFailure() << name << " is lost";
    if (s->Data != bytes) return ::testing::AssertionFailure() << name << " reads back other bytes";
  }
  return ::testing::AssertionSuccess();
}

class ArchiveCrashTest : public ::testing::Test {
 protected:
  void TearDown() override { SetFileWriteHook(nullptr); }
  vgrtest::TTempDir Dir;
  const std::vector<TStep> Steps = Session();
};

TEST_F(ArchiveCrashTest, SessionRunsWholeAndKeepsEveryMember) {
  const std::string file = Dir / "whole.mad4";
  CreateEmpty(file);
  Writes = 0;
  SetFileWriteHook(CountingHook);
  std::vector<int64_t> before;
  ASSERT_TRUE(RunSession(file, Steps, &before));
  SetFileWriteHook(nullptr);
  EXPECT_GT(Writes, 50) << "the session should write often enough to be worth killing";
  TMAD4MidLevel a;
  a.Mount(file, true);
  ASSERT_TRUE(a.Mounted);
  EXPECT_FALSE(a.Damaged());
  EXPECT_TRUE(Walks(a, static_cast<int64_t>(vgrtest::ReadBinaryFile(file).size())));
  const TMembers all = MembersAfter(Steps, Steps.size());
  EXPECT_TRUE(HasMembers(a, all, {}));
  EXPECT_EQ(a.FileCount(), static_cast<int>(all.size()));
}

// Kills the session before each of its writes (of the blocks of zeros that
// free a large member, every 50th) and checks what it leaves.
void KillEverywhere(const vgrtest::TTempDir& dir, const std::vector<TStep>& Steps, const std::string& label) {
  // Where each step's writes begin, from one uninterrupted run.
  const std::string reference = dir / (label + "-reference.mad4");
  CreateEmpty(reference);
  Writes = 0;
  std::vector<int64_t> sizes;
  WriteSizes = &sizes;
  SetFileWriteHook(CountingHook);
  std::vector<int64_t> before;
  ASSERT_TRUE(RunSession(reference, Steps, &before));
  SetFileWriteHook(nullptr);
  WriteSizes = nullptr;
  const int64_t total = Writes;
  int killPoints = 0, damaged = 0;
  for (int64_t n = 1; n <= total; ++n) {
    if (sizes[static_cast<std::size_t>(n - 1)] == 4096 && n % 50 != 0) continue;
    const std::string file = dir / (label + "-killed-" + std::to_string(n) + ".mad4");
    CreateEmpty(file);
    ASSERT_TRUE(KilledAtWrite(n, [&] { RunSession(file, Steps, nullptr); }));
    // The step that write N belongs to; write N is its (N - before)-th.
    std::size_t step = 0;
    while (step + 1 < before.size() && before[step + 1] < n) ++step;
    const TMembers complete = MembersAfter(Steps, step);
    const std::set<std::string> touched = step < Steps.size() ? Steps[step].Touches : std::set<std::string>{};
    const std::string where = "killed at write " + std::to_string(n) + " during \"" +
                              (step < Steps.size() ? Steps[step].What : std::string("final unmount")) + "\"";
    const TMembers next = MembersAfter(Steps, step + 1);
    const std::set<std::string> keptOne =
        step < Steps.size() && Steps[step].KeepsOne ? touched : std::set<std::string>{};
    {
      TMAD4MidLevel a;
      a.Mount(file, false);  // as the program mounts it
      ASSERT_TRUE(a.Mounted) << where;
      if (a.Damaged() || a.ReadOnly()) ++damaged;
      EXPECT_TRUE(a.Writable()) << where << ": the archive can no longer be written";
      EXPECT_TRUE(Walks(a, static_cast<int64_t>(vgrtest::ReadBinaryFile(file).size()))) << where;
      EXPECT_TRUE(HasMembers(a, complete, touched)) << where;
      EXPECT_TRUE(OnlyWholeMembers(a, complete, next, keptOne)) << where;
      // It takes the next member.
      EXPECT_GE(Store(a, kFourCC_RAWD, "after.bin", Pattern(3000, 99)), 0) << where;
    }
    // And once more after that mount's own unmount.
    TMAD4MidLevel again;
    again.Mount(file, true);
    EXPECT_FALSE(again.Damaged()) << where << ", after a remount";
    EXPECT_TRUE(HasMembers(again, complete, touched)) << where << ", after a remount";
    EXPECT_TRUE(HasMembers(again, {{"after.bin", Pattern(3000, 99)}}, {})) << where << ", after a remount";
    ++killPoints;
    ::unlink(file.c_str());
  }
  EXPECT_EQ(damaged, 0);
  std::printf("[ crash    ] %s: %d kill points of %lld writes, %d left the archive read-only or damaged\n",
              label.c_str(), killPoints, static_cast<long long>(total), damaged);
}

TEST_F(ArchiveCrashTest, KilledAtEveryWriteLosesNoCompleteMember) { KillEverywhere(Dir, Steps, "small"); }

TEST_F(ArchiveCrashTest, KilledDuringLargeAddsLeavesTheOldArchiveWritable) {
  KillEverywhere(Dir, LargeSession(), "large");
}

TEST_F(ArchiveCrashTest, FullDiskIsReportedAndKeepsEarlierMembers) {
  const std::string reference = Dir / "reference.mad4";
  CreateEmpty(reference);
  Writes = 0;
  SetFileWriteHook(CountingHook);
  std::vector<int64_t> before;
  ASSERT_TRUE(RunSession(reference, Steps, &before));
  SetFileWriteHook(nullptr);
  const int64_t total = Writes;
  for (int64_t n = 1; n <= total; ++n) {
    const std::string file = Dir / ("full-" + std::to_string(n) + ".mad4");
    std::size_t step = 0;
    while (step + 1 < before.size() && before[step + 1] < n) ++step;
    const std::string where = "disk full from write " + std::to_string(n);
    CreateEmpty(file);
    vgrtest::TScopedLog log;
    Writes = 0;
    FailFrom = n;
    SetFileWriteHook(FailingHook);
    bool reported = false;
    {
      TMAD4MidLevel a;
      a.Mount(file, false);
      for (const TStep& s : Steps) {
        if (!s.Run(a)) {
          reported = true;
          break;
        }
      }
    }
    SetFileWriteHook(nullptr);
    for (const std::string& l : log.Lines())
      if (!l.empty() && l[0] == '{') reported = true;
    EXPECT_TRUE(reported) << where << ": no step failed and no error was logged";
    TMAD4MidLevel a;
    a.Mount(file, true);
    ASSERT_TRUE(a.Mounted) << where;
    EXPECT_TRUE(Walks(a, static_cast<int64_t>(vgrtest::ReadBinaryFile(file).size()))) << where;
    EXPECT_TRUE(HasMembers(a, MembersAfter(Steps, step), Steps[std::min(step, Steps.size() - 1)].Touches)) << where;
    a.Unmount();
    ::unlink(file.c_str());
  }
}

// Every write an add makes can meet a full disk or an I/O error: the add then
// fails and leaves the file byte for byte as it was and open for the same add
// once there is room. Adds of the session cover an exact fit, a split, the
// end over free chunks and the end over the trailer alone.
TEST_F(ArchiveCrashTest, FailedAddLeavesTheArchiveAsItWas) {
  int failures = 0;
  for (std::size_t k = 0; k < Steps.size(); ++k) {
    const TStep& step = Steps[k];
    if (step.What.rfind("add", 0) != 0 && step.What.rfind("link", 0) != 0) continue;
    const std::string start = Dir / ("before-" + std::to_string(k) + ".mad4");
    CreateEmpty(start);
    ASSERT_TRUE(RunSession(start, std::vector<TStep>(Steps.begin(), Steps.begin() + static_cast<std::ptrdiff_t>(k)),
                           nullptr));
    const TBytes before = vgrtest::ReadBinaryFile(start);
    int64_t writes = 0;
    {
      TMAD4MidLevel a;
      a.Mount(start, false);
      Writes = 0;
      SetFileWriteHook(CountingHook);
      ASSERT_TRUE(step.Run(a)) << step.What;
      SetFileWriteHook(nullptr);
      writes = Writes;
    }
    for (TFileWriteHook hook : {FillingHook, OneFailureHook}) {
      for (int64_t n = 1; n <= writes; ++n) {
        const std::string where = step.What + (hook == FillingHook ? ", disk full from write " : ", write failing: ") +
                                  std::to_string(n);
        const std::string file = Dir / "failing.mad4";
        vgrtest::WriteFile(file, before);
        TMAD4MidLevel a;
        a.Mount(file, false);
        Writes = 0;
        FailFrom = n;
        SetFileWriteHook(hook);
        const bool stored = step.Run(a);
        SetFileWriteHook(nullptr);
        if (stored) continue;  // that write did not need new room
        ++failures;
        EXPECT_FALSE(a.Damaged()) << where;
        EXPECT_TRUE(vgrtest::ReadBinaryFile(file) == before) << where << ": the file changed";
        ASSERT_TRUE(step.Run(a)) << where << ": the same add fails with room again";
        a.Unmount();
        TMAD4MidLevel again;
        again.Mount(file, true);
        EXPECT_FALSE(again.Damaged()) << where;
        EXPECT_TRUE(HasMembers(again, MembersAfter(Steps, k + 1), {})) << where;
      }
    }
  }
  EXPECT_GT(failures, 20);
}

}  // namespace

// The first start creates the archive: a kill at any of those writes must
// leave either no archive (the next mount creates it) or a whole empty one.
TEST_F(ArchiveCrashTest, KilledWhileCreatingLeavesNoArchiveOrAWholeOne) {
  const std::string reference = Dir / "created.mad4";
  Writes = 0;
  SetFileWriteHook(CountingHook);
  int64_t creating = 0;  // the writes of the mount; the rest are its unmount's
  {
    TMAD4MidLevel a;
    a.Mount(reference, false);
    creating = Writes;
  }
  SetFileWriteHook(nullptr);
  const int64_t total = Writes;
  ASSERT_GT(creating, 1);
  int absent = 0;
  for (int64_t n = 1; n <= total; ++n) {
    const std::string file = Dir / ("creating-" + std::to_string(n) + ".mad4");
    ASSERT_TRUE(KilledAtWrite(n, [&] { CreateEmpty(file); }));
    if (!::FileExists(file)) ++absent;
    // Whatever was left, the program's next start mounts an empty archive
    // it can write to.
    TMAD4MidLevel a;
    a.Mount(file, false);
    ASSERT_TRUE(a.Mounted) << "killed at write " << n;
    EXPECT_FALSE(a.Damaged()) << "killed at write " << n;
    EXPECT_EQ(a.FileCount(), 0);
    EXPECT_GE(Store(a, kFourCC_RAWD, "x.bin", Pattern(10, 1)), 0) << "killed at write " << n;
  }
  // A kill before the rename leaves no file behind; one after it, a whole archive.
  EXPECT_EQ(absent, creating);
  std::printf("[ crash    ] %lld kill points while creating, %d of them before the rename\n",
              static_cast<long long>(total), absent);
}

TEST_F(ArchiveCrashTest, FullDiskWhileCreatingIsReportedAndLeavesNothing) {
  for (int64_t n = 1; n <= 3; ++n) {
    const std::string file = Dir / ("full-create-" + std::to_string(n) + ".mad4");
    vgrtest::TScopedLog log;
    Writes = 0;
    FailFrom = n;
    SetFileWriteHook(FailingHook);
    TMAD4MidLevel a;
    a.Mount(file, false);
    SetFileWriteHook(nullptr);
    EXPECT_FALSE(a.Mounted) << "disk full from write " << n;
    EXPECT_EQ(vgrtest::Matching(log.Lines(), "Cannot write the archive! (" + file + ")").size(), 1u);
    EXPECT_FALSE(::FileExists(file));
    EXPECT_FALSE(::FileExists(file + ".new." + std::to_string(getpid())));
  }
}

// A copy killed while creating the archive leaves its temporary file; the
// next start removes it rather than writing into it, and keeps the file of a
// copy that still runs (it may be creating the archive right now).
TEST_F(ArchiveCrashTest, StaleTemporariesAreRemovedOnCreation) {
  const std::string file = Dir / "stale.mad4";
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const std::string dead = file + ".new." + std::to_string(gone);
  const std::string alive = file + ".new." + std::to_string(getppid());
  vgrtest::WriteFile(file + ".new", std::string("garbage"));
  vgrtest::WriteFile(dead, std::string("garbage"));
  vgrtest::WriteFile(alive, std::string("garbage"));
  {
    TMAD4MidLevel a;
    a.Mount(file, false);
    ASSERT_TRUE(a.Mounted);
    EXPECT_FALSE(a.ReadOnly());
    EXPECT_GE(Store(a, kFourCC_RAWD, "x.bin", Pattern(10, 1)), 0);
  }
  EXPECT_FALSE(::FileExists(file + ".new"));
  EXPECT_FALSE(::FileExists(dead));
  EXPECT_TRUE(::FileExists(alive));
  EXPECT_FALSE(::FileExists(file + ".new." + std::to_string(getpid())));
  TMAD4MidLevel again;
  again.Mount(file, true);
  EXPECT_TRUE(HasMembers(again, {{"x.bin", Pattern(10, 1)}}, {}));
}

// What an add killed before it linked its chunk in leaves, as this layer and
// its earlier versions wrote it: bytes behind the trailer, the trailer's
// value overwritten or not. A read-only mount reads the archive before them;
// a read/write mount cuts them off and sets the trailer's value, and the
// archive takes new members again.
TEST_F(ArchiveCrashTest, BytesBehindTheTrailerAreAnAddThatWasCutOff) {
  using storagetest::Archive;
  const TBytes archive = Archive({Chunk("RAWD", Named("a.txt", Pattern(300, 1)))});
  const std::size_t trailer = archive.size() - 12;
  for (const bool valueOverwritten : {false, true}) {
    TBytes file = archive;
    const TBytes tail = Pattern(70000, 7);
    if (valueOverwritten) file.resize(trailer + 8);
    file.insert(file.end(), tail.begin(), tail.end());
    const std::string name = Dir / "cut.mad4";
    vgrtest::WriteFile(name, file);
    const std::string where = valueOverwritten ? "trailer value overwritten" : "trailer whole";
    {
      TMAD4MidLevel a;
      a.Mount(name, true);
      EXPECT_FALSE(a.Damaged()) << where;
      EXPECT_TRUE(HasMembers(a, {{"a.txt", Pattern(300, 1)}}, {})) << where;
    }
    {
      TMAD4MidLevel a;
      a.Mount(name, false);
      EXPECT_TRUE(a.Writable()) << where;
      EXPECT_EQ(vgrtest::ReadBinaryFile(name), archive) << where;
      EXPECT_GE(Store(a, kFourCC_RAWD, "b.txt", Pattern(50, 2)), 0) << where;
    }
    TMAD4MidLevel again;
    again.Mount(name, true);
    EXPECT_FALSE(again.Damaged()) << where;
    EXPECT_TRUE(HasMembers(again, {{"a.txt", Pattern(300, 1)}, {"b.txt", Pattern(50, 2)}}, {})) << where;
  }
}

// A recording is written beside its file and takes the file's place only at
// the end of the session: a process killed before any of its writes leaves
// the replay it was to replace as it was, and what it had recorded so far
// in the temporary as a shorter replay. A disk that fills up does the same
// and says so. The session runs in a child process that is killed before its
// N-th write, for every N, as the archive's crash test does.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "FileWriteHook.h"
#include "ReplayUnit.h"
#include "StreamUnit.h"
#include "TestSupport.h"
#include "ZR_SDL.h"

namespace {

constexpr uint32_t kFrames = 400;

int64_t Writes = 0;
int64_t StopAt = 0;

bool KillingHook(int64_t, int64_t) {
  if (++Writes == StopAt) _exit(0);
  return true;
}

// Full from the StopAt-th write on, as a disk that filled up.
bool FullDiskHook(int64_t, int64_t growth) {
  if (++Writes >= StopAt && growth > 0) {
    errno = ENOSPC;
    return false;
  }
  return true;
}

// Key changes now and then, checks from a counter every 60 frames.
bool RecordSession(const std::string& file) {
  Initialize(640, 400, 32, VF_BACKBUFFER);
  ClearKeys();
  uint32_t counter = 0;
  SetReplayChecksSource([&] {
    TReplayChecks c;
    c.Values = {counter, counter * 7, 0, 0, 0, 0, 1};
    return c;
  });
  TReplayHeader h;
  h.Seed = 77;
  h.ProgramVersion = "crash test";
  bool ok = StartRecording(file, h);
  for (uint32_t f = 0; ok && f < kFrames; ++f) {
    if (f % 37 == 5) PushKeyEvent(f % 74 == 5 ? SYM_LEFT : SYM_RIGHT, true);
    if (f % 37 == 20) PushKeyEvent(f % 74 == 20 ? SYM_LEFT : SYM_RIGHT, false);
    counter = f;
    ProcessEvents();
  }
  ok = StopReplay() && ok;
  SetReplayChecksSource(nullptr);
  Finalize();
  return ok;
}

TReplay OldReplay() {
  TReplay r;
  r.Header.Seed = 1;
  r.Header.ProgramVersion = "the replay being replaced";
  r.Keys = {{4, {{SYM_SPACE, true}}}};
  r.FrameTotal = 9;
  return r;
}

// `part` is the first frames of `whole`: same header, the same records
// before its frame total, which lies on a flush (every 60 frames).
::testing::AssertionResult IsPrefix(const TReplay& part, const TReplay& whole) {
  if (part.Header.Seed != whole.Header.Seed || part.Header.ProgramVersion != whole.Header.ProgramVersion) {
    return ::testing::AssertionFailure() << "another header";
  }
  if (part.FrameTotal % 60 != 0 || part.FrameTotal > whole.FrameTotal) {
    return ::testing::AssertionFailure() << "frame total " << part.FrameTotal << " is not a flush";
  }
  std::size_t keys = 0, checks = 0;
  while (keys < whole.Keys.size() && whole.Keys[keys].Frame < part.FrameTotal) ++keys;
  while (checks < whole.Checks.size() && whole.Checks[checks].Frame < part.FrameTotal) ++checks;
  if (part.Keys.size() != keys || part.Checks.size() != checks) {
    return ::testing::AssertionFailure() << part.Keys.size() << " keys and " << part.Checks.size()
                                         << " checks instead of " << keys << " and " << checks;
  }
  for (std::size_t i = 0; i < keys; ++i) {
    if (part.Keys[i].Frame != whole.Keys[i].Frame || part.Keys[i].Changes != whole.Keys[i].Changes) {
      return ::testing::AssertionFailure() << "key record " << i << " differs";
    }
  }
  for (std::size_t i = 0; i < checks; ++i) {
    if (part.Checks[i].Frame != whole.Checks[i].Frame || !(part.Checks[i].Checks == whole.Checks[i].Checks)) {
      return ::testing::AssertionFailure() << "check record " << i << " differs";
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(ReplayCrash, KilledAtEveryWriteKeepsTheOldReplayAndTheFramesSoFar) {
  vgrtest::TTempDir dir;
  const std::string file = dir / "session.vrp";
  std::string error;
  ASSERT_TRUE(OldReplay().Save(file, error)) << error;
  const std::vector<uint8_t> old = vgrtest::ReadBinaryFile(file);

  // The whole session, its writes counted.
  const std::string wholeFile = dir / "whole.vrp";
  Writes = 0;
  StopAt = -1;
  SetFileWriteHook(KillingHook);
  ASSERT_TRUE(RecordSession(wholeFile));
  SetFileWriteHook(nullptr);
  const int64_t total = Writes;
  TReplay whole;
  ASSERT_TRUE(whole.Load(wholeFile, error)) << error;
  EXPECT_EQ(whole.FrameTotal, kFrames);
  EXPECT_FALSE(FileExists(wholeFile + ".part"));
  // A header, a flush a second and the last one.
  ASSERT_GE(total, int64_t{kFrames / 60 + 2});

  uint32_t lastFrames = 0;
  for (int64_t n = 1; n <= total; ++n) {
    SCOPED_TRACE("killed before write " + std::to_string(n));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Writes = 0;
      StopAt = n;
      SetFileWriteHook(KillingHook);
      RecordSession(file);
      _exit(3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "not killed";
    EXPECT_EQ(vgrtest::ReadBinaryFile(file), old);
    const std::string part = file + ".part";
    TReplay kept;
    if (n == 1) {
      // Killed before the header: nothing recorded, an empty temporary.
      EXPECT_TRUE(vgrtest::ReadBinaryFile(part).empty());
    } else {
      ASSERT_TRUE(kept.Load(part, error)) << error;
      EXPECT_TRUE(IsPrefix(kept, whole));
      EXPECT_GE(kept.FrameTotal, lastFrames);
      lastFrames = kept.FrameTotal;
    }
    // A later recording to the same file neither takes nor drops what a
    // killed one kept.
    TReplayWriter next;
    const bool opened = next.Open(file, error);
    EXPECT_EQ(opened, kept.FrameTotal == 0) << error;
    if (!opened) {
      EXPECT_NE(error.find("holds a recording cut short earlier"), std::string::npos) << error;
    }
    next.Abandon();
    std::remove(part.c_str());
  }
  EXPECT_EQ(lastFrames, kFrames / 60 * 60);
}

TEST(ReplayCrash, AFullDiskStopsTheRecordingAndSaysSo) {
  vgrtest::TTempDir dir;
  const std::string file = dir / "session.vrp";
  std::string error;
  ASSERT_TRUE(OldReplay().Save(file, error)) << error;
  const std::vector<uint8_t> old = vgrtest::ReadBinaryFile(file);
  vgrtest::TScopedLog log;
  for (const int64_t fullFrom : {1, 4}) {
    SCOPED_TRACE("full from write " + std::to_string(fullFrom));
    Writes = 0;
    StopAt = fullFrom;
    SetFileWriteHook(FullDiskHook);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(RecordSession(file));
    const std::string said = testing::internal::GetCapturedStderr();
    SetFileWriteHook(nullptr);
    EXPECT_EQ(vgrtest::ReadBinaryFile(file), old);
    // One line, naming the cause.
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("cannot write the recording " + file + ": No space left on device"), std::string::npos)
        << said;
    TReplay kept;
    if (fullFrom == 1) {
      // Not even the header: no temporary is left.
      EXPECT_FALSE(FileExists(file + ".part"));
    } else {
      ASSERT_TRUE(kept.Load(file + ".part", error)) << error;
      EXPECT_EQ(kept.FrameTotal, static_cast<uint32_t>((fullFrom - 2) * 60));
      EXPECT_NE(said.find(file + ".part holds the frames before " + std::to_string(kept.FrameTotal)),
                std::string::npos)
          << said;
      std::remove((file + ".part").c_str());
    }
  }
}

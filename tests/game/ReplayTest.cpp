// Replay files and sessions: the reader refuses every kind of damage with a
// reason, and a recorded session of key changes and checks plays back the
// same, or stops at the first frame that differs.
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <vector>

#include "ReplayUnit.h"
#include "TestSupport.h"
#include "ZR_SDL.h"

namespace {

TReplay Sample() {
  TReplay r;
  r.Header.Seed = 0xDEADBEEF;
  r.Header.StartMap = 49;
  r.Header.Mode = true;
  r.Header.LastLevel = 25;
  r.Header.ProgramVersion = "Voltigor V1.05 Build 0063";
  r.Keys = {{0, {{276, true}}}, {7, {{276, false}, {511, true}}}};
  TReplayChecks c;
  c.Values = {1, 2, 3, 4, 5, 6, 7};
  r.Checks = {{0, c}, {60, c}};
  r.FrameTotal = 61;
  return r;
}

TEST(ReplayFile, WritesReadsAndRefusesEveryDamage) {
  const TReplay original = Sample();
  const std::vector<uint8_t> good = original.Encode();
  TReplay back;
  std::string error;
  ASSERT_TRUE(back.Decode(good.data(), good.size(), error)) << error;
  EXPECT_EQ(back.Header.Seed, 0xDEADBEEFu);
  EXPECT_EQ(back.Header.StartMap, 49);
  EXPECT_TRUE(back.Header.Mode);
  EXPECT_EQ(back.Header.LastLevel, 25);
  EXPECT_EQ(back.Header.ProgramVersion, "Voltigor V1.05 Build 0063");
  ASSERT_EQ(back.Keys.size(), 2u);
  EXPECT_EQ(back.Keys[1].Frame, 7u);
  EXPECT_EQ(back.Keys[1].Changes, (std::vector<TKeyChange>{{276, false}, {511, true}}));
  ASSERT_EQ(back.Checks.size(), 2u);
  EXPECT_EQ(back.Checks[1].Checks.Values[6], 7u);
  EXPECT_EQ(back.FrameTotal, 61u);
  EXPECT_EQ(back.Encode(), good);

  // Offsets in the sample: header 8 + 2 + 4 + 1 + 1 + 4 + 1 + 25 = 46, then
  // 'K' 0 (4 bytes of frame) count 1, symbol...
  const std::size_t header = 46;
  struct TCase {
    const char* Name;
    std::function<void(std::vector<uint8_t>&)> Damage;
    const char* Reason;
  };
  const TCase cases[] = {
      {"empty", [](auto& b) { b.clear(); }, "not a replay file"},
      {"foreign", [](auto& b) { b[0] = 'P'; }, "not a replay file"},
      {"newer format", [](auto& b) { b[8] = 3; }, "format version 3"},
      {"format 0", [](auto& b) { b[8] = 0; }, "format version 0"},
      {"start map 0", [](auto& b) { b[14] = 0; }, "start map"},
      {"start map 51", [](auto& b) { b[14] = 51; }, "start map"},
      {"mode 2", [](auto& b) { b[15] = 2; }, "game mode"},
      {"last level 27", [](auto& b) { b[16] = 27; }, "last level"},
      {"no version", [](auto& b) { b[20] = 0; }, "version length"},
      {"version not text", [](auto& b) { b[21] = 7; }, "not text"},
      {"cut in the header", [](auto& b) { b.resize(30); }, "truncated header"},
      {"cut before the end", [](auto& b) { b.resize(b.size() - 5); }, "no end record"},
      {"cut in a record", [=](auto& b) { b.resize(header + 3); }, "truncated record"},
      {"unknown record", [=](auto& b) { b[header] = 'X'; }, "unknown record"},
      {"no key changes", [=](auto& b) { b[header + 5] = 0; }, "key count"},
      {"key 512", [=](auto& b) { b[header + 7] = 0x00; b[header + 8] = 0x02; }, "symbol out of range"},
      {"frames out of order", [=](auto& b) { b[header + 1] = 9; }, "out of order"},
      {"check off the beat", [](auto& b) { b[b.size() - 5 - 34 + 1] = 61; }, "60-frame"},
      {"trailing byte", [](auto& b) { b.push_back(0); }, "after the end"},
      {"total before the last record", [](auto& b) { b[b.size() - 4] = 60; }, "beyond the frame total"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> bad = good;
    c.Damage(bad);
    TReplay r = Sample();
    EXPECT_FALSE(r.Decode(bad.data(), bad.size(), error));
    EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
    EXPECT_EQ(r.FrameTotal, 0u);
    EXPECT_TRUE(r.Keys.empty());
  }
  // Keys on the frame total would never be played: the total lies past the
  // last key record, as past the last check.
  for (uint32_t total : {5u, 6u}) {
    TReplay keysOnly;
    keysOnly.Header = original.Header;
    keysOnly.Keys = {{5, {{276, true}}}};
    keysOnly.FrameTotal = total;
    const std::vector<uint8_t> bytes = keysOnly.Encode();
    TReplay r;
    EXPECT_EQ(r.Decode(bytes.data(), bytes.size(), error), total == 6) << total << ": " << error;
  }
  vgrtest::TTempDir dir;
  EXPECT_FALSE(back.Load(dir / "missing.vrp", error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

// A session without a game: keys pressed through the window are recorded
// frame by frame; played back, the window's keys are ignored and the
// recorded ones arrive on the same frames; a check that differs stops the
// playback at its frame, naming the part.
TEST(ReplaySession, RecordsKeysAndChecksAndStopsAtADivergence) {
  vgrtest::TScopedLog log;
  Initialize(640, 400, 32, VF_BACKBUFFER);
  ClearKeys();
  vgrtest::TTempDir dir;
  const std::string file = dir / "session.vrp";
  uint32_t counter = 0;
  SetReplayChecksSource([&] {
    TReplayChecks c;
    c.Values = {counter, 0, counter * 3, 0, 0, 0, 0};
    return c;
  });
  TReplayHeader h;
  h.Seed = 5;
  h.ProgramVersion = "test";
  StartRecording(file, h);
  std::vector<std::vector<bool>> seen;
  auto run = [&](int frames, bool pushKeys) {
    seen.clear();
    for (int f = 0; f < frames; ++f) {
      if (pushKeys && f == 3) PushKeyEvent(SYM_LEFT, true);
      if (pushKeys && f == 70) PushKeyEvent(SYM_LEFT, false);
      if (pushKeys && f == 70) PushKeyEvent(SYM_SPACE, true);
      if (f == 3 && !pushKeys) PushKeyEvent(SYM_RIGHT, true);  // the window's keys must not count
      counter = static_cast<uint32_t>(f);
      ProcessEvents();
      seen.push_back({KeyState[SYM_LEFT], KeyState[SYM_SPACE], KeyState[SYM_RIGHT], KeyState[SYM_ESCAPE]});
    }
  };
  run(130, true);
  ASSERT_TRUE(StopReplay());
  const auto recorded = seen;

  TReplay r;
  std::string error;
  ASSERT_TRUE(r.Load(file, error)) << error;
  EXPECT_EQ(r.Header.Seed, 5u);
  EXPECT_EQ(r.FrameTotal, 130u);
  ASSERT_EQ(r.Keys.size(), 2u);
  EXPECT_EQ(r.Keys[0].Frame, 3u);
  EXPECT_EQ(r.Keys[1].Frame, 70u);
  ASSERT_EQ(r.Checks.size(), 3u);
  EXPECT_EQ(r.Checks[2].Frame, 120u);

  ClearKeys();
  StartPlayback(r);
  run(130, false);
  EXPECT_TRUE(StopReplay());
  EXPECT_EQ(seen, recorded);

  // One key frame moved: the checks still agree, but the key arrives late.
  // A check moved instead: the playback stops at frame 60 naming the score.
  std::string failure;
  SetReplayFailureHandler([&](const std::string& line) {
    failure = line;
    throw std::runtime_error(line);
  });
  TReplay altered = r;
  altered.Checks[1].Checks.Values[2] += 1;
  ClearKeys();
  StartPlayback(altered);
  EXPECT_THROW(run(130, false), std::runtime_error);
  EXPECT_EQ(failure, "Replay diverged at frame 60: score differs");
  StopReplay();
  // A check missing where this run has a game in play is a divergence too.
  altered = r;
  altered.Checks.erase(altered.Checks.begin() + 1);
  ClearKeys();
  StartPlayback(altered);
  EXPECT_THROW(run(130, false), std::runtime_error);
  EXPECT_EQ(failure, "Replay diverged at frame 60: a game is in play that was not");
  StopReplay();

  // Cut short, as by a killed program: from its end on, the keys it held
  // are let go and the window's keys count again.
  altered = r;
  altered.FrameTotal = 121;
  ClearKeys();
  StartPlayback(altered);
  run(130, false);
  EXPECT_EQ(seen[120], recorded[120]);
  EXPECT_TRUE(seen[120][1]);
  EXPECT_FALSE(seen[121][1]);
  PushKeyEvent(SYM_RIGHT, true);
  ProcessEvents();
  EXPECT_TRUE(KeyState[SYM_RIGHT]);
  EXPECT_TRUE(StopReplay());

  // A frame total far past what the file holds (here nothing at all) ends
  // 60 frames on; a timedemo's run-out handler is called there.
  TReplay empty;
  empty.Header = r.Header;
  empty.FrameTotal = 0xFFFFFFFF;
  uint32_t ranOutAt = 0;
  SetReplayRunOutHandler([&] {
    ranOutAt = ReplayFrame();
    throw std::runtime_error("ran out");
  });
  ClearKeys();
  StartPlayback(empty);
  EXPECT_THROW(run(1000, false), std::runtime_error);
  EXPECT_EQ(ranOutAt, 60u);
  EXPECT_TRUE(StopReplay());
  SetReplayRunOutHandler(nullptr);

  SetReplayFailureHandler(nullptr);
  SetReplayChecksSource(nullptr);
  ClearKeys();
  Finalize();
}

// A key script played and recorded anew, which the program stops following
// before its end (it quits on the key of frame 64): the new recording ends
// with the last frame played, whose keys it holds, and its frame total lies
// past them, so it reads and plays the same keys and checks again.
TEST(ReplaySession, ARecordingAnewEndsAfterTheLastFramePlayed) {
  vgrtest::TScopedLog log;
  Initialize(640, 400, 32, VF_BACKBUFFER);
  ClearKeys();
  vgrtest::TTempDir dir;
  uint32_t counter = 0;
  SetReplayChecksSource([&] {
    TReplayChecks c;
    c.Values = {counter, 0, 0, 0, 0, 0, 0};
    return c;
  });
  std::string failure;
  SetReplayFailureHandler([&](const std::string& line) {
    failure = line;
    throw std::runtime_error(line);
  });
  TReplay script;
  script.Header.Seed = 9;
  script.Header.ProgramVersion = "test";
  script.Keys = {{3, {{SYM_LEFT, true}}}, {64, {{SYM_LEFT, false}, {SYM_ESCAPE, true}}}, {70, {{SYM_ESCAPE, false}}}};
  script.FrameTotal = 100;
  // Frames until the program has seen Escape, bounded by the script's total.
  auto play = [&] {
    std::vector<std::array<bool, 2>> seen;
    for (uint32_t f = 0; f < 100; ++f) {
      counter = f;
      ProcessEvents();
      seen.push_back({KeyState[SYM_LEFT], KeyState[SYM_ESCAPE]});
      if (KeyState[SYM_ESCAPE]) break;
    }
    return seen;
  };
  const std::string file = dir / "again.vrp";
  StartPlayback(script, file);
  const auto first = play();
  ASSERT_EQ(first.size(), 65u);
  ASSERT_TRUE(StopReplay());

  TReplay again;
  std::string error;
  ASSERT_TRUE(again.Load(file, error)) << error;
  EXPECT_EQ(again.FrameTotal, 65u);
  ASSERT_EQ(again.Keys.size(), 2u);
  EXPECT_EQ(again.Keys[0].Frame, 3u);
  EXPECT_EQ(again.Keys[1].Frame, 64u);
  EXPECT_EQ(again.Keys[1].Changes, script.Keys[1].Changes);
  ASSERT_EQ(again.Checks.size(), 2u);
  EXPECT_EQ(again.Checks[1].Frame, 60u);

  ClearKeys();
  StartPlayback(again);
  EXPECT_EQ(play(), first);
  EXPECT_TRUE(StopReplay());
  EXPECT_EQ(failure, "");

  SetReplayFailureHandler(nullptr);
  SetReplayChecksSource(nullptr);
  ClearKeys();
  Finalize();
}

}  // namespace

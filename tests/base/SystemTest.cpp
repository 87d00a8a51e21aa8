#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Lists.h"
#include "StackUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"

TEST(Random, SequenceIsPinnedForAGivenSeed) {
  // A replay depends on every value: one wrong constant poisons all that follow.
  Randomize(0);
  EXPECT_EQ(RandSeed, 0u);
  EXPECT_EQ(Random(1000), 0u);  // state 1
  EXPECT_EQ(RandSeed, 1u);
  Random(1);
  EXPECT_EQ(RandSeed, 134775814u);
  Randomize(12345);
  uint32_t last = 0;
  for (int i = 0; i < 10000; ++i) last = Random(0xFFFFFFFFu);
  uint32_t state = 12345;
  uint32_t expected = 0;
  for (int i = 0; i < 10000; ++i) {
    state = state * 134775813u + 1u;
    expected = static_cast<uint32_t>((static_cast<uint64_t>(state) * 0xFFFFFFFFu) >> 32);
  }
  EXPECT_EQ(last, expected);
  EXPECT_EQ(Random(0), 0u);
}

TEST(Random, StaysInRange) {
  Randomize(7);
  for (uint32_t n : {1u, 2u, 3u, 16u, 1000u}) {
    for (int i = 0; i < 2000; ++i) ASSERT_LT(Random(n), n);
  }
}

TEST(Halt, RunsFinalisationsNewestFirstExactlyOnce) {
  std::vector<std::string> order;
  AddExitProc("A", [&] { order.push_back("A"); });
  AddExitProc("B", [&] {
    order.push_back("B");
    Halt(5);  // a fatal exit during finalisation finishes the others, never re-runs B
  });
  AddExitProc("C", [&] { order.push_back("C"); });
  int code = -1;
  try {
    Halt(2);
  } catch (const THaltRequest& h) {
    code = h.ExitCode;
  }
  EXPECT_EQ(code, 5);
  EXPECT_EQ(order, (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_EQ(PendingExitProcs(), 0u);
}

TEST(HaltDeathTest, AnExitFromALibraryStillRunsTheFinalisationsInOrder) {
  EXPECT_EXIT(
      {
        AddExitProc("A", [] { std::fputs("[A]", stderr); });
        RunExitProcsOnExit();
        RunExitProcsOnExit();  // registering twice must not run them twice
        AddExitProc("B", [] { std::fputs("[B]", stderr); });
        std::exit(7);
      },
      ::testing::ExitedWithCode(7), "^\\[B\\]\\[A\\]$");
}

TEST(Stack, PushPopAndUnderflowWarning) {
  vgrtest::TScopedLog log;
  TStack s;
  s.Push4(0xDEADBEEF);
  s.Push4(7);
  EXPECT_EQ(s.Size(), 8u);
  EXPECT_EQ(s.Pop4(), 7u);
  EXPECT_EQ(s.Pop4(), 0xDEADBEEFu);
  EXPECT_EQ(s.Pop4(), 0u);
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"[StackUnit, TStack.Pop4] Stack underflow!"});
}

TEST(FIFOStringList, FirstInFirstOut) {
  TFIFOStringList l;
  EXPECT_EQ(l.GetNextItem(), "");
  l.Add("a");
  l.Add("b");
  EXPECT_EQ(l.GetNextItem(), "a");
  EXPECT_EQ(l.GetNextItem(), "b");
  EXPECT_EQ(l.GetNextItem(), "");
}

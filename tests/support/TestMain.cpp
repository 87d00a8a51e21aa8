// Test entry point: a fatal exit inside a test throws instead of ending the
// test process, and SDL stays headless.
#include <gtest/gtest.h>

#include <cstdlib>

#include "SystemUnit.h"

int main(int argc, char** argv) {
  ::setenv("SDL_VIDEODRIVER", "dummy", 0);
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  SetHaltHandler([](int code) { throw THaltRequest{code}; });
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

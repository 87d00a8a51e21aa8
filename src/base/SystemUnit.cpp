#include "SystemUnit.h"

#include <cstdlib>
#include <utility>
#include <vector>

namespace {

struct TExitProc {
  std::string UnitName;
  std::function<void()> Proc;
};

std::vector<TExitProc>& ExitProcs() {
  static std::vector<TExitProc> procs;
  return procs;
}

std::function<void(int)>& HaltHandler() {
  static std::function<void(int)> handler;
  return handler;
}

}  // namespace

void AddExitProc(std::string unitName, std::function<void()> proc) {
  ExitProcs().push_back({std::move(unitName), std::move(proc)});
}

void RunExitProcs() {
  auto& procs = ExitProcs();
  while (!procs.empty()) {
    // Taken off the list before it runs, so a finalisation that halts cannot
    // make its own unit finalise twice.
    TExitProc p = std::move(procs.back());
    procs.pop_back();
    if (p.Proc) p.Proc();
  }
}

void RunExitProcsOnExit() {
  // Made before the handler is registered, so they outlive it.
  ExitProcs();
  HaltHandler();
  static const bool registered = std::atexit([] { RunExitProcs(); }) == 0;
  (void)registered;
}

std::size_t PendingExitProcs() { return ExitProcs().size(); }

void Halt(int exitCode) {
  // A Halt from inside a finalisation lands here again and simply carries on
  // with the finalisations still pending: each is removed before it runs, so
  // none runs twice and the logger's closing line is still written.
  RunExitProcs();
  if (HaltHandler()) {
    HaltHandler()(exitCode);
  }
  std::exit(exitCode);
}

void SetHaltHandler(std::function<void(int)> handler) { HaltHandler() = std::move(handler); }

uint32_t RandSeed = 0;

void Randomize(uint32_t seed) { RandSeed = seed; }

uint32_t Random(uint32_t n) {
  RandSeed = RandSeed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(RandSeed) * n) >> 32);
}

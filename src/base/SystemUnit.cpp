#include "SystemUnit.h"

#include <csignal>
#include <cstdio>
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

std::function<void(const std::string&)>& FatalReporter() {
  static std::function<void(const std::string&)> reporter;
  return reporter;
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
  FatalReporter();
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

void Halt(int exitCode, const std::string& cause) {
  // Told before the finalisations: the reporter reads the log's state, and
  // the logger is the last unit to go.
  if (FatalReporter()) FatalReporter()(cause);
  Halt(exitCode);
}

void ReportFatal(const std::string& cause) {
  if (FatalReporter()) {
    FatalReporter()(cause);
  } else {
    std::fprintf(stderr, "%s\n", cause.c_str());
  }
}

void SetFatalReporter(std::function<void(const std::string&)> reporter) { FatalReporter() = std::move(reporter); }

void SetHaltHandler(std::function<void(int)> handler) { HaltHandler() = std::move(handler); }

namespace {

volatile std::sig_atomic_t Hangup = 0;

extern "C" void NoteHangup(int) { Hangup = 1; }

}  // namespace

void CatchHangup() {
  struct sigaction action {};
  action.sa_handler = NoteHangup;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGHUP, &action, nullptr);
}

bool HangupRequested() { return Hangup != 0; }

uint32_t RandSeed = 0;

void Randomize(uint32_t seed) { RandSeed = seed; }

uint32_t Random(uint32_t n) {
  RandSeed = RandSeed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(RandSeed) * n) >> 32);
}

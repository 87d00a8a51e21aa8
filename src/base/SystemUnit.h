#pragma once
// Process-wide services every unit relies on: the ordered unit finalisation
// that must run however the process ends, and the one pseudo-random generator.

#include <cstdint>
#include <functional>
#include <string>

// Registers the finalisation of a unit that has just started. Finalisations
// run in the reverse order of registration, exactly once.
void AddExitProc(std::string unitName, std::function<void()> proc);

// Runs every registered finalisation, newest first, and forgets them.
void RunExitProcs();

// Makes every later exit() run the pending finalisations first, also one
// that a library calls on its own fatal error (Xlib does when the display
// goes away). exit() destroys objects made after this call before it runs
// the finalisations, so whatever they use must exist by then. Idempotent.
void RunExitProcsOnExit();

// Number of finalisations still pending (for diagnostics and tests).
std::size_t PendingExitProcs();

// Ends the process with the given exit code after running the unit
// finalisations, so the log's closing line and the archive trailer are
// written on every exit path. A Halt from inside a finalisation runs the
// remaining finalisations and ends the process with its own code.
[[noreturn]] void Halt(int exitCode);

// Ends the process like Halt(exitCode) for a reason the player must learn:
// the cause goes to the fatal reporter first (one line on standard error in
// the game, which names the log as well).
[[noreturn]] void Halt(int exitCode, const std::string& cause);

// Tells why the process is about to end without halting: through the
// reporter when one is installed, else the cause alone on standard error.
void ReportFatal(const std::string& cause);

// The program installs how a fatal cause is told; nullptr removes it. Without
// one, Halt with a cause says nothing (tools built on the units report the
// exit their own way).
void SetFatalReporter(std::function<void(const std::string&)> reporter);

// Test seam: instead of ending the process, Halt runs the finalisations and
// then calls this handler, which must not return (a test throws from it).
// Pass nullptr to restore the real exit.
void SetHaltHandler(std::function<void(int)> handler);

// Thrown by the handler that tests install; carries the exit code.
struct THaltRequest {
  int ExitCode;
};

// A hang-up (the terminal or the session that started the program went
// away) asks the program to end as a termination request does: the handler
// only notes it, and the event loop ends the program at its next pass, with
// the finalisations run. Idempotent.
void CatchHangup();
// True once a hang-up arrived.
bool HangupRequested();

// The program's one pseudo-random generator: a 32-bit linear congruential
// generator (multiplier 134775813, increment 1). Its state is the seed, so a
// test or a replay that sets the seed sees the same sequence every time.
extern uint32_t RandSeed;
void Randomize(uint32_t seed);
// Uniform integer in 0 .. n-1; 0 when n is 0.
uint32_t Random(uint32_t n);

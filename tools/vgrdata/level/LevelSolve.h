#pragma once
// `vgrdata level solve`: finds a way through a map with the game's own
// professor, monsters, boulder and meter, run frame by frame headless, and
// writes it as a replay that starts the program at the title, chooses the
// map in the menu, plays it to the next map and quits.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class TGame;

namespace vgrdata {

// Keys of one game frame: the bits below, held during that frame's update.
enum : uint8_t { kKeyLeft = 1, kKeyRight = 2, kKeyFire = 4 };

struct TSolveLimits {
  // Frames simulated in the search of one map before it gives up.
  uint64_t FrameBudget = 6'000'000;
  // And the time and memory it may take, whichever runs out first.
  double Seconds = 55;
  uint32_t MemoryMB = 256;
  // Play as a person can: keys held at least kHumanHold frames, and a route
  // only when each key may come up to kHumanLate frames late.
  bool Human = false;
};
constexpr int kHumanHold = 10;
constexpr int kHumanLate = 4;
constexpr int kSlackCap = 8;

// One map searched from the game's live state at its start (BeginMap done).
struct TMapSolution {
  bool Solved = false;
  // Proved before any search: no sequence of the professor's moves finishes
  // the map; Reasons says why, by cell.
  bool Unsolvable = false;
  std::vector<std::string> Reasons;
  // The one-way moves that cut off something still needed (a hint of the
  // order: what to do before them), some of them, and their number.
  std::vector<std::string> CuttingSteps;
  std::size_t CuttingTotal = 0;
  double Seconds = 0;  // the whole verdict: analysis and search
  double PeakMB = 0;   // the process's peak resident memory
  // Human routes: the fewest frames any one key change of the route may come
  // late with the map still finished (up to kSlackCap), -1 when not measured.
  int32_t Slack = -1;
  std::vector<uint8_t> Keys;  // one entry per frame, through the advance to the next map
  uint32_t Frames = 0;        // frames until the exit was reached
  double MeterShare = 0;      // of the full meter, when the exit was reached
  uint64_t Simulated = 0;     // frames the search ran
};

// Searches the map in play; when solved, the game is left at the end of the
// map's frames (the next map reached), played with the found keys.
TMapSolution SolveMapInPlay(TGame& game, const TSolveLimits& limits);

// The whole session as a key script: the title skipped, the menu's keys that
// start map `startMap` (a new game for map 1 when `newGame`), the game's keys,
// and the keys that leave the game and quit.
struct TSessionPlan {
  uint32_t Seed = 0;
  uint8_t StartMap = 1;
  bool ZaRaroz = false;
  bool NewGame = false;
  bool GameCompleted = false;  // the game ended at map 50: the completion screen follows
  std::vector<uint8_t> GameKeys;
};
bool WriteSessionReplay(const TSessionPlan& plan, const std::string& fileName, std::string& error);

// args: "solve" and its arguments. Returns the exit code.
int SolveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

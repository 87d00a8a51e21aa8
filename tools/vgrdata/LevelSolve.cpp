#include "LevelSolve.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <queue>
#include <unordered_set>

#include "GAME.h"
#include "ReplayUnit.h"
#include "SystemUnit.h"
#include "ToolFiles.h"
#include "ToolOptions.h"
#include "ToolScopes.h"
#include "VGRGameValues.h"
#include "VGRResourceUnit.h"
#include "Voltigor.h"
#include "XMapPackUnit.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

namespace vgrdata {

namespace {

const char* const kUsage =
    "usage: vgrdata level solve ARCHIVE|PACK MAP [--zararoz] [--seed N] [--data ARCHIVE] -o REPLAY\n"
    "       vgrdata level solve ARCHIVE|PACK --game [--seed N] [--data ARCHIVE] -o REPLAY\n"
    "       vgrdata level solve ARCHIVE|PACK --interim-seeds N [--seed FIRST] [--data ARCHIVE]\n"
    "        search a way through construction map MAP (1, 3 .. 49) with the game's own\n"
    "        professor, monsters and meter, collecting every piece (every dot with\n"
    "        --zararoz) without losing a life, and write it as a replay that starts at the\n"
    "        title, chooses the map as a practice level, plays it into the next map and\n"
    "        quits. --game plays a new game from map 1 through map 49 with the seed's own\n"
    "        interim maps and ends on the completion screen. --interim-seeds counts the\n"
    "        interim maps (map 2) of N seeds from FIRST that can be finished.\n"
    "        ARCHIVE is the data archive (Voltigor.mad4); a loose map pack (Zapkin.mpk)\n"
    "        takes the archive's levels from --data ARCHIVE (default Voltigor.mad4).\n"
    "        --budget FRAMES bounds the frames one map's search may run (6000000).\n"
    "        The replay holds keys only: play it with `Voltigor -replay REPLAY -record OUT`\n"
    "        to add the checksums.\n";

constexpr const char* kProgramVersion = "Voltigor V1.05 Build 0063";
// The frames of a macro move before it is given up (a transport with a shock
// after it is the longest the levels hold).
constexpr int kMacroLimit = 900;
// Frames before a map's advance the end-of-level animation may take.
constexpr int kAdvanceLimit = 400;
// Frames within which two arrivals at the same place count as one.
constexpr int kTimeBucket = 16;

void SetKeys(uint8_t keys) {
  KeyState[SYM_LEFT] = (keys & kKeyLeft) != 0;
  KeyState[SYM_RIGHT] = (keys & kKeyRight) != 0;
  KeyState[SYM_SPACE] = (keys & kKeyFire) != 0;
}

// Where the search may decide: walking, on the column grid.
bool AtDecision(const TProf& p) { return p.State == psWalking && (p.X + 2) % 16 == 0; }

enum class TOutcome { Failed, Decision, Done };

// One search node: a saved state and the keys that led there from its parent.
struct TNode {
  TGameLogic State;
  int32_t Parent = -1;
  std::vector<uint8_t> Keys;
  uint32_t Frames = 0;
};

class TSearch {
 public:
  TSearch(TGame& game, const TSolveLimits& limits) : G_(game), Limits_(limits) {}

  TMapSolution Run();

 private:
  // One frame with `keys`; false when the professor no longer lives.
  bool Step(uint8_t keys, std::vector<uint8_t>& out) {
    SetKeys(keys);
    out.push_back(keys);
    ++Simulated_;
    G_.Frame();
    return G_.Prof->IsAlive() && !G_.Prof->HasFallenTooFar();
  }
  // Frames without keys until the professor stands on the grid again.
  TOutcome Settle(std::vector<uint8_t>& out, int limit) {
    for (int f = 0; f < limit; ++f) {
      if (G_.Prof->IsLevelDone()) return TOutcome::Done;
      if (AtDecision(*G_.Prof)) return TOutcome::Decision;
      if (!Step(0, out)) return TOutcome::Failed;
    }
    return TOutcome::Failed;
  }
  TOutcome Walk(uint8_t key, std::vector<uint8_t>& out);
  TOutcome Fire(std::vector<uint8_t>& out);
  TOutcome Wait(int frames, std::vector<uint8_t>& out);

  uint64_t Key(uint32_t frames) const;
  int32_t Remaining() const { return (8 - G_.Prof->NextPiece()) + G_.Map->DotCount; }
  int32_t Distance() const;
  void Push(TNode node);

  TGame& G_;
  TSolveLimits Limits_;
  uint64_t Simulated_ = 0;
  std::vector<TNode> Nodes_;
  std::unordered_set<uint64_t> Seen_;
  using TEntry = std::pair<int64_t, int32_t>;  // priority, node
  std::priority_queue<TEntry, std::vector<TEntry>, std::greater<>> Open_;
};

TOutcome TSearch::Walk(uint8_t key, std::vector<uint8_t>& out) {
  const int32_t x0 = G_.Prof->X;
  int32_t still = 0;
  for (int f = 0; f < kMacroLimit; ++f) {
    const int32_t before = G_.Prof->X;
    if (!Step(key, out)) return TOutcome::Failed;
    const TProf& p = *G_.Prof;
    if (p.IsLevelDone()) return TOutcome::Done;
    if (AtDecision(p) && p.X != x0) return TOutcome::Decision;
    // Walking against a wall: the slow floor moves every second frame and a
    // pickup holds him for one, so three still frames mean blocked.
    still = (p.State == psWalking && p.X == before) ? still + 1 : 0;
    if (still >= 3) return TOutcome::Failed;
  }
  return TOutcome::Failed;
}

TOutcome TSearch::Fire(std::vector<uint8_t>& out) {
  const TProf& p = *G_.Prof;
  const int32_t fx = p.X + 2, fy = p.Y + 32;
  if (!G_.Map->IsSpringAt(fx, fy) && !G_.Map->IsTrapdoorAt(fx, fy)) return TOutcome::Failed;
  const int32_t y0 = p.Y;
  if (!Step(kKeyFire, out)) return TOutcome::Failed;
  const TOutcome o = Settle(out, kMacroLimit);
  return (o == TOutcome::Decision && G_.Prof->Y == y0) ? TOutcome::Failed : o;
}

TOutcome TSearch::Wait(int frames, std::vector<uint8_t>& out) {
  for (int f = 0; f < frames; ++f) {
    if (!Step(0, out)) return TOutcome::Failed;
    if (G_.Prof->IsLevelDone()) return TOutcome::Done;
  }
  return Settle(out, kMacroLimit);
}

// Where he stands, what is left to do and, coarsely, when: the monsters'
// places follow from the time, and a way past them may need him to come later.
uint64_t TSearch::Key(uint32_t frames) const {
  TLogicChecksum s;
  s.Add(frames / kTimeBucket);
  s.Add(G_.Prof->X);
  s.Add(G_.Prof->Y);
  s.Add(G_.Prof->NextPiece());
  s.Add(G_.Map->DotCount);
  for (const auto& column : G_.Map->Dots) {
    for (uint8_t d : column) s.Add(d);
  }
  for (int32_t y = 0; y < G_.Map->Height; ++y) {
    for (int32_t x = 0; x < G_.Map->Width; ++x) s.Add(G_.Map->GetPhysicalTile(x, y));
  }
  return s.Value();
}

// Pixels from his feet to the nearest thing still to do: the next piece, a
// dot, or the exit.
int32_t TSearch::Distance() const {
  const int32_t fx = G_.Prof->X + 2, fy = G_.Prof->Y + 32;
  int32_t best = 1 << 30;
  // On an interim map the way up is the whole task: the floors still to
  // climb count far more than the width of the room.
  const int32_t across = G_.Interim ? 1 : 8, up = G_.Interim ? 40 : 8;
  auto consider = [&](int32_t column, int32_t row) {
    const int32_t x = 48 + 16 * column, y = 24 + 16 * row;
    best = std::min(best, across * std::abs(x - fx) + up * std::abs(y - fy));
  };
  const uint8_t next = G_.Prof->NextPiece();
  for (int32_t row = 0; row < TMap::Rows; ++row) {
    for (int32_t column = 1; column <= 32; ++column) {
      const int32_t x = 48 + 16 * column, y = 24 + 16 * row;
      if (next < 8 && G_.Map->ObjectAt(x, y) == next) consider(column, row);
      if (next == 8 && G_.Map->HasDotAt(x, y)) consider(column, row);
    }
  }
  if (best == (1 << 30)) {
    for (int32_t row = 0; row < TMap::Rows; ++row) {
      for (int32_t column = 1; column <= 32; ++column) {
        if (G_.Map->IsExitAt(48 + 16 * column, 24 + 16 * row)) consider(column, row);
      }
    }
  }
  return best == (1 << 30) ? 0 : best;
}

void TSearch::Push(TNode node) {
  if (!Seen_.insert(Key(node.Frames)).second) return;
  // Greedy on what is left to do, then on the way to the nearest of it, with
  // the frames spent as the tie-breaker that keeps routes short.
  const int64_t priority = static_cast<int64_t>(Remaining()) * 100000 + Distance() + node.Frames;
  node.State = G_.SaveLogic();
  Nodes_.push_back(std::move(node));
  Open_.push({priority, static_cast<int32_t>(Nodes_.size() - 1)});
}

TMapSolution TSearch::Run() {
  TMapSolution result;
  const TGameLogic root = G_.SaveLogic();
  // The first frame of a map holds no keys: in a replay, the keys of a
  // frame come with the previous frame's events.
  std::vector<uint8_t> first;
  if (!Step(0, first) || Settle(first, kMacroLimit) != TOutcome::Decision) {
    result.Simulated = Simulated_;
    return result;
  }
  Push({TGameLogic{}, -1, first, static_cast<uint32_t>(first.size())});
  int32_t goal = -1;
  std::vector<uint8_t> goalKeys;
  while (!Open_.empty() && Simulated_ < Limits_.FrameBudget && goal < 0) {
    const int32_t at = Open_.top().second;
    Open_.pop();
    struct TMove {
      int Kind;  // 0 walk, 1 fire, 2 wait
      int Arg;
    };
    static constexpr TMove kMoves[] = {{0, kKeyLeft}, {0, kKeyRight}, {1, 0}, {2, kTimeBucket}, {2, 3 * kTimeBucket}};
    for (const TMove& m : kMoves) {
      G_.RestoreLogic(Nodes_[static_cast<std::size_t>(at)].State);
      std::vector<uint8_t> keys;
      TOutcome o = TOutcome::Failed;
      if (m.Kind == 0) o = Walk(static_cast<uint8_t>(m.Arg), keys);
      if (m.Kind == 1) o = Fire(keys);
      if (m.Kind == 2) o = Wait(m.Arg, keys);
      if (o == TOutcome::Failed) continue;
      const uint32_t frames = Nodes_[static_cast<std::size_t>(at)].Frames + static_cast<uint32_t>(keys.size());
      if (o == TOutcome::Done) {
        goal = at;
        goalKeys = std::move(keys);
        break;
      }
      Push({TGameLogic{}, at, std::move(keys), frames});
    }
  }
  result.Simulated = Simulated_;
  if (goal < 0) {
    G_.RestoreLogic(root);
    return result;
  }
  // The route from the map's start, then the end-of-level animation.
  std::vector<const std::vector<uint8_t>*> parts = {&goalKeys};
  for (int32_t n = goal; n >= 0; n = Nodes_[static_cast<std::size_t>(n)].Parent) {
    parts.push_back(&Nodes_[static_cast<std::size_t>(n)].Keys);
  }
  std::vector<uint8_t> route;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) route.insert(route.end(), (*it)->begin(), (*it)->end());
  Nodes_.clear();

  // Played once more from the start, as the program will play it.
  G_.RestoreLogic(root);
  for (std::size_t f = 0; f < route.size(); ++f) {
    SetKeys(route[f]);
    if (!G_.Frame() || !G_.Prof->IsAlive()) return result;
  }
  if (!G_.Prof->IsLevelDone()) return result;
  result.Frames = static_cast<uint32_t>(route.size());
  result.MeterShare = (G_.MeterValue * 81.0 + G_.MeterTicks) / (G_.MeterLimit * 81.0);
  const uint8_t map = G_.CurrentMap;
  for (int f = 0; f < kAdvanceLimit && G_.CurrentMap == map; ++f) {
    SetKeys(0);
    route.push_back(0);
    G_.Frame();
  }
  SetKeys(0);
  if (G_.CurrentMap == map) return result;
  result.Keys = std::move(route);
  result.Solved = true;
  return result;
}

// The game's data loaded by the program's own steps, so that the random
// draws of loading leave the same seed for the game.
class TSolveWorld {
 public:
  bool Open(const std::string& archive, const std::string& pack, uint32_t seed, std::ostream& err) {
    if (!Mounted_.Mount(archive)) {
      err << "vgrdata level solve: cannot mount the archive " << archive << "\n";
      return false;
    }
    if (!ZROpenStream("Zapkin.ini") || !ZROpenStream("objects.lst")) {
      err << "vgrdata level solve: " << archive << " holds no game data\n";
      return false;
    }
    Pack_ = pack;
    Archive_ = archive;
    SetFrameRate(60);
    UnpacedFrames = true;
    Randomize(seed);
    LoadGameData(false);
    GameOverScreen = [] {};
    CompletionScreen = [] {};
    ClearKeys();
    return true;
  }
  // A game from `startMap`; its levels from the loose pack when one was named.
  std::unique_ptr<TGame> NewGame(uint8_t startMap, bool zaRaroz) {
    StartMap = startMap;
    MrRobotMode = zaRaroz;
    LastLevel = 26;
    HighScore = 0;
    auto game = std::make_unique<TGame>();
    game->Present = false;
    if (!Pack_.empty()) game->Map->Pack->Load(Pack_);
    return game;
  }
  // The pack holds the piece the map is built from; else says so.
  bool Holds(TGame& game, uint8_t map, std::ostream& err) const {
    const std::string piece = TMap::PieceFile(map, map % 2 == 0);
    if (game.Map->Pack->IndexOf(piece) >= 0) return true;
    err << "vgrdata level solve: " << (Pack_.empty() ? "the map pack of " + Archive_ : Pack_) << " holds no "
        << piece << ", the piece of map " << static_cast<int>(map) << "\n";
    return false;
  }
  ~TSolveWorld() {
    ClearKeys();
    GameOverScreen = [] { ShowGameOver(); };
    CompletionScreen = [] { ShowCompletion(); };
    UnpacedFrames = false;
    FreeGameData();
    MrRobotMode = false;
  }

 private:
  TCollectedLog Log_;
  THiddenDisplay Display_;
  TMountedArchive Mounted_;
  std::string Pack_;
  std::string Archive_;
};

bool IsArchiveName(const std::string& name) {
  return name.size() >= 5 && name.compare(name.size() - 5, 5, ".mad4") == 0;
}

void Press(TReplay& r, uint32_t frame, int sym, bool down) {
  auto at = std::lower_bound(r.Keys.begin(), r.Keys.end(), frame,
                             [](const TReplayKeys& k, uint32_t f) { return k.Frame < f; });
  if (at == r.Keys.end() || at->Frame != frame) at = r.Keys.insert(at, {frame, {}});
  at->Changes.push_back({static_cast<uint16_t>(sym), down});
}

}  // namespace

TMapSolution SolveMapInPlay(TGame& game, const TSolveLimits& limits) {
  TSearch search(game, limits);
  return search.Run();
}

bool WriteSessionReplay(const TSessionPlan& plan, const std::string& fileName, std::string& error) {
  TReplay r;
  r.Header.Seed = plan.Seed;
  r.Header.StartMap = plan.StartMap;
  r.Header.Mode = plan.ZaRaroz;
  r.Header.LastLevel = 26;
  r.Header.ProgramVersion = kProgramVersion;
  // Frames count the event rounds from the title on. Escape at the first
  // skips the title; the menu acts on a key in the round after its events.
  uint32_t f = 0;
  Press(r, f, SYM_ESCAPE, true);
  Press(r, f + 1, SYM_ESCAPE, false);
  f += 2;
  if (!plan.NewGame) {
    Press(r, f, SYM_DOWN, true);
    Press(r, f + 1, SYM_DOWN, false);
    f += 2;
    for (int level = 1; level < (plan.StartMap + 1) / 2; ++level) {
      Press(r, f, SYM_RIGHT, true);
      Press(r, f + 1, SYM_RIGHT, false);
      f += 2;
    }
  }
  // Return ends the menu in this round; the game's first frame has the next.
  Press(r, f, SYM_RETURN, true);
  const uint32_t game = f + 1;
  Press(r, game, SYM_RETURN, false);
  // The keys of game frame i come with the events of frame i - 1.
  uint8_t held = 0;
  for (std::size_t i = 0; i < plan.GameKeys.size(); ++i) {
    const uint8_t keys = plan.GameKeys[i];
    if (keys == held) continue;
    if (i == 0) {
      error = "the game's first frame holds keys";
      return false;
    }
    const uint32_t at = game + static_cast<uint32_t>(i) - 1;
    for (auto [bit, sym] : {std::pair{kKeyLeft, SYM_LEFT}, std::pair{kKeyRight, SYM_RIGHT}, std::pair{kKeyFire, SYM_SPACE}}) {
      if ((keys & bit) != (held & bit)) Press(r, at, sym, (keys & bit) != 0);
    }
    held = keys;
  }
  uint32_t end = game + static_cast<uint32_t>(plan.GameKeys.size());
  for (auto [bit, sym] : {std::pair{kKeyLeft, SYM_LEFT}, std::pair{kKeyRight, SYM_RIGHT}, std::pair{kKeyFire, SYM_SPACE}}) {
    if (held & bit) Press(r, end - 1, sym, false);
  }
  if (plan.GameCompleted) {
    // Space leaves the creature's scene and then the page after it.
    Press(r, end + 20, SYM_SPACE, true);
    Press(r, end + 22, SYM_SPACE, false);
    Press(r, end + 60, SYM_SPACE, true);
    Press(r, end + 62, SYM_SPACE, false);
    end += 90;
  } else {
    // The next map shows one frame; Escape asks whether to leave it, Y leaves.
    Press(r, end, SYM_ESCAPE, true);
    Press(r, end + 2, SYM_ESCAPE, false);
    Press(r, end + 4, SYM_Y, true);
    Press(r, end + 5, SYM_Y, false);
    end += 30;
  }
  // In the menu Escape goes to QUIT and Return quits.
  Press(r, end, SYM_ESCAPE, true);
  Press(r, end + 1, SYM_ESCAPE, false);
  Press(r, end + 4, SYM_RETURN, true);
  r.FrameTotal = end + 10;
  return r.Save(fileName, error);
}

int SolveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string source, output, data = "Voltigor.mad4";
  int map = 0;
  bool zaRaroz = false, wholeGame = false;
  uint32_t seed = 1;
  int interimSeeds = 0;
  TSolveLimits limits;
  if (AsksForHelp(args)) {
    out << kUsage;
    return 0;
  }
  if (const std::string bad = UnknownOption(args, 1, {"--seed", "--interim-seeds", "--budget", "--data", "-o"},
                                            {"--zararoz", "--game"});
      !bad.empty()) {
    err << "vgrdata level solve: unknown option '" << bad << "'\n" << kUsage;
    return 2;
  }
  // Counts and seeds are plain digits; a seed may use all 32 bits.
  auto number = [](const std::string& text, int64_t max, int64_t& value) {
    TDecimalRule rule;
    rule.PlusSign = false;
    rule.Min = 0;
    rule.Max = max;
    return ParseDecimal(text, value, rule) == TDecimal::Ok;
  };
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool valued = a == "--seed" || a == "--interim-seeds" || a == "--budget" || a == "--data" || a == "-o";
    if (valued && i + 1 >= args.size()) {
      err << "vgrdata level solve: " << a << " needs a value\n" << kUsage;
      return 2;
    }
    const std::string v = valued ? args[++i] : std::string();
    int64_t n = 0;
    if (a == "--zararoz") {
      zaRaroz = true;
    } else if (a == "--game") {
      wholeGame = true;
    } else if (a == "--data") {
      data = v;
    } else if (a == "-o") {
      output = v;
    } else if (valued && !number(v, a == "--seed" ? UINT32_MAX : a == "--budget" ? int64_t{1} << 40 : 1000000, n)) {
      err << "vgrdata level solve: " << a << " takes a whole number, not '" << v << "'\n" << kUsage;
      return 2;
    } else if (a == "--seed") {
      seed = static_cast<uint32_t>(n);
    } else if (a == "--interim-seeds") {
      interimSeeds = static_cast<int>(n);
    } else if (a == "--budget") {
      limits.FrameBudget = static_cast<uint64_t>(n);
    } else if (source.empty()) {
      source = a;
    } else if (map == 0 && number(a, 99, n)) {
      map = static_cast<int>(n);
    } else {
      err << "vgrdata level solve: unexpected argument " << a << "\n" << kUsage;
      return 2;
    }
  }
  const bool oneMap = !wholeGame && interimSeeds <= 0;
  if (source.empty() || (oneMap && (map < 1 || map > 49 || map % 2 == 0)) || (interimSeeds <= 0 && output.empty())) {
    err << kUsage;
    return 2;
  }
  const std::string archive = IsArchiveName(source) ? source : data;
  const std::string pack = IsArchiveName(source) ? "" : source;
  RequireInputFile(source);
  RequireInputFile(archive);
  if (!output.empty()) RequireNotAnInput(output);

  if (interimSeeds > 0) {
    // Each seed's interim map 2, played from a game whose first map was
    // skipped: the draws of the level's assembly are those of that seed.
    int finished = 0;
    for (int i = 0; i < interimSeeds; ++i) {
      const uint32_t s = seed + static_cast<uint32_t>(i);
      TSolveWorld world;
      if (!world.Open(archive, pack, s, err)) return 1;
      auto game = world.NewGame(2, false);
      game->BeginMap();
      const TMapSolution sol = SolveMapInPlay(*game, limits);
      finished += sol.Solved ? 1 : 0;
      out << "seed " << s << ": " << (sol.Solved ? "finished" : "NOT finished") << ", frames " << sol.Frames
          << ", searched " << sol.Simulated << "\n";
      out.flush();
    }
    char line[96];
    std::snprintf(line, sizeof line, "interim maps finished: %d of %d (%.1f %%)\n", finished, interimSeeds,
                  100.0 * finished / interimSeeds);
    out << line;
    return finished == interimSeeds ? 0 : 1;
  }

  TSolveWorld world;
  if (!world.Open(archive, pack, seed, err)) return 1;
  TSessionPlan plan;
  plan.Seed = seed;
  plan.ZaRaroz = zaRaroz;
  if (wholeGame) {
    plan.StartMap = 1;
    plan.NewGame = true;
    auto game = world.NewGame(1, false);
    for (;;) {
      if (!world.Holds(*game, game->CurrentMap, err)) return 1;
      game->BeginMap();
      const uint8_t at = game->CurrentMap;
      const TMapSolution sol = SolveMapInPlay(*game, limits);
      if (!sol.Solved) {
        err << "vgrdata level solve: no way through map " << static_cast<int>(at) << " found (searched "
            << sol.Simulated << " frames)\n";
        return 1;
      }
      char line[128];
      char meter[24] = "-";
      if (at % 2 == 1) std::snprintf(meter, sizeof meter, "%.0f %%", 100 * sol.MeterShare);
      std::snprintf(line, sizeof line, "map %02d: %u frames, meter %s, searched %llu frames\n", at, sol.Frames,
                    meter, static_cast<unsigned long long>(sol.Simulated));
      out << line;
      out.flush();
      plan.GameKeys.insert(plan.GameKeys.end(), sol.Keys.begin(), sol.Keys.end());
      if (!game->EndMap()) break;
    }
    plan.GameCompleted = game->CurrentMap == 50;
    game->EndGame();
    if (!plan.GameCompleted) {
      err << "vgrdata level solve: the game did not reach its end\n";
      return 1;
    }
    out << "game: " << plan.GameKeys.size() << " frames\n";
  } else {
    plan.StartMap = static_cast<uint8_t>(map);
    plan.NewGame = false;
    auto game = world.NewGame(static_cast<uint8_t>(map), zaRaroz);
    if (!world.Holds(*game, static_cast<uint8_t>(map), err)) return 1;
    game->BeginMap();
    const TMapSolution sol = SolveMapInPlay(*game, limits);
    if (!sol.Solved) {
      err << "vgrdata level solve: no way through map " << map << " found (searched " << sol.Simulated
          << " frames)\n";
      return 1;
    }
    char line[160];
    std::snprintf(line, sizeof line, "map %02d%s: %u frames, meter %.0f %%, searched %llu frames\n", map,
                  zaRaroz ? " Za.Raroz" : "", sol.Frames, 100 * sol.MeterShare,
                  static_cast<unsigned long long>(sol.Simulated));
    out << line;
    plan.GameKeys = sol.Keys;
    game->EndMap();
    game->EndGame();
  }
  std::string error;
  if (!WriteSessionReplay(plan, output, error)) {
    err << "vgrdata level solve: " << error << "\n";
    return 1;
  }
  return 0;
}

}  // namespace vgrdata

#include "LevelSolve.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <queue>
#include <unordered_map>
#include <unordered_set>

#include <malloc.h>
#include <sys/resource.h>

#include "GAME.h"
#include "LevelReach.h"
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
    "        --budget FRAMES bounds the frames one map's search may run (6000000),\n"
    "        --seconds S its time (55) and --memory MB the tool's memory (256).\n"
    "        --human plays as a person can: a key held at least 10 frames, and a route\n"
    "        only when each key change may come up to 4 frames late; it prints the\n"
    "        route's slack, the fewest frames any one key may come late (up to 8).\n"
    "        Before the search, the professor's own moves (monsters and meter left\n"
    "        out) are followed over the whole map: when they cannot finish it, the\n"
    "        map is proved unsolvable and the reason is printed by cell.\n"
    "        The replay holds keys only: play it with `Voltigor -replay REPLAY -record OUT`\n"
    "        to add the checksums.\n";

constexpr const char* kProgramVersion = "Voltigor V1.05 Build 0063";
// The frames of a macro move before it is given up (a transport with a shock
// after it is the longest the levels hold).
constexpr int kMacroLimit = 900;
// Frames before a map's advance the end-of-level animation may take.
constexpr int kAdvanceLimit = 400;
// Human routes found whose whole is not robust before the search gives up.
constexpr int kHumanGoals = 12;
// The same on the machine's guide, where each mends the route where it broke.
constexpr int kGuidedGoals = 200;
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
// The map's layers and dots are kept once in a TLayerStore: they change only
// when a wire burns or a dot is eaten, and a node holds its index.
struct TNode {
  TGameLogic State;
  int32_t Parent = -1;
  std::vector<uint8_t> Keys;
  uint32_t Frames = 0;
  int32_t Layers = -1;
  // The keys held at the end of the route to here, and for how many frames.
  uint8_t Tail = 0;
  uint16_t TailLength = 0;
  // Of those, the last frames in which no key counts (he falls, jumps,
  // slides): a person presses the next key there already.
  uint16_t Loose = 0;
  // Frames at the end of the parent's keys that take this move's first key.
  uint16_t Early = 0;
  // Human routes: the furthest place of the machine's route reached on the
  // way here, -1 when none.
  int32_t Progress = -1;
  // A move after which a route was found whose keys may not come late: the
  // search goes on without it and what follows it.
  bool Pruned = false;
  // Human routes: the route to here played with the professor 1 ..
  // kHumanLate frames behind the room (its monsters, meter and boulder), as
  // after a key change that came late; their layers in the TLayerStore.
  std::vector<TGameLogic> Late;
  std::vector<int32_t> LateLayers;
};

class TLayerStore {
 public:
  // Moves the state's layers into the store.
  int32_t Intern(TGameLogic& s) {
    TLogicChecksum c;
    for (int32_t v : s.Physical) c.Add(v);
    for (int32_t v : s.Logical) c.Add(v);
    for (uint8_t v : s.Dots) c.Add(v);
    const uint64_t key = c.Value();
    auto [from, to] = Index_.equal_range(key);
    for (auto it = from; it != to; ++it) {
      const TItem& item = Items_[static_cast<std::size_t>(it->second)];
      if (item.Physical == s.Physical && item.Logical == s.Logical && item.Dots == s.Dots) {
        Release(s);
        return it->second;
      }
    }
    Items_.push_back({std::move(s.Physical), std::move(s.Logical), std::move(s.Dots)});
    Release(s);
    const auto id = static_cast<int32_t>(Items_.size() - 1);
    Index_.emplace(key, id);
    return id;
  }
  void Fill(TGameLogic& s, int32_t id) const {
    const TItem& item = Items_[static_cast<std::size_t>(id)];
    s.Physical = item.Physical;
    s.Logical = item.Logical;
    s.Dots = item.Dots;
  }

 private:
  static void Release(TGameLogic& s) {
    std::vector<int32_t>().swap(s.Physical);
    std::vector<int32_t>().swap(s.Logical);
    std::vector<uint8_t>().swap(s.Dots);
  }
  struct TItem {
    std::vector<int32_t> Physical, Logical;
    std::vector<uint8_t> Dots;
  };
  std::vector<TItem> Items_;
  std::unordered_multimap<uint64_t, int32_t> Index_;
};

// The process's resident memory now and at its peak, in megabytes.
double ResidentMB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}
double PeakMB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

class TSearch {
 public:
  // `guided`: a human route follows the machine's route found first.
  TSearch(TGame& game, const TSolveLimits& limits, bool guided = true)
      : G_(game), Limits_(limits), Guided_(guided) {}

  TMapSolution Run();

 private:
  // One frame with `keys`; false when the professor no longer lives.
  bool Step(uint8_t keys, std::vector<uint8_t>& out) {
    Loose_ = G_.Prof->State == psWalking ? 0 : Loose_ + 1;
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
  // The dots still on the map, in the order of the analysis' dots.
  std::vector<uint8_t> DotsLeft() const;
  void Push(TNode node);
  void Restore(const TNode& node);
  bool OutOfBounds() const;
  // Human routes: whether `keys` after the route to `from` keeps the keys
  // held long enough and survives each change coming late; the tail after.
  bool HumanMove(const TNode& from, const std::vector<uint8_t>& keys, TOutcome outcome, TNode& next);
  // Human routes: whether the move holds when he plays it behind the room,
  // each of the parent's late states taken on; those states after it.
  bool Behind(const TNode& from, const std::vector<uint8_t>& keys, TOutcome outcome, TNode& next);
  void KeepLate(TNode& node, TGameLogic state) {
    node.LateLayers.push_back(Layers_.Intern(state));
    node.Late.push_back(std::move(state));
  }
  std::vector<uint8_t> RouteTo(int32_t node) const;
  // From the exit reached: whether the next map starts; the state is kept.
  bool Advances() {
    const TGameLogic done = G_.SaveLogic();
    const uint8_t map = G_.CurrentMap;
    SetKeys(0);
    for (int f = 0; f < kAdvanceLimit && G_.CurrentMap == map && G_.Prof->IsAlive(); ++f) {
      ++Simulated_;
      G_.Frame();
    }
    const bool next = G_.CurrentMap != map;
    G_.RestoreLogic(done);
    return next;
  }
  static void Append(std::vector<uint8_t>& route, const std::vector<uint8_t>& keys, uint16_t early);
  // The fewest frames any key change of `route` may come late (from `root`).
  // Counted up to `cap`; `failed`, when given, gets the frame of the first
  // change that may not come `cap` frames late.
  int32_t Slack(const TGameLogic& root, const std::vector<uint8_t>& route, int32_t cap = kSlackCap,
                std::size_t* failed = nullptr);
  // The node of the route to `node` whose move holds `frame`.
  int32_t NodeOfFrame(int32_t node, std::size_t frame) const;
  bool Pruned(int32_t node) const {
    for (int32_t n = node; n >= 0; n = Nodes_[static_cast<std::size_t>(n)].Parent) {
      if (Nodes_[static_cast<std::size_t>(n)].Pruned) return true;
    }
    return false;
  }
  // Human routes: the machine's route, found first, as the places a person
  // passes on his way (and where he stands on each); the search then follows
  // it and leaves it only where a person's keys cannot keep up.
  void Guide(const TGameLogic& root);
  uint64_t PlaceKey() const;
  // Gives the search's memory back, so that the next map starts low.
  void Release() {
    std::vector<TNode>().swap(Nodes_);
    std::unordered_set<uint64_t>().swap(Seen_);
    Open_ = {};
    Layers_ = {};
    malloc_trim(0);
  }

  TGame& G_;
  TSolveLimits Limits_;
  bool Guided_ = true;
  uint64_t Simulated_ = 0;
  std::chrono::steady_clock::time_point Began_ = std::chrono::steady_clock::now();
  std::unique_ptr<TReach> Reach_;
  TReachLevel Level_;
  TLayerStore Layers_;
  TGameLogic Scratch_;
  uint32_t KeyTail_ = 0;  // human routes: the held keys are part of a place
  uint32_t Loose_ = 0;    // frames at the end of the last steps in which keys did not count
  std::vector<TNode> Nodes_;
  std::unordered_set<uint64_t> Seen_;
  std::unordered_map<uint64_t, int32_t> Guide_;  // a place of the machine's route: its last index
  int32_t GuideLength_ = 0;
  using TEntry = std::pair<int64_t, int32_t>;  // priority, node
  std::priority_queue<TEntry, std::vector<TEntry>, std::greater<>> Open_;
};

TOutcome TSearch::Walk(uint8_t key, std::vector<uint8_t>& out) {
  const int32_t x0 = G_.Prof->X, y0 = G_.Prof->Y;
  int32_t still = 0;
  for (int f = 0; f < kMacroLimit; ++f) {
    const int32_t before = G_.Prof->X;
    if (!Step(key, out)) return TOutcome::Failed;
    const TProf& p = *G_.Prof;
    if (p.IsLevelDone()) return TOutcome::Done;
    if (AtDecision(p) && (p.X != x0 || p.Y != y0)) return TOutcome::Decision;
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
  for (int f = 0; f < (Limits_.Human ? kHumanHold : 1); ++f) {
    if (!Step(kKeyFire, out)) return TOutcome::Failed;
    if (G_.Prof->IsLevelDone()) return TOutcome::Done;
  }
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
  s.Add(KeyTail_);
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

std::vector<uint8_t> TSearch::DotsLeft() const {
  std::vector<uint8_t> left(Level_.Dots.size(), 0);
  for (std::size_t d = 0; d < left.size(); ++d) {
    const auto [c, r] = Level_.Dots[d];
    left[d] = G_.Map->Dots[c - 1][r];
  }
  return left;
}

std::vector<uint8_t> LateKeys(const std::vector<uint8_t>& keys, std::size_t at, uint8_t before, int late,
                              int way);

bool TSearch::HumanMove(const TNode& from, const std::vector<uint8_t>& keys, TOutcome outcome, TNode& next) {
  const uint32_t loose = Loose_;
  // A first key after a fall or a jump is pressed while he is still in the
  // air, as early as the keys before it have been held long enough: then
  // coming late does not matter.
  next.Early = 0;
  // (Not on the machine's guide: the late states behind the room are played
  // with each move's own keys.)
  if (GuideLength_ == 0 && !keys.empty() && keys[0] != from.Tail && from.TailLength > kHumanHold) {
    const uint32_t early = std::min<uint32_t>(from.Loose, from.TailLength - kHumanHold);
    if (early >= static_cast<uint32_t>(kHumanLate)) next.Early = static_cast<uint16_t>(early);
  }
  // Every change of keys comes after the last has been held long enough.
  uint8_t held = next.Early > 0 ? keys[0] : from.Tail;
  uint32_t length = next.Early > 0 ? next.Early : from.TailLength;
  std::vector<std::size_t> changes;
  for (std::size_t f = 0; f < keys.size(); ++f) {
    if (keys[f] == held) {
      ++length;
      continue;
    }
    if (length < kHumanHold) return false;
    changes.push_back(f);
    held = keys[f];
    length = 1;
  }
  next.Tail = held;
  next.TailLength = static_cast<uint16_t>(std::min<uint32_t>(length, 60000));
  next.Loose = static_cast<uint16_t>(std::min(loose, length));
  // Each change, late by up to kHumanLate frames, must leave him alive and
  // where the move takes him on time, only later: a wall he walks against, a
  // ledge he falls from, a spring he reaches with fire held take up the
  // lateness. Whether the monsters and the meter still let the rest of the
  // route through is for Slack to say of the whole route.
  const TProf& p = *G_.Prof;
  const int32_t x = p.X, y = p.Y, piece = p.NextPiece(), dots = G_.Map->DotCount;
  const uint8_t state = p.State;
  const TGameLogic end = G_.SaveLogic();
  bool fine = true;
  for (std::size_t c = 0; c < changes.size() && fine; ++c) {
    const std::size_t at = changes[c];
    const uint8_t before = at == 0 ? from.Tail : keys[at - 1];
    for (int late = 1; late <= kHumanLate && fine; ++late) {
      fine = false;
      for (int way = 0; way < 3 && !fine; ++way) {
        Restore(from);
        bool done = false;
        for (const uint8_t k : LateKeys(keys, at, before, late, way)) {
          SetKeys(k);
          ++Simulated_;
          G_.Frame();
          if (!G_.Prof->IsAlive() || G_.Prof->HasFallenTooFar()) break;
          if (G_.Prof->IsLevelDone()) {
            done = true;
            break;
          }
        }
        const TProf& q = *G_.Prof;
        fine = outcome == TOutcome::Done
                   ? done
                   : (!done && q.IsAlive() && q.State == state && q.Y == y && q.X == x &&
                      q.NextPiece() == piece && G_.Map->DotCount == dots);
      }
    }
  }
  G_.RestoreLogic(end);
  return fine;
}

bool TSearch::Behind(const TNode& from, const std::vector<uint8_t>& keys, TOutcome outcome, TNode& next) {
  const TGameLogic end = G_.SaveLogic();
  const TProf& p = *G_.Prof;
  const int32_t x = p.X, y = p.Y, piece = p.NextPiece(), dots = G_.Map->DotCount;
  next.Late.clear();
  next.LateLayers.clear();
  bool fine = true;
  for (std::size_t l = 0; l < from.Late.size() && fine; ++l) {
    Scratch_ = from.Late[l];
    Layers_.Fill(Scratch_, from.LateLayers[l]);
    G_.RestoreLogic(Scratch_);
    bool alive = true, done = false;
    // Behind the room he may finish a few frames after the keys ran out.
    const std::size_t frames = keys.size() + (outcome == TOutcome::Done ? kHumanLate + 4 : 0);
    for (std::size_t f = 0; f < frames; ++f) {
      SetKeys(f < keys.size() ? keys[f] : 0);
      ++Simulated_;
      G_.Frame();
      if (!G_.Prof->IsAlive() || G_.Prof->HasFallenTooFar()) {
        alive = false;
        break;
      }
      if (G_.Prof->IsLevelDone()) {
        done = true;
        break;
      }
    }
    const TProf& q = *G_.Prof;
    // A slow floor moves him on every second frame of the room's clock, and
    // a piece may be taken a frame sooner: behind the room, he may stand a
    // few pixels off, or already step off a ledge, and be a step ahead.
    fine = alive && (outcome == TOutcome::Done
                         ? done
                         : !done && std::abs(q.Y - y) <= 16 && std::abs(q.X - x) <= 8 &&
                               q.NextPiece() >= piece && G_.Map->DotCount <= dots);
    if (fine) KeepLate(next, G_.SaveLogic());
  }
  G_.RestoreLogic(end);
  return fine;
}

// `keys` with the change at `at` come `late` frames late, in one of the ways
// a person watching the screen makes up for it: 0, the rest of the keys as
// they were (he lets go where he meant to, what he missed is lost: a late
// step in the air costs nothing); 1, all that follows that much later; 2, as
// 1 and the new keys held that much longer (he turned late and walks back to
// where he meant to turn).
std::vector<uint8_t> LateKeys(const std::vector<uint8_t>& keys, std::size_t at, uint8_t before, int late,
                              int way) {
  std::size_t end = at;
  while (end < keys.size() && keys[end] == keys[at]) ++end;
  const auto lateness = static_cast<std::size_t>(late);
  if (way == 0) {
    std::vector<uint8_t> out = keys;
    for (std::size_t f = at; f < at + lateness && f < end; ++f) out[f] = before;
    return out;
  }
  std::vector<uint8_t> out(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(at));
  out.insert(out.end(), lateness, before);
  out.insert(out.end(), keys.begin() + static_cast<std::ptrdiff_t>(at), keys.begin() + static_cast<std::ptrdiff_t>(end));
  if (way == 2) out.insert(out.end(), lateness, keys[at]);
  out.insert(out.end(), keys.begin() + static_cast<std::ptrdiff_t>(end), keys.end());
  return out;
}

void TSearch::Append(std::vector<uint8_t>& route, const std::vector<uint8_t>& keys, uint16_t early) {
  // Frames in which no key counts take the move's first key already.
  if (!keys.empty()) {
    for (std::size_t i = 0; i < early && i < route.size(); ++i) route[route.size() - 1 - i] = keys[0];
  }
  route.insert(route.end(), keys.begin(), keys.end());
}

std::vector<uint8_t> TSearch::RouteTo(int32_t node) const {
  std::vector<const TNode*> parts;
  for (int32_t n = node; n >= 0; n = Nodes_[static_cast<std::size_t>(n)].Parent) {
    parts.push_back(&Nodes_[static_cast<std::size_t>(n)]);
  }
  std::vector<uint8_t> route;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) Append(route, (*it)->Keys, (*it)->Early);
  return route;
}

int32_t TSearch::NodeOfFrame(int32_t node, std::size_t frame) const {
  std::vector<int32_t> path;
  for (int32_t n = node; n >= 0; n = Nodes_[static_cast<std::size_t>(n)].Parent) path.push_back(n);
  std::size_t begin = 0;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    const std::size_t end = begin + Nodes_[static_cast<std::size_t>(*it)].Keys.size();
    if (frame < end) return *it;
    begin = end;
  }
  return -1;
}

int32_t TSearch::Slack(const TGameLogic& root, const std::vector<uint8_t>& route, int32_t cap, std::size_t* failed) {
  // A person comes late to a key and goes on from there in the route's own
  // rhythm: the keys before the change are held `late` frames more, and all
  // that follows comes that much later. The state before each change is kept
  // from one playing of the route.
  G_.RestoreLogic(root);
  std::vector<std::pair<std::size_t, TGameLogic>> before;
  std::vector<TReplayChecks> checks;
  for (std::size_t f = 0; f < route.size(); ++f) {
    if (f > 0 && route[f] != route[f - 1]) {
      before.push_back({f, G_.SaveLogic()});
      checks.push_back(G_.Checks());
    }
    SetKeys(route[f]);
    G_.Frame();
  }
  int32_t slack = cap;
  for (std::size_t c = 0; c < before.size() && slack > 0; ++c) {
    const std::size_t at = before[c].first;
    int32_t reached = 0;
    for (int32_t late = 1; late <= slack; ++late) {
      bool fine = false;
      for (int way = 0; way < 3 && !fine; ++way) {
        G_.RestoreLogic(before[c].second);
        const std::vector<uint8_t> keys = LateKeys(route, at, route[at - 1], late, way);
        for (std::size_t f = at; f < keys.size() + kAdvanceLimit; ++f) {
          // Made up for by the next change, the route goes on as on time
          // (the replay's own checks of the whole state agree): it finishes.
          if (way == 0 && c + 1 < before.size() && f == before[c + 1].first) {
            if (G_.Checks() == checks[c + 1]) {
              fine = true;
              break;
            }
          }
          SetKeys(f < keys.size() ? keys[f] : 0);
          G_.Frame();
          if (!G_.Prof->IsAlive() || G_.Prof->HasFallenTooFar()) break;
          if (G_.Prof->IsLevelDone()) {
            fine = true;
            break;
          }
        }
      }
      if (!fine) break;
      reached = late;
    }
    if (reached < slack && failed != nullptr && reached < cap) {
      *failed = at;
      failed = nullptr;
    }
    slack = std::min(slack, reached);
  }
  SetKeys(0);
  return slack;
}

void TSearch::Push(TNode node) {
  // A state from which the professor's own moves can no longer finish the
  // map (a dot left above a drop taken) is not worth a frame more.
  const TProf& p = *G_.Prof;
  const std::vector<uint8_t> left = DotsLeft();
  const int32_t at = AtDecision(p) ? Reach_->NodeAt(p.X, p.Y, p.Dir) : -1;
  if (!Reach_->CanFinish(at, p.NextPiece(), left)) return;
  KeyTail_ = Limits_.Human ? node.Tail * 16u + std::min<uint32_t>(node.TailLength, kHumanHold) : 0;
  if (!Seen_.insert(Key(node.Frames)).second) return;
  // Greedy on what is left to do, then on the way to what must come next
  // (the model's frames to it, or the pixels to the nearest when the model
  // does not know the place), with the frames spent as the tie-breaker that
  // keeps routes short.
  // On an interim map the boulder, not the way, is the task: the weights of
  // Distance, which favour the floors above, do better there.
  const int32_t ahead = G_.Interim ? -1 : Reach_->FramesToNext(at, p.NextPiece(), left);
  const int64_t way = ahead >= 0 ? 2 * static_cast<int64_t>(ahead) : Distance();
  int64_t priority = static_cast<int64_t>(Remaining()) * 100000 + way + node.Frames;
  if (GuideLength_ > 0) {
    // Further along the machine's route first; off it, the usual order.
    if (AtDecision(p)) {
      const auto it = Guide_.find(PlaceKey());
      if (it != Guide_.end() && it->second > node.Progress) node.Progress = it->second;
    }
    priority += static_cast<int64_t>(GuideLength_ - node.Progress) << 32;
  }
  node.State = G_.SaveLogic();
  node.Layers = Layers_.Intern(node.State);
  Nodes_.push_back(std::move(node));
  Open_.push({priority, static_cast<int32_t>(Nodes_.size() - 1)});
}

uint64_t TSearch::PlaceKey() const {
  TLogicChecksum s;
  s.Add(G_.Prof->X);
  s.Add(G_.Prof->Y);
  s.Add(G_.Prof->NextPiece());
  s.Add(G_.Map->DotCount);
  return s.Value();
}

void TSearch::Guide(const TGameLogic& root) {
  TSolveLimits machine = Limits_;
  machine.Human = false;
  machine.Seconds = Limits_.Seconds / 4;
  TMapSolution found;
  {
    TSearch search(G_, machine);
    found = search.Run();
  }
  Simulated_ += found.Simulated;
  G_.RestoreLogic(root);
  if (found.Solved) {
    for (std::size_t f = 0; f < found.Frames; ++f) {
      SetKeys(found.Keys[f]);
      G_.Frame();
      if (AtDecision(*G_.Prof)) Guide_[PlaceKey()] = GuideLength_++;
    }
    G_.RestoreLogic(root);
    SetKeys(0);
  }
}

void TSearch::Restore(const TNode& node) {
  Scratch_ = node.State;
  Layers_.Fill(Scratch_, node.Layers);
  G_.RestoreLogic(Scratch_);
}

bool TSearch::OutOfBounds() const {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Began_).count();
  // Room for the last nodes' growth before the next look.
  return Simulated_ >= Limits_.FrameBudget || seconds >= Limits_.Seconds ||
         ResidentMB() >= 0.9 * static_cast<double>(Limits_.MemoryMB);
}

TMapSolution TSearch::Run() {
  TMapSolution result;
  const TGameLogic root = G_.SaveLogic();
  auto finish = [&](TMapSolution& r) {
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Began_).count();
    r.PeakMB = PeakMB();
  };
  // The proof first: when the professor's own moves cannot finish the map,
  // no search can.
  Level_ = ReachLevelFromMap(*G_.Map, G_.Interim);
  Reach_ = std::make_unique<TReach>(Level_, G_.Prof->NextPiece() == 8);
  result.CuttingSteps = Reach_->CuttingSteps(8, result.CuttingTotal);
  if (!Reach_->Finishable()) {
    result.Unsolvable = true;
    for (const TReachProblem& p : Reach_->Problems()) {
      result.Reasons.push_back(p.Row < 0 ? p.Text : "column " + std::to_string(p.Column) + ", row " + std::to_string(p.Row) + ": " + p.Text);
    }
    finish(result);
    return result;
  }
  if (Limits_.Human && Guided_) Guide(root);
  // The first frame of a map holds no keys: in a replay, the keys of a
  // frame come with the previous frame's events.
  std::vector<uint8_t> first;
  if (!Step(0, first) || Settle(first, kMacroLimit) != TOutcome::Decision) {
    result.Simulated = Simulated_;
    finish(result);
    return result;
  }
  {
    // Before the map he held nothing for as long as he likes.
    TNode start;
    start.Keys = first;
    start.Frames = static_cast<uint32_t>(first.size());
    start.TailLength = 60000;
    if (Limits_.Human) {
      const TGameLogic now = G_.SaveLogic();
      for (int late = 1; late <= kHumanLate; ++late) {
        G_.RestoreLogic(now);
        for (int f = 0; f < late; ++f) {
          SetKeys(0);
          G_.Frame();
        }
        KeepLate(start, G_.SaveLogic());
      }
      G_.RestoreLogic(now);
    }
    Push(std::move(start));
  }
  int32_t goal = -1;
  std::vector<uint8_t> goalKeys;
  uint16_t goalEarly = 0;
  uint64_t expanded = 0;
  int rejected = 0;
  while (!Open_.empty() && goal < 0) {
    if (expanded++ % 64 == 0 && OutOfBounds()) break;
    const int32_t at = Open_.top().second;
    Open_.pop();
    if (GuideLength_ > 0 && Pruned(at)) continue;
    struct TMove {
      int Kind;  // 0 walk, 1 fire, 2 wait
      int Arg;
    };
    static constexpr TMove kMoves[] = {{0, kKeyLeft}, {0, kKeyRight}, {1, 0}, {2, kTimeBucket}, {2, 3 * kTimeBucket}};
    // A person walks onto a spring or trapdoor with fire already held.
    static constexpr TMove kHumanMoves[] = {{0, kKeyLeft},  {0, kKeyRight}, {0, kKeyLeft | kKeyFire},
                                            {0, kKeyRight | kKeyFire}, {1, 0}, {2, kTimeBucket},
                                            {2, 3 * kTimeBucket}};
    const auto moves = Limits_.Human ? std::vector<TMove>(std::begin(kHumanMoves), std::end(kHumanMoves))
                                     : std::vector<TMove>(std::begin(kMoves), std::end(kMoves));
    for (const TMove& m : moves) {
      Restore(Nodes_[static_cast<std::size_t>(at)]);
      std::vector<uint8_t> keys;
      TOutcome o = TOutcome::Failed;
      if (m.Kind == 0) o = Walk(static_cast<uint8_t>(m.Arg), keys);
      if (m.Kind == 1) o = Fire(keys);
      if (m.Kind == 2) o = Wait(m.Arg, keys);
      if (o == TOutcome::Failed) continue;
      TNode next;
      if (Limits_.Human && !HumanMove(Nodes_[static_cast<std::size_t>(at)], keys, o, next)) continue;
      if (Limits_.Human && !Behind(Nodes_[static_cast<std::size_t>(at)], keys, o, next)) continue;
      const uint32_t frames = Nodes_[static_cast<std::size_t>(at)].Frames + static_cast<uint32_t>(keys.size());
      if (o == TOutcome::Done) {
        // The map is over when the next one starts: on an interim map the
        // boulder still falls while the box opens.
        if (!Advances()) continue;
        if (Limits_.Human && rejected < (GuideLength_ > 0 ? kGuidedGoals : kHumanGoals)) {
          // The whole route, each key change late, must still finish.
          std::vector<uint8_t> route = RouteTo(at);
          Append(route, keys, next.Early);
          std::size_t failed = 0;
          const int32_t slack = Slack(root, route, kHumanLate, &failed);
          if (slack < kHumanLate) {
            ++rejected;
            // On the machine's guide, the move whose key may not come late
            // is taken out, and the search tries the others there (a wait
            // first, another way): the route is mended where it broke.
            if (GuideLength_ > 0) {
              const int32_t broken = NodeOfFrame(at, failed);
              if (broken > 0) {
                Nodes_[static_cast<std::size_t>(broken)].Pruned = true;
                break;
              }
            }
            continue;
          }
        }
        goal = at;
        goalKeys = std::move(keys);
        goalEarly = next.Early;
        break;
      }
      next.Parent = at;
      next.Keys = std::move(keys);
      next.Frames = frames;
      next.Progress = Nodes_[static_cast<std::size_t>(at)].Progress;
      Push(std::move(next));
    }
  }
  result.Simulated = Simulated_;
  if (goal < 0) {
    G_.RestoreLogic(root);
    Release();
    finish(result);
    return result;
  }
  // The route from the map's start, then the end-of-level animation.
  std::vector<uint8_t> route = RouteTo(goal);
  Append(route, goalKeys, goalEarly);
  Release();
  finish(result);

  if (Limits_.Human) {
    result.Slack = Slack(root, route);
    // The moves were each tried late; this is the whole route's word on it.
    if (result.Slack < kHumanLate) {
      G_.RestoreLogic(root);
      return result;
    }
  }
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
  finish(result);
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

std::string Bounds(const TMapSolution& sol, const TSolveLimits& limits) {
  char text[200];
  std::snprintf(text, sizeof text, "budget %llu frames, %.0f s, %u MB; used %llu frames, %.2f s, %.0f MB",
                static_cast<unsigned long long>(limits.FrameBudget), limits.Seconds, limits.MemoryMB,
                static_cast<unsigned long long>(sol.Simulated), sol.Seconds, sol.PeakMB);
  return text;
}

// The verdict on a map that was not solved, on `err`.
void Unsolved(std::ostream& err, int map, const TMapSolution& sol, const TSolveLimits& limits) {
  if (sol.Unsolvable) {
    err << "vgrdata level solve: map " << map << " cannot be finished, proved before any search ("
        << Bounds(sol, limits) << "):\n";
    for (const std::string& r : sol.Reasons) err << "  " << r << "\n";
    return;
  }
  err << "vgrdata level solve: no way through map " << map << " found (searched " << sol.Simulated
      << " frames); undecided: the professor's own moves can finish it, the search ran out (" << Bounds(sol, limits)
      << ")\n";
}

void Cutting(std::ostream& out, const TMapSolution& sol) {
  if (sol.CuttingTotal == 0) return;
  out << "one-way moves that cut off what is still needed (" << sol.CuttingTotal << "):\n";
  for (const std::string& c : sol.CuttingSteps) out << "  " << c << "\n";
  if (sol.CuttingTotal > sol.CuttingSteps.size()) {
    out << "  and " << sol.CuttingTotal - sol.CuttingSteps.size() << " more\n";
  }
}

}  // namespace

TMapSolution SolveMapInPlay(TGame& game, const TSolveLimits& limits) {
  const TGameLogic root = game.SaveLogic();
  TMapSolution guided = TSearch(game, limits).Run();
  if (!limits.Human || guided.Solved || guided.Unsolvable) return guided;
  // Where a person cannot follow the machine, the human search on its own
  // gets what is left of the bounds.
  TSolveLimits rest = limits;
  rest.Seconds = limits.Seconds - guided.Seconds;
  if (rest.Seconds < 1 || guided.Simulated >= limits.FrameBudget) return guided;
  rest.FrameBudget = limits.FrameBudget - guided.Simulated;
  game.RestoreLogic(root);
  TMapSolution alone = TSearch(game, rest, false).Run();
  alone.Simulated += guided.Simulated;
  alone.Seconds += guided.Seconds;
  if (!alone.Solved) game.RestoreLogic(root);
  return alone;
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
  if (const std::string bad = UnknownOption(args, 1, {"--seed", "--interim-seeds", "--budget", "--seconds", "--memory", "--data", "-o"},
                                            {"--zararoz", "--game", "--human"});
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
    const bool valued = a == "--seed" || a == "--interim-seeds" || a == "--budget" || a == "--seconds" ||
                        a == "--memory" || a == "--data" || a == "-o";
    if (valued && i + 1 >= args.size()) {
      err << "vgrdata level solve: " << a << " needs a value\n" << kUsage;
      return 2;
    }
    const std::string v = valued ? args[++i] : std::string();
    int64_t n = 0;
    if (a == "--zararoz") {
      zaRaroz = true;
    } else if (a == "--human") {
      limits.Human = true;
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
    } else if (a == "--seconds") {
      limits.Seconds = static_cast<double>(n);
    } else if (a == "--memory") {
      limits.MemoryMB = static_cast<uint32_t>(n);
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
        Unsolved(err, at, sol, limits);
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
    Cutting(out, sol);
    if (!sol.Solved) {
      Unsolved(err, map, sol, limits);
      return 1;
    }
    char line[160];
    char slack[48] = "";
    if (sol.Slack >= 0) std::snprintf(slack, sizeof slack, ", slack %d frames", sol.Slack);
    std::snprintf(line, sizeof line, "map %02d%s%s: %u frames, meter %.0f %%%s, searched %llu frames\n", map,
                  zaRaroz ? " Za.Raroz" : "", limits.Human ? " human" : "", sol.Frames, 100 * sol.MeterShare, slack,
                  static_cast<unsigned long long>(sol.Simulated));
    out << line << "finished (" << Bounds(sol, limits) << ")\n";
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

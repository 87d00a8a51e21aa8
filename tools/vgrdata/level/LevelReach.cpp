#include "LevelReach.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <queue>
#include <set>

#include "VGRMapUnit.h"
#include "VGRResourceTypesUnit.h"
#include "XMapUnit.h"

namespace vgrdata {

namespace {


// Kinds of move, by the first thing that takes the walk out of his hands.
enum : uint8_t { kWalk, kFall, kSpring, kDrop, kSlide, kTransport };

enum : uint8_t { kLeft = 1, kRight = 2, kFire = 4 };

// Frames a move may take before the model calls it endless (a transport is
// 256, a jump and its fall 68).
constexpr int32_t kMoveLimit = 2000;
// Below the room there is nothing to land on.
constexpr int32_t kLowest = 24 + 16 * 24;

int32_t ColumnOf(int32_t x) { return (x - 48) / 16; }
int32_t RowOf(int32_t y) { return (y - 24) / 16; }
bool AlignedX(int32_t x) { return (x + 2) % 16 == 0; }

// The professor's movement, as TProf::Update has it, on the reach level: no
// pictures, no sounds, no monsters; a transport takes no time; a slow floor
// does not slow him.
struct TBody {
  enum TState : uint8_t { Walk, Fall, Spring, Slide, Drop, Dead };
  int32_t X = 0, Y = 0, Dir = 0;
  TState State = Walk;
  int32_t Counter = 0, VY = 0, FallFrames = 0;
  bool Transported = false;

  const TReachLevel* L = nullptr;

  int32_t TypeAt(int32_t x, int32_t y) const { return L->Type(ColumnOf(x), RowOf(y)); }
  bool Empty(int32_t x, int32_t y) const { return TypeAt(x, y) == otEmpty; }
  bool CanStep(int32_t dir) const {
    if (dir > 0) return Empty(X + 18, Y + 16) && Empty(X + 18, Y);
    if (dir < 0) return Empty(X + 1, Y + 16) && Empty(X + 1, Y);
    return false;
  }
  bool CellsFreeAt(int32_t x, int32_t y) const {
    return Empty(x + 2, y) && Empty(x + 17, y) && Empty(x + 2, y + 16) && Empty(x + 17, y + 16);
  }
  // The fall a walking, aligned professor starts before anything else.
  bool FallsHere() const { return Empty(X + 2, Y - 1 - ((Y - 9) % 16) + 48); }

  void Step(uint8_t keys) {
    // The game loop's own death: the bottom row's right end.
    if (X > 528 && Y == 328) {
      State = Dead;
      return;
    }
    switch (State) {
      case Walk: StepWalk(keys); break;
      case Fall:
        Y += VY;
        ++FallFrames;
        if (!Empty(X + 2, Y + 32)) {
          State = FallFrames > 34 ? Dead : Walk;
          FallFrames = 0;
        } else if (Y > kLowest) {
          State = Dead;
        }
        break;
      case Spring:
        if (Y < 24 - VY) {
          Y = 24 - VY;
          Counter = 1;
        }
        Y += VY;
        if (--Counter == 0) {
          State = (Y - 8) % 16 == 0 ? Walk : Fall;
          VY = 2;
        }
        break;
      case Slide:
        if (!CanStep(Dir)) {
          State = Walk;
          break;
        }
        X += Dir;
        if (--Counter == 0) {
          if (TypeAt(X + 2, Y + 32) == otIce) {
            Counter = 16;
          } else {
            State = Walk;
          }
        }
        break;
      case Drop:
        Y += VY;
        if (--Counter == 0) {
          if (TypeAt(X + 2, Y + 32) == otTrapdoor) {
            Counter = 8;
          } else {
            State = Walk;
          }
        }
        break;
      case Dead: break;
    }
  }

  void StepWalk(uint8_t keys) {
    const int32_t fx = X + 2, fy = Y + 32;
    const bool aligned = AlignedX(X);
    if ((keys & kFire) && aligned && TypeAt(fx, fy) == otSpring) {
      State = Spring;
      Counter = 34;
      VY = -2;
      return;
    }
    if ((keys & kFire) && aligned && TypeAt(fx, fy) == otTrapdoor) {
      State = Drop;
      Counter = 8;
      VY = 2;
      return;
    }
    if (aligned) {
      if (FallsHere()) {
        State = Fall;
        VY = 2;
        return;
      }
      if (TypeAt(fx, fy) == otIce && CanStep(Dir)) {
        State = Slide;
        Counter = 16;
        return;
      }
      if (TypeAt(fx, fy) == otTransporter && CellsFreeAt(Dir > 0 ? X + 32 : X - 32, Y)) {
        X += Dir > 0 ? 32 : -32;
        Transported = true;
        return;
      }
    }
    if ((keys & kLeft) && Empty(X + 1, Y + 16) && Empty(X + 1, Y)) {
      Dir = -1;
      X -= 1;
    } else if ((keys & kRight) && Empty(X + 18, Y + 16) && Empty(X + 18, Y)) {
      Dir = 1;
      X += 1;
    }
  }
};

int64_t NodeKey(int32_t x, int32_t y, int32_t dir) {
  return (static_cast<int64_t>(x + 4096) << 24) | (static_cast<int64_t>(y + 4096) << 4) | (dir + 1);
}

std::string At(int32_t column, int32_t row) {
  return "column " + std::to_string(column - 1) + ", row " + std::to_string(row);
}

}  // namespace

TReachLevel ReachLevelFromPiece(const TXMap& piece, const std::function<int32_t(int32_t)>& typeOf, bool withDots) {
  TReachLevel level;
  // What a shock leaves of a wire: its number raised until it is none.
  auto settled = [&](int32_t number) {
    int32_t type = number == 0 ? otEmpty : typeOf(number);
    for (int32_t steps = 0; steps < 256 && type == otWire; ++steps) type = typeOf(++number);
    return type;
  };
  for (int32_t r = 0; r < TReachLevel::Rows; ++r) {
    for (int32_t c = 0; c < 32; ++c) {
      const int32_t v = piece.GetPhysicalTile(c, r);
      level.SetType(c + 1, r, settled(v == 0 ? 0 : v - 32));
    }
    level.SetType(0, r, otSolid);
    level.SetType(TReachLevel::Columns - 1, r, otSolid);
  }
  // The invisible walls of the top corners and the exit, as the level
  // assembly lays them over every construction piece.
  for (int32_t r = 0; r <= 3; ++r) {
    for (int32_t c = 1; c <= 32; ++c) {
      if (c <= 3 || c >= 26) level.SetType(c, r, otSolid);
    }
  }
  level.SetType(25, 4, otExit);
  if (withDots && piece.ExtraLines.size() >= 7 && piece.ExtraLines[6].size() >= 176) {
    const std::string& line = piece.ExtraLines[6];
    for (int32_t i = 0; i < 32 * TReachLevel::Rows; ++i) {
      const char ch = line[static_cast<std::size_t>(i / 4)];
      const int32_t digit = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : 15;
      if (digit & (8 >> (i % 4))) level.Dots.push_back({i % 32 + 1, i / 32});
    }
  }
  return level;
}

TReachLevel ReachLevelFromMap(const TMap& map, bool interim) {
  TReachLevel level;
  for (int32_t r = 0; r < TReachLevel::Rows; ++r) {
    for (int32_t c = 0; c < TReachLevel::Columns; ++c) {
      int32_t type = map.GetLogicalTile(c, r);
      int32_t number = map.GetPhysicalTile(c, r);
      for (int32_t steps = 0; steps < 256 && type == otWire && Resources; ++steps) type = Resources->TypeOfNumber(++number);
      level.SetType(c, r, type);
    }
  }
  for (int32_t c = 1; c <= 32; ++c) {
    for (int32_t r = 0; r < TReachLevel::Rows; ++r) {
      if (map.Dots[c - 1][r] == 1) level.Dots.push_back({c, r});
    }
  }
  if (interim) {
    level.StartX = 94;
    level.StartY = 328;
  }
  return level;
}

TReach::TReach(const TReachLevel& level, bool dots) : Level_(level), DotMode_(dots) {
  if (!DotMode_) Level_.Dots.clear();
  Build();
  Prove();
}

int32_t TReach::AddNode(int32_t x, int32_t y, int32_t dir) {
  const auto [it, fresh] = Index_.emplace(NodeKey(x, y, dir), static_cast<int32_t>(Nodes_.size()));
  if (fresh) {
    Nodes_.push_back({x, y, dir});
    Out_.emplace_back();
  }
  return it->second;
}

int32_t TReach::NodeAt(int32_t x, int32_t y, int32_t dir) const {
  const auto it = Index_.find(NodeKey(x, y, dir));
  return it == Index_.end() ? -1 : it->second;
}

std::size_t TReach::EdgeCount() const {
  std::size_t n = 0;
  for (const auto& out : Out_) n += out.size();
  return n;
}

void TReach::Build() {
  Start_ = AddNode(Level_.StartX, Level_.StartY, 0);
  // Every place he could stand, so that what cannot be reached still has
  // its moves, and the proof can say from where a thing could be reached.
  for (int32_t c = 1; c <= 32; ++c) {
    // A spring stops him at the top with his feet on row 2: nothing higher.
    for (int32_t r = 2; r < TReachLevel::Rows; ++r) {
      if (Level_.Type(c, r) == otEmpty || Level_.Type(c, r - 1) != otEmpty || Level_.Type(c, r - 2) != otEmpty) continue;
      for (int32_t dir : {-1, 1}) AddNode(48 + 16 * c - 2, 16 * r - 8, dir);
    }
  }
  struct TAction {
    uint8_t First, Then;
  };
  // Walk either way; fire (a spring, a trapdoor); turn on the spot by a
  // pixel's step and back, which sets the way a slide or transport goes.
  static constexpr TAction kActions[] = {
      {kLeft, kLeft}, {kRight, kRight}, {kFire, 0}, {kRight, kLeft}, {kLeft, kRight}};
  for (std::size_t n = 0; n < Nodes_.size(); ++n) {
    for (const TAction& a : kActions) {
      TBody b;
      b.L = &Level_;
      b.X = Nodes_[n].X;
      b.Y = Nodes_[n].Y;
      b.Dir = Nodes_[n].Dir;
      TEdge e;
      e.Kind = kWalk;
      bool ended = false;
      for (int32_t f = 0; f < kMoveLimit; ++f) {
        if (f > 0 && b.State == TBody::Walk && AlignedX(b.X)) {
          ended = true;
          break;
        }
        const int32_t c = ColumnOf(b.X + 2), r = RowOf(b.Y + 32);
        const bool walking = b.State == TBody::Walk;
        const int32_t x0 = b.X;
        b.Step(f == 0 ? a.First : a.Then);
        if (b.State == TBody::Dead) break;
        // The turn's first pixel must be a step, or it turns nothing.
        if (f == 0 && a.First != a.Then && a.Then != 0 && b.State == TBody::Walk && !b.Transported && b.X == x0) break;
        if (walking && e.Kind == kWalk && (b.State != TBody::Walk || b.Transported)) {
          e.Kind = b.Transported                ? kTransport
                   : b.State == TBody::Fall     ? kFall
                   : b.State == TBody::Spring   ? kSpring
                   : b.State == TBody::Drop     ? kDrop
                                                : kSlide;
          e.Column = c;
          e.Row = r;
        }
        ++e.Frames;
      }
      if (!ended) continue;
      const int32_t to = AddNode(b.X, b.Y, b.Dir);
      if (to == static_cast<int32_t>(n)) continue;
      e.To = to;
      auto& out = Out_[n];
      const bool known = std::any_of(out.begin(), out.end(), [&](const TEdge& o) { return o.To == to; });
      if (!known) out.push_back(e);
    }
  }
  In_.assign(Nodes_.size(), {});
  for (std::size_t n = 0; n < Nodes_.size(); ++n) {
    for (const TEdge& e : Out_[n]) In_[static_cast<std::size_t>(e.To)].push_back(static_cast<int32_t>(n));
  }

  // What standing at a node does: he eats the dot under his feet, takes the
  // piece, opens the exit, unless the floor is not there and he falls.
  DotNodes_.assign(Level_.Dots.size(), {});
  Falls_.assign(Nodes_.size(), 0);
  for (std::size_t n = 0; n < Nodes_.size(); ++n) {
    TBody b;
    b.L = &Level_;
    b.X = Nodes_[n].X;
    b.Y = Nodes_[n].Y;
    Falls_[n] = b.FallsHere() ? 1 : 0;
    if (b.FallsHere() || (b.X > 528 && b.Y == 328)) continue;
    const int32_t c = ColumnOf(b.X + 2), r = RowOf(b.Y + 32);
    const int32_t type = Level_.Type(c, r);
    const auto node = static_cast<int32_t>(n);
    if (type >= otFirstPiece && type <= otLastPiece) PieceNodes_[static_cast<std::size_t>(type - 6)].push_back(node);
    if (type == otExit) ExitNodes_.push_back(node);
    for (std::size_t d = 0; d < Level_.Dots.size(); ++d) {
      if (Level_.Dots[d].first == c && Level_.Dots[d].second == r) DotNodes_[d].push_back(node);
    }
  }
}

std::vector<uint8_t> TReach::Forward(const std::vector<int32_t>& from) const {
  std::vector<uint8_t> seen(Nodes_.size(), 0);
  std::vector<int32_t> todo;
  for (int32_t n : from) {
    if (!seen[static_cast<std::size_t>(n)]) {
      seen[static_cast<std::size_t>(n)] = 1;
      todo.push_back(n);
    }
  }
  while (!todo.empty()) {
    const int32_t n = todo.back();
    todo.pop_back();
    for (const TEdge& e : Out_[static_cast<std::size_t>(n)]) {
      if (!seen[static_cast<std::size_t>(e.To)]) {
        seen[static_cast<std::size_t>(e.To)] = 1;
        todo.push_back(e.To);
      }
    }
  }
  return seen;
}

std::vector<uint8_t> TReach::Backward(const std::vector<int32_t>& to) const {
  std::vector<uint8_t> seen(Nodes_.size(), 0);
  std::vector<int32_t> todo;
  for (int32_t n : to) {
    if (!seen[static_cast<std::size_t>(n)]) {
      seen[static_cast<std::size_t>(n)] = 1;
      todo.push_back(n);
    }
  }
  while (!todo.empty()) {
    const int32_t n = todo.back();
    todo.pop_back();
    for (int32_t p : In_[static_cast<std::size_t>(n)]) {
      if (!seen[static_cast<std::size_t>(p)]) {
        seen[static_cast<std::size_t>(p)] = 1;
        todo.push_back(p);
      }
    }
  }
  return seen;
}

// Frames of the quickest way from each node into `to` (-1: none).
std::vector<int32_t> TReach::Distances(const std::vector<int32_t>& to) const {
  std::vector<int32_t> dist(Nodes_.size(), -1);
  using TItem = std::pair<int32_t, int32_t>;
  std::priority_queue<TItem, std::vector<TItem>, std::greater<>> open;
  for (int32_t n : to) {
    dist[static_cast<std::size_t>(n)] = 0;
    open.push({0, n});
  }
  while (!open.empty()) {
    const auto [d, n] = open.top();
    open.pop();
    if (d != dist[static_cast<std::size_t>(n)]) continue;
    for (int32_t p : In_[static_cast<std::size_t>(n)]) {
      for (const TEdge& e : Out_[static_cast<std::size_t>(p)]) {
        if (e.To != n) continue;
        const int32_t nd = d + e.Frames;
        int32_t& best = dist[static_cast<std::size_t>(p)];
        if (best < 0 || nd < best) {
          best = nd;
          open.push({nd, p});
        }
      }
    }
  }
  return dist;
}

namespace {

std::vector<int32_t> Members(const std::vector<int32_t>& nodes, const std::vector<uint8_t>& set) {
  std::vector<int32_t> out;
  for (int32_t n : nodes) {
    if (set[static_cast<std::size_t>(n)]) out.push_back(n);
  }
  return out;
}

bool AnyIn(const std::vector<int32_t>& nodes, const std::vector<uint8_t>& set) {
  return std::any_of(nodes.begin(), nodes.end(), [&](int32_t n) { return set[static_cast<std::size_t>(n)] != 0; });
}

}  // namespace

void TReach::Prove() {
  ToExit_ = Backward(ExitNodes_);
  ExitFrames_ = Distances(ExitNodes_);
  if (DotMode_) {
    ProveDots();
  } else {
    ProvePieces();
  }
}

void TReach::Report(int32_t column, int32_t row, const std::string& text) {
  Problems_.push_back({column - 1, row, text});
}

// Why nothing of `targets` is reached from the nodes of `from`: the room
// from which it could be reached has no way in.
std::string TReach::Unreached(const std::vector<int32_t>& targets, const std::vector<uint8_t>& from) const {
  if (targets.empty()) return "there is no place to stand on it: he needs two free cells above a floor";
  const std::vector<uint8_t> room = Backward(targets);
  int32_t c0 = 99, c1 = -1, r0 = 99, r1 = -1;
  std::set<std::pair<int32_t, int32_t>> cells;
  for (std::size_t n = 0; n < Nodes_.size(); ++n) {
    if (!room[n]) continue;
    const int32_t c = ColumnOf(Nodes_[n].X + 2) - 1, r = RowOf(Nodes_[n].Y + 32);
    cells.insert({c, r});
    c0 = std::min(c0, c);
    c1 = std::max(c1, c);
    r0 = std::min(r0, r);
    r1 = std::max(r1, r);
  }
  auto span = [](const char* what, int32_t a, int32_t b) {
    return std::string(what) + (a == b ? " " + std::to_string(a) : "s " + std::to_string(a) + ".." + std::to_string(b));
  };
  // A room that nothing enters; that it was not entered from `from` is the
  // same thing said from the outside.
  (void)from;
  if (cells.size() == 1) return "no move ends with him standing on it";
  return "no move leads into the closed room around it (" + std::to_string(cells.size()) + " place" +
         (cells.size() == 1 ? "" : "s") + " to stand, " + span("column", c0, c1) + ", " + span("row", r0, r1) + ")";
}

// Where a move leaves him once the fall it ends in is over.
int32_t TReach::Landing(int32_t node) const {
  for (int32_t hops = 0; hops < 8; ++hops) {
    const auto& out = Out_[static_cast<std::size_t>(node)];
    if (!Falls_[static_cast<std::size_t>(node)] || out.size() != 1) break;
    node = out[0].To;
  }
  return node;
}

std::string TReach::StepText(int32_t from, const TEdge& e) const {
  const TNode& a = Nodes_[static_cast<std::size_t>(from)];
  const TNode& b = Nodes_[static_cast<std::size_t>(Landing(e.To))];
  const int32_t ca = ColumnOf(a.X + 2), ra = RowOf(a.Y + 32);
  const int32_t cb = ColumnOf(b.X + 2), rb = RowOf(b.Y + 32);
  const std::string to = " to " + At(cb, rb);
  switch (e.Kind) {
    case kFall: return "the fall at " + At(e.Column, e.Row) + to;
    case kSpring: return "the spring at " + At(e.Column, e.Row) + to;
    case kDrop: return "the trapdoor at " + At(e.Column, e.Row) + to;
    case kSlide: return "the ice run from " + At(e.Column, e.Row) + to;
    case kTransport: return "the transporter at " + At(e.Column, e.Row) + to;
    default: break;
  }
  if (Falls_[static_cast<std::size_t>(e.To)]) return "the step off the edge at " + At(ca, ra) + to;
  return "the step from " + At(ca, ra) + to;
}

// The first one-way move on the quickest way from `from` into `via` after
// which nothing of `needed` can be reached any more.
std::string TReach::CutOff(const std::vector<uint8_t>& from, const std::vector<uint8_t>& needed) const {
  std::vector<int32_t> parent(Nodes_.size(), -2);
  std::deque<int32_t> todo;
  for (std::size_t n = 0; n < Nodes_.size(); ++n) {
    if (from[n] && needed[n]) {
      parent[n] = -1;
      todo.push_back(static_cast<int32_t>(n));
    }
  }
  while (!todo.empty()) {
    const int32_t n = todo.front();
    todo.pop_front();
    for (const TEdge& e : Out_[static_cast<std::size_t>(n)]) {
      if (parent[static_cast<std::size_t>(e.To)] != -2) continue;
      if (!needed[static_cast<std::size_t>(e.To)]) return StepText(n, e);
      parent[static_cast<std::size_t>(e.To)] = n;
      todo.push_back(e.To);
    }
  }
  return "";
}

void TReach::ProvePieces() {
  const std::vector<uint8_t> fromStart = Forward({Start_});
  for (std::size_t k = 1; k <= 8; ++k) Good_[k].assign(Nodes_.size(), 0);
  Good_[8] = ToExit_;
  PieceFrames_[8] = ExitFrames_;
  for (std::size_t k = 7; k >= 1; --k) {
    const std::vector<int32_t> ready = Members(PieceNodes_[k], Good_[k + 1]);
    Good_[k] = Backward(ready);
    PieceFrames_[k] = Distances(ready);
  }
  auto cellOf = [&](int32_t type, int32_t& column, int32_t& row) {
    for (int32_t r = 0; r < TReachLevel::Rows; ++r) {
      for (int32_t c = 1; c <= 32; ++c) {
        if (Level_.Type(c, r) == type) {
          column = c;
          row = r;
          return true;
        }
      }
    }
    return false;
  };
  // Each thing that cannot be reached from the start at all.
  bool each = true;
  for (int32_t k = 1; k <= 8; ++k) {
    const int32_t type = k == 8 ? otExit : otFirstPiece + k - 1;
    const std::string name = k == 8 ? "the exit" : "piece " + std::to_string(k);
    int32_t c = 0, r = 0;
    if (!cellOf(type, c, r)) {
      Report(0, -1, name + " is not in the map");
      each = false;
      continue;
    }
    const std::vector<int32_t>& nodes = k == 8 ? ExitNodes_ : PieceNodes_[static_cast<std::size_t>(k)];
    if (!AnyIn(nodes, fromStart)) {
      Report(c, r, name + " at " + At(c, r) + " cannot be reached: " + Unreached(nodes, fromStart));
      each = false;
    }
  }
  if (!each || Good_[1][static_cast<std::size_t>(Start_)]) return;
  // Each can be reached, but not in their order: name the first that is
  // cut off by taking the one before it.
  std::vector<uint8_t> reach = fromStart;
  for (int32_t k = 1; k <= 8; ++k) {
    const std::vector<int32_t>& nodes = k == 8 ? ExitNodes_ : PieceNodes_[static_cast<std::size_t>(k)];
    const std::vector<int32_t> taken = Members(nodes, reach);
    if (taken.empty()) {
      const int32_t type = k == 8 ? otExit : otFirstPiece + k - 1;
      int32_t c = 0, r = 0;
      cellOf(type, c, r);
      const std::string name = k == 8 ? "the exit" : "piece " + std::to_string(k);
      std::string text = name + " at " + At(c, r) + " cannot be reached after piece " + std::to_string(k - 1);
      const std::vector<uint8_t> toIt = Backward(nodes);
      const std::string step = CutOff(k == 1 ? fromStart : Forward({Start_}), toIt);
      text += step.empty() ? ": no move leads back to it" : ": every way to piece " + std::to_string(k - 1) +
                                                                 " passes a one-way move after which it cannot, such as " +
                                                                 step;
      Report(c, r, text);
      return;
    }
    reach = Forward(taken);
  }
}

void TReach::ProveDots() {
  const std::vector<uint8_t> fromStart = Forward({Start_});
  const std::size_t count = Level_.Dots.size();
  ToDot_.resize(count);
  DotFrames_.resize(count);
  DotExit_.assign(count, 0);
  for (std::size_t d = 0; d < count; ++d) {
    ToDot_[d] = Backward(DotNodes_[d]);
    DotFrames_[d] = Distances(DotNodes_[d]);
    DotExit_[d] = AnyIn(DotNodes_[d], ToExit_) ? 1 : 0;
  }
  DotBefore_.assign(count, std::vector<uint8_t>(count, 0));
  for (std::size_t d = 0; d < count; ++d) {
    const std::vector<int32_t> at = Members(DotNodes_[d], fromStart);
    for (std::size_t e = 0; e < count; ++e) DotBefore_[d][e] = AnyIn(at, ToDot_[e]) ? 1 : 0;
  }
  if (!AnyIn(ExitNodes_, fromStart)) {
    Report(25, 4, "the exit at " + At(25, 4) + " cannot be reached: " + Unreached(ExitNodes_, fromStart));
  }
  std::vector<uint8_t> fine(count, 0);
  for (std::size_t d = 0; d < count; ++d) {
    const auto [c, r] = Level_.Dots[d];
    const std::string name = "the dot at " + At(c, r);
    if (!AnyIn(DotNodes_[d], fromStart)) {
      Report(c, r, name + " cannot be reached: " + Unreached(DotNodes_[d], fromStart));
    } else if (!DotExit_[d]) {
      const std::string step = CutOff(Forward(DotNodes_[d]), ToExit_);
      Report(c, r, name + " cannot be eaten on a way to the exit: after it the exit cannot be reached" +
                       (step.empty() ? std::string() : ", for " + step + " is one-way"));
    } else {
      fine[d] = 1;
    }
  }
  // Two dots neither of which can be reached after the other.
  for (std::size_t e = 0; e < count; ++e) {
    for (std::size_t d = 0; d < e && fine[e]; ++d) {
      if (!fine[d] || DotBefore_[d][e] || DotBefore_[e][d]) continue;
      const auto [ce, re] = Level_.Dots[e];
      const auto [cd, rd] = Level_.Dots[d];
      const std::string step = CutOff(fromStart, ToDot_[e]);
      Report(ce, re,
             "the dots at " + At(ce, re) + " and at " + At(cd, rd) +
                 " cannot both be eaten: after either the other cannot be reached" +
                 (step.empty() ? std::string() : " (" + step + " is one-way)"));
      break;
    }
  }
}

std::vector<std::string> TReach::CuttingSteps(std::size_t max, std::size_t& total) const {
  std::set<std::string> seen;
  std::vector<std::string> shown;
  auto add = [&](const std::string& text) {
    if (!seen.insert(text).second) return;
    if (shown.size() < max) shown.push_back(text);
  };
  if (!DotMode_) {
    std::vector<uint8_t> reach = Forward({Start_});
    for (int32_t k = 1; k <= 8; ++k) {
      const auto K = static_cast<std::size_t>(k);
      for (std::size_t n = 0; n < Nodes_.size(); ++n) {
        if (!reach[n] || !Good_[K][n]) continue;
        for (const TEdge& e : Out_[n]) {
          if (Good_[K][static_cast<std::size_t>(e.To)]) continue;
          if (Out_[static_cast<std::size_t>(Landing(e.To))].empty()) continue;
          add("before " + (k == 8 ? std::string("the exit") : "piece " + std::to_string(k)) + ": " +
              StepText(static_cast<int32_t>(n), e) + " cuts off what is still needed");
        }
      }
      if (k == 8) break;
      const std::vector<int32_t> taken = Members(Members(PieceNodes_[K], reach), Good_[K + 1]);
      reach = Forward(taken);
    }
  } else {
    const std::vector<uint8_t> reach = Forward({Start_});
    for (std::size_t n = 0; n < Nodes_.size(); ++n) {
      if (!reach[n]) continue;
      for (const TEdge& e : Out_[n]) {
        // A step into a fall that kills him is no choice of order.
        if (Out_[static_cast<std::size_t>(Landing(e.To))].empty()) continue;
        std::vector<std::string> lost;
        for (std::size_t d = 0; d < Level_.Dots.size(); ++d) {
          if (ToDot_[d][n] && !ToDot_[d][static_cast<std::size_t>(e.To)]) {
            lost.push_back(At(Level_.Dots[d].first, Level_.Dots[d].second));
          }
        }
        if (ToExit_[n] && !ToExit_[static_cast<std::size_t>(e.To)]) lost.push_back("the exit");
        if (lost.empty()) continue;
        std::string text = StepText(static_cast<int32_t>(n), e) + " cuts off the dot" + (lost.size() > 1 ? "s" : "") +
                           " at " + lost[0];
        for (std::size_t i = 1; i < lost.size() && i < 4; ++i) text += "; " + lost[i];
        if (lost.size() > 4) text += " and " + std::to_string(lost.size() - 4) + " more";
        add(text);
      }
    }
  }
  total = seen.size();
  return shown;
}

bool TReach::CanFinish(int32_t node, int32_t nextPiece, const std::vector<uint8_t>& left) const {
  if (node < 0) return true;
  const auto n = static_cast<std::size_t>(node);
  if (!DotMode_) return nextPiece >= 1 && nextPiece <= 8 ? Good_[static_cast<std::size_t>(nextPiece)][n] != 0 : true;
  bool any = false;
  for (std::size_t d = 0; d < left.size() && d < ToDot_.size(); ++d) {
    if (!left[d]) continue;
    any = true;
    if (!ToDot_[d][n] || !DotExit_[d]) return false;
    for (std::size_t e = 0; e < d; ++e) {
      if (left[e] && !DotBefore_[d][e] && !DotBefore_[e][d]) return false;
    }
  }
  return any || ToExit_[n] != 0;
}

int32_t TReach::FramesToNext(int32_t node, int32_t nextPiece, const std::vector<uint8_t>& left) const {
  if (node < 0) return -1;
  const auto n = static_cast<std::size_t>(node);
  if (!DotMode_) {
    return nextPiece >= 1 && nextPiece <= 8 ? PieceFrames_[static_cast<std::size_t>(nextPiece)][n] : -1;
  }
  // The dots that can come first: those after which most of the others can
  // still be reached; of those the nearest.
  int32_t bestRank = -1, best = -1;
  for (std::size_t d = 0; d < left.size() && d < ToDot_.size(); ++d) {
    if (!left[d] || !ToDot_[d][n]) continue;
    int32_t rank = 0;
    for (std::size_t e = 0; e < left.size(); ++e) rank += left[e] && DotBefore_[d][e] ? 1 : 0;
    const int32_t frames = DotFrames_[d][n];
    if (rank > bestRank || (rank == bestRank && frames < best)) {
      bestRank = rank;
      best = frames;
    }
  }
  return bestRank < 0 ? ExitFrames_[n] : best;
}

}  // namespace vgrdata

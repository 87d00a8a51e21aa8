#pragma once
// Where the professor can get on a level, worked out with his own rules of
// movement before anything is searched: every place he can stand, every move
// from there (a walk, a fall he survives, a spring, a trapdoor, an ice run, a
// transporter), and from that which pieces, dots and exit can be reached at
// all, in which order, and which one-way moves cut something needed off.
//
// The model leaves out what only makes a level harder: monsters, the meter,
// the time a move takes. So it may find a way where the game has none, but
// when it finds none the level cannot be finished: an "unsolvable" verdict is
// a proof, and the solver's search uses the same model to drop states from
// which nothing can finish and to choose which dot to eat first.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class TMap;
class TXMap;

namespace vgrdata {

// The level as the professor's rules read it: object types of map columns
// 0..33 (the room is 1..32) and rows 0..21, where a wire is already what a
// shock leaves of it (it carries him the same; the shock only costs time).
struct TReachLevel {
  static constexpr int32_t Columns = 34;
  static constexpr int32_t Rows = 22;
  std::array<int8_t, Columns * Rows> Types{};
  std::vector<std::pair<int32_t, int32_t>> Dots;  // map column, row
  int32_t StartX = 126;
  int32_t StartY = 56;

  // As the game reads a cell: outside the map is empty.
  int32_t Type(int32_t column, int32_t row) const {
    if (column < 0 || row < 0 || column >= Columns || row >= Rows) return 0;
    return Types[static_cast<std::size_t>(row * Columns + column)];
  }
  void SetType(int32_t column, int32_t row, int32_t type) {
    Types[static_cast<std::size_t>(row * Columns + column)] = static_cast<int8_t>(type);
  }
};

// A construction piece (a 32 x 22 MAPT map) as the level assembly builds it,
// with `typeOf` giving the type of an object number; the dots only when
// `withDots` and the piece has a dot line.
TReachLevel ReachLevelFromPiece(const TXMap& piece, const std::function<int32_t(int32_t)>& typeOf, bool withDots);
// The level being played, as LoadLevel built it (dots as they are now).
TReachLevel ReachLevelFromMap(const TMap& map, bool interim);

// What the analysis proves, by cell. Columns and rows are those of the piece
// file (0..31, 0..21), as `level check` counts them; a row of -1 is about
// the whole piece.
struct TReachProblem {
  int32_t Column = 0;
  int32_t Row = 0;
  std::string Text;
};

class TReach {
 public:
  // `dots`: the Za.Raroz mode, where the pieces are done and every dot
  // counts; otherwise pieces 1..7 in their order, then the exit.
  TReach(const TReachLevel& level, bool dots);

  // False when no sequence of moves finishes the level; Problems() says why.
  bool Finishable() const { return Problems_.empty(); }
  const std::vector<TReachProblem>& Problems() const { return Problems_; }
  // The one-way moves after which something still needed cannot be reached
  // (eat the dots first, take the piece first), at most `max`, and how many
  // there are in all.
  std::vector<std::string> CuttingSteps(std::size_t max, std::size_t& total) const;
  std::size_t NodeCount() const { return Nodes_.size(); }
  std::size_t EdgeCount() const;

  // For the search: the place where the professor stands walking on the
  // column grid, -1 when the model does not know it.
  int32_t NodeAt(int32_t x, int32_t y, int32_t dir) const;
  // Whether the level can still be finished from `node` with `nextPiece` to
  // take (8: none) and the dots `left` (indexed like the level's Dots).
  bool CanFinish(int32_t node, int32_t nextPiece, const std::vector<uint8_t>& left) const;
  // The frames the model needs from `node` to the next thing to do: the next
  // piece, the dot that must come first, or the exit; -1 when unknown.
  int32_t FramesToNext(int32_t node, int32_t nextPiece, const std::vector<uint8_t>& left) const;

  struct TNode {
    int32_t X = 0, Y = 0, Dir = 0;
  };
  struct TEdge {
    int32_t To = 0;
    int32_t Frames = 0;
    uint8_t Kind = 0;  // what the move does: walk, fall, spring, drop, slide, transport
    int32_t Column = 0, Row = 0;  // map cell where the move leaves the walk
  };

 private:
  int32_t AddNode(int32_t x, int32_t y, int32_t dir);
  void Build();
  std::vector<uint8_t> Forward(const std::vector<int32_t>& from) const;
  std::vector<uint8_t> Backward(const std::vector<int32_t>& to) const;
  std::vector<int32_t> Distances(const std::vector<int32_t>& to) const;
  void Prove();
  void ProvePieces();
  void ProveDots();
  std::string Unreached(const std::vector<int32_t>& targets, const std::vector<uint8_t>& from) const;
  std::string StepText(int32_t from, const TEdge& e) const;
  int32_t Landing(int32_t node) const;
  std::string CutOff(const std::vector<uint8_t>& from, const std::vector<uint8_t>& needed) const;
  void Report(int32_t column, int32_t row, const std::string& text);

  TReachLevel Level_;
  bool DotMode_;
  std::vector<TNode> Nodes_;
  std::unordered_map<int64_t, int32_t> Index_;
  std::vector<std::vector<TEdge>> Out_;
  std::vector<std::vector<int32_t>> In_;
  int32_t Start_ = -1;
  // Nodes standing on each piece, on each dot, on the exit.
  std::array<std::vector<int32_t>, 8> PieceNodes_;
  std::vector<std::vector<int32_t>> DotNodes_;
  std::vector<int32_t> ExitNodes_;
  std::vector<uint8_t> Falls_;  // standing there, he falls at once
  // Pieces: Good_[k][n] when, with piece k next, the level can be finished
  // from n. Dots: ToDot_[d][n] when dot d can be reached from n; DotBefore_
  // [d][e] when e can be reached after d; DotExit_[d] when the exit can.
  std::array<std::vector<uint8_t>, 9> Good_;
  std::vector<std::vector<uint8_t>> ToDot_;
  std::vector<std::vector<uint8_t>> DotBefore_;
  std::vector<uint8_t> DotExit_;
  std::vector<uint8_t> ToExit_;
  std::array<std::vector<int32_t>, 9> PieceFrames_;
  std::vector<std::vector<int32_t>> DotFrames_;
  std::vector<int32_t> ExitFrames_;
  std::vector<TReachProblem> Problems_;
};

}  // namespace vgrdata

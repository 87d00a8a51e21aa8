#include "LevelCommand.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>

#include "LevelReach.h"
#include "LevelSolve.h"
#include "Logger.h"
#include "ToolFiles.h"
#include "ToolScopes.h"
#include "VGRMapUnit.h"
#include "VGRResourceTypesUnit.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

namespace vgrdata {

namespace {

const char* const kUsage =
    "usage: vgrdata level <subcommand> ...\n"
    "  check PACK|PIECE... [--objects FILE]\n"
    "        check level pieces (MAPT files such as 01.mpp) or a whole map pack (Zapkin.mpk)\n"
    "        against the rules a playable level keeps; FILE is the object list (default\n"
    "        objects.lst in the current folder). Every broken rule is printed as\n"
    "        PIECE: column C, row R: what is wrong [rule]; the exit code is 1 when any is.\n"
    "        Columns and rows are those of the piece file (0..31, 0..21). Rules:\n"
    "          size       the piece is 32 x 22 and loads without complaint\n"
    "          object     every cell holds an object of the object list (or is blank)\n"
    "          lines      background line, five monster lines and, on construction\n"
    "                     pieces (01..25), the dot line\n"
    "          background the first extra line names an object\n"
    "          props      no cell the level draws (any object but the blank) lies over the\n"
    "                     room's fixed pictures: the lives plaque, and on construction pieces\n"
    "                     the paintings, lamp, shelf, meter, creature machine and TNT, on the\n"
    "                     interim piece the creature's crate, the TNT and the pipe\n"
    "          start      the professor's start (columns 3..5, rows 2..3) is free and stands\n"
    "                     on solid or slow floor at column 4, row 4\n"
    "          pieces     body pieces 1..7 each exactly once\n"
    "          exit       the exit door at column 24, row 4 with free room above it\n"
    "          monster    record \"row,left,right,start,speed,number\": rows 0..20,\n"
    "                     left+1 <= start <= right-1, right <= 30, speed +-1..4, number\n"
    "                     1..20; free cells along the patrol (columns left..right+1) and\n"
    "                     a floor under all of them; not over the professor's start\n"
    "          dots       176 hexadecimal digits (0-9, A-F); every dot on a floor cell\n"
    "                     with room for the professor above it\n"
    "          slide      no ice run that carries the professor into a wall or off the room\n"
    "          transport  no transporter that puts his body (the landing column and\n"
    "                     both beside it) into a wall or off the room\n"
    "          wire       every wire's burnt form (its number + 1) is in the object list\n"
    "                     and still carries him\n"
    "          pack       a pack holds the pieces 01.mpp..26.mpp\n"
    "  solve ARCHIVE|PACK MAP|--game|--interim-seeds N ...\n"
    "        find a way through a map with the game's own rules and write it as a\n"
    "        replay (vgrdata level solve --help)\n";

constexpr int32_t kCols = 32;
constexpr int32_t kRows = 22;
constexpr int32_t kStartCol = 4;  // the cell under the professor's feet at the start
constexpr int32_t kStartRow = 4;
constexpr int32_t kExitCol = 24;  // the exit cell the level assembly places
constexpr int32_t kExitRow = 4;
constexpr int32_t kMonsterKinds = 20;
constexpr int32_t kMaxSpeed = 4;


// Object number -> type, read with the rules the game reads "objects.lst" by.
class TObjectTypes {
 public:
  bool Load(const std::string& file, std::ostream& err) {
    std::vector<uint8_t> data = ReadInputFile(file);
    TMemoryStream s(std::move(data));
    TLineReader reader(s);
    TRTypeList aliases;
    std::string line;
    bool ended = false;
    while (reader.ReadLine(line)) {
      if (line.empty() || line[0] == ';' || line[0] == '%' || line[0] == '>') continue;
      std::string upper = line;
      std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
      if (upper == "!END") {
        ended = true;
        break;
      }
      const std::size_t comma = line.find(',');
      if (line[0] == '#') {
        int32_t value = 0;
        if (comma != std::string::npos && TryStrToInt(line.substr(comma + 1), value)) {
          aliases.Add(line.substr(1, comma - 1), value);
        }
        continue;
      }
      if (comma == std::string::npos) continue;
      const std::size_t comma2 = line.find(',', comma + 1);
      if (comma2 == std::string::npos) continue;
      int32_t number = 0;
      const int32_t type = aliases.Find(line.substr(comma2 + 1));
      if (type < 0 || !TryStrToInt(line.substr(comma + 1, comma2 - comma - 1), number)) continue;
      Types_.emplace(number, type);  // the first definition of a number wins, as in the game
    }
    if (!ended) {
      err << "vgrdata level: " << file << " has no !END line\n";
      return false;
    }
    return true;
  }

  bool Defined(int32_t number) const { return Types_.count(number) != 0; }
  // 0 for object 0 and for numbers no line defines, as the game has it.
  int32_t TypeOf(int32_t number) const {
    const auto it = Types_.find(number);
    return number == 0 || it == Types_.end() ? 0 : it->second;
  }

 private:
  std::map<int32_t, int32_t> Types_;
};

std::string TypeName(int32_t type) {
  static const char* const names[] = {"empty",   "solid", "wire",    "ice",     "transporter", "slow floor",
                                      "trapdoor", "piece 1", "piece 2", "piece 3", "piece 4", "piece 5",
                                      "piece 6", "piece 7", "piece 8", "spring",  "exit"};
  return type >= 0 && type <= 16 ? names[type] : "type " + std::to_string(type);
}

// The room's fixed pictures, which the game draws under the tiles: the
// bounds of their drawn pixels on the screen, inclusive. A piece cell
// (c, r) covers (64 + 16c, 24 + 16r) to 15 pixels right and down.
enum class TRoom { Any, Construction, Interim };
struct TFixedProp {
  const char* Name;
  int32_t X1, Y1, X2, Y2;
  TRoom Room;
};
constexpr TFixedProp kFixedProps[] = {
    {"the lives plaque", 72, 41, 103, 86, TRoom::Any},
    {"the painting of the castle", 128, 24, 167, 59, TRoom::Construction},
    {"the lamp", 176, 24, 199, 66, TRoom::Construction},
    {"the blueprint", 224, 24, 271, 63, TRoom::Construction},
    {"the shelf", 312, 35, 383, 71, TRoom::Construction},
    {"the meter", 392, 26, 455, 53, TRoom::Construction},
    {"the creature's machine", 472, 40, 559, 119, TRoom::Construction},
    {"the cable", 562, 30, 575, 55, TRoom::Construction},
    {"the TNT", 462, 72, 471, 87, TRoom::Construction},
    {"the creature's crate", 104, 29, 151, 119, TRoom::Interim},
    {"the TNT", 546, 56, 555, 71, TRoom::Interim},
    {"the pipe", 544, 342, 575, 359, TRoom::Interim},
};

// One piece under check. Cells are read as the level assembly makes them:
// blank is object 0, the invisible walls of the top corners and the exit
// are laid over construction pieces, outside the room is wall.
class TPieceCheck {
 public:
  TPieceCheck(std::string name, const TXMap& map, const TObjectTypes& types, bool construction,
              std::vector<std::string>& problems, bool interim = false)
      : Name_(std::move(name)),
        Map_(map),
        Types_(types),
        Construction_(construction),
        Interim_(interim),
        Problems_(problems) {}

  void Run() {
    if (Map_.Width != kCols || Map_.Height != kRows) {
      Piece("size", "the map is " + std::to_string(Map_.Width) + " x " + std::to_string(Map_.Height) +
                        "; a level piece is 32 x 22");
      return;
    }
    CheckObjects();
    CheckLines();
    CheckFixedProps();
    if (Construction_) {
      CheckStart();
      CheckPieces();
      CheckExit();
      CheckDots();
    }
    CheckMonsters();
    CheckSlidesAndTransports();
    CheckWires();
    if (Construction_) CheckReach();
  }

 private:
  int32_t Object(int32_t c, int32_t r) const {
    const int32_t v = Map_.GetPhysicalTile(c, r);
    return v == 0 ? 0 : v - 32;
  }

  int32_t Type(int32_t c, int32_t r) const {
    if (c < 0 || c >= kCols || r < 0 || r >= kRows) return otSolid;
    if (Construction_) {
      if (r <= 3 && (c <= 2 || c >= 25)) return otSolid;
      if (c == kExitCol && r == kExitRow) return otExit;
    }
    return Types_.TypeOf(Object(c, r));
  }

  // Room for the professor's body standing with his feet on (c, r).
  bool BodyFree(int32_t c, int32_t r) const { return Type(c, r - 1) == otEmpty && Type(c, r - 2) == otEmpty; }

  void Piece(const std::string& rule, const std::string& text) {
    Problems_.push_back(Name_ + ": " + text + " [" + rule + "]");
  }
  void Cell(int32_t c, int32_t r, const std::string& rule, const std::string& text) {
    Problems_.push_back(Name_ + ": column " + std::to_string(c) + ", row " + std::to_string(r) + ": " + text + " [" +
                        rule + "]");
  }

  void CheckObjects() {
    for (int32_t r = 0; r < kRows; ++r) {
      for (int32_t c = 0; c < kCols; ++c) {
        const int32_t v = Map_.GetPhysicalTile(c, r);
        if (v == 32) continue;
        if (v < 32 || !Types_.Defined(v - 32)) {
          Cell(c, r, "object",
               "character code " + std::to_string(v) + " is object " + std::to_string(v - 32) +
                   ", which the object list does not define");
        }
      }
    }
  }

  void CheckLines() {
    const std::vector<std::string>& lines = Map_.ExtraLines;
    const std::size_t wanted = Construction_ ? 7 : 6;
    if (lines.size() < wanted || (Construction_ && lines.size() != wanted)) {
      Piece("lines", "the piece has " + std::to_string(lines.size()) + " extra lines; " +
                         (Construction_ ? "a construction piece has 7 (background, five monsters, dots)"
                                        : "it needs 6 (background, five monsters)"));
    }
    if (lines.empty()) return;
    int32_t background = 0;
    if (!TryStrToInt(lines[0], background) || background < 0 || background > 255) {
      Piece("background", "the background line \"" + lines[0] + "\" is not an object number");
    } else if (background != 0 && !Types_.Defined(background)) {
      Piece("background", "the background object " + std::to_string(background) + " is not in the object list");
    }
  }

  // The level draws every cell that is not blank over the room's fixed
  // pictures, walls and floors as much as decorations; none may lie on one.
  // The end screens' stage is never drawn and has none.
  void CheckFixedProps() {
    if (!Construction_ && !Interim_) return;
    for (int32_t r = 0; r < kRows; ++r) {
      for (int32_t c = 0; c < kCols; ++c) {
        const int32_t object = Object(c, r);
        if (object == 0 || !Types_.Defined(object)) continue;
        const int32_t type = Types_.TypeOf(object);
        const std::string what = type == otEmpty ? std::string("the decoration") : "the " + TypeName(type);
        const int32_t x = 64 + 16 * c, y = 24 + 16 * r;
        for (const TFixedProp& prop : kFixedProps) {
          if (prop.Room == (Construction_ ? TRoom::Interim : TRoom::Construction)) continue;
          if (x > prop.X2 || x + 15 < prop.X1 || y > prop.Y2 || y + 15 < prop.Y1) continue;
          Cell(c, r, "props",
               what + " (object " + std::to_string(object) + ") covers " + prop.Name + " (x " +
                   std::to_string(prop.X1) + ".." + std::to_string(prop.X2) + ", y " + std::to_string(prop.Y1) +
                   ".." + std::to_string(prop.Y2) + ")");
        }
      }
    }
  }

  void CheckStart() {
    const int32_t floor = Type(kStartCol, kStartRow);
    if (floor != otSolid && floor != otSlowFloor) {
      Cell(kStartCol, kStartRow, "start",
           "the professor starts standing here, on " + TypeName(floor) + "; the start floor must be solid or slow");
    }
    for (int32_t r = kStartRow - 2; r < kStartRow; ++r) {
      for (int32_t c = kStartCol - 1; c <= kStartCol + 1; ++c) {
        if (Type(c, r) != otEmpty) Cell(c, r, "start", "the professor's start place is taken by " + TypeName(Type(c, r)));
      }
    }
  }

  void CheckPieces() {
    std::array<std::vector<std::pair<int32_t, int32_t>>, 7> seen;
    for (int32_t r = 0; r < kRows; ++r) {
      for (int32_t c = 0; c < kCols; ++c) {
        const int32_t t = Type(c, r);
        if (t >= otFirstPiece && t < otFirstPiece + 7) seen[static_cast<std::size_t>(t - otFirstPiece)].push_back({c, r});
      }
    }
    for (std::size_t k = 0; k < seen.size(); ++k) {
      const std::string piece = "body piece " + std::to_string(k + 1);
      if (seen[k].empty()) Piece("pieces", piece + " is missing; each of the seven lies in the room exactly once");
      for (std::size_t i = 1; i < seen[k].size(); ++i) {
        Cell(seen[k][i].first, seen[k][i].second, "pieces",
             piece + " again; it already lies at column " + std::to_string(seen[k][0].first) + ", row " +
                 std::to_string(seen[k][0].second));
      }
    }
  }

  void CheckExit() {
    const int32_t shown = Types_.TypeOf(Object(kExitCol, kExitRow));
    if (shown != otExit) {
      Cell(kExitCol, kExitRow, "exit", "the exit works here but the cell shows " + TypeName(shown) + ", not an exit door");
    }
    for (int32_t r = kExitRow - 2; r < kExitRow; ++r) {
      if (Type(kExitCol, r) != otEmpty) {
        Cell(kExitCol, r, "exit", "the professor cannot stand on the exit: " + TypeName(Type(kExitCol, r)) + " above it");
      }
    }
  }

  void CheckMonsters() {
    const std::vector<std::string>& lines = Map_.ExtraLines;
    for (std::size_t slot = 0; slot < 5 && slot + 1 < lines.size(); ++slot) {
      const std::string& line = lines[slot + 1];
      if (line == ".") continue;
      const std::string where = "monster " + std::to_string(slot + 1) + " (\"" + line + "\")";
      std::vector<int32_t> v;
      std::stringstream fields(!line.empty() && line.back() == ',' ? line.substr(0, line.size() - 1) : line);
      std::string field;
      bool numbers = true;
      while (std::getline(fields, field, ',')) {
        int32_t n = 0;
        numbers = numbers && TryStrToInt(field, n);
        v.push_back(n);
      }
      if (!numbers || v.size() != 6) {
        Piece("monster", where + " is not \".\" or six numbers row,left,right,start,speed,number");
        continue;
      }
      const int32_t row = v[0], left = v[1], right = v[2], start = v[3], speed = v[4], kind = v[5];
      bool ranges = true;
      auto need = [&](bool ok, const std::string& text) {
        if (!ok) Piece("monster", where + ": " + text);
        ranges = ranges && ok;
      };
      need(row >= 0 && row < kRows - 1, "row " + std::to_string(row) + " leaves no floor row under it (rows 0..20)");
      need(left >= 0 && right <= kCols - 2 && left + 2 <= right,
           "columns " + std::to_string(left) + ".." + std::to_string(right) +
               ": the patrol covers columns left..right+1, so 0 <= left, left+2 <= right <= 30");
      need(start > left && start < right,
           "start column " + std::to_string(start) + " must lie strictly between left and right, or it turns for ever");
      need(speed != 0 && speed >= -kMaxSpeed && speed <= kMaxSpeed,
           "speed " + std::to_string(speed) + " must be -4..-1 or 1..4 frames per step");
      need(kind >= 1 && kind <= kMonsterKinds, "monster number " + std::to_string(kind) + " is not 1..20");
      if (!ranges) continue;
      for (int32_t c = left; c <= right + 1; ++c) {
        if (Type(c, row) != otEmpty) Cell(c, row, "monster", where + " walks through " + TypeName(Type(c, row)));
        if (Type(c, row + 1) == otEmpty) Cell(c, row + 1, "monster", where + " has no floor under its patrol here");
      }
      if (Construction_ && (row == kStartRow - 2 || row == kStartRow - 1) && left <= kStartCol + 1 &&
          right + 1 >= kStartCol - 1) {
        Piece("monster", where + " patrols over the professor's start place");
      }
    }
  }

  void CheckDots() {
    if (Map_.ExtraLines.size() < 7) return;
    const std::string& dots = Map_.ExtraLines[6];
    if (dots.size() != 176) {
      Piece("dots", "the dot line has " + std::to_string(dots.size()) + " characters; it needs 176 hexadecimal digits");
      return;
    }
    for (std::size_t i = 0; i < dots.size(); ++i) {
      const char ch = dots[i];
      const bool digit = (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F');
      if (!digit) {
        Piece("dots", "character " + std::to_string(i + 1) + " of the dot line ('" + std::string(1, ch) +
                          "') is not a digit 0-9 or A-F");
        continue;
      }
      const int32_t value = ch <= '9' ? ch - '0' : ch - 'A' + 10;
      for (int32_t b = 0; b < 4; ++b) {
        if ((value & (8 >> b)) == 0) continue;
        const int32_t cell = static_cast<int32_t>(i) * 4 + b;
        const int32_t c = cell % kCols, r = cell / kCols;
        if (Type(c, r) == otEmpty) {
          Cell(c, r, "dots", "a dot on an empty cell can never be eaten: dots lie on the floor under the feet");
        } else if (!BodyFree(c, r)) {
          Cell(c, r, "dots", "a dot the professor cannot stand on: no free room for him above it");
        }
      }
    }
  }

  // The professor's body, standing with his feet on (c, r), reaches two
  // pixels into the columns beside c: a slide or transport must leave all
  // three columns free above the floor.
  bool BodyRoom(int32_t c, int32_t r, int32_t& blocked) const {
    for (int32_t k : {0, -1, 1}) {
      if (!BodyFree(c + k, r)) {
        blocked = c + k;
        return false;
      }
    }
    return true;
  }

  static std::string Where(int32_t column) {
    return column < 0 || column >= kCols ? std::string("the edge of the room") : "a wall at column " + std::to_string(column);
  }

  void CheckSlidesAndTransports() {
    for (int32_t r = 0; r < kRows; ++r) {
      for (int32_t c = 0; c < kCols; ++c) {
        const int32_t t = Type(c, r);
        if ((t != otIce && t != otTransporter) || !BodyFree(c, r)) continue;
        for (int32_t dir : {-1, 1}) {
          const std::string way = dir < 0 ? "left" : "right";
          int32_t blocked = 0;
          if (t == otIce) {
            // The slide goes cell by cell until the feet leave the ice.
            int32_t e = c;
            do {
              e += dir;
              if (!BodyRoom(e, r, blocked)) {
                Cell(c, r, "slide", "sliding " + way + " from here runs into " + Where(blocked));
                break;
              }
            } while (Type(e, r) == otIce);
          } else {
            const int32_t e = c + 2 * dir;
            if (e < 0 || e >= kCols) {
              Cell(c, r, "transport", "transporting " + way + " from here leaves the room");
            } else if (!BodyRoom(e, r, blocked)) {
              Cell(c, r, "transport",
                   "transporting " + way + " from here puts the professor's body into " + Where(blocked));
            }
          }
        }
      }
    }
  }

  void CheckWires() {
    for (int32_t r = 0; r < kRows; ++r) {
      for (int32_t c = 0; c < kCols; ++c) {
        if (Types_.TypeOf(Object(c, r)) != otWire) continue;
        // A shock raises the object number by one; burnt forms may be wires again.
        int32_t n = Object(c, r);
        for (int32_t steps = 0; steps < 256 && Types_.TypeOf(n) == otWire; ++steps) ++n;
        if (!Types_.Defined(n)) {
          Cell(c, r, "wire", "the wire (object " + std::to_string(Object(c, r)) + ") burns into object " +
                                 std::to_string(n) + ", which the object list does not define");
        } else if (Types_.TypeOf(n) == otEmpty) {
          Cell(c, r, "wire", "the wire (object " + std::to_string(Object(c, r)) + ") burns into object " +
                                 std::to_string(n) + ", which is empty: the professor would fall through");
        }
      }
    }
  }

  // The professor's own moves, without monsters or meter, must lead through
  // the pieces in order to the exit, and in the Za.Raroz mode through every
  // dot: what they cannot, nothing can.
  void CheckReach() {
    const TReachLevel level = ReachLevelFromPiece(Map_, [this](int32_t n) { return Types_.TypeOf(n); }, true);
    for (const bool dots : {false, true}) {
      if (dots && level.Dots.empty()) continue;
      const TReach reach(level, dots);
      for (const TReachProblem& p : reach.Problems()) {
        const std::string text = (dots ? "in the Za.Raroz mode, " : "") + p.Text;
        if (p.Row < 0) {
          Piece("reach", text);
        } else {
          Cell(p.Column, p.Row, "reach", text);
        }
      }
    }
  }

  std::string Name_;
  const TXMap& Map_;
  const TObjectTypes& Types_;
  bool Construction_;
  bool Interim_;
  std::vector<std::string>& Problems_;
};

// The number a piece's name starts with ("07.mpp" -> 7), or 0.
int32_t PieceNumber(const std::string& name) {
  std::size_t i = 0;
  int32_t n = 0;
  while (i < name.size() && i < 3 && name[i] >= '0' && name[i] <= '9') n = n * 10 + (name[i++] - '0');
  return i == 0 ? 0 : n;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Construction pieces are 01..25; a piece without a number is taken for one,
// since that is what a designer drafts.
bool IsConstruction(const std::string& name) {
  const int32_t n = PieceNumber(name);
  return n < 26;
}

void CheckMapBytes(const std::string& name, std::vector<uint8_t> bytes, const TObjectTypes& types,
                   std::vector<std::string>& problems) {
  TXMap map;
  std::vector<std::string> complaints;
  {
    TCollectedLog log;
    TMemoryStream s(std::move(bytes));
    map.Load(s);
    complaints = log.Complaints();
  }
  if (map.LastResult != "OK") problems.push_back(name + ": " + map.LastResult + " [size]");
  // A piece of many extra rows draws one complaint per row: each one is told
  // once, with how often it came.
  std::vector<std::pair<std::string, std::size_t>> distinct;
  for (const std::string& c : complaints) {
    auto it = std::find_if(distinct.begin(), distinct.end(), [&](const auto& d) { return d.first == c; });
    if (it == distinct.end()) distinct.emplace_back(c, 1);
    else ++it->second;
  }
  for (const auto& [c, times] : distinct) {
    problems.push_back(name + ": the map reader complains: " + c +
                       (times > 1 ? " (" + std::to_string(times) + " times)" : std::string()) + " [size]");
  }
  TPieceCheck(name, map, types, IsConstruction(name), problems, PieceNumber(name) == 26).Run();
}

int Check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string objects = "objects.lst";
  std::vector<std::string> files;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--objects" && i + 1 < args.size()) {
      objects = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      err << "vgrdata level: unknown option '" << args[i] << "'\n" << kUsage;
      return 2;
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.empty()) {
    err << kUsage;
    return 2;
  }
  TObjectTypes types;
  if (!types.Load(objects, err)) return 1;

  std::vector<std::string> problems;
  std::size_t pieces = 0;
  for (const std::string& file : files) {
    std::vector<uint8_t> data = ReadInputFile(file);
    const std::string magic(data.begin(), data.begin() + std::min<std::size_t>(4, data.size()));
    if (magic == "MPCK" || magic == "MPKT" || magic == "MPKB") {
      TXMapPack pack;
      {
        TCollectedLog log;
        TMemoryStream s(std::move(data));
        pack.Load(s);
      }
      for (int32_t n = 1; n <= 26; ++n) {
        const std::string want = (n < 10 ? "0" : "") + std::to_string(n) + ".mpp";
        if (pack.IndexOf(want) < 0) problems.push_back(BaseName(file) + ": the pack has no piece " + want + " [pack]");
      }
      for (const TXMapPackEntry& e : pack.Entries) {
        CheckMapBytes(e.Name, e.Data->Data, types, problems);
        ++pieces;
      }
    } else {
      CheckMapBytes(BaseName(file), std::move(data), types, problems);
      ++pieces;
    }
  }
  // Names and texts come from the files: control bytes would act on the terminal.
  for (const std::string& p : problems) err << LogEscaped(p) << "\n";
  if (!problems.empty()) {
    err << "vgrdata level: " << problems.size() << " problem" << (problems.size() == 1 ? "" : "s") << " in "
        << pieces << " piece" << (pieces == 1 ? "" : "s") << "\n";
    return 1;
  }
  out << pieces << " piece" << (pieces == 1 ? "" : "s") << " checked, no problems\n";
  return 0;
}

}  // namespace

int LevelCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty() && args[0] == "check") return Check(args, out, err);
  if (!args.empty() && args[0] == "solve") return SolveCommand(args, out, err);
  if (args.size() > 1 && args[0] == "--help" && args[1] == "solve") return SolveCommand({"solve", "--help"}, out, err);
  if (!args.empty() && (args[0] == "--help" || args[0] == "help")) {
    out << kUsage;
    return 0;
  }
  if (!args.empty()) err << "vgrdata level: unknown subcommand '" << args[0] << "'\n";
  err << kUsage;
  return 2;
}

}  // namespace vgrdata

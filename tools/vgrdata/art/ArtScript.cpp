#include "ArtScript.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <filesystem>
#include <set>
#include <sstream>

#include "FontRaster.h"
#include "RawPictureUnit.h"
#include "TgaWriter.h"
#include "ToolFiles.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

namespace vgrdata {

const char* const kArtHelp =
    "Picture commands (coordinates relative to the current frame, inclusive corners, clipped):\n"
    "  frame N                      draw into frame N from here on\n"
    "  fill C | clear               paint the whole frame with C | black\n"
    "  dot X Y C                    one pixel\n"
    "  rect X1 Y1 X2 Y2 C           filled rectangle;  box ...: its outline only\n"
    "  line X1 Y1 X2 Y2 C           straight line\n"
    "  disc CX CY R C               filled circle;  circle ...: its outline only\n"
    "  ellipse X1 Y1 X2 Y2 C        filled ellipse in that box\n"
    "  ball X1 Y1 X2 Y2 C           ellipse shaded as a sphere lit from the top left\n"
    "  vgrad|hgrad X1 Y1 X2 Y2 C1 C2 [C3...]  ordered-dither ramp top to bottom | left to right\n"
    "  grid X Y [SCALE]             the following rows until \"end\": one grid key per pixel,\n"
    "                               \".\" and blank leave the pixel, \"_\" paints black\n"
    "  stamp NAME X Y [H] [V] [2] [frame=K]   another picture, its black left out; H/V mirror\n"
    "                               (frame by frame for a strip), 2 doubles it\n"
    "  text X Y SIZE FACE C1[,C2...] \"TEXT\" [center] [spacing=N]  outline-font text, crisp,\n"
    "                               coloured top to bottom; FACE: sans, sans-bold, serif,\n"
    "                               serif-bold, mono-bold, condensed-bold\n"
    "  shade [X1 Y1 X2 Y2]          light tone on top/left edges, dark tone on bottom/right edges\n"
    "  outline C [8] [all]          black pixels touching a drawn pixel become C (every frame)\n"
    "  silhouette C | edge C        every drawn pixel becomes C | only the rim, inside cleared\n"
    "  darken|lighten X1 Y1 X2 Y2   one tone darker | lighter\n"
    "  replace C1 C2 [X1 Y1 X2 Y2]  recolour\n"
    "  noise X1 Y1 X2 Y2 C PERCENT [SEED]  speckle drawn pixels\n"
    "  checker X1 Y1 X2 Y2 C [ON]   every other pixel (only where the colour is ON)\n"
    "  symmetry                     mirror the left half of the frame onto the right half\n"
    "  copyframe A B [H]            copy frame A onto frame B, optionally mirrored\n";

namespace {

constexpr int kMaxSide = 4096;

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    if (line[i] == '"') {
      const size_t end = line.find('"', i + 1);
      out.push_back("\"" + line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1));
      i = end == std::string::npos ? line.size() : end + 1;
      continue;
    }
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return s.substr(a, b - a);
}

bool ToInt(const std::string& s, int& v) {
  // At most nine digits, so that every value fits 32 bits with room to add;
  // art scripts write no "+".
  TDecimalRule rule;
  rule.PlusSign = false;
  rule.MaxDigits = 9;
  return StrToInt32(s, v, rule);
}

// 4x4 ordered-dither thresholds, 0..15.
int Bayer(int x, int y) {
  static const int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  return m[y & 3][x & 3];
}

uint32_t Hash(int x, int y, int seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               static_cast<uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

std::string FaceFile(const std::string& face) {
  static const std::map<std::string, std::string> faces = {
      {"sans", "DejaVuSans.ttf"},           {"sans-bold", "DejaVuSans-Bold.ttf"},
      {"serif", "DejaVuSerif.ttf"},         {"serif-bold", "DejaVuSerif-Bold.ttf"},
      {"mono-bold", "DejaVuSansMono-Bold.ttf"}, {"condensed-bold", "DejaVuSansCondensed-Bold.ttf"},
  };
  auto it = faces.find(face);
  return it == faces.end() ? std::string() : it->second;
}

}  // namespace

// ------------------------------------------------------------------ palette

TArtPalette::TArtPalette() {
  TArtColor black;
  black.Key = '_';
  black.Name = "black";
  Colors_.push_back(black);
}

bool TArtPalette::Parse(const std::string& text, const std::string& fileName, std::string& error) {
  std::istringstream in(text);
  std::string line;
  int n = 0;
  struct TPending {
    int Index;
    std::string Dark, Light;
    int Line;
  };
  std::vector<TPending> pending;
  while (std::getline(in, line)) {
    ++n;
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    auto t = Tokens(line);
    auto fail = [&](const std::string& why) {
      error = fileName + ":" + std::to_string(n) + ": " + why;
      return false;
    };
    if (t.size() < 3 || t[0].size() != 1 || t[1].size() != 6) return fail("expected KEY rrggbb NAME");
    const char key = t[0][0];
    if (key == '_' || key == '.' || key == ' ' || key == '"') return fail("the key '" + t[0] + "' is reserved");
    if (ByKey(key) >= 0) return fail("key '" + t[0] + "' given twice");
    if (ByName(t[2]) >= 0) return fail("name '" + t[2] + "' given twice");
    unsigned long rgb = 0;
    try {
      size_t used = 0;
      rgb = std::stoul(t[1], &used, 16);
      if (used != 6) return fail("bad colour " + t[1]);
    } catch (...) {
      return fail("bad colour " + t[1]);
    }
    if (rgb == 0) return fail("black is the transparent colour \"_\"; use a near-black for outlines");
    if (Colors_.size() >= 255) return fail("more than 254 colours");
    TArtColor c;
    c.Key = key;
    c.R = static_cast<uint8_t>(rgb >> 16);
    c.G = static_cast<uint8_t>(rgb >> 8);
    c.B = static_cast<uint8_t>(rgb);
    c.Name = t[2];
    TPending p{static_cast<int>(Colors_.size()), "", "", n};
    for (size_t i = 3; i < t.size(); ++i) {
      if (t[i].rfind("dark=", 0) == 0) p.Dark = t[i].substr(5);
      else if (t[i].rfind("light=", 0) == 0) p.Light = t[i].substr(6);
      else return fail("unknown option " + t[i]);
    }
    Colors_.push_back(c);
    pending.push_back(p);
  }
  for (const auto& p : pending) {
    auto& c = Colors_[static_cast<size_t>(p.Index)];
    c.Dark = c.Light = p.Index;
    if (!p.Dark.empty() && (c.Dark = Resolve(p.Dark)) < 0) {
      error = fileName + ":" + std::to_string(p.Line) + ": unknown colour " + p.Dark;
      return false;
    }
    if (!p.Light.empty() && (c.Light = Resolve(p.Light)) < 0) {
      error = fileName + ":" + std::to_string(p.Line) + ": unknown colour " + p.Light;
      return false;
    }
  }
  return true;
}

int TArtPalette::ByKey(char key) const {
  for (size_t i = 0; i < Colors_.size(); ++i)
    if (Colors_[i].Key == key) return static_cast<int>(i);
  return -1;
}

int TArtPalette::ByName(const std::string& name) const {
  for (size_t i = 0; i < Colors_.size(); ++i)
    if (Colors_[i].Name == name) return static_cast<int>(i);
  return -1;
}

int TArtPalette::Resolve(const std::string& token) const {
  if (token == "none") return 0;
  if (token.size() == 1) return ByKey(token[0]);
  return ByName(token);
}

// ------------------------------------------------------------------ book

struct TArtBook::TBlock {
  std::string File;
  int HeaderLine = 0;
  std::vector<std::pair<int, std::string>> Lines;  // line number, text
  TArtPicture Picture;
  int State = 0;  // 0 not rendered, 1 rendering, 2 done
};

TArtBook::TArtBook() = default;
TArtBook::~TArtBook() = default;

bool TArtBook::AddFile(const std::string& fileName, std::string& error) {
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadInputFile(fileName);
  } catch (const TFileProblem& e) {
    error = e.what();
    return false;
  }
  return AddText(std::string(bytes.begin(), bytes.end()), fileName, error);
}

bool TArtBook::AddText(const std::string& text, const std::string& fileName, std::string& error) {
  const std::string ext = fileName.size() >= 4 ? fileName.substr(fileName.size() - 4) : "";
  if (ext == ".pal") {
    if (HavePalette_) {
      error = fileName + ": a second palette; the game's pictures share one";
      return false;
    }
    HavePalette_ = true;
    return Palette_.Parse(text, fileName, error);
  }
  std::istringstream in(text);
  std::string line;
  int n = 0;
  TBlock* open = nullptr;
  bool inGrid = false;
  while (std::getline(in, line)) {
    ++n;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = Trim(line);
    if (open) {
      if (trimmed == "end") {
        if (inGrid) {
          inGrid = false;
          open->Lines.emplace_back(n, "end");
          continue;
        }
        open = nullptr;
        continue;
      }
      if (!inGrid && (trimmed.empty() || trimmed[0] == ';')) continue;
      if (!inGrid && trimmed.rfind("grid", 0) == 0) inGrid = true;
      open->Lines.emplace_back(n, inGrid ? line : trimmed);
      continue;
    }
    if (trimmed.empty() || trimmed[0] == ';') continue;
    auto t = Tokens(trimmed);
    auto fail = [&](const std::string& why) {
      error = fileName + ":" + std::to_string(n) + ": " + why;
      return false;
    };
    if (t[0] != "picture" || t.size() < 3) return fail("expected \"picture NAME WxH ...\"");
    auto block = std::make_unique<TBlock>();
    block->File = fileName;
    block->HeaderLine = n;
    TArtPicture& p = block->Picture;
    p.Name = t[1];
    const size_t xpos = t[2].find('x');
    if (xpos == std::string::npos || !ToInt(t[2].substr(0, xpos), p.Width) ||
        !ToInt(t[2].substr(xpos + 1), p.Height) || p.Width < 1 || p.Height < 1 || p.Width > kMaxSide ||
        p.Height > kMaxSide)
      return fail("size must be WxH, 1 to " + std::to_string(kMaxSide) + " each");
    for (size_t i = 3; i < t.size(); ++i) {
      const std::string& o = t[i];
      const size_t eq = o.find('=');
      const std::string k = o.substr(0, eq);
      const std::string v = eq == std::string::npos ? "" : o.substr(eq + 1);
      int num = 0;
      const bool isNum = ToInt(v, num);
      if (k == "out" && !v.empty()) p.Out = v;
      else if (k == "frames" && isNum && num >= 1 && num <= 4095) p.Frames = num;
      else if (k == "key" && v.empty()) p.Key = true;
      else if (k == "random" && v.empty()) p.Random = true;
      else if (k == "loop" && v.empty()) p.Loop = true;
      else if (k == "pause" && v.empty()) p.Pause = true;
      else if (k == "delay" && isNum && num >= 0 && num <= 255) p.Delay = num;
      else if (k == "hold" && isNum && num >= 0 && num <= 255) p.Hold = num;
      else if (k == "start" && isNum && num >= 0 && num <= 65535) p.Start = num;
      else return fail("unknown or bad option " + o);
    }
    if (p.Frames > 1 && p.Width % p.Frames != 0) return fail("width is not a multiple of the frame count");
    if (Blocks_.count(p.Name)) return fail("picture " + p.Name + " defined twice");
    Order_.push_back(p.Name);
    open = block.get();
    Blocks_[p.Name] = std::move(block);
  }
  if (open) {
    error = fileName + ": picture " + open->Picture.Name + " has no \"end\"";
    return false;
  }
  return true;
}

const TArtPicture* TArtBook::Get(const std::string& name, std::string& error) {
  auto it = Blocks_.find(name);
  if (it == Blocks_.end()) {
    error = "no picture named " + name;
    Missing_ = name;
    return nullptr;
  }
  TBlock& b = *it->second;
  if (b.State == 1) {
    error = b.File + ":" + std::to_string(b.HeaderLine) + ": " + name + " stamps itself";
    return nullptr;
  }
  if (b.State == 0) {
    b.State = 1;
    if (!Render(b, error)) {
      b.State = 0;
      return nullptr;
    }
    b.State = 2;
  }
  return &b.Picture;
}

namespace {

// Drawing into one frame of a picture.
class TPen {
 public:
  TPen(TArtPicture& p, const TArtPalette& pal) : P(p), Pal(pal) { SetFrame(0); }

  void SetFrame(int f) {
    Fw = P.FrameWidth();
    Ox = f * Fw;
  }
  bool In(int x, int y) const { return x >= 0 && y >= 0 && x < Fw && y < P.Height; }
  uint8_t Get(int x, int y) const { return In(x, y) ? P.Pixels[static_cast<size_t>(y) * P.Width + Ox + x] : 0; }
  void Put(int x, int y, int c) {
    if (In(x, y) && c >= 0) P.Pixels[static_cast<size_t>(y) * P.Width + Ox + x] = static_cast<uint8_t>(c);
  }
  void Rect(int x1, int y1, int x2, int y2, int c) {
    for (int y = std::max(0, std::min(y1, y2)); y <= std::min(P.Height - 1, std::max(y1, y2)); ++y)
      for (int x = std::max(0, std::min(x1, x2)); x <= std::min(Fw - 1, std::max(x1, x2)); ++x) Put(x, y, c);
  }
  void Line(int x1, int y1, int x2, int y2, int c) {
    // 64 bits: the distances of hostile coordinates overflow 32.
    const int64_t dx = std::abs(int64_t(x2) - x1), dy = -std::abs(int64_t(y2) - y1);
    const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    int64_t err = dx + dy;
    for (int guard = 0; guard < 4 * kMaxSide; ++guard) {
      Put(x1, y1, c);
      if (x1 == x2 && y1 == y2) break;
      const int64_t e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x1 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y1 += sy;
      }
    }
  }
  // Calls f(x, y, u, v) for every pixel of the ellipse in the box, u and v
  // from -1 to 1 across it.
  template <class F>
  void Ellipse(int x1, int y1, int x2, int y2, F f) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
    const double rx = (x2 - x1 + 1) / 2.0, ry = (y2 - y1 + 1) / 2.0;
    for (int y = std::max(y1, 0); y <= std::min(y2, P.Height - 1); ++y)
      for (int x = std::max(x1, 0); x <= std::min(x2, Fw - 1); ++x) {
        const double u = (x - cx) / rx, v = (y - cy) / ry;
        if (u * u + v * v <= 1.0 + 0.5 / std::max(rx, ry)) f(x, y, u, v);
      }
  }
  int DarkOf(int c) const { return c > 0 ? Pal.At(c).Dark : 0; }
  int LightOf(int c) const { return c > 0 ? Pal.At(c).Light : 0; }

  TArtPicture& P;
  const TArtPalette& Pal;
  int Fw = 0, Ox = 0;
};

}  // namespace

bool TArtBook::Render(TBlock& block, std::string& error) {
  TArtPicture& p = block.Picture;
  // All pictures stay in memory (they stamp each other): a budget keeps a
  // source full of giant pictures from taking the machine's memory.
  PixelsInUse_ += static_cast<size_t>(p.Width) * p.Height;
  if (PixelsInUse_ > kPixelBudget) {
    error = block.File + ":" + std::to_string(block.HeaderLine) + ": the pictures need more than " +
            std::to_string(kPixelBudget / (1024 * 1024)) + " million pixels";
    return false;
  }
  p.Pixels.assign(static_cast<size_t>(p.Width) * p.Height, 0);
  TPen pen(p, Palette_);
  const int frames = std::max(1, p.Frames);
  for (size_t li = 0; li < block.Lines.size(); ++li) {
    const int lineNo = block.Lines[li].first;
    auto t = Tokens(block.Lines[li].second);
    auto fail = [&](const std::string& why) {
      error = block.File + ":" + std::to_string(lineNo) + ": " + why;
      return false;
    };
    if (t.empty()) continue;
    const std::string& cmd = t[0];
    std::vector<int> n;  // leading numbers after the command
    size_t next = 1;
    for (; next < t.size(); ++next) {
      int v = 0;
      if (!ToInt(t[next], v)) break;
      n.push_back(v);
    }
    auto color = [&](size_t i, int& c) {
      if (i >= t.size() || (c = Palette_.Resolve(t[i])) < 0) return false;
      return true;
    };
    int c = 0;
    auto needs = [&](size_t count, bool withColor) {
      return n.size() == count && (!withColor || color(next, c));
    };
    if (cmd == "frame") {
      if (!needs(1, false) || n[0] < 0 || n[0] >= frames) return fail("frame needs a frame number 0 to " + std::to_string(frames - 1));
      pen.SetFrame(n[0]);
    } else if (cmd == "fill" || cmd == "clear") {
      if (cmd == "fill" && !needs(0, true)) return fail("fill needs a colour");
      pen.Rect(0, 0, pen.Fw - 1, p.Height - 1, cmd == "fill" ? c : 0);
    } else if (cmd == "dot") {
      if (!needs(2, true)) return fail("dot X Y C");
      pen.Put(n[0], n[1], c);
    } else if (cmd == "rect" || cmd == "box") {
      if (!needs(4, true)) return fail(cmd + " X1 Y1 X2 Y2 C");
      if (cmd == "rect") {
        pen.Rect(n[0], n[1], n[2], n[3], c);
      } else {
        pen.Rect(n[0], n[1], n[2], n[1], c);
        pen.Rect(n[0], n[3], n[2], n[3], c);
        pen.Rect(n[0], n[1], n[0], n[3], c);
        pen.Rect(n[2], n[1], n[2], n[3], c);
      }
    } else if (cmd == "line") {
      if (!needs(4, true)) return fail("line X1 Y1 X2 Y2 C");
      pen.Line(n[0], n[1], n[2], n[3], c);
    } else if (cmd == "disc" || cmd == "circle") {
      if (!needs(3, true) || n[2] < 0 || n[2] > kMaxSide) return fail(cmd + " CX CY R C (R at most 4096)");
      const int r = n[2];
      auto inDisc = [r](int a, int b) { return a * a + b * b <= r * r + r; };
      for (int y = -r; y <= r; ++y)
        for (int x = -r; x <= r; ++x) {
          const bool inside = inDisc(x, y);
          const bool rim =
              inside && (!inDisc(x - 1, y) || !inDisc(x + 1, y) || !inDisc(x, y - 1) || !inDisc(x, y + 1));
          if (cmd == "disc" ? inside : rim) pen.Put(n[0] + x, n[1] + y, c);
        }
    } else if (cmd == "ellipse" || cmd == "ball") {
      if (!needs(4, true)) return fail(cmd + " X1 Y1 X2 Y2 C");
      const bool ball = cmd == "ball";
      pen.Ellipse(n[0], n[1], n[2], n[3], [&](int x, int y, double u, double v) {
        int col = c;
        if (ball) {
          const double hl = std::hypot(u + 0.38, v + 0.42);
          const double rim = u * 0.55 + v * 0.65;
          if (hl < 0.22) col = pen.LightOf(pen.LightOf(c));
          else if (hl < 0.5) col = pen.LightOf(c);
          else if (rim > 0.62 && u * u + v * v > 0.55) col = pen.DarkOf(pen.DarkOf(c));
          else if (rim > 0.25) col = pen.DarkOf(c);
        }
        pen.Put(x, y, col);
      });
    } else if (cmd == "vgrad" || cmd == "hgrad") {
      std::vector<int> cols;
      for (size_t i = next; i < t.size(); ++i) {
        int cc = Palette_.Resolve(t[i]);
        if (cc < 0) return fail("unknown colour " + t[i]);
        cols.push_back(cc);
      }
      if (n.size() != 4 || cols.size() < 2) return fail(cmd + " X1 Y1 X2 Y2 C1 C2 [C3...]");
      const bool vert = cmd == "vgrad";
      const int a = vert ? n[1] : n[0], b = vert ? n[3] : n[2];
      const int span = std::max(1, b - a);
      for (int y = std::max(0, std::min(n[1], n[3])); y <= std::min(p.Height - 1, std::max(n[1], n[3])); ++y)
        for (int x = std::max(0, std::min(n[0], n[2])); x <= std::min(pen.Fw - 1, std::max(n[0], n[2])); ++x) {
          const double pos = static_cast<double>((vert ? y : x) - a) / span * (cols.size() - 1);
          int i = std::clamp(static_cast<int>(std::floor(pos)), 0, static_cast<int>(cols.size()) - 1);
          const double f = pos - i;
          if (i + 1 < static_cast<int>(cols.size()) && f * 16 > Bayer(x, y) + 0.5) ++i;
          pen.Put(x, y, cols[static_cast<size_t>(i)]);
        }
    } else if (cmd == "grid") {
      if (n.size() < 2 || n.size() > 3) return fail("grid X Y [SCALE]");
      const int scale = n.size() == 3 ? n[2] : 1;
      if (scale < 1 || scale > 16) return fail("grid scale 1 to 16");
      int row = 0;
      for (++li; li < block.Lines.size() && block.Lines[li].second != "end"; ++li, ++row) {
        const std::string& g = block.Lines[li].second;
        for (size_t col = 0; col < g.size(); ++col) {
          const char k = g[col];
          if (k == '.' || k == ' ' || k == '\t' || k == '\r') continue;
          const int cc = Palette_.ByKey(k);
          if (cc < 0) {
            error = block.File + ":" + std::to_string(block.Lines[li].first) + ": unknown grid key '" +
                    std::string(1, k) + "'";
            return false;
          }
          pen.Rect(n[0] + static_cast<int>(col) * scale, n[1] + row * scale,
                   n[0] + static_cast<int>(col) * scale + scale - 1, n[1] + row * scale + scale - 1, cc);
        }
      }
    } else if (cmd == "stamp") {
      if (next >= t.size() - 0 && t.size() < 4) return fail("stamp NAME X Y [H] [V] [2] [frame=K]");
      const std::string name = t[1];
      int x = 0, y = 0;
      if (t.size() < 4 || !ToInt(t[2], x) || !ToInt(t[3], y)) return fail("stamp NAME X Y [H] [V] [2] [frame=K]");
      bool h = false, v = false;
      int scale = 1, only = -1;
      for (size_t i = 4; i < t.size(); ++i) {
        if (t[i] == "H") h = true;
        else if (t[i] == "V") v = true;
        else if (t[i] == "2") scale = 2;
        else if (t[i].rfind("frame=", 0) == 0 && ToInt(t[i].substr(6), only)) {
        } else return fail("unknown stamp option " + t[i]);
      }
      std::string why;
      const TArtPicture* src = Get(name, why);
      if (!src) return fail(why);
      const int sfw = src->FrameWidth();
      const int sframes = std::max(1, src->Frames);
      if (only >= sframes) return fail(name + " has no frame " + std::to_string(only));
      const int first = only >= 0 ? only : 0, last = only >= 0 ? only : sframes - 1;
      for (int f = first; f <= last; ++f)
        for (int sy = 0; sy < src->Height; ++sy)
          for (int sx = 0; sx < sfw; ++sx) {
            const uint8_t px = src->At(f * sfw + (h ? sfw - 1 - sx : sx), v ? src->Height - 1 - sy : sy);
            if (px == 0) continue;
            const int dx = x + ((f - first) * sfw + sx) * scale, dy = y + sy * scale;
            pen.Rect(dx, dy, dx + scale - 1, dy + scale - 1, px);
          }
    } else if (cmd == "text") {
      // text X Y SIZE FACE COLOURS "TEXT" [center] [spacing=N]
      if (n.size() != 3 || t.size() < next + 3 || t[next + 2].empty() || t[next + 2][0] != '"')
        return fail("text X Y SIZE FACE C1[,C2...] \"TEXT\" [center] [spacing=N]");
      const std::string file = FaceFile(t[next]);
      if (file.empty()) return fail("unknown face " + t[next]);
      std::vector<int> cols;
      std::stringstream cs(t[next + 1]);
      std::string part;
      while (std::getline(cs, part, ',')) {
        const int cc = Palette_.Resolve(part);
        if (cc < 0) return fail("unknown colour " + part);
        cols.push_back(cc);
      }
      if (cols.empty()) return fail("text needs a colour");
      const std::string text = t[next + 2].substr(1);
      bool center = false;
      int spacing = 0;
      for (size_t i = next + 3; i < t.size(); ++i) {
        if (t[i] == "center") center = true;
        else if (t[i].rfind("spacing=", 0) == 0 && ToInt(t[i].substr(8), spacing)) {
        } else return fail("unknown text option " + t[i]);
      }
      if (n[2] < 4 || n[2] > 400) return fail("text size 4 to 400");
      TFontRasterizer raster;
      std::string why;
      if (!raster.Open((std::filesystem::path(FontDir) / file).string(), n[2], why)) return fail(why);
      std::vector<TGlyphRaster> glyphs(text.size());
      int width = 0, top = 0, bottom = 0;
      for (size_t i = 0; i < text.size(); ++i) {
        if (!raster.Render(static_cast<uint8_t>(text[i]), TRasterMode::Mono, glyphs[i], why)) return fail(why);
        width += glyphs[i].Advance + (i + 1 < text.size() ? spacing : 0);
        if (!glyphs[i].Empty()) {
          top = std::max(top, glyphs[i].Top);
          bottom = std::max(bottom, glyphs[i].Rows - glyphs[i].Top);
        }
      }
      int pen_x = center ? n[0] - width / 2 : n[0];
      const int height = std::max(1, top + bottom);
      for (size_t i = 0; i < text.size(); ++i) {
        const TGlyphRaster& g = glyphs[i];
        for (int gy = 0; gy < g.Rows; ++gy)
          for (int gx = 0; gx < g.Width; ++gx) {
            if (g.At(gx, gy) < 128) continue;
            const int py = n[1] + top - g.Top + gy;
            const int band = std::clamp((py - n[1]) * static_cast<int>(cols.size()) / height, 0,
                                        static_cast<int>(cols.size()) - 1);
            pen.Put(pen_x + g.Left + gx, py, cols[static_cast<size_t>(band)]);
          }
        pen_x += g.Advance + spacing;
      }
    } else if (cmd == "shade") {
      if (n.size() != 0 && n.size() != 4) return fail("shade [X1 Y1 X2 Y2]");
      const int x1 = n.empty() ? 0 : n[0], y1 = n.empty() ? 0 : n[1];
      const int x2 = n.empty() ? pen.Fw - 1 : n[2], y2 = n.empty() ? p.Height - 1 : n[3];
      std::vector<std::pair<std::pair<int, int>, int>> changes;
      for (int y = std::max(0, y1); y <= std::min(p.Height - 1, y2); ++y)
        for (int x = std::max(0, x1); x <= std::min(pen.Fw - 1, x2); ++x) {
          const int cc = pen.Get(x, y);
          if (cc == 0 || !pen.In(x, y)) continue;
          if (pen.Get(x - 1, y) == 0 || pen.Get(x, y - 1) == 0) changes.push_back({{x, y}, pen.LightOf(cc)});
          else if (pen.Get(x + 1, y) == 0 || pen.Get(x, y + 1) == 0) changes.push_back({{x, y}, pen.DarkOf(cc)});
        }
      for (auto& ch : changes) pen.Put(ch.first.first, ch.first.second, ch.second);
    } else if (cmd == "outline") {
      // "all" outlines every frame, each on its own.
      const bool all = t.back() == "all";
      if (all) t.pop_back();
      if (!(n.empty() && color(1, c)) || (t.size() > 2 && t[2] != "8")) return fail("outline C [8] [all]");
      const bool eight = t.size() > 2;
      const int keepFrame = pen.Ox / std::max(1, pen.Fw);
      for (int f = all ? 0 : keepFrame; f <= (all ? frames - 1 : keepFrame); ++f) {
      pen.SetFrame(f);
      std::vector<std::pair<int, int>> add;
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < pen.Fw; ++x) {
          if (pen.Get(x, y) != 0) continue;
          bool touch = false;
          for (int dy = -1; dy <= 1 && !touch; ++dy)
            for (int dx = -1; dx <= 1 && !touch; ++dx) {
              if ((dx == 0 && dy == 0) || (!eight && dx != 0 && dy != 0)) continue;
              const int q = pen.Get(x + dx, y + dy);
              touch = q != 0 && q != c;
            }
          if (touch) add.emplace_back(x, y);
        }
      for (auto& a : add) pen.Put(a.first, a.second, c);
      }
      pen.SetFrame(keepFrame);
    } else if (cmd == "silhouette" || cmd == "edge") {
      if (!(n.empty() && color(1, c))) return fail(cmd + " C");
      std::vector<uint8_t> out(static_cast<size_t>(pen.Fw) * p.Height, 0);
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < pen.Fw; ++x) {
          if (pen.Get(x, y) == 0) continue;
          const bool rim = !pen.In(x - 1, y) || !pen.In(x + 1, y) || !pen.In(x, y - 1) || !pen.In(x, y + 1) ||
                           pen.Get(x - 1, y) == 0 || pen.Get(x + 1, y) == 0 || pen.Get(x, y - 1) == 0 ||
                           pen.Get(x, y + 1) == 0;
          if (cmd == "silhouette" || rim) out[static_cast<size_t>(y) * pen.Fw + x] = static_cast<uint8_t>(c);
        }
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < pen.Fw; ++x) pen.Put(x, y, out[static_cast<size_t>(y) * pen.Fw + x]);
    } else if (cmd == "darken" || cmd == "lighten") {
      if (n.size() != 4) return fail(cmd + " X1 Y1 X2 Y2");
      for (int y = std::max(0, n[1]); y <= std::min(p.Height - 1, n[3]); ++y)
        for (int x = std::max(0, n[0]); x <= std::min(pen.Fw - 1, n[2]); ++x) {
          const int cc = pen.Get(x, y);
          if (cc) pen.Put(x, y, cmd == "darken" ? pen.DarkOf(cc) : pen.LightOf(cc));
        }
    } else if (cmd == "replace") {
      int c2 = 0;
      if (!n.empty() || !color(1, c) || !color(2, c2)) return fail("replace C1 C2 [X1 Y1 X2 Y2]");
      std::vector<int> r;
      for (size_t i = 3; i < t.size(); ++i) {
        int v = 0;
        if (!ToInt(t[i], v)) return fail("replace C1 C2 [X1 Y1 X2 Y2]");
        r.push_back(v);
      }
      if (!r.empty() && r.size() != 4) return fail("replace C1 C2 [X1 Y1 X2 Y2]");
      if (r.empty()) r = {0, 0, pen.Fw - 1, p.Height - 1};
      for (int y = std::max(0, r[1]); y <= std::min(p.Height - 1, r[3]); ++y)
        for (int x = std::max(0, r[0]); x <= std::min(pen.Fw - 1, r[2]); ++x)
          if (pen.In(x, y) && pen.Get(x, y) == c) pen.Put(x, y, c2);
    } else if (cmd == "noise") {
      if (n.size() != 4 || !color(next, c) || next + 1 >= t.size()) return fail("noise X1 Y1 X2 Y2 C PERCENT [SEED]");
      int pct = 0, seed = 1;
      if (!ToInt(t[next + 1], pct) || (next + 2 < t.size() && !ToInt(t[next + 2], seed)))
        return fail("noise X1 Y1 X2 Y2 C PERCENT [SEED]");
      for (int y = std::max(0, n[1]); y <= std::min(p.Height - 1, n[3]); ++y)
        for (int x = std::max(0, n[0]); x <= std::min(pen.Fw - 1, n[2]); ++x)
          if (pen.Get(x, y) != 0 && static_cast<int>(Hash(x, y, seed) % 100) < pct) pen.Put(x, y, c);
    } else if (cmd == "checker") {
      // An optional second colour limits the pattern to pixels of that colour.
      int on = -1;
      if (n.size() != 4 || !color(next, c) || (next + 1 < t.size() && !color(next + 1, on)) || next + 2 < t.size())
        return fail("checker X1 Y1 X2 Y2 C [ON]");
      for (int y = std::max(0, n[1]); y <= std::min(p.Height - 1, n[3]); ++y)
        for (int x = std::max(0, n[0]); x <= std::min(pen.Fw - 1, n[2]); ++x)
          if (((x + y) & 1) == 0 && (on < 0 || (pen.In(x, y) && pen.Get(x, y) == on))) pen.Put(x, y, c);
    } else if (cmd == "symmetry") {
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < pen.Fw / 2; ++x) pen.Put(pen.Fw - 1 - x, y, pen.Get(x, y));
    } else if (cmd == "copyframe") {
      if (n.size() != 2 || n[0] < 0 || n[1] < 0 || n[0] >= frames || n[1] >= frames)
        return fail("copyframe A B [H]");
      const bool h = t.size() > 3 && t[3] == "H";
      const int fw = p.FrameWidth();
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < fw; ++x)
          p.Pixels[static_cast<size_t>(y) * p.Width + n[1] * fw + x] =
              p.Pixels[static_cast<size_t>(y) * p.Width + n[0] * fw + (h ? fw - 1 - x : x)];
    } else {
      return fail("unknown command " + cmd);
    }
  }
  return true;
}

void TArtBook::ToRawPicture(const TArtPicture& p, TRawPicture& raw) const {
  raw.Clear();
  raw.SetSize(p.Width, p.Height);
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) {
      const TArtColor& c = Palette_.At(p.At(x, y));
      uint8_t* px = raw.PixelAt(x, y);
      px[0] = c.B;
      px[1] = c.G;
      px[2] = c.R;
    }
  const bool longBlock = p.Delay >= 0 || p.Hold >= 0 || p.Start >= 0;
  const bool anyFlag = p.Frames > 0 || p.Key || p.Random || p.Loop || p.Pause;
  if (!longBlock && !anyFlag) return;
  raw.SetExtraType(longBlock ? etLong : etShort);
  const int frames = p.Frames;
  raw.SetExtraByte(0, static_cast<uint8_t>(frames & 0xFF));
  uint8_t b1 = static_cast<uint8_t>((frames >> 8) & 0x0F);
  if (p.Loop) b1 |= AttrFlagB;
  if (p.Random) b1 |= AttrRandomStart;
  if (p.Key) b1 |= AttrColorKeyed;
  if (p.Pause) b1 |= AttrFlagC;
  raw.SetExtraByte(1, b1);
  if (longBlock) {
    raw.SetExtraByte(2, static_cast<uint8_t>(std::max(0, p.Delay)));
    raw.SetExtraByte(3, static_cast<uint8_t>(std::max(0, p.Hold)));
    const int s = std::max(0, p.Start);
    raw.SetExtraByte(4, static_cast<uint8_t>(s & 0xFF));
    raw.SetExtraByte(5, static_cast<uint8_t>(s >> 8));
  }
}

int TArtBook::WriteAll(const std::string& outDir, std::string& error, std::vector<std::string>* written) {
  int count = 0;
  std::set<std::string> outs;
  for (const std::string& name : Order_) {
    const TArtPicture* p = Get(name, error);
    if (!p) return -1;
    if (p->Out.empty()) continue;
    std::string rel = p->Out;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    if (rel.find("..") != std::string::npos || rel[0] == '/') {
      error = name + ": output " + p->Out + " leaves the output folder";
      return -1;
    }
    if (!outs.insert(rel).second) {
      error = name + ": output " + p->Out + " written by two pictures";
      return -1;
    }
    const std::filesystem::path path = std::filesystem::path(outDir) / rel;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    TRawPicture raw;
    ToRawPicture(*p, raw);
    TMemoryStream tga;
    if (!WriteTGA(raw, tga, TTgaPixels::TrueColor, true)) {
      error = "cannot write " + path.string();
      return -1;
    }
    try {
      WriteOutputFile(path.string(), tga.Data);
    } catch (const TFileProblem& e) {
      error = e.what();
      return -1;
    }
    if (written) written->push_back(path.string());
    ++count;
  }
  return count;
}

}  // namespace vgrdata

#include "FontPixels.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace vgrdata {

namespace {

std::string Trimmed(std::string s) {
  if (!s.empty() && s.back() == '\r') s.pop_back();
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

uint8_t Luminance(const TRgb& c) {
  // The weights the game's grey stream uses, so a grey font keeps its levels.
  return static_cast<uint8_t>((c.R * 30 + c.G * 59 + c.B * 11) / 100);
}

}  // namespace

bool ParsePixelAlphabet(const std::string& text, const std::string& fileName, TPixelAlphabet& alphabet,
                        std::string& error) {
  alphabet = TPixelAlphabet{};
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  int current = -1;  // character being drawn
  std::vector<std::string> rows;
  auto fail = [&](const std::string& why) {
    error = fileName + ":" + std::to_string(lineNo) + ": " + why;
    return false;
  };
  // Stores the rows drawn for `current`.
  auto finish = [&]() -> bool {
    if (current < 0) return true;
    if (rows.empty()) return fail("character " + std::to_string(current) + " has no rows");
    TPixelGlyph& g = alphabet.Glyph[current];
    g.Width = static_cast<int>(rows[0].size());
    g.Ink.assign(static_cast<size_t>(g.Width) * alphabet.Rows(), 0);
    for (size_t y = 0; y < rows.size(); ++y)
      for (int x = 0; x < g.Width; ++x) g.Ink[y * g.Width + x] = rows[y][x] == '#' ? 1 : 0;
    alphabet.Present[current] = true;
    rows.clear();
    current = -1;
    return true;
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    const std::string line = Trimmed(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line.find_first_not_of("#.") == std::string::npos) {
      if (current < 0) return fail("a row outside a character");
      if (!rows.empty() && line.size() != rows[0].size()) return fail("rows of unequal width");
      if (static_cast<int>(rows.size()) == alphabet.Rows()) {
        return fail("more than " + std::to_string(alphabet.Rows()) + " rows");
      }
      rows.push_back(line);
      continue;
    }
    if (!finish()) return false;
    const size_t blank = line.find(' ');
    const std::string word = line.substr(0, blank);
    const std::string arg = blank == std::string::npos ? "" : Trimmed(line.substr(blank + 1));
    if (word == "ascent" || word == "descent") {
      char* end = nullptr;
      const long v = std::strtol(arg.c_str(), &end, 10);
      if (arg.empty() || *end != '\0' || v < 0 || v > 64) return fail(word + " takes a number of rows, 0 to 64");
      if (alphabet.Present != std::array<bool, 256>{}) return fail(word + " after the first character");
      (word == "ascent" ? alphabet.Ascent : alphabet.Descent) = static_cast<int>(v);
    } else if (word == "char") {
      int c = -1;
      if (arg == "space") {
        c = ' ';
      } else if (arg.size() == 1) {
        c = static_cast<unsigned char>(arg[0]);
      } else {
        return fail("\"char\" takes one character or \"space\"");
      }
      if (alphabet.Rows() == 0) return fail("the band has no rows: \"ascent\" and \"descent\" come first");
      if (alphabet.Present[c]) return fail("character '" + arg + "' drawn twice");
      current = c;
    } else {
      return fail("unknown line \"" + line + "\"");
    }
  }
  return finish();
}

bool ParseColorList(const std::string& text, std::vector<TRgb>& colors) {
  colors.clear();
  if (text.empty() || text.back() == ',') return false;
  std::istringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) {
    if (part.size() != 6 || part.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    const unsigned long v = std::strtoul(part.c_str(), nullptr, 16);
    if (v == 0) return false;
    colors.push_back({static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
  }
  return !colors.empty();
}

void RenderPixelAlphabet(const TPixelAlphabet& alphabet, const TPixelStyle& style, TFontGlyphs& glyphs) {
  const int s = std::max(1, style.Scale);
  const int above = alphabet.Ascent * s;
  const int extra = style.Shadow ? 1 : 0;
  const int wider = style.Bold ? 1 : 0, taller = style.BoldDown ? 1 : 0;
  const std::vector<TRgb> ramp = style.Ramp.empty() ? std::vector<TRgb>{{255, 255, 255}} : style.Ramp;
  const int n = static_cast<int>(ramp.size());
  const int rows = alphabet.Rows() * s + taller;
  for (int c = 0; c < 256; ++c) {
    glyphs.Present[c] = alphabet.Present[c];
    glyphs.Glyph[c] = TGlyphRaster{};
    if (!alphabet.Present[c]) continue;
    const TPixelGlyph& pg = alphabet.Glyph[c];
    const int w = pg.Width * s + wider;
    auto scaled = [&](int x, int y) {
      return x >= 0 && y >= 0 && x < pg.Width * s && y < alphabet.Rows() * s && pg.Ink[static_cast<size_t>(y / s) * pg.Width + x / s] != 0;
    };
    auto ink = [&](int x, int y) {
      if (scaled(x, y) || (style.Bold && scaled(x - 1, y))) return true;
      return style.BoldDown && (scaled(x, y - 1) || (style.Bold && scaled(x - 1, y - 1)));
    };
    TGlyphRaster& g = glyphs.Glyph[c];
    g.Width = w + extra;
    g.Rows = rows + extra;
    g.Left = 0;
    g.Top = above;
    // One blank column of the alphabet after every glyph; a shadow falls into it.
    g.Advance = (pg.Width + 1) * s + wider;
    g.Coverage.assign(static_cast<size_t>(g.Width) * g.Rows, 0);
    g.Color.assign(g.Coverage.size() * 3, 0);
    for (int y = 0; y < g.Rows; ++y) {
      for (int x = 0; x < g.Width; ++x) {
        std::optional<TRgb> color;
        if (ink(x, y)) {
          color = ramp[y < above ? std::min(n - 1, y * n / std::max(1, above)) : n - 1];
          if (style.Light && (!ink(x, y - 1) || !ink(x - 1, y))) {
            color = style.Light;
          } else if (style.Dark && (!ink(x, y + 1) || !ink(x + 1, y))) {
            color = style.Dark;
          }
        } else if (style.Shadow && ink(x - 1, y - 1)) {
          color = style.Shadow;
        }
        if (!color) continue;
        const size_t i = static_cast<size_t>(y) * g.Width + x;
        g.Coverage[i] = std::max<uint8_t>(1, Luminance(*color));
        g.Color[i * 3] = color->R;
        g.Color[i * 3 + 1] = color->G;
        g.Color[i * 3 + 2] = color->B;
      }
    }
  }
}

}  // namespace vgrdata

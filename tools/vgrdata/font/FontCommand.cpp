#include "FontCommand.h"

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <ostream>

#include "FontFiles.h"
#include "FontPixels.h"
#include "FontRaster.h"
#include "MAD4HighLevelUnit.h"
#include "RawPictureUnit.h"
#include "TgaWriter.h"
#include "ToolFiles.h"
#include "ToolScopes.h"
#include "ZRFonts.h"
#include "ZRStream3.h"
#include "ZR_SDL.h"
#include "ZRToolbox.h"

namespace vgrdata {

namespace {

const char* const kUsage =
    "usage: vgrdata font build OUT.zrr|OUT.tga --face FILE.ttf --size PX [options]\n"
    "           render a .zrr font (1-bit cells) or a TGA font (glyph strip) from an outline font\n"
    "           --mode grey|light|mono   FreeType rendering (default: mono for .zrr, light for TGA)\n"
    "       vgrdata font build OUT.zrr|OUT.tga --pixels ALPHABET.txt [options]\n"
    "           build it from a pixel alphabet (see data/fonts/README.md)\n"
    "           --scale N                every pixel N by N (default 1)\n"
    "           --bold  --bold-down      strokes one pixel thicker to the right, and downwards\n"
    "           --ramp rrggbb[,rrggbb...] ink colours from the top of the band to the baseline\n"
    "           --light rrggbb  --dark rrggbb   top/left and bottom/right edges of the strokes\n"
    "           --shadow rrggbb          a shadow one pixel right and down\n"
    "                                    (a TGA font all in grey is written grey, one in colour\n"
    "                                    in true colour; a .zrr font keeps the shapes only)\n"
    "       both:\n"
    "           --chars A-B              character codes to include (default 32-126)\n"
    "           .zrr:  --cell W (default: widest advance)  --no-descender  --dense  --threshold N\n"
    "           TGA:   --spacing N (the spacing the game draws it with, default 1)\n"
    "                  --cut N (drop coverage below N, for silhouettes)  --rle\n"
    "                  --gap N (keep N blank columns between the ink of neighbours)\n"
    "       vgrdata font render FONT TEXT OUT.bmp [--color rrggbb] [--fixed N] [--spacing N]\n"
    "           draw TEXT (\\n starts a new line) with the font as the game does\n"
    "       vgrdata font sheet FONT OUT.bmp [same options]\n"
    "           draw every printable character and a sample line\n"
    "       vgrdata font info FONT\n"
    "           print the font's cells, line height and characters\n"
    "FONT is a file on disk or a name in the archive (--archive ARCHIVE); a name ending in\n"
    ".zrr is read as the program's own format, any other as a TGA font. Drawing options:\n"
    "  --background rrggbb   canvas colour (default 000000)   --scale N   enlarge N times\n"
    "  --silhouette          as the menu's scroller: every non-black pixel of the sheet becomes\n"
    "                        the --color (default 010101) and black turns transparent\n";

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
  }
  return true;
}

// Font command arguments as the C library reads numbers: white space may
// lead; sizes and offsets stay within 100000 either way.
bool ParseInt(const std::string& s, int& v) {
  TDecimalRule rule;
  rule.Blanks = TDecimalRule::LeadingWhiteSpace;
  rule.Min = -100000;
  rule.Max = 100000;
  return StrToInt32(s, v, rule);
}

bool ParseColor(const std::string& s, uint8_t rgb[3]) {
  if (s.size() != 6 || s.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  const unsigned long v = std::strtoul(s.c_str(), nullptr, 16);
  rgb[0] = static_cast<uint8_t>(v >> 16);
  rgb[1] = static_cast<uint8_t>(v >> 8);
  rgb[2] = static_cast<uint8_t>(v);
  return true;
}

// Options after the positional arguments: "--name value" pairs and flags.
struct TOptions {
  std::vector<std::string> Positional;
  std::vector<std::pair<std::string, std::string>> Values;
  std::vector<std::string> Flags;
  std::string Bad;

  const std::string* Get(const std::string& name) const {
    for (const auto& [k, v] : Values)
      if (k == name) return &v;
    return nullptr;
  }
  bool Has(const std::string& flag) const { return std::find(Flags.begin(), Flags.end(), flag) != Flags.end(); }
};

TOptions ParseOptions(const std::vector<std::string>& args, size_t from, const std::vector<std::string>& valued,
                      const std::vector<std::string>& flags) {
  TOptions o;
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0 || a.size() == 2) {
      o.Positional.push_back(a);
    } else if (std::find(valued.begin(), valued.end(), a) != valued.end() && i + 1 < args.size()) {
      o.Values.emplace_back(a, args[++i]);
    } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
      o.Flags.push_back(a);
    } else if (o.Bad.empty()) {
      o.Bad = a;
    }
  }
  return o;
}

// Every pixel that is not black takes the colour; black becomes transparent.
void MakeSilhouette(PImage image, const uint8_t color[3]) {
  SDL_Surface* s = image->Surface;
  if (!LockSurface(s)) return;
  for (int y = 0; y < ImageHeight(image); ++y) {
    for (int x = 0; x < ImageWidth(image); ++x) {
      if (GetPixel(s, x, y) != 0) PutPixel(s, x, y, color[0], color[1], color[2]);
    }
  }
  UnlockSurface(s);
  SetImageColorKey(image, true);
}

// The font, or null when its file cannot be found (the game would draw with
// a blank TGA font then, which is no use to look at) or holds no sheet.
std::unique_ptr<TBMPFont> LoadFont(const std::string& name) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) throw TFileProblem(name + " is a folder, not a file");
  std::unique_ptr<TBMPFont> font;
  if (EndsWithNoCase(name, ".zrr")) {
    font = std::make_unique<TZRRFont>(name);
  } else if (ZROpenStream(name) || ZROpenStream(name + ".tga")) {
    font = std::make_unique<TTGAFont>(name);
  }
  if (font && !font->GetImage()) font.reset();
  // A file that is no font at all loads as a sheet without a single glyph.
  bool glyphs = false;
  for (int c = 33; font && c < 127 && !glyphs; ++c) {
    const TGlyphRect& g = font->Glyphs[c];
    glyphs = g.Left != 0 || g.Top != 0 || g.Right != 0 || g.Bottom != 0;
  }
  if (!glyphs) font.reset();
  return font;
}

// Why LoadFont gave nothing: the name is found nowhere, or its file is no font.
int FontNotLoaded(const std::string& fontName, const TOptions& o, std::ostream& err) {
  TZRFileInfo info, withExtension;
  ZRGetFileInfo(fontName, info);
  if (!EndsWithNoCase(fontName, ".zrr")) ZRGetFileInfo(fontName + ".tga", withExtension);
  if (info.Offset < 0 && withExtension.Offset < 0) {
    const std::string* archive = o.Get("--archive");
    err << "vgrdata font: " << fontName << " was not found in " << LookupPlaces(archive ? *archive : "") << "\n";
  } else {
    err << "vgrdata font: " << fontName << " is not a font\n";
  }
  return 1;
}

int Build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const TOptions o = ParseOptions(args, 1, {"--face", "--size", "--mode", "--chars", "--cell", "--threshold",
                                            "--spacing", "--cut", "--gap", "--pixels", "--scale", "--ramp",
                                            "--light", "--dark", "--shadow"},
                                  {"--no-descender", "--dense", "--rle", "--bold", "--bold-down"});
  const bool pixels = o.Get("--pixels") != nullptr;
  const bool outline = o.Get("--face") && o.Get("--size");
  bool mixed = false;
  for (const char* name : {"--face", "--size", "--mode"}) mixed = mixed || (pixels && o.Get(name));
  for (const char* name : {"--scale", "--ramp", "--light", "--dark", "--shadow"}) mixed = mixed || (!pixels && o.Get(name));
  mixed = mixed || (!pixels && (o.Has("--bold") || o.Has("--bold-down")));
  if (!o.Bad.empty() || o.Positional.size() != 1 || (pixels == outline) || mixed) {
    if (!o.Bad.empty()) err << "vgrdata font: unknown option '" << o.Bad << "'\n";
    err << kUsage;
    return 2;
  }
  const std::string& outName = o.Positional[0];
  const bool zrr = EndsWithNoCase(outName, ".zrr");
  if (!zrr && !EndsWithNoCase(outName, ".tga")) {
    err << "vgrdata font: the output must end in .zrr or .tga\n";
    return 2;
  }
  int size = 0, first = 32, last = 126, cell = 0, threshold = 128, spacing = 1, cut = 0;
  bool ok = pixels || ParseInt(*o.Get("--size"), size);
  TPixelStyle style;
  style.Bold = o.Has("--bold");
  style.BoldDown = o.Has("--bold-down");
  if (const std::string* v = o.Get("--scale")) ok = ok && ParseInt(*v, style.Scale) && style.Scale >= 1 && style.Scale <= 16;
  if (const std::string* v = o.Get("--ramp")) ok = ok && ParseColorList(*v, style.Ramp);
  for (auto [name, field] : {std::pair{"--light", &style.Light}, {"--dark", &style.Dark}, {"--shadow", &style.Shadow}}) {
    std::vector<TRgb> one;
    if (const std::string* v = o.Get(name)) {
      ok = ok && ParseColorList(*v, one) && one.size() == 1;
      if (ok) *field = one[0];
    }
  }
  if (const std::string* v = o.Get("--chars")) {
    const size_t dash = v->find('-');
    ok = ok && dash != std::string::npos && ParseInt(v->substr(0, dash), first) &&
         ParseInt(v->substr(dash + 1), last) && first >= 0 && last <= 255 && first <= last;
  }
  if (const std::string* v = o.Get("--cell")) ok = ok && ParseInt(*v, cell) && cell >= 1 && cell <= 255;
  // Every drawn pixel of a pixel alphabet is ink, however dark its colour.
  if (pixels) threshold = 1;
  if (const std::string* v = o.Get("--threshold")) ok = ok && ParseInt(*v, threshold) && threshold >= 1 && threshold <= 255;
  if (const std::string* v = o.Get("--spacing")) ok = ok && ParseInt(*v, spacing) && spacing >= -16 && spacing <= 16;
  if (const std::string* v = o.Get("--cut")) ok = ok && ParseInt(*v, cut) && cut >= 0 && cut <= 255;
  int gap = 0;
  if (const std::string* v = o.Get("--gap")) ok = ok && ParseInt(*v, gap) && gap >= 0 && gap <= 16;
  TRasterMode mode = zrr ? TRasterMode::Mono : TRasterMode::Light;
  if (const std::string* v = o.Get("--mode")) {
    if (*v == "grey" || *v == "gray") {
      mode = TRasterMode::Grey;
    } else if (*v == "light") {
      mode = TRasterMode::Light;
    } else if (*v == "mono") {
      mode = TRasterMode::Mono;
    } else {
      ok = false;
    }
  }
  if (!ok) {
    err << "vgrdata font: a number or mode is out of range\n" << kUsage;
    return 2;
  }

  std::string why;
  auto glyphs = std::make_unique<TFontGlyphs>();
  if (pixels) {
    const std::vector<uint8_t> source = ReadInputFile(*o.Get("--pixels"));
    auto alphabet = std::make_unique<TPixelAlphabet>();
    if (!ParsePixelAlphabet(std::string(source.begin(), source.end()), *o.Get("--pixels"), *alphabet, why)) {
      err << "vgrdata font: " << why << "\n";
      return 1;
    }
    RenderPixelAlphabet(*alphabet, style, *glyphs);
    for (int c = 0; c < 256; ++c) {
      if (c < first || c > last) {
        glyphs->Present[c] = false;
      } else if (!glyphs->Present[c]) {
        err << "vgrdata font: " << *o.Get("--pixels") << " has no glyph for character " << c << "\n";
        return 1;
      }
    }
  } else {
    TFontRasterizer raster;
    if (!raster.Open(*o.Get("--face"), size, why)) {
      err << "vgrdata font: " << why << "\n";
      return 1;
    }
    for (int c = first; c <= last; ++c) {
      if (!raster.Render(static_cast<uint32_t>(c), mode, glyphs->Glyph[c], why)) {
        err << "vgrdata font: " << why << "\n";
        return 1;
      }
      glyphs->Present[c] = true;
    }
  }

  std::vector<uint8_t> bytes;
  std::string summary;
  if (zrr) {
    TZRROptions zo;
    zo.CellWidth = cell;
    zo.Descender = !o.Has("--no-descender");
    zo.Sparse = !o.Has("--dense");
    zo.Threshold = static_cast<uint8_t>(threshold);
    TZRRFontData font;
    std::vector<std::string> notes;
    if (!LayoutZRR(*glyphs, zo, font, why, notes)) {
      err << "vgrdata font: " << why << "\n";
      return 1;
    }
    for (const std::string& n : notes) err << "vgrdata font: note: " << n << "\n";
    bytes = EncodeZRR(font);
    summary = ".zrr font, cells " + std::to_string(font.CellWidth) + "x" + std::to_string(font.GlyphHeight) +
              (zo.Descender ? " (descender mode)" : "") + (zo.Sparse ? ", sparse" : ", dense");
  } else {
    TTGAOptions to;
    to.Spacing = spacing;
    to.Cut = static_cast<uint8_t>(cut);
    to.MinGap = gap;
    TRawPicture picture;
    if (!LayoutTGAFont(*glyphs, to, picture, why)) {
      err << "vgrdata font: " << why << "\n";
      return 1;
    }
    bool grey = true;
    for (int32_t y = 0; y < picture.Height && grey; ++y)
      for (int32_t x = 0; x < picture.Width && grey; ++x) {
        const uint8_t* p = picture.PixelAt(x, y);
        grey = p[0] == p[1] && p[1] == p[2];
      }
    TMemoryStream m;
    if (!WriteTGA(picture, m, grey ? TTgaPixels::Grey : TTgaPixels::TrueColor, o.Has("--rle"))) {
      err << "vgrdata font: the glyph strip cannot be written as TGA\n";
      return 1;
    }
    bytes = std::move(m.Data);
    summary = std::string(grey ? "grey" : "colour") + " TGA font, strip " + std::to_string(picture.Width) + "x" +
              std::to_string(picture.Height);
  }
  WriteOutputFile(outName, bytes);
  out << outName << ": " << summary << ", characters " << first << "-" << last << ", " << bytes.size()
      << " bytes\n";
  return 0;
}

// Draws the lines with the font onto a canvas and writes it as a 24-bit BMP.
int Draw(const std::vector<std::string>& lines, const TOptions& o, const std::string& fontName,
         const std::string& outName, std::ostream& out, std::ostream& err) {
  uint8_t color[3] = {0, 0, 0}, background[3] = {0, 0, 0};
  int fixed = 0, spacing = 0, scale = 1;
  bool ok = true;
  if (const std::string* v = o.Get("--color")) ok = ok && ParseColor(*v, color);
  if (const std::string* v = o.Get("--background")) ok = ok && ParseColor(*v, background);
  if (const std::string* v = o.Get("--fixed")) ok = ok && ParseInt(*v, fixed) && fixed >= 0 && fixed <= 1000;
  if (const std::string* v = o.Get("--spacing")) ok = ok && ParseInt(*v, spacing) && spacing >= -100 && spacing <= 100;
  if (const std::string* v = o.Get("--scale")) ok = ok && ParseInt(*v, scale) && scale >= 1 && scale <= 16;
  if (!ok) {
    err << "vgrdata font: a colour (rrggbb) or number is not valid\n" << kUsage;
    return 2;
  }

  THiddenDisplay display;
  std::unique_ptr<TBMPFont> font = LoadFont(fontName);
  if (!font) return FontNotLoaded(fontName, o, err);
  if (o.Has("--silhouette")) {
    if (!o.Get("--color")) color[0] = color[1] = color[2] = 1;
    MakeSilhouette(font->GetImage(), color);
  } else if (o.Get("--color")) {
    font->SetColor(color[0], color[1], color[2]);
  }
  if (o.Get("--fixed")) font->SetFixedWidth(fixed);
  if (o.Get("--spacing")) font->Spacing = spacing;

  const int margin = 4, gap = 2;
  int width = 1;
  for (const std::string& l : lines) width = std::max(width, font->TextWidth(l));
  const int lineHeight = std::max(1, font->LineHeight);
  width += 2 * margin;
  const int height = static_cast<int>(lines.size()) * (lineHeight + gap) - gap + 2 * margin;
  if (static_cast<int64_t>(width) * scale > MaxSheetWidth || static_cast<int64_t>(height) * scale > MaxPictureSide) {
    err << "vgrdata font: the drawing would be too large\n";
    return 1;
  }
  TImagePtr canvas = CreateImageWH(width, height);
  ImageBar(canvas.get(), 0, 0, width - 1, height - 1, background[0], background[1], background[2]);
  for (size_t i = 0; i < lines.size(); ++i) {
    font->TextOutOnImage(canvas.get(), lines[i], margin, margin + static_cast<int>(i) * (lineHeight + gap), taLeft);
  }

  TRawPicture picture(width * scale, height * scale);
  SDL_Surface* s = canvas->Surface;
  LockSurface(s);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t r, g, b;
      GetColor(s, GetPixel(s, x, y), r, g, b);
      for (int dy = 0; dy < scale; ++dy) {
        for (int dx = 0; dx < scale; ++dx) {
          uint8_t* p = picture.PixelAt(x * scale + dx, y * scale + dy);
          p[0] = b;
          p[1] = g;
          p[2] = r;
        }
      }
    }
  }
  UnlockSurface(s);
  TMemoryStream bmp;
  if (!WriteBMP24(picture, bmp)) {
    err << "vgrdata font: cannot write " << outName << "\n";
    return 1;
  }
  WriteOutputFile(outName, bmp.Data);
  out << fontName << " -> " << outName << " (" << picture.Width << "x" << picture.Height << ")\n";
  return 0;
}

int Info(const std::string& fontName, const TOptions& o, std::ostream& out, std::ostream& err) {
  THiddenDisplay display;
  std::unique_ptr<TBMPFont> font = LoadFont(fontName);
  if (!font) return FontNotLoaded(fontName, o, err);
  out << "font: " << fontName << "\n";
  if (auto* z = dynamic_cast<TZRRFont*>(font.get())) {
    out << "format: zrr\ncell: " << z->CellWidth << "x" << z->CellHeight << " (glyph height " << z->GlyphHeight
        << ")\nflags: " << static_cast<int>(z->Flags)
        << ((z->Flags & zrrDescender) ? " descender" : "") << ((z->Flags & zrrSparse) ? " sparse" : "") << "\n";
  } else {
    out << "format: tga\n";
  }
  out << "sheet: " << ImageWidth(font->GetImage()) << "x" << ImageHeight(font->GetImage()) << "\n";
  out << "line height: " << font->LineHeight << "\nspacing: " << font->Spacing
      << "\nspace width: " << font->SpaceWidth << "\n";
  int count = 0, narrow = 1 << 30, wide = 0;
  std::string missing;
  for (int c = 32; c < 127; ++c) {
    const TGlyphRect& g = font->Glyphs[c];
    const bool present = g.Left != 0 || g.Top != 0 || g.Right != 0 || g.Bottom != 0;
    if (!present && c != 32) {
      missing += static_cast<char>(c);
      continue;
    }
    ++count;
    narrow = std::min(narrow, g.Right - g.Left + 1);
    wide = std::max(wide, g.Right - g.Left + 1);
  }
  out << "printable characters: " << count << " of 95";
  if (!missing.empty()) out << " (missing: " << missing << ")";
  out << "\n";
  if (count > 0) out << "glyph widths: " << narrow << " to " << wide << "\n";
  return 0;
}

}  // namespace

std::vector<std::string> ContactSheetLines() {
  std::vector<std::string> lines;
  for (int from : {32, 64, 96}) {
    std::string l;
    for (int c = from; c < from + 32 && c < 127; ++c) l += static_cast<char>(c);
    lines.push_back(l);
  }
  lines.push_back("The quick brown fox jumps over the lazy dog. Loading...");
  lines.push_back("SCORE: 01230  HIGH: 04560  MAP: 07  gqy jp 0123456789");
  return lines;
}

int FontCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 2 : 0;
  }
  const std::string& sub = args[0];
  if (sub == "build") return Build(args, out, err);
  if (sub != "render" && sub != "sheet" && sub != "info") {
    err << "vgrdata font: unknown subcommand '" << sub << "'\n" << kUsage;
    return 2;
  }
  const TOptions o = ParseOptions(args, 1, {"--color", "--fixed", "--spacing", "--background", "--scale", "--archive"},
                                  {"--silhouette"});
  const size_t want = sub == "render" ? 3 : sub == "sheet" ? 2 : 1;
  if (!o.Bad.empty() || o.Positional.size() != want) {
    if (!o.Bad.empty()) err << "vgrdata font: unknown option '" << o.Bad << "'\n";
    err << kUsage;
    return 2;
  }
  TMountedArchive archive;
  if (const std::string* a = o.Get("--archive")) {
    if (!FileExists(*a) || !archive.Mount(*a)) {
      err << "vgrdata font: " << *a << " is not an archive\n";
      return 1;
    }
  }
  const std::string& fontName = o.Positional[0];
  if (sub == "info") return Info(fontName, o, out, err);
  if (sub == "sheet") return Draw(ContactSheetLines(), o, fontName, o.Positional[1], out, err);
  std::vector<std::string> lines(1);
  const std::string& text = o.Positional[1];
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      lines.emplace_back();
      ++i;
    } else if (text[i] == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return Draw(lines, o, fontName, o.Positional[2], out, err);
}

}  // namespace vgrdata

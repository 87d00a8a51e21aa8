#include "PictureCommand.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>

#include "Logger.h"
#include "MAD4HighLevelUnit.h"
#include "PngWriter.h"
#include "ParametersUnit.h"
#include "RawPictureUnit.h"
#include "ToolFiles.h"
#include "ToolScopes.h"
#include "ZRStream3.h"
#include "ZR_SDL.h"

namespace vgrdata {

namespace {

const char* const kUsage = "usage: vgrdata picture IN OUT.bmp [--archive ARCHIVE] [--mask OUT.txt]\n";

// What the game makes of a picture's attribute block when it becomes an image.
struct TImageAttributes {
  bool Animated = false;
  int32_t Frames = 0;
  bool ColorKeyed = false;
  bool RandomStart = false;
  bool FlagB = false;
  bool FlagC = false;
  int32_t AttrA = 0;
  int32_t AttrB = 0;
  int32_t StartFrame = 0;
};

TImageAttributes AttributesOf(const TRawPicture& p) {
  TImageAttributes a;
  if (p.ExtraType != etShort && p.ExtraType != etLong) return a;
  const uint8_t b1 = p.GetExtraByte(1);
  a.Frames = p.FrameCount();
  a.Animated = a.Frames > 0;
  a.FlagB = (b1 & AttrFlagB) != 0;
  a.FlagC = (b1 & AttrFlagC) != 0;
  a.ColorKeyed = (b1 & AttrColorKeyed) != 0;
  a.RandomStart = (b1 & AttrRandomStart) != 0;
  if (p.ExtraType == etLong) {
    a.AttrA = p.GetExtraByte(2);
    a.AttrB = p.GetExtraByte(3);
    if (!a.RandomStart) a.StartFrame = p.GetExtraByte(4) + p.GetExtraByte(5) * 256;
  }
  return a;
}

}  // namespace

// Where the game would see nothing: the colour shown for transparent pixels.
constexpr uint32_t kTransparentShown = 0xFF00FF;

// The image as the game holds it, back as a 24-bit picture; with a colour
// key, the transparent pixels (value 0) become magenta.
TRawPicture PictureOfImage(PImage image) {
  TRawPicture p(ImageWidth(image), ImageHeight(image));
  LockSurface(image->Surface);
  for (int32_t y = 0; y < p.Height; ++y)
    for (int32_t x = 0; x < p.Width; ++x) {
      const uint32_t v = GetPixel(image->Surface, x, y);
      uint8_t r = 0, g = 0, b = 0;
      if (image->ColorKeyed && v == 0) {
        r = kTransparentShown >> 16;
        g = (kTransparentShown >> 8) & 0xFF;
        b = kTransparentShown & 0xFF;
      } else {
        GetColor(image->Surface, v, r, g, b);
      }
      uint8_t* px = p.PixelAt(x, y);
      px[0] = b;
      px[1] = g;
      px[2] = r;
    }
  UnlockSurface(image->Surface);
  return p;
}

namespace {

// One text line per mask row: "X" solid, "." empty.
bool WriteMask(const TMask& mask, const std::string& fileName) {
  std::vector<uint8_t> text;
  for (int32_t y = 0; y < mask.Height; ++y) {
    std::string row(static_cast<size_t>(mask.Width), '.');
    for (int32_t x = 0; x < mask.Width; ++x)
      if (mask.Data[static_cast<size_t>(y) * mask.Width + x]) row[static_cast<size_t>(x)] = 'X';
    text.insert(text.end(), row.begin(), row.end());
    text.push_back('\n');
  }
  WriteOutputFile(fileName, text);
  return true;
}

// Images are made at the display's depth; without a display the game's own
// depth stands in for the command's duration.
class TImageDepth {
 public:
  TImageDepth() : Previous_(ScreenDepth) {
    if (ScreenDepth == 0) ScreenDepth = 32;
  }
  ~TImageDepth() { ScreenDepth = Previous_; }
  TImageDepth(const TImageDepth&) = delete;
  TImageDepth& operator=(const TImageDepth&) = delete;

 private:
  uint32_t Previous_;
};

std::string FlagsText(const TImageAttributes& a) {
  std::string s;
  auto add = [&s](const char* f) { s += (s.empty() ? "" : ", ") + std::string(f); };
  if (a.ColorKeyed) add("colour-keyed");
  if (a.RandomStart) add("random start");
  if (a.FlagB) add("B");
  if (a.FlagC) add("C");
  return s.empty() ? "none" : s;
}

}  // namespace

int PictureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> positional;
  std::string archive;
  std::string maskName;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--archive" && i + 1 < args.size()) {
      archive = args[++i];
    } else if (args[i] == "--mask" && i + 1 < args.size()) {
      maskName = args[++i];
    } else if (args[i] == "--help" || args[i] == "-h") {
      out << kUsage;
      return 0;
    } else if (args[i].rfind("--", 0) == 0) {
      err << "vgrdata picture: unknown option '" << args[i] << "'\n" << kUsage;
      return 2;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) {
    err << kUsage;
    return 2;
  }
  const std::string& in = positional[0];
  const std::string& outName = positional[1];

  TMountedArchive mounted;
  if (!archive.empty()) {
    if (!FileExists(archive)) {
      err << "vgrdata picture: no archive " << archive << "\n";
      return 1;
    }
    if (!mounted.Mount(archive)) {
      err << "vgrdata picture: " << archive << " is not an archive\n";
      return 1;
    }
  }

  TCollectedLog log;
  // The picture itself first, for the reader's complaints and the attribute
  // block, which the image no longer shows.
  const TPictureName name = ParsePictureName(in);
  const std::string ext = PictureExtension(name.FileName);
  TRawPicture picture;
  if (!ReadPictureFile(picture, name.FileName)) {
    err << "vgrdata picture: Unknown file extension! (" << ext << ")\n";
    return 1;
  }
  for (const std::string& line : log.Complaints()) err << line << "\n";
  if (picture.Width == 0) {
    err << "vgrdata picture: " << name.FileName << " could not be decoded\n";
    return 1;
  }
  const int32_t attributeType = picture.ExtraType;
  const TImageAttributes attrs = AttributesOf(picture);
  picture.Clear();

  // Then the image exactly as the game loads it.
  TImageDepth depth;
  const size_t before = log.Complaints().size();
  TImagePtr image = LoadImage(in);
  const auto after = log.Complaints();
  for (size_t i = before; i < after.size(); ++i) err << after[i] << "\n";
  if (!image) {
    err << "vgrdata picture: frame selection outside the " << attrs.Frames << " frames of " << name.FileName << "\n";
    return 1;
  }
  const bool clipped = name.FirstFrame >= 0 && attrs.Animated;

  {
    TMemoryStream bmp;
    if (!WriteBMP24(PictureOfImage(image.get()), bmp)) {
      err << "vgrdata picture: cannot write " << outName << "\n";
      return 1;
    }
    WriteOutputFile(outName, bmp.Data);
  }
  out << in << " -> " << outName << "\n";
  out << "size: " << ImageWidth(image.get()) << "x" << ImageHeight(image.get()) << "\n";
  out << "attribute type: " << attributeType << "\n";
  out << "frames: " << (image->Animated ? image->FrameCount : 1) << (image->Animated ? " (animated)" : "") << "\n";
  TImageAttributes shown;
  shown.ColorKeyed = image->ColorKeyed;
  shown.RandomStart = attrs.RandomStart && !clipped;
  shown.FlagB = image->FlagB;
  shown.FlagC = image->FlagC;
  out << "flags: " << FlagsText(shown) << "\n";
  if (attributeType == etLong) {
    out << "attribute A: " << image->AttrA << "\nattribute B: " << image->AttrB << "\n";
    out << "start frame: " << (shown.RandomStart ? "random" : std::to_string(image->StartFrame)) << "\n";
  }
  if (image->ColorKeyed) out << "transparent pixels shown as magenta (ff00ff)\n";
  if (!maskName.empty()) {
    TMaskPtr mask = CreateMaskFromImage(image.get());
    if (!mask || !WriteMask(*mask, maskName)) {
      err << "vgrdata picture: cannot write " << maskName << "\n";
      return 1;
    }
    size_t set = 0;
    for (uint8_t b : mask->Data) set += b != 0;
    out << "mask: " << maskName << " (" << mask->Width << "x" << mask->Height << ", " << set << " solid)\n";
  }
  return 0;
}

namespace {

const char* const kIconUsage = "usage: vgrdata icon IN OUT.png --size N [--archive ARCHIVE]\n";

}  // namespace

std::vector<uint8_t> IconPixels(PImage image, int size) {
  std::vector<uint8_t> rgba(static_cast<size_t>(size) * static_cast<size_t>(size) * 4, 0);
  const int w = ImageWidth(image), h = ImageHeight(image);
  if (w == 0 || h == 0 || size <= 0) return rgba;
  SDL_Surface* s = image->Surface;
  LockSurface(s);
  auto opaque = [&](int x, int y) { return !image->ColorKeyed || GetPixel(s, x, y) != 0; };
  // The drawn part only: transparent margins would shrink the figure.
  int x1 = w, y1 = h, x2 = -1, y2 = -1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (opaque(x, y)) {
        x1 = std::min(x1, x);
        y1 = std::min(y1, y);
        x2 = std::max(x2, x);
        y2 = std::max(y2, y);
      }
  if (x2 >= 0) {
    const int bw = x2 - x1 + 1, bh = y2 - y1 + 1, longest = std::max(bw, bh);
    // Whole-pixel enlargement keeps the pixels sharp; a picture larger than
    // the icon is thinned out instead.
    const int factor = size / longest;
    const int sw = factor > 0 ? bw * factor : bw * size / longest;
    const int sh = factor > 0 ? bh * factor : bh * size / longest;
    const int ox = (size - sw) / 2, oy = (size - sh) / 2;
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x) {
        const int sx = x1 + x * bw / sw, sy = y1 + y * bh / sh;
        if (!opaque(sx, sy)) continue;
        uint8_t r = 0, g = 0, b = 0;
        GetColor(s, GetPixel(s, sx, sy), r, g, b);
        uint8_t* px = &rgba[(static_cast<size_t>(oy + y) * size + static_cast<size_t>(ox + x)) * 4];
        px[0] = r;
        px[1] = g;
        px[2] = b;
        px[3] = 255;
      }
  }
  UnlockSurface(s);
  return rgba;
}

int IconCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> positional;
  std::string archive;
  int size = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--archive" && i + 1 < args.size()) {
      archive = args[++i];
    } else if (args[i] == "--size" && i + 1 < args.size()) {
      const std::string& v = args[++i];
      size = v.size() <= 4 && !v.empty() && v.find_first_not_of("0123456789") == std::string::npos ? std::stoi(v) : 0;
    } else if (args[i] == "--help" || args[i] == "-h") {
      out << kIconUsage;
      return 0;
    } else if (args[i].rfind("--", 0) == 0) {
      err << "vgrdata icon: unknown option '" << args[i] << "'\n" << kIconUsage;
      return 2;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2 || size < 1 || size > 1024) {
    err << kIconUsage;
    return 2;
  }
  TMountedArchive mounted;
  if (!archive.empty() && (!FileExists(archive) || !mounted.Mount(archive))) {
    err << "vgrdata icon: cannot mount the archive " << archive << "\n";
    return 1;
  }
  TCollectedLog log;
  TImageDepth depth;
  TImagePtr image = LoadImage(positional[0]);
  for (const std::string& line : log.Complaints(true)) err << line << "\n";
  if (!image) {
    err << "vgrdata icon: cannot load " << positional[0] << "\n";
    return 1;
  }
  if (!WritePNG(positional[1], size, size, IconPixels(image.get(), size))) {
    err << "vgrdata icon: cannot write " << positional[1] << "\n";
    return 1;
  }
  out << positional[0] << " -> " << positional[1] << " (" << size << "x" << size << ")\n";
  return 0;
}

}  // namespace vgrdata

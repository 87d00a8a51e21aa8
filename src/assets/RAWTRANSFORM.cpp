#include "RAWTRANSFORM.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "Logger.h"
#include "RawPictureUnit.h"
#include "ZRINIFile.h"

namespace {

const char* const kLocTransform = "RAWTRANSFORM, TransformRawImage";
const char* const kLocMulti = "RawPictureUnit, TRawPicture.MultiTransform";
const char* const kLocMultiEx = "RawPictureUnit, TRawPicture.MultiTransformEx";

void MirrorH(TRawPicture& p) {
  for (int32_t y = 0; y < p.Height; ++y) {
    for (int32_t a = 0, b = p.Width - 1; a < b; ++a, --b) std::swap_ranges(p.PixelAt(a, y), p.PixelAt(a, y) + 3, p.PixelAt(b, y));
  }
}

void MirrorV(TRawPicture& p) {
  const size_t rowBytes = static_cast<size_t>(p.Width) * 3;
  for (int32_t a = 0, b = p.Height - 1; a < b; ++a, --b) {
    std::swap_ranges(p.PixelAt(0, a), p.PixelAt(0, a) + rowBytes, p.PixelAt(0, b));
  }
}

// New pixel (x, y) of a quarter turn: clockwise from old (y, H - 1 - x),
// anticlockwise from old (W - 1 - y, x).
void Rotate(TRawPicture& p, bool clockwise) {
  const int32_t w = p.Width;
  const int32_t h = p.Height;
  std::vector<uint8_t> out(p.Pixels.size());
  for (int32_t y = 0; y < w; ++y) {
    for (int32_t x = 0; x < h; ++x) {
      const uint8_t* src = clockwise ? p.PixelAt(y, h - 1 - x) : p.PixelAt(w - 1 - y, x);
      std::memcpy(out.data() + (static_cast<size_t>(y) * h + x) * 3, src, 3);
    }
  }
  p.Pixels = std::move(out);
  p.Width = h;
  p.Height = w;
}

void Invert(TRawPicture& p) {
  for (uint8_t& b : p.Pixels) b = static_cast<uint8_t>(255 - b);
}

bool Double(TRawPicture& p) {
  const int64_t w2 = static_cast<int64_t>(p.Width) * 2;
  const int64_t h2 = static_cast<int64_t>(p.Height) * 2;
  // The same bounds as any picture: a name with a few "D"s must not make a
  // small picture take gigabytes.
  if (!PictureSizeAllowed(w2, h2)) {
    Log->Warning("Picture too large to double! (" + std::to_string(p.Width) + "x" + std::to_string(p.Height) + ")",
                 kLocTransform);
    return false;
  }
  std::vector<uint8_t> out;
  try {
    out.resize(static_cast<size_t>(w2) * static_cast<size_t>(h2) * 3);
  } catch (const std::bad_alloc&) {
    Log->Warning("Not enough memory to double the picture!", kLocTransform);
    return false;
  }
  // Each source row is widened once and then copied into the row below.
  const size_t rowBytes = static_cast<size_t>(w2) * 3;
  // A picture without columns has no rows to copy, however tall it is.
  for (int32_t y = 0; y < p.Height && rowBytes > 0; ++y) {
    uint8_t* row = out.data() + static_cast<size_t>(y) * 2 * rowBytes;
    const uint8_t* src = p.PixelAt(0, y);
    for (int32_t x = 0; x < p.Width; ++x, src += 3, row += 6) {
      row[0] = row[3] = src[0];
      row[1] = row[4] = src[1];
      row[2] = row[5] = src[2];
    }
    uint8_t* first = out.data() + static_cast<size_t>(y) * 2 * rowBytes;
    std::memcpy(first + rowBytes, first, rowBytes);
  }
  p.Pixels = std::move(out);
  p.Width = static_cast<int32_t>(w2);
  p.Height = static_cast<int32_t>(h2);
  return true;
}

// Copies columns [x0, x0 + w) of every row between two pictures of equal height.
void CopyColumns(const TRawPicture& from, int32_t fromX, TRawPicture& to, int32_t toX, int32_t w) {
  for (int32_t y = 0; y < from.Height; ++y) {
    std::memcpy(to.PixelAt(toX, y), from.PixelAt(fromX, y), static_cast<size_t>(w) * 3);
  }
}

}  // namespace

bool TransformRawImage(TRawPicture& p, char command) {
  switch (command) {
    case 'H': MirrorH(p); return true;
    case 'V': MirrorV(p); return true;
    case 'R': Rotate(p, true); return true;
    case 'r': Rotate(p, false); return true;
    case 'I': Invert(p); return true;
    case 'D': return Double(p);
    default:
      Log->Warning(std::string("Unknown transformation command (") + command + ")", kLocTransform);
      return false;
  }
}

void TRawPicture::MultiTransformEx(const std::string& commands) {
  // Turns, mirrors and inversions are gathered and applied once at the end:
  // a name with hundreds of letters would otherwise turn a large picture
  // hundreds of times. The gathered turn is kept as a left-right mirror
  // followed by quarter turns clockwise. Doubling commutes with all of them,
  // and whether it is refused depends on the size alone, so it is done where
  // it stands.
  int turns = 0;
  bool mirrored = false, inverted = false;
  const size_t n = commands.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = commands[i];
    Log->Debug("[" + std::to_string(i + 1) + "/" + std::to_string(n) + "] " + c, kLocMultiEx);
    switch (c) {
      case 'R': turns = (turns + 1) & 3; break;
      case 'r': turns = (turns + 3) & 3; break;
      // A mirror after k turns is the mirror before -k turns; V is H turned
      // twice.
      case 'H': turns = (4 - turns) & 3; mirrored = !mirrored; break;
      case 'V': turns = (6 - turns) & 3; mirrored = !mirrored; break;
      case 'I': inverted = !inverted; break;
      default: TransformRawImage(*this, c);  // doubling, or a warning
    }
  }
  if (mirrored) TransformRawImage(*this, 'H');
  if (turns == 1) TransformRawImage(*this, 'R');
  if (turns == 2) {
    TransformRawImage(*this, 'H');
    TransformRawImage(*this, 'V');
  }
  if (turns == 3) TransformRawImage(*this, 'r');
  if (inverted) TransformRawImage(*this, 'I');
  Log->Debug("Finished.", kLocMultiEx);
}

void TRawPicture::MultiTransform(const std::string& commands) {
  if (TrimBlanks(commands).empty()) {
    Log->Debug("No transformation needed.", kLocMulti);
    return;
  }
  Log->Debug("Starting...", kLocMulti);
  Log->Debug("Transformation string: " + commands, kLocMulti);
  std::string s = commands;
  const auto doubles = std::count(s.begin(), s.end(), 'D');
  s.erase(std::remove(s.begin(), s.end(), 'D'), s.end());
  Log->Debug("Size: " + std::to_string(Width) + "x" + std::to_string(Height), kLocMulti);

  const int32_t frames = FrameCount();
  // A frame count of 0 or 1 names no frames to cut: the picture is one
  // frame, which may change its shape.
  if ((ExtraType == etShort || ExtraType == etLong) && frames > 1) {
    Log->Debug("Animated.", kLocMulti);
    Log->Debug("Framecount: " + std::to_string(frames), kLocMulti);
    const int32_t fw = Width / frames;
    Log->Debug("Framewidth: " + std::to_string(fw), kLocMulti);
    // Frames are copied back into their old place, so a quarter turn only
    // fits frames that are square.
    if (fw != Height && s.find_first_of("Rr") != std::string::npos) {
      Log->Warning("Rotation skipped, the frames are not square! (" + std::to_string(fw) + "x" +
                       std::to_string(Height) + ")",
                   kLocMulti);
      s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == 'R' || c == 'r'; }), s.end());
    }
    if (fw > 0) {
      TRawPicture scratch(fw, Height);
      for (int32_t f = 0; f < frames; ++f) {
        Log->Debug("Processing frame " + std::to_string(f + 1) + ".", kLocMulti);
        Log->Debug("->Single", kLocMulti);
        CopyColumns(*this, f * fw, scratch, 0, fw);
        Log->Debug("Transforming", kLocMulti);
        scratch.MultiTransform(s);
        Log->Debug("Single->", kLocMulti);
        CopyColumns(scratch, 0, *this, f * fw, fw);
      }
    }
  } else {
    Log->Debug("Not animated.", kLocMulti);
    MultiTransformEx(s);
  }
  for (int64_t i = 0; i < doubles; ++i) TransformRawImage(*this, 'D');
}

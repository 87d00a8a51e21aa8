#include "RawPictureUnit.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <iostream>
#include <new>

#include "Logger.h"
#include "RawPictureReaderFASTUnit.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

namespace {

const char* const kLocBMP = "RawPictureUnit, TRawPicture.ReadBMP";
const char* const kLocCEL = "RawPictureUnit, TRawPicture.ReadCEL";
const char* const kLocMI = "RawPictureUnit, TRawPicture.ReadMI";
const char* const kLocMI100 = "RawPictureUnit, ReadMI100";
const char* const kLocTGA = "RawPictureUnit, TRawPicture.ReadTGA";
const char* const kLocKEP = "RawPictureUnit, TRawPicture.ReadKEP";
const char* const kLocK16 = "RawPictureUnit, TRawPicture.ReadK16";
const char* const kLocMATOR = "RawPictureUnit, TRawPicture.ReadMATOR";
const char* const kLocGSD = "RawPictureUnit, TRawPicture.ReadGSD";

const char* const kEndOfFile = "Unexpected end of file!";

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

std::string SizeText(int64_t w, int64_t h) { return "(" + std::to_string(w) + "x" + std::to_string(h) + ")"; }

// Bytes from the current position to the end of the stream.
int64_t Remaining(TStream& s) { return std::max<int64_t>(0, s.Size() - s.Position()); }

// The TGA decoder reports on standard output, one line per message.
void TGAMessage(const char* text) { std::cout << text << std::endl; }

void Put565(uint16_t v, uint8_t* d) {
  d[0] = static_cast<uint8_t>((v & 31) << 3);
  d[1] = static_cast<uint8_t>(((v >> 5) & 63) << 2);
  d[2] = static_cast<uint8_t>((v >> 11) << 3);
}

void PutGrey(uint8_t v, uint8_t* d) { d[0] = d[1] = d[2] = v; }

// Turns the file pixels of TGA data into blue, green, red.
struct TTGAPixelFormat {
  int Bytes = 3;           // bytes per file pixel
  bool Indexed = false;    // types 1 and 9: index into the colour map
  bool Grey = false;       // types 3 and 11
  bool Rgb555 = false;     // 16-bit with attribute bits 1
  const uint8_t* Map = nullptr;  // 256 entries blue, green, red

  void Convert(const uint8_t* s, uint8_t* d) const {
    if (Indexed) {
      std::copy_n(Map + s[0] * 3, 3, d);
    } else if (Grey) {
      PutGrey(s[0], d);
    } else if (Bytes == 2) {
      const uint16_t v = U16(s);
      if (Rgb555) {
        d[0] = static_cast<uint8_t>((v & 31) << 3);
        d[1] = static_cast<uint8_t>(((v >> 5) & 31) << 3);
        d[2] = static_cast<uint8_t>(((v >> 10) & 31) << 3);
      } else {
        Put565(v, d);
      }
    } else {
      // 24 and 32 bits: blue, green, red as stored; alpha dropped.
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
};

// The general run-length decoder (packets may cross row ends). `consumed`
// receives the bytes used.
TRunLengthResult DecodeTGARunLength(const uint8_t* data, size_t size, size_t& consumed, TRawPicture& pic,
                                    bool topDown, const TTGAPixelFormat& fmt) {
  const size_t total = static_cast<size_t>(pic.Width) * static_cast<size_t>(pic.Height);
  const size_t bytes = static_cast<size_t>(fmt.Bytes);
  size_t done = 0;
  size_t pos = 0;
  auto target = [&](size_t index) {
    const int32_t fileRow = static_cast<int32_t>(index / static_cast<size_t>(pic.Width));
    const int32_t x = static_cast<int32_t>(index % static_cast<size_t>(pic.Width));
    return pic.PixelAt(x, topDown ? fileRow : pic.Height - 1 - fileRow);
  };
  while (done < total) {
    if (pos >= size) {
      consumed = pos;
      return TRunLengthResult::Truncated;
    }
    const uint8_t h = data[pos++];
    const size_t count = static_cast<size_t>(h & 0x7F) + 1;
    if (count > total - done) {
      consumed = pos;
      return TRunLengthResult::Overrun;
    }
    const size_t need = (h & 0x80) ? bytes : bytes * count;
    if (size - pos < need) {
      consumed = pos;
      return TRunLengthResult::Truncated;
    }
    if (h & 0x80) {
      uint8_t c[3];
      fmt.Convert(data + pos, c);
      for (size_t i = 0; i < count; ++i) std::copy_n(c, 3, target(done + i));
    } else {
      for (size_t i = 0; i < count; ++i) fmt.Convert(data + pos + i * bytes, target(done + i));
    }
    pos += need;
    done += count;
  }
  consumed = pos;
  return TRunLengthResult::Ok;
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && SameTextASCII(s.substr(s.size() - tail.size()), tail);
}

// Adds `ext` (with its dot) when the name has no "." after its first
// character, unless it already ends with the extension's letters.
std::string WithDefaultExtension(const std::string& name, const std::string& ext) {
  if (name.find('.', 1) != std::string::npos) return name;
  if (EndsWithNoCase(name, ext.substr(1))) return name;
  return name + ext;
}

void ReadByName(TRawPicture& pic, const std::string& name, const char* ext, const char* location,
                void (TRawPicture::*reader)(TStream&)) {
  const std::string fileName = WithDefaultExtension(name, ext);
  std::unique_ptr<TStream> s = ZROpenStream(fileName);
  if (!s) {
    Log->Warning("File not found: " + fileName, location);
    return;
  }
  (pic.*reader)(*s);
}

std::array<uint8_t, 768> MakeFixedPalette() {
  std::array<uint8_t, 768> p{};
  auto set = [&p](int i, int r, int g, int b) {
    p[i * 3] = static_cast<uint8_t>(r);
    p[i * 3 + 1] = static_cast<uint8_t>(g);
    p[i * 3 + 2] = static_cast<uint8_t>(b);
  };
  set(0, 0, 0, 0);
  set(1, 252, 252, 252);
  set(2, 32, 80, 216);
  set(3, 240, 40, 20);
  // 4 to 219: a 6 x 6 x 6 colour cube, red varying slowest.
  int i = 4;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) set(i++, r * 51, g * 51, b * 51);
  // 220 to 247: a grey ramp from dark to white.
  for (int k = 0; k < 28; ++k) {
    const int v = ((k + 1) * 255 + 14) / 28;
    set(i++, v, v, v);
  }
  // 248 to 255: a grey ramp from (64, 64, 64) down to (12, 12, 12).
  for (int k = 0; k < 8; ++k) {
    const int v = 64 - (k * 52 + 3) / 7;
    set(i++, v, v, v);
  }
  return p;
}

}  // namespace

const std::array<uint8_t, 768> FixedPalette = MakeFixedPalette();

// ---------------------------------------------------------------------------
// Picture basics

TRawPicture::TRawPicture(int32_t width, int32_t height) { SetSize(width, height); }

uint8_t TRawPicture::GetExtraByte(int32_t index) const {
  return index >= 0 && static_cast<size_t>(index) < Extra.size() ? Extra[static_cast<size_t>(index)] : 0;
}

void TRawPicture::SetExtraByte(int32_t index, uint8_t value) {
  if (index >= 0 && static_cast<size_t>(index) < Extra.size()) Extra[static_cast<size_t>(index)] = value;
}

void TRawPicture::SetExtraType(int32_t type) {
  static const size_t sizes[] = {0, 2, 16, 32};
  if (type >= 0 && type <= 3) {
    ExtraType = type;
    Extra.resize(sizes[type]);
  } else {
    ExtraType = etUnknown;
  }
}

int32_t TRawPicture::FrameCount() const { return GetExtraByte(0) + (GetExtraByte(1) & 0x0F) * 256; }

void TRawPicture::Clear() {
  Width = 0;
  Height = 0;
  Pixels.clear();
  Pixels.shrink_to_fit();
  ExtraType = etNone;
  Extra.clear();
}

namespace {
// Both sides at their limit would take 768 MiB; a few bytes of a run-length
// file can claim that. No picture takes more than this (some 22 million
// pixels, 85 times the screen) at once; its surface takes a third more.
int64_t MaxPictureBytes = int64_t{64} << 20;
bool SizeRefused = false;
int32_t RefusedWidth = 0;
int32_t RefusedHeight = 0;

void NoteSizeRefusal(int32_t width, int32_t height) {
  SizeRefused = true;
  RefusedWidth = width;
  RefusedHeight = height;
}
}  // namespace

bool TakeSizeRefusal(int32_t& width, int32_t& height) {
  const bool refused = SizeRefused;
  width = RefusedWidth;
  height = RefusedHeight;
  SizeRefused = false;
  return refused;
}

bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width <= MaxPictureSide && height <= MaxPictureSide &&
         width * height * 3 <= MaxPictureBytes;
}

int64_t SetMaxPictureBytes(int64_t bytes) {
  const int64_t previous = MaxPictureBytes;
  MaxPictureBytes = bytes;
  return previous;
}

bool TRawPicture::SetSize(int32_t width, int32_t height) {
  if (!PictureSizeAllowed(width, height)) {
    NoteSizeRefusal(width, height);
    Clear();
    return false;
  }
  try {
    Pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  }
  Width = width;
  Height = height;
  return true;
}

void TRawPicture::Fail(const std::string& msg, const char* location) {
  Clear();
  Log->Warning(msg, location);
}

bool TRawPicture::Allocate(int32_t width, int32_t height, const char* location) {
  if (!PictureSizeAllowed(width, height)) {
    NoteSizeRefusal(width, height);
    Fail("Picture too large! " + SizeText(width, height), location);
    return false;
  }
  if (!SetSize(width, height)) {
    Fail("Not enough memory for the picture! " + SizeText(width, height), location);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// TGA

void TRawPicture::ReadTGA(const std::string& fileName) {
  ReadByName(*this, fileName, ".tga", kLocTGA, &TRawPicture::ReadTGA);
}

void TRawPicture::ReadTGA(TStream& s) {
  Clear();
  uint8_t h[18];
  if (!s.ReadBuffer(h, 18)) return Fail(kEndOfFile, kLocTGA);
  const uint8_t idLength = h[0];
  const uint8_t mapType = h[1];
  const uint8_t imageType = h[2];
  const uint16_t mapLength = U16(h + 5);
  const uint8_t mapEntryBits = h[7];
  const uint16_t xOrigin = U16(h + 8);
  const uint16_t yOrigin = U16(h + 10);
  const int32_t width = U16(h + 12);
  const int32_t height = U16(h + 14);
  const uint8_t depth = h[16];
  const uint8_t descriptor = h[17];
  const bool topDown = (descriptor & 0x20) != 0;

  switch (idLength) {
    case 0: ExtraType = etNone; break;
    case 2: ExtraType = etShort; break;
    case 16: ExtraType = etLong; break;
    case 32: ExtraType = etExtended; break;
    default: ExtraType = etUnknown; break;
  }
  Extra.resize(idLength);
  if (!s.ReadBuffer(Extra.data(), idLength)) return Fail(kEndOfFile, kLocTGA);

  if (width > MaxPictureSide || height > MaxPictureSide) {
    return Fail("Picture too large! " + SizeText(width, height), kLocTGA);
  }

  // Colour map: the colour-mapped types read it as a table of three-byte
  // entries whatever the entry size says (the toolset only ever wrote 24-bit
  // maps); in a file of another type it is skipped so that it is not taken
  // for pixels.
  std::array<uint8_t, 768> map{};
  const bool indexed = imageType == 1 || imageType == 9;
  if (indexed) {
    if (mapLength > 256) return Fail("Palette too large! (" + std::to_string(mapLength) + " entries)", kLocTGA);
    if (!s.ReadBuffer(map.data(), mapLength * 3)) return Fail(kEndOfFile, kLocTGA);
  } else if (mapType != 0 && mapLength > 0) {
    const int64_t skip = static_cast<int64_t>(mapLength) * ((mapEntryBits + 7) / 8);
    if (Remaining(s) < skip) return Fail(kEndOfFile, kLocTGA);
    s.Seek(skip, soCurrent);
  }

  // The reader stops on these without decoding anything, which leaves no
  // picture worth showing.
  auto stop = [this](const char* msg) {
    TGAMessage(msg);
    Clear();
  };

  TTGAPixelFormat fmt;
  fmt.Map = map.data();
  bool runLength = false;
  switch (imageType) {
    case 0:
      return stop("RTGA: No image data included in file!");
    case 1:
    case 9:
      fmt.Bytes = 1;
      fmt.Indexed = true;
      runLength = imageType == 9;
      break;
    case 2:
    case 10:
      if (imageType == 2 && (xOrigin != 0 || yOrigin != 0)) TGAMessage("RTGA: Ignoring Origin settings!");
      if (depth == 24 || depth == 32) {
        fmt.Bytes = depth / 8;
      } else if (depth == 16) {
        fmt.Bytes = 2;
        const int attr = descriptor & 0x0F;
        if (attr == 1) {
          fmt.Rgb555 = true;
        } else if (attr != 0) {
          return stop("RTGA: Illegal Image Descriptor Byte!");
        }
      } else {
        return stop("RTGA: Illegal Image Pixel Size!");
      }
      runLength = imageType == 10;
      break;
    case 3:
      // This one message has never carried the "RTGA: " prefix; scripts
      // that watch the output know it so.
      if (depth != 8) return stop("Illegal Image Pixel Size!");
      fmt.Bytes = 1;
      fmt.Grey = true;
      break;
    case 11:
      fmt.Bytes = 1;
      fmt.Grey = true;
      runLength = true;
      break;
    case 32:
    case 33:
      return stop("RTGA: Compressed images are not supported!");
    default:
      // Spelt as it has always been printed.
      return stop("RTGA: Unkown image type!");
  }

  const int64_t pixels = static_cast<int64_t>(width) * height;
  const int64_t remaining = Remaining(s);
  // Refuse before allocating when the data cannot possibly fill the picture.
  const int64_t least = runLength ? (pixels + 127) / 128 * (1 + fmt.Bytes) : pixels * fmt.Bytes;
  if (remaining < least) return Fail(kEndOfFile, kLocTGA);
  if (!Allocate(width, height, kLocTGA)) return;

  if (runLength) {
    const int64_t start = s.Position();
    const int64_t most = pixels * (1 + fmt.Bytes);
    std::vector<uint8_t> data(static_cast<size_t>(std::min(remaining, most)));
    if (!s.ReadBuffer(data.data(), static_cast<int64_t>(data.size()))) return Fail(kEndOfFile, kLocTGA);
    size_t consumed = 0;
    // The fast decoder handles 24-bit true colour; 16- and 32-bit packets
    // hold other pixel sizes and go through the general decoder.
    const TRunLengthResult r =
        fmt.Bytes == 3 && !fmt.Indexed && !fmt.Grey
            ? DecodeTGARunLength24(data.data(), data.size(), consumed, Pixels.data(), Width, Height, topDown)
            : DecodeTGARunLength(data.data(), data.size(), consumed, *this, topDown, fmt);
    if (r == TRunLengthResult::Truncated) return Fail(kEndOfFile, kLocTGA);
    if (r == TRunLengthResult::Overrun) {
      return Fail("Run-length data crosses the end of the picture!", kLocTGA);
    }
    s.Seek(start + static_cast<int64_t>(consumed), soBeginning);
  } else {
    const bool direct = fmt.Bytes == 3 && !fmt.Indexed && !fmt.Grey;
    std::vector<uint8_t> row(direct ? 0 : static_cast<size_t>(width) * static_cast<size_t>(fmt.Bytes));
    for (int32_t r = 0; r < height; ++r) {
      uint8_t* out = PixelAt(0, topDown ? r : height - 1 - r);
      // 24-bit rows are already in the picture's byte order.
      if (direct) {
        if (!s.ReadBuffer(out, static_cast<int64_t>(width) * 3)) return Fail(kEndOfFile, kLocTGA);
        continue;
      }
      if (!s.ReadBuffer(row.data(), static_cast<int64_t>(row.size()))) return Fail(kEndOfFile, kLocTGA);
      for (int32_t x = 0; x < width; ++x) fmt.Convert(row.data() + static_cast<size_t>(x) * fmt.Bytes, out + x * 3);
    }
  }

  if (Extra.size() == 32) {
    int bits = 0;
    for (size_t i = 0; i < 32; ++i) bits += std::popcount(Extra[i]);
    Extra.resize(32 + 8 * static_cast<size_t>(bits));
    if (!s.ReadBuffer(Extra.data() + 32, 8 * bits)) return Fail(kEndOfFile, kLocTGA);
  }
  if (Extra.size() == 16 && (Extra[6] & AttrStackedFrames) != 0) RestackFrames();
}

void TRawPicture::RestackFrames() {
  const int32_t frames = FrameCount();
  // No frame count: the file holds one picture.
  if (frames <= 1) return;
  if (frames > Height) {
    return Fail("Invalid frame count! (" + std::to_string(frames) + ")", kLocTGA);
  }
  const int32_t tileH = Height / frames;
  const int64_t newW = static_cast<int64_t>(Width) * frames;
  if (newW > MaxPictureSide) return Fail("Picture too large! " + SizeText(newW, tileH), kLocTGA);
  std::vector<uint8_t> out;
  try {
    out.assign(static_cast<size_t>(newW) * static_cast<size_t>(tileH) * 3, 0);
  } catch (const std::bad_alloc&) {
    return Fail("Not enough memory for the picture! " + SizeText(newW, tileH), kLocTGA);
  }
  const size_t rowBytes = static_cast<size_t>(Width) * 3;
  for (int32_t f = 0; f < frames; ++f) {
    for (int32_t y = 0; y < tileH; ++y) {
      const uint8_t* src = PixelAt(0, f * tileH + y);
      uint8_t* dst = out.data() + (static_cast<size_t>(y) * static_cast<size_t>(newW) + static_cast<size_t>(f) * Width) * 3;
      std::copy_n(src, rowBytes, dst);
    }
  }
  Pixels = std::move(out);
  Width = static_cast<int32_t>(newW);
  Height = tileH;
}

// ---------------------------------------------------------------------------
// BMP

void TRawPicture::ReadBMP(const std::string& fileName) {
  ReadByName(*this, fileName, ".bmp", kLocBMP, &TRawPicture::ReadBMP);
}

void TRawPicture::ReadBMP(TStream& s) {
  const int64_t base = s.Position();
  uint8_t h[54] = {};
  const int64_t got = std::max<int64_t>(0, s.Read(h, 54));
  if (got < 2 || h[0] != 'B' || h[1] != 'M') {
    Log->Warning("Not a .BMP file!", kLocBMP);
    return;
  }
  if (got < 18) return Fail(kEndOfFile, kLocBMP);
  if (U32(h + 14) != 40) {
    Log->Warning("Only Windows V3 BMP header supported!", kLocBMP);
    return;
  }
  if (got < 54) return Fail(kEndOfFile, kLocBMP);
  Clear();
  const uint32_t dataOffset = U32(h + 10);
  const int32_t width = static_cast<int32_t>(U32(h + 18));
  const int32_t height = static_cast<int32_t>(U32(h + 22));
  const uint16_t bits = U16(h + 28);
  const uint32_t compression = U32(h + 30);
  const uint32_t colorsUsed = U32(h + 46);

  // Only bottom-up pictures are read.
  if (width <= 0 || height <= 0) return Fail("Unsupported picture size! " + SizeText(width, height), kLocBMP);
  if (width > MaxPictureSide || height > MaxPictureSide) {
    return Fail("Picture too large! " + SizeText(width, height), kLocBMP);
  }
  const bool rle8 = bits == 8 && compression == 1;
  if (!(compression == 0 && (bits == 1 || bits == 4 || bits == 8 || bits == 24)) && !rle8) {
    return Fail("Unsupported BMP format! (" + std::to_string(bits) + " bits, compression " +
                    std::to_string(compression) + ")",
                kLocBMP);
  }
  int64_t rowRaw = 0;
  switch (bits) {
    case 1: rowRaw = (width - 1) / 8 + 1; break;
    case 4: rowRaw = (width - 1) / 2 + 1; break;
    case 8: rowRaw = width; break;
    default: rowRaw = static_cast<int64_t>(width) * 3; break;
  }
  const int64_t rowPadded = (rowRaw + 3) & ~int64_t{3};
  if (!rle8 && rowPadded > 16384) {
    return Fail("Row too long! (" + std::to_string(rowPadded) + " bytes)", kLocBMP);
  }

  std::array<uint8_t, 1024> palette{};
  if (bits != 24) {
    const uint32_t entries = bits == 1 ? 2 : bits == 4 ? 16 : (colorsUsed == 0 ? 256 : colorsUsed);
    if (entries > 256) return Fail("Palette too large! (" + std::to_string(entries) + " entries)", kLocBMP);
    if (!s.ReadBuffer(palette.data(), entries * 4)) return Fail(kEndOfFile, kLocBMP);
    // Rows follow the palette, unless the header points further on: writers
    // that store fewer entries than the depth allows leave a gap otherwise
    // read as pixels.
    const int64_t paletteEnd = 54 + static_cast<int64_t>(entries) * 4;
    if (dataOffset > paletteEnd && base + dataOffset <= s.Size()) s.SetPosition(base + dataOffset);
  } else {
    const int64_t at = base + std::max<int64_t>(dataOffset, 54);
    if (at > s.Size()) return Fail(kEndOfFile, kLocBMP);
    s.SetPosition(at);
  }

  auto putIndex = [&](uint8_t* d, uint8_t index) {
    d[0] = palette[index * 4];
    d[1] = palette[index * 4 + 1];
    d[2] = palette[index * 4 + 2];
  };

  if (rle8) {
    std::vector<uint8_t> data = s.ReadAll();
    if (!Allocate(width, height, kLocBMP)) return;
    int64_t x = 0;
    int64_t y = height - 1;
    size_t p = 0;
    auto put = [&](uint8_t index) {
      if (x >= 0 && x < width && y >= 0 && y < height) putIndex(PixelAt(static_cast<int32_t>(x), static_cast<int32_t>(y)), index);
      ++x;
    };
    for (;;) {
      if (data.size() - p < 2) {
        // Data that runs out once every row is done lacks only its end mark.
        if (y < 0) break;
        return Fail(kEndOfFile, kLocBMP);
      }
      const uint8_t count = data[p];
      const uint8_t value = data[p + 1];
      p += 2;
      if (count > 0) {
        for (int i = 0; i < count; ++i) put(value);
      } else if (value == 0) {
        x = 0;
        --y;
      } else if (value == 1) {
        break;
      } else if (value == 2) {
        if (data.size() - p < 2) return Fail(kEndOfFile, kLocBMP);
        x += data[p];
        y -= data[p + 1];
        p += 2;
      } else {
        if (data.size() - p < value) return Fail(kEndOfFile, kLocBMP);
        for (int i = 0; i < value; ++i) put(data[p + static_cast<size_t>(i)]);
        p += value;
        if (value & 1) p = std::min(p + 1, data.size());
      }
    }
    return;
  }

  if (Remaining(s) < (height - 1) * rowPadded + rowRaw) return Fail(kEndOfFile, kLocBMP);
  if (!Allocate(width, height, kLocBMP)) return;
  std::vector<uint8_t> row(static_cast<size_t>(rowPadded));
  for (int32_t r = 0; r < height; ++r) {
    const int64_t n = std::max<int64_t>(0, s.Read(row.data(), rowPadded));
    // The last row may lack its padding.
    if (n < rowRaw) return Fail(kEndOfFile, kLocBMP);
    uint8_t* out = PixelAt(0, height - 1 - r);
    switch (bits) {
      case 1:
        for (int32_t x = 0; x < width; ++x) putIndex(out + x * 3, (row[x / 8] >> (7 - x % 8)) & 1);
        break;
      case 4:
        for (int32_t x = 0; x < width; ++x) {
          const uint8_t b = row[x / 2];
          putIndex(out + x * 3, (x % 2 == 0) ? (b >> 4) : (b & 0x0F));
        }
        break;
      case 8:
        for (int32_t x = 0; x < width; ++x) putIndex(out + x * 3, row[x]);
        break;
      default:
        std::copy_n(row.data(), static_cast<size_t>(width) * 3, out);
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// CEL

void TRawPicture::ReadCEL(const std::string& fileName) {
  ReadByName(*this, fileName, ".cel", kLocCEL, &TRawPicture::ReadCEL);
}

void TRawPicture::ReadCEL(TStream& s) {
  const int64_t base = s.Position();
  uint8_t h[6] = {};
  const int64_t got = std::max<int64_t>(0, s.Read(h, 6));
  if (got < 2 || U16(h) != 0x9119) {
    Log->Warning("Not a .CEL file!", kLocCEL);
    return;
  }
  Clear();
  if (got < 6) return Fail(kEndOfFile, kLocCEL);
  const int32_t width = U16(h + 2);
  const int32_t height = U16(h + 4);
  if (s.Size() < base + 32 + 768 + static_cast<int64_t>(width) * height) return Fail(kEndOfFile, kLocCEL);
  s.SetPosition(base + 32);
  uint8_t pal[768];
  if (!s.ReadBuffer(pal, 768)) return Fail(kEndOfFile, kLocCEL);
  // 6-bit components, red, green, blue: scaled and turned around.
  uint8_t map[768];
  for (int i = 0; i < 256; ++i) {
    map[i * 3] = static_cast<uint8_t>(pal[i * 3 + 2] * 4);
    map[i * 3 + 1] = static_cast<uint8_t>(pal[i * 3 + 1] * 4);
    map[i * 3 + 2] = static_cast<uint8_t>(pal[i * 3] * 4);
  }
  if (!Allocate(width, height, kLocCEL)) return;
  std::vector<uint8_t> row(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    if (!s.ReadBuffer(row.data(), width)) return Fail(kEndOfFile, kLocCEL);
    for (int32_t x = 0; x < width; ++x) std::copy_n(map + row[x] * 3, 3, PixelAt(x, y));
  }
  ExtraType = etNone;
}

// ---------------------------------------------------------------------------
// MI

void TRawPicture::ReadMI(const std::string& fileName) {
  ReadByName(*this, fileName, ".mi", kLocMI, &TRawPicture::ReadMI);
}

void TRawPicture::ReadMI(TStream& s) {
  bool ok = true;
  const uint16_t magic = s.ReadU16(&ok);
  if (!ok || magic != 0x494D) {
    Log->Warning("Not an .MI file!", kLocMI);
    return;
  }
  const uint16_t version = s.ReadU16(&ok);
  if (!ok || version != 0x0100) {
    Log->Warning("Unknown .MI file version!", kLocMI);
    return;
  }
  ReadMI100(s);
}

void TRawPicture::ReadMI100(TStream& s) {
  uint8_t h[8];
  if (!s.ReadBuffer(h, 8)) {
    Clear();
    return Fail(kEndOfFile, kLocMI);
  }
  const uint16_t code = U16(h);
  if (code != 0x3631 && code != 0x3432 && code != 0x5347) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", code);
    Log->Warning(std::string("Invalid color depth! (") + hex + ")", kLocMI100);
    return;
  }
  Clear();
  const int32_t width = U16(h + 4);
  const int32_t height = U16(h + 6);
  const int64_t bytesPerPixel = code == 0x3432 ? 3 : code == 0x3631 ? 2 : 1;
  if (code != 0x3432 && width * bytesPerPixel > 3856) {
    return Fail("Row too long! (" + std::to_string(width * bytesPerPixel) + " bytes)", kLocMI);
  }
  if (Remaining(s) < static_cast<int64_t>(width) * height * bytesPerPixel) return Fail(kEndOfFile, kLocMI);
  if (!Allocate(width, height, kLocMI)) return;
  if (code == 0x3432) {
    // One read for the whole picture, red, green, blue turned around in place.
    if (!s.ReadBuffer(Pixels.data(), static_cast<int64_t>(Pixels.size()))) return Fail(kEndOfFile, kLocMI);
    for (size_t i = 0; i + 2 < Pixels.size(); i += 3) std::swap(Pixels[i], Pixels[i + 2]);
  } else {
    std::vector<uint8_t> row(static_cast<size_t>(width * bytesPerPixel));
    for (int32_t y = 0; y < height; ++y) {
      if (!s.ReadBuffer(row.data(), static_cast<int64_t>(row.size()))) return Fail(kEndOfFile, kLocMI);
      for (int32_t x = 0; x < width; ++x) {
        if (code == 0x5347) {
          PutGrey(row[x], PixelAt(x, y));
        } else {
          Put565(U16(row.data() + x * 2), PixelAt(x, y));
        }
      }
    }
  }
  ExtraType = etNone;
}

// ---------------------------------------------------------------------------
// KEP, K16, GSD: a 16-bit width and height, then the pixels, rows top down.

void TRawPicture::ReadKEP(const std::string& fileName) {
  ReadByName(*this, fileName, ".kep", kLocKEP, &TRawPicture::ReadKEP);
}

void TRawPicture::ReadKEP(TStream& s) {
  Clear();
  const int64_t size = s.Size() - s.Position();
  uint8_t h[4];
  if (!s.ReadBuffer(h, 4)) return Fail(kEndOfFile, kLocKEP);
  int32_t width = U16(h);
  int32_t height = U16(h + 2);
  // Some files store the highest coordinates instead of the size.
  if (size == static_cast<int64_t>(width + 1) * (height + 1) + 4) {
    ++width;
    ++height;
  }
  if (Remaining(s) < static_cast<int64_t>(width) * height) return Fail(kEndOfFile, kLocKEP);
  if (!Allocate(width, height, kLocKEP)) return;
  std::vector<uint8_t> row(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    if (!s.ReadBuffer(row.data(), width)) return Fail(kEndOfFile, kLocKEP);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* c = FixedPalette.data() + row[x] * 3;
      uint8_t* d = PixelAt(x, y);
      d[0] = c[2];
      d[1] = c[1];
      d[2] = c[0];
    }
  }
}

void TRawPicture::ReadK16(const std::string& fileName) {
  ReadByName(*this, fileName, ".k16", kLocK16, &TRawPicture::ReadK16);
}

void TRawPicture::ReadK16(TStream& s) {
  Clear();
  uint8_t h[4];
  if (!s.ReadBuffer(h, 4)) return Fail(kEndOfFile, kLocK16);
  const int32_t width = U16(h);
  const int32_t height = U16(h + 2);
  if (Remaining(s) < static_cast<int64_t>(width) * height * 2) return Fail(kEndOfFile, kLocK16);
  if (!Allocate(width, height, kLocK16)) return;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 2);
  for (int32_t y = 0; y < height; ++y) {
    if (!s.ReadBuffer(row.data(), width * 2)) return Fail(kEndOfFile, kLocK16);
    for (int32_t x = 0; x < width; ++x) Put565(U16(row.data() + x * 2), PixelAt(x, y));
  }
}

void TRawPicture::ReadGSD(const std::string& fileName) {
  ReadByName(*this, fileName, ".gsd", kLocGSD, &TRawPicture::ReadGSD);
}

void TRawPicture::ReadGSD(TStream& s) {
  Clear();
  uint8_t h[4];
  if (!s.ReadBuffer(h, 4)) return Fail(kEndOfFile, kLocGSD);
  const int32_t width = U16(h);
  const int32_t height = U16(h + 2);
  if (Remaining(s) < static_cast<int64_t>(width) * height) return Fail(kEndOfFile, kLocGSD);
  if (!Allocate(width, height, kLocGSD)) return;
  std::vector<uint8_t> row(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    if (!s.ReadBuffer(row.data(), width)) return Fail(kEndOfFile, kLocGSD);
    for (int32_t x = 0; x < width; ++x) PutGrey(row[x], PixelAt(x, y));
  }
}

// ---------------------------------------------------------------------------
// MATOR

void TRawPicture::ReadMATOR(const std::string& fileName) {
  ReadByName(*this, fileName, ".mator", kLocMATOR, &TRawPicture::ReadMATOR);
}

// ---------------------------------------------------------------------------
// Readers by extension, picture names

const char* const PictureExtensionTable = "BMP,0,CEL,1,MI,2,TGA,3,KEP,4,K16,5,MATOR,6,GSD,7,X";

TPictureReader PictureReaderOf(const std::string& extension) {
  // Walk the key, value pairs of the table literal.
  std::vector<std::string> items;
  std::string item;
  for (const char* p = PictureExtensionTable;; ++p) {
    if (*p == ',' || *p == 0) {
      items.push_back(item);
      item.clear();
      if (*p == 0) break;
    } else {
      item += *p;
    }
  }
  for (size_t i = 0; i + 1 < items.size(); i += 2) {
    if (SameTextASCII(items[i], extension)) return static_cast<TPictureReader>(std::stoi(items[i + 1]));
  }
  return prNone;
}

std::string PictureExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? std::string() : UpperCase(fileName.substr(dot + 1));
}

bool ReadPictureFile(TRawPicture& picture, const std::string& fileName) {
  switch (PictureReaderOf(PictureExtension(fileName))) {
    case prBMP: picture.ReadBMP(fileName); return true;
    case prCEL: picture.ReadCEL(fileName); return true;
    case prMI: picture.ReadMI(fileName); return true;
    case prTGA: picture.ReadTGA(fileName); return true;
    case prKEP: picture.ReadKEP(fileName); return true;
    case prK16: picture.ReadK16(fileName); return true;
    case prMATOR: picture.ReadMATOR(fileName); return true;
    case prGSD: picture.ReadGSD(fileName); return true;
    default: return false;
  }
}

namespace {
// A decimal integer, or -1.
int32_t FrameNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return -1;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
  }
  return std::stoi(text);
}
}  // namespace

TPictureName ParsePictureName(const std::string& name) {
  TPictureName result;
  std::string rest = name;
  const size_t open = rest.find('[');
  const size_t close = rest.find(']');
  if (open != std::string::npos && close != std::string::npos && close > open) {
    const std::string inner = rest.substr(open + 1, close - open - 1);
    const size_t dots = inner.find("..");
    if (dots != std::string::npos) {
      result.FirstFrame = FrameNumber(inner.substr(0, dots));
      result.LastFrame = FrameNumber(inner.substr(dots + 2));
    } else {
      result.FirstFrame = FrameNumber(inner);
    }
    rest.erase(open, close - open + 1);
  }
  // A colon at position 1 or 2 belongs to a drive letter.
  const size_t colon = rest.find(':');
  if (colon != std::string::npos && colon >= 2) {
    result.Transform = rest.substr(colon + 1);
    rest.erase(colon);
  }
  result.FileName = rest;
  return result;
}

bool WriteBMP24(const TRawPicture& picture, TStream& stream) {
  if (picture.Width <= 0 || picture.Height <= 0) return false;
  const uint32_t rowRaw = static_cast<uint32_t>(picture.Width) * 3;
  const uint32_t rowPadded = (rowRaw + 3) & ~3u;
  const uint32_t dataSize = rowPadded * static_cast<uint32_t>(picture.Height);
  bool ok = stream.WriteU8('B') && stream.WriteU8('M') && stream.WriteU32(54 + dataSize) && stream.WriteU32(0) &&
            stream.WriteU32(54) && stream.WriteU32(40) && stream.WriteU32(static_cast<uint32_t>(picture.Width)) &&
            stream.WriteU32(static_cast<uint32_t>(picture.Height)) && stream.WriteU16(1) && stream.WriteU16(24) &&
            stream.WriteU32(0) && stream.WriteU32(dataSize) && stream.WriteU32(2835) && stream.WriteU32(2835) &&
            stream.WriteU32(0) && stream.WriteU32(0);
  std::vector<uint8_t> row(rowPadded, 0);
  for (int32_t y = picture.Height - 1; ok && y >= 0; --y) {
    std::copy_n(picture.PixelAt(0, y), rowRaw, row.data());
    ok = stream.WriteBuffer(row.data(), rowPadded);
  }
  return ok;
}

void RawPictureUnit_Startup() { LogUnitVersion("RawPictureUnit", "1.13"); }

#pragma once
// Builders of small picture files for the reader tests, and pixel helpers.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "RawPictureUnit.h"

namespace picfix {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// 0xRRGGBB of a decoded pixel.
inline uint32_t Px(const TRawPicture& p, int32_t x, int32_t y) {
  const uint8_t* c = p.PixelAt(x, y);
  return (static_cast<uint32_t>(c[2]) << 16) | (static_cast<uint32_t>(c[1]) << 8) | c[0];
}
// Every pixel, row by row.
inline std::vector<uint32_t> AllPx(const TRawPicture& p) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < p.Height; ++y)
    for (int32_t x = 0; x < p.Width; ++x) out.push_back(Px(p, x, y));
  return out;
}
// Blue, green, red bytes of 0xRRGGBB.
inline Bytes BGR(uint32_t c) {
  return {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16)};
}

struct TGAHeader {
  uint8_t IdLength = 0;
  uint8_t MapType = 0;
  uint8_t Type = 2;
  uint16_t MapFirst = 0;
  uint16_t MapLength = 0;
  uint8_t MapEntryBits = 0;
  uint16_t XOrigin = 0;
  uint16_t YOrigin = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t Depth = 24;
  uint8_t Descriptor = 0x20;

  Bytes Encode() const {
    Bytes b = {IdLength, MapType, Type};
    Put16(b, MapFirst);
    Put16(b, MapLength);
    b.push_back(MapEntryBits);
    Put16(b, XOrigin);
    Put16(b, YOrigin);
    Put16(b, Width);
    Put16(b, Height);
    b.push_back(Depth);
    b.push_back(Descriptor);
    return b;
  }
};

// A TGA file: header (ID length set from `id`), ID field, then `body`.
inline Bytes MakeTGA(TGAHeader h, const Bytes& id, const Bytes& body) {
  h.IdLength = static_cast<uint8_t>(id.size());
  return Cat({h.Encode(), id, body});
}

// A version 3 BMP: header, palette of 0xRRGGBB entries, then `body` at
// `dataOffset` (0: directly behind the palette).
inline Bytes MakeBMP(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                     const std::vector<uint32_t>& palette, const Bytes& body, uint32_t colorsUsed = 0,
                     uint32_t dataOffset = 0, uint32_t headerSize = 40) {
  const uint32_t natural = 54 + static_cast<uint32_t>(palette.size()) * 4;
  if (dataOffset == 0) dataOffset = natural;
  Bytes b = {'B', 'M'};
  Put32(b, dataOffset + static_cast<uint32_t>(body.size()));
  Put32(b, 0);
  Put32(b, dataOffset);
  Put32(b, headerSize);
  Put32(b, static_cast<uint32_t>(width));
  Put32(b, static_cast<uint32_t>(height));
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, compression);
  Put32(b, static_cast<uint32_t>(body.size()));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, colorsUsed);
  Put32(b, 0);
  for (uint32_t c : palette) {
    Bytes e = BGR(c);
    e.push_back(0);
    b.insert(b.end(), e.begin(), e.end());
  }
  while (b.size() < dataOffset) b.push_back(0xEE);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline Bytes Chunk(const std::string& id, const Bytes& data) {
  Bytes b(id.begin(), id.end());
  Put32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

inline Bytes U32s(std::initializer_list<uint32_t> values) {
  Bytes b;
  for (uint32_t v : values) Put32(b, v);
  return b;
}
inline Bytes U16s(std::initializer_list<uint32_t> values) {
  Bytes b;
  for (uint32_t v : values) Put16(b, v);
  return b;
}

}  // namespace picfix

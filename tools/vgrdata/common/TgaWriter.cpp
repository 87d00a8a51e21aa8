#include "TgaWriter.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "RawPictureUnit.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

namespace vgrdata {

namespace {

uint8_t Luminance(const uint8_t* bgr) { return GreyLevel(bgr[2], bgr[1], bgr[0]); }

// Bytes of the ID field, or false when the block does not fit its type.
bool IdField(const TRawPicture& p, std::vector<uint8_t>& id, std::vector<uint8_t>& appended) {
  const std::vector<uint8_t>& e = p.Extra;
  switch (p.ExtraType) {
    case etNone:
      return e.empty();
    case etShort:
    case etLong:
      if (e.size() != (p.ExtraType == etShort ? 2u : 16u)) return false;
      id = e;
      return true;
    case etExtended: {
      if (e.size() < 32) return false;
      size_t bits = 0;
      for (size_t i = 0; i < 32; ++i) bits += static_cast<size_t>(std::popcount(e[i]));
      if (e.size() != 32 + 8 * bits) return false;
      id.assign(e.begin(), e.begin() + 32);
      appended.assign(e.begin() + 32, e.end());
      return true;
    }
    default:
      // A block of another length reads back as "unknown"; the lengths of
      // the known types would read back as those types.
      if (e.size() > 255 || e.size() == 2 || e.size() == 16 || e.size() == 32) return false;
      id = e;
      return true;
  }
}

}  // namespace

bool WriteTGA(const TRawPicture& picture, TStream& stream, TTgaPixels pixels, bool runLength) {
  const int32_t w = picture.Width, h = picture.Height;
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535) return false;
  if (picture.Pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h) * 3) return false;
  std::vector<uint8_t> id, appended;
  if (!IdField(picture, id, appended)) return false;

  const bool grey = pixels == TTgaPixels::Grey;
  const size_t bpp = grey ? 1 : 3;
  std::vector<uint8_t> out;
  out.reserve(18 + id.size() + static_cast<size_t>(w) * h * bpp + appended.size());
  auto put16 = [&out](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  out.push_back(static_cast<uint8_t>(id.size()));
  out.push_back(0);  // no colour map
  out.push_back(static_cast<uint8_t>(grey ? (runLength ? 11 : 3) : (runLength ? 10 : 2)));
  for (int i = 0; i < 5; ++i) out.push_back(0);  // colour-map fields
  put16(0);
  put16(0);
  put16(static_cast<uint32_t>(w));
  put16(static_cast<uint32_t>(h));
  out.push_back(static_cast<uint8_t>(grey ? 8 : 24));
  out.push_back(0x20);  // rows top to bottom
  out.insert(out.end(), id.begin(), id.end());

  std::vector<uint8_t> row(static_cast<size_t>(w) * bpp);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = picture.PixelAt(x, y);
      if (grey) {
        row[x] = Luminance(p);
      } else {
        std::copy_n(p, 3, row.begin() + static_cast<ptrdiff_t>(x) * 3);
      }
    }
    if (!runLength) {
      out.insert(out.end(), row.begin(), row.end());
      continue;
    }
    auto same = [&row, bpp](int32_t a, int32_t b) {
      for (size_t k = 0; k < bpp; ++k)
        if (row[a * bpp + k] != row[b * bpp + k]) return false;
      return true;
    };
    int32_t x = 0;
    while (x < w) {
      int32_t run = 1;
      while (x + run < w && run < 128 && same(x, x + run)) ++run;
      if (run >= 2) {
        out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
        out.insert(out.end(), row.begin() + x * bpp, row.begin() + (x + 1) * bpp);
        x += run;
        continue;
      }
      // A raw packet up to the next run of at least two.
      int32_t n = 1;
      while (x + n < w && n < 128 && !(x + n + 1 < w && same(x + n, x + n + 1))) ++n;
      out.push_back(static_cast<uint8_t>(n - 1));
      out.insert(out.end(), row.begin() + x * bpp, row.begin() + (x + n) * bpp);
      x += n;
    }
  }
  out.insert(out.end(), appended.begin(), appended.end());
  return stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

}  // namespace vgrdata

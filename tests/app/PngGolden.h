#pragma once
// Golden screenshots: a picture of the screen is compared by checksum with a
// PNG committed beside the tests, which a reviewer can open. When a change to
// a screen is intended, run the tests once with VGR_UPDATE_GOLDEN=1 to
// rewrite the PNGs, look at them, and commit them:
//
//   VGR_UPDATE_GOLDEN=1 build/bin/app_tests --gtest_filter='EndScenes*'
//
// The PNGs are 8-bit RGB, unfiltered rows; the reader takes only what the
// writer makes.

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ZR_SDL.h"

namespace golden {

struct TPicture {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> RGB;  // rows top to bottom, 3 bytes a pixel

  // FNV-1a over the size and every pixel.
  uint32_t Checksum() const {
    uint32_t h = 2166136261u;
    auto add = [&h](uint8_t b) { h = (h ^ b) * 16777619u; };
    for (int s = 0; s < 32; s += 8) add(uint8_t(Width >> s)), add(uint8_t(Height >> s));
    for (uint8_t b : RGB) add(b);
    return h;
  }
};

// The image's pixels.
inline TPicture Capture(PImage image) {
  TPicture p;
  p.Width = ImageWidth(image);
  p.Height = ImageHeight(image);
  p.RGB.reserve(static_cast<size_t>(p.Width) * p.Height * 3);
  LockSurface(image->Surface);
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) {
      uint8_t r = 0, g = 0, b = 0;
      GetColor(image->Surface, GetPixel(image->Surface, x, y), r, g, b);
      p.RGB.insert(p.RGB.end(), {r, g, b});
    }
  UnlockSurface(image->Surface);
  return p;
}

inline void PutBE32(std::string& s, uint32_t v) {
  for (int sh = 24; sh >= 0; sh -= 8) s.push_back(static_cast<char>(v >> sh));
}
inline uint32_t GetBE32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}

inline void AddChunk(std::string& png, const char* type, const std::string& data) {
  PutBE32(png, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  PutBE32(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

inline bool WritePNG(const std::string& fileName, const TPicture& p) {
  std::string raw;
  for (int y = 0; y < p.Height; ++y) {
    raw.push_back(0);
    raw.append(reinterpret_cast<const char*>(&p.RGB[static_cast<size_t>(y) * p.Width * 3]), static_cast<size_t>(p.Width) * 3);
  }
  uLongf size = compressBound(raw.size());
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9) != Z_OK)
    return false;
  packed.resize(size);
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  PutBE32(header, static_cast<uint32_t>(p.Width));
  PutBE32(header, static_cast<uint32_t>(p.Height));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  AddChunk(png, "IHDR", header);
  AddChunk(png, "IDAT", packed);
  AddChunk(png, "IEND", "");
  std::ofstream f(fileName, std::ios::binary);
  f << png;
  return static_cast<bool>(f);
}

// Empty picture when the file is missing or not one the writer made.
inline TPicture ReadPNG(const std::string& fileName) {
  std::ifstream f(fileName, std::ios::binary);
  const std::string png((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  TPicture p;
  if (png.size() < 33 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return p;
  std::string packed;
  int32_t w = 0, h = 0;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t len = GetBE32(png, at);
    if (at + 12 + len > png.size()) return p;
    const std::string type = png.substr(at + 4, 4);
    if (type == "IHDR" && len >= 13) {
      w = static_cast<int32_t>(GetBE32(png, at + 8));
      h = static_cast<int32_t>(GetBE32(png, at + 12));
      if (png[at + 16] != 8 || png[at + 17] != 2 || png[at + 20] != 0) return p;
    } else if (type == "IDAT") {
      packed += png.substr(at + 8, len);
    }
    at += 12 + len;
  }
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096) return p;
  std::string raw(static_cast<size_t>(w * 3 + 1) * h, '\0');
  uLongf size = raw.size();
  if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &size, reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK ||
      size != raw.size())
    return p;
  for (int y = 0; y < h; ++y)
    if (raw[static_cast<size_t>(y) * (w * 3 + 1)] != 0) return p;  // only unfiltered rows
  p.Width = w;
  p.Height = h;
  for (int y = 0; y < h; ++y) {
    const char* row = &raw[static_cast<size_t>(y) * (w * 3 + 1) + 1];
    p.RGB.insert(p.RGB.end(), row, row + w * 3);
  }
  return p;
}

inline bool UpdateRequested() {
  const char* v = std::getenv("VGR_UPDATE_GOLDEN");
  return v && std::strcmp(v, "1") == 0;
}

// Empty when the picture matches the golden PNG (or the PNG was rewritten
// on request); otherwise what differs.
inline std::string Compare(const TPicture& shot, const std::string& goldenFile) {
  if (UpdateRequested()) return WritePNG(goldenFile, shot) ? "" : "cannot write " + goldenFile;
  const TPicture gold = ReadPNG(goldenFile);
  if (gold.RGB.empty()) return "no readable golden picture " + goldenFile;
  if (gold.Checksum() == shot.Checksum()) return "";
  size_t differ = 0;
  for (size_t i = 0; i + 2 < gold.RGB.size() && i + 2 < shot.RGB.size(); i += 3)
    if (std::memcmp(&gold.RGB[i], &shot.RGB[i], 3) != 0) ++differ;
  // The picture as it came out, in the temporary folder, for a look.
  const std::string actual =
      (std::filesystem::temp_directory_path() / std::filesystem::path(goldenFile).filename()).string() + ".actual.png";
  WritePNG(actual, shot);
  return goldenFile + ": checksum differs, " + std::to_string(differ) + " pixels differ (now: " + actual + ")";
}

}  // namespace golden

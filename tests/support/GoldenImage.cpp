#include "GoldenImage.h"

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace vgrtest {

namespace {

void PutBE32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBE32(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  PutBE32(out, static_cast<uint32_t>(crc));
}

std::map<std::string, std::string> ReadChecksums(const std::string& fileName) {
  std::map<std::string, std::string> sums;
  std::ifstream in(fileName);
  std::string name, sum;
  while (in >> name >> sum) sums[name] = sum;
  return sums;
}

void WriteChecksums(const std::string& fileName, const std::map<std::string, std::string>& sums) {
  std::ofstream out(fileName, std::ios::trunc);
  for (const auto& [name, sum] : sums) out << name << ' ' << sum << '\n';
}

std::string Hex(uint32_t v) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08x", v);
  return buf;
}

}  // namespace

uint32_t PictureChecksum(const TRGBPicture& picture) {
  uLong crc = crc32(0, nullptr, 0);
  const uint32_t size[2] = {static_cast<uint32_t>(picture.Width), static_cast<uint32_t>(picture.Height)};
  crc = crc32(crc, reinterpret_cast<const Bytef*>(size), sizeof size);
  crc = crc32(crc, picture.Pixels.data(), static_cast<uInt>(picture.Pixels.size()));
  return static_cast<uint32_t>(crc);
}

bool WritePNG(const std::string& fileName, const TRGBPicture& picture) {
  // Every row starts with filter type 0 (none).
  std::string raw;
  const std::size_t rowBytes = static_cast<std::size_t>(picture.Width) * 3;
  for (int y = 0; y < picture.Height; ++y) {
    raw.push_back('\0');
    raw.append(reinterpret_cast<const char*>(picture.Pixels.data()) + y * rowBytes, rowBytes);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), 9) != Z_OK) {
    return false;
  }
  packed.resize(packedSize);

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  PutBE32(header, static_cast<uint32_t>(picture.Width));
  PutBE32(header, static_cast<uint32_t>(picture.Height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter choice, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", "");
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(png.data(), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

std::string CheckGolden(const std::string& folder, const std::string& name, const TRGBPicture& picture,
                        const std::string& actualFolder) {
  const std::string sumsFile = folder + "checksums.txt";
  auto sums = ReadChecksums(sumsFile);
  const std::string actual = Hex(PictureChecksum(picture));
  const char* update = std::getenv("VGR_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    if (!WritePNG(folder + name + ".png", picture)) return "cannot write " + folder + name + ".png";
    sums[name] = actual;
    WriteChecksums(sumsFile, sums);
    return "";
  }
  auto it = sums.find(name);
  if (it != sums.end() && it->second == actual) return "";
  const std::string viewable = actualFolder + name + ".actual.png";
  WritePNG(viewable, picture);
  std::ostringstream msg;
  msg << "golden " << name << ": expected "
      << (it == sums.end() ? std::string("(none; run with VGR_UPDATE_GOLDEN=1)") : it->second) << ", got " << actual
      << "; the picture is in " << viewable;
  return msg.str();
}

}  // namespace vgrtest

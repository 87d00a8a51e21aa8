#pragma once
// Writes 8-bit RGBA pictures as PNG files (the desktop's icons), compressed
// with zlib, no filtering.

#include <cstdint>
#include <string>
#include <vector>

namespace vgrdata {

// `rgba` holds width * height pixels of red, green, blue, alpha, rows top to
// bottom. False when the sizes do not match; a file that cannot be written
// is removed and throws (ToolFiles.h).
bool WritePNG(const std::string& fileName, int width, int height, const std::vector<uint8_t>& rgba);

}  // namespace vgrdata

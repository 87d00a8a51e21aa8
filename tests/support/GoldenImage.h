#pragma once
// Golden images: a picture of a screen compared by a checksum of its pixels,
// with the picture itself committed as a PNG beside the checksum so that a
// reviewer can open it.
//
// A folder of goldens holds NAME.png and one line per image in checksums.txt
// ("NAME crc32-in-hex"). When a change to a screen is intended, rewrite them:
//
//   VGR_UPDATE_GOLDEN=1 build/bin/app_tests --gtest_filter='...'
//
// and commit the new PNGs and checksums.txt after looking at them.

#include <cstdint>
#include <string>
#include <vector>

namespace vgrtest {

// A picture as 8-bit red, green, blue triples, rows top to bottom.
struct TRGBPicture {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
};

// CRC-32 of the width, height and pixels.
uint32_t PictureChecksum(const TRGBPicture& picture);
// An 8-bit RGB PNG of the picture; false when the file cannot be written.
bool WritePNG(const std::string& fileName, const TRGBPicture& picture);

// Compares the picture with the golden `name` in `folder` (with its trailing
// "/"). Returns an empty string when they agree, else what differed; a
// mismatching picture is written to `actualFolder` + NAME.actual.png for
// viewing. With VGR_UPDATE_GOLDEN=1 the golden is rewritten instead and the
// comparison passes.
std::string CheckGolden(const std::string& folder, const std::string& name, const TRGBPicture& picture,
                        const std::string& actualFolder);

}  // namespace vgrtest

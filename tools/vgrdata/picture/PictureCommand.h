#pragma once
// `vgrdata picture`: loads a picture name the way the game does (extension
// table, reader, transformation string, attributes, colour key, frame
// selection) and writes the image as a 24-bit BMP, transparent pixels in
// magenta, and optionally its collision mask as text, so that artists and
// tests can check a picture.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "RawPictureUnit.h"
#include "ZR_SDL.h"

namespace vgrdata {

// args: IN OUT.bmp [--archive ARCHIVE] [--mask OUT.txt]. Returns the exit code.
int PictureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// `vgrdata icon IN OUT.png --size N [--archive ARCHIVE]`: the picture as the
// game loads it, cut to its drawn part, enlarged by a whole factor (thinned
// out when larger) and centred on a transparent N x N square, as a PNG: the
// desktop icons of the game. Returns the exit code.
int IconCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The image as the game holds it, as a 24-bit picture; with a colour key,
// the transparent pixels become magenta.
TRawPicture PictureOfImage(PImage image);
// The N x N RGBA pixels of such an icon.
std::vector<uint8_t> IconPixels(PImage image, int size);

}  // namespace vgrdata

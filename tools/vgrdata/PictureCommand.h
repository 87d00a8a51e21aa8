#pragma once
// `vgrdata picture`: loads a picture name the way the game does (extension
// table, reader, transformation string, attributes, colour key, frame
// selection) and writes the image as a 24-bit BMP, transparent pixels in
// magenta, and optionally its collision mask as text, so that artists and
// tests can check a picture.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: IN OUT.bmp [--archive ARCHIVE] [--mask OUT.txt]. Returns the exit code.
int PictureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

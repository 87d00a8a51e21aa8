#pragma once
// `vgrdata picture`: decodes a picture name the way the game does (extension
// table, reader, frame selection, transformation string) and writes the
// result as a 24-bit BMP, so that artists and tests can check a picture.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: IN OUT.bmp [--archive ARCHIVE]. Returns the exit code.
int PictureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

#pragma once
// `vgrdata art`: builds the game's pictures from the sources in data/art/
// (see ArtScript.h) and shows the finished data the way the game sees it: a
// contact sheet of every picture it can look up, and the playfield drawn as
// a level start draws it.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: build OUTDIR FILE... | list FILE... | sheet OUT.bmp | playfield OUT.bmp
int ArtCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

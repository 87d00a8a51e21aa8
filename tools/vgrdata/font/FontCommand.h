#pragma once
// `vgrdata font`: builds the game's bitmap fonts from outline fonts with
// FreeType (".zrr" and TGA fonts), and draws texts with any font through the
// program's own font code, so that a font can be looked at before it ships.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: build|render|sheet|info ... (see the usage text). Returns the exit code.
int FontCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The lines of a contact sheet: every printable ASCII character and a sample.
std::vector<std::string> ContactSheetLines();

}  // namespace vgrdata

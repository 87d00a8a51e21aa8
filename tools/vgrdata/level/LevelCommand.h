#pragma once
// `vgrdata level`: the level designer's tool. `check` reads level pieces (or
// a whole map pack) and reports every rule a playable piece breaks, naming
// the piece, the cell and the rule.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: the subcommand and its arguments. Returns the exit code.
int LevelCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

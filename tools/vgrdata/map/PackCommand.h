#pragma once
// `vgrdata pack`: builds map packs (MPCK, MPKT, MPKB) from map files, lists
// them and takes single maps out again, through the program's own pack unit.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: the subcommand and its arguments. Returns the exit code.
int PackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

#pragma once
// `vgrdata map`: converts tile maps between their four file formats and shows
// what a map file holds, through the program's own map unit.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: the subcommand and its arguments. Returns the exit code.
int MapCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

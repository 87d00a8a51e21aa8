#pragma once
// `vgrdata archive`: builds, edits, lists, unpacks and checks chunk archives
// through the program's own storage units.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: the subcommand and its arguments. Returns the exit code.
int ArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

#pragma once
// The data tool's command table: `vgrdata <command> [arguments]`.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// Runs one command line (without the program name); returns the exit code.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vgrdata

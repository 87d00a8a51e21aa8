#pragma once
// `vgrdata map`: converts tile maps between their four file formats and shows
// what a map file holds, through the program's own map unit.

#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

// args: the subcommand and its arguments. Returns the exit code.
int MapCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The whole file, or false when it cannot be read.
bool ReadWholeFile(const std::string& name, std::vector<uint8_t>& data);
bool WriteWholeFile(const std::string& name, const std::vector<uint8_t>& data);

}  // namespace vgrdata

#pragma once
// The command line as every command of the data tool reads it: options are
// words starting with "--", and "--help" (or "-h") anywhere asks for the
// command's usage instead of running it.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vgrdata {

bool AsksForHelp(const std::vector<std::string>& args);

// The first argument from `from` on that is written as an option but is none
// of `valued` (each followed by its value, which is passed over) and `flags`;
// empty when every option is known.
std::string UnknownOption(const std::vector<std::string>& args, std::size_t from,
                          std::initializer_list<std::string_view> valued = {},
                          std::initializer_list<std::string_view> flags = {});

}  // namespace vgrdata

#pragma once
// The command line as every command of the data tool reads it: options are
// words starting with "--", and "--help" (or "-h") anywhere asks for the
// command's usage instead of running it.

#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <optional>
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

// The checks a command makes before anything else, in this order: "--help"
// or "help" as the first argument writes `usage` to `out` (exit code 0); a
// first argument that is none of `subcommands` (when some are given), then
// any option from `from` on (the commands checked here take none), is named
// on `err` as
// "vgrdata COMMAND: unknown subcommand 'X'" or "... unknown option 'X'",
// followed by `usage` (exit code 2). Empty when the command may go on.
std::optional<int> CheckCommandLine(const std::vector<std::string>& args, std::size_t from, std::string_view command,
                                    std::string_view usage, std::ostream& out, std::ostream& err,
                                    std::initializer_list<std::string_view> subcommands = {});

}  // namespace vgrdata

#include "ToolOptions.h"

#include <algorithm>
#include <ostream>

namespace vgrdata {

namespace {

// "--" alone and "-5" are arguments, not options.
bool LooksLikeOption(const std::string& a) { return a.size() > 2 && a.compare(0, 2, "--") == 0; }

bool Among(const std::string& a, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), a) != names.end();
}

}  // namespace

bool AsksForHelp(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

std::string UnknownOption(const std::vector<std::string>& args, std::size_t from,
                          std::initializer_list<std::string_view> valued,
                          std::initializer_list<std::string_view> flags) {
  for (std::size_t i = from; i < args.size(); ++i) {
    if (Among(args[i], valued)) {
      ++i;
    } else if (LooksLikeOption(args[i]) && !Among(args[i], flags)) {
      return args[i];
    }
  }
  return {};
}

std::optional<int> CheckCommandLine(const std::vector<std::string>& args, std::size_t from, std::string_view command,
                                    std::string_view usage, std::ostream& out, std::ostream& err,
                                    std::initializer_list<std::string_view> subcommands) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "help")) {
    out << usage;
    return 0;
  }
  if (!args.empty() && subcommands.size() > 0 && !Among(args[0], subcommands)) {
    err << "vgrdata " << command << ": unknown subcommand '" << args[0] << "'\n" << usage;
    return 2;
  }
  if (const std::string bad = UnknownOption(args, from); !bad.empty()) {
    err << "vgrdata " << command << ": unknown option '" << bad << "'\n" << usage;
    return 2;
  }
  return std::nullopt;
}

}  // namespace vgrdata

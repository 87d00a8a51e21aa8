#include "ToolOptions.h"

#include <algorithm>

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

}  // namespace vgrdata

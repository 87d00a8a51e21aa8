#pragma once
// Runs the data tool in-process, as its command line would.

#include <sstream>
#include <string>
#include <vector>

#include "VgrData.h"

namespace vgrtest {

struct TToolResult {
  int code;
  std::string out;
  std::string err;
};

inline TToolResult Vgr(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = vgrdata::Run(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace vgrtest

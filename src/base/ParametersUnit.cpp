#include "ParametersUnit.h"

#include <climits>
#include <unistd.h>

#include "ZRToolbox.h"

std::unique_ptr<TParameters> Parameters;

TParameters::TParameters(TStringArray args) : Args(std::move(args)) {
  if (Args.empty()) Args.emplace_back();
}

TStringArray TParameters::FromCommandLine(int argc, char** argv) {
  TStringArray args;
  std::string self = argc > 0 && argv[0] ? argv[0] : "";
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0) self.assign(buf, static_cast<std::size_t>(n));
  args.push_back(self);
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

int TParameters::IndexOf(const std::string& name) const {
  const std::string wanted = UpperCase(name);
  for (std::size_t i = 0; i < Args.size(); ++i) {
    if (UpperCase(Args[i]) == wanted) return static_cast<int>(i);
  }
  return -1;
}

std::string TParameters::ValueAfter(const std::string& name) const {
  int i = IndexOf(name);
  if (i >= 0 && static_cast<std::size_t>(i) + 1 < Args.size()) return Args[static_cast<std::size_t>(i) + 1];
  return "";
}

void ParametersUnit_Startup(int argc, char** argv) {
  Parameters = std::make_unique<TParameters>(TParameters::FromCommandLine(argc, argv));
}

void ParametersUnit_Shutdown() { Parameters.reset(); }

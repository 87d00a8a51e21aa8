#pragma once
// The command-line parameter list, built once before any other unit starts.

#include <memory>
#include <string>
#include <vector>

using TStringArray = std::vector<std::string>;

class TParameters {
 public:
  // Args[0] is the program's own path, Args[1..] the arguments in order.
  explicit TParameters(TStringArray args);
  // From the process's command line; Args[0] becomes the absolute path of the
  // running executable when the system can tell it, so that files "beside the
  // program" are found from any working folder.
  static TStringArray FromCommandLine(int argc, char** argv);

  // Lowest index (0 included) whose entry equals name case-insensitively; -1 if none.
  int IndexOf(const std::string& name) const;
  // The entry after name, or "" when name is absent or last.
  std::string ValueAfter(const std::string& name) const;

  TStringArray Args;
};

// Program-wide instance; null before ParametersUnit starts.
extern std::unique_ptr<TParameters> Parameters;

void ParametersUnit_Startup(int argc, char** argv);
void ParametersUnit_Shutdown();

#pragma once
// Runs the built program headless as a child process, for the tests that play
// replays through it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"

extern char** environ;

namespace vgrtest {

// The program's exit code and what it wrote to standard output and error.
struct TRun {
  int Code = -1;
  std::string Output;
};

// Any program, by its path.
inline TRun RunBinary(const std::string& program, const std::vector<std::string>& args,
                      const std::string& outputFile) {
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  pid_t pid = -1;
  TRun run;
  if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  run.Output = ReadTextFile(outputFile);
  return run;
}

// The game.
inline TRun RunProgram(const std::vector<std::string>& args, const std::string& outputFile) {
  return RunBinary(vgrtest::BinDir() + "/Voltigor", args, outputFile);
}

}  // namespace vgrtest

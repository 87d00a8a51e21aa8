#pragma once
// Runs the built program headless as a child process, for the tests that play
// replays through it.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
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

// How the game is started by RunProgramWith.
struct TRunOptions {
  std::string WorkDir;          // "" : this process's
  int64_t FileSizeLimit = -1;   // bytes any file may grow to (a full disk); -1 none
  enum { Captured, Discarded, Closed, ReaderGone } Stdout = Captured;
  std::string VideoDriver = "dummy";
  int TimeoutSeconds = 60;      // then it is killed, and Code is -2
  // Runs while the program does, given its process id; the program is then
  // waited for.
  std::function<void(pid_t)> WhileRunning;
};

// The game with the options above; standard error (and output, when
// captured) come through a pipe, so a file size limit does not cut them.
inline TRun RunProgramWith(const std::vector<std::string>& args, const TRunOptions& options) {
  std::vector<std::string> all = {vgrtest::BinDir() + "/Voltigor"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2], gone[2] = {-1, -1};
  TRun run;
  if (::pipe(out) != 0) return run;
  if (options.Stdout == TRunOptions::ReaderGone && ::pipe(gone) != 0) return run;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!options.WorkDir.empty() && ::chdir(options.WorkDir.c_str()) != 0) _exit(126);
    ::dup2(out[1], 2);
    if (options.Stdout == TRunOptions::Captured) ::dup2(out[1], 1);
    if (options.Stdout == TRunOptions::Closed) ::close(1);
    if (options.Stdout == TRunOptions::Discarded) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::close(null);
    }
    if (options.Stdout == TRunOptions::ReaderGone) {
      ::close(gone[0]);
      ::dup2(gone[1], 1);
      ::close(gone[1]);
    }
    ::close(out[0]);
    ::close(out[1]);
    if (options.FileSizeLimit >= 0) {
      const rlimit limit{static_cast<rlim_t>(options.FileSizeLimit), static_cast<rlim_t>(options.FileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      // A write past the limit fails as on a full disk instead of ending the process.
      ::signal(SIGXFSZ, SIG_IGN);
    }
    ::setenv("SDL_VIDEODRIVER", options.VideoDriver.c_str(), 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  ::close(out[1]);
  if (gone[0] >= 0) {
    ::close(gone[0]);
    ::close(gone[1]);
  }
  ::fcntl(out[0], F_SETFL, O_NONBLOCK);
  auto drain = [&] {
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) run.Output.append(buffer, static_cast<std::size_t>(n));
  };
  if (options.WhileRunning) options.WhileRunning(pid);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.TimeoutSeconds);
  int status = 0;
  for (;;) {
    drain();
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      run.Code = -2;
      drain();
      ::close(out[0]);
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  drain();
  ::close(out[0]);
  run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace vgrtest

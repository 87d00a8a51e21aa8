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

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vgrtest {

// Runs the tool in a child process on a disk with `room` bytes left for any
// one file (RLIMIT_FSIZE: a write past it fails as a full disk fails it).
inline TToolResult VgrOnFullDisk(const std::vector<std::string>& args, rlim_t room) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {-1, "", "pipe failed"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{room, room};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const TToolResult r = Vgr(args);
    const std::string text = r.err;
    ssize_t done = 0;
    while (done < static_cast<ssize_t>(text.size())) {
      const ssize_t n = ::write(pipeFds[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += n;
    }
    ::_exit(r.code);
  }
  ::close(pipeFds[1]);
  std::string err;
  char buf[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) err.append(buf, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", err};
}

}  // namespace vgrtest

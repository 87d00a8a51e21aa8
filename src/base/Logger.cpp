#include "Logger.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <filesystem>
#include <system_error>

#include "ParametersUnit.h"
#include "ZRToolbox.h"

namespace {

TLogger DisabledLog;
std::unique_ptr<TLogger> MainLog;

bool HasSwitch(const TParameters& p, const char* name) {
  return p.IndexOf(std::string("-") + name) >= 0 || p.IndexOf(std::string("/") + name) >= 0;
}

bool FileExists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0;
}

// The user's state folder for the game: $XDG_STATE_HOME/voltigor, else
// ~/.local/state/voltigor; created when missing. Empty when neither is known
// or it cannot be made, with the reason in `why`.
std::string StateFolder(std::string& why) {
  std::string base;
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.local/state";
  } else {
    why = "no state folder (neither XDG_STATE_HOME nor HOME is set)";
    return "";
  }
  const std::string folder = base + "/voltigor";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (std::filesystem::is_directory(folder, ec)) return folder + "/";
  why = folder + ": " + (ec ? ec.message() : std::string("cannot be made"));
  return "";
}

}  // namespace

TLogger* Log = &DisabledLog;

std::string LogDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm tm {};
  localtime_r(&now, &tm);
  char buf[128];
  std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &tm);
  return std::string(buf, n);
}

TLogger::TLogger() = default;

TLogger::TLogger(std::string fileName, bool append, const TParameters* params) {
  if (!params) return;
  const std::string& self = params->Args.empty() ? std::string() : params->Args[0];
  std::size_t slash = self.find_last_of('/');
  ExePath = slash == std::string::npos ? std::string() : self.substr(0, slash + 1);
  ExeName = slash == std::string::npos ? self : self.substr(slash + 1);

  if (HasSwitch(*params, "nolog")) return;
  if (HasSwitch(*params, "waitlog")) ::sleep(1);
  if (HasSwitch(*params, "appendlog")) append = true;
  // Only a log meant for the program's own folder may move elsewhere.
  bool besideProgram = false;
  if (fileName.empty() || HasSwitch(*params, "safelog")) fileName = ChosenFileName(*params, &besideProgram);

  bool keep = append && FileExists(fileName);
  int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) OpenFailure_ = fileName + ": " + std::strerror(errno);
  if (fd < 0 && besideProgram) {
    // An installed game's folder is not the player's to write: the log goes
    // to the player's state folder under the same name.
    std::string why;
    const std::string folder = StateFolder(why);
    if (!folder.empty()) {
      const std::size_t slash = fileName.find_last_of('/');
      fileName = folder + (slash == std::string::npos ? fileName : fileName.substr(slash + 1));
      keep = append && FileExists(fileName);
      fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      Relocated_ = fd >= 0;
      if (fd < 0) why = fileName + ": " + std::strerror(errno);
    }
    if (fd < 0) OpenFailure_ += "; " + why;
  }
  FileName_ = fileName;
  if (fd < 0) return;
  // Another running instance holds the log: leave it alone and run silent.
  // The lock is taken before truncating so that instance's log survives.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    OpenFailure_ = fileName + " is in use by another copy of the game";
    ::close(fd);
    return;
  }
  if ((!keep && ::ftruncate(fd, 0) != 0) || ::lseek(fd, 0, SEEK_END) < 0) {
    OpenFailure_ = fileName + ": " + std::strerror(errno);
    ::close(fd);
    return;
  }
  OpenFailure_.clear();
  Fd_ = fd;
  SetLevels("SWED");
  Enabled_ = true;
}

std::string TLogger::ChosenFileName(const TParameters& params, bool* besideProgram) {
  if (besideProgram) *besideProgram = false;
  if (HasSwitch(params, "nolog")) return "";
  const std::string& self = params.Args.empty() ? std::string() : params.Args[0];
  const std::size_t slash = self.find_last_of('/');
  const std::string exePath = slash == std::string::npos ? std::string() : self.substr(0, slash + 1);
  const std::string exeName = slash == std::string::npos ? self : self.substr(slash + 1);
  if (HasSwitch(params, "safelog")) {
    if (besideProgram) *besideProgram = true;
    return exePath + "run.log";
  }
  std::string fileName = params.ValueAfter("/mainlog");
  if (fileName.empty()) fileName = params.ValueAfter("-mainlog");
  if (fileName.empty()) {
    if (besideProgram) *besideProgram = true;
    fileName = exePath + exeName.substr(0, exeName.find('.')) + ".log";
  }
  return fileName;
}

TLogger::~TLogger() {
  if (Fd_ >= 0) ::close(Fd_);
}

std::string LogEscaped(const std::string& text) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + 2);
  for (const unsigned char c : text) {
    if (c >= 0x20 && c <= 0x7E) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

void TLogger::WriteLine(const std::string& text) {
  if (!Enabled_) return;
  // Names and texts from data files, the command line and the system reach
  // the log: a stray line feed would forge a line, a terminal escape would
  // act on whoever reads the log in a terminal.
  std::string line = LogEscaped(text);
  line += "\r\n";
  // One write per line: a line is in the file whole or not at all.
  const off_t before = ::lseek(Fd_, 0, SEEK_CUR);
  errno = 0;
  ssize_t written = ::write(Fd_, line.data(), line.size());
  if (written == static_cast<ssize_t>(line.size())) {
    LinesWritten_ += 1;
    return;
  }
  // A disk that takes part of a line tells why only when asked for the rest.
  if (written > 0 && ::write(Fd_, line.data() + written, line.size() - static_cast<std::size_t>(written)) > 0) {
    written = -1;
  }
  const std::string why = errno != 0 ? std::strerror(errno) : "the disk took part of a line";
  // A piece of a line would run into the next one that fits.
  if (written > 0 && before >= 0 && ::ftruncate(Fd_, before) == 0) ::lseek(Fd_, before, SEEK_SET);
  if (WriteFailure_.empty()) {
    WriteFailure_ = why;
    // Said once, as it happens: the log is the place the player would look.
    std::cerr << "Voltigor: writing the log " << LogEscaped(FileName_) << " failed (" << why
              << "); it is incomplete" << std::endl;
  }
}

void TLogger::Status(const std::string& msg, const std::string& location) {
  if (Enabled_ && LogStatus && IsLogged(location)) WriteLine("(" + location + ") " + msg);
}

void TLogger::Warning(const std::string& msg, const std::string& location) {
  if (Enabled_ && LogWarning && IsLogged(location)) WriteLine("[" + location + "] " + msg);
}

void TLogger::Error(const std::string& msg, const std::string& location) {
  if (Enabled_ && LogError) WriteLine("{" + location + "} " + msg);
}

void TLogger::Debug(const std::string& msg, const std::string& location) {
  if (Enabled_ && LogDebug && IsLogged(location)) WriteLine("<" + location + "> " + msg);
}

void TLogger::Trace(const std::string& text) {
  if (Enabled_) WriteLine("< Trace >" + text);
}

void TLogger::TraceNumber(long long n) { Trace(std::to_string(n)); }

void TLogger::SetLevels(const std::string& letters) {
  const std::string up = UpperCase(letters);
  LogError = up.find('E') != std::string::npos;
  LogWarning = up.find('W') != std::string::npos;
  LogStatus = up.find('S') != std::string::npos;
  LogDebug = up.find('D') != std::string::npos;
}

bool TLogger::IsLogged(const std::string& location) const {
  if (Filters.empty()) return true;
  bool included = false;
  for (const std::string& f : Filters) {
    if (!f.empty() && f[0] != '-' && MatchPattern(f, location)) {
      included = true;
      break;
    }
  }
  if (!included) return false;
  for (const std::string& f : Filters) {
    if (!f.empty() && f[0] == '-' && MatchPattern(f.substr(1), location)) return false;
  }
  return true;
}

bool TLogger::MatchPattern(const std::string& pattern, const std::string& text) {
  if (pattern.empty()) return true;
  const std::string p = UpperCase(pattern);
  const std::string t = UpperCase(text);
  if (p == "*") return true;
  const std::size_t star = p.find('*');
  // The star stands for at least one character: the text must be at least as
  // long as the pattern, star included.
  if (star == 0 && t.size() >= p.size()) {
    const std::string rest = p.substr(1);
    if (t.compare(t.size() - rest.size(), rest.size(), rest) == 0) return true;
  } else if (star != std::string::npos && star == p.size() - 1 && t.size() >= p.size()) {
    if (t.compare(0, star, p, 0, star) == 0) return true;
  }
  return t == p;
}

void Logger_Startup() {
  MainLog = std::make_unique<TLogger>("", false, Parameters.get());
  Log = MainLog.get();
  // A log away from the program is named before anything else is printed.
  if (Log->Relocated() && Log->Enabled()) std::cout << "Voltigor: the run log is " << Log->FileName() << std::endl;
  // A log asked for and not written would otherwise go unnoticed until the
  // player looks for it.
  if (!Log->OpenFailure().empty()) {
    std::cerr << "Voltigor: no log could be written: " << LogEscaped(Log->OpenFailure()) << std::endl;
  }
  Log->Status("Starting Application. " + LogDateTime(), "..system..");
  Log->Status("(Status) [Warning] {Error} <Debug>", "..system..");
  LogUnitVersion("Logger", "1.11");
}

void Logger_Shutdown() {
  if (!MainLog) return;
  MainLog->Status("Terminating Application. " + LogDateTime(), "..system..");
  Log = &DisabledLog;
  MainLog.reset();
}

void LogUnitVersion(const std::string& unit, const std::string& version) {
  Log->Status(unit + ", version " + version, "uses");
}

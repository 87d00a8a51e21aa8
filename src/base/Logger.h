#pragma once
// The one run log. Every unit reports through `Log`: status, warning, error and
// debug lines carry a location and pass a level switch and a location filter;
// traces and plain lines always pass while the log is open.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TParameters;

class TLogger {
 public:
  // Opens the log as the command line in `params` says. With no parameters
  // the logger stays disabled.
  TLogger(std::string fileName, bool append, const TParameters* params);
  // A logger that writes nothing; the state before the real log opens.
  TLogger();
  ~TLogger();
  TLogger(const TLogger&) = delete;
  TLogger& operator=(const TLogger&) = delete;

  void WriteLine(const std::string& text);
  void Status(const std::string& msg, const std::string& location);
  void Warning(const std::string& msg, const std::string& location);
  void Error(const std::string& msg, const std::string& location);
  void Debug(const std::string& msg, const std::string& location);
  void Trace(const std::string& text);
  void TraceNumber(long long n);
  void SetLevels(const std::string& letters);
  bool IsLogged(const std::string& location) const;
  static bool MatchPattern(const std::string& pattern, const std::string& text);

  bool Enabled() const { return Enabled_; }
  const std::string& FileName() const { return FileName_; }
  // Why no log is written, when one was asked for: empty after "-nolog" and
  // while the log is open.
  const std::string& OpenFailure() const { return OpenFailure_; }
  // A line could not be written (a full disk): the log lacks lines from the
  // first such failure on, whose reason this is; empty while none failed.
  const std::string& WriteFailure() const { return WriteFailure_; }
  // Lines in the file.
  int64_t LinesWritten() const { return LinesWritten_; }
  // The file the command line chooses for the log, before a move to the
  // state folder; empty with "-nolog". `besideProgram`: the program's folder
  // was chosen, not a name the player gave.
  static std::string ChosenFileName(const TParameters& params, bool* besideProgram = nullptr);
  // The folder beside the program could not take the log, so it went to the
  // player's state folder.
  bool Relocated() const { return Relocated_; }

  std::string ExeName;
  std::string ExePath;
  bool LogError = false;
  bool LogWarning = false;
  bool LogStatus = false;
  bool LogDebug = false;
  // Location patterns; "-" in front marks an exclusion.
  std::vector<std::string> Filters;

 private:
  int Fd_ = -1;
  bool Enabled_ = false;
  bool Relocated_ = false;
  std::string FileName_;
  std::string OpenFailure_;
  std::string WriteFailure_;
  int64_t LinesWritten_ = 0;
};

// Never null: a disabled logger until Logger's start-up opens the real one, and
// again after its finalisation.
extern TLogger* Log;

// Opens the program's log (start, legend and version lines) and, at
// finalisation, writes the closing line and closes it.
void Logger_Startup();
void Logger_Shutdown();

// Date and time as the start and end lines show them: the locale's short date
// and long time.
std::string LogDateTime();

// The text as a log line holds it: every byte outside printable ASCII
// (0x20..0x7E) written as \xNN with upper-case hex digits. The log is ASCII;
// UTF-8 names show as their escaped bytes.
std::string LogEscaped(const std::string& text);

// Writes a unit's version line: "<unit>, version <version>" at location "uses".
void LogUnitVersion(const std::string& unit, const std::string& version);

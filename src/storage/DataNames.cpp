#include "DataNames.h"

#include "Logger.h"

bool DataNameConfined(const std::string& name) {
  if (!name.empty() && name[0] == '/') return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("/\\", start);
    if (name.compare(start, end == std::string::npos ? std::string::npos : end - start, "..") == 0) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

std::string EscapedText(const std::string& text) { return LogEscaped(text); }

void WarnNameNotConfined(const std::string& dataFile, const std::string& entry, const std::string& location) {
  Log->Warning("Name outside the data folders refused! (" + EscapedText(dataFile) + ", " + EscapedText(entry) + ")",
               location);
}

#include "ZRINIFile.h"

#include <cstring>

#include "Logger.h"
#include "ZRStream3.h"

// ---------------------------------------------------------------------------
// Line reader

bool TLineReader::AtEnd() { return Stream_.Position() >= Stream_.Size(); }

bool TLineReader::ReadLine(std::string& line) {
  line.clear();
  bool readAny = false;
  char block[BlockSize];
  for (;;) {
    const int64_t start = Stream_.Position();
    const int64_t got = Stream_.Read(block, BlockSize);
    if (got <= 0) break;
    readAny = true;
    const void* lf = std::memchr(block, 10, static_cast<size_t>(got));
    if (lf != nullptr) {
      const int64_t len = static_cast<const char*>(lf) - block;
      line.append(block, static_cast<size_t>(len));
      // Leave the stream just behind the line feed, not at the block's end.
      Stream_.Seek(start + len + 1, soBeginning);
      if (!line.empty() && line.back() == 13) line.pop_back();
      return true;
    }
    line.append(block, static_cast<size_t>(got));
  }
  return readAny;
}

std::string TLineReader::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

std::string TrimBlanks(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

std::string UpperCaseASCII(const std::string& s) {
  std::string r = s;
  for (char& c : r) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return r;
}

bool SameTextASCII(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

#include "LexerUnit.h"

#include "Logger.h"

std::vector<std::string> SplitTokens(const std::string& text) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    if (text[i] == '"' || text[i] == '\'') {
      const char mark = text[i];
      const std::size_t close = text.find(mark, i + 1);
      const std::size_t end = close == std::string::npos ? n : close;
      tokens.push_back(text.substr(i + 1, end - i - 1));
      i = close == std::string::npos ? n : close + 1;
      continue;
    }
    const std::size_t blank = text.find(' ', i);
    const std::size_t end = blank == std::string::npos ? n : blank;
    tokens.push_back(text.substr(i, end - i));
    i = end;
  }
  return tokens;
}

void LexerUnit_Startup() { LogUnitVersion("LexerUnit", "1.10"); }

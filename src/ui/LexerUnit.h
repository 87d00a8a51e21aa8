#pragma once
// Splitting of component setting texts into words: menu trees are written as
// one line of words, where quoting lets a word hold blanks.

#include <string>
#include <vector>

// Splits `text` at blanks (byte 32). A word that begins with a double quote or
// an apostrophe runs to the next mark of the same kind and may hold blanks;
// the marks are not part of it, an unclosed quote runs to the end of the text,
// and a quoted empty word is kept. Quote marks inside a word are ordinary.
std::vector<std::string> SplitTokens(const std::string& text);

void LexerUnit_Startup();

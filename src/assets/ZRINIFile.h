#pragma once
// The configuration dialect: INI files whose sections are either key=value
// sections or ordered lists of free-form items, and the one line reader that
// every text format of the program goes through.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TStream;

// Splits the text of a stream into lines. The stream is read in blocks of 256
// bytes; a line ends at a line feed (byte 10), which is consumed and not part
// of the line, and the stream is left positioned just behind it, so callers
// may mix line reads with their own stream reads and positions. One carriage
// return (byte 13) before the line feed is dropped. A last line without a
// line feed ends at the end of the stream and keeps any carriage return. No
// other byte is special: a lone carriage return does not end a line and tabs
// are ordinary characters.
//
// The reader holds no buffered data between calls: it only borrows the
// stream, which must outlive it.
class TLineReader {
 public:
  explicit TLineReader(TStream& stream) : Stream_(stream) {}

  // Reads the next line from the current position. At the end of the stream
  // the result is the empty string.
  std::string ReadLine();
  // Reads the next line into `line`; false (and `line` empty) when the stream
  // was already at its end, so no line was there to read.
  bool ReadLine(std::string& line);
  // True when the position has reached the size of the stream.
  bool AtEnd();

  static constexpr int64_t BlockSize = 256;

 private:
  TStream& Stream_;
};

// Removes blanks (byte 32) at both ends; tabs and other control bytes stay.
std::string TrimBlanks(const std::string& s);

// Upper case of ASCII letters only; other bytes stay as they are.
std::string UpperCaseASCII(const std::string& s);
// Case-insensitive comparison of ASCII letters.
bool SameTextASCII(const std::string& a, const std::string& b);

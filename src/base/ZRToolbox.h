#pragma once
// Small helpers shared by the readers of text data. The unit stands below the
// log, which compares its switches and filters with them, so it logs nothing
// itself: its version line is written where the units start.

#include <cstdint>
#include <string>
#include <string_view>

// The value of a hexadecimal digit, or -1 for any other character. Lower-case
// "a" to "f" count only when `lowerCase` is set.
int HexDigitValue(char c, bool lowerCase = true);

// How a reader takes a decimal integer. The default is the form most readers
// share: no blanks, an optional "+" or "-", one or more digits and nothing
// else, within the 32-bit signed range.
struct TDecimalRule {
  enum TBlanks : uint8_t {
    NoBlanks,
    LeadingBlanks,      // blanks (byte 32) before the sign
    BlanksAround,       // blanks (byte 32) before and after
    LeadingWhiteSpace,  // blank, tab, line feed, vertical tab, form feed, CR before the sign
  };
  TBlanks Blanks = NoBlanks;
  bool PlusSign = true;
  int MaxDigits = 0;  // 0: any number of digits
  // Bounds beyond 2^40 either way are not told apart from larger numbers.
  int64_t Min = INT32_MIN;
  int64_t Max = INT32_MAX;
};

enum class TDecimal { Ok, NotANumber, OutOfRange };

// Reads `text` whole as a decimal integer under `rule`. OutOfRange only for a
// text that is a number in every other respect; `value` is set only on Ok.
TDecimal ParseDecimal(std::string_view text, int64_t& value, const TDecimalRule& rule = {});

// ParseDecimal narrowed to 32 bits: true and `value` set on Ok, false otherwise.
bool StrToInt32(std::string_view text, int32_t& value, const TDecimalRule& rule = {});

// A decimal integer with an optional sign, blanks around it allowed; false
// for anything else, including values outside 32 bits.
bool TryStrToInt(const std::string& text, int32_t& value);

// Removes blanks (byte 32) at both ends; tabs and other control bytes stay.
std::string TrimBlanks(const std::string& s);
// Upper case of ASCII letters only; other bytes stay as they are.
std::string UpperCase(std::string s);
// Case-insensitive comparison of ASCII letters.
bool SameTextASCII(const std::string& a, const std::string& b);

// The grey level of a colour: (R * 30 + G * 59 + B * 11) div 100, exact
// for grey colours.
uint8_t GreyLevel(uint8_t r, uint8_t g, uint8_t b);

extern const char* const ZRToolboxVersion;

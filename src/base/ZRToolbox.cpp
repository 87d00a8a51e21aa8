#include "ZRToolbox.h"

const char* const ZRToolboxVersion = "3.26";

int HexDigitValue(char c, bool lowerCase) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (lowerCase && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

namespace {

bool IsSkipped(char c, TDecimalRule::TBlanks blanks) {
  if (blanks == TDecimalRule::NoBlanks) return false;
  if (blanks == TDecimalRule::LeadingWhiteSpace) return c == ' ' || (c >= '\t' && c <= '\r');
  return c == ' ';
}

}  // namespace

TDecimal ParseDecimal(std::string_view text, int64_t& value, const TDecimalRule& rule) {
  std::size_t i = 0;
  std::size_t end = text.size();
  while (i < end && IsSkipped(text[i], rule.Blanks)) ++i;
  if (rule.Blanks == TDecimalRule::BlanksAround) {
    while (end > i && text[end - 1] == ' ') --end;
  }
  bool negative = false;
  if (i < end && (text[i] == '-' || (rule.PlusSign && text[i] == '+'))) negative = text[i++] == '-';
  if (i == end) return TDecimal::NotANumber;
  if (rule.MaxDigits > 0 && end - i > static_cast<std::size_t>(rule.MaxDigits)) return TDecimal::NotANumber;
  // Past this bound the magnitude only has to stay out of every range: a
  // later non-digit still makes the text no number at all.
  constexpr int64_t kBeyond = int64_t{1} << 40;
  int64_t v = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return TDecimal::NotANumber;
    if (v < kBeyond) v = v * 10 + (text[i] - '0');
  }
  if (negative) v = -v;
  if (v < rule.Min || v > rule.Max) return TDecimal::OutOfRange;
  value = v;
  return TDecimal::Ok;
}

bool StrToInt32(std::string_view text, int32_t& value, const TDecimalRule& rule) {
  int64_t v = 0;
  if (ParseDecimal(text, v, rule) != TDecimal::Ok || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool TryStrToInt(const std::string& text, int32_t& value) {
  TDecimalRule rule;
  rule.Blanks = TDecimalRule::BlanksAround;
  return StrToInt32(text, value, rule);
}

uint8_t GreyLevel(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint8_t>((r * 30 + g * 59 + b * 11) / 100);
}

std::string TrimBlanks(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

std::string UpperCase(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
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

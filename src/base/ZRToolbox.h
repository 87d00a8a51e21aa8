#pragma once
// Small helpers shared by the readers of text data.

// The value of a hexadecimal digit, or -1 for any other character. Lower-case
// "a" to "f" count only when `lowerCase` is set.
int HexDigitValue(char c, bool lowerCase = true);

void ZRToolbox_Startup();

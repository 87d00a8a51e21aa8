#pragma once
// Names that data files give for other data files. The lookup finds them in
// the current folder, beside the program and in the archives; a data file
// (a mod's, a downloaded one) must not reach any other file of the machine.

#include <string>

// True unless the name is absolute or has a ".." component ("/" and "\"
// both separate components).
bool DataNameConfined(const std::string& name);

// The text with every byte outside the printable ASCII range written as
// \xNN, for log lines that quote what a data file holds.
std::string EscapedText(const std::string& text);

// The warning for a name that is not confined, naming the data file and the
// entry that gave it: "Name outside the data folders refused! (FILE, ENTRY)".
void WarnNameNotConfined(const std::string& dataFile, const std::string& entry, const std::string& location);

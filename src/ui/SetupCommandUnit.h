#pragma once
// Setup commands: the short "Property=Value" texts through which visual
// components are configured. Each command is checked against a built-in
// grammar of component kinds, properties and value kinds, key names become
// key codes, and the values are kept per component instance until the
// component reads them back or forgets them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The values of one stored setting, in the order they were given.
class TSetupCommandItem {
 public:
  std::vector<std::string> Values;
};

class TSetupCommandHandler {
 public:
  // One stored setting: "<component name>.<PROPERTY>" and its values.
  struct TEntry {
    std::string Text;
    std::unique_ptr<TSetupCommandItem> Item;
  };

  // Builds Syntax, MultiValued and BoolWords from the built-in grammar.
  TSetupCommandHandler();
  TSetupCommandHandler(const TSetupCommandHandler&) = delete;
  TSetupCommandHandler& operator=(const TSetupCommandHandler&) = delete;

  // Checks and stores one command or a "|"-separated series of them for the
  // component `name` of kind `kind`; returns the index of the entry that the
  // last command stored. A malformed command is fatal (exit code 1).
  int32_t AddCommand(const std::string& kind, const std::string& name, const std::string& command);
  // Forgets every setting of the component `name`.
  void RemoveComponent(const std::string& name);
  // The first value of the setting; "" when it is not stored.
  std::string GetValue(const std::string& name, const std::string& property) const;
  // All values of the setting in order; empty when it is not stored.
  std::vector<std::string> GetValues(const std::string& name, const std::string& property) const;

  // Index of the entry with that text (letter case ignored), -1 when none.
  int32_t IndexOf(const std::string& text) const;
  int32_t Count() const { return static_cast<int32_t>(Entries.size()); }

  // The stored settings, in the order they were first set.
  std::vector<TEntry> Entries;
  // "KIND.PROPERTY=VALUEKIND", all upper case.
  std::vector<std::string> Syntax;
  // "TRUE", "YES", "Y", "I", "1" mean true; "FALSE", "NO", "N", "0" false.
  std::vector<std::string> BoolWords;
  // "KIND.PROPERTY" of the settings whose values accumulate.
  std::vector<std::string> MultiValued;

 private:
  int32_t AddOne(const std::string& kind, const std::string& name, const std::string& command);
};

// The program's one handler, present between its unit's start-up and end.
extern std::unique_ptr<TSetupCommandHandler> SetupCommands;

// The SDL key-name table: "NAME=code" lines, codes in decimal.
extern std::vector<std::string> KeyNames;
// The code of a key name (letter case ignored); false when there is none.
bool FindKeyCode(const std::string& name, int32_t& code);

// Loads the key-name table; it writes no version line.
void KeyNames_Startup();
void KeyNames_Shutdown();
void SetupCommandUnit_Startup();
void SetupCommandUnit_Shutdown();

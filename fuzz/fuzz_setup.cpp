// Setup commands: the first byte picks a component kind, the rest is the
// command text. A malformed command ends the program through Halt (exit code
// 1), which the harness takes as a proper refusal; everything else is stored
// and read back.
#include <string>

#include "FuzzSupport.h"
#include "SetupCommandUnit.h"
#include "SystemUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  if (size == 0) return 0;
  static const char* const kinds[] = {"Menu", "ListBox", "EditBox", "ScrollBox", "menu", "Button"};
  const std::string kind = kinds[data[0] % 6];
  const std::string text(data + 1, data + size);
  try {
    SetupCommands->AddCommand(kind, "fuzz", text);
  } catch (const THaltRequest& h) {
    if (h.ExitCode != 1) fuzz::Fail("setup command ended with code " + std::to_string(h.ExitCode));
  }
  for (const auto& e : SetupCommands->Entries) {
    const auto dot = e.Text.find('.');
    if (dot != std::string::npos) SetupCommands->GetValues(e.Text.substr(0, dot), e.Text.substr(dot + 1));
  }
  SetupCommands->RemoveComponent("fuzz");
  if (SetupCommands->Count() != 0) fuzz::Fail("settings left behind after removing the component");
  std::string key(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(text.size(), 24)));
  int32_t code = 0;
  FindKeyCode(key, code);
  return 0;
}

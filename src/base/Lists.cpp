#include "Lists.h"

#include "Logger.h"

std::string TFIFOStringList::GetNextItem() {
  if (Items_.empty()) return "";
  std::string s = std::move(Items_.front());
  Items_.pop_front();
  return s;
}

void Lists_Startup() { LogUnitVersion("Lists", "3.03"); }

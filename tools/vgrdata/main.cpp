#include <iostream>

#include "VgrData.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vgrdata::Run(args, std::cout, std::cerr);
}

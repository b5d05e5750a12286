#include <iostream>
#include <string>
#include <vector>

#include "host_commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunQelhost(args, std::cin, std::cout, std::cerr);
}

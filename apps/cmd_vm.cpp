// qor vm: not built yet.
#include <cstdio>

#include "commands.h"

int qor_cmd_vm(int, char**) {
  std::fprintf(stderr, "qor vm: this area is not built yet\n");
  return 2;
}

void qor_tour_vm() {}

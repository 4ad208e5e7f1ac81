// qor rng: not built yet.
#include <cstdio>

#include "commands.h"

int qor_cmd_rng(int, char**) {
  std::fprintf(stderr, "qor rng: this area is not built yet\n");
  return 2;
}

void qor_tour_rng() {}

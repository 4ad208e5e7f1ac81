// qor stats: not built yet.
#include <cstdio>

#include "commands.h"

int qor_cmd_stats(int, char**) {
  std::fprintf(stderr, "qor stats: this area is not built yet\n");
  return 2;
}

void qor_tour_stats() {}

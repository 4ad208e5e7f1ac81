// qor fit: not built yet.
#include <cstdio>

#include "commands.h"

int qor_cmd_fit(int, char**) {
  std::fprintf(stderr, "qor fit: this area is not built yet\n");
  return 2;
}

void qor_tour_fit() {}

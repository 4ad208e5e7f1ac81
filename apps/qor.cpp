// qor: use the library's four areas from the shell.
#include <cstdio>
#include <cstring>

#include "commands.h"

static void usage() {
  std::puts(
      "usage: qor                      a short tour of what the library does\n"
      "       qor vm FUNC [--type s|d] [--mode ha|la|ep] [--n N] [--from A --to B]\n"
      "                                evaluate a vector-math function over a range: accuracy\n"
      "                                on a sample and throughput\n"
      "       qor rng GEN DIST [--n N] [--seed S] [--binary FILE]\n"
      "                                draw numbers from a generator\n"
      "       qor stats FILE.csv         summary statistics of a CSV file's numeric columns\n"
      "       qor fit FILE.csv --kind linear|quadratic --sites ...\n"
      "                                fit splines and evaluate them at sites");
}

int main(int argc, char** argv) {
  if (argc < 2) {
    qor_tour_vm();
    qor_tour_rng();
    qor_tour_stats();
    qor_tour_fit();
    return 0;
  }
  const char* cmd = argv[1];
  if (!std::strcmp(cmd, "vm")) return qor_cmd_vm(argc - 1, argv + 1);
  if (!std::strcmp(cmd, "rng")) return qor_cmd_rng(argc - 1, argv + 1);
  if (!std::strcmp(cmd, "stats")) return qor_cmd_stats(argc - 1, argv + 1);
  if (!std::strcmp(cmd, "fit")) return qor_cmd_fit(argc - 1, argv + 1);
  usage();
  return (!std::strcmp(cmd, "-h") || !std::strcmp(cmd, "--help")) ? 0 : 2;
}

// qor rng: draw numbers from a generator.
//
//   qor rng GEN DIST [--n N] [--seed S[,S2,...]] [--a A --b B] [--skip K] [--binary FILE]
//
// GEN is one of the generators the library builds (mcg31, mcg59, mrg32k3a, ...: the registry's
// list, src/random/core/generators.def); DIST is uniform (doubles on [a, b)), single (singles on
// [a, b)), int (integers on [a, b)) or bits (raw generator words). Numbers go to stdout as
// text, one per line, or to FILE in the machine's binary format; the generation rate goes to
// stderr.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "qor/rng.h"

namespace {

// The generators of the registry list that this build has, with their names for the tool.
struct Generator {
  const char* name;
  int32_t brng;
};
#define QOR_BRNG(row, Name, bytes, seeds, zero, word, bits, members, built, ubits, cli) \
  {cli, built ? ((row) + 1) << 20 : 0},
constexpr Generator kListed[] = {
#include "../src/random/core/generators.def"
};
#undef QOR_BRNG

bool offered(const Generator& g) { return g.brng != 0 && g.name[0] != '\0'; }

std::string generator_names() {
  std::string s;
  for (const Generator& g : kListed)
    if (offered(g)) s += (s.empty() ? "" : " | ") + std::string(g.name);
  return s;
}

struct Options {
  int32_t brng = 0;
  const char* gen = nullptr;
  std::string dist;
  long long n = 10;
  std::vector<uint32_t> seed{1};
  double a = 0.0, b = 1.0;
  bool have_a = false, have_b = false;
  unsigned long long skip = 0;
  const char* binary = nullptr;
};

int usage() {
  std::fprintf(stderr,
      "usage: qor rng GEN DIST [--n N] [--seed S[,S2,...]] [--a A --b B] [--skip K] [--binary FILE]\n"
      "  GEN   %s\n"
      "  DIST  uniform (doubles on [a, b), default [0, 1)) | single (singles on [a, b))\n"
      "        int (integers on [a, b), default [0, 100)) | bits (raw generator words)\n"
      "  --n N          how many numbers (default 10)\n"
      "  --seed S       seed words, comma-separated (default 1)\n"
      "  --skip K       skip the first K elements of the sequence\n"
      "  --binary FILE  write the numbers in binary to FILE instead of text to stdout\n",
      generator_names().c_str());
  return 2;
}

bool parse(int argc, char** argv, Options* o) {
  if (argc < 3) return false;
  o->gen = argv[1];
  for (const Generator& g : kListed)
    if (offered(g) && std::strcmp(g.name, argv[1]) == 0) o->brng = g.brng;
  if (o->brng == 0) {
    std::fprintf(stderr, "qor rng: unknown generator '%s'\n", argv[1]);
    return false;
  }
  o->dist = argv[2];
  if (o->dist != "uniform" && o->dist != "single" && o->dist != "int" && o->dist != "bits") {
    std::fprintf(stderr, "qor rng: unknown distribution '%s'\n", argv[2]);
    return false;
  }
  for (int i = 3; i < argc; ++i) {
    const std::string opt = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "qor rng: %s needs a value\n", argv[i]);
      return false;
    }
    const char* v = argv[++i];
    char* end = nullptr;
    if (opt == "--n") {
      o->n = std::strtoll(v, &end, 10);
      if (*end || o->n < 0) return std::fprintf(stderr, "qor rng: bad count '%s'\n", v), false;
    } else if (opt == "--seed") {
      o->seed.clear();
      for (const char* p = v; *p;) {
        const unsigned long long w = std::strtoull(p, &end, 0);
        if (end == p || w > 0xFFFFFFFFull) return std::fprintf(stderr, "qor rng: bad seed '%s'\n", v), false;
        o->seed.push_back(static_cast<uint32_t>(w));
        p = *end == ',' ? end + 1 : end;
        if (*end && *end != ',') return std::fprintf(stderr, "qor rng: bad seed '%s'\n", v), false;
      }
    } else if (opt == "--a" || opt == "--b") {
      const double x = std::strtod(v, &end);
      if (*end) return std::fprintf(stderr, "qor rng: bad bound '%s'\n", v), false;
      (opt == "--a" ? o->a : o->b) = x;
      (opt == "--a" ? o->have_a : o->have_b) = true;
    } else if (opt == "--skip") {
      o->skip = std::strtoull(v, &end, 0);
      if (*end) return std::fprintf(stderr, "qor rng: bad skip count '%s'\n", v), false;
    } else if (opt == "--binary") {
      o->binary = v;
    } else {
      std::fprintf(stderr, "qor rng: unknown option '%s'\n", opt.c_str());
      return false;
    }
  }
  if (o->dist == "int" && !o->have_b) o->b = 100.0;
  if (!(o->a < o->b) && o->dist != "bits") {
    std::fprintf(stderr, "qor rng: the interval [a, b) is empty\n");
    return false;
  }
  return true;
}

}  // namespace

int qor_cmd_rng(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) return usage();
  HoxStream s = nullptr;
  int32_t st = __hoxNewStreamEx(&s, o.brng, int32_t(o.seed.size()), o.seed.data());
  if (st == 0 && o.skip) st = __hoxSkipAheadStream(s, o.skip);
  if (st != 0) {
    std::fprintf(stderr, "qor rng: cannot set up the stream (status %d)\n", st);
    __hoxDeleteStream(&s);
    return 1;
  }
  FILE* out = stdout;
  if (o.binary && !(out = std::fopen(o.binary, "wb"))) {
    std::fprintf(stderr, "qor rng: cannot open '%s' for writing\n", o.binary);
    __hoxDeleteStream(&s);
    return 1;
  }
  BrngProperties props{};
  __hoxGetBrngProperties(o.brng, &props);
  const int32_t words_per = o.dist == "bits" ? props.wordBytes / 4 : 1;
  constexpr int32_t kBlock = 1 << 16;
  std::vector<double> d(kBlock);
  std::vector<float> f(kBlock);
  std::vector<int32_t> k(kBlock);
  std::vector<uint32_t> w(size_t(kBlock) * 2);
  double seconds = 0.0;
  bool ok = true;
  for (long long done = 0; done < o.n && ok;) {
    const int32_t m = int32_t(std::min<long long>(kBlock, o.n - done));
    const auto t0 = std::chrono::steady_clock::now();
    if (o.dist == "uniform") st = _hoxdRngUniform(0, s, m, d.data(), o.a, o.b);
    else if (o.dist == "single") st = _hoxsRngUniform(0, s, m, f.data(), float(o.a), float(o.b));
    else if (o.dist == "int") st = _hoxiRngUniform(0, s, m, k.data(), int32_t(o.a), int32_t(o.b));
    else st = _hoxiRngUniformBits(0, s, m, w.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (st != 0) {
      std::fprintf(stderr, "qor rng: generation failed (status %d)\n", st);
      ok = false;
      break;
    }
    if (o.binary) {
      const void* p = o.dist == "uniform" ? static_cast<const void*>(d.data())
                      : o.dist == "single" ? static_cast<const void*>(f.data())
                      : o.dist == "int"    ? static_cast<const void*>(k.data())
                                           : static_cast<const void*>(w.data());
      const size_t bytes = o.dist == "uniform" ? 8 : size_t(4 * words_per);
      ok = std::fwrite(p, bytes, size_t(m), out) == size_t(m);
    } else {
      for (int32_t i = 0; i < m; ++i) {
        if (o.dist == "uniform") std::fprintf(out, "%.17g\n", d[i]);
        else if (o.dist == "single") std::fprintf(out, "%.9g\n", double(f[i]));
        else if (o.dist == "int") std::fprintf(out, "%" PRId32 "\n", k[i]);
        else if (words_per == 2) std::fprintf(out, "%" PRIu64 "\n", uint64_t(w[2 * i]) | (uint64_t(w[2 * i + 1]) << 32));
        else std::fprintf(out, "%" PRIu32 "\n", w[i]);
      }
    }
    done += m;
  }
  if (o.binary && std::fclose(out) != 0) ok = false;
  __hoxDeleteStream(&s);
  if (!ok) return 1;
  if (seconds > 0)
    std::fprintf(stderr, "qor rng: %lld numbers from %s in %.6f s (%.1f million/s, generation only)\n", o.n, o.gen,
                 seconds, double(o.n) / seconds / 1e6);
  return 0;
}

void qor_tour_rng() {
  std::puts("== random numbers ==");
  HoxStream s = nullptr;
  const uint32_t one = 1;
  uint32_t w[5];
  if (__hoxNewStreamEx(&s, HOX_BRNG_MCG31, 1, &one) != 0 || _hoxiRngUniformBits(0, s, 5, w) != 0) {
    std::puts("rng: could not create a stream");
    __hoxDeleteStream(&s);
    return;
  }
  std::printf("MCG31M1 seeded with 1, first words:   %u %u %u %u %u\n", w[0], w[1], w[2], w[3], w[4]);
  __hoxDeleteStream(&s);
  const uint32_t seed6[6] = {12345, 12345, 12345, 12345, 12345, 12345};
  double u[4];
  __hoxNewStreamEx(&s, HOX_BRNG_MRG32K3A, 6, seed6);
  _hoxdRngUniform(0, s, 4, u, 0.0, 1.0);
  std::printf("MRG32K3A (all seeds 12345) on [0, 1):  %.10f %.10f %.10f %.10f\n", u[0], u[1], u[2], u[3]);
  __hoxDeleteStream(&s);
  __hoxNewStreamEx(&s, HOX_BRNG_MCG31, 1, &one);
  __hoxSkipAheadStream(s, 1000000000000ull);
  _hoxiRngUniformBits(0, s, 1, w);
  std::printf("MCG31M1 element 10^12 by skip-ahead:   %u\n", w[0]);
  __hoxDeleteStream(&s);
  int32_t dice[12];
  __hoxNewStreamEx(&s, HOX_BRNG_MCG59, 1, &one);
  _hoxiRngUniform(0, s, 12, dice, 1, 7);
  std::printf("twelve dice from MCG59:                ");
  for (int32_t v : dice) std::printf("%d ", v);
  std::puts("");
  __hoxDeleteStream(&s);
}

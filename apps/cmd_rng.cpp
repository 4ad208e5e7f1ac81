// qor rng: draw numbers from a generator.
//
//   qor rng GEN DIST [--n N] [--seed S[,S2,...]] [--a A --b B] [--skip K] [--binary FILE]
//                    [--load FILE] [--save FILE]
//
// --load continues a stream saved by --save (its generator and state come from the file; GEN
// names the tool's output only), --save writes the stream after the numbers drawn, so that
// `--save f` then `--load f` continues the sequence exactly.
// GEN is one of the generators the library builds (the registry's list,
// src/random/core/generators.def); DIST one of the distributions in kDistributions below.
// Numbers go to stdout as text, one per line, or to FILE in the machine's binary format; the
// generation rate goes to stderr.
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

// The distributions the tool offers: one row each (output kind, default parameters, whether
// [a, b) must be a non-empty interval, and the draw of m numbers into a buffer).
enum class Out { f64, f32, i32, words, u32 };
struct Distribution {
  const char* name;
  const char* help;
  Out out;
  double a, b;
  bool interval;
  int32_t (*draw)(HoxStream s, int32_t m, void* r, double a, double b);
};
constexpr Distribution kDistributions[] = {
    {"uniform", "doubles on [a, b), default [0, 1)", Out::f64, 0.0, 1.0, true,
     [](HoxStream s, int32_t m, void* r, double a, double b) { return _hoxdRngUniform(0, s, m, static_cast<double*>(r), a, b); }},
    {"single", "singles on [a, b)", Out::f32, 0.0, 1.0, true,
     [](HoxStream s, int32_t m, void* r, double a, double b) {
       return _hoxsRngUniform(0, s, m, static_cast<float*>(r), float(a), float(b));
     }},
    {"int", "integers on [a, b), default [0, 100)", Out::i32, 0.0, 100.0, true,
     [](HoxStream s, int32_t m, void* r, double a, double b) {
       return _hoxiRngUniform(0, s, m, static_cast<int32_t*>(r), int32_t(a), int32_t(b));
     }},
    {"bits", "raw generator words", Out::words, 0.0, 1.0, false,
     [](HoxStream s, int32_t m, void* r, double, double) { return _hoxiRngUniformBits(0, s, m, static_cast<uint32_t*>(r)); }},
    {"u32", "32-bit words floor(u 2^32) of uniforms u on [0, 1), for any generator", Out::u32, 0.0, 1.0, false,
     [](HoxStream s, int32_t m, void* r, double, double) {
       // In place: the doubles fill the buffer's 8-byte slots, the words are packed in front.
       double* d = static_cast<double*>(r);
       const int32_t st = _hoxdRngUniform(0, s, m, d, 0.0, 1.0);
       uint32_t* w = static_cast<uint32_t*>(r);
       for (int32_t i = 0; st == 0 && i < m; ++i) w[i] = static_cast<uint32_t>(d[i] * 0x1p32);
       return st;
     }},
    {"exponential", "doubles, shift a, scale b > 0, default 0, 1", Out::f64, 0.0, 1.0, false,
     [](HoxStream s, int32_t m, void* r, double a, double b) {
       return _hoxdRngExponential(0, s, m, static_cast<double*>(r), a, b);
     }},
};

std::string distribution_help() {
  std::string s;
  for (const Distribution& d : kDistributions)
    s += std::string(s.empty() ? "  DIST  " : "\n        ") + d.name + " (" + d.help + ")";
  return s;
}

struct Options {
  int32_t brng = 0;
  const char* gen = nullptr;
  const Distribution* dist = nullptr;
  long long n = 10;
  std::vector<uint32_t> seed{1};
  double a = 0.0, b = 1.0;
  bool have_a = false, have_b = false;
  unsigned long long skip = 0;
  const char* binary = nullptr;
  const char* load = nullptr;
  const char* save = nullptr;
};

int usage() {
  std::fprintf(stderr,
      "usage: qor rng GEN DIST [--n N] [--seed S[,S2,...]] [--a A --b B] [--skip K] [--binary FILE]\n"
      "                        [--load FILE] [--save FILE]\n"
      "  GEN   %s\n"
      "%s\n"
      "  --n N          how many numbers (default 10; 'all' for an endless stream)\n"
      "  --seed S       seed words, comma-separated (default 1)\n"
      "  --skip K       skip the first K elements of the sequence\n"
      "  --binary FILE  write the numbers in binary to FILE ('-': standard output) instead of text\n"
      "  --load FILE    continue the stream saved in FILE (instead of seeding GEN)\n"
      "  --save FILE    save the stream to FILE after drawing\n",
      generator_names().c_str(), distribution_help().c_str());
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
  for (const Distribution& d : kDistributions)
    if (std::strcmp(d.name, argv[2]) == 0) o->dist = &d;
  if (!o->dist) {
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
    if (opt == "--n" && std::strcmp(v, "all") == 0) {
      o->n = -1;
    } else if (opt == "--n") {
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
    } else if (opt == "--load") {
      o->load = v;
    } else if (opt == "--save") {
      o->save = v;
    } else {
      std::fprintf(stderr, "qor rng: unknown option '%s'\n", opt.c_str());
      return false;
    }
  }
  if (!o->have_a) o->a = o->dist->a;
  if (!o->have_b) o->b = o->dist->b;
  if (o->dist->interval && !(o->a < o->b)) {
    std::fprintf(stderr, "qor rng: the interval [a, b) is empty\n");
    return false;
  }
  if (o->dist->out == Out::f64 && !o->dist->interval && !(o->b > 0)) {
    std::fprintf(stderr, "qor rng: the scale b must be positive\n");
    return false;
  }
  return true;
}

}  // namespace

int qor_cmd_rng(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) return usage();
  HoxStream s = nullptr;
  int32_t st = o.load ? __hoxLoadStreamF(&s, o.load, -1)
                      : __hoxNewStreamEx(&s, o.brng, int32_t(o.seed.size()), o.seed.data());
  if (st == 0 && o.load) o.brng = __hoxGetStreamStateBrng(s);
  if (st == 0 && o.skip) st = __hoxSkipAheadStream(s, o.skip);
  if (st != 0) {
    std::fprintf(stderr, "qor rng: cannot set up the stream (status %d)\n", st);
    __hoxDeleteStream(&s);
    return 1;
  }
  FILE* out = stdout;
  const bool to_stdout = o.binary && std::strcmp(o.binary, "-") == 0;
  if (o.binary && !to_stdout && !(out = std::fopen(o.binary, "wb"))) {
    std::fprintf(stderr, "qor rng: cannot open '%s' for writing\n", o.binary);
    __hoxDeleteStream(&s);
    return 1;
  }
  BrngProperties props{};
  __hoxGetBrngProperties(o.brng, &props);
  const Out kind = o.dist->out;
  const int32_t words_per = kind == Out::words ? props.wordBytes / 4 : 1;
  const size_t bytes = kind == Out::f64 ? 8 : size_t(4 * words_per);  // u32: 4
  constexpr int32_t kBlock = 1 << 16;
  std::vector<uint64_t> buffer(size_t(kBlock) * 2);  // room for 16-byte words
  const double* d = reinterpret_cast<const double*>(buffer.data());
  const float* f = reinterpret_cast<const float*>(buffer.data());
  const int32_t* k = reinterpret_cast<const int32_t*>(buffer.data());
  const uint32_t* w = reinterpret_cast<const uint32_t*>(buffer.data());
  double seconds = 0.0;
  bool ok = true;
  const bool endless = o.n < 0;  // --n all: until the output is closed
  for (long long done = 0; (endless || done < o.n) && ok;) {
    const int32_t m = endless ? kBlock : int32_t(std::min<long long>(kBlock, o.n - done));
    const auto t0 = std::chrono::steady_clock::now();
    st = o.dist->draw(s, m, buffer.data(), o.a, o.b);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (st != 0) {
      std::fprintf(stderr, "qor rng: generation failed (status %d)\n", st);
      ok = false;
      break;
    }
    if (o.binary) {
      ok = std::fwrite(buffer.data(), bytes, size_t(m), out) == size_t(m);
    } else {
      for (int32_t i = 0; i < m; ++i) {
        if (kind == Out::f64) std::fprintf(out, "%.17g\n", d[i]);
        else if (kind == Out::f32) std::fprintf(out, "%.9g\n", double(f[i]));
        else if (kind == Out::i32) std::fprintf(out, "%" PRId32 "\n", k[i]);
        else if (kind == Out::u32) std::fprintf(out, "%" PRIu32 "\n", w[i]);
        else if (words_per == 4)  // Wichmann-Hill: the four component values
          std::fprintf(out, "%" PRIu32 " %" PRIu32 " %" PRIu32 " %" PRIu32 "\n", w[4 * i], w[4 * i + 1], w[4 * i + 2], w[4 * i + 3]);
        else if (words_per == 2) std::fprintf(out, "%" PRIu64 "\n", uint64_t(w[2 * i]) | (uint64_t(w[2 * i + 1]) << 32));
        else std::fprintf(out, "%" PRIu32 "\n", w[i]);
      }
    }
    done += m;
  }
  if (o.binary && (to_stdout ? std::fflush(out) : std::fclose(out)) != 0) ok = false;
  if (ok && o.save && (st = __hoxSaveStreamF(s, o.save, -1)) != 0) {
    std::fprintf(stderr, "qor rng: cannot save the stream to '%s' (status %d)\n", o.save, st);
    ok = false;
  }
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
  double e[4];
  __hoxNewStreamEx(&s, HOX_BRNG_MRG32K3A, 6, seed6);
  _hoxdRngExponential(0, s, 4, e, 0.0, 1.0);
  std::printf("MRG32K3A exponential (mean 1):         %.10f %.10f %.10f %.10f\n", e[0], e[1], e[2], e[3]);
  __hoxDeleteStream(&s);
}

// qor rng: draw numbers from a generator.
//
//   qor rng GEN DIST [--n N] [--seed S[,S2,...]] [--a A --b B] [--skip K] [--binary FILE]
//                    [--load FILE] [--save FILE] [--dim D]
//   qor rng GEN gaussian --mean 0 --sigma 1 --n N [--method M] [--hist]   (and the other
//                    continuous distributions of kContinuous, with --mean/--a, --sigma,
//                    --beta, --alpha, --p, --q, --shift, --method)
//
//   qor rng GEN poisson --lambda 10 --n N [--hist]   (and the other discrete distributions of
//                    kDiscrete: bernoulli, geometric, binomial, hypergeometric, negbinomial, with
//                    --p, --ntrial, --lambda, --lot, --sample, --marked, --a, --method)
// --hist prints a terminal histogram of the numbers drawn against the exact density (the exact
// probabilities for the discrete distributions) instead of the numbers.
// --load continues a stream saved by --save (its generator and state come from the file; GEN
// names the tool's output only), --save writes the stream after the numbers drawn, so that
// `--save f` then `--load f` continues the sequence exactly. --dim D (for the quasi-random
// generators, sobol and niederreiter) seeds a D-dimensional stream (unless --seed is given) and
// prints one point of D coordinates per line; N then counts points.
// GEN is one of the generators the library builds (the registry's list,
// src/random/core/generators.def); DIST one of the distributions in kDistributions below.
// Numbers go to stdout as text, one per line, or to FILE in the machine's binary format; the
// generation rate goes to stderr.
#include <algorithm>
#include <chrono>
#include <cmath>
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


// The continuous distributions with named parameters (double precision), each with its exact
// density for --hist.
struct Params {
  double a = 0, sigma = 1, beta = 1, alpha = 1, p = 1, q = 1, shift = 0;
  double ntrial = 10, lambda = 1, lot = 100, sample = 10, marked = 20;  // discrete distributions
  int32_t method = 0;
};
struct Continuous {
  const char* name;
  const char* help;
  int32_t (*draw)(HoxStream s, int32_t m, double* r, const Params& P);
  double (*pdf)(double x, const Params& P);
};
constexpr double kPi = 3.14159265358979323846;
double gauss_pdf(double z) { return std::exp(-0.5 * z * z) / std::sqrt(2 * kPi); }
constexpr Continuous kContinuous[] = {
    {"gaussian", "--mean A --sigma S --method 0|1|2", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngGaussian(P.method, s, m, r, P.a, P.sigma);
     }, [](double x, const Params& P) { return gauss_pdf((x - P.a) / P.sigma) / P.sigma; }},
    {"laplace", "--a A --beta B", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngLaplace(0, s, m, r, P.a, P.beta);
     }, [](double x, const Params& P) { return std::exp(-std::fabs(x - P.a) / P.beta) / (2 * P.beta); }},
    {"weibull", "--alpha K --a A --beta B", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngWeibull(0, s, m, r, P.alpha, P.a, P.beta);
     }, [](double x, const Params& P) {
       const double t = (x - P.a) / P.beta;
       return t <= 0 ? 0.0 : P.alpha / P.beta * std::pow(t, P.alpha - 1) * std::exp(-std::pow(t, P.alpha));
     }},
    {"cauchy", "--a A --beta B", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngCauchy(0, s, m, r, P.a, P.beta);
     }, [](double x, const Params& P) { const double t = (x - P.a) / P.beta; return 1 / (kPi * P.beta * (1 + t * t)); }},
    {"rayleigh", "--a A --beta B", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngRayleigh(0, s, m, r, P.a, P.beta);
     }, [](double x, const Params& P) {
       const double t = (x - P.a) / P.beta;
       return t <= 0 ? 0.0 : 2 * t / P.beta * std::exp(-t * t);
     }},
    {"lognormal", "--mean A --sigma S --shift B --beta C --method 0|1", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngLognormal(P.method, s, m, r, P.a, P.sigma, P.shift, P.beta);
     }, [](double x, const Params& P) {
       const double t = (x - P.shift) / P.beta;
       return t <= 0 ? 0.0 : gauss_pdf((std::log(t) - P.a) / P.sigma) / (P.sigma * t * P.beta);
     }},
    {"gumbel", "--a A --beta B", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngGumbel(0, s, m, r, P.a, P.beta);
     }, [](double x, const Params& P) { const double t = (x - P.a) / P.beta; return std::exp(t - std::exp(t)) / P.beta; }},
    {"gamma", "--alpha K --a A --beta B", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngGamma(0, s, m, r, P.alpha, P.a, P.beta);
     }, [](double x, const Params& P) {
       const double t = (x - P.a) / P.beta;
       return t <= 0 ? 0.0 : std::exp((P.alpha - 1) * std::log(t) - t - std::lgamma(P.alpha)) / P.beta;
     }},
    {"beta", "--p P --q Q --a A --beta B", [](HoxStream s, int32_t m, double* r, const Params& P) {
       return _hoxdRngBeta(0, s, m, r, P.p, P.q, P.a, P.beta);
     }, [](double x, const Params& P) {
       const double t = (x - P.a) / P.beta;
       if (t <= 0 || t >= 1) return 0.0;
       return std::exp((P.p - 1) * std::log(t) + (P.q - 1) * std::log1p(-t) + std::lgamma(P.p + P.q) - std::lgamma(P.p) -
                       std::lgamma(P.q)) / P.beta;
     }},
};

// The discrete distributions with named parameters, each with its exact probability (computed
// here from lgamma sums) for --hist.
struct Discrete {
  const char* name;
  const char* help;
  int32_t (*draw)(HoxStream s, int32_t m, int32_t* r, const Params& P);
  double (*pmf)(double k, const Params& P);
};
double lchoose(double n, double k) { return std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1); }
constexpr Discrete kDiscrete[] = {
    {"bernoulli", "--p P", [](HoxStream s, int32_t m, int32_t* r, const Params& P) {
       return _hoxiRngBernoulli(0, s, m, r, P.p);
     }, [](double k, const Params& P) { return k == 0 ? 1 - double(float(P.p)) : k == 1 ? double(float(P.p)) : 0.0; }},
    {"geometric", "--p P", [](HoxStream s, int32_t m, int32_t* r, const Params& P) {
       return _hoxiRngGeometric(0, s, m, r, P.p);
     }, [](double k, const Params& P) { return std::exp(k * std::log1p(-P.p)) * P.p; }},
    {"binomial", "--ntrial N --p P", [](HoxStream s, int32_t m, int32_t* r, const Params& P) {
       return _hoxiRngBinomial(0, s, m, r, int32_t(P.ntrial), P.p);
     }, [](double k, const Params& P) {
       if (k < 0 || k > P.ntrial) return 0.0;
       return std::exp(lchoose(P.ntrial, k) + k * std::log(P.p) + (P.ntrial - k) * std::log1p(-P.p));
     }},
    {"hypergeometric", "--lot L --sample S --marked M", [](HoxStream s, int32_t m, int32_t* r, const Params& P) {
       return _hoxiRngHypergeometric(0, s, m, r, int32_t(P.lot), int32_t(P.sample), int32_t(P.marked));
     }, [](double k, const Params& P) {
       if (k < 0 || k > P.marked || P.sample - k > P.lot - P.marked || k > P.sample) return 0.0;
       return std::exp(lchoose(P.marked, k) + lchoose(P.lot - P.marked, P.sample - k) - lchoose(P.lot, P.sample));
     }},
    {"poisson", "--lambda L --method 0|1", [](HoxStream s, int32_t m, int32_t* r, const Params& P) {
       return _hoxiRngPoisson(P.method, s, m, r, P.lambda);
     }, [](double k, const Params& P) {
       return P.lambda == 0 ? double(k == 0) : std::exp(k * std::log(P.lambda) - P.lambda - std::lgamma(k + 1));
     }},
    {"negbinomial", "--a A --p P", [](HoxStream s, int32_t m, int32_t* r, const Params& P) {
       return _hoxiRngNegbinomial(0, s, m, r, P.a, P.p);
     }, [](double k, const Params& P) {
       return std::exp(std::lgamma(k + P.a) - std::lgamma(P.a) - std::lgamma(k + 1) + P.a * std::log(P.p) +
                       k * std::log1p(-P.p));
     }},
};

std::string distribution_help() {
  std::string s;
  for (const Distribution& d : kDistributions)
    s += std::string(s.empty() ? "  DIST  " : "\n        ") + d.name + " (" + d.help + ")";
  for (const Continuous& c : kContinuous) s += std::string("\n        ") + c.name + " (" + c.help + ")";
  for (const Discrete& c : kDiscrete) s += std::string("\n        ") + c.name + " (" + c.help + ")";
  return s;
}

struct Options {
  int32_t brng = 0;
  const char* gen = nullptr;
  const Distribution* dist = nullptr;
  const Continuous* cont = nullptr;
  const Discrete* disc = nullptr;
  Params P;
  bool hist = false;
  long long n = 10;
  std::vector<uint32_t> seed{1};
  double a = 0.0, b = 1.0;
  bool have_a = false, have_b = false;
  unsigned long long skip = 0;
  const char* binary = nullptr;
  const char* load = nullptr;
  const char* save = nullptr;
  long long dim = 1;  // numbers per output line (--dim)
  bool have_seed = false;
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
      "  --save FILE    save the stream to FILE after drawing\n"
      "  --dim D        sobol, niederreiter: D-dimensional points, one per line (N points)\n"
      "  --hist         (continuous and discrete distributions) a histogram against the exact law\n",
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
  for (const Continuous& c : kContinuous)
    if (std::strcmp(c.name, argv[2]) == 0) o->cont = &c;
  for (const Discrete& c : kDiscrete)
    if (std::strcmp(c.name, argv[2]) == 0) o->disc = &c;
  if (!o->dist && !o->cont && !o->disc) {
    std::fprintf(stderr, "qor rng: unknown distribution '%s'\n", argv[2]);
    return false;
  }
  for (int i = 3; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--hist") {
      o->hist = true;
      continue;
    }
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
    } else if (opt == "--dim") {
      o->dim = std::strtoll(v, &end, 10);
      if (*end || o->dim < 1 || o->dim > 0xFFFFFF) return std::fprintf(stderr, "qor rng: bad dimension '%s'\n", v), false;
    } else if (opt == "--seed") {
      o->have_seed = true;
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
      if (opt == "--a") o->P.a = x;
    } else if (opt == "--mean" || opt == "--sigma" || opt == "--beta" || opt == "--alpha" || opt == "--p" ||
               opt == "--q" || opt == "--shift" || opt == "--ntrial" || opt == "--lambda" || opt == "--lot" ||
               opt == "--sample" || opt == "--marked") {
      const double x = std::strtod(v, &end);
      if (*end || !(o->cont || o->disc))
        return std::fprintf(stderr, "qor rng: bad parameter %s '%s'\n", opt.c_str(), v), false;
      double* field[] = {&o->P.a,      &o->P.sigma,  &o->P.beta, &o->P.alpha,  &o->P.p,     &o->P.q,
                         &o->P.shift,  &o->P.ntrial, &o->P.lambda, &o->P.lot,  &o->P.sample, &o->P.marked};
      const char* names[] = {"--mean",  "--sigma",  "--beta", "--alpha",  "--p",      "--q",
                             "--shift", "--ntrial", "--lambda", "--lot", "--sample", "--marked"};
      for (int f = 0; f < 12; ++f)
        if (opt == names[f]) *field[f] = x;
    } else if (opt == "--method") {
      o->P.method = int32_t(std::strtol(v, &end, 10));
      if (*end) return std::fprintf(stderr, "qor rng: bad method '%s'\n", v), false;
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
  if (o->dim > 1) {
    if (!o->have_seed) o->seed = {uint32_t(o->dim)};
    o->n *= o->dim;
  }
  if (o->cont) {
    if (!(o->P.sigma > 0 && o->P.beta > 0 && o->P.alpha > 0 && o->P.p > 0 && o->P.q > 0)) {
      std::fprintf(stderr, "qor rng: the scales and shapes must be positive\n");
      return false;
    }
    return true;
  }
  if (o->disc) return true;  // the library refuses parameters out of range (status -3)
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

// The end of every draw: the stream saved if asked, deleted, the rate reported.
// The output: standard output for text and for `--binary -`, else the named file (null if it
// cannot be opened); closing flushes standard output and closes a file.
FILE* open_output(const Options& o) {
  return !o.binary || std::strcmp(o.binary, "-") == 0 ? stdout : std::fopen(o.binary, "wb");
}
bool close_output(const Options& o, FILE* out) {
  return out == stdout ? std::fflush(out) == 0 : std::fclose(out) == 0;
}

int finish(const Options& o, HoxStream s, bool ok, double seconds) {
  int32_t st = 0;
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

// Prints a histogram of x in 30 rows over the central 99% of the draws: each row's bar is the
// observed density ('#'), '|' marks the exact density (or '+' where the bar reaches it).
void print_histogram(std::vector<double> x, const Continuous& c, const Params& P) {
  if (x.empty()) return;
  std::sort(x.begin(), x.end());
  const size_t n = x.size();
  const double lo = x[size_t(0.005 * double(n - 1))], hi = x[size_t(0.995 * double(n - 1))];
  constexpr int kRows = 30, kWidth = 60;
  const double w = hi > lo ? (hi - lo) / kRows : 1.0;
  std::vector<double> obs(kRows, 0.0), want(kRows);
  for (double v : x) {
    const int b = int((v - lo) / w);
    if (v >= lo && b >= 0 && b < kRows) obs[b] += 1;
  }
  double top = 0;
  for (int b = 0; b < kRows; ++b) {
    obs[b] /= double(n) * w;
    // exact density averaged over the row (64-point midpoint rule; it reads low in a row that
    // holds an integrable pole of the density, as Gamma and Beta have for shapes below 1)
    want[b] = 0;
    for (int k = 0; k < 64; ++k) want[b] += c.pdf(lo + w * (b + (k + 0.5) / 64), P) / 64;
    top = std::max({top, obs[b], want[b]});
  }
  std::printf("%s: %zu draws, histogram of the central 99%% ('#' observed density, '|' exact)\n", c.name, n);
  for (int b = 0; b < kRows; ++b) {
    const int bar = int(std::lround(obs[b] / top * kWidth)), mark = int(std::lround(want[b] / top * kWidth));
    std::string line(size_t(kWidth + 1), ' ');
    for (int i = 0; i < bar; ++i) line[size_t(i)] = '#';
    line[size_t(std::min(mark, kWidth))] = mark < bar ? '+' : '|';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%12.5g %9.4g %9.4g %s\n", lo + w * (b + 0.5), obs[b], want[b], line.c_str());
  }
}

// The same for a discrete distribution over the central 99% of the draws, in at most 30 rows of
// equally many values: the observed frequency of each row ('#') against its exact probability.
void print_histogram(std::vector<double> x, const Discrete& c, const Params& P) {
  if (x.empty()) return;
  std::sort(x.begin(), x.end());
  const size_t n = x.size();
  const double lo = x[size_t(0.005 * double(n - 1))], hi = x[size_t(0.995 * double(n - 1))];
  const double values = hi - lo + 1;
  const int rows = int(std::min(30.0, values));
  const double w = std::ceil(values / rows);
  constexpr int kWidth = 60;
  std::vector<double> obs(size_t(rows), 0.0), want(size_t(rows), 0.0);
  for (double v : x) {
    const double b = std::floor((v - lo) / w);
    if (b >= 0 && b < rows) obs[size_t(b)] += 1.0 / double(n);
  }
  double top = 0;
  for (int b = 0; b < rows; ++b) {
    for (double k = lo + b * w; k < lo + (b + 1) * w; ++k) want[size_t(b)] += c.pmf(k, P);
    top = std::max({top, obs[size_t(b)], want[size_t(b)]});
  }
  std::printf("%s: %zu draws, the central 99%% in rows of %.0f value(s) ('#' observed frequency, '|' exact)\n", c.name,
              n, w);
  for (int b = 0; b < rows; ++b) {
    const int bar = int(std::lround(obs[size_t(b)] / top * kWidth)), mark = int(std::lround(want[size_t(b)] / top * kWidth));
    std::string line(size_t(kWidth + 1), ' ');
    for (int i = 0; i < bar; ++i) line[size_t(i)] = '#';
    line[size_t(std::min(mark, kWidth))] = mark < bar ? '+' : '|';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%12.0f %9.4g %9.4g %s\n", lo + b * w, obs[size_t(b)], want[size_t(b)], line.c_str());
  }
}

// The continuous and discrete distributions: numbers as text (or binary), or the histogram.
int run_continuous(const Options& o, HoxStream s) {
  FILE* out = open_output(o);
  if (!out) {
    std::fprintf(stderr, "qor rng: cannot open '%s' for writing\n", o.binary);
    __hoxDeleteStream(&s);
    return 1;
  }
  constexpr int32_t kBlock = 1 << 16;
  std::vector<double> buffer(kBlock), all;
  std::vector<int32_t> ints(o.disc ? kBlock : 0);
  double seconds = 0.0;
  bool ok = true;
  for (long long done = 0; done < o.n && ok;) {
    const int32_t m = int32_t(std::min<long long>(kBlock, o.n - done));
    const auto t0 = std::chrono::steady_clock::now();
    const int32_t st = o.disc ? o.disc->draw(s, m, ints.data(), o.P) : o.cont->draw(s, m, buffer.data(), o.P);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (st != 0) {
      std::fprintf(stderr, "qor rng: generation failed (status %d)\n", st);
      ok = false;
      break;
    }
    if (o.disc)
      for (int32_t i = 0; i < m; ++i) buffer[size_t(i)] = ints[size_t(i)];
    if (o.hist)
      all.insert(all.end(), buffer.begin(), buffer.begin() + m);
    else if (o.binary && o.disc)
      ok = std::fwrite(ints.data(), sizeof(int32_t), size_t(m), out) == size_t(m);
    else if (o.binary)
      ok = std::fwrite(buffer.data(), sizeof(double), size_t(m), out) == size_t(m);
    else
      for (int32_t i = 0; i < m; ++i) std::fprintf(out, o.disc ? "%.0f\n" : "%.17g\n", buffer[size_t(i)]);
    done += m;
  }
  if (!close_output(o, out)) ok = false;
  if (ok && o.hist && o.disc) print_histogram(std::move(all), *o.disc, o.P);
  if (ok && o.hist && o.cont) print_histogram(std::move(all), *o.cont, o.P);
  return finish(o, s, ok, seconds);
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
  if (o.cont || o.disc) return run_continuous(o, s);
  FILE* out = open_output(o);
  if (!out) {
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
        const char* sep = (done + i + 1) % o.dim ? " " : "\n";
        if (kind == Out::f64) std::fprintf(out, "%.17g%s", d[i], sep);
        else if (kind == Out::f32) std::fprintf(out, "%.9g%s", double(f[i]), sep);
        else if (kind == Out::i32) std::fprintf(out, "%" PRId32 "%s", k[i], sep);
        else if (kind == Out::u32) std::fprintf(out, "%" PRIu32 "%s", w[i], sep);
        else if (words_per == 4)  // Wichmann-Hill: the four component values
          std::fprintf(out, "%" PRIu32 " %" PRIu32 " %" PRIu32 " %" PRIu32 "%s", w[4 * i], w[4 * i + 1], w[4 * i + 2], w[4 * i + 3], sep);
        else if (words_per == 2) std::fprintf(out, "%" PRIu64 "%s", uint64_t(w[2 * i]) | (uint64_t(w[2 * i + 1]) << 32), sep);
        else std::fprintf(out, "%" PRIu32 "%s", w[i], sep);
      }
    }
    done += m;
  }
  if (!close_output(o, out)) ok = false;
  return finish(o, s, ok, seconds);
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
  const uint32_t two = 2;
  double q[8];
  if (__hoxNewStreamEx(&s, HOX_BRNG_SOBOL, 1, &two) == 0 && _hoxdRngUniform(0, s, 8, q, 0.0, 1.0) == 0)
    std::printf("Sobol, first 2-d points:               (%g, %g) (%g, %g) (%g, %g) (%g, %g)\n", q[0], q[1], q[2],
                q[3], q[4], q[5], q[6], q[7]);
  __hoxDeleteStream(&s);
}

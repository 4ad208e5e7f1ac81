// qor stats FILE.csv: summary statistics of the numeric columns of a CSV file, streamed block
// by block through progressive calls of the moments method (files larger than memory work).
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "qor/stats.h"

namespace {

constexpr int32_t kBlock = 4096;  // observations per call

// Splits one CSV line (no embedded newlines; quotes around a field are removed).
std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false;
  for (char ch : line) {
    if (ch == '"') quoted = !quoted;
    else if (ch == ',' && !quoted) out.push_back(cur), cur.clear();
    else if (ch != '\r') cur.push_back(ch);
  }
  out.push_back(cur);
  for (std::string& f : out) {
    const size_t a = f.find_first_not_of(" \t"), b = f.find_last_not_of(" \t");
    f = a == std::string::npos ? std::string() : f.substr(a, b - a + 1);
  }
  return out;
}

bool number(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtod(s.c_str(), &end);
  return end && *end == '\0' && errno != ERANGE;
}

bool read_line(FILE* f, std::string& line) {
  line.clear();
  int ch;
  while ((ch = std::fgetc(f)) != EOF) {
    if (ch == '\n') return true;
    line.push_back(static_cast<char>(ch));
  }
  return !line.empty();
}

// Streams the columns `cols` of rows from `f` into the task block by block.
struct Summary {
  int32_t p = 0, n = 0, storage = HOX_SS_STORAGE_COLUMNS, full = HOX_SS_MATRIX_FULL;
  std::vector<double> block, mean, raw2, raw3, raw4, cen2, cen3, cen4, kurt, skew, cor, aw, lo, hi;
  long total = 0;
  HoxSSTask* task = nullptr;

  int32_t start(int32_t columns) {
    p = columns;
    block.resize(size_t(kBlock) * p);
    for (auto* v : {&mean, &raw2, &raw3, &raw4, &cen2, &cen3, &cen4, &kurt, &skew}) v->assign(p, 0.0);
    cor.assign(size_t(p) * p, 0.0);
    aw.assign(2, 0.0);
    lo.assign(p, INFINITY);
    hi.assign(p, -INFINITY);
    n = kBlock;  // the count behind &n is read again at every call; it holds the block's rows
    int32_t st = __hoxdSSNewTask(&task, &p, &n, &storage, block.data(), nullptr, nullptr, nullptr);
    n = 0;
    if (!st) st = __hoxdSSEditMoments(task, mean.data(), raw2.data(), raw3.data(), raw4.data(), cen2.data(), cen3.data(), cen4.data());
    if (!st) st = __hoxdSSEditCovCor(task, nullptr, nullptr, nullptr, cor.data(), &full);
    if (!st) st = __hoxdSSEditTask(task, HOX_SS_ED_KURTOSIS, kurt.data());
    if (!st) st = __hoxdSSEditTask(task, HOX_SS_ED_SKEWNESS, skew.data());
    if (!st) st = __hoxdSSEditTask(task, HOX_SS_ED_ACCUM_WEIGHT, aw.data());
    return st;
  }
  void add(const std::vector<double>& row) {
    std::memcpy(block.data() + size_t(n) * p, row.data(), sizeof(double) * p);
    for (int32_t i = 0; i < p; ++i) lo[i] = std::fmin(lo[i], row[i]), hi[i] = std::fmax(hi[i], row[i]);
    ++n;
  }
  int32_t flush() {
    if (n == 0) return 0;
    const uint64_t est = HOX_SS_EST_MEAN | HOX_SS_EST_RAW2 | HOX_SS_EST_RAW3 | HOX_SS_EST_RAW4 |
                         HOX_SS_EST_CEN2 | HOX_SS_EST_CEN3 | HOX_SS_EST_CEN4 | HOX_SS_EST_KURTOSIS |
                         HOX_SS_EST_SKEWNESS | HOX_SS_EST_COR;
    const int32_t st = _hoxdSSBasic(task, est, HOX_SS_METHOD_ONE_PASS, qor_threading_openmp());
    total += n;
    n = 0;
    return st;
  }
  ~Summary() {
    if (task) __hoxSSDeleteTask(&task);
  }
};

void print(const Summary& s, const std::vector<std::string>& names) {
  std::printf("%ld observations of %d numeric columns\n\n", s.total, s.p);
  std::printf("%-16s %18s %12s %10s %10s %18s %18s\n", "column", "mean", "std dev", "skewness",
              "kurtosis", "min", "max");
  for (int32_t i = 0; i < s.p; ++i)
    std::printf("%-16.16s %18.12g %12.6g %10.4f %10.4f %18.12g %18.12g\n", names[i].c_str(), s.mean[i],
                std::sqrt(s.cen2[i]), s.skew[i], s.kurt[i], s.lo[i], s.hi[i]);
  std::printf("\ncorrelation\n%-16s", "");
  for (int32_t j = 0; j < s.p; ++j) std::printf(" %8.8s", names[j].c_str());
  std::printf("\n");
  for (int32_t i = 0; i < s.p; ++i) {
    std::printf("%-16.16s", names[i].c_str());
    for (int32_t j = 0; j < s.p; ++j) std::printf(" %8.4f", s.cor[size_t(i) * s.p + j]);
    std::printf("\n");
  }
  std::printf("(kurtosis is the excess kurtosis; standard deviation and correlation use n - 1)\n");
}

}  // namespace

int qor_cmd_stats(int argc, char** argv) {
  if (argc != 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help")) {
    std::fprintf(stderr, "usage: qor stats FILE.csv\n"
                         "  mean, standard deviation, skewness, kurtosis, min, max and the\n"
                         "  correlation matrix of the file's numeric columns (first line may be a\n"
                         "  header; rows with a missing or non-numeric value are skipped)\n");
    return argc == 2 ? 0 : 2;
  }
  FILE* f = std::fopen(argv[1], "r");
  if (!f) {
    std::fprintf(stderr, "qor stats: cannot open %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  std::string line;
  std::vector<std::string> first;
  while (read_line(f, line))
    if (!line.empty()) {
      first = split(line);
      break;
    }
  if (first.empty()) {
    std::fprintf(stderr, "qor stats: %s is empty\n", argv[1]);
    std::fclose(f);
    return 1;
  }
  // a header when some field of the first line is not a number; numeric columns are those
  // whose first data value is a number
  double v;
  bool header = false;
  for (const std::string& s : first) header |= !number(s, v);
  std::vector<std::string> data = first;
  if (header) {
    data.clear();
    while (read_line(f, line))
      if (!line.empty()) {
        data = split(line);
        break;
      }
  }
  std::vector<int> cols;
  std::vector<std::string> names;
  for (size_t c = 0; c < data.size(); ++c)
    if (number(data[c], v)) {
      cols.push_back(int(c));
      names.push_back(header && c < first.size() ? first[c] : "col" + std::to_string(c + 1));
    }
  if (cols.empty()) {
    std::fprintf(stderr, "qor stats: no numeric column in %s\n", argv[1]);
    std::fclose(f);
    return 1;
  }
  Summary s;
  if (int32_t st = s.start(int32_t(cols.size()))) {
    std::fprintf(stderr, "qor stats: task creation failed (status %d)\n", st);
    std::fclose(f);
    return 1;
  }
  long skipped = 0;
  std::vector<double> row(cols.size());
  auto take = [&](const std::vector<std::string>& fields) {
    for (size_t k = 0; k < cols.size(); ++k)
      if (size_t(cols[k]) >= fields.size() || !number(fields[cols[k]], row[k]) || !std::isfinite(row[k])) {
        ++skipped;
        return true;
      }
    s.add(row);
    return s.n < kBlock || s.flush() == 0;
  };
  bool ok = data.empty() || take(data);
  while (ok && read_line(f, line))
    if (!line.empty()) ok = take(split(line));
  std::fclose(f);
  const int32_t st = ok ? s.flush() : -1;
  if (!ok || st) {
    std::fprintf(stderr, "qor stats: the moments computation failed (status %d)\n", st);
    return 1;
  }
  if (s.total < 2) {
    std::fprintf(stderr, "qor stats: need at least two complete rows\n");
    return 1;
  }
  print(s, names);
  if (skipped) std::printf("%ld rows skipped (missing or non-numeric values)\n", skipped);
  return 0;
}

// Anscombe's quartet (F. J. Anscombe, "Graphs in Statistical Analysis", The American
// Statistician 27, 1973): four data sets with the same means, variances and correlation.
void qor_tour_stats() {
  static const double q[11][8] = {
      {10, 8.04, 10, 9.14, 10, 7.46, 8, 6.58},   {8, 6.95, 8, 8.14, 8, 6.77, 8, 5.76},
      {13, 7.58, 13, 8.74, 13, 12.74, 8, 7.71},  {9, 8.81, 9, 8.77, 9, 7.11, 8, 8.84},
      {11, 8.33, 11, 9.26, 11, 7.81, 8, 8.47},   {14, 9.96, 14, 8.10, 14, 8.84, 8, 7.04},
      {6, 7.24, 6, 6.13, 6, 6.08, 8, 5.25},      {4, 4.26, 4, 3.10, 4, 5.39, 19, 12.50},
      {12, 10.84, 12, 9.13, 12, 8.15, 8, 5.56},  {7, 4.82, 7, 7.26, 7, 6.42, 8, 7.91},
      {5, 5.68, 5, 4.74, 5, 5.73, 8, 6.89}};
  const int32_t p = 8, n = 11, storage = HOX_SS_STORAGE_COLUMNS, full = HOX_SS_MATRIX_FULL;
  double mean[8], raw2[8], raw3[8], cen2[8], cen3[8], skew[8], cor[64];
  HoxSSTask* t = nullptr;
  if (__hoxdSSNewTask(&t, &p, &n, &storage, &q[0][0], nullptr, nullptr, nullptr)) return;
  __hoxdSSEditMoments(t, mean, raw2, raw3, nullptr, cen2, cen3, nullptr);
  __hoxdSSEditTask(t, HOX_SS_ED_SKEWNESS, skew);
  __hoxdSSEditCovCor(t, nullptr, nullptr, nullptr, cor, &full);
  const int32_t st = _hoxdSSBasic(t, HOX_SS_EST_MEAN | HOX_SS_EST_CEN2 | HOX_SS_EST_SKEWNESS | HOX_SS_EST_COR,
                                  HOX_SS_METHOD_ONE_PASS, qor_threading_sequential());
  __hoxSSDeleteTask(&t);
  if (st) return;
  std::printf("statistics: Anscombe's quartet (four x,y data sets, 11 points each)\n");
  std::printf("  set   mean x  mean y   var x   var y  cor(x,y)  skew y\n");
  for (int k = 0; k < 4; ++k)
    std::printf("  %d   %7.3f %7.3f %7.3f %7.3f %8.3f %7.3f\n", k + 1, mean[2 * k], mean[2 * k + 1],
                cen2[2 * k], cen2[2 * k + 1], cor[(2 * k) * 8 + 2 * k + 1], skew[2 * k + 1]);
  std::printf("  same summary, four different pictures; try: qor stats FILE.csv\n\n");
}

// qor stats FILE.csv: summary statistics of the numeric columns of a CSV file, streamed block
// by block through progressive calls of the moments method (files larger than memory work).
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
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
  // streaming quantiles: m orders (read at the end), eps
  int32_t m = 0, m_read = 0, nparams = 1;
  std::vector<double> orders, quantiles, eps = {1e-4};
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
    if (!st) st = __hoxdSSEditTask(task, HOX_SS_ED_MIN, lo.data());
    if (!st) st = __hoxdSSEditTask(task, HOX_SS_ED_MAX, hi.data());
    if (!st && m > 0) {
      quantiles.assign(size_t(p) * m, NAN);
      st = __hoxdSSEditStreamQuantiles(task, &m_read, orders.data(), quantiles.data(), &nparams, eps.data());
    }
    return st;
  }
  void add(const std::vector<double>& row) {
    std::memcpy(block.data() + size_t(n) * p, row.data(), sizeof(double) * p);
    ++n;
  }
  // the quantiles of everything streamed so far
  int32_t read_quantiles() {
    if (m == 0) return 0;
    const int32_t n0 = n;
    n = 0;
    m_read = m;
    const int32_t st = _hoxdSSStreamQuantiles(task, 0, HOX_SS_METHOD_STREAM_QUANTILES, qor_threading_openmp());
    m_read = 0;
    n = n0;
    return st;
  }
  int32_t flush() {
    if (n == 0) return 0;
    const uint64_t est = HOX_SS_EST_MEAN | HOX_SS_EST_RAW2 | HOX_SS_EST_RAW3 | HOX_SS_EST_RAW4 |
                         HOX_SS_EST_CEN2 | HOX_SS_EST_CEN3 | HOX_SS_EST_CEN4 | HOX_SS_EST_KURTOSIS |
                         HOX_SS_EST_SKEWNESS | HOX_SS_EST_COR;
    int32_t st = _hoxdSSBasic(task, est, HOX_SS_METHOD_ONE_PASS, qor_threading_openmp());
    if (!st) st = _hoxdSSMinmax(task, HOX_SS_EST_MIN | HOX_SS_EST_MAX, HOX_SS_METHOD_FAST, qor_threading_openmp());
    if (!st && m > 0) st = _hoxdSSStreamQuantiles(task, 0, HOX_SS_METHOD_STREAM_QUANTILES, qor_threading_openmp());
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
  if (s.m > 0) {
    std::printf("\nquantiles (streamed, rank error at most %g N)\n%-16s", s.eps[0], "column");
    for (int32_t k = 0; k < s.m; ++k) std::printf(" %14.6g", s.orders[k]);
    std::printf("\n");
    for (int32_t i = 0; i < s.p; ++i) {
      std::printf("%-16.16s", names[i].c_str());
      for (int32_t k = 0; k < s.m; ++k) std::printf(" %14.8g", s.quantiles[size_t(i) * s.m + k]);
      std::printf("\n");
    }
  }
}

// Group means and covariances of the numeric columns by the values of one column (the rows are
// kept in memory: the pooled-covariance method takes all observations in one call).
int by_group(const std::vector<double>& x, const std::vector<int32_t>& groups,
             const std::vector<std::string>& group_names, const std::vector<std::string>& names) {
  int32_t p = int32_t(names.size()), n = int32_t(groups.size()), storage = HOX_SS_STORAGE_COLUMNS,
          full = HOX_SS_MATRIX_FULL;
  const size_t G = group_names.size();
  std::vector<int32_t> select(G, 1);
  std::vector<double> pmean(p), pcov(size_t(p) * p), gmean(G * p), gcov(G * p * p);
  HoxSSTask* t = nullptr;
  int32_t st = __hoxdSSNewTask(&t, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
  if (!st) st = __hoxdSSEditPooledCovariance(t, groups.data(), pmean.data(), pcov.data(), select.data(), gmean.data(), gcov.data());
  if (!st) st = __hoxiSSEditTask(t, HOX_SS_ED_POOLED_COV_STORAGE, &full);
  if (!st) st = __hoxiSSEditTask(t, HOX_SS_ED_GROUP_COV_STORAGE, &full);
  if (!st)
    st = _hoxdSSPooledCovariance(t, HOX_SS_EST_POOLED_MEAN | HOX_SS_EST_POOLED_COV | HOX_SS_EST_GROUP_MEAN | HOX_SS_EST_GROUP_COV,
                                 HOX_SS_METHOD_ONE_PASS, qor_threading_openmp());
  if (t) __hoxSSDeleteTask(&t);
  if (st) {
    std::fprintf(stderr, "qor stats: the group computation failed (status %d)\n", st);
    return 1;
  }
  auto matrix = [&](const char* title, const double* mean, const double* cov) {
    std::printf("\n%s\n%-16s %14s", title, "column", "mean");
    for (int32_t j = 0; j < p; ++j) std::printf(" %10.10s", names[j].c_str());
    std::printf("\n");
    for (int32_t i = 0; i < p; ++i) {
      std::printf("%-16.16s %14.8g", names[i].c_str(), mean[i]);
      for (int32_t j = 0; j < p; ++j) std::printf(" %10.4g", cov[size_t(i) * p + j]);
      std::printf("\n");
    }
  };
  for (size_t g = 0; g < G; ++g) {
    const std::string title = "group " + group_names[g] + ": mean and covariance";
    matrix(title.c_str(), &gmean[g * p], &gcov[g * p * p]);
  }
  matrix("pooled (within-group) mean and covariance", pmean.data(), pcov.data());
  return 0;
}

}  // namespace

int qor_cmd_stats(int argc, char** argv) {
  const char* file = nullptr;
  const char* by = nullptr;
  std::vector<double> orders;
  bool usage = argc < 2;
  for (int a = 1; a < argc && !usage; ++a) {
    if (!std::strcmp(argv[a], "-h") || !std::strcmp(argv[a], "--help")) {
      usage = true;
    } else if (!std::strcmp(argv[a], "--quantiles") && a + 1 < argc) {
      std::string list = argv[++a];
      size_t pos = 0;
      while (pos <= list.size()) {
        const size_t comma = std::min(list.find(',', pos), list.size());
        double q = 0;
        if (!number(list.substr(pos, comma - pos), q) || !(q >= 0 && q <= 1)) usage = true;
        orders.push_back(q);
        pos = comma + 1;
      }
    } else if (!std::strcmp(argv[a], "--by") && a + 1 < argc) {
      by = argv[++a];
    } else if (!file && argv[a][0] != '-') {
      file = argv[a];
    } else {
      usage = true;
    }
  }
  if (usage || !file) {
    std::fprintf(stderr, "usage: qor stats FILE.csv [--quantiles Q1,Q2,...] [--by COLUMN]\n"
                         "  mean, standard deviation, skewness, kurtosis, min, max and the\n"
                         "  correlation matrix of the file's numeric columns (first line may be a\n"
                         "  header; rows with a missing or non-numeric value are skipped);\n"
                         "  --quantiles: quantiles of each column (streamed, rank error <= 1e-4 N);\n"
                         "  --by: means and covariances per value of COLUMN (name or number from 1)\n"
                         "  and the pooled within-group covariance (the rows are held in memory)\n");
    return argc >= 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help")) ? 0 : 2;
  }
  FILE* f = std::fopen(file, "r");
  if (!f) {
    std::fprintf(stderr, "qor stats: cannot open %s: %s\n", file, std::strerror(errno));
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
    std::fprintf(stderr, "qor stats: %s is empty\n", file);
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
  // the grouping column, by name or by number (from 1)
  int by_col = -1;
  if (by) {
    for (size_t c = 0; c < first.size() && header; ++c)
      if (first[c] == by) by_col = int(c);
    if (by_col < 0 && number(by, v) && v >= 1 && v <= double(data.size()) && v == std::floor(v)) by_col = int(v) - 1;
    if (by_col < 0) {
      std::fprintf(stderr, "qor stats: no column %s in %s\n", by, file);
      std::fclose(f);
      return 1;
    }
  }
  std::vector<int> cols;
  std::vector<std::string> names;
  for (size_t c = 0; c < data.size(); ++c)
    if (int(c) != by_col && number(data[c], v)) {
      cols.push_back(int(c));
      names.push_back(header && c < first.size() ? first[c] : "col" + std::to_string(c + 1));
    }
  if (cols.empty()) {
    std::fprintf(stderr, "qor stats: no numeric column in %s\n", file);
    std::fclose(f);
    return 1;
  }
  Summary s;
  s.m = int32_t(orders.size());
  s.orders = orders;
  if (int32_t st = s.start(int32_t(cols.size()))) {
    std::fprintf(stderr, "qor stats: task creation failed (status %d)\n", st);
    std::fclose(f);
    return 1;
  }
  long skipped = 0;
  std::vector<double> row(cols.size()), kept;
  std::vector<int32_t> groups;
  std::map<std::string, int32_t> group_of;
  std::vector<std::string> group_names;
  auto take = [&](const std::vector<std::string>& fields) {
    for (size_t k = 0; k < cols.size(); ++k)
      if (size_t(cols[k]) >= fields.size() || !number(fields[cols[k]], row[k]) || !std::isfinite(row[k])) {
        ++skipped;
        return true;
      }
    if (by_col >= 0) {
      if (size_t(by_col) >= fields.size() || fields[by_col].empty()) {
        ++skipped;
        return true;
      }
      auto it = group_of.find(fields[by_col]);
      if (it == group_of.end()) {
        it = group_of.emplace(fields[by_col], int32_t(group_names.size())).first;
        group_names.push_back(fields[by_col]);
      }
      groups.push_back(it->second);
      kept.insert(kept.end(), row.begin(), row.end());
    }
    s.add(row);
    return s.n < kBlock || s.flush() == 0;
  };
  bool ok = data.empty() || take(data);
  while (ok && read_line(f, line))
    if (!line.empty()) ok = take(split(line));
  std::fclose(f);
  int32_t st = ok ? s.flush() : -1;
  if (!st) st = s.read_quantiles();
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
  if (by_col >= 0) return by_group(kept, groups, group_names, names);
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

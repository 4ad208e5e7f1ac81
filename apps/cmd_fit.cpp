// qor fit: fit linear or quadratic splines to the columns of a CSV file and evaluate them.
//
//   qor fit FILE.csv --kind linear|quadratic (--sites a,b,c | --sites-from A --to B --count N)
//           [--deriv 1]
//
// The first column is x (sorted by the tool; values must be distinct), every other column is a
// function of x. The output is CSV: x, then the value of every function at the site, then (with
// --deriv 1) every function's first derivative.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "qor/df.h"

namespace {

struct Table {
  std::vector<std::string> names;  // one per column
  std::vector<double> x;
  std::vector<std::vector<double>> f;  // f[j][i]
};

bool parse_double(const std::string& s, double* v) {
  const char* b = s.c_str();
  while (*b == ' ' || *b == '\t') ++b;
  char* e = nullptr;
  errno = 0;
  *v = std::strtod(b, &e);
  if (e == b) return false;
  while (*e == ' ' || *e == '\t' || *e == '\r') ++e;
  return *e == '\0';
}

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::string cur;
  std::stringstream ss(line);
  while (std::getline(ss, cur, sep)) out.push_back(cur);
  if (!line.empty() && line.back() == sep) out.emplace_back();
  return out;
}

bool read_table(const char* path, Table* t, std::string* err) {
  std::ifstream in(path);
  if (!in) {
    *err = std::string("cannot open ") + path;
    return false;
  }
  std::string line;
  size_t lineno = 0, ncol = 0;
  std::vector<std::vector<double>> rows;
  while (std::getline(in, line)) {
    ++lineno;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells = split(line, ',');
    std::vector<double> v(cells.size());
    bool numeric = true;
    for (size_t k = 0; k < cells.size(); ++k) numeric = numeric && parse_double(cells[k], &v[k]);
    if (!numeric) {
      if (rows.empty() && t->names.empty()) {  // header
        t->names = cells;
        ncol = cells.size();
        continue;
      }
      *err = "line " + std::to_string(lineno) + ": not a number";
      return false;
    }
    if (ncol == 0) ncol = cells.size();
    if (cells.size() != ncol) {
      *err = "line " + std::to_string(lineno) + ": expected " + std::to_string(ncol) + " columns";
      return false;
    }
    rows.push_back(std::move(v));
  }
  if (ncol < 2) {
    *err = "need at least two columns (x and one function)";
    return false;
  }
  if (rows.size() < 2) {
    *err = "need at least two rows of data";
    return false;
  }
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a[0] < b[0]; });
  for (size_t i = 1; i < rows.size(); ++i)
    if (!(rows[i][0] > rows[i - 1][0])) {
      *err = "x values must be distinct numbers (x = " + std::to_string(rows[i][0]) + " repeats)";
      return false;
    }
  if (t->names.empty()) {
    t->names.push_back("x");
    for (size_t j = 1; j < ncol; ++j) t->names.push_back("f" + std::to_string(j));
  }
  t->f.assign(ncol - 1, {});
  for (const auto& r : rows) {
    t->x.push_back(r[0]);
    for (size_t j = 1; j < ncol; ++j) t->f[j - 1].push_back(r[j]);
  }
  return true;
}

// Value at the middle of the first cell of the parabola through the first three points (exact
// for quadratic data); with two points, the straight line's.
double first_midpoint(const std::vector<double>& x, const std::vector<double>& y) {
  const double m = 0.5 * (x[0] + x[1]);
  if (x.size() < 3) return 0.5 * (y[0] + y[1]);
  const double l0 = (m - x[1]) * (m - x[2]) / ((x[0] - x[1]) * (x[0] - x[2]));
  const double l1 = (m - x[0]) * (m - x[2]) / ((x[1] - x[0]) * (x[1] - x[2]));
  const double l2 = (m - x[0]) * (m - x[1]) / ((x[2] - x[0]) * (x[2] - x[1]));
  return l0 * y[0] + l1 * y[1] + l2 * y[2];
}

// Evaluates function y's spline of the given kind at the sites: values (and derivatives) into
// r[site * nder + d]. Returns the library status.
int fit_one(const std::vector<double>& x, const std::vector<double>& y, bool quadratic, const double* sites,
            int64_t nsite, int64_t sitehint, int nder, std::vector<double>* r) {
  const int64_t nx = static_cast<int64_t>(x.size());
  DfTask1D* task = nullptr;
  int st = qor_df_kernel_dNewTask1D(&task, nx, x.data(), QOR_DF_HINT_NON_UNIFORM, 1, y.data(), QOR_DF_STORAGE_ROWS, 0);
  if (st != DfOk) return st;
  std::vector<double> coeff((quadratic ? 3 : 2) * (nx - 1));
  const double bc = first_midpoint(x, y);
  if (quadratic)
    st = qor_df_kernel_dEditPPSpline1D(task, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_MIDPOINT_VALUE, &bc,
                                       QOR_DF_IC_NONE, nullptr, coeff.data(), QOR_DF_STORAGE_ROWS);
  else
    st = qor_df_kernel_dEditPPSpline1D(task, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                       QOR_DF_IC_NONE, nullptr, coeff.data(), QOR_DF_STORAGE_ROWS);
  const ThreadingServices* ts = qor_threading_openmp();
  if (st == DfOk)
    st = quadratic ? qor_df_kernel_dDFQuadraticSpline1D(task, 0, QOR_DF_METHOD_DEFAULT, ts)
                    : qor_df_kernel_dDFLinearSpline1D(task, 0, QOR_DF_METHOD_DEFAULT, ts);
  const int32_t dorder[2] = {1, 1};
  r->assign(static_cast<size_t>(nsite) * nder, 0.0);
  if (st == DfOk)
    st = qor_df_kernel_dDFInterpolate1D(task, QOR_DF_REQUEST_VALUES, QOR_DF_METHOD_DEFAULT, nsite, sites, sitehint,
                                        nder, dorder, nullptr, r->data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, ts);
  qor_df_kernel_DeleteTask(&task);
  return st;
}

int usage() {
  std::fputs(
      "usage: qor fit FILE.csv --kind linear|quadratic (--sites a,b,c | --sites-from A --to B --count N)\n"
      "               [--deriv 1]\n"
      "  The first column is x, the others are functions of x; a first line that is not numeric\n"
      "  names the columns. Prints CSV: x, the values, and with --deriv 1 the first derivatives.\n"
      "  Sites outside the data are extrapolated with the end pieces.\n",
      stderr);
  return 2;
}

}  // namespace

int qor_cmd_fit(int argc, char** argv) {
  const char* file = nullptr;
  std::string kind = "linear", site_list;
  double from = 0, to = 0;
  long long count = 0;
  bool have_from = false, have_to = false;
  int deriv = 0;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    auto value = [&](const char* name) -> const char* {
      if (a + 1 >= argc) {
        std::fprintf(stderr, "qor fit: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++a];
    };
    const char* v = nullptr;
    if (arg == "--kind") {
      if (!(v = value("--kind"))) return 2;
      kind = v;
    } else if (arg == "--sites") {
      if (!(v = value("--sites"))) return 2;
      site_list = v;
    } else if (arg == "--sites-from") {
      if (!(v = value("--sites-from")) || !parse_double(v, &from)) return usage();
      have_from = true;
    } else if (arg == "--to") {
      if (!(v = value("--to")) || !parse_double(v, &to)) return usage();
      have_to = true;
    } else if (arg == "--count") {
      if (!(v = value("--count"))) return 2;
      count = std::atoll(v);
    } else if (arg == "--deriv") {
      if (!(v = value("--deriv"))) return 2;
      deriv = std::atoi(v);
    } else if (arg == "-h" || arg == "--help") {
      usage();
      return 0;
    } else if (!file && arg.rfind("--", 0) != 0) {
      file = argv[a];
    } else {
      std::fprintf(stderr, "qor fit: unknown argument %s\n", arg.c_str());
      return usage();
    }
  }
  if (!file) return usage();
  if (kind != "linear" && kind != "quadratic") {
    std::fprintf(stderr, "qor fit: --kind must be linear or quadratic\n");
    return 2;
  }
  if (deriv != 0 && deriv != 1) {
    std::fprintf(stderr, "qor fit: --deriv takes 0 or 1\n");
    return 2;
  }
  std::vector<double> sites;
  int64_t sitehint = QOR_DF_HINT_NONE, nsite = 0;
  if (!site_list.empty()) {
    for (const std::string& s : split(site_list, ',')) {
      double v;
      if (!parse_double(s, &v)) {
        std::fprintf(stderr, "qor fit: bad site '%s'\n", s.c_str());
        return 2;
      }
      sites.push_back(v);
    }
    nsite = static_cast<int64_t>(sites.size());
  } else if (have_from && have_to && count >= 1) {
    sites = {from, to};
    nsite = count;
    sitehint = QOR_DF_SITES_UNIFORM;
  } else {
    std::fprintf(stderr, "qor fit: give --sites a,b,c or --sites-from A --to B --count N\n");
    return usage();
  }
  Table t;
  std::string err;
  if (!read_table(file, &t, &err)) {
    std::fprintf(stderr, "qor fit: %s: %s\n", file, err.c_str());
    return 1;
  }
  const int nder = 1 + deriv;
  const size_t nf = t.f.size();
  std::vector<std::vector<double>> res(nf);
  for (size_t j = 0; j < nf; ++j) {
    const int st = fit_one(t.x, t.f[j], kind == "quadratic", sites.data(), nsite, sitehint, nder, &res[j]);
    if (st != DfOk) {
      std::fprintf(stderr, "qor fit: the spline of column %s failed with status %d\n", t.names[j + 1].c_str(), st);
      return 1;
    }
  }
  std::printf("%s", t.names[0].c_str());
  for (size_t j = 0; j < nf; ++j) std::printf(",%s", t.names[j + 1].c_str());
  if (deriv)
    for (size_t j = 0; j < nf; ++j) std::printf(",d%s", t.names[j + 1].c_str());
  std::printf("\n");
  const double step = nsite > 1 && sitehint ? (to - from) / double(nsite - 1) : 0.0;
  for (int64_t k = 0; k < nsite; ++k) {
    const double s = sitehint ? (k == nsite - 1 && nsite > 1 ? to : from + double(k) * step) : sites[k];
    std::printf("%.17g", s);
    for (int d = 0; d < nder; ++d)
      for (size_t j = 0; j < nf; ++j) std::printf(",%.17g", res[j][static_cast<size_t>(k) * nder + d]);
    std::printf("\n");
  }
  return 0;
}

void qor_tour_fit() {
  std::printf("\n== data fitting: splines through sin(x) at 9 points on [0, pi] ==\n");
  const int nx = 9;
  std::vector<double> x(nx), y(nx);
  for (int i = 0; i < nx; ++i) {
    x[i] = M_PI * i / (nx - 1);
    y[i] = std::sin(x[i]);
  }
  const double sites[] = {0.1, 0.5, 1.0, 1.5707963267948966, 2.5, 3.0};
  const int64_t n = 6;
  std::vector<double> lin, quad;
  if (fit_one(x, y, false, sites, n, 0, 2, &lin) != DfOk || fit_one(x, y, true, sites, n, 0, 2, &quad) != DfOk) {
    std::printf("  (the spline library reported an error)\n");
    return;
  }
  std::printf("  %-8s %-11s %-11s %-11s %-11s %-11s\n", "x", "sin(x)", "linear", "quadratic", "cos(x)", "quad. slope");
  for (int64_t k = 0; k < n; ++k)
    std::printf("  %-8.4f %-11.6f %-11.6f %-11.6f %-11.6f %-11.6f\n", sites[k], std::sin(sites[k]), lin[2 * k],
                quad[2 * k], std::cos(sites[k]), quad[2 * k + 1]);
  std::printf("  try: qor fit data.csv --kind quadratic --sites-from 0 --to 1 --count 11 --deriv 1\n");
}

// qor fit: fit linear, quadratic or cubic splines to the columns of a CSV file, evaluate and
// integrate them, and draw them.
//
//   qor fit FILE.csv [--kind linear|quadratic|cubic] [--type natural|default|bessel|akima|hyman]
//           [--bc CONDITION] [--sites a,b,c | --sites-from A --to B --count N] [--deriv 1]
//           [--integrate A,B] [--plot out.svg]
//
// The first column is x (sorted by the tool; values must be distinct), every other column is a
// function of x. The output is CSV: x, then the value of every function at the site, then (with
// --deriv 1) every function's first derivative; --integrate adds each function's integral from A
// to B; --plot writes an SVG drawing of the data points and the fitted curves.
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

// The spline the tool builds: kind linear, quadratic or cubic; for cubic splines the type and the
// boundary condition (with its two values).
struct FitChoice {
  std::string kind = "linear";
  int64_t type = QOR_DF_TYPE_NATURAL;
  int64_t bcType = QOR_DF_BC_FREE_END;
  double bc[2] = {0, 0};
};

// One function's spline: its task and coefficients.
struct Fitted {
  DfTask1D* task = nullptr;
  std::vector<double> coeff;
  double mid = 0;  // the quadratic's first-cell midpoint value
  Fitted() = default;
  Fitted(const Fitted&) = delete;
  Fitted& operator=(const Fitted&) = delete;
  ~Fitted() {
    if (task) qor_df_kernel_DeleteTask(&task);
  }
};

// Builds function y's spline. Returns the library status.
int build(const std::vector<double>& x, const std::vector<double>& y, const FitChoice& choice, Fitted* f) {
  const int64_t nx = static_cast<int64_t>(x.size());
  int st = qor_df_kernel_dNewTask1D(&f->task, nx, x.data(), QOR_DF_HINT_NON_UNIFORM, 1, y.data(), QOR_DF_STORAGE_ROWS, 0);
  if (st != DfOk) return st;
  const ThreadingServices* ts = qor_threading_openmp();
  if (choice.kind == "cubic") {
    f->coeff.resize(4 * (nx - 1));
    st = qor_df_kernel_dEditPPSpline1D(f->task, QOR_DF_ORDER_CUBIC, choice.type, choice.bcType, choice.bc, QOR_DF_IC_NONE,
                                       nullptr, f->coeff.data(), QOR_DF_STORAGE_ROWS);
    if (st != DfOk) return st;
    switch (choice.type) {
      case QOR_DF_TYPE_DEFAULT: return qor_df_kernel_dDFDefaultCubicSpline1D(f->task, 0, QOR_DF_METHOD_DEFAULT, ts);
      case QOR_DF_TYPE_BESSEL: return qor_df_kernel_dDFBesselCubicSpline1D(f->task, 0, QOR_DF_METHOD_DEFAULT, ts);
      case QOR_DF_TYPE_AKIMA: return qor_df_kernel_dDFAkimaCubicSpline1D(f->task, 0, QOR_DF_METHOD_DEFAULT, ts);
      case QOR_DF_TYPE_HYMAN: return qor_df_kernel_dDFHymanCubicSpline1D(f->task, 0, QOR_DF_METHOD_DEFAULT, ts);
      default: return qor_df_kernel_dDFNaturalCubicSpline1D(f->task, 0, QOR_DF_METHOD_DEFAULT, ts);
    }
  }
  const bool quadratic = choice.kind == "quadratic";
  f->coeff.resize((quadratic ? 3 : 2) * (nx - 1));
  f->mid = first_midpoint(x, y);
  if (quadratic)
    st = qor_df_kernel_dEditPPSpline1D(f->task, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_MIDPOINT_VALUE,
                                       &f->mid, QOR_DF_IC_NONE, nullptr, f->coeff.data(), QOR_DF_STORAGE_ROWS);
  else
    st = qor_df_kernel_dEditPPSpline1D(f->task, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                       QOR_DF_IC_NONE, nullptr, f->coeff.data(), QOR_DF_STORAGE_ROWS);
  if (st != DfOk) return st;
  return quadratic ? qor_df_kernel_dDFQuadraticSpline1D(f->task, 0, QOR_DF_METHOD_DEFAULT, ts)
                   : qor_df_kernel_dDFLinearSpline1D(f->task, 0, QOR_DF_METHOD_DEFAULT, ts);
}

// Values (and first derivatives) at the sites into r[site * nder + d].
int evaluate(const Fitted& f, const double* sites, int64_t nsite, int64_t sitehint, int nder, std::vector<double>* r) {
  const int32_t dorder[2] = {1, 1};
  r->assign(static_cast<size_t>(nsite) * nder, 0.0);
  return qor_df_kernel_dDFInterpolate1D(f.task, QOR_DF_REQUEST_VALUES, QOR_DF_METHOD_DEFAULT, nsite, sites, sitehint,
                                        nder, dorder, nullptr, r->data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        qor_threading_openmp());
}

// Evaluates function y's spline at the sites. Returns the library status.
int fit_one(const std::vector<double>& x, const std::vector<double>& y, const FitChoice& choice, const double* sites,
            int64_t nsite, int64_t sitehint, int nder, std::vector<double>* r) {
  Fitted f;
  const int st = build(x, y, choice, &f);
  return st != DfOk ? st : evaluate(f, sites, nsite, sitehint, nder, r);
}

std::string xml_text(const std::string& s) {
  std::string o;
  for (char c : s) {
    if (c == '&') o += "&amp;";
    else if (c == '<') o += "&lt;";
    else if (c == '>') o += "&gt;";
    else if (c == '"') o += "&quot;";
    else o += c;
  }
  return o;
}

// Draws the data points and the fitted curves (sampled at 400 sites over the data's range) into
// an SVG file. curves[j] holds function j's values at the samples.
bool write_svg(const char* path, const Table& t, const std::vector<double>& samples,
               const std::vector<std::vector<double>>& curves, const std::string& title) {
  const double W = 720, H = 440, L = 60, R = 150, T = 30, B = 40;
  double ylo = 1e300, yhi = -1e300;
  for (const auto& f : t.f)
    for (double v : f) ylo = std::min(ylo, v), yhi = std::max(yhi, v);
  for (const auto& c : curves)
    for (double v : c)
      if (std::isfinite(v)) ylo = std::min(ylo, v), yhi = std::max(yhi, v);
  if (!(yhi > ylo)) ylo -= 1, yhi += 1;
  const double pad = 0.05 * (yhi - ylo);
  ylo -= pad;
  yhi += pad;
  const double xlo = samples.front(), xhi = samples.back();
  auto px = [&](double v) { return L + (v - xlo) / (xhi - xlo) * (W - L - R); };
  auto py = [&](double v) { return H - B - (v - ylo) / (yhi - ylo) * (H - T - B); };
  std::FILE* out = std::fopen(path, "w");
  if (!out) return false;
  static const char* colors[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2"};
  std::fprintf(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" font-family=\"sans-serif\" font-size=\"12\">\n", W, H);
  std::fprintf(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
  std::fprintf(out, "<text x=\"%g\" y=\"18\">%s</text>\n", L, xml_text(title).c_str());
  std::fprintf(out, "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"none\" stroke=\"#888\"/>\n", L, T,
               W - L - R, H - T - B);
  for (int k = 0; k <= 4; ++k) {  // axis labels
    const double xv = xlo + (xhi - xlo) * k / 4, yv = ylo + (yhi - ylo) * k / 4;
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">%.4g</text>\n", px(xv), H - B + 16, xv);
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%.4g</text>\n", L - 4, py(yv) + 4, yv);
  }
  for (size_t j = 0; j < curves.size(); ++j) {
    const char* col = colors[j % (sizeof(colors) / sizeof(colors[0]))];
    std::fprintf(out, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"", col);
    for (size_t k = 0; k < samples.size(); ++k)
      if (std::isfinite(curves[j][k])) std::fprintf(out, "%.2f,%.2f ", px(samples[k]), py(curves[j][k]));
    std::fprintf(out, "\"/>\n");
    for (size_t i = 0; i < t.x.size(); ++i)
      std::fprintf(out, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"3\" fill=\"%s\"/>\n", px(t.x[i]), py(t.f[j][i]), col);
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" fill=\"%s\">%s</text>\n", W - R + 10, T + 14 + 16.0 * double(j), col,
                 xml_text(t.names[j + 1]).c_str());
  }
  std::fprintf(out, "</svg>\n");
  return std::fclose(out) == 0;
}

int usage() {
  std::fputs(
      "usage: qor fit FILE.csv [--kind linear|quadratic|cubic] [--type natural|default|bessel|akima|hyman]\n"
      "               [--bc not-a-knot|free-end|periodic|none|1st1st:L,R|1st2nd:L,R|2nd1st:L,R|2nd2nd:L,R]\n"
      "               [--sites a,b,c | --sites-from A --to B --count N] [--deriv 1]\n"
      "               [--integrate A,B] [--plot out.svg]\n"
      "  The first column is x, the others are functions of x; a first line that is not numeric\n"
      "  names the columns. Prints CSV: x, the values, and with --deriv 1 the first derivatives;\n"
      "  --integrate prints each function's integral from A to B. Sites and limits outside the data\n"
      "  use the end pieces, extended. --plot draws the data and the fitted curves.\n"
      "  Cubic splines: type natural (default), with --bc free-end (default) or any other\n"
      "  condition; 1st/2nd name the derivative given at the left and right end, L and R its values;\n"
      "  periodic needs the first and last value of every function to be equal; none is Akima's.\n",
      stderr);
  return 2;
}

bool parse_bc(const std::string& v, FitChoice* choice) {
  const std::string name = v.substr(0, v.find(':'));
  static const struct {
    const char* name;
    int64_t code;
    bool values;
  } kinds[] = {{"not-a-knot", QOR_DF_BC_NOT_A_KNOT, false},
               {"free-end", QOR_DF_BC_FREE_END, false},
               {"periodic", QOR_DF_BC_PERIODIC, false},
               {"none", QOR_DF_BC_NONE, false},
               {"1st1st", QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST, true},
               {"1st2nd", QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_2ND, true},
               {"2nd1st", QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_1ST, true},
               {"2nd2nd", QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_2ND, true}};
  for (const auto& k : kinds) {
    if (name != k.name) continue;
    choice->bcType = k.code;
    if (!k.values) return name == v;
    const std::vector<std::string> vals = split(v.substr(name.size() + (name.size() < v.size() ? 1 : 0)), ',');
    return vals.size() == 2 && parse_double(vals[0], &choice->bc[0]) && parse_double(vals[1], &choice->bc[1]);
  }
  return false;
}

}  // namespace

int qor_cmd_fit(int argc, char** argv) {
  const char* file = nullptr;
  const char* plot = nullptr;
  FitChoice choice;
  std::string site_list, type_name = "natural", bc_text = "free-end", integrate_text;
  double from = 0, to = 0;
  long long count = 0;
  bool have_from = false, have_to = false, have_type = false, have_bc = false;
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
      choice.kind = v;
    } else if (arg == "--type") {
      if (!(v = value("--type"))) return 2;
      type_name = v;
      have_type = true;
    } else if (arg == "--bc") {
      if (!(v = value("--bc"))) return 2;
      bc_text = v;
      have_bc = true;
    } else if (arg == "--integrate") {
      if (!(v = value("--integrate"))) return 2;
      integrate_text = v;
    } else if (arg == "--plot") {
      if (!(plot = value("--plot"))) return 2;
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
  if (choice.kind != "linear" && choice.kind != "quadratic" && choice.kind != "cubic") {
    std::fprintf(stderr, "qor fit: --kind must be linear, quadratic or cubic\n");
    return 2;
  }
  if ((have_type || have_bc) && choice.kind != "cubic") {
    std::fprintf(stderr, "qor fit: --type and --bc belong to --kind cubic\n");
    return 2;
  }
  static const struct {
    const char* name;
    int64_t type;
  } types[] = {{"natural", QOR_DF_TYPE_NATURAL}, {"default", QOR_DF_TYPE_DEFAULT}, {"bessel", QOR_DF_TYPE_BESSEL},
               {"akima", QOR_DF_TYPE_AKIMA},     {"hyman", QOR_DF_TYPE_HYMAN}};
  bool known_type = false;
  for (const auto& ty : types)
    if (type_name == ty.name) choice.type = ty.type, known_type = true;
  if (!known_type) {
    std::fprintf(stderr, "qor fit: --type must be natural, default, bessel, akima or hyman\n");
    return 2;
  }
  if (!have_bc && choice.type == QOR_DF_TYPE_AKIMA) bc_text = "none";
  if (!parse_bc(bc_text, &choice)) {
    std::fprintf(stderr, "qor fit: bad --bc '%s'\n", bc_text.c_str());
    return usage();
  }
  if (deriv != 0 && deriv != 1) {
    std::fprintf(stderr, "qor fit: --deriv takes 0 or 1\n");
    return 2;
  }
  double lim[2] = {0, 0};
  if (!integrate_text.empty()) {
    const std::vector<std::string> v = split(integrate_text, ',');
    if (v.size() != 2 || !parse_double(v[0], &lim[0]) || !parse_double(v[1], &lim[1])) {
      std::fprintf(stderr, "qor fit: --integrate takes A,B\n");
      return 2;
    }
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
  } else if (integrate_text.empty() && !plot) {
    std::fprintf(stderr, "qor fit: give --sites a,b,c or --sites-from A --to B --count N (or --integrate, --plot)\n");
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
  std::vector<std::vector<double>> res(nf), curves(nf);
  std::vector<double> integrals(nf), samples(400);
  for (size_t k = 0; k < samples.size(); ++k)
    samples[k] = k + 1 == samples.size() ? t.x.back()
                                         : t.x.front() + (t.x.back() - t.x.front()) * double(k) / double(samples.size() - 1);
  for (size_t j = 0; j < nf; ++j) {
    Fitted f;
    int st = build(t.x, t.f[j], choice, &f);
    if (st == DfOk && nsite > 0) st = evaluate(f, sites.data(), nsite, sitehint, nder, &res[j]);
    if (st == DfOk && plot) st = evaluate(f, samples.data(), int64_t(samples.size()), 0, 1, &curves[j]);
    if (st == DfOk && !integrate_text.empty())
      st = qor_df_kernel_dDFIntegrate1D(f.task, 0, 1, &lim[0], 0, &lim[1], 0, nullptr, nullptr, &integrals[j], 0,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        qor_threading_openmp());
    if (st != DfOk) {
      std::fprintf(stderr, "qor fit: the spline of column %s failed with status %d\n", t.names[j + 1].c_str(), st);
      return 1;
    }
  }
  if (nsite > 0) {
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
  }
  if (!integrate_text.empty()) {
    std::printf("from,to");
    for (size_t j = 0; j < nf; ++j) std::printf(",integral of %s", t.names[j + 1].c_str());
    std::printf("\n%.17g,%.17g", lim[0], lim[1]);
    for (size_t j = 0; j < nf; ++j) std::printf(",%.17g", integrals[j]);
    std::printf("\n");
  }
  if (plot) {
    const std::string title = choice.kind == "cubic" ? "cubic spline (" + type_name + ", " + bc_text + ")" : choice.kind + " spline";
    if (!write_svg(plot, t, samples, curves, title)) {
      std::fprintf(stderr, "qor fit: cannot write %s\n", plot);
      return 1;
    }
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
  std::vector<double> lin, quad, cub;
  FitChoice linear, quadratic, cubic;
  quadratic.kind = "quadratic";
  cubic.kind = "cubic";
  cubic.bcType = QOR_DF_BC_NOT_A_KNOT;
  if (fit_one(x, y, linear, sites, n, 0, 2, &lin) != DfOk || fit_one(x, y, quadratic, sites, n, 0, 2, &quad) != DfOk ||
      fit_one(x, y, cubic, sites, n, 0, 2, &cub) != DfOk) {
    std::printf("  (the spline library reported an error)\n");
    return;
  }
  std::printf("  %-8s %-11s %-11s %-11s %-11s %-11s %-11s\n", "x", "sin(x)", "linear", "quadratic", "cubic", "cos(x)",
              "cub. slope");
  for (int64_t k = 0; k < n; ++k)
    std::printf("  %-8.4f %-11.6f %-11.6f %-11.6f %-11.6f %-11.6f %-11.6f\n", sites[k], std::sin(sites[k]), lin[2 * k],
                quad[2 * k], cub[2 * k], std::cos(sites[k]), cub[2 * k + 1]);
  std::printf("  try: qor fit data.csv --kind cubic --type akima --sites-from 0 --to 1 --count 11 --deriv 1\n"
              "       qor fit data.csv --kind cubic --bc not-a-knot --integrate 0,1 --plot fit.svg\n");
}

// Tridiagonal solvers without pivoting (the Thomas algorithm), reference calling style: every
// argument by address, column-major right-hand sides, LAPACK-style info.
//
//   ?dttrfb_4dfl(n, dl, d, du, info)              A = L U in place
//   ?dttrsb_4dfl(trans, n, nrhs, dl, d, du, b, ldb, info)   solve A X = B ("N") or A^T X = B ("T")
//   ?dtsvb_4dfl(n, nrhs, dl, d, du, b, ldb, info)  both in one call
//
// A has sub-diagonal dl[0..n-2], diagonal d[0..n-1] and super-diagonal du[0..n-2]. The
// factorization leaves L's multipliers in dl (L unit lower bidiagonal), U's diagonal in d and
// U's super-diagonal in du (unchanged). info = i > 0: the i-th pivot U(i,i) (1-based) is
// exactly zero and nothing was solved; info = -k: argument k is not valid.
//
// Solves walk the right-hand sides in blocks of four columns: the recurrences along a column
// are serial, so four independent columns keep the arithmetic units busy while each column is
// still read with stride 1.
#include <cstdint>

#include "qor/service.h"

namespace qor::serv {
namespace {

template <class T>
qor_int factor(qor_int n, T* dl, T* d, const T* du) {
  for (qor_int i = 0; i + 1 < n; ++i) {
    if (d[i] == T(0)) return i + 1;
    const T l = dl[i] / d[i];
    dl[i] = l;
    d[i + 1] -= l * du[i];
  }
  if (n > 0 && d[n - 1] == T(0)) return n;
  return 0;
}

// Solves A X = B with the factors, for the columns [first, first + W) of b.
template <class T, int W>
void solve_n(qor_int n, const T* dl, const T* d, const T* du, T* b, int64_t ldb) {
  T* c[W];
  for (int w = 0; w < W; ++w) c[w] = b + w * ldb;
  // L y = b
  for (qor_int i = 1; i < n; ++i) {
    const T l = dl[i - 1];
    for (int w = 0; w < W; ++w) c[w][i] -= l * c[w][i - 1];
  }
  // U x = y
  {
    const T p = d[n - 1];
    for (int w = 0; w < W; ++w) c[w][n - 1] /= p;
  }
  for (qor_int i = n - 2; i >= 0; --i) {
    const T u = du[i], p = d[i];
    for (int w = 0; w < W; ++w) c[w][i] = (c[w][i] - u * c[w][i + 1]) / p;
  }
}

// Solves A^T X = B = U^T L^T X with the factors.
template <class T, int W>
void solve_t(qor_int n, const T* dl, const T* d, const T* du, T* b, int64_t ldb) {
  T* c[W];
  for (int w = 0; w < W; ++w) c[w] = b + w * ldb;
  // U^T y = b
  {
    const T p = d[0];
    for (int w = 0; w < W; ++w) c[w][0] /= p;
  }
  for (qor_int i = 1; i < n; ++i) {
    const T u = du[i - 1], p = d[i];
    for (int w = 0; w < W; ++w) c[w][i] = (c[w][i] - u * c[w][i - 1]) / p;
  }
  // L^T x = y
  for (qor_int i = n - 2; i >= 0; --i) {
    const T l = dl[i];
    for (int w = 0; w < W; ++w) c[w][i] -= l * c[w][i + 1];
  }
}

template <class T>
void solve(bool trans, qor_int n, qor_int nrhs, const T* dl, const T* d, const T* du, T* b,
           int64_t ldb) {
  if (n == 0 || nrhs == 0) return;
  constexpr int W = 4;
  qor_int j = 0;
  for (; j + W <= nrhs; j += W) {
    if (trans)
      solve_t<T, W>(n, dl, d, du, b + j * ldb, ldb);
    else
      solve_n<T, W>(n, dl, d, du, b + j * ldb, ldb);
  }
  for (; j < nrhs; ++j) {
    if (trans)
      solve_t<T, 1>(n, dl, d, du, b + j * ldb, ldb);
    else
      solve_n<T, 1>(n, dl, d, du, b + j * ldb, ldb);
  }
}

inline bool trans_code(const char* t, bool* trans) {
  if (!t) return false;
  switch (*t) {
    case 'N': case 'n': *trans = false; return true;
    case 'T': case 't': case 'C': case 'c': *trans = true; return true;
    default: return false;
  }
}

template <class T>
void dttrf(const qor_int* n, T* dl, T* d, T* du, qor_int* info) {
  if (!info) return;
  if (!n || *n < 0) { *info = -1; return; }
  if (*n > 1 && !dl) { *info = -2; return; }
  if (*n > 0 && !d) { *info = -3; return; }
  if (*n > 1 && !du) { *info = -4; return; }
  *info = factor(*n, dl, d, du);
}

template <class T>
void dttrs(const char* trans, const qor_int* n, const qor_int* nrhs, const T* dl, const T* d,
           const T* du, T* b, const qor_int* ldb, qor_int* info) {
  if (!info) return;
  bool t = false;
  if (!trans_code(trans, &t)) { *info = -1; return; }
  if (!n || *n < 0) { *info = -2; return; }
  if (!nrhs || *nrhs < 0) { *info = -3; return; }
  const qor_int nn = *n, nr = *nrhs;
  if (nn > 1 && !dl) { *info = -4; return; }
  if (nn > 0 && !d) { *info = -5; return; }
  if (nn > 1 && !du) { *info = -6; return; }
  if (nn > 0 && nr > 0 && !b) { *info = -7; return; }
  if (!ldb || *ldb < (nn > 1 ? nn : 1)) { *info = -8; return; }
  *info = 0;
  solve(t, nn, nr, dl, d, du, b, *ldb);
}

template <class T>
void dtsv(const qor_int* n, const qor_int* nrhs, T* dl, T* d, T* du, T* b, const qor_int* ldb,
          qor_int* info) {
  if (!info) return;
  if (!n || *n < 0) { *info = -1; return; }
  if (!nrhs || *nrhs < 0) { *info = -2; return; }
  const qor_int nn = *n, nr = *nrhs;
  if (nn > 1 && !dl) { *info = -3; return; }
  if (nn > 0 && !d) { *info = -4; return; }
  if (nn > 1 && !du) { *info = -5; return; }
  if (nn > 0 && nr > 0 && !b) { *info = -6; return; }
  if (!ldb || *ldb < (nn > 1 ? nn : 1)) { *info = -7; return; }
  *info = factor(nn, dl, d, du);
  if (*info == 0) solve(false, nn, nr, dl, d, du, b, *ldb);
}

}  // namespace
}  // namespace qor::serv

#define QOR_TRIDIAGONAL(T, p)                                                                  \
  extern "C" QOR_API void p##dttrfb_4dfl(const qor_int* n, T* dl, T* d, T* du, qor_int* info) { \
    qor::serv::dttrf<T>(n, dl, d, du, info);                                                   \
  }                                                                                            \
  extern "C" QOR_API void p##dttrsb_4dfl(const char* trans, const qor_int* n,                  \
      const qor_int* nrhs, const T* dl, const T* d, const T* du, T* b, const qor_int* ldb,     \
      qor_int* info) {                                                                         \
    qor::serv::dttrs<T>(trans, n, nrhs, dl, d, du, b, ldb, info);                              \
  }                                                                                            \
  extern "C" QOR_API void p##dtsvb_4dfl(const qor_int* n, const qor_int* nrhs, T* dl, T* d,    \
      T* du, T* b, const qor_int* ldb, qor_int* info) {                                        \
    qor::serv::dtsv<T>(n, nrhs, dl, d, du, b, ldb, info);                                      \
  }

QOR_TRIDIAGONAL(double, d)
QOR_TRIDIAGONAL(float, s)
#undef QOR_TRIDIAGONAL

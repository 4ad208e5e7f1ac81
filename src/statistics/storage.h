// Storage forms of the statistics methods' arrays: the observation layout (rows or columns) and
// the full and packed forms of the p x p symmetric outputs (covariance, correlation,
// cross-product, and the pooled, group, robust, partial and parametrized matrices).
//
// A method accumulates a symmetric matrix over its q selected variables as an upper triangle,
// column-major with leading dimension ldc (entry (a, b), a <= b, at C[a + b * ldc]); sel[a] is the
// variable number (0 .. p-1) of selected variable a, in increasing order. The writers place
// each entry at its variable pair's position in the output form and pass over the positions of
// unselected variables.
#pragma once

#include <cstdint>

#include "statistics/task.h"

namespace qor::ss {

// ---- observation-style storage (observations, order statistics, sorted observations) ---------

// A storage code tested by its bits: rows when HOX_SS_STORAGE_ROWS is set, else columns when
// HOX_SS_STORAGE_COLUMNS is set; false (HOX_SS_ERR_BAD_STORAGE) for any other code.
inline bool observ_storage_by_bits(int64_t code, bool* rows) {
  if (code & HOX_SS_STORAGE_ROWS) *rows = true;
  else if (code & HOX_SS_STORAGE_COLUMNS) *rows = false;
  else return false;
  return true;
}

// A storage code compared as a whole: only HOX_SS_STORAGE_ROWS and HOX_SS_STORAGE_COLUMNS.
inline bool observ_storage_exact(int64_t code) {
  return code == HOX_SS_STORAGE_ROWS || code == HOX_SS_STORAGE_COLUMNS;
}

// ---- matrix storage ---------------------------------------------------------------------------

// full: all p^2 entries; packed1: row i holds columns 0..i; packed2: row i holds columns i..p-1.
enum class Mat { full, packed1, packed2 };

// A matrix storage code behind a task address, tested by its bits (packed 2 first); a null
// address reads as full.
inline Mat decode_matrix(const HoxSSTask* t, const void* addr) {
  if (!addr) return Mat::full;
  const int64_t s = read_int(t, addr);
  if (s & HOX_SS_MATRIX_PACKED_2) return Mat::packed2;
  if (s & HOX_SS_MATRIX_PACKED_1) return Mat::packed1;
  return Mat::full;
}

// Position of entry (i, j), i <= j, of a p x p symmetric matrix (full storage: row i, column j).
inline int64_t mat_pos(Mat st, int64_t p, int64_t i, int64_t j) {
  switch (st) {
    case Mat::packed1: return j * (j + 1) / 2 + i;              // row j, columns 0..j
    case Mat::packed2: return i * p - i * (i - 1) / 2 + (j - i);  // row i, columns i..p-1
    default: return i * p + j;
  }
}

// Writes scale * C into the output in its storage form (full storage: both triangles).
template <class T>
void write_matrix(T* out, Mat st, int64_t p, const int32_t* sel, int64_t q, const double* C,
                  int64_t ldc, double scale) {
  for (int64_t b = 0; b < q; ++b)
    for (int64_t a = 0; a <= b; ++a) {
      const T v = static_cast<T>(C[a + b * ldc] * scale);
      const int64_t i = sel[a], j = sel[b];
      out[mat_pos(st, p, i, j)] = v;
      if (st == Mat::full) out[j * p + i] = v;
    }
}

// Reads the selected variables' upper triangle of a matrix in its storage form, times scale,
// into C (leading dimension q).
template <class T>
void read_matrix(const T* in, Mat st, int64_t p, const int32_t* sel, int64_t q, double* C,
                 double scale) {
  for (int64_t b = 0; b < q; ++b)
    for (int64_t a = 0; a <= b; ++a) C[a + b * q] = in[mat_pos(st, p, sel[a], sel[b])] * scale;
}

}  // namespace qor::ss

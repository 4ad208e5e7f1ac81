// Pieces shared by the generators that make normal variates: the Box-Muller transform of a
// block of uniform pairs, the 16-byte chunk that keeps one pair between calls (kind 2 for the
// Gaussian pair method, kind 7 for Gamma's Marsaglia-Tsang candidates), and the Gaussian
// generator itself for Lognormal and GaussianMV.
#pragma once

#include <cstdint>

#include "random/distributions/frame.h"

namespace qor::rng::dist {

// Chunk kinds of the saved pairs.
constexpr int32_t kGaussianPairChunk = 2;
constexpr int32_t kGammaPairChunk = 7;

// The stream's saved pair (u1, u2) of chunk `kind`, attached on first use with both values
// -1.0 (nothing saved). Null with *status = HOX_ERR_NO_MEMORY when it cannot be made.
double* pair_chunk(HoxStream stream, int32_t kind, int32_t* status);

// Box-Muller on k pairs: u1 becomes sqrt(-2 ln u1), s and c receive
// sqrt(-2 ln u1) sin(2 pi u2) and sqrt(-2 ln u1) cos(2 pi u2); u2 becomes 2 pi u2. Kernels run
// on the whole block; run inside a frame whose callback handles ln 0.
template <class T>
inline void box_muller(int32_t k, T* u1, T* u2, T* s, T* c) {
  const T two_pi = sizeof(T) == sizeof(double) ? T(6.283185307179586) : T(6.2831855f);
  for (int32_t i = 0; i < k; ++i) u2[i] *= two_pi;
  SinCos(k, u2, s, c);
  Ln(k, u1);
  for (int32_t i = 0; i < k; ++i) u1[i] = T(-2) * u1[i];
  Sqrt(k, u1);
  for (int32_t i = 0; i < k; ++i) {
    s[i] *= u1[i];
    c[i] *= u1[i];
  }
}

// The Gaussian generator (methods 0, 1, 2; others give HOX_ERR_BAD_ARGUMENT, nothing drawn).
int32_t gaussian(int32_t method, HoxStream stream, int32_t n, double* r, double a, double sigma);
int32_t gaussian(int32_t method, HoxStream stream, int32_t n, float* r, float a, float sigma);

}  // namespace qor::rng::dist

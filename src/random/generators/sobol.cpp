// Sobol's quasi-random sequence (Bratley and Fox's construction) in up to 40 dimensions with the
// built-in tables, any number with user tables. Generation, leapfrog, skip-ahead, the period
// limit and the user-table chunks are shared with Niederreiter's generator (qrng.h).
//
// Direction numbers. Dimension 1 is van der Corput's sequence: v[k] = 2^(32-k). Dimension
// j >= 2 has a primitive polynomial x^s + a_1 x^(s-1) + ... + a_(s-1) x + 1 (uSobolIrredPoly,
// bit i the coefficient of x^i) and initial odd integers m_k < 2^k, k = 1 ... s (uSobolMInit);
// then m_k = 2 a_1 m_(k-1) ^ 4 a_2 m_(k-2) ^ ... ^ 2^s m_(k-s) ^ m_(k-s) and v[k] = m_k 2^(32-k),
// k = 1 ... 32.
//
// Seed words (n words at params):
//   n < 1                      d = 1
//   otherwise, no user form    d = params[0] if 1 <= d <= 40, else 1 (built-in tables)
//   n >= 4, params[1] = 1, params[2] = the form, params[0] = d (1 <= d < 2^24):
//     1   params[3 ... d+1]: the polynomials of dimensions 2 ... d (d <= 40; d + 2 <= n); the
//         initial integers are the built-in ones of the same dimension, 1 where the table has
//         none (k above 8 or above the built-in degree).
//     2   params[3] = L (1 ... 32), then for dimensions 2 ... d in turn L direction numbers
//         v[1] ... v[L] as 32-bit integers (v / 2^32 is the binary fraction); v[k] = 0 for
//         k > L, so only the first 2^L points are distinct; (d - 1) L + 4 <= n.
//     3   params[3 ... d+1]: the polynomials of dimensions 2 ... d; params[d+2] = D (1 ... 32);
//         then for dimensions 2 ... d in turn D initial integers m_1 ... m_D, of which the
//         first s (s the polynomial's degree, at most D) are used;
//         (d - 1)(D + 1) + 4 <= n.
//     11  as 3 but for dimensions 1 ... d: params[3 ... d+2] the polynomials, params[d+3] = D,
//         then d rows of D initial integers; (D + 1) d + 4 <= n.
//     4   params[3 ...]: for dimensions 1 ... d in turn the 32 direction numbers v[1] ... v[32]
//         (32-bit integers as in form 2); 32 d + 3 <= n.
//   Polynomials must be odd (constant term 1) and initial integers m_k odd and below 2^k; the
//   polynomial 1 (degree 0) gives van der Corput's sequence. A form whose length condition or
//   content check fails, or another form number, falls back to the built-in tables.
#include "random/generators/qrng.h"

extern "C" QOR_API const uint32_t uSobolIrredPoly[39] = {
    3,   7,   11,  13,  19,  25,  37,  59,  47,  61,  55,  41,  67,  97,  91,  109, 103, 115, 131, 193,
    137, 145, 143, 241, 157, 185, 167, 229, 171, 213, 191, 253, 203, 211, 239, 247, 285, 369, 299};
extern "C" QOR_API const int32_t iSobolIrredPolyDeg[39] = {1, 2, 3, 3, 4, 4, 5, 5, 5, 5, 5, 5, 6, 6,
                                                           6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
                                                           7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8};
extern "C" QOR_API const uint32_t uSobolMInit[39][8] = {
    {1, 0, 0, 0, 0, 0, 0, 0},     {1, 1, 0, 0, 0, 0, 0, 0},      {1, 3, 7, 0, 0, 0, 0, 0},
    {1, 1, 5, 0, 0, 0, 0, 0},     {1, 3, 1, 1, 0, 0, 0, 0},      {1, 1, 3, 7, 0, 0, 0, 0},
    {1, 3, 3, 9, 9, 0, 0, 0},     {1, 3, 7, 13, 3, 0, 0, 0},     {1, 1, 5, 11, 27, 0, 0, 0},
    {1, 3, 5, 1, 15, 0, 0, 0},    {1, 1, 7, 3, 29, 0, 0, 0},     {1, 3, 7, 7, 21, 0, 0, 0},
    {1, 1, 1, 9, 23, 37, 0, 0},   {1, 3, 3, 5, 19, 33, 0, 0},    {1, 1, 3, 13, 11, 7, 0, 0},
    {1, 1, 7, 13, 25, 5, 0, 0},   {1, 3, 5, 11, 7, 11, 0, 0},    {1, 1, 1, 3, 13, 39, 0, 0},
    {1, 3, 1, 15, 17, 63, 13, 0}, {1, 1, 5, 5, 1, 27, 33, 0},    {1, 3, 3, 3, 25, 17, 115, 0},
    {1, 1, 3, 15, 29, 15, 41, 0}, {1, 3, 1, 7, 3, 23, 79, 0},    {1, 3, 7, 9, 31, 29, 17, 0},
    {1, 1, 5, 13, 11, 3, 29, 0},  {1, 3, 1, 9, 5, 21, 119, 0},   {1, 1, 3, 1, 23, 13, 75, 0},
    {1, 3, 3, 11, 27, 31, 73, 0}, {1, 1, 7, 7, 19, 25, 105, 0},  {1, 3, 5, 5, 21, 9, 7, 0},
    {1, 1, 1, 15, 5, 49, 59, 0},  {1, 1, 1, 1, 1, 33, 65, 0},    {1, 3, 5, 15, 17, 19, 21, 0},
    {1, 1, 7, 11, 13, 29, 3, 0},  {1, 3, 7, 5, 7, 11, 113, 0},   {1, 1, 5, 3, 15, 19, 61, 0},
    {1, 3, 1, 1, 9, 27, 89, 7},   {1, 1, 3, 7, 31, 15, 45, 23},  {1, 3, 3, 9, 9, 25, 107, 39}};

namespace qor::rng {
namespace {

using qrng::degree;
using qrng::fits;
constexpr uint32_t kMaxDim = 40;
using State = qrng::State<kMaxDim, 11712 - 16>;
static_assert(sizeof(StreamHeader) + sizeof(State) == 11712);

// The 32 direction numbers of one dimension (v[b * stride], b = 0 ... 31) from its polynomial
// and its initial integers m_1 ... m_s (init(k) gives m_k).
template <class Init>
void directions(uint32_t poly, Init init, uint32_t* v, size_t stride) {
  const int s = degree(poly);
  uint64_t m[qrng::kBits + 1];
  for (int k = 1; k <= qrng::kBits; ++k) {
    uint64_t t;
    if (k <= s) {
      t = init(k);
    } else if (s == 0) {
      t = 1;
    } else {
      t = m[k - s] ^ (m[k - s] << s);
      for (int j = 1; j < s; ++j)
        if (poly >> (s - j) & 1) t ^= m[k - j] << j;
    }
    m[k] = t;
    v[size_t(k - 1) * stride] = static_cast<uint32_t>(t << (qrng::kBits - k));
  }
}

constexpr auto kOnes = [](int) { return uint32_t(1); };  // van der Corput: every m_k = 1

uint32_t builtin_m(uint32_t dim_index, int k) {  // dim_index >= 1 (dimension 2 and up)
  const uint32_t m = k <= 8 ? uSobolMInit[dim_index - 1][k - 1] : 0;
  return m ? m : 1;
}

bool poly_ok(uint32_t p) { return p & 1; }
bool m_ok(uint32_t m, int k) { return (m & 1) && (k >= 32 || m < (uint32_t(1) << k)); }

// Polynomials p[0 .. count) with their initial integers rows[i * D + k - 1], each row checked.
bool rows_ok(const uint32_t* p, uint32_t count, const uint32_t* rows, uint32_t D) {
  for (uint32_t i = 0; i < count; ++i) {
    if (!poly_ok(p[i]) || degree(p[i]) > int(D)) return false;
    for (int k = 1; k <= degree(p[i]); ++k)
      if (!m_ok(rows[size_t(i) * D + k - 1], k)) return false;
  }
  return true;
}

int32_t seed(HoxStream stream, State* st, int32_t n, const uint32_t* params) {
  uint32_t form;
  if (qrng::user_form(n, params, &form)) {
    const uint32_t d = params[0];
    const uint64_t d64 = d;
    const uint32_t* p = params + 3;
    switch (form) {
      case 1: {
        if (d > kMaxDim || !fits(d64 + 2, n)) break;
        bool ok = true;
        for (uint32_t j = 1; j < d; ++j) ok = ok && poly_ok(p[j - 1]);
        if (!ok) break;
        return qrng::install(stream, st, d, [&](uint32_t* v, size_t stride) {
          directions(1, kOnes, v, stride);
          for (uint32_t j = 1; j < d; ++j)
            directions(p[j - 1], [&](int k) { return builtin_m(j, k); }, v + j, stride);
        });
      }
      case 2: {
        const uint32_t L = params[3];
        if (L < 1 || L > 32 || !fits((d64 - 1) * L + 4, n)) break;
        return qrng::install(stream, st, d, [&](uint32_t* v, size_t stride) {
          directions(1, kOnes, v, stride);
          for (uint32_t j = 1; j < d; ++j)
            for (uint32_t b = 0; b < 32; ++b) v[b * stride + j] = b < L ? params[4 + size_t(j - 1) * L + b] : 0;
        });
      }
      case 3:
      case 11: {
        const uint32_t first = form == 3 ? 1 : 0;  // first dimension with a user row
        const uint32_t rows = d - first;
        if (!fits(d64 + 4 - first, n)) break;
        const uint32_t D = params[d + 3 - first];
        if (D < 1 || D > 32 || !fits(rows * (uint64_t(D) + 1) + 4, n)) break;
        const uint32_t* m = params + d + 4 - first;
        if (!rows_ok(p, rows, m, D)) break;
        return qrng::install(stream, st, d, [&](uint32_t* v, size_t stride) {
          if (first) directions(1, kOnes, v, stride);
          for (uint32_t i = 0; i < rows; ++i)
            directions(p[i], [&](int k) { return m[size_t(i) * D + k - 1]; }, v + first + i, stride);
        });
      }
      case 4: {
        if (!fits(32 * d64 + 3, n)) break;
        return qrng::install(stream, st, d, [&](uint32_t* v, size_t stride) {
          for (uint32_t j = 0; j < d; ++j)
            for (uint32_t b = 0; b < 32; ++b) v[b * stride + j] = p[size_t(j) * 32 + b];
        });
      }
      default:
        break;
    }
  }
  const uint32_t d = qrng::builtin_dim(n, params, kMaxDim);
  return qrng::install(stream, st, d, [&](uint32_t* v, size_t stride) {
    directions(1, kOnes, v, stride);
    for (uint32_t j = 1; j < d; ++j)
      directions(uSobolIrredPoly[j - 1], [&](int k) { return uSobolMInit[j - 1][k - 1]; }, v + j, stride);
  });
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

QOR_QRNG_EXPORTS(Sobol, State, seed)

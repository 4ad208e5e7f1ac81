// The kernel frame: what every element-wise vector-math kernel does around its math.
//
//   1. floating-point environment: x87 exceptions masked, MXCSR control set from the thread's
//      mode (or by the family, e.g. a rounding direction), both restored at exit with the
//      exception flags raised meanwhile kept;
//   2. blocks of two SSE registers (8 floats / 4 doubles): the family's screen flags lanes
//      the packed formula cannot handle; clean blocks take the packed formula;
//   3. flagged blocks, by the family's scheme:
//        Scheme::Recompute  the whole block is computed again element by element by the
//                           family's element routine (which handles every value);
//        Scheme::Patch      packed results are stored, then each flagged lane is recomputed by
//                           the element routine (which need only handle rare values, and finds
//                           the lane's packed result in *r: packed_pair_flagged's where the
//                           family gives one, so a lane that formula computed needs only its
//                           status);
//   4. the tail: element by element (Recompute), or a padded packed block patched like a
//      flagged block (Patch), so results never depend on where a block boundary falls;
//   5. every element whose routine returns a non-zero status is reported through the error
//      routine, in ascending index order, after its result is stored, so that a result an
//      error callback replaces is the one kept.
//
// A family is a struct (in an anonymous namespace of its kernel's source file, or included by
// one code-path file only, so that its instantiation stays private to that code path: the same
// template compiled with SSE2 in one file and SSSE3 in another would otherwise be one symbol,
// and the linker would keep either) deriving from FamilyBase<T> and providing:
//
//   static constexpr Scheme kScheme = Scheme::Recompute;
//   static V packed(V x);                  // or packed(V x, V y) with kIn = 2,
//                                          // or void packed(V x, V& r1, V& r2) with kOut = 2
//   static int screen(V x);                // lane bitmask (mask() of a compare), or screen(x, y)
//   static int element(const T* x, T* r);  // or (x, y, r) / (x, r1, r2); returns a Status
//
// and optionally kIn, kOut (default 1), kAlignPeel (peel elements until the input is 16-byte
// aligned), kInlineBlocks (the screen and packed formula inline in the block loop, flagged
// blocks in an out-of-line routine: the loop keeps constants in registers across blocks, which
// pays for some families and costs others, so each family opts in after measuring), and
// mxcsr_control(mode, caller_mxcsr) to choose its own MXCSR control bits.
// A one-argument, one-result family may also work on a whole block of two registers at once
// (so that, e.g., table indices of both registers are extracted together):
//
//   static int screen_pair(V x0, V x1);                  // screen(x0) | screen(x1) << W
//   static void packed_pair(V x0, V x1, V& r0, V& r1);   // packed(x0), packed(x1)
//
// A Patch family with packed_pair may also give, for the blocks its screen flags, a slower packed
// formula that handles some of the flagged lanes itself (e.g. the far tails of a function whose
// fast formula covers only the common arguments), so that the element routine sees only the
// lanes left:
//
//   static int packed_pair_flagged(V x0, V x1, V& r0, V& r1);  // results of the whole block;
//                                                              // returns the lanes (bitmask)
//                                                              // left to the element routine
//
// Its results on the lanes the screen passes must be packed_pair's, bit for bit.
//
// A family whose packed formula learns midway which lanes it cannot handle (Pow: only y log2 x
// tells whether the result leaves the normal range) may give, instead of or beside screen(),
// the screen and the formula in one:
//
//   static int packed_checked(V x, V y, V& r);  // or packed_checked(V x, V& r) with kIn = 1:
//                                               // r = the packed results, returns the lane
//                                               // bitmask of lanes whose r is not valid
//
// The flagged lanes then take the scheme's path as if screen() had flagged them.
//
// Shapes beyond one or two vectors:
//   VX  (n, a, scalar b, r): a two-argument family run with b the same in every lane; the error
//       record's second argument reads the scalar (arg2[index] is b for every index);
//   LF  (n, a, b, scalea, shifta, scaleb, shiftb, r): a family with kLinearFrac = true and
//         template <LfCase C> static V linear_frac(V x, V y, const LfCoeffs<T>& c);
//       run in blocks of two registers and a padded last block, one loop per case (scaleb = 0:
//       constant denominator; scalea = 0: constant numerator; both: constant; otherwise
//       general); nothing is screened and nothing reported.
//
// The kernel itself is one line in its code-path file (vector_math/frame/kernel_export.h):
// `QOR_FNX_KERNEL(dExp, W7HAynn, DExpHA)` defines qor_fnx_kernel_dExp_W7HAynn with the row's
// signature, runs the family through run<> and reports errors under the name "vdExp".
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

#include "qor/vm.h"
#include "vector_math/frame/mode.h"
#include "vector_math/frame/simd.h"

namespace qor::vm {

enum class Scheme { Recompute, Patch };

// What an element routine returns: the status its element reports (the public status codes).
enum Status : int {
  kOk = QOR_FNX_STATUS_OK,
  kErrDom = QOR_FNX_STATUS_ERRDOM,        // argument outside the domain
  kSing = QOR_FNX_STATUS_SING,            // singularity (pole)
  kOverflow = QOR_FNX_STATUS_OVERFLOW,
  kUnderflow = QOR_FNX_STATUS_UNDERFLOW,
};

// MXCSR control bits (mask 0xFFC0) the mode asks for: all exceptions masked, round to nearest,
// plus flush-to-zero and denormals-are-zero when the denormal field says so.
inline uint32_t mxcsr_control_for_mode(uint32_t mode) {
  uint32_t c = 0x1F80u;
  if ((mode & QOR_FNX_DENORMAL_MASK) == QOR_FNX_DENORMAL_FLUSH) c |= 0x8040u;
  return c;
}

// Sets the floating-point environment a kernel runs in and restores the caller's at scope exit,
// keeping every exception flag raised meanwhile. Writes happen only when something differs.
class FpEnvGuard {
 public:
  // `control` is computed by `choose(mode, caller_mxcsr)` after the x87 step.
  template <class Choose>
  explicit FpEnvGuard(Choose&& choose) {
    uint16_t cw;
    asm volatile("fnstcw %0" : "=m"(cw));
    if ((cw & 0x3F) != 0x3F) {
      x87_saved_ = cw;
      x87_changed_ = true;
      uint16_t masked = static_cast<uint16_t>(cw | 0x3F);
      asm volatile("fnclex\n\tfldcw %0" : : "m"(masked));
    }
    const uint32_t mode = thread_mode();
    mxcsr_saved_ = _mm_getcsr();
    const uint32_t want = choose(mode, mxcsr_saved_) & 0xFFC0u;
    if ((mxcsr_saved_ & 0xFFC0u) != want) {
      mxcsr_changed_ = true;
      _mm_setcsr((mxcsr_saved_ & ~0xFFC0u) | want);
      asm volatile("" ::: "memory");
    }
  }
  ~FpEnvGuard() {
    asm volatile("" ::: "memory");
    if (x87_changed_) asm volatile("fldcw %0" : : "m"(x87_saved_));
    if (mxcsr_changed_) _mm_setcsr(mxcsr_saved_ | (_mm_getcsr() & 0x3Fu));
  }
  FpEnvGuard(const FpEnvGuard&) = delete;
  FpEnvGuard& operator=(const FpEnvGuard&) = delete;

 private:
  uint16_t x87_saved_ = 0;
  bool x87_changed_ = false;
  uint32_t mxcsr_saved_ = 0;
  bool mxcsr_changed_ = false;
};

// Defaults every family inherits.
template <class TElem>
struct FamilyBase {
  using T = TElem;
  static constexpr int kIn = 1;
  static constexpr int kOut = 1;
  static constexpr bool kAlignPeel = false;
  static constexpr bool kInlineBlocks = false;
  static constexpr bool kLinearFrac = false;  // the LF shape (LinearFracFrame)
  static uint32_t mxcsr_control(uint32_t mode, uint32_t /*caller_mxcsr*/) { return mxcsr_control_for_mode(mode); }
};

// A compile-time string, so that the name a kernel reports is given where the kernel is
// defined: `run<Named<Ceil<float>, "vsCeil">>(n, a, r)` (QOR_FNX_KERNEL derives it from the row).
template <size_t N>
struct FixedName {
  char text[N];
  constexpr FixedName(const char (&s)[N]) {
    for (size_t i = 0; i < N; ++i) text[i] = s[i];
  }
};
template <class Family, FixedName kN>
struct Named : Family {
  static constexpr const char* kName = kN.text;
};

template <class T> struct VecOf;
template <> struct VecOf<float> { using type = simd::f32x4; };
template <> struct VecOf<double> { using type = simd::f64x2; };

// The error routine for element type T.
inline void report_error(float*, int32_t code, int32_t index, const void* a1, const void* a2, void* r1, void* r2,
                         const char* name) {
  qor_fnx_kernel_sError(code, index, a1, a2, r1, r2, name);
}
inline void report_error(double*, int32_t code, int32_t index, const void* a1, const void* a2, void* r1, void* r2,
                         const char* name) {
  qor_fnx_kernel_dError(code, index, a1, a2, r1, r2, name);
}

// kScalarB: the second argument is the one value *b for every element (the VX shape).
template <class F, bool kScalarB = false>
class Frame {
 public:
  using T = typename F::T;
  using V = typename VecOf<T>::type;
  static constexpr int W = 16 / static_cast<int>(sizeof(T));  // lanes per register
  static constexpr int B = 2 * W;                               // elements per block

  // a, b: inputs (b == a for one-argument functions); r1, r2: outputs (r2 == r1 for one result)
  static void run(int32_t n, const T* a, const T* b, T* r1, T* r2) {
    if (n <= 0) return;
    FpEnvGuard env([](uint32_t mode, uint32_t caller) { return F::mxcsr_control(mode, caller); });
    int32_t i = 0;
    if constexpr (F::kAlignPeel) {
      const uintptr_t addr = reinterpret_cast<uintptr_t>(a);
      int32_t peel = static_cast<int32_t>((((addr + 15) & ~uintptr_t{15}) - addr) / sizeof(T));
      if (peel > n) peel = n;
      if (peel > 0) tail(i, peel, a, b, r1, r2);
      i = peel;
    }
    if constexpr (F::kInlineBlocks && !kChecked) {
      for (; i + B <= n; i += B) {
        const V x0 = V::load(a + i), x1 = V::load(a + i + W);
        V y0 = x0, y1 = x1;
        if constexpr (F::kIn == 2) {
          y0 = load_b(b, i);
          y1 = load_b(b, i + W);
        }
        if (__builtin_expect(screen2(x0, y0, x1, y1) == 0, 1)) packed_store2_inline(x0, y0, x1, y1, r1 + i, r2 + i);
        else flagged_block(i, a, b, r1, r2);
      }
    } else {
      for (; i + B <= n; i += B) block(i, a, b, r1, r2);
    }
    if (i < n) tail(i, n - i, a, b, r1, r2);
  }

 private:
  static constexpr bool kScreenPair = requires(V v) { F::screen_pair(v, v); };
  static constexpr bool kPackedPair = requires(V v, V& r) { F::packed_pair(v, v, r, r); };
  static constexpr bool kFlaggedPair = requires(V v, V& r) { F::packed_pair_flagged(v, v, r, r); };
  static_assert(!kFlaggedPair || (F::kScheme == Scheme::Patch && F::kIn == 1 && F::kOut == 1));
  static constexpr bool kChecked =
      requires(V v, V& r) { F::packed_checked(v, v, r); } || requires(V v, V& r) { F::packed_checked(v, r); };

  static constexpr bool kScreened = requires(V v) { F::screen(v, v); } || requires(V v) { F::screen(v); };

  // The second argument: a vector, or the scalar *b in every lane (VX).
  static V load_b(const T* b, int32_t i) {
    if constexpr (kScalarB) return V::splat(*b);
    else return V::load(b + i);
  }
  static T at_b(const T* b, int32_t i) {
    if constexpr (kScalarB) return *b;
    else return b[i];
  }
  // What the error record reads its second argument from: arg2[k] must be element k's b. For a
  // scalar b the address is moved back k elements (computed as an integer; the error routine
  // indexes it forward by k again and reads the scalar).
  static const T* record_b(const T* b, int32_t k) {
    if constexpr (kScalarB)
      return reinterpret_cast<const T*>(reinterpret_cast<uintptr_t>(b) - static_cast<uintptr_t>(k) * sizeof(T));
    else return b;
  }
  // The packed results of a block and the mask of its lanes the formula cannot handle.
  static int checked_pair(V x0, V y0, V x1, V y1, V& r0, V& r1) {
    if constexpr (F::kIn == 2) return F::packed_checked(x0, y0, r0) | (F::packed_checked(x1, y1, r1) << W);
    else return F::packed_checked(x0, r0) | (F::packed_checked(x1, r1) << W);
  }

  static int screen2(V x0, V y0, V x1, V y1) {
    if constexpr (F::kIn == 1 && kScreenPair) return F::screen_pair(x0, x1);
    else if constexpr (F::kIn == 1) return F::screen(x0) | (F::screen(x1) << W);
    else return F::screen(x0, y0) | (F::screen(x1, y1) << W);
  }

  static void packed_store(V x, V y, T* o1, T* o2) {
    if constexpr (F::kOut == 1) {
      V r;
      if constexpr (F::kIn == 1) r = F::packed(x);
      else r = F::packed(x, y);
      r.store(o1);
    } else {
      V p, q;
      F::packed(x, p, q);
      p.store(o1);
      q.store(o2);
    }
  }

  // Both registers of a block into o1[0 .. B-1] (and o2).
  static void packed_store2(V x0, V y0, V x1, V y1, T* o1, T* o2) {
    if constexpr (F::kIn == 1 && F::kOut == 1 && kPackedPair) {
      V r0, r1;
      F::packed_pair(x0, x1, r0, r1);
      r0.store(o1);
      r1.store(o1 + W);
    } else {
      packed_store(x0, y0, o1, o2);
      packed_store(x1, y1, o1 + W, o2 + W);
    }
  }
  // The same, always inline (the kInlineBlocks loop). A copy on purpose: with packed_store2
  // calling this one, GCC inlines differently in the block routine of the other families
  // (sExp2 HA's kernel halves in size and runs about 2% slower).
  static inline __attribute__((always_inline)) void packed_store2_inline(V x0, V y0, V x1, V y1, T* o1, T* o2) {
    if constexpr (F::kIn == 1 && F::kOut == 1 && kPackedPair) {
      V r0, r1;
      F::packed_pair(x0, x1, r0, r1);
      r0.store(o1);
      r1.store(o1 + W);
    } else {
      packed_store(x0, y0, o1, o2);
      packed_store(x1, y1, o1 + W, o2 + W);
    }
  }

  // The element routine on inputs *x, *y into r1[k], r2[k]; reports a non-zero status.
  static void element(int32_t k, const T* x, const T* y, const T* a, const T* b, T* r1, T* r2) {
    int status;
    if constexpr (F::kOut == 2) status = F::element(x, r1 + k, r2 + k);
    else if constexpr (F::kIn == 2) status = F::element(x, y, r1 + k);
    else status = F::element(x, r1 + k);
    if (status != kOk) report_error(static_cast<T*>(nullptr), status, k, a, record_b(b, k), r1, r2, F::kName);
  }

  static void block(int32_t i, const T* a, const T* b, T* r1, T* r2) {
    const V x0 = V::load(a + i), x1 = V::load(a + i + W);
    V y0 = x0, y1 = x1;
    if constexpr (F::kIn == 2) {
      y0 = load_b(b, i);
      y1 = load_b(b, i + W);
    }
    if constexpr (kChecked) {
      V p0, p1;
      int m = checked_pair(x0, y0, x1, y1, p0, p1);
      if constexpr (kScreened) m |= screen2(x0, y0, x1, y1);
      if (__builtin_expect(m == 0, 1) || F::kScheme == Scheme::Patch) {
        p0.store(r1 + i);
        p1.store(r1 + i + W);
      }
      if (m == 0) return;
      alignas(16) T xs[B], ys[B];
      x0.store(xs);
      x1.store(xs + W);
      y0.store(ys);
      y1.store(ys + W);
      if constexpr (F::kScheme == Scheme::Recompute) m = (1 << B) - 1;
      while (m) {
        const int j = __builtin_ctz(static_cast<unsigned>(m));
        m &= m - 1;
        element(i + j, xs + j, ys + j, a, b, r1, r2);
      }
      return;
    } else {
    int m = screen2(x0, y0, x1, y1);
    if (m == 0) {
      packed_store2(x0, y0, x1, y1, r1 + i, r2 + i);
      return;
    }
    if constexpr (F::kScheme == Scheme::Recompute) {
      // Copies of the inputs: outputs may alias inputs.
      alignas(16) T xs[B], ys[B];
      x0.store(xs);
      x1.store(xs + W);
      y0.store(ys);
      y1.store(ys + W);
      for (int j = 0; j < B; ++j) element(i + j, xs + j, ys + j, a, b, r1, r2);
    } else {
      alignas(16) T xs[B], ys[B];
      x0.store(xs);
      x1.store(xs + W);
      y0.store(ys);
      y1.store(ys + W);
      if constexpr (kFlaggedPair) {
        V p0, p1;
        m &= F::packed_pair_flagged(x0, x1, p0, p1);
        p0.store(r1 + i);
        p1.store(r1 + i + W);
      } else {
        packed_store2(x0, y0, x1, y1, r1 + i, r2 + i);
      }
      while (m) {
        const int j = __builtin_ctz(static_cast<unsigned>(m));
        m &= m - 1;
        element(i + j, xs + j, ys + j, a, b, r1, r2);
      }
    }
    }
  }

  // A block with a flagged lane, out of the kInlineBlocks loop (nothing of it is stored yet).
  static __attribute__((noinline, cold)) void flagged_block(int32_t i, const T* a, const T* b, T* r1, T* r2) {
    block(i, a, b, r1, r2);
  }

  // Elements i .. i+count-1 (count < B, or the alignment peel).
  static void tail(int32_t i, int32_t count, const T* a, const T* b, T* r1, T* r2) {
    if constexpr (F::kScheme == Scheme::Recompute) {
      for (int32_t k = i; k < i + count; ++k) {
        const T x = a[k];
        const T y = F::kIn == 2 ? at_b(b, k) : x;
        element(k, &x, &y, a, b, r1, r2);
      }
    } else {
      while (count > 0) {
        const int c = count < B ? count : B;
        // A padded block: the padding lanes repeat the first element and are never stored.
        alignas(16) T xs[B], ys[B], o1[B], o2[B];
        for (int j = 0; j < B; ++j) {
          xs[j] = a[i + (j < c ? j : 0)];
          ys[j] = F::kIn == 2 ? at_b(b, i + (j < c ? j : 0)) : xs[j];
        }
        const V x0 = V::load_aligned(xs), x1 = V::load_aligned(xs + W);
        const V y0 = V::load_aligned(ys), y1 = V::load_aligned(ys + W);
        int m;
        if constexpr (kChecked) {
          V p0, p1;
          m = checked_pair(x0, y0, x1, y1, p0, p1);
          if constexpr (kScreened) m |= screen2(x0, y0, x1, y1);
          m &= (1 << c) - 1;
          p0.store(o1);
          p1.store(o1 + W);
        } else {
          m = screen2(x0, y0, x1, y1) & ((1 << c) - 1);
          if constexpr (kFlaggedPair) {
            if (m) {
              V p0, p1;
              m &= F::packed_pair_flagged(x0, x1, p0, p1);
              p0.store(o1);
              p1.store(o1 + W);
            } else {
              packed_store2(x0, y0, x1, y1, o1, o2);
            }
          } else {
            packed_store2(x0, y0, x1, y1, o1, o2);
          }
        }
        for (int j = 0; j < c; ++j) {
          r1[i + j] = o1[j];
          if constexpr (F::kOut == 2) r2[i + j] = o2[j];
        }
        while (m) {
          const int j = __builtin_ctz(static_cast<unsigned>(m));
          m &= m - 1;
          element(i + j, xs + j, ys + j, a, b, r1, r2);
        }
        i += c;
        count -= c;
      }
    }
  }
};

// The LF shape: the four scalars of a linear fraction (scalea a + shifta) / (scaleb b + shiftb),
// and its three cases.
template <class T>
struct LfCoeffs {
  T scalea, shifta, scaleb, shiftb;
};
enum class LfCase { General, ConstDenominator, ConstNumerator, Constant };

template <class F>
struct LinearFracFrame {
  using T = typename F::T;
  using V = typename VecOf<T>::type;
  static constexpr int W = 16 / static_cast<int>(sizeof(T));
  static constexpr int B = 2 * W;

  static void run(int32_t n, const T* a, const T* b, const LfCoeffs<T>& c, T* r) {
    if (n <= 0) return;
    FpEnvGuard env([](uint32_t mode, uint32_t caller) { return F::mxcsr_control(mode, caller); });
    if (c.scaleb == T(0) && c.scalea == T(0)) loop<LfCase::Constant>(n, a, b, c, r);
    else if (c.scaleb == T(0)) loop<LfCase::ConstDenominator>(n, a, b, c, r);
    else if (c.scalea == T(0)) loop<LfCase::ConstNumerator>(n, a, b, c, r);
    else loop<LfCase::General>(n, a, b, c, r);
  }

 private:
  template <LfCase C>
  static void loop(int32_t n, const T* a, const T* b, const LfCoeffs<T>& c, T* r) {
    int32_t i = 0;
    for (; i + B <= n; i += B) {
      const V r0 = F::template linear_frac<C>(V::load(a + i), V::load(b + i), c);
      const V r1 = F::template linear_frac<C>(V::load(a + i + W), V::load(b + i + W), c);
      r0.store(r + i);
      r1.store(r + i + W);
    }
    if (i == n) return;
    // the last elements through the same formula, in a block padded with zeros (never stored)
    alignas(16) T xs[B] = {}, ys[B] = {}, o[B];
    for (int32_t j = 0; j < n - i; ++j) {
      xs[j] = a[i + j];
      ys[j] = b[i + j];
    }
    F::template linear_frac<C>(V::load_aligned(xs), V::load_aligned(ys), c).store(o);
    F::template linear_frac<C>(V::load_aligned(xs + W), V::load_aligned(ys + W), c).store(o + W);
    for (int32_t j = 0; j < n - i; ++j) r[i + j] = o[j];
  }
};

// The runner, chosen by the family's arity: V1 (one argument, one result), V2 (two arguments),
// VX (two arguments, the second a scalar), V1R2 (one argument, two results), LF (linear
// fraction).
template <class F>
  requires(F::kIn == 1 && F::kOut == 1)
inline void run(int32_t n, const typename F::T* a, typename F::T* r) {
  Frame<F>::run(n, a, a, r, r);
}
template <class F>
  requires(F::kIn == 2)
inline void run(int32_t n, const typename F::T* a, const typename F::T* b, typename F::T* r) {
  Frame<F>::run(n, a, b, r, r);
}
template <class F>
  requires(F::kIn == 2)
inline void run(int32_t n, const typename F::T* a, typename F::T b, typename F::T* r) {
  Frame<F, true>::run(n, a, &b, r, r);
}
template <class F>
  requires(F::kLinearFrac)
inline void run(int32_t n, const typename F::T* a, const typename F::T* b, typename F::T scalea,
                typename F::T shifta, typename F::T scaleb, typename F::T shiftb, typename F::T* r) {
  LinearFracFrame<F>::run(n, a, b, LfCoeffs<typename F::T>{scalea, shifta, scaleb, shiftb}, r);
}
template <class F>
  requires(F::kOut == 2)
inline void run(int32_t n, const typename F::T* a, typename F::T* r1, typename F::T* r2) {
  Frame<F>::run(n, a, a, r1, r2);
}
// The V1 runner under its former name (the frame's tests call it).
template <class F>
inline void run_v1(int32_t n, const typename F::T* a, typename F::T* r) {
  run<F>(n, a, r);
}

}  // namespace qor::vm

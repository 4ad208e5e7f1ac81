// Mean, 2nd central moment and covariance of a 100 x 1,000,000 double matrix, against reading
// the matrix once (bandwidth), a straightforward two-pass loop, and centring + dsyrk (OpenBLAS).
// Each storage is built in turn (800 MB, plus 800 MB of centred copy for the dsyrk anchor).
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "qor/stats.h"

namespace {

constexpr int32_t kP = 100;
constexpr int32_t kN = 1000000;

struct Matrix {
  bool rows = true;
  double* x = nullptr;
  ~Matrix() { std::free(x); }
};

// One matrix at a time (the other storage is released when a benchmark switches).
Matrix& matrix(bool rows) {
  static std::unique_ptr<Matrix> m;
  if (!m || m->rows != rows) {
    m.reset();
    m = std::make_unique<Matrix>();
    m->rows = rows;
    m->x = static_cast<double*>(std::aligned_alloc(128, sizeof(double) * size_t(kP) * kN));
    std::mt19937_64 g(42);
    std::normal_distribution<double> nd;
    std::vector<double> z(kP);
    for (int32_t j = 0; j < kN; ++j) {
      for (int i = 0; i < kP; ++i) z[i] = nd(g);
      for (int i = 0; i < kP; ++i) {
        const double v = 10.0 + z[i] + (i ? 0.5 * z[i - 1] : 0.0);
        (rows ? m->x[size_t(i) * kN + j] : m->x[size_t(j) * kP + i]) = v;
      }
    }
  }
  return *m;
}

double read_range(const double* x, size_t count) {
  __m128d a = _mm_setzero_pd(), b = a, c = a, d = a;
  const size_t body = count - count % 8;
  for (size_t i = 0; i < body; i += 8) {
    a = _mm_add_pd(a, _mm_load_pd(x + i));
    b = _mm_add_pd(b, _mm_load_pd(x + i + 2));
    c = _mm_add_pd(c, _mm_load_pd(x + i + 4));
    d = _mm_add_pd(d, _mm_load_pd(x + i + 6));
  }
  double r[2], tail = 0;
  _mm_storeu_pd(r, _mm_add_pd(_mm_add_pd(a, b), _mm_add_pd(c, d)));
  for (size_t i = body; i < count; ++i) tail += x[i];
  return r[0] + r[1] + tail;
}

void set_bytes(benchmark::State& st) {
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(sizeof(double)) * kP * kN);
}

// Bandwidth: sum every element once (SSE2, four accumulators), on 1 or 2 threads.
void BM_ReadOnce(benchmark::State& st) {
  const Matrix& m = matrix(st.range(0));
  const int threads = int(st.range(1));
  const size_t total = size_t(kP) * kN;
  for (auto _ : st) {
    double s[2] = {0, 0};
    if (threads == 1) {
      s[0] = read_range(m.x, total);
    } else {
      std::thread t([&] { s[1] = read_range(m.x + total / 2, total - total / 2); });
      s[0] = read_range(m.x, total / 2);
      t.join();
    }
    benchmark::DoNotOptimize(s);
  }
  set_bytes(st);
}

// The loop a user would write: means, then sums of squared deviations.
void BM_TwoPassLoop(benchmark::State& st) {
  const Matrix& m = matrix(st.range(0));
  std::vector<double> mean(kP), var(kP);
  for (auto _ : st) {
    std::fill(mean.begin(), mean.end(), 0.0);
    std::fill(var.begin(), var.end(), 0.0);
    if (m.rows) {
      for (int i = 0; i < kP; ++i) {
        const double* r = m.x + size_t(i) * kN;
        double s = 0;
        for (int32_t j = 0; j < kN; ++j) s += r[j];
        mean[i] = s / kN;
        double v = 0;
        for (int32_t j = 0; j < kN; ++j) v += (r[j] - mean[i]) * (r[j] - mean[i]);
        var[i] = v / (kN - 1);
      }
    } else {
      for (int32_t j = 0; j < kN; ++j)
        for (int i = 0; i < kP; ++i) mean[i] += m.x[size_t(j) * kP + i];
      for (int i = 0; i < kP; ++i) mean[i] /= kN;
      for (int32_t j = 0; j < kN; ++j)
        for (int i = 0; i < kP; ++i) {
          const double d = m.x[size_t(j) * kP + i] - mean[i];
          var[i] += d * d;
        }
      for (int i = 0; i < kP; ++i) var[i] /= (kN - 1);
    }
    benchmark::DoNotOptimize(var.data());
  }
  set_bytes(st);
}

// Centring into a copy, then the covariance by dsyrk (OpenBLAS with its own threads).
// The centred copy is one warm buffer for the whole run (allocated and first touched outside
// the timed region): the anchor times centring and dsyrk, not 800 MB of page faults.
double* centred_buffer() {
  static double* z = [] {
    double* b = static_cast<double*>(std::aligned_alloc(128, sizeof(double) * size_t(kP) * kN));
    std::memset(b, 0, sizeof(double) * size_t(kP) * kN);
    return b;
  }();
  return z;
}

void BM_CentreDsyrk(benchmark::State& st) {
  const Matrix& m = matrix(st.range(0));
  double* z = centred_buffer();
  std::vector<double> mean(kP), cov(size_t(kP) * kP);
  for (auto _ : st) {
    std::fill(mean.begin(), mean.end(), 0.0);
    if (m.rows) {
      for (int i = 0; i < kP; ++i) {
        const double* r = m.x + size_t(i) * kN;
        double s = 0;
        for (int32_t j = 0; j < kN; ++j) s += r[j];
        mean[i] = s / kN;
        double* zr = z + size_t(i) * kN;
        for (int32_t j = 0; j < kN; ++j) zr[j] = r[j] - mean[i];
      }
    } else {
      for (int32_t j = 0; j < kN; ++j)
        for (int i = 0; i < kP; ++i) mean[i] += m.x[size_t(j) * kP + i];
      for (int i = 0; i < kP; ++i) mean[i] /= kN;
      for (int32_t j = 0; j < kN; ++j)
        for (int i = 0; i < kP; ++i) z[size_t(j) * kP + i] = m.x[size_t(j) * kP + i] - mean[i];
    }
    const qor_int p = kP, n = kN, ldc = kP;
    const double alpha = 1.0 / (kN - 1), beta = 0.0;
    if (m.rows) {
      const qor_int lda = kN;
      qor_blas_dsyrk("U", "T", &p, &n, &alpha, z, &lda, &beta, cov.data(), &ldc);
    } else {
      const qor_int lda = kP;
      qor_blas_dsyrk("U", "N", &p, &n, &alpha, z, &lda, &beta, cov.data(), &ldc);
    }
    benchmark::DoNotOptimize(cov.data());
  }
  set_bytes(st);
}

// The same anchor with dsyrk fed in panels of 4,096 observations (means first, then each panel
// centred into a small buffer and added with beta = 1): what a BLAS user who knows that
// OpenBLAS prefers short k would write.
void BM_CentreDsyrkPanels(benchmark::State& st) {
  const Matrix& m = matrix(st.range(0));
  constexpr int32_t kPanel = 4096;
  std::vector<double> z(size_t(kP) * kPanel), mean(kP), cov(size_t(kP) * kP);
  for (auto _ : st) {
    std::fill(mean.begin(), mean.end(), 0.0);
    if (m.rows) {
      for (int i = 0; i < kP; ++i) {
        double s = 0;
        for (int32_t j = 0; j < kN; ++j) s += m.x[size_t(i) * kN + j];
        mean[i] = s / kN;
      }
    } else {
      for (int32_t j = 0; j < kN; ++j)
        for (int i = 0; i < kP; ++i) mean[i] += m.x[size_t(j) * kP + i];
      for (int i = 0; i < kP; ++i) mean[i] /= kN;
    }
    const double alpha = 1.0 / (kN - 1);
    for (int32_t j0 = 0; j0 < kN; j0 += kPanel) {
      const int32_t len = std::min(kPanel, kN - j0);
      const double beta = j0 == 0 ? 0.0 : 1.0;
      const qor_int p = kP, k = len, ldc = kP;
      if (m.rows) {
        for (int i = 0; i < kP; ++i)
          for (int32_t j = 0; j < len; ++j) z[size_t(i) * kPanel + j] = m.x[size_t(i) * kN + j0 + j] - mean[i];
        const qor_int lda = kPanel;
        qor_blas_dsyrk("U", "T", &p, &k, &alpha, z.data(), &lda, &beta, cov.data(), &ldc);
      } else {
        for (int32_t j = 0; j < len; ++j)
          for (int i = 0; i < kP; ++i) z[size_t(j) * kP + i] = m.x[size_t(j0 + j) * kP + i] - mean[i];
        const qor_int lda = kP;
        qor_blas_dsyrk("U", "N", &p, &k, &alpha, z.data(), &lda, &beta, cov.data(), &ldc);
      }
    }
    benchmark::DoNotOptimize(cov.data());
  }
  set_bytes(st);
}

// Our method: mean + 2nd central moment (range 2 = 0), or mean + covariance (range 2 = 1);
// range 1: 1 thread (calling thread) or the OpenMP table (2 threads on this machine).
void BM_QorOnePass(benchmark::State& st) {
  const Matrix& m = matrix(st.range(0));
  const bool threaded = st.range(1) > 1, cov = st.range(2) != 0;
  const int32_t p = kP, n = kN, storage = m.rows ? HOX_SS_STORAGE_ROWS : HOX_SS_STORAGE_COLUMNS;
  std::vector<double> mean(kP), raw2(kP), cen2(kP), c(size_t(kP) * kP), aw(2);
  HoxSSTask* t = nullptr;
  __hoxdSSNewTask(&t, &p, &n, &storage, m.x, nullptr, nullptr, nullptr);
  // the 2nd central moment is computed together with the raw 2nd moment (its array is required)
  __hoxdSSEditMoments(t, mean.data(), raw2.data(), nullptr, nullptr, cen2.data(), nullptr, nullptr);
  const int32_t full = HOX_SS_MATRIX_FULL;
  __hoxdSSEditCovCor(t, nullptr, c.data(), &full, nullptr, nullptr);
  const uint64_t est = HOX_SS_EST_MEAN | (cov ? HOX_SS_EST_COV : HOX_SS_EST_CEN2);
  const ThreadingServices* th = threaded ? qor_threading_openmp() : qor_threading_sequential();
  for (auto _ : st) {
    const int32_t s = _hoxdSSBasic(t, est, HOX_SS_METHOD_ONE_PASS, th);
    if (s) st.SkipWithError("status");
    benchmark::DoNotOptimize(c.data());
  }
  __hoxSSDeleteTask(&t);
  set_bytes(st);
}

// Columns storage first, then rows: each storage is built once.
#define MOMENTS_ARGS(storage)                                                                   \
  ->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true)
BENCHMARK(BM_ReadOnce)->ArgNames({"rows", "threads"})->Args({0, 1})->Args({0, 2}) MOMENTS_ARGS(0);
BENCHMARK(BM_QorOnePass)->ArgNames({"rows", "threads", "cov"})->Args({0, 1, 0})->Args({0, 2, 0})->Args({0, 1, 1})->Args({0, 2, 1}) MOMENTS_ARGS(0);
BENCHMARK(BM_TwoPassLoop)->ArgNames({"rows"})->Args({0}) MOMENTS_ARGS(0);
BENCHMARK(BM_CentreDsyrk)->ArgNames({"rows"})->Args({0}) MOMENTS_ARGS(0);
BENCHMARK(BM_CentreDsyrkPanels)->ArgNames({"rows"})->Args({0}) MOMENTS_ARGS(0);
BENCHMARK(BM_ReadOnce)->ArgNames({"rows", "threads"})->Args({1, 1})->Args({1, 2}) MOMENTS_ARGS(1);
BENCHMARK(BM_QorOnePass)->ArgNames({"rows", "threads", "cov"})->Args({1, 1, 0})->Args({1, 2, 0})->Args({1, 1, 1})->Args({1, 2, 1}) MOMENTS_ARGS(1);
BENCHMARK(BM_TwoPassLoop)->ArgNames({"rows"})->Args({1}) MOMENTS_ARGS(1);
BENCHMARK(BM_CentreDsyrk)->ArgNames({"rows"})->Args({1}) MOMENTS_ARGS(1);
BENCHMARK(BM_CentreDsyrkPanels)->ArgNames({"rows"})->Args({1}) MOMENTS_ARGS(1);

}  // namespace

// Streaming quantiles: rank error at most eps N on adversarial orders (sorted, reversed, organ
// pipe, scrambled, many duplicates, all equal) for several block sizes, statuses in order, the
// state's release, and allocation failure. The oracle is closed form: the streams are
// permutations of 0 .. N-1 (a value v has N(< v) = v, N(<= v) = v + 1) or values with known
// counts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "qor/stats.h"
#include "service/testing.h"
#include "statistics/order/stream.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

namespace qor::test::ss {
const ThreadingServices* threads_table(int count);
namespace {

enum class Order { sorted, reversed, organ_pipe, scrambled, duplicates, all_equal };
const char* kOrderName[] = {"sorted", "reversed", "organ pipe", "scrambled", "duplicates", "all equal"};
constexpr int64_t kDistinct = 17;

double value(Order o, int64_t j, int64_t N) {
  switch (o) {
    case Order::sorted: return double(j);
    case Order::reversed: return double(N - 1 - j);
    case Order::organ_pipe: return j < (N + 1) / 2 ? double(2 * j) : double(2 * (N - 1 - j) + 1);
    case Order::scrambled: {  // j -> a j + c mod N with a prime to N: a permutation
      const int64_t a = 1000003;  // prime, and N is never a multiple of it here
      return double((uint64_t(a) * uint64_t(j) + 12345) % uint64_t(N));  // a j < 2^63 here
    }
    case Order::duplicates: return double(j % kDistinct);
    case Order::all_equal: return 5.0;
  }
  return 0;
}
// N(< v) and N(<= v) over the whole stream of N values.
void counts(Order o, double v, int64_t N, double* lt, double* le) {
  if (o == Order::all_equal) {
    *lt = v > 5 ? double(N) : 0;
    *le = v >= 5 ? double(N) : 0;
    return;
  }
  if (o == Order::duplicates) {  // value u appears floor(N / 17) times, once more for u < N mod 17
    auto count_below = [&](int64_t u) {  // values < u
      const int64_t full = N / kDistinct, extra = N % kDistinct;
      return double(u * full + std::min(u, extra));
    };
    const int64_t u = int64_t(v);
    *lt = count_below(u);
    *le = count_below(u + 1);
    return;
  }
  *lt = v;
  *le = v + 1;
}

struct Stream {
  int32_t p = 2, n = 0, storage = HOX_SS_STORAGE_COLUMNS, m = 0, nparams = 1;
  std::vector<double> x, orders, quantiles, params;
  HoxSSTask* t = nullptr;
  int32_t made = 0;
  explicit Stream(double eps, std::vector<double> q) : orders(std::move(q)), params{eps} {
    quantiles.assign(size_t(p) * orders.size(), -7);
    made = __hoxdSSNewTask(&t, &p, &n, &storage, nullptr, nullptr, nullptr, nullptr);
    if (made) return;
    __hoxiSSEditTask(t, HOX_SS_ED_OBSERV_N, &n);
    __hoxiSSEditTask(t, HOX_SS_ED_OBSERV_STORAGE, &storage);
    __hoxdSSEditStreamQuantiles(t, &m, orders.data(), quantiles.data(), &nparams, params.data());
  }
  ~Stream() { __hoxSSDeleteTask(&t); }
  // Adds observations [j0, j1) of both variables (the second one the mirror image, -v), asking
  // for the quantiles only when `read`.
  int32_t add(Order o, int64_t j0, int64_t j1, int64_t N, bool read, const ThreadingServices* th) {
    n = int32_t(j1 - j0);
    x.resize(size_t(2) * n);
    for (int64_t j = j0; j < j1; ++j) {
      x[2 * (j - j0)] = value(o, j, N);
      x[2 * (j - j0) + 1] = -value(o, j, N);
    }
    __hoxdSSEditTask(t, HOX_SS_ED_OBSERV, x.data());
    m = read ? int32_t(orders.size()) : 0;
    return _hoxdSSStreamQuantiles(t, 0, HOX_SS_METHOD_STREAM_QUANTILES, th);
  }
};

// The largest distance, over the orders and both variables, between the target rank ceil(q N)
// and the true rank range of the value returned.
double worst_rank_error(const Stream& s, Order o, int64_t N) {
  double worst = 0;
  for (size_t k = 0; k < s.orders.size(); ++k) {
    const double r = std::min<double>(N, std::max(1.0, std::ceil(s.orders[k] * N)));
    for (int var = 0; var < 2; ++var) {
      const double v = s.quantiles[var * s.orders.size() + k];
      double lt, le;
      if (var == 0) {
        counts(o, v, N, &lt, &le);
      } else {  // -v over the mirrored stream: N(< -v') = N(> v'), N(<= -v') = N(>= v')
        double lt0, le0;
        counts(o, -v, N, &lt0, &le0);
        lt = N - le0;
        le = N - lt0;
      }
      const double err = r <= lt ? lt + 1 - r : r > le ? r - le : 0;
      worst = std::max(worst, err);
    }
  }
  return worst;
}

const std::vector<double> kOrders = {0, 0.001, 0.1, 0.25, 0.5, 0.75, 0.9, 0.999, 1};

TEST(StreamQuantiles, RankErrorWithinEpsNOnAdversarialOrders) {
  struct Case {
    double eps;
    int64_t N, block;
  };
  const Case cases[] = {
      {0.01, scaled(200000, 50000), 1000000}, {0.001, scaled(100000, 30000), 4096},
      {0.005, scaled(20000, 8000), 7},        {0.05, scaled(3000, 1500), 1},
      {1.0, 1000, 3},                            {0.7, 2000, 1},
      {0.3, 513, 64},
  };
  for (const Case& c : cases)
    for (int oi = 0; oi < 6; ++oi) {
      const Order o = Order(oi);
      SCOPED_TRACE(testing::Message() << kOrderName[oi] << " eps " << c.eps << " N " << c.N << " block " << c.block);
      Stream s(c.eps, kOrders);
      ASSERT_EQ(s.made, 0);
      int64_t j = 0, calls = 0;
      while (j < c.N) {
        const int64_t j1 = std::min(c.N, j + c.block);
        // read now and then along the way: the bound holds at every point of the stream
        const bool read = j1 == c.N || calls % 97 == 5;
        // (threads for long blocks only: a parallel region per tiny call is slow on a loaded machine)
        ASSERT_EQ(s.add(o, j, j1, c.N, read, c.block >= 4096 ? threads_table(2) : nullptr), 0);
        // a prefix of a permutation is not one: prefixes are checked on the sorted stream
        if (read && j1 < c.N && o == Order::sorted) {
          EXPECT_LE(worst_rank_error(s, o, j1), c.eps * j1);
        }
        j = j1;
        ++calls;
      }
      EXPECT_LE(worst_rank_error(s, o, c.N), c.eps * c.N);
      // a call without observations returns the same estimates
      const std::vector<double> before = s.quantiles;
      std::fill(s.quantiles.begin(), s.quantiles.end(), -7.0);
      ASSERT_EQ(s.add(o, 0, 0, c.N, true, nullptr), 0);
      EXPECT_EQ(s.quantiles, before);
    }
}

TEST(StreamQuantiles, TenMillionScrambledInLargeBlocksWithMemoryReport) {
  const int64_t N = scaled(10000000, 1000000), block = 1000000;
  const double eps = 0.001;
  Stream s(eps, kOrders);
  ASSERT_EQ(s.made, 0);
  for (int64_t j = 0; j < N; j += block)
    ASSERT_EQ(s.add(Order::scrambled, j, std::min(N, j + block), N, j + block >= N, threads_table(2)), 0);
  EXPECT_LE(worst_rank_error(s, Order::scrambled, N), eps * N);
  int64_t seen = 0;
  const size_t reals = qor::ss::order::stream_summary_reals(s.t, 0, &seen);
  EXPECT_EQ(seen, N);
  // the multi-level summary of each segment s holds at most (L + 3) b reals, about
  // (log2(eps N))^3 / (3 eps) over all segments
  const double lg = std::log2(eps * double(N));
  std::printf("stream summary: %zu reals for N = %lld, eps = %g (%.3g of N; (log2 eps N)^3 / (3 eps) = %.3g)\n",
              reals, (long long)N, eps, double(reals) / double(N), lg * lg * lg / (3 * eps));
  EXPECT_LT(double(reals), 2 * (lg + 3) * (lg + 3) * (lg + 3) / (3 * eps));
}

TEST(StreamQuantiles, StatusesInOrderSelectionAndRelease) {
  const long live = qor::serv::live_allocations();
  {
    int32_t p = 2, n = 3, storage = HOX_SS_STORAGE_ROWS, bad = 0x40000, m = 2, np = 1, neg = -1, two = 2;
    std::vector<double> x = {1, 2, 3, 4, 5, 6}, orders = {0.5, 1}, qs(4, -7), params = {0.01};
    std::vector<int32_t> ind = {1, 0};
    HoxSSTask* t = nullptr;
    ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &storage, x.data(), nullptr, ind.data(), nullptr), 0);
    auto run = [&](uint64_t me = HOX_SS_METHOD_STREAM_QUANTILES_ALT) { return _hoxdSSStreamQuantiles(t, 0, me, nullptr); };
    n = -1;
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_OBSERV_COUNT);
    n = 3;
    __hoxiSSEditTask(t, HOX_SS_ED_OBSERV_STORAGE, &bad);
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STORAGE);
    __hoxiSSEditTask(t, HOX_SS_ED_OBSERV_STORAGE, &storage);
    EXPECT_EQ(run(), HOX_SS_ERR_NULL_STREAM_QUANTILES);
    __hoxdSSEditTask(t, HOX_SS_ED_STREAM_QUANT_QUANTILES, qs.data());
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STREAM_QUANT_ORDER);
    __hoxdSSEditTask(t, HOX_SS_ED_STREAM_QUANT_ORDER, orders.data());
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N);
    __hoxiSSEditTask(t, HOX_SS_ED_STREAM_QUANT_ORDER_N, &neg);
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N);
    __hoxiSSEditTask(t, HOX_SS_ED_STREAM_QUANT_ORDER_N, &m);
    EXPECT_EQ(run(), HOX_SS_ERR_NULL_STREAM_QUANT_PARAMS_ALT);
    __hoxiSSEditTask(t, HOX_SS_ED_STREAM_QUANT_PARAMS_N, &two);
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STREAM_QUANT_PARAMS_N);
    __hoxiSSEditTask(t, HOX_SS_ED_STREAM_QUANT_PARAMS_N, &np);
    orders[0] = -0.1;
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N);
    orders[0] = 1.5;
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N);
    orders[0] = 0.5;
    EXPECT_EQ(run(), HOX_SS_ERR_NULL_STREAM_QUANT_PARAMS);
    __hoxdSSEditTask(t, HOX_SS_ED_STREAM_QUANT_PARAMS, params.data());
    EXPECT_EQ(run(HOX_SS_METHOD_FAST), HOX_SS_ERR_BAD_METHOD);
    for (double e : {0.0, 1.5, -0.1, double(NAN)}) {
      params[0] = e;
      EXPECT_EQ(run(), HOX_SS_ERR_BAD_STREAM_QUANT_EPS);
    }
    params[0] = 0.01;
    EXPECT_EQ(qs, std::vector<double>(4, -7));
    EXPECT_EQ(qor::serv::live_allocations(), live + 1);  // the task only
    ASSERT_EQ(run(), 0);  // variable 0 only: 1 2 3
    EXPECT_EQ(qs, (std::vector<double>{2, 3, -7, -7}));
    ind = {1, 1};  // variable 1 was not active: -4004
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_INDICES);
    ind = {0, 0};
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_INDICES);
    ind = {1, 0};
    x = {10, 20, 30, 0, 0, 0};
    ASSERT_EQ(run(), 0);  // 1 2 3 10 20 30: ranks 3 and 6
    EXPECT_EQ(qs, (std::vector<double>{3, 30, -7, -7}));
    __hoxSSDeleteTask(&t);  // releases the summaries through the task's release callback
  }
  EXPECT_EQ(qor::serv::live_allocations(), live);
}

TEST(StreamQuantiles, FailedAllocationsChangeNothing) {
  const int64_t N = 2000, j0 = 300;
  const std::vector<double> orders = {0.1, 0.5, 0.9};
  Stream ref(0.05, orders);
  ASSERT_EQ(ref.add(Order::scrambled, 0, j0, N, false, nullptr), 0);
  ASSERT_EQ(ref.add(Order::scrambled, j0, N, N, true, nullptr), 0);
  // every allocation site of a first call and of a later one; nothing is left allocated
  const int sites = qor::test::sweep_allocation_failures(
      [&] {
        Stream s(0.05, orders);
        if (s.made) return s.made;
        int32_t st = s.add(Order::scrambled, 0, j0, N, false, threads_table(2));
        if (!st) st = s.add(Order::scrambled, j0, N, N, true, threads_table(2));
        if (!st) {
          EXPECT_EQ(s.quantiles, ref.quantiles);
        }
        return st;
      },
      HOX_SS_ERR_NO_MEMORY);
  EXPECT_GE(sites, 5);
  // a failed later call leaves the summaries as they were: the stream continues unchanged
  for (int k = 1; k <= 4; ++k) {
    Stream s(0.05, orders);
    ASSERT_EQ(s.add(Order::scrambled, 0, j0, N, false, nullptr), 0);
    qor::serv::fail_allocation_number(k);
    const int32_t st = s.add(Order::scrambled, j0, N, N, true, threads_table(2));
    const bool reached = !qor::serv::allocation_failure_pending();
    qor::serv::fail_allocation_number(0);
    if (!reached) break;
    EXPECT_EQ(st, HOX_SS_ERR_NO_MEMORY);
    ASSERT_EQ(s.add(Order::scrambled, j0, N, N, true, nullptr), 0);
    EXPECT_EQ(s.quantiles, ref.quantiles) << "after allocation " << k << " failed";
  }
}

}  // namespace
}  // namespace qor::test::ss

// Allocation (alignment, failure hook), environment, copying, the message catalogue and the
// default threading tables.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qor/service.h"
#include "service/testing.h"

namespace {

TEST(Allocate, BlocksAreAlignedTo128AndCounted) {
  const long live = qor::serv::live_allocations();
  std::vector<void*> blocks;
  for (size_t size : {size_t(0), size_t(1), size_t(7), size_t(128), size_t(1000), size_t(1) << 20}) {
    void* p = qor_serv_allocate(size, 128);
    ASSERT_NE(p, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 128, 0u) << size;
    std::memset(p, 0xA5, size);  // the whole block is ours (the sanitizer build checks it)
    blocks.push_back(p);
  }
  EXPECT_EQ(qor::serv::live_allocations(), live + long(blocks.size()));
  for (void* p : blocks) qor_serv_deallocate(p);
  qor_serv_deallocate(nullptr);
  EXPECT_EQ(qor::serv::live_allocations(), live);
}

TEST(Allocate, FailureHookFailsExactlyTheKthCall) {
  for (long k : {1L, 2L, 5L}) {
    qor::serv::fail_allocation_number(k);
    std::vector<bool> failed;
    for (long i = 1; i <= k + 2; ++i) {
      EXPECT_EQ(qor::serv::allocation_failure_pending(), i <= k);
      void* p = qor_serv_allocate(16, 128);
      failed.push_back(p == nullptr);
      qor_serv_deallocate(p);
    }
    for (long i = 1; i <= k + 2; ++i) EXPECT_EQ(failed[i - 1], i == k) << "k=" << k << " call " << i;
    EXPECT_FALSE(qor::serv::allocation_failure_pending());
  }
  qor::serv::fail_allocation_number(3);
  qor::serv::fail_allocation_number(0);  // disarmed: nothing fails
  EXPECT_FALSE(qor::serv::allocation_failure_pending());
  for (int i = 0; i < 4; ++i) {
    void* p = qor_serv_allocate(8, 128);
    EXPECT_NE(p, nullptr);
    qor_serv_deallocate(p);
  }
}

TEST(Getenv, CopiesTruncatesAndReportsAbsence) {
  ASSERT_EQ(setenv("QOR_SERVICES_TEST_VAR", "abcdef", 1), 0);
  char buf[8];
  EXPECT_EQ(qor_serv_getenv("QOR_SERVICES_TEST_VAR", buf, 8), 6);
  EXPECT_STREQ(buf, "abcdef");
  EXPECT_EQ(qor_serv_getenv("QOR_SERVICES_TEST_VAR", buf, 7), 6);  // exactly fits with the NUL
  EXPECT_STREQ(buf, "abcdef");
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(qor_serv_getenv("QOR_SERVICES_TEST_VAR", buf, 4), 3);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(buf[4], 'x');  // nothing past the given length
  ASSERT_EQ(unsetenv("QOR_SERVICES_TEST_VAR"), 0);
  std::strcpy(buf, "old");
  EXPECT_LE(qor_serv_getenv("QOR_SERVICES_TEST_VAR", buf, 8), 0);
  EXPECT_STREQ(buf, "");
  std::vector<char> big(256);
  EXPECT_LE(qor_serv_getenv("QOR_SERVICES_TEST_VAR", big.data(), 256), 0);
}

TEST(MemcpyS, CopiesOrRefusesWholesale) {
  const char src[6] = "hello";
  char dst[6] = "-----";
  EXPECT_EQ(qor_serv_memcpy_s(dst, 6, src, 6), 0);
  EXPECT_STREQ(dst, "hello");
  char small[4] = "abc";
  EXPECT_EQ(qor_serv_memcpy_s(small, 3, src, 5), -1);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(qor_serv_memcpy_s(nullptr, 6, src, 6), -1);
  EXPECT_EQ(qor_serv_memcpy_s(dst, 6, nullptr, 6), -1);
  EXPECT_EQ(qor_serv_memcpy_s(dst, 6, src, 0), 0);
}

// Captures what qor_serv_print writes.
class PrintCapture {
 public:
  PrintCapture() : f_(std::tmpfile()) { qor::serv::set_print_stream(f_); }
  ~PrintCapture() {
    qor::serv::set_print_stream(nullptr);
    std::fclose(f_);
  }
  std::string take() {
    std::fflush(f_);
    std::string s;
    std::rewind(f_);
    int c;
    while ((c = std::fgetc(f_)) != EOF) s.push_back(char(c));
    std::fclose(f_);
    f_ = std::tmpfile();
    qor::serv::set_print_stream(f_);
    return s;
  }

 private:
  FILE* f_;
};

TEST(Print, EveryCatalogueMessagePrintsItsArguments) {
  PrintCapture cap;
  // 735: function name and the bad size
  int w = qor_serv_print(1, 735, 2, "vsExp", -12);
  std::string s = cap.take();
  EXPECT_EQ(w, int(s.size()));
  EXPECT_NE(s.find("vsExp"), std::string::npos) << s;
  EXPECT_NE(s.find("-12"), std::string::npos) << s;
  // 736-741: the function name
  for (int m = 736; m <= 741; ++m) {
    w = qor_serv_print(1, m, 1, "vdLn");
    s = cap.take();
    EXPECT_GT(w, 0) << m;
    EXPECT_EQ(w, int(s.size())) << m;
    EXPECT_NE(s.find("vdLn"), std::string::npos) << m << ": " << s;
  }
  // 742-753: element index and value
  for (int m = 742; m <= 753; ++m) {
    w = qor_serv_print(1, m, 2, 17, -2.5);
    s = cap.take();
    EXPECT_EQ(w, int(s.size())) << m;
    EXPECT_NE(s.find("17"), std::string::npos) << m << ": " << s;
    EXPECT_NE(s.find("-2.5"), std::string::npos) << m << ": " << s;
  }
}

TEST(Print, UnknownMessagesAndSelectorsAreRejectedSilently) {
  PrintCapture cap;
  for (int m : {0, 1, 734, 754, 1000, -735}) EXPECT_EQ(qor_serv_print(1, m, 1, "x"), -1) << m;
  EXPECT_EQ(qor_serv_print(2, 736, 1, "x"), -1);
  EXPECT_EQ(qor_serv_print(0, 736, 1, "x"), -1);
  EXPECT_EQ(qor_serv_print(1, 736, 0), -1);
  EXPECT_EQ(qor_serv_print(1, 736, 3, "x", 1, 2), -1);
  EXPECT_EQ(cap.take(), "");
}

// Records how often each item (or thread index) ran and on which thread.
struct Tally {
  std::vector<std::atomic<int>> hits;
  std::atomic<int> bad_thread{0};
  int32_t nthreads;
  Tally(int32_t count, int32_t nt) : hits(size_t(count > 0 ? count : 1)), nthreads(nt) {}
};

class Threading : public ::testing::TestWithParam<const ThreadingServices* (*)()> {};

TEST_P(Threading, EveryItemAndThreadIndexRunsExactlyOnce) {
  const ThreadingServices* ts = GetParam()();
  ASSERT_NE(ts, nullptr);
  ASSERT_NE(ts->parallel_for, nullptr);
  ASSERT_NE(ts->parallel_run, nullptr);
  ASSERT_NE(ts->max_threads, nullptr);
  EXPECT_GE(ts->max_threads(), 1);
  for (int32_t nt : {1, 2, 3, 7}) {
    for (int32_t count : {0, 1, 2, 5, 100}) {
      Tally t(count, nt);
      ts->parallel_for(count, nt, &t, [](int32_t item, int32_t thread, void* arg, void* ctx) {
        auto* t = static_cast<Tally*>(ctx);
        t->hits[size_t(item)].fetch_add(1);
        if (thread < 0 || thread >= t->nthreads || arg != nullptr) t->bad_thread.fetch_add(1);
      });
      for (int32_t i = 0; i < count; ++i) EXPECT_EQ(t.hits[size_t(i)].load(), 1) << nt << " threads, item " << i;
      if (count == 0) {
        EXPECT_EQ(t.hits[0].load(), 0);
      }
      EXPECT_EQ(t.bad_thread.load(), 0);
    }
    Tally t(nt, nt);
    ts->parallel_run(nt, &t, [](int32_t thread, void* unused, int32_t nthreads, void* ctx) {
      auto* t = static_cast<Tally*>(ctx);
      if (thread < 0 || thread >= t->nthreads || nthreads != t->nthreads || unused) {
        t->bad_thread.fetch_add(1);
        return;
      }
      t->hits[size_t(thread)].fetch_add(1);
    });
    for (int32_t i = 0; i < nt; ++i) EXPECT_EQ(t.hits[size_t(i)].load(), 1) << nt << " threads, index " << i;
    EXPECT_EQ(t.bad_thread.load(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, Threading,
                         ::testing::Values(&qor_threading_openmp, &qor_threading_sequential),
                         [](const auto& info) { return info.index == 0 ? "OpenMP" : "Sequential"; });

TEST(Threading, SequentialTableAllowsOneThread) { EXPECT_EQ(qor_threading_sequential()->max_threads(), 1); }

}  // namespace

// The helpers every statistics method shares: storage forms of observations and matrices, and the
// moments method's requirement tables against their documented masks and statuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "statistics/moments/requirements.h"
#include "statistics/storage.h"

namespace {

using qor::ss::Mat;

TEST(ObservationStorage, BitsAndWholeCodes) {
  struct Case {
    int64_t code;
    bool by_bits, rows, exact;
  };
  const Case cases[] = {
      {0x10000, true, true, true},          {0x20000, true, false, true},
      {0x30000, true, true, false},         {0x10000 | 7, true, true, false},
      {int64_t(1) << 32 | 0x20000, true, false, false},
      {0, false, false, false},             {0x8000, false, false, false},
      {-1, true, true, false},              {INT64_MIN, false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    bool rows = !c.rows;
    EXPECT_EQ(qor::ss::observ_storage_by_bits(c.code, &rows), c.by_bits);
    if (c.by_bits) {
      EXPECT_EQ(rows, c.rows);
    }
    EXPECT_EQ(qor::ss::observ_storage_exact(c.code), c.exact);
  }
}

// Entry positions walked in storage order: full row by row; packed 1 row i holding columns 0..i;
// packed 2 row i holding columns i..p-1.
TEST(MatrixStorage, PositionsFollowTheStorageOrder) {
  for (int64_t p : {1, 2, 5, 9}) {
    int64_t k = 0;
    for (int64_t r = 0; r < p; ++r)
      for (int64_t c = 0; c <= r; ++c) EXPECT_EQ(qor::ss::mat_pos(Mat::packed1, p, c, r), k++) << p;
    EXPECT_EQ(k, p * (p + 1) / 2);
    k = 0;
    for (int64_t r = 0; r < p; ++r)
      for (int64_t c = r; c < p; ++c) EXPECT_EQ(qor::ss::mat_pos(Mat::packed2, p, r, c), k++) << p;
    for (int64_t r = 0; r < p; ++r)
      for (int64_t c = r; c < p; ++c) EXPECT_EQ(qor::ss::mat_pos(Mat::full, p, r, c), r * p + c);
  }
}

TEST(MatrixStorage, CodesAreReadByTheirBitsPackedTwoFirst) {
  HoxSSTask narrow{}, wide{};
  const int64_t yes = 1;
  wide.wide_int = &yes;
  EXPECT_EQ(qor::ss::decode_matrix(&narrow, nullptr), Mat::full);
  const struct {
    int64_t code;
    Mat form;
  } cases[] = {{HOX_SS_MATRIX_FULL, Mat::full}, {HOX_SS_MATRIX_PACKED_1, Mat::packed1},
               {HOX_SS_MATRIX_PACKED_2, Mat::packed2}, {3, Mat::packed2}, {5, Mat::packed1},
               {0x10000, Mat::full}, {-1, Mat::packed2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    union {
      int64_t wide;
      int32_t narrow;
    } word{};
    word.narrow = static_cast<int32_t>(c.code);  // a narrow task reads only these 4 bytes
    EXPECT_EQ(qor::ss::decode_matrix(&narrow, &word), c.form);
    EXPECT_EQ(qor::ss::decode_matrix(&wide, &c.code), c.form);
  }
}

// A 5 x 5 matrix over the selected variables 1, 2 and 4: every form writes the selected pairs
// at their positions, leaves the others alone, and reads back what it wrote.
TEST(MatrixStorage, WriteAndReadSelectedVariables) {
  const int64_t p = 5, q = 3;
  const int32_t sel[q] = {1, 2, 4};
  // upper triangle, column-major, leading dimension 4 (one spare row)
  std::vector<double> C(4 * q, -1.0);
  for (int64_t b = 0; b < q; ++b)
    for (int64_t a = 0; a <= b; ++a) C[a + b * 4] = 10.0 * (a + 1) + (b + 1);
  for (Mat form : {Mat::full, Mat::packed1, Mat::packed2}) {
    SCOPED_TRACE(static_cast<int>(form));
    const int64_t size = form == Mat::full ? p * p : p * (p + 1) / 2;
    std::vector<double> out(size, 7.0);
    qor::ss::write_matrix(out.data(), form, p, sel, q, C.data(), 4, 0.5);
    int64_t written = 0;
    for (int64_t i = 0; i < p; ++i)
      for (int64_t j = i; j < p; ++j) {
        int64_t a = -1, b = -1;
        for (int64_t k = 0; k < q; ++k) {
          if (sel[k] == i) a = k;
          if (sel[k] == j) b = k;
        }
        const double want = (a < 0 || b < 0) ? 7.0 : 0.5 * (10.0 * (a + 1) + (b + 1));
        EXPECT_EQ(out[qor::ss::mat_pos(form, p, i, j)], want) << i << "," << j;
        if (form == Mat::full) {
          EXPECT_EQ(out[j * p + i], want) << j << "," << i;
        }
        written += a >= 0 && b >= 0;
      }
    EXPECT_EQ(written, q * (q + 1) / 2);
    std::vector<float> outf(size);
    qor::ss::write_matrix(outf.data(), form, p, sel, q, C.data(), 4, 0.5);
    std::vector<double> back(q * q, 0.0);
    qor::ss::read_matrix(outf.data(), form, p, sel, q, back.data(), 2.0);
    for (int64_t b = 0; b < q; ++b)
      for (int64_t a = 0; a <= b; ++a) EXPECT_EQ(back[a + b * q], C[a + b * 4]) << a << "," << b;
  }
}

// The documented requirement masks of the moments method, in compact-bit order, and the status
// of each missing presence bit.
TEST(MomentsRequirements, TablesAreTheDocumentedMasks) {
  using namespace qor::ss::basic;
  const uint32_t general[] = {0x1, 0x2, 0x4, 0x8, 0x13, 0x27, 0x4f, 0x81, 0x101, 0x25f,
                              0x437, 0x813, 0x1000, 0x2000, 0x4000, 0x8000, 0x10001, 0x20001,
                              0x40001, 0x80001};
  const uint32_t fast[] = {0x1, 0x2, 0x4, 0x8, 0x13, 0x27, 0x4f, 0x81, 0x101, 0x25f,
                           0x437, 0x813, 0x1000, 0x2000, 0x4000, 0x8000, 0x10003, 0x20007,
                           0x4000f, 0x80001};
  const uint32_t conversion[] = {0x1001, 0x2002, 0x4004, 0x8008, 0x10010, 0x20020, 0x40040,
                                 0x80080, 0x80100, 0x251, 0x431, 0x811, 0x100000, 0x100000,
                                 0x100000, 0x100000, 0x100000, 0x100000, 0x100000, 0x100000};
  const uint64_t est[] = {0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x1000, 0x2000, 0x80,
                          0x100, 0x200, 0x2000000, 0x4000000, 0x8000000, 0x10000000,
                          0x20000000, 0x40000000, 0x80000000, 0x100000000};
  const int32_t status[] = {-4006, -4007, -4008, -4009, -4010, -4011, -4012, -4018, -4019, -4013, -4014,
                            -4017, -4074, -4075, -4076, -4077, -4078, -4079, -4080, -4081, -4029};
  for (int b = 0; b < kCompactBits; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(kGeneralTable[b], general[b]);
    EXPECT_EQ(kFastTable[b], fast[b]);
    EXPECT_EQ(kConversionTable[b], conversion[b]);
    EXPECT_EQ(kEstBit[b], est[b]);
  }
  for (int b = 0; b <= kCompactBits; ++b) EXPECT_EQ(kMissingStatus[b], status[b]) << b;
}

TEST(Requirements, TheLowestMissingPresenceBitDecides) {
  const uint64_t est_bit[] = {0x4, 0x1, 0x100000000};
  const uint32_t table[] = {0x1, 0x6, 0x8};  // estimate 2 needs a bit no array sets
  const int32_t status[] = {-10, -11, -12, -13};
  EXPECT_EQ(qor::ss::compact_mask(0x100000005, est_bit), 0x7u);
  EXPECT_EQ(qor::ss::compact_mask(0x2, est_bit), 0u);
  EXPECT_EQ(qor::ss::needed_mask(0x3, table), 0x7u);
  EXPECT_EQ(qor::ss::first_missing(0x7, 0x7, status), 0);
  EXPECT_EQ(qor::ss::first_missing(0x7, 0x1, status), -11);
  EXPECT_EQ(qor::ss::first_missing(0x7, 0x2, status), -10);
  EXPECT_EQ(qor::ss::first_missing(qor::ss::needed_mask(0x4, table), 0x7, status), -13);
}

}  // namespace

// The moments method's estimates, the arrays they need and the statuses of missing ones.
#pragma once

#include <cstdint>

#include "statistics/requirements.h"
#include "statistics/task.h"

namespace qor::ss::basic {

// Compact estimate bits (one per estimate) and presence bits (one per output array): the same
// numbering. Presence bit kCompactBits is never present.
enum Compact : int {
  kMean = 0, kRaw2, kRaw3, kRaw4, kCen2, kCen3, kCen4, kCov, kCor, kKurt, kSkew, kVariation,
  kSum, kRaw2Sum, kRaw3Sum, kRaw4Sum, kCen2Sum, kCen3Sum, kCen4Sum, kCP, kCompactBits
};

constexpr uint64_t kEstBit[kCompactBits] = {
    HOX_SS_EST_MEAN,     HOX_SS_EST_RAW2,     HOX_SS_EST_RAW3,     HOX_SS_EST_RAW4,
    HOX_SS_EST_CEN2,     HOX_SS_EST_CEN3,     HOX_SS_EST_CEN4,     HOX_SS_EST_COV,
    HOX_SS_EST_COR,      HOX_SS_EST_KURTOSIS, HOX_SS_EST_SKEWNESS, HOX_SS_EST_VARIATION,
    HOX_SS_EST_SUM,      HOX_SS_EST_RAW2_SUM, HOX_SS_EST_RAW3_SUM, HOX_SS_EST_RAW4_SUM,
    HOX_SS_EST_CEN2_SUM, HOX_SS_EST_CEN3_SUM, HOX_SS_EST_CEN4_SUM, HOX_SS_EST_CROSS_PRODUCT};

// Presence bits each estimate needs. General: the one-pass and given-mean methods; fast: the
// central sums also need the raw sums they are derived from; conversion (from sums or a
// cross-product already in the task): each moment needs its sum, each derived quantity the
// moments it is made of, and a sum can not be requested.
constexpr uint32_t kGeneralTable[kCompactBits] = {
    bits(kMean), bits(kRaw2), bits(kRaw3), bits(kRaw4),
    bits(kMean, kRaw2, kCen2),                                        // central 2nd
    bits(kMean, kRaw2, kRaw3, kCen3),                                 // central 3rd
    bits(kMean, kRaw2, kRaw3, kRaw4, kCen4),                          // central 4th
    bits(kMean, kCov), bits(kMean, kCor),
    bits(kMean, kRaw2, kRaw3, kRaw4, kCen2, kCen4, kKurt),            // kurtosis
    bits(kMean, kRaw2, kRaw3, kCen2, kCen3, kSkew),                   // skewness
    bits(kMean, kRaw2, kCen2, kVariation),                            // variation
    bits(kSum), bits(kRaw2Sum), bits(kRaw3Sum), bits(kRaw4Sum),
    bits(kMean, kCen2Sum), bits(kMean, kCen3Sum), bits(kMean, kCen4Sum),
    bits(kMean, kCP)};
constexpr uint32_t kFastTable[kCompactBits] = {
    bits(kMean), bits(kRaw2), bits(kRaw3), bits(kRaw4),
    bits(kMean, kRaw2, kCen2),
    bits(kMean, kRaw2, kRaw3, kCen3),
    bits(kMean, kRaw2, kRaw3, kRaw4, kCen4),
    bits(kMean, kCov), bits(kMean, kCor),
    bits(kMean, kRaw2, kRaw3, kRaw4, kCen2, kCen4, kKurt),
    bits(kMean, kRaw2, kRaw3, kCen2, kCen3, kSkew),
    bits(kMean, kRaw2, kCen2, kVariation),
    bits(kSum), bits(kRaw2Sum), bits(kRaw3Sum), bits(kRaw4Sum),
    bits(kMean, kRaw2, kCen2Sum), bits(kMean, kRaw2, kRaw3, kCen3Sum),
    bits(kMean, kRaw2, kRaw3, kRaw4, kCen4Sum),
    bits(kMean, kCP)};
constexpr uint32_t kNeverPresent = bit(kCompactBits);
constexpr uint32_t kConversionTable[kCompactBits] = {
    bits(kMean, kSum), bits(kRaw2, kRaw2Sum), bits(kRaw3, kRaw3Sum), bits(kRaw4, kRaw4Sum),
    bits(kCen2, kCen2Sum), bits(kCen3, kCen3Sum), bits(kCen4, kCen4Sum),
    bits(kCov, kCP), bits(kCor, kCP),
    bits(kMean, kCen2, kCen4, kKurt), bits(kMean, kCen2, kCen3, kSkew), bits(kMean, kCen2, kVariation),
    kNeverPresent, kNeverPresent, kNeverPresent, kNeverPresent,
    kNeverPresent, kNeverPresent, kNeverPresent, kNeverPresent};

// Status of each missing presence bit (the last: the never-present bit).
constexpr int32_t kMissingStatus[kCompactBits + 1] = {
    HOX_SS_ERR_NULL_MEAN,     HOX_SS_ERR_NULL_RAW2,     HOX_SS_ERR_NULL_RAW3,
    HOX_SS_ERR_NULL_RAW4,     HOX_SS_ERR_NULL_CEN2,     HOX_SS_ERR_NULL_CEN3,
    HOX_SS_ERR_NULL_CEN4,     HOX_SS_ERR_NULL_COV,      HOX_SS_ERR_NULL_COR,
    HOX_SS_ERR_NULL_KURTOSIS, HOX_SS_ERR_NULL_SKEWNESS, HOX_SS_ERR_NULL_VARIATION,
    HOX_SS_ERR_NULL_SUM,      HOX_SS_ERR_NULL_RAW2_SUM, HOX_SS_ERR_NULL_RAW3_SUM,
    HOX_SS_ERR_NULL_RAW4_SUM, HOX_SS_ERR_NULL_CEN2_SUM, HOX_SS_ERR_NULL_CEN3_SUM,
    HOX_SS_ERR_NULL_CEN4_SUM, HOX_SS_ERR_NULL_CP,       HOX_SS_ERR_BAD_METHOD};

// The task array of presence bit b.
inline void* array_of(const HoxSSTask* t, int b) {
  if (b <= kCen4) return t->moment[b];
  switch (b) {
    case kCov: return t->cov;
    case kCor: return t->cor;
    case kKurt: return t->kurtosis;
    case kSkew: return t->skewness;
    case kVariation: return t->variation;
    case kCP: return t->cp;
    default: return t->sum[b - kSum];
  }
}

// The presence mask of the task's arrays.
inline uint32_t present_mask(const HoxSSTask* t) {
  uint32_t present = 0;
  for (int b = 0; b < kCompactBits; ++b)
    if (array_of(t, b)) present |= bit(b);
  return present;
}

}  // namespace qor::ss::basic

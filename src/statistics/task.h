// The statistics task record and what every compute method needs to read it.
//
// The record is laid out word by word: on i386 every field is one 32-bit word (376 bytes in
// all); on x86-64 the fields that hold addresses widen to 8 bytes. Addresses are the caller's
// arrays; the task never owns them. Only the internal buffer (`internal`) and the release
// callback belong to the task.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qor/stats.h"

extern "C" {
struct HoxSSTask {
  const void* wide_int;            // 1: non-null -> integers behind addresses are 64-bit
  uint32_t kind;                   // 2: 2 for a statistics task
  int32_t precision;               // 3: 1 double, 0 single
  const void* dimension;           // 4  (id 1)
  const void* observ_n;            // 5  (id 2)
  const void* indices;             // 6  (id 5)
  const void* observ;              // 7  (id 3)
  const void* weights;             // 8  (id 6)
  void* accum_weight;              // 9  (id 23)
  const void* observ_storage;      // 10 (id 4)
  void* paramtr_cor;               // 11 (id 60)
  const void* paramtr_cor_storage; // 12 (id 61)
  void* moment[7];                 // 13..19 mean, raw 2..4, central 2..4 (ids 7..13)
  void* sum[7];                    // 20..26 sum, raw sums 2..4, central sums 2..4 (ids 67..73)
  void* kurtosis;                  // 27 (14)
  void* skewness;                  // 28 (15)
  void* variation;                 // 29 (18)
  void* min;                       // 30 (16)
  void* max;                       // 31 (17)
  const void* cov_storage;         // 32 (20)
  void* cov;                       // 33 (19)
  const void* cor_storage;         // 34 (22)
  void* cor;                       // 35 (21)
  const void* cp_storage;          // 36 (75)
  void* cp;                        // 37 (74)
  const void* group_indc;          // 38 (28)
  const void* group_cov_indc;      // 39 (32)
  void* group_mean;                // 40 (33)
  void* group_cov;                 // 41 (35)
  const void* group_cov_storage;   // 42 (34)
  void* pooled_mean;               // 43 (30)
  void* pooled_cov;                // 44 (31)
  const void* pooled_cov_storage;  // 45 (29)
  const void* quant_order_n;       // 46 (24)
  const void* quant_order;         // 47 (25)
  void* quantiles;                 // 48 (26)
  void* order_stats;               // 49 (27)
  const void* order_stats_storage; // 50 (44)
  const void* squant_order_n;      // 51 (64)
  const void* squant_order;        // 52 (65)
  void* squantiles;                // 53 (66)
  void* squant_state;              // 54 (internal)
  const void* squant_params_n;     // 55 (62)
  const void* squant_params;       // 56 (63)
  void* mnad;                      // 57 (77)
  void* mdad;                      // 58 (76)
  const void* rcov_params_n;       // 59 (37)
  const void* rcov_params;         // 60 (38)
  void* robust_mean;               // 61 (39)
  void* robust_cov;                // 62 (40)
  const void* robust_cov_storage;  // 63 (36)
  const void* out_params_n;        // 64 (41)
  const void* out_params;          // 65 (42)
  void* out_weights;               // 66 (43)
  const void* partial_cov_idx;     // 67 (45)
  void* partial_cov;               // 68 (46)
  const void* partial_cov_storage; // 69 (47)
  void* partial_cor;               // 70 (48)
  const void* partial_cor_storage; // 71 (49)
  const void* mi_params_n;         // 72 (50)
  const void* mi_params;           // 73 (51)
  const void* mi_init_n;           // 74 (52)
  const void* mi_init;             // 75 (53)
  const void* mi_prior_n;          // 76 (58)
  const void* mi_prior;            // 77 (59)
  const void* mi_simul_n;          // 78 (54)
  void* mi_simul;                  // 79 (55)
  const void* mi_estimates_n;      // 80 (56)
  void* mi_estimates;              // 81 (57)
  const void* mahal_first;         // 82: inner tasks of the outlier and robust methods only
  const void* mahal_end;           // 83
  const void* mahal_mean;          // 84
  const void* mahal_inv_cov;       // 85
  void* mahal_out;                 // 86
  void* mahal_reserved;            // 87
  void* mahal_scratch;             // 88
  const void* mahal_scratch_size;  // 89
  int32_t release_count;           // 90: 0 or 1
  void (*release)(HoxSSTask*);     // 91
  void* sorted;                    // 92 (78)
  const void* sorted_storage;      // 93 (79)
  void* internal;                  // 94: the task's own buffer (saved means), or null
};
}

#if defined(__i386__)
static_assert(sizeof(HoxSSTask) == 94 * 4, "statistics task is 94 words on i386");
static_assert(offsetof(HoxSSTask, kind) == 4 && offsetof(HoxSSTask, dimension) == 12);
static_assert(offsetof(HoxSSTask, moment) == 48 && offsetof(HoxSSTask, sum) == 76);
static_assert(offsetof(HoxSSTask, cov_storage) == 124 && offsetof(HoxSSTask, cp) == 144);
static_assert(offsetof(HoxSSTask, mahal_first) == 324 && offsetof(HoxSSTask, release_count) == 356);
static_assert(offsetof(HoxSSTask, internal) == 372);
#elif defined(__x86_64__)
static_assert(offsetof(HoxSSTask, kind) == 8 && offsetof(HoxSSTask, precision) == 12);
static_assert(offsetof(HoxSSTask, dimension) == 16 && offsetof(HoxSSTask, moment) == 88);
static_assert(offsetof(HoxSSTask, release_count) == 704 && offsetof(HoxSSTask, internal) == 736);
static_assert(sizeof(HoxSSTask) == 744);
#endif

namespace qor::ss {

constexpr uint32_t kTaskKind = 2;

// An integer behind one of the task's addresses: 64-bit when the task is wide, else 32-bit
// sign-extended. The address must not be null.
inline int64_t read_int(const HoxSSTask* t, const void* addr) {
  if (t->wide_int) return *static_cast<const int64_t*>(addr);
  return *static_cast<const int32_t*>(addr);
}
// Entry k of an integer array behind one of the task's addresses.
inline int64_t read_int_at(const HoxSSTask* t, const void* addr, int64_t k) {
  if (t->wide_int) return static_cast<const int64_t*>(addr)[k];
  return static_cast<const int32_t*>(addr)[k];
}

}  // namespace qor::ss

// Stream records, chunks and the shared read-only table: creation, copies, state copies,
// deletion, sharing of keyed blocks (also under threads), and allocation failure everywhere.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "rng_test_util.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

using qor::test::Stream;

namespace {

uint32_t next_word(HoxStream s) {
  uint32_t w = 0;
  EXPECT_EQ(_hoxiRngUniformBits(0, s, 1, &w), 0);
  return w;
}

void* block_of(size_t bytes, unsigned char fill) {
  void* p = qor_serv_allocate(bytes, 128);
  std::memset(p, fill, bytes);
  return p;
}

int32_t live_entries_with(const uint32_t* key) {
  HoxRODataEntry e{};
  return __hoxFindGlobRODataTableEntry(&e, key) == 0 ? e.count : 0;
}

TEST(Streams, CreationRefusesAbstractAndUnbuiltGeneratorsWithoutAllocating) {
  const long base = qor::serv::live_allocations();
  int dummy = 0;
  for (int32_t id : {HOX_BRNG_IABSTRACT, HOX_BRNG_DABSTRACT, HOX_BRNG_SABSTRACT, 0x100001, 0x7FF00000, -5, 300}) {
    HoxStream s = &dummy;
    EXPECT_EQ(__hoxNewStreamEx(&s, id, 0, nullptr), HOX_ERR_INVALID_BRNG) << id;
    EXPECT_EQ(s, nullptr);
  }
  BrngProperties p{};
  ASSERT_EQ(__hoxGetBrngProperties(HOX_BRNG_R250, &p), 0);
  if (!p.InitStream) {  // a generator this build does not contain
    HoxStream s = nullptr;
    EXPECT_EQ(__hoxNewStreamEx(&s, HOX_BRNG_R250, 0, nullptr), HOX_ERR_INVALID_BRNG);
  }
  EXPECT_EQ(qor::serv::live_allocations(), base);
}

TEST(Streams, HeaderAndLegacyIdentifiers) {
  const uint32_t seed = 1;
  HoxStream s = nullptr;
  ASSERT_EQ(__hoxNewStreamEx(&s, 0, 1, &seed), 0);  // legacy MCG31M1
  const auto* bytes = static_cast<const unsigned char*>(s);
  int32_t id;
  std::memcpy(&id, bytes, 4);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(bytes[4], 1);  // own flag
  EXPECT_EQ(reinterpret_cast<uintptr_t>(s) % 128, 0u);
  EXPECT_EQ(__hoxGetNumChunks(s), 0);
  EXPECT_EQ(next_word(s), 1u);
  EXPECT_EQ(next_word(s), 1132489760u);
  EXPECT_EQ(__hoxDeleteStream(&s), 0);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(__hoxDeleteStream(&s), 0);
}

TEST(Streams, CopyContinuesIndependently) {
  Stream a(HOX_BRNG_MRG32K3A, {9, 8, 7, 6, 5, 4});
  for (int i = 0; i < 5; ++i) next_word(a);
  HoxStream b = nullptr;
  ASSERT_EQ(__hoxCopyStream(&b, a), 0);
  EXPECT_EQ(__hoxGetStreamStateBrng(b), HOX_BRNG_MRG32K3A);
  std::vector<uint32_t> wa, wb;
  for (int i = 0; i < 10; ++i) wa.push_back(next_word(a));
  for (int i = 0; i < 10; ++i) wb.push_back(next_word(b));
  EXPECT_EQ(wa, wb);
  __hoxDeleteStream(&b);
}

TEST(Streams, CopyStateCopiesTheSeededPartOnly) {
  // The destination keeps its own multiplier (leapfrog s = 3) and takes the source's x.
  Stream src(HOX_BRNG_MCG31, {1}), dst(HOX_BRNG_MCG31, {555});
  ASSERT_EQ(__hoxLeapfrogStream(dst, 0, 3), 0);
  for (int i = 0; i < 4; ++i) next_word(src);  // src now at x_4
  void* data = block_of(8, 0x5A);
  ASSERT_EQ(__hoxAddChunk(src, 42, nullptr, data, 8), 0);
  ASSERT_EQ(__hoxCopyStreamState(dst, src), 0);
  Stream ref(HOX_BRNG_MCG31, {1});
  std::vector<uint32_t> all;
  for (int i = 0; i < 12; ++i) all.push_back(next_word(ref));
  EXPECT_EQ(next_word(dst), all[4]);
  EXPECT_EQ(next_word(dst), all[7]);
  EXPECT_EQ(next_word(dst), all[10]);
  EXPECT_EQ(next_word(src), all[4]);  // the source is untouched
  void* copied = __hoxSearchChunk(dst, 42);
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied, data);
  EXPECT_EQ(std::memcmp(copied, data, 8), 0);
  // Into itself: nothing happens.
  EXPECT_EQ(__hoxCopyStreamState(src, src), 0);
  EXPECT_EQ(__hoxGetNumChunks(src), 1);
  EXPECT_EQ(next_word(src), all[5]);
}

TEST(Chunks, PrivateChunksAreDeepCopiedInReverseOrder) {
  Stream a(HOX_BRNG_MCG31, {3});
  void* blocks[3];
  for (int k = 0; k < 3; ++k) {
    blocks[k] = block_of(24 + 8 * k, static_cast<unsigned char>(0x10 + k));
    ASSERT_EQ(__hoxAddChunk(a, 7 + k, nullptr, blocks[k], 24 + 8 * k), 0);
  }
  EXPECT_EQ(__hoxSearchChunk(a, 7), blocks[0]);
  HoxStream b = nullptr;
  ASSERT_EQ(__hoxCopyStream(&b, a), 0);
  ASSERT_EQ(__hoxGetNumChunks(b), 3);
  // The list of the copy runs in reverse: kinds 7, 8, 9 (the source runs 9, 8, 7).
  struct ChunkView {
    int32_t kind, size;
    void* data;
    ChunkView* next;
  };
  const ChunkView* c = *reinterpret_cast<ChunkView* const*>(static_cast<unsigned char*>(b) + 8);
  for (int k = 0; k < 3; ++k, c = c->next) {
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, 7 + k);
    EXPECT_EQ(c->size, 24 + 8 * k);
    EXPECT_NE(c->data, blocks[k]);
    EXPECT_EQ(std::memcmp(c->data, blocks[k], size_t(c->size)), 0);
  }
  EXPECT_EQ(c, nullptr);
  __hoxDeleteStream(&b);
  EXPECT_EQ(static_cast<unsigned char*>(blocks[2])[0], 0x12);  // the source keeps its blocks
}

TEST(Chunks, SearchCountAndDeleteByKind) {
  Stream a(HOX_BRNG_MCG31, {3});
  EXPECT_EQ(__hoxSearchChunk(a, 1), nullptr);
  const int kinds[] = {1, 2, 1, 3, 1};
  for (int k : kinds) ASSERT_EQ(__hoxAddChunk(a, k, nullptr, block_of(4, 0), 4), 0);
  EXPECT_EQ(__hoxGetNumChunks(a), 5);
  EXPECT_EQ(__hoxDeleteChunksById(a, 1), 0);  // first, middle and last of the list
  EXPECT_EQ(__hoxGetNumChunks(a), 2);
  EXPECT_EQ(__hoxSearchChunk(a, 1), nullptr);
  EXPECT_NE(__hoxSearchChunk(a, 2), nullptr);
  EXPECT_NE(__hoxSearchChunk(a, 3), nullptr);
  EXPECT_EQ(__hoxDeleteChunksById(a, 4), 0);
  EXPECT_EQ(__hoxGetNumChunks(a), 2);
  EXPECT_EQ(__hoxDeleteChunks(a), 0);
  EXPECT_EQ(__hoxGetNumChunks(a), 0);
}

TEST(SharedBlocks, KeyedChunksShareOneBlockFreedByTheLastUser) {
  const long base = qor::serv::live_allocations();
  {
    uint32_t key[4];
    __hoxGenerateNewGlobalRODataTableEntryId(key, 0xABCD);
    EXPECT_EQ(key[2], 0xABCDu);
    EXPECT_EQ(key[3], 0u);
    Stream a(HOX_BRNG_MCG31, {3}), b(HOX_BRNG_MCG59, {3});
    void* shared = block_of(64, 0x77);
    ASSERT_EQ(__hoxAddChunk(a, 13, key, shared, 64), 0);
    EXPECT_EQ(live_entries_with(key), 1);
    // The same key elsewhere: the chunk uses the registered block, not the one passed in.
    void* other = block_of(64, 0x11);
    ASSERT_EQ(__hoxAddChunk(b, 13, key, other, 64), 0);
    qor_serv_deallocate(other);
    EXPECT_EQ(__hoxSearchChunk(b, 13), shared);
    EXPECT_EQ(live_entries_with(key), 2);
    HoxStream c = nullptr;
    ASSERT_EQ(__hoxCopyStream(&c, a), 0);
    EXPECT_EQ(__hoxSearchChunk(c, 13), shared);
    EXPECT_EQ(live_entries_with(key), 3);
    __hoxDeleteStream(&c);
    EXPECT_EQ(live_entries_with(key), 2);
    EXPECT_EQ(static_cast<unsigned char*>(__hoxSearchChunk(a, 13))[63], 0x77);
    __hoxDeleteChunksById(a, 13);
    EXPECT_EQ(live_entries_with(key), 1);
    HoxRODataEntry e{};
    EXPECT_EQ(__hoxFindGlobRODataTableEntry(&e, key), 0);
    EXPECT_EQ(e.data, shared);
  }
  EXPECT_EQ(qor::serv::live_allocations(), base);  // freed exactly once, by the last user
  const uint32_t zero[4] = {0, 0, 0, 0};
  HoxRODataEntry e{};
  EXPECT_EQ(__hoxFindGlobRODataTableEntry(&e, zero), HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND);
  EXPECT_EQ(__hoxFindGlobRODataTableEntry(&e, nullptr), HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND);
  EXPECT_EQ(__hoxUnregisterGlobRODataReference(zero), HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND);
}

TEST(SharedBlocks, AFullTableLeavesNewChunksPrivate) {
  // Fill the table to 127 live entries with blockless entries of our own.
  std::vector<std::array<uint32_t, 4>> keys;
  HoxRODataEntry e{};
  for (uint32_t i = 1; i <= 200; ++i) {
    std::array<uint32_t, 4> k = {0xF00D0000u + i, 0, 0, 0x1234};
    const int32_t st = __hoxCreateGlobRODataTableEntry(&e, k.data(), nullptr);
    if (st == HOX_ERR_RO_TABLE_FULL) break;
    ASSERT_EQ(st, 0);
    EXPECT_EQ(e.count, 1);
    keys.push_back(k);
  }
  ASSERT_LE(keys.size(), 128u);
  // The table is full now (128): one entry out makes 127 live.
  ASSERT_EQ(__hoxUnregisterGlobRODataReference(keys.back().data()), 0);
  keys.pop_back();
  {
    Stream a(HOX_BRNG_MCG31, {3});
    const uint32_t key[4] = {0xBEEF, 1, 2, 3};
    void* data = block_of(16, 1);
    ASSERT_EQ(__hoxAddChunk(a, 5, key, data, 16), 0);
    EXPECT_EQ(__hoxFindGlobRODataTableEntry(&e, key), HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND);
    EXPECT_EQ(__hoxSearchChunk(a, 5), data);  // private, freed with the stream
    const uint32_t extra[4] = {0xBEEF, 9, 9, 9};
    EXPECT_EQ(__hoxCreateGlobRODataTableEntry(&e, extra, nullptr), 0);  // the 128th
    EXPECT_EQ(__hoxCreateGlobRODataTableEntry(&e, key, nullptr), HOX_ERR_RO_TABLE_FULL);
    EXPECT_EQ(__hoxUnregisterGlobRODataReference(extra), 0);
  }
  for (auto& k : keys) EXPECT_EQ(__hoxUnregisterGlobRODataReference(k.data()), 0);
}

TEST(SharedBlocks, ConcurrentCopiesAndDeletesFreeTheBlockOnce) {
  const long base = qor::serv::live_allocations();
  uint32_t key[4];
  __hoxGenerateNewGlobalRODataTableEntryId(key, 77);
  HoxStream src = nullptr;
  const uint32_t seed = 5;
  ASSERT_EQ(__hoxNewStreamEx(&src, HOX_BRNG_MCG31, 1, &seed), 0);
  void* shared = block_of(256, 0x3C);
  ASSERT_EQ(__hoxAddChunk(src, 9, key, shared, 256), 0);
  ASSERT_EQ(__hoxAddChunk(src, 2, nullptr, block_of(16, 0), 16), 0);
  constexpr int kThreads = 4;
  HoxStream own[kThreads];
  for (auto& s : own) ASSERT_EQ(__hoxCopyStream(&s, src), 0);
  const int iters = int(qor::test::scaled(3000, 200));
  std::atomic<int> wrong{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> pool;
  for (int t = 0; t < kThreads; ++t)
    pool.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < iters; ++i) {
        HoxStream c = nullptr, d = nullptr;
        if (__hoxCopyStream(&c, own[t]) != 0 || __hoxCopyStream(&d, c) != 0) ++wrong;
        if (__hoxSearchChunk(d, 9) != shared) ++wrong;
        __hoxDeleteStream(&c);
        if (i % 3 == 0 && __hoxCopyStreamState(own[t], d) != 0) ++wrong;
        __hoxDeleteStream(&d);
      }
      __hoxDeleteStream(&own[t]);  // the last one out frees the block
    });
  go = true;
  __hoxDeleteStream(&src);
  for (auto& th : pool) th.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(live_entries_with(key), 0);
  EXPECT_EQ(qor::serv::live_allocations(), base);
}

TEST(StreamAllocation, EveryAllocationSiteFailsCleanly) {
  uint32_t key[4];
  __hoxGenerateNewGlobalRODataTableEntryId(key, 3);
  // Creation.
  EXPECT_EQ(qor::test::sweep_allocation_failures(
                [] {
                  HoxStream s = nullptr;
                  const uint32_t seed = 1;
                  const int32_t st = __hoxNewStreamEx(&s, HOX_BRNG_MRG32K3A, 1, &seed);
                  if (st == HOX_ERR_NO_MEMORY) {
                    EXPECT_EQ(s, nullptr);
                  }
                  __hoxDeleteStream(&s);
                  return st;
                },
                HOX_ERR_NO_MEMORY),
            1);
  // Copy and state copy of a stream with two private chunks and a shared one.
  HoxStream src = nullptr;
  const uint32_t seed = 1;
  ASSERT_EQ(__hoxNewStreamEx(&src, HOX_BRNG_MCG59, 1, &seed), 0);
  ASSERT_EQ(__hoxAddChunk(src, 1, nullptr, block_of(8, 1), 8), 0);
  ASSERT_EQ(__hoxAddChunk(src, 2, key, block_of(8, 2), 8), 0);
  ASSERT_EQ(__hoxAddChunk(src, 3, nullptr, block_of(8, 3), 8), 0);
  EXPECT_EQ(qor::test::sweep_allocation_failures(
                [&] {
                  HoxStream c = reinterpret_cast<HoxStream>(&src);
                  const int32_t st = __hoxCopyStream(&c, src);
                  if (st == HOX_ERR_NO_MEMORY) {
                    EXPECT_EQ(c, nullptr);
                  }
                  __hoxDeleteStream(&c);
                  return st;
                },
                HOX_ERR_NO_MEMORY),
            6);
  HoxStream dst = nullptr;
  ASSERT_EQ(__hoxNewStreamEx(&dst, HOX_BRNG_MCG59, 1, &seed), 0);
  const long with_dst = qor::serv::live_allocations();
  EXPECT_EQ(qor::test::sweep_allocation_failures(
                [&] {
                  const int32_t st = __hoxCopyStreamState(dst, src);
                  if (st == HOX_ERR_NO_MEMORY) {
                    EXPECT_EQ(__hoxGetNumChunks(dst), 0);
                  }
                  __hoxDeleteChunks(dst);
                  return st;
                },
                HOX_ERR_NO_MEMORY),
            5);
  EXPECT_EQ(qor::serv::live_allocations(), with_dst);
  __hoxDeleteStream(&dst);
  // Attaching a chunk.
  EXPECT_EQ(qor::test::sweep_allocation_failures(
                [&] {
                  void* data = qor_serv_allocate(8, 128);
                  if (!data) return int32_t(HOX_ERR_NO_MEMORY);
                  const int32_t st = __hoxAddChunk(src, 4, nullptr, data, 8);
                  if (st != 0) qor_serv_deallocate(data);
                  __hoxDeleteChunksById(src, 4);
                  return st;
                },
                HOX_ERR_NO_MEMORY),
            2);
  __hoxDeleteStream(&src);
  EXPECT_EQ(live_entries_with(key), 0);
}

}  // namespace

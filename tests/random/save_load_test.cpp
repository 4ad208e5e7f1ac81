// Stream save and load: round trips for every built generator with chunks attached, the exact
// image layout, images built by hand from independent state, every refusal, and allocation
// failure at every load site.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "random/core/save_load.h"
#include "random/core/stream.h"
#include "rng_test_util.h"
#include "service/testing.h"
#include "support/alloc_failure.h"

using qor::test::Gen;
using qor::test::Stream;

namespace {

std::vector<Gen> generators_and_a_family_member() {
  std::vector<Gen> v = qor::test::built_generators();
  v.push_back(Gen{"MT2203_member_2", HOX_BRNG_MT2203 + 2, {5}});
  return v;
}

std::vector<uint32_t> words(HoxStream s, int32_t n) {
  BrngProperties p{};
  EXPECT_EQ(__hoxGetBrngProperties(__hoxGetStreamStateBrng(s), &p), 0);
  std::vector<uint32_t> w(size_t(n) * size_t(p.wordBytes / 4));
  EXPECT_EQ(p.iBRng(s, n, w.data()), 0);
  return w;
}

std::vector<unsigned char> image_of(HoxStream s) {
  const int32_t size = __hoxGetStreamSize(s);
  EXPECT_GT(size, 0);
  std::vector<unsigned char> m(size_t(size) + 64, 0xA5);
  EXPECT_EQ(__hoxSaveStreamM(s, m.data()), 0);
  for (size_t i = size_t(size); i < m.size(); ++i) EXPECT_EQ(m[i], 0xA5) << "written past the image size";
  m.resize(size_t(size));
  return m;
}

std::string temp_path(const char* tag) {
  return std::string(::testing::TempDir()) + "qor_save_load_" + tag + "_" + std::to_string(getpid());
}

void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  if (!bytes.empty()) {  // fwrite's buffer must not be null, even for no bytes
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  }
  std::fclose(f);
}

void* block(size_t bytes, unsigned char fill) {
  void* p = qor_serv_allocate(bytes, 128);
  std::memset(p, fill, bytes);
  return p;
}

struct ChunkView {
  int32_t kind;
  std::vector<unsigned char> data;
};

// Attaches a private chunk of 40 bytes (kind 3), a keyed chunk of 100 bytes (kind 5) and an
// empty private chunk (kind 7); returns the key.
std::vector<uint32_t> attach_chunks(HoxStream s) {
  std::vector<uint32_t> key(4);
  __hoxGenerateNewGlobalRODataTableEntryId(key.data(), 0x5A4E);
  EXPECT_EQ(__hoxAddChunk(s, 3, nullptr, block(40, 0x11), 40), 0);
  EXPECT_EQ(__hoxAddChunk(s, 5, key.data(), block(100, 0x22), 100), 0);
  EXPECT_EQ(__hoxAddChunk(s, 7, nullptr, block(1, 0), 0), 0);
  return key;
}

uint32_t le32(const std::vector<unsigned char>& m, size_t at) {
  return uint32_t(m[at]) | uint32_t(m[at + 1]) << 8 | uint32_t(m[at + 2]) << 16 | uint32_t(m[at + 3]) << 24;
}

class RoundTrip : public ::testing::TestWithParam<Gen> {};

// Save, load (memory and file), continue: the loaded stream continues exactly, carries the same
// chunks in the same order (the keyed one sharing the registered block), and saves to the same
// bytes.
TEST_P(RoundTrip, LoadedStreamContinuesExactly) {
  const Gen& g = GetParam();
  const long base = qor::serv::live_allocations();
  {
    Stream s(g.brng, g.seed);
    words(s, 1003);  // partly used blocks and carry buffers
    const auto key = attach_chunks(s);
    const auto img = image_of(s);
    const std::string path = temp_path(g.name);
    ASSERT_EQ(__hoxSaveStreamF(s, path.c_str(), -1), 0);
    HoxStream fromMem = nullptr, fromFile = nullptr;
    ASSERT_EQ(__hoxLoadStreamM(&fromMem, img.data()), 0);
    // A name given by length need not be terminated.
    std::string padded = path + "XYZ";
    ASSERT_EQ(__hoxLoadStreamF(&fromFile, padded.data(), int32_t(path.size())), 0);
    std::remove(path.c_str());
    const auto expect = words(s, 1000);
    EXPECT_EQ(words(fromMem, 1000), expect);
    EXPECT_EQ(words(fromFile, 1000), expect);
    for (HoxStream t : {fromMem, fromFile}) {
      EXPECT_EQ(__hoxGetStreamStateBrng(t), g.brng);
      EXPECT_EQ(__hoxGetNumChunks(t), 3);
      const auto* h = static_cast<const qor::rng::StreamHeader*>(t);
      std::vector<int32_t> kinds;
      for (const auto* c = h->chunks; c; c = c->next) kinds.push_back(c->kind);
      EXPECT_EQ(kinds, (std::vector<int32_t>{7, 5, 3}));
      EXPECT_EQ(__hoxSearchChunk(t, 5), __hoxSearchChunk(s, 5)) << "keyed chunk shares the registered block";
      EXPECT_EQ(std::memcmp(__hoxSearchChunk(t, 3), std::vector<unsigned char>(40, 0x11).data(), 40), 0);
      EXPECT_NE(__hoxSearchChunk(t, 3), __hoxSearchChunk(s, 3));
    }
    // Saved again after the same draws: the same bytes.
    EXPECT_EQ(image_of(fromMem), image_of(fromFile));
    HoxRODataEntry e{};
    ASSERT_EQ(__hoxFindGlobRODataTableEntry(&e, key.data()), 0);
    EXPECT_EQ(e.count, 3);
    __hoxDeleteStream(&fromMem);
    __hoxDeleteStream(&fromFile);
  }
  EXPECT_EQ(qor::serv::live_allocations(), base);
}

INSTANTIATE_TEST_SUITE_P(Built, RoundTrip, ::testing::ValuesIn(generators_and_a_family_member()),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(SaveLoad, ImageLayout) {
  Stream s(HOX_BRNG_MT19937, {1, 2});
  BrngProperties p{};
  ASSERT_EQ(__hoxGetBrngProperties(HOX_BRNG_MT19937, &p), 0);
  auto m = image_of(s);
  ASSERT_EQ(int32_t(m.size()), p.stateBytes);  // no chunks: exactly stateBytes
  EXPECT_EQ(le32(m, 0), 0x474E5201u);
  EXPECT_EQ(m[4] | m[5] << 8, 16);
  EXPECT_EQ(m[6] | m[7] << 8, p.stateBytes - 16);
  EXPECT_EQ(m[8], 0);
  EXPECT_EQ(m[9], 0);
  EXPECT_EQ(m[10] | m[11] << 8, 0);
  EXPECT_EQ(int32_t(le32(m, 12)), HOX_BRNG_MT19937);
  EXPECT_EQ(std::memcmp(m.data() + 16, static_cast<unsigned char*>(s.s) + 16, m.size() - 16), 0);
  // With chunks: K, and per chunk kind, key, size, data in list order.
  const auto key = attach_chunks(s);
  m = image_of(s);
  EXPECT_EQ(int32_t(m.size()), p.stateBytes + 3 * 24 + 40 + 100);
  EXPECT_EQ(m[8], 3);
  size_t at = size_t(p.stateBytes);
  EXPECT_EQ(le32(m, at), 7u);
  EXPECT_EQ(le32(m, at + 20), 0u);
  at += 24;
  EXPECT_EQ(le32(m, at), 5u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(le32(m, at + 4 + 4 * size_t(i)), key[size_t(i)]);
  EXPECT_EQ(le32(m, at + 20), 100u);
  EXPECT_EQ(m[at + 24], 0x22);
  at += 24 + 100;
  EXPECT_EQ(le32(m, at), 3u);
  EXPECT_EQ(le32(m, at + 20), 40u);
  EXPECT_EQ(__hoxGetStreamSize(nullptr), HOX_ERR_INVALID_BRNG);
}

// Images made here from independently computed states load on either target and continue as
// the generator's definition says: the state layouts of these generators (32-bit words only)
// are the same on i386 and x86-64, so their images move between the two.
TEST(SaveLoad, HandMadeImagesAreReadOnEveryTarget) {
  auto header = [](int32_t id, uint32_t S) {
    std::vector<unsigned char> m(16, 0);
    m[0] = 1, m[1] = 'R', m[2] = 'N', m[3] = 'G', m[4] = 16, m[6] = uint8_t(S), m[7] = uint8_t(S >> 8);
    for (int i = 0; i < 4; ++i) m[12 + size_t(i)] = uint8_t(uint32_t(id) >> (8 * i));
    return m;
  };
  auto add32 = [](std::vector<unsigned char>& m, uint32_t v) {
    for (int i = 0; i < 4; ++i) m.push_back(uint8_t(v >> (8 * i)));
  };
  {  // MCG31M1 at x = 1 with the standard multiplier: 1, 1132489760, 826537482
    auto m = header(HOX_BRNG_MCG31, 8);
    add32(m, 1);
    add32(m, 1132489760);
    HoxStream s = nullptr;
    ASSERT_EQ(__hoxLoadStreamM(&s, m.data()), 0);
    EXPECT_EQ(words(s, 3), (std::vector<uint32_t>{1, 1132489760, 826537482}));
    __hoxDeleteStream(&s);
  }
  {  // MT19937 from the state 0x80000000, 1, 2, ..., 623 (index 624), against the textbook
     // one-word recurrence computed here.
    auto m = header(HOX_BRNG_MT19937, 2500);
    std::vector<uint32_t> mt(624);
    for (uint32_t i = 0; i < 624; ++i) mt[i] = i ? i : 0x80000000u;
    for (uint32_t w : mt) add32(m, w);
    add32(m, 624);
    HoxStream s = nullptr;
    ASSERT_EQ(__hoxLoadStreamM(&s, m.data()), 0);
    const auto got = words(s, 1000);
    for (int k = 0; k < 1000; ++k) {
      const int i = k % 624;
      if (i == 0)
        for (int j = 0; j < 624; ++j) {
          const uint32_t y = (mt[size_t(j)] & 0x80000000u) | (mt[size_t(j + 1) % 624] & 0x7FFFFFFFu);
          mt[size_t(j)] = mt[size_t(j + 397) % 624] ^ (y >> 1) ^ ((y & 1) ? 0x9908B0DFu : 0u);
        }
      uint32_t y = mt[size_t(i)];
      y ^= y >> 11;
      y ^= (y << 7) & 0x9D2C5680u;
      y ^= (y << 15) & 0xEFC60000u;
      y ^= y >> 18;
      ASSERT_EQ(got[size_t(k)], y) << k;
    }
    __hoxDeleteStream(&s);
  }
}

// Version 0 chunk records (no key), the other byte order of the magic, and every refusal, in
// both forms; a refused image leaves a null handle and nothing allocated.
TEST(SaveLoad, RefusalsAndOtherForms) {
  Stream s(HOX_BRNG_MT19937, {9});
  words(s, 10);
  EXPECT_EQ(__hoxAddChunk(s, 4, nullptr, block(8, 0x33), 8), 0);
  const auto good = image_of(s);
  const size_t S = 2500;
  const auto expect = words(s, 20);
  const long base = qor::serv::live_allocations();
  const std::string path = temp_path("refusals");

  auto load_both = [&](const std::vector<unsigned char>& img, int32_t file_status, int32_t mem_status) {
    write_file(path, img);
    HoxStream a = reinterpret_cast<HoxStream>(&a), b = reinterpret_cast<HoxStream>(&b);
    EXPECT_EQ(__hoxLoadStreamF(&a, path.c_str(), -1), file_status);
    std::vector<unsigned char> padded = img;
    padded.resize(img.size() + 4096, 0);  // the unbounded memory loader may read further
    EXPECT_EQ(__hoxLoadStreamM(&b, padded.data()), mem_status);
    if (file_status != 0) {
      EXPECT_EQ(a, nullptr);
    }
    if (mem_status != 0) {
      EXPECT_EQ(b, nullptr);
    }
    for (HoxStream t : {a, b})
      if (t) {
        EXPECT_EQ(words(t, 20), expect);
        __hoxDeleteStream(&t);
      }
  };
  load_both(good, 0, 0);
  {  // version 0: chunk records without the key
    auto v0 = good;
    v0[0] = 0;
    v0.erase(v0.begin() + long(16 + S + 4), v0.begin() + long(16 + S + 20));
    load_both(v0, 0, 0);
  }
  {  // the other byte order of the magic: "RNG" first, the version in byte 3
    auto o = good;
    o[0] = 'R', o[1] = 'N', o[2] = 'G', o[3] = 1;
    ASSERT_EQ(le32(o, 0), 0x01474E52u);
    load_both(o, 0, 0);
    o[3] = 2;
    load_both(o, HOX_ERR_UNSUPPORTED_FILE_VERSION, HOX_ERR_BAD_MEMORY_IMAGE);
  }
  {
    auto v2 = good;
    v2[0] = 2;
    ASSERT_EQ(le32(v2, 0), 0x474E5202u);
    load_both(v2, HOX_ERR_UNSUPPORTED_FILE_VERSION, HOX_ERR_BAD_MEMORY_IMAGE);
  }
  auto bad = [&](auto edit) {
    auto m = good;
    edit(m);
    load_both(m, HOX_ERR_BAD_FILE_FORMAT, HOX_ERR_BAD_MEMORY_IMAGE);
  };
  bad([](auto& m) { m[1] = 'X'; });                                      // magic
  bad([](auto& m) { m[6] = uint8_t(m[6] + 1); });                        // state size + 1
  bad([](auto& m) { m[6] = uint8_t(m[6] - 1); });                        // state size - 1
  bad([](auto& m) { m[4] = 15; });                                       // header size below 16
  bad([](auto& m) { m[12] = 0, m[13] = 0, m[14] = 0x10, m[15] = 1; });  // 0x1100000: not registered
  bad([](auto& m) { m[12] = 0, m[13] = 0, m[14] = 0xB0, m[15] = 0; });  // abstract: holds addresses
  bad([](auto& m) { m[12] = 1; });                                       // MT19937 member 1: none
  {  // a negative chunk size
    auto m = good;
    m[16 + S + 20 + 3] = 0x80;
    load_both(m, HOX_ERR_FILE_READ, HOX_ERR_BAD_MEMORY_IMAGE);
  }
  // Truncated at every length: the file form reports a short read, the bounded memory form a
  // bad image.
  for (size_t len = 0; len < good.size(); len += (len < 40 || len + 40 > good.size()) ? 1 : 97) {
    write_file(path, std::vector<unsigned char>(good.begin(), good.begin() + long(len)));
    HoxStream a = nullptr, b = nullptr;
    ASSERT_EQ(__hoxLoadStreamF(&a, path.c_str(), -1), HOX_ERR_FILE_READ) << len;
    ASSERT_EQ(qor::rng::load_stream_image(&b, good.data(), len), HOX_ERR_BAD_MEMORY_IMAGE) << len;
    ASSERT_EQ(a, nullptr);
    ASSERT_EQ(b, nullptr);
  }
  std::remove(path.c_str());
  // Files that cannot be opened, written or closed; null arguments.
  HoxStream t = nullptr;
  EXPECT_EQ(__hoxLoadStreamF(&t, "/nonexistent-dir/x", -1), HOX_ERR_FILE_OPEN);
  EXPECT_EQ(__hoxSaveStreamF(s, "/nonexistent-dir/x", -1), HOX_ERR_FILE_OPEN);
  if (std::FILE* full = std::fopen("/dev/full", "wb")) {
    std::fclose(full);
    const int32_t st = __hoxSaveStreamF(s, "/dev/full", -1);
    EXPECT_TRUE(st == HOX_ERR_FILE_CLOSE || st == HOX_ERR_FILE_WRITE) << st;
  }
  EXPECT_EQ(__hoxSaveStreamF(nullptr, path.c_str(), -1), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(__hoxSaveStreamM(s, nullptr), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxLoadStreamM(&t, nullptr), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxLoadStreamM(nullptr, good.data()), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(qor::serv::live_allocations(), base);
}

// Allocation failure at every site of a load (the name copy, the record, each chunk record and
// block) gives HOX_ERR_NO_MEMORY, a null handle and nothing allocated.
TEST(SaveLoad, AllocationFailureAtEveryLoadSite) {
  Stream s(HOX_BRNG_SFMT19937, {9});
  words(s, 7);
  attach_chunks(s);
  const auto img = image_of(s);
  const std::string path = temp_path("alloc");
  write_file(path, img);
  HoxStream t = nullptr;
  const int mem_sites = qor::test::sweep_allocation_failures(
      [&] {
        const int32_t st = __hoxLoadStreamM(&t, img.data());
        if (st != 0) {
          EXPECT_EQ(t, nullptr);
        }
        __hoxDeleteStream(&t);
        return st;
      },
      HOX_ERR_NO_MEMORY);
  EXPECT_GE(mem_sites, 6);  // record, then chunk record and block for each of three chunks
  const int file_sites = qor::test::sweep_allocation_failures(
      [&] {
        const int32_t st = __hoxLoadStreamF(&t, path.c_str(), int32_t(path.size()));
        if (st != 0) {
          EXPECT_EQ(t, nullptr);
        }
        __hoxDeleteStream(&t);
        return st;
      },
      HOX_ERR_NO_MEMORY);
  EXPECT_EQ(file_sites, mem_sites + 1);  // and the name copy
  qor::test::sweep_allocation_failures([&] { return __hoxSaveStreamF(s, path.c_str(), int32_t(path.size())); },
                                       HOX_ERR_NO_MEMORY);
  std::remove(path.c_str());
}

}  // namespace

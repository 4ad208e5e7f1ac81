// Stream save and load: one image format for files and caller memory.
//
//   offset 0   version (1)            offset 8   chunk count K (16 bits)
//          1   "RNG"                         10  0
//          4   header size 16 (16 bits)      12  generator identifier
//          6   state size S (16 bits)        16  S state bytes, then K chunk records:
//   version 1: kind (4), key (16), size L (4, signed), L data bytes; version 0: no key.
//
// Nothing here knows a generator: the state is the registry row's stateBytes - 16 bytes after
// the stream header, copied as they lie, and chunks are whatever the stream carries. Every
// generator, built-in or registered, saves and loads the same way.
//
// Both forms share one writer and one reader over a byte mover: a FILE (fwrite/fread, every
// shortfall a status) or a memory position (base, offset and, for the internal bounded
// reader, a limit beyond which nothing is read).

#include <cstdio>
#include <cstring>

#include "qor/service.h"
#include "random/core/save_load.h"
#include "random/core/stream.h"

namespace qor::rng {
namespace {

constexpr uint32_t kMagic = 0x474E5200u;  // "RNG" in bytes 1..3
constexpr uint32_t kMagicOther = 0x474E52u;  // "RNG" in bytes 0..2, the version in byte 3
constexpr uint32_t kHeaderBytes = 16;

bool is_abstract(int32_t row, const BrngProperties* table) {
  int32_t r = 0, m = 0;
  return table == __hoxGetBrngBaseOffset(HOX_BRNG_INC, &r, &m) && row >= 9 && row <= 11;
}

// The two movers behind one interface: io.file is set for the file form.
struct Io {
  FILE* file = nullptr;
  HoxMemoryPosition* mem = nullptr;
  bool memory() const { return !file; }
  int32_t put(const void* p, size_t bytes) {
    if (bytes == 0) return 0;
    return memory() ? __hoxSaveToMemory(mem, p, 1, int32_t(bytes)) : __hoxSaveToFile(file, p, int32_t(bytes), 1);
  }
  int32_t get(void* p, size_t bytes) {
    if (bytes == 0) return 0;
    if (bytes > 0x7FFFFFFF) return memory() ? HOX_ERR_BAD_MEMORY_IMAGE : HOX_ERR_FILE_READ;
    // The reader table: entry 0 reads a file, entry 1 memory.
    using Reader = int32_t (*)(void*, void*, int32_t, int32_t);
    static const Reader kReaders[2] = {
        [](void* src, void* dst, int32_t size, int32_t count) { return __hoxLoadFromFile(src, dst, size, count); },
        [](void* src, void* dst, int32_t size, int32_t count) {
          return __hoxLoadFromMemory(static_cast<HoxMemoryPosition*>(src), dst, size, count);
        }};
    return kReaders[memory()](memory() ? static_cast<void*>(mem) : static_cast<void*>(file), p, int32_t(bytes), 1);
  }
  int32_t bad_format() const { return memory() ? HOX_ERR_BAD_MEMORY_IMAGE : HOX_ERR_BAD_FILE_FORMAT; }
  int32_t bad_version() const { return memory() ? HOX_ERR_BAD_MEMORY_IMAGE : HOX_ERR_UNSUPPORTED_FILE_VERSION; }
  int32_t short_read() const { return memory() ? HOX_ERR_BAD_MEMORY_IMAGE : HOX_ERR_FILE_READ; }
};

inline void put16(unsigned char* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline uint32_t get16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t get32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The row of a stream that can be saved, or null.
const BrngProperties* saveable(HoxStream s) { return row_of_stream(s); }

int32_t chunk_count(HoxStream s) {
  int64_t n = 0;
  for (const Chunk* c = header(s)->chunks; c; c = c->next) ++n;
  return n > 0xFFFF ? -1 : int32_t(n);
}

int32_t write_image(HoxStream s, Io& io) {
  const BrngProperties* row = saveable(s);
  if (!row) return HOX_ERR_INVALID_BRNG;
  const int32_t K = chunk_count(s);
  if (K < 0) return HOX_ERR_BAD_ARGUMENT;  // more chunks than the 16-bit count holds
  for (const Chunk* c = header(s)->chunks; c; c = c->next)
    if (c->size < 0 || (c->size > 0 && !c->data)) return HOX_ERR_BAD_ARGUMENT;
  const uint32_t S = uint32_t(row->stateBytes > 16 ? row->stateBytes - 16 : 0);
  unsigned char h[kHeaderBytes] = {};
  put32(h, kMagic | 1u);
  put16(h + 4, kHeaderBytes);
  put16(h + 6, S & 0xFFFF);
  put16(h + 8, uint32_t(K));
  put32(h + 12, uint32_t(header(s)->brng));
  int32_t status = io.put(h, sizeof h);
  if (status == 0) status = io.put(static_cast<const unsigned char*>(s) + sizeof(StreamHeader), S);
  for (const Chunk* c = header(s)->chunks; c && status == 0; c = c->next) {
    unsigned char r[24];
    put32(r, uint32_t(c->kind));
    for (int i = 0; i < 4; ++i) put32(r + 4 + 4 * i, c->key[i]);
    put32(r + 20, uint32_t(c->size));
    status = io.put(r, sizeof r);
    if (status == 0) status = io.put(c->data, size_t(c->size));
  }
  return status;
}

// Reverses a stream's chunk list (attaching prepends; the image lists them in stream order).
void reverse_chunks(HoxStream s) {
  Chunk* prev = nullptr;
  for (Chunk* c = header(s)->chunks; c;) {
    Chunk* next = c->next;
    c->next = prev;
    prev = c;
    c = next;
  }
  header(s)->chunks = prev;
}

int32_t read_chunks(HoxStream s, Io& io, uint32_t K, uint32_t version) {
  if (version > 1) return io.short_read();  // the record form is unknown
  for (uint32_t k = 0; k < K; ++k) {
    unsigned char r[24];
    const size_t head = version == 1 ? 24 : 8;
    if (io.get(r, head) != 0) return io.short_read();
    uint32_t key[4] = {0, 0, 0, 0};
    const int32_t kind = int32_t(get32(r));
    if (version == 1)
      for (int i = 0; i < 4; ++i) key[i] = get32(r + 4 + 4 * i);
    const int32_t L = int32_t(get32(r + head - 4));
    if (L < 0) return io.short_read();
    void* data = qor_serv_allocate(L > 0 ? size_t(L) : 1, 128);
    if (!data) return HOX_ERR_NO_MEMORY;
    if (io.get(data, size_t(L)) != 0) {
      qor_serv_deallocate(data);
      return io.short_read();
    }
    const int32_t status = __hoxAddChunk(s, kind, key, data, L);
    if (status != 0) {
      qor_serv_deallocate(data);
      return status;
    }
    // A key the shared table already held: the chunk uses the registered block.
    if (header(s)->chunks->data != data) qor_serv_deallocate(data);
  }
  reverse_chunks(s);
  return 0;
}

int32_t read_image(HoxStream* out, Io& io) {
  unsigned char h[kHeaderBytes];
  if (io.get(h, sizeof h) != 0) return io.short_read();
  const uint32_t word = get32(h);
  uint32_t version;
  if ((word & 0xFFFFFF00u) == kMagic)
    version = word & 0xFF;
  else if ((word & 0xFFFFFFu) == kMagicOther)
    version = word >> 24;
  else
    return io.bad_format();
  if ((word & 0xFF) > 1 && (word >> 24) > 1) return io.bad_version();
  const int32_t brng = int32_t(get32(h + 12));
  int32_t row_index = 0, member = 0;
  const BrngProperties* table = __hoxGetBrngBaseOffset(brng, &row_index, &member);
  if (__hoxIsBrngValid(table, row_index, member) != 0) return io.bad_format();
  const BrngProperties* row = &table[row_index];
  // Generators without functions have no stream to load into; abstract streams hold
  // addresses (buffer, callback) that must never come from an image.
  if (!row->InitStream || is_abstract(row_index, table)) return io.bad_format();
  const uint32_t S = uint32_t(row->stateBytes > 16 ? row->stateBytes - 16 : 0);
  if (get16(h + 6) != (S & 0xFFFF) || get16(h + 4) < kHeaderBytes) return io.bad_format();
  HoxStream s = nullptr;
  int32_t status = __hoxAllocateStream(&s, table, brng, row_index, member);
  if (status != 0) return status;
  if (io.get(static_cast<unsigned char*>(s) + sizeof(StreamHeader), S) != 0) status = io.short_read();
  if (status == 0 && brng == HOX_BRNG_NONDETERM && !__hoxCPUisRDRAND()) status = HOX_ERR_NO_RDRAND;
  if (status == 0 && brng == HOX_BRNG_ARS5 && !__hoxCPUisAES()) status = HOX_ERR_NO_AES;
  if (status == 0) status = read_chunks(s, io, get16(h + 8), version);
  if (status != 0) {
    __hoxDeleteStream(&s);
    return status;
  }
  *out = s;
  return 0;
}

// The file name as a zero-terminated string: copied when its length is given.
struct Name {
  char* copy = nullptr;
  const char* name = nullptr;
  int32_t status = 0;
  Name(const char* n, int32_t length) {
    if (!n) {
      status = HOX_ERR_BAD_ARGUMENT;
      return;
    }
    if (length < 0) {
      name = n;
      return;
    }
    copy = static_cast<char*>(qor_serv_allocate(size_t(length) + 1, 128));
    if (!copy) {
      status = HOX_ERR_NO_MEMORY;
      return;
    }
    std::memcpy(copy, n, size_t(length));
    copy[length] = '\0';
    name = copy;
  }
  ~Name() { qor_serv_deallocate(copy); }
  Name(const Name&) = delete;
  Name& operator=(const Name&) = delete;
};

}  // namespace

int32_t load_stream_image(HoxStream* stream, const void* memory, uint64_t limit) {
  if (!stream) return HOX_ERR_BAD_ARGUMENT;
  *stream = nullptr;
  if (!memory) return HOX_ERR_BAD_ARGUMENT;
  HoxMemoryPosition pos{static_cast<unsigned char*>(const_cast<void*>(memory)), 0, limit};
  Io io;
  io.mem = &pos;
  return read_image(stream, io);
}

}  // namespace qor::rng

using namespace qor::rng;

extern "C" {

QOR_API int32_t __hoxSaveToFile(void* file, const void* data, int32_t size, int32_t count) {
  if (size <= 0 || count <= 0) return 0;
  return std::fwrite(data, size_t(size), size_t(count), static_cast<FILE*>(file)) == size_t(count) ? 0
                                                                                                   : HOX_ERR_FILE_WRITE;
}

QOR_API int32_t __hoxLoadFromFile(void* file, void* data, int32_t size, int32_t count) {
  if (size <= 0 || count <= 0) return 0;
  return std::fread(data, size_t(size), size_t(count), static_cast<FILE*>(file)) == size_t(count) ? 0
                                                                                                  : HOX_ERR_FILE_READ;
}

QOR_API int32_t __hoxSaveToMemory(HoxMemoryPosition* pos, const void* data, int32_t size, int32_t count) {
  if (size <= 0 || count <= 0) return 0;
  const uint64_t bytes = uint64_t(size) * uint64_t(count);
  std::memcpy(pos->base + pos->offset, data, size_t(bytes));
  pos->offset += bytes;
  return 0;
}

// Always 0 for an unbounded position (the public loader's); a bounded one refuses to read past
// its limit.
QOR_API int32_t __hoxLoadFromMemory(HoxMemoryPosition* pos, void* data, int32_t size, int32_t count) {
  if (size <= 0 || count <= 0) return 0;
  const uint64_t bytes = uint64_t(size) * uint64_t(count);
  if (pos->offset > pos->limit || bytes > pos->limit - pos->offset) return HOX_ERR_BAD_MEMORY_IMAGE;
  std::memcpy(data, pos->base + pos->offset, size_t(bytes));
  pos->offset += bytes;
  return 0;
}

QOR_API int32_t __hoxSkipLoadingFromFile(void* file, int32_t bytes) {
  return std::fseek(static_cast<FILE*>(file), long(bytes), SEEK_CUR) == 0 ? 0 : HOX_ERR_FILE_READ;
}

QOR_API int32_t __hoxSkipLoadingFromMemory(HoxMemoryPosition* pos, int32_t bytes) {
  pos->offset += uint64_t(int64_t(bytes));
  return 0;
}

QOR_API int32_t __hoxGetStreamSize(HoxStream stream) {
  const BrngProperties* row = saveable(stream);
  if (!row) return HOX_ERR_INVALID_BRNG;
  int64_t bytes = row->stateBytes > 16 ? row->stateBytes : 16;
  for (const Chunk* c = header(stream)->chunks; c; c = c->next) {
    bytes += 24 + (c->size > 0 ? c->size : 0);
    if (bytes > 0x7FFFFFFF) return HOX_ERR_BAD_ARGUMENT;  // no 32-bit size holds the image
  }
  return int32_t(bytes);
}

QOR_API int32_t __hoxSaveStreamM(HoxStream stream, void* memory) {
  if (!memory) return HOX_ERR_BAD_ARGUMENT;
  HoxMemoryPosition pos{static_cast<unsigned char*>(memory), 0, ~uint64_t(0)};
  Io io;
  io.mem = &pos;
  return write_image(stream, io);
}

QOR_API int32_t __hoxLoadStreamM(HoxStream* stream, const void* memory) {
  return load_stream_image(stream, memory, ~uint64_t(0));
}

QOR_API int32_t __hoxSaveStreamF(HoxStream stream, const char* name, int32_t nameLength) {
  const Name n(name, nameLength);
  if (n.status != 0) return n.status;
  if (!saveable(stream)) return HOX_ERR_INVALID_BRNG;
  FILE* f = std::fopen(n.name, "wb");
  if (!f) return HOX_ERR_FILE_OPEN;
  Io io;
  io.file = f;
  int32_t status = write_image(stream, io);
  if (std::fclose(f) != 0) status = HOX_ERR_FILE_CLOSE;
  return status;
}

QOR_API int32_t __hoxLoadStreamF(HoxStream* stream, const char* name, int32_t nameLength) {
  if (!stream) return HOX_ERR_BAD_ARGUMENT;
  *stream = nullptr;
  const Name n(name, nameLength);
  if (n.status != 0) return n.status;
  FILE* f = std::fopen(n.name, "rb");
  if (!f) return HOX_ERR_FILE_OPEN;
  Io io;
  io.file = f;
  int32_t status = read_image(stream, io);
  if (std::fclose(f) != 0 && status == 0) {
    __hoxDeleteStream(stream);
    status = HOX_ERR_FILE_CLOSE;
  }
  return status;
}

}  // extern "C"

// Stream records, chunks and the registry rows as the random-number side lays them out.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qor/rng.h"

namespace qor::rng {

// Common 16-byte header of every stream record (the same size on both targets). On i386 it is
// brng, ownFlag, 3 reserved bytes, chunks, chunkAux; on x86-64 the chunk pointer widens to 8
// bytes, so chunkAux shrinks to the 16-bit field after the flag.
struct Chunk;
#if defined(__i386__)
struct StreamHeader {
  int32_t brng;
  uint8_t ownFlag;
  uint8_t reserved[3];
  Chunk* chunks;
  uint32_t chunkAux;
};
static_assert(offsetof(StreamHeader, chunks) == 8 && offsetof(StreamHeader, chunkAux) == 12);
#else
struct StreamHeader {
  int32_t brng;
  uint8_t ownFlag;
  uint8_t reserved;
  uint16_t chunkAux;
  Chunk* chunks;
};
static_assert(offsetof(StreamHeader, chunks) == 8);
#endif
static_assert(sizeof(StreamHeader) == 16 && offsetof(StreamHeader, ownFlag) == 4);

// A chunk: 32 bytes on i386 (the pointers widen on x86-64).
struct Chunk {
  int32_t kind;
  int32_t size;
  void* data;
  Chunk* next;
  uint32_t key[4];
};
#if defined(__i386__)
static_assert(sizeof(Chunk) == 32 && offsetof(Chunk, data) == 8 && offsetof(Chunk, next) == 12 &&
              offsetof(Chunk, key) == 16);
#else
static_assert(sizeof(Chunk) == 40 && offsetof(Chunk, key) == 24);
#endif

// Registry rows: nine 32-bit fields on i386 (the four function pointers widen on x86-64).
#if defined(__i386__)
static_assert(sizeof(BrngProperties) == 36 && offsetof(BrngProperties, InitStream) == 20 &&
              offsetof(BrngProperties, iBRng) == 32);
#endif

inline StreamHeader* header(HoxStream s) { return static_cast<StreamHeader*>(s); }

// The generator state of a stream: `State` placed right after the header.
template <class State>
inline State* state_of(HoxStream s) {
  return reinterpret_cast<State*>(static_cast<unsigned char*>(s) + sizeof(StreamHeader));
}

// The registry row of a stream's identifier, or null when the stream is null or its identifier
// names no valid row.
const BrngProperties* row_of_stream(HoxStream s, int32_t* row_index = nullptr);
// The registry row of an identifier, or null.
const BrngProperties* row_of_id(int32_t brng, int32_t* row_index = nullptr);

// The check every output entry (a generator's row functions, every distribution) makes before it
// touches the stream: a request for n > 0 results into a null buffer is refused with
// HOX_ERR_BAD_ARGUMENT; n <= 0 writes nothing, so any buffer will do.
inline bool null_output(int32_t n, const void* r) { return n > 0 && !r; }

// Chunk-list helpers shared by the stream functions.
void release_chunk(Chunk* c);
inline bool key_is_zero(const uint32_t* k) { return !k || (k[0] | k[1] | k[2] | k[3]) == 0; }

}  // namespace qor::rng

// Stream records: creation, copy, state copy, deletion, and the skip-ahead and leapfrog
// requests. Every generator-specific step goes through the stream's registry row.
#include <algorithm>
#include <cstring>

#include "qor/service.h"
#include "random/core/stream.h"

namespace qor::rng {
namespace {

bool is_abstract_id(int32_t brng) {
  return brng == HOX_BRNG_IABSTRACT || brng == HOX_BRNG_DABSTRACT || brng == HOX_BRNG_SABSTRACT;
}

// Bytes of a record of `row`: its stateBytes (a non-negative 32-bit count, so it fits size_t on
// both targets), at least the header.
size_t record_bytes(const BrngProperties* row) {
  return std::max<size_t>(size_t(std::max<int32_t>(row->stateBytes, 0)), sizeof(StreamHeader));
}

size_t state_area_bytes(const BrngProperties* row) { return record_bytes(row) - sizeof(StreamHeader); }

// Allocates a zeroed record for `row` with its header filled; null when memory runs out.
HoxStream allocate_record(const BrngProperties* row, int32_t brng) {
  const size_t bytes = record_bytes(row);
  void* p = qor_serv_allocate(bytes, 128);
  if (!p) return nullptr;
  std::memset(p, 0, bytes);
  StreamHeader* h = header(p);
  h->brng = brng;
  h->ownFlag = 1;
  return p;
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

extern "C" QOR_API int32_t __hoxAllocateStream(HoxStream* stream, const BrngProperties* table,
                                             int32_t brng, int32_t row, int32_t member) {
  if (!stream) return HOX_ERR_BAD_ARGUMENT;
  *stream = nullptr;
  if (__hoxIsBrngValid(table, row, member) != 0) return HOX_ERR_INVALID_BRNG;
  *stream = allocate_record(&table[row], brng);
  return *stream ? 0 : HOX_ERR_NO_MEMORY;
}

extern "C" QOR_API int32_t __hoxNewStreamEx(HoxStream* stream, int32_t brng, int32_t n,
                                          const uint32_t* params) {
  if (!stream) return HOX_ERR_BAD_ARGUMENT;
  *stream = nullptr;
  if (is_abstract_id(brng)) return HOX_ERR_INVALID_BRNG;
  const BrngProperties* row = row_of_id(brng);
  if (!row || !row->InitStream) return HOX_ERR_INVALID_BRNG;
  *stream = allocate_record(row, brng);
  if (!*stream) return HOX_ERR_NO_MEMORY;
  return row->InitStream(HOX_INIT_METHOD_STANDARD, *stream, n, params);
}

extern "C" QOR_API int32_t __hoxCopyStream(HoxStream* copy, HoxStream source) {
  if (!copy || !source) return HOX_ERR_BAD_ARGUMENT;
  *copy = nullptr;
  const int32_t brng = header(source)->brng;
  const BrngProperties* row = row_of_id(brng);
  if (!row) return HOX_ERR_INVALID_BRNG;
  HoxStream s = allocate_record(row, brng);
  if (!s) return HOX_ERR_NO_MEMORY;
  std::memcpy(s, source, record_bytes(row));
  header(s)->chunks = nullptr;
  header(s)->chunkAux = 0;
  const int32_t status = __hoxCopyChunks(s, source);
  if (status != 0) {
    qor_serv_deallocate(s);
    return status;
  }
  *copy = s;
  return 0;
}

extern "C" QOR_API int32_t __hoxCopyStreamState(HoxStream destination, HoxStream source) {
  if (destination == source) return 0;
  if (!destination || !source) return HOX_ERR_BAD_ARGUMENT;
  const BrngProperties* row = row_of_stream(source);
  const BrngProperties* to = row_of_stream(destination);
  if (!row || !to) return HOX_ERR_INVALID_BRNG;
  // The seeded part of the state (by the source's generator), within both records' state areas:
  // the identifiers are not compared, so the destination may be a smaller generator. Whatever
  // lies beyond (for example the current multiplier of a congruential generator) keeps the
  // destination's value.
  int64_t bytes = int64_t(row->wordBytes) * row->seedWords;
  bytes = std::min<int64_t>(bytes, int64_t(state_area_bytes(row)));
  bytes = std::min<int64_t>(bytes, int64_t(state_area_bytes(to)));
  // A destination without seed words (the abstract kinds) holds no generator state but its
  // buffer's address, size, read position and callback: nothing is copied into it, so that no
  // other generator's numbers become its pointers.
  if (to->seedWords == 0) bytes = 0;
  // The source's chunks are copied onto a detached list first, so that a failing copy leaves
  // the destination as it was.
  StreamHeader copies{};
  const int32_t status = __hoxCopyChunks(&copies, source);
  if (status != 0) return status;
  if (bytes > 0)
    std::memcpy(static_cast<unsigned char*>(destination) + sizeof(StreamHeader),
                static_cast<unsigned char*>(source) + sizeof(StreamHeader), size_t(bytes));
  __hoxDeleteChunks(destination);
  header(destination)->chunks = copies.chunks;
  return 0;
}

extern "C" QOR_API int32_t __hoxDeleteStream(HoxStream* stream) {
  if (!stream) return HOX_ERR_BAD_ARGUMENT;
  if (!*stream) return 0;
  __hoxDeleteChunks(*stream);
  qor_serv_deallocate(*stream);
  *stream = nullptr;
  return 0;
}

extern "C" QOR_API int32_t __hoxSkipAheadStream(HoxStream stream, uint64_t nskip) {
  const BrngProperties* row = row_of_stream(stream);
  if (!row || !row->InitStream) return HOX_ERR_INVALID_BRNG;
  const uint32_t words[2] = {static_cast<uint32_t>(nskip), static_cast<uint32_t>(nskip >> 32)};
  return row->InitStream(HOX_INIT_METHOD_SKIPAHEAD, stream, 2, words);
}

extern "C" QOR_API int32_t __hoxLeapfrogStream(HoxStream stream, int32_t k, int32_t nstreams) {
  if (nstreams < 0) return HOX_ERR_LEAPFROG_NSTREAMS;
  const BrngProperties* row = row_of_stream(stream);
  if (!row || !row->InitStream) return HOX_ERR_INVALID_BRNG;
  const uint32_t index = static_cast<uint32_t>(k);
  return row->InitStream(HOX_INIT_METHOD_LEAPFROG, stream, nstreams, &index);
}

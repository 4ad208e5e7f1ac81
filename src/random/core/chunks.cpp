// Chunks: data blocks hung off a stream, and the process-wide table that shares read-only
// blocks between streams by a 16-byte key, counting their users. The table is the only lock
// of the library: a spin lock taken around every read and write of it.
#include <x86intrin.h>

#include <cstring>

#include "qor/service.h"
#include "random/core/stream.h"

namespace qor::rng {
namespace {

constexpr int kTableEntries = 128;

struct ROEntry {
  uint32_t key[4];
  int32_t count;
  void* data;
};
#if defined(__i386__)
static_assert(sizeof(ROEntry) == 24);
#endif

}  // namespace
}  // namespace qor::rng

// The table, its live count (entries 0 .. count-1, no gaps) and its lock word (0 free, 1 held).
static qor::rng::ROEntry _GlobRODataTable[qor::rng::kTableEntries];
static int32_t _GlobRODataTableCount = 0;
static int32_t _HOX_GLOB_RO_DATA_TABLE_LOCKER_1 = 0;

namespace qor::rng {
namespace {

struct TableLock {
  TableLock() {
    int32_t expected = 0;
    while (!__atomic_compare_exchange_n(&_HOX_GLOB_RO_DATA_TABLE_LOCKER_1, &expected, 1, false,
                                        __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
      expected = 0;
      _mm_pause();
    }
  }
  ~TableLock() { __atomic_store_n(&_HOX_GLOB_RO_DATA_TABLE_LOCKER_1, 0, __ATOMIC_RELEASE); }
  TableLock(const TableLock&) = delete;
  TableLock& operator=(const TableLock&) = delete;
};

// Index of the live entry with `key`, or -1. Call with the lock held.
int find_locked(const uint32_t* key) {
  for (int i = 0; i < _GlobRODataTableCount; ++i)
    if (std::memcmp(_GlobRODataTable[i].key, key, 16) == 0) return i;
  return -1;
}

void copy_out(HoxRODataEntry* out, const ROEntry& e) {
  if (!out) return;
  std::memcpy(out->key, e.key, 16);
  out->count = e.count;
  out->data = e.data;
}

// Drops one reference of `key`. Returns false when the key is not in the table.
bool unregister(const uint32_t* key) {
  void* to_free = nullptr;
  {
    TableLock lock;
    const int i = find_locked(key);
    if (i < 0) return false;
    if (--_GlobRODataTable[i].count == 0) {
      to_free = _GlobRODataTable[i].data;
      _GlobRODataTable[i] = _GlobRODataTable[_GlobRODataTableCount - 1];
      --_GlobRODataTableCount;
    }
  }
  qor_serv_deallocate(to_free);
  return true;
}

}  // namespace

void release_chunk(Chunk* c) {
  if (key_is_zero(c->key) || !unregister(c->key)) qor_serv_deallocate(c->data);
  qor_serv_deallocate(c);
}

}  // namespace qor::rng

using namespace qor::rng;

extern "C" QOR_API int32_t __hoxFindGlobRODataTableEntry(HoxRODataEntry* entry, const uint32_t* key) {
  if (key_is_zero(key)) return HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND;
  TableLock lock;
  const int i = find_locked(key);
  if (i < 0) return HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND;
  copy_out(entry, _GlobRODataTable[i]);
  return 0;
}

extern "C" QOR_API int32_t __hoxCreateGlobRODataTableEntry(HoxRODataEntry* entry, const uint32_t* key,
                                                         void* data) {
  if (key_is_zero(key)) return HOX_ERR_BAD_ARGUMENT;
  TableLock lock;
  if (_GlobRODataTableCount >= kTableEntries) return HOX_ERR_RO_TABLE_FULL;
  ROEntry& e = _GlobRODataTable[_GlobRODataTableCount++];
  std::memcpy(e.key, key, 16);
  e.count = 1;
  e.data = data;
  copy_out(entry, e);
  return 0;
}

extern "C" QOR_API int32_t __hoxRegisterGlobRODataReference(void* chunk, const uint32_t* key) {
  if (key_is_zero(key)) return HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND;
  TableLock lock;
  const int i = find_locked(key);
  if (i < 0) return HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND;
  ++_GlobRODataTable[i].count;
  static_cast<Chunk*>(chunk)->data = _GlobRODataTable[i].data;
  return 0;
}

extern "C" QOR_API int32_t __hoxUnregisterGlobRODataReference(const uint32_t* key) {
  if (key_is_zero(key) || !unregister(key)) return HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND;
  return 0;
}

extern "C" QOR_API void __hoxGenerateNewGlobalRODataTableEntryId(uint32_t* key, uint32_t tag) {
  for (;;) {
    const uint64_t t = __rdtsc();
    key[0] = static_cast<uint32_t>(t);
    key[1] = static_cast<uint32_t>(t >> 32);
    key[2] = tag;
    key[3] = 0;
    if (key_is_zero(key)) continue;
    TableLock lock;
    if (find_locked(key) < 0) return;
  }
}

// ---- chunk lists -------------------------------------------------------------------------
// A null stream has no chunks: searching finds none, counting gives 0, deleting does nothing;
// adding to it or copying from or to it is refused with HOX_ERR_BAD_ARGUMENT.

extern "C" QOR_API int32_t __hoxAddChunk(HoxStream stream, int32_t kind, const uint32_t* key, void* data,
                                       int32_t size) {
  if (!stream) return HOX_ERR_BAD_ARGUMENT;
  auto* c = static_cast<Chunk*>(qor_serv_allocate(sizeof(Chunk), 128));
  if (!c) return HOX_ERR_NO_MEMORY;
  c->kind = kind;
  c->size = size;
  c->data = data;
  if (key)
    std::memcpy(c->key, key, 16);
  else
    std::memset(c->key, 0, 16);
  if (!key_is_zero(c->key)) {
    bool shared = __hoxRegisterGlobRODataReference(c, c->key) == 0;
    if (!shared) {
      bool made = false;
      if (__atomic_load_n(&_GlobRODataTableCount, __ATOMIC_RELAXED) < kTableEntries - 1) {
        TableLock lock;
        const int i = find_locked(c->key);  // another thread may have entered it meanwhile
        if (i >= 0) {
          ++_GlobRODataTable[i].count;
          c->data = _GlobRODataTable[i].data;
          made = true;
        } else if (_GlobRODataTableCount < kTableEntries) {
          ROEntry& e = _GlobRODataTable[_GlobRODataTableCount++];
          std::memcpy(e.key, c->key, 16);
          e.count = 1;
          e.data = data;
          made = true;
        }
      }
      if (!made) std::memset(c->key, 0, 16);  // table too full: the chunk owns its block
    }
  }
  StreamHeader* h = header(stream);
  c->next = h->chunks;
  h->chunks = c;
  h->chunkAux = 0;
  return 0;
}

extern "C" QOR_API void* __hoxSearchChunk(HoxStream stream, int32_t kind) {
  if (!stream) return nullptr;
  for (Chunk* c = header(stream)->chunks; c; c = c->next)
    if (c->kind == kind) return c->data;
  return nullptr;
}

extern "C" QOR_API int32_t __hoxGetNumChunks(HoxStream stream) {
  if (!stream) return 0;
  int32_t n = 0;
  for (Chunk* c = header(stream)->chunks; c; c = c->next) ++n;
  return n;
}

extern "C" QOR_API int32_t __hoxDeleteChunksById(HoxStream stream, int32_t kind) {
  if (!stream) return 0;
  StreamHeader* h = header(stream);
  Chunk** link = &h->chunks;
  while (Chunk* c = *link) {
    if (c->kind == kind) {
      *link = c->next;
      release_chunk(c);
    } else {
      link = &c->next;
    }
  }
  h->chunkAux = 0;
  return 0;
}

extern "C" QOR_API int32_t __hoxDeleteChunks(HoxStream stream) {
  if (!stream) return 0;
  StreamHeader* h = header(stream);
  Chunk* c = h->chunks;
  while (c) {
    Chunk* next = c->next;
    release_chunk(c);
    c = next;
  }
  h->chunks = nullptr;
  h->chunkAux = 0;
  return 0;
}

extern "C" QOR_API int32_t __hoxCopyChunks(HoxStream destination, HoxStream source) {
  if (!destination || !source) return HOX_ERR_BAD_ARGUMENT;
  StreamHeader* d = header(destination);
  for (const Chunk* s = header(source)->chunks; s; s = s->next) {
    auto* c = static_cast<Chunk*>(qor_serv_allocate(sizeof(Chunk), 128));
    if (!c) {
      __hoxDeleteChunks(destination);
      return HOX_ERR_NO_MEMORY;
    }
    c->kind = s->kind;
    c->size = s->size;
    std::memcpy(c->key, s->key, 16);
    if (key_is_zero(c->key) || __hoxRegisterGlobRODataReference(c, c->key) != 0) {
      // A private block (or a keyed one the table no longer holds): copy its contents.
      c->data = nullptr;
      if (s->data) {
        c->data = qor_serv_allocate(s->size > 0 ? size_t(s->size) : 1, 128);
        if (!c->data) {
          qor_serv_deallocate(c);
          __hoxDeleteChunks(destination);
          return HOX_ERR_NO_MEMORY;
        }
        if (s->size > 0) std::memcpy(c->data, s->data, size_t(s->size));
      }
    }
    c->next = d->chunks;
    d->chunks = c;
    d->chunkAux = 0;
  }
  return 0;
}

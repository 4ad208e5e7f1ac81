// qor_serv_exit, qor_serv_getenv, qor_serv_memcpy_s.
#include <cstdlib>
#include <cstring>

#include "qor/service.h"

extern "C" QOR_API void qor_serv_exit(int32_t status) { std::exit(status); }

extern "C" QOR_API int32_t qor_serv_getenv(const char* name, char* buffer, int32_t length) {
  if (!name || !buffer || length <= 0) return 0;
  const char* v = std::getenv(name);
  if (!v) {
    buffer[0] = '\0';
    return 0;
  }
  size_t n = std::strlen(v);
  if (n > static_cast<size_t>(length - 1)) n = static_cast<size_t>(length - 1);
  std::memcpy(buffer, v, n);
  buffer[n] = '\0';
  return static_cast<int32_t>(n);
}

extern "C" QOR_API int32_t qor_serv_memcpy_s(void* dest, size_t dest_size, const void* src,
                                             size_t count) {
  if (count == 0) return 0;
  if (!dest || !src || count > dest_size) return -1;
  std::memmove(dest, src, count);
  return 0;
}

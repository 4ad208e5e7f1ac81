// Per-thread vector-math state (mode word, error status, error callback, interface input
// vector pointer), the mode environment variable, and the error routine through which every
// kernel reports a bad element.
#include <pthread.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "qor/service.h"
#include "qor/vm.h"
#include "vector_math/frame/mode.h"

namespace qor::vm {
namespace {

// ---- per-thread slots ------------------------------------------------------------------------
// Each slot is an 8-byte block per thread, created on first access; only its first 32-bit
// word (or pointer) is used. The block is freed by the key's destructor at thread exit.
struct Slot {
  pthread_once_t once = PTHREAD_ONCE_INIT;
  pthread_key_t key{};
};

// The slot names, key functions and destructors carry the system's own names, including the
// spelling "InputVecorPointer" (so that they match the names the front library's debugging
// tools and documentation use); the public service is SetInterfInputVectorPointer.
Slot Mode_slot, ErrStatus_slot, CallBack_slot, InputVecorPointer_slot;

void Mode_destroy(void* p) { std::free(p); }
void ErrStatus_destroy(void* p) { std::free(p); }
void CallBack_destroy(void* p) { std::free(p); }
void InputVecorPointer_destroy(void* p) { std::free(p); }

void Mode_alloc_key() { pthread_key_create(&Mode_slot.key, Mode_destroy); }
void ErrStatus_alloc_key() { pthread_key_create(&ErrStatus_slot.key, ErrStatus_destroy); }
void CallBack_alloc_key() { pthread_key_create(&CallBack_slot.key, CallBack_destroy); }
void InputVecorPointer_alloc_key() { pthread_key_create(&InputVecorPointer_slot.key, InputVecorPointer_destroy); }

// The thread's block of a slot, allocated (zeroed) on first use.
void* slot_block(Slot& slot, void (*alloc_key)()) {
  pthread_once(&slot.once, alloc_key);
  void* p = pthread_getspecific(slot.key);
  if (!p) {
    p = std::malloc(8);
    if (!p) qor_serv_exit(3);
    std::memset(p, 0, 8);
    pthread_setspecific(slot.key, p);
  }
  return p;
}

uint32_t& mode_cell() { return *static_cast<uint32_t*>(slot_block(Mode_slot, Mode_alloc_key)); }
int32_t& status_cell() { return *static_cast<int32_t*>(slot_block(ErrStatus_slot, ErrStatus_alloc_key)); }
FnxErrorCallBack& callback_cell() {
  return *static_cast<FnxErrorCallBack*>(slot_block(CallBack_slot, CallBack_alloc_key));
}
const void*& input_pointer_cell() {
  return *static_cast<const void**>(slot_block(InputVecorPointer_slot, InputVecorPointer_alloc_key));
}

// ---- the mode environment variable -----------------------------------------------------------
struct Keyword {
  const char* text;
  uint32_t length;
  uint32_t value;
  uint32_t high;  // second column, 0 in every row
};

// Searched in this order; the first row whose text matches the token's start is taken.
constexpr Keyword kKeywords[18] = {
    {"LA", 2, 0x1, 0},
    {"HA", 2, 0x2, 0},
    {"EP", 2, 0x3, 0},
    {"DEFAULT_PRECISION", 17, 0x0, 0},
    {"FLOAT_CONSISTENT", 16, 0x10, 0},
    {"DOUBLE_CONSISTEN", 16, 0x20, 0},
    {"RESTORE", 7, 0x30, 0},
    {"ERRMODE_IGNORE", 14, 0x100, 0},
    {"ERRMODE_ERRNO", 13, 0x200, 0},
    {"ERRMODE_STDERR", 14, 0x400, 0},
    {"ERRMODE_EXCEPT", 14, 0x800, 0},
    {"ERRMODE_CALLBACK", 16, 0x1000, 0},
    {"ERRMODE_NOERR", 13, 0x2000, 0},
    {"ERRMODE_DEFAULT", 15, 0x1A00, 0},
    {"TRAP_INVALID", 12, 0x1000000, 0},
    {"TRAP_DIVBYZERO", 14, 0x2000000, 0},
    {"TRAP_OVERFLOW", 13, 0x4000000, 0},
    {"TRAP_UNDERFLOW", 14, 0x8000000, 0},
};

// The variable's name, QOR_FNX_MODE, kept scrambled (each byte XOR 0x5A) and assembled on
// the stack when needed.
constexpr unsigned char kScrambledName[] = {'Q' ^ 0x5A, 'O' ^ 0x5A, 'R' ^ 0x5A, '_' ^ 0x5A,
                                            'F' ^ 0x5A, 'N' ^ 0x5A, 'X' ^ 0x5A, '_' ^ 0x5A,
                                            'M' ^ 0x5A, 'O' ^ 0x5A, 'D' ^ 0x5A, 'E' ^ 0x5A};
static_assert(sizeof(kScrambledName) == sizeof(QOR_FNX_MODE_ENV) - 1);

constexpr uint64_t kNoSetting = 0xFFFFFFFFFFFFFFFFull;

uint64_t read_env_mode() {
  char name[sizeof(kScrambledName) + 1];
  for (size_t i = 0; i < sizeof(kScrambledName); ++i) name[i] = static_cast<char>(kScrambledName[i] ^ 0x5A);
  name[sizeof(kScrambledName)] = '\0';

  char buf[256] = {};
  if (qor_serv_getenv(name, buf, 256) <= 0) return kNoSetting;

  uint32_t low = 0, high = 0;
  size_t pos = 0;
  for (;;) {
    if (pos + 4 >= 256 || std::memcmp(buf + pos, "FNX_", 4) != 0) return kNoSetting;
    const size_t start = pos + 4;
    const Keyword* hit = nullptr;
    for (const Keyword& k : kKeywords) {
      if (k.length + start < 256 && std::memcmp(buf + start, k.text, k.length) == 0) {
        hit = &k;
        break;
      }
    }
    if (!hit) return kNoSetting;
    const char next = buf[start + hit->length];
    if (next != ',' && next != '\0') return kNoSetting;
    low |= hit->value;
    high |= hit->high;
    if (next == '\0') return (static_cast<uint64_t>(high) << 32) | low;
    pos = start + hit->length + 1;
  }
}

// The thread's mode, set from the environment (or the default) on first use.
uint32_t& initialised_mode() {
  uint32_t& m = mode_cell();
  if (m == 0) {
    const uint64_t env = read_env_mode();
    m = env == kNoSetting ? QOR_FNX_MODE_DEFAULT : static_cast<uint32_t>(env);
  }
  return m;
}

uint32_t set_mode(uint32_t new_mode) {
  uint32_t& m = initialised_mode();
  const uint32_t old = m;
  constexpr uint32_t kFields[] = {QOR_FNX_ACCURACY_MASK, QOR_FNX_ERRMODE_MASK, QOR_FNX_DENORMAL_MASK,
                                  QOR_FNX_TRAP_MASK};
  for (uint32_t field : kFields)
    if (new_mode & field) m = (m & ~field) | (new_mode & field);
  return old;
}

FnxErrorCallBack set_callback(FnxErrorCallBack cb) {
  FnxErrorCallBack& cell = callback_cell();
  FnxErrorCallBack old = cell;
  cell = cb;
  const uint32_t m = initialised_mode();
  set_mode(cb ? (m | QOR_FNX_ERRMODE_CALLBACK) : (m & ~QOR_FNX_ERRMODE_CALLBACK));
  return old;
}

FnxErrorCallBack clear_callback() {
  FnxErrorCallBack& cell = callback_cell();
  FnxErrorCallBack old = cell;
  cell = nullptr;
  set_mode(initialised_mode() & ~QOR_FNX_ERRMODE_CALLBACK);
  return old;
}

int32_t set_status(int32_t s) {
  int32_t& c = status_cell();
  int32_t old = c;
  c = s;
  return old;
}

}  // namespace

uint32_t thread_mode() { return initialised_mode(); }

}  // namespace qor::vm

// ---- exported services, under both name sets ---------------------------------------------------
#define QOR_FNX_DEFINE_SERVICES(p)                                                                \
  extern "C" QOR_API uint32_t p##SetMode(uint32_t m) { return qor::vm::set_mode(m); }             \
  extern "C" QOR_API uint32_t p##GetMode(void) { return qor::vm::initialised_mode(); }            \
  extern "C" QOR_API int32_t p##SetErrStatus(int32_t s) { return qor::vm::set_status(s); }        \
  extern "C" QOR_API int32_t p##GetErrStatus(void) { return qor::vm::status_cell(); }             \
  extern "C" QOR_API int32_t p##ClearErrStatus(void) { return qor::vm::set_status(0); }           \
  extern "C" QOR_API FnxErrorCallBack p##SetErrorCallBack(FnxErrorCallBack cb) {                  \
    return qor::vm::set_callback(cb);                                                             \
  }                                                                                               \
  extern "C" QOR_API FnxErrorCallBack p##GetErrorCallBack(void) { return qor::vm::callback_cell(); } \
  extern "C" QOR_API FnxErrorCallBack p##ClearErrorCallBack(void) { return qor::vm::clear_callback(); } \
  extern "C" QOR_API void p##SetInterfInputVectorPointer(const void* ptr) {                       \
    qor::vm::input_pointer_cell() = ptr;                                                          \
  }
QOR_FNX_DEFINE_SERVICES(_fnx)
QOR_FNX_DEFINE_SERVICES(qor_fnx_kernel_)
#undef QOR_FNX_DEFINE_SERVICES

extern "C" QOR_API uint32_t qor_fnx_kernel_GetTTableIndex(void) {
  return (qor::vm::initialised_mode() & QOR_FNX_ACCURACY_MASK) - 1u;
}

extern "C" QOR_API uint32_t qor_fnx_kernel_GetTTableIndexM(uint32_t, uint64_t mode) {
  return (static_cast<uint32_t>(mode) & QOR_FNX_ACCURACY_MASK) - 1u;
}

extern "C" QOR_API uint64_t qor_fnx_kernel_ReadEnvVarMode(void) { return qor::vm::read_env_mode(); }

// ---- the error routine -----------------------------------------------------------------------
namespace qor::vm {
namespace {

// Element access by type: real part, imaginary part (complex types), element size.
template <class T> struct Elem;
template <> struct Elem<float> {
  static double re(const void* p, int i) { return static_cast<const float*>(p)[i]; }
  static double im(const void*, int) { return 0; }
  static void put(void* p, int i, double re, double) { static_cast<float*>(p)[i] = static_cast<float>(re); }
  static constexpr bool kComplex = false;
};
template <> struct Elem<double> {
  static double re(const void* p, int i) { return static_cast<const double*>(p)[i]; }
  static double im(const void*, int) { return 0; }
  static void put(void* p, int i, double re, double) { static_cast<double*>(p)[i] = re; }
  static constexpr bool kComplex = false;
};
template <> struct Elem<QorComplex8> {
  static double re(const void* p, int i) { return static_cast<const QorComplex8*>(p)[i].re; }
  static double im(const void* p, int i) { return static_cast<const QorComplex8*>(p)[i].im; }
  static void put(void* p, int i, double re, double im) {
    static_cast<QorComplex8*>(p)[i] = {static_cast<float>(re), static_cast<float>(im)};
  }
  static constexpr bool kComplex = true;
};
template <> struct Elem<QorComplex16> {
  static double re(const void* p, int i) { return static_cast<const QorComplex16*>(p)[i].re; }
  static double im(const void* p, int i) { return static_cast<const QorComplex16*>(p)[i].im; }
  static void put(void* p, int i, double re, double im) { static_cast<QorComplex16*>(p)[i] = {re, im}; }
  static constexpr bool kComplex = true;
};

int errno_for(int32_t code) {
  switch (code) {
    case -2: return EACCES;
    case -1: return EINVAL;
    case 0: return 0;
    case 1: return EDOM;
    case 2: case 3: case 4: return ERANGE;
    default: return EFAULT;
  }
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void print_report(const FnxErrorContext& c) {
  const int32_t code = c.code;
  if (code == 0) return;
  if (code == -1) {
    qor_serv_print(1, 735, 2, c.funcName, c.index);
    return;
  }
  if (code == -2) {
    qor_serv_print(1, 736, 1, c.funcName);
    return;
  }
  const int head = (code >= 1 && code <= 4) ? 736 + code : 741;
  qor_serv_print(1, head, 1, c.funcName);
  const bool two_args = !same_bits(c.arg2, c.arg1) && c.arg2 != 0.0;
  const bool two_results = !same_bits(c.res2, c.res1) && c.res2 != 0.0;
  const int i = c.index;
  if (!two_args && !two_results) {
    qor_serv_print(1, 742, 2, i, c.arg1);
    qor_serv_print(1, 743, 2, i, c.res1);
  } else if (!two_args) {
    qor_serv_print(1, 744, 2, i, c.arg1);
    qor_serv_print(1, 745, 2, i, c.res1);
    qor_serv_print(1, 746, 2, i, c.res2);
  } else if (!two_results) {
    qor_serv_print(1, 747, 2, i, c.arg1);
    qor_serv_print(1, 748, 2, i, c.arg2);
    qor_serv_print(1, 749, 2, i, c.res1);
  } else {
    qor_serv_print(1, 750, 2, i, c.arg1);
    qor_serv_print(1, 751, 2, i, c.arg2);
    qor_serv_print(1, 752, 2, i, c.res1);
    qor_serv_print(1, 753, 2, i, c.res2);
  }
}

// x87 environment image (fnstenv / fldenv, 32-bit protected-mode layout).
struct X87Env {
  uint16_t control, r0;
  uint16_t status, r1;
  uint16_t tags, r2;
  uint32_t ip;
  uint16_t cs, opcode;
  uint32_t data;
  uint16_t ds, r3;
};
static_assert(sizeof(X87Env) == 28);

// Raises the x87 exception matching `code`; delivered as a trap (SIGFPE) when the mode's trap
// field unmasks it, otherwise only left as a raised flag.
void raise_exception(int32_t code, uint32_t mode) {
  uint16_t flag;
  switch (code) {
    case 1: flag = 0x01; break;  // invalid operation
    case 2: flag = 0x04; break;  // division by zero
    case 3: flag = 0x08; break;  // overflow
    case 4: flag = 0x10; break;  // underflow
    default: return;
  }
  X87Env saved, trial;
  asm volatile("fnstenv %0" : "=m"(saved));
  trial = saved;
  uint16_t unmask = 0;
  if (mode & QOR_FNX_TRAP_INVALID) unmask |= 0x01;
  if (mode & QOR_FNX_TRAP_DIVBYZERO) unmask |= 0x04;
  if (mode & QOR_FNX_TRAP_OVERFLOW) unmask |= 0x08;
  if (mode & QOR_FNX_TRAP_UNDERFLOW) unmask |= 0x10;
  trial.control = static_cast<uint16_t>(trial.control & ~unmask);
  trial.status = static_cast<uint16_t>((trial.status & ~0x3F) | flag);
  asm volatile("fldenv %0\n\tfwait" : : "m"(trial));
  saved.control |= 0x3F;
  saved.status |= flag;
  asm volatile("fldenv %0" : : "m"(saved));
}

template <class T>
void report(int32_t code, int32_t index, const void* arg1, const void* arg2, void* res1, void* res2,
            const char* name) {
  using E = Elem<T>;
  const uint32_t m = initialised_mode();
  const uint32_t e = m & QOR_FNX_ERRMODE_MASK;
  if (e == QOR_FNX_ERRMODE_NOERR) return;
  status_cell() = code;
  if (e == QOR_FNX_ERRMODE_IGNORE) return;

  alignas(16) FnxErrorContext c;  // packed record, kept at an aligned address
  std::memset(&c, 0, sizeof c);
  c.code = code;
  c.index = index;
  if (const void* base = input_pointer_cell()) {
    c.index += static_cast<int32_t>((static_cast<const char*>(arg1) - static_cast<const char*>(base)) /
                                    static_cast<ptrdiff_t>(sizeof(T)));
  }
  int32_t len = 0;
  if (name) {
    while (len < 63 && name[len]) {
      c.funcName[len] = name[len];
      ++len;
    }
  }
  c.funcName[len] = '\0';
  c.funcNameLen = len;

  const bool values = code != -1 && code != -2;
  if (values) {
    c.arg1 = E::re(arg1, index);
    c.arg2 = E::re(arg2, index);
    c.res1 = E::re(res1, index);
    c.res2 = E::re(res2, index);
    if constexpr (E::kComplex) {
      c.arg1Im = E::im(arg1, index);
      c.arg2Im = E::im(arg2, index);
      c.res1Im = E::im(res1, index);
      c.res2Im = E::im(res2, index);
    }
  }

  if (m & QOR_FNX_ERRMODE_CALLBACK) {
    if (FnxErrorCallBack cb = callback_cell()) {
      if (cb(&c) != 0) return;
    }
  }

  if (m & 0x2F00u) {
    const uint32_t m2 = initialised_mode();
    if (m2 & QOR_FNX_ERRMODE_ERRNO) errno = errno_for(code);
    if (m2 & QOR_FNX_ERRMODE_STDERR) print_report(c);
    if (m2 & QOR_FNX_ERRMODE_EXCEPT) raise_exception(code, m2);
  }

  if (values) {
    // The second result first: for one-result functions both name the same element, and the
    // first result (the one a callback edits) must be what stays.
    E::put(res2, index, c.res2, c.res2Im);
    E::put(res1, index, c.res1, c.res1Im);
  }
}

}  // namespace
}  // namespace qor::vm

#define QOR_FNX_DEFINE_ERROR(t, T)                                                                  \
  extern "C" QOR_API void qor_fnx_kernel_##t##Error(int32_t code, int32_t index, const void* arg1,  \
                                                    const void* arg2, void* res1, void* res2,       \
                                                    const char* name) {                             \
    qor::vm::report<T>(code, index, arg1, arg2, res1, res2, name);                                  \
  }
QOR_FNX_DEFINE_ERROR(s, float)
QOR_FNX_DEFINE_ERROR(d, double)
QOR_FNX_DEFINE_ERROR(c, QorComplex8)
QOR_FNX_DEFINE_ERROR(z, QorComplex16)
#undef QOR_FNX_DEFINE_ERROR

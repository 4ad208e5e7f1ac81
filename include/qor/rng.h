/* Random numbers: generator registry, streams, chunks and shared read-only blocks, the basic
 * generators built so far (congruential, R250, Wichmann-Hill, Mersenne twisters, Philox4x32x10,
 * ARS5, the hardware generator), the uniform distributions and the continuous distributions
 * built so far. */
#ifndef QOR_RNG_H
#define QOR_RNG_H

#include "qor/qor_api.h"

QOR_EXTERN_C_BEGIN

/* ---- status codes of the random-number side ------------------------------------------- */
#define HOX_STATUS_OK 0
#define HOX_ERR_BAD_INIT_METHOD (-2)          /* InitStream method other than 0, 1, 2 */
#define HOX_ERR_BAD_ARGUMENT (-3)             /* null buffer, zero size or empty interval */
#define HOX_ERR_NO_MEMORY (-4)                /* the allocation service returned null */
#define HOX_ERR_NULL_POINTER (-5)             /* a required function or callback is null */
#define HOX_ERR_INVALID_BRNG (-1000)          /* identifier selects no valid row or member */
#define HOX_ERR_LEAPFROG_UNSUPPORTED (-1002)
#define HOX_ERR_SKIPAHEAD_UNSUPPORTED (-1003)
#define HOX_ERR_REG_STATE_SIZE (-1008)        /* registration: negative state size */
#define HOX_ERR_REG_WORD_SIZE (-1009)         /* registration: word size not 4, 8 or 16 */
#define HOX_ERR_REG_SEED_COUNT (-1010)        /* registration: fewer than one seed word */
#define HOX_ERR_REG_BIT_COUNT (-1011)         /* registration: fewer than one output bit */
#define HOX_ERR_QRNG_PERIOD_ELAPSED (-1012)
#define HOX_ERR_LEAPFROG_NSTREAMS (-1013)     /* leapfrog with a negative number of streams */
#define HOX_ERR_BITS32_UNSUPPORTED (-1014)    /* 32/64-bit uniform bits not available */
#define HOX_ERR_REG_TABLE_FULL (-1015)        /* registration: all 512 rows are in use */
#define HOX_ERR_FILE_CLOSE (-1100)
#define HOX_ERR_FILE_OPEN (-1101)
#define HOX_ERR_FILE_WRITE (-1102)
#define HOX_ERR_FILE_READ (-1103)
#define HOX_ERR_BAD_FILE_FORMAT (-1110)
#define HOX_ERR_UNSUPPORTED_FILE_VERSION (-1111)
#define HOX_ERR_ABSTRACT_CALLBACK (-1120)      /* refill returned < 0 or more than the buffer */
#define HOX_ERR_ABSTRACT_CALLBACK_EMPTY (-1121) /* refill returned 0 */
#define HOX_ERR_ABSTRACT_WRONG_TYPE (-1122)    /* output of another type from an abstract stream */
#define HOX_ERR_NO_RDRAND (-1130)
#define HOX_ERR_RDRAND_FAILED (-1131)
#define HOX_ERR_NO_AES (-1140)
#define HOX_ERR_BAD_MEMORY_IMAGE (-1200)
#define HOX_ERR_RO_TABLE_ENTRY_NOT_FOUND (-3000)
#define HOX_ERR_RO_TABLE_FULL (-3001)

/* ---- generator identifiers (current table: (row + 1) << 20, plus the member) ------------ */
#define HOX_BRNG_INC 0x100000
#define HOX_BRNG_MCG31 0x100000
#define HOX_BRNG_R250 0x200000
#define HOX_BRNG_MRG32K3A 0x300000
#define HOX_BRNG_MCG59 0x400000
#define HOX_BRNG_WH 0x500000
#define HOX_BRNG_SOBOL 0x600000
#define HOX_BRNG_NIEDERREITER 0x700000
#define HOX_BRNG_MT19937 0x800000
#define HOX_BRNG_MT2203 0x900000
#define HOX_BRNG_IABSTRACT 0xA00000
#define HOX_BRNG_DABSTRACT 0xB00000
#define HOX_BRNG_SABSTRACT 0xC00000
#define HOX_BRNG_SFMT19937 0xD00000
#define HOX_BRNG_NONDETERM 0xE00000
#define HOX_BRNG_ARS5 0xF00000
#define HOX_BRNG_PHILOX4X32X10 0x1000000

/* InitStream methods */
#define HOX_INIT_METHOD_STANDARD 0
#define HOX_INIT_METHOD_LEAPFROG 1
#define HOX_INIT_METHOD_SKIPAHEAD 2

/* Uniform distributions: method bit that clamps every result to [a, b]. */
#define HOX_RNG_METHOD_ACCURATE 0x40000000

/* A stream handle: the address of an opaque stream record. A generator's own state starts
 * 16 bytes into the record (after the common header). */
typedef void* HoxStream;

/* ---- generator registry ---------------------------------------------------------------- */
/* method 0: n seed words at params; 1: leapfrog, n streams, params -> this stream's index;
 * 2: skip-ahead, params -> n 32-bit words of the count (2 for a 64-bit count, low first). */
typedef int32_t (*HoxInitStreamFn)(int32_t method, HoxStream stream, int32_t n, const uint32_t* params);
typedef int32_t (*HoxsBRngFn)(HoxStream stream, int32_t n, float* r, float a, float b);
typedef int32_t (*HoxdBRngFn)(HoxStream stream, int32_t n, double* r, double a, double b);
/* n raw words of the row's wordBytes each (r holds n * wordBytes / 4 32-bit words). */
typedef int32_t (*HoxiBRngFn)(HoxStream stream, int32_t n, uint32_t* r);

typedef struct BrngProperties {
  int32_t stateBytes;     /* whole stream record: 16-byte header + generator state */
  int32_t seedWords;      /* seed words consumed by the standard initialisation */
  int32_t mayReturnZero;  /* 1 if an integer output can be 0 */
  int32_t wordBytes;      /* bytes per integer output word: 4, 8 or 16 */
  int32_t outputBits;     /* significant random bits per output word */
  HoxInitStreamFn InitStream;
  HoxsBRngFn sBRng;
  HoxdBRngFn dBRng;
  HoxiBRngFn iBRng;
} BrngProperties;

/* Decodes an identifier into (row, member) and returns the table it selects (the current
 * or the legacy one); does not validate. */
QOR_API const BrngProperties* __hoxGetBrngBaseOffset(int32_t brng, int32_t* row, int32_t* member);
/* 0 or HOX_ERR_INVALID_BRNG. */
QOR_API int32_t __hoxIsBrngValid(const BrngProperties* table, int32_t row, int32_t member);
QOR_API int32_t __hoxGetBrngProperties(int32_t brng, BrngProperties* properties);
QOR_API int32_t __hoxGetNumRegBrngs(void);
/* Returns the new identifier (positive) or a negative status. Not thread-safe. */
QOR_API int32_t __hoxRegisterBrng(const BrngProperties* properties);
QOR_API int32_t __hoxGetStreamStateBrng(HoxStream stream);

/* ---- streams --------------------------------------------------------------------------- */
QOR_API int32_t __hoxNewStreamEx(HoxStream* stream, int32_t brng, int32_t n, const uint32_t* params);
QOR_API int32_t __hoxAllocateStream(HoxStream* stream, const BrngProperties* table, int32_t brng,
                                    int32_t row, int32_t member);
QOR_API int32_t __hoxCopyStream(HoxStream* copy, HoxStream source);
QOR_API int32_t __hoxCopyStreamState(HoxStream destination, HoxStream source);
QOR_API int32_t __hoxDeleteStream(HoxStream* stream);
QOR_API int32_t __hoxSkipAheadStream(HoxStream stream, uint64_t nskip);
QOR_API int32_t __hoxLeapfrogStream(HoxStream stream, int32_t k, int32_t nstreams);

/* Abstract streams: numbers come from a caller buffer of n elements refilled by a callback
 * called as (stream, &n, buffer, &wanted, &most, &position); it writes new numbers into the
 * ring buffer from `position` on (wrapping at n) and returns how many it wrote (1 .. n). */
typedef int32_t (*HoxiAbstractCallBack)(HoxStream stream, int32_t* n, uint32_t* buffer,
                                        int32_t* wanted, int32_t* most, int32_t* position);
typedef int32_t (*HoxdAbstractCallBack)(HoxStream stream, int32_t* n, double* buffer,
                                        int32_t* wanted, int32_t* most, int32_t* position);
typedef int32_t (*HoxsAbstractCallBack)(HoxStream stream, int32_t* n, float* buffer,
                                        int32_t* wanted, int32_t* most, int32_t* position);
QOR_API int32_t __hoxiNewAbstractStream(HoxStream* stream, int32_t n, uint32_t* buffer,
                                        HoxiAbstractCallBack callback);
QOR_API int32_t __hoxdNewAbstractStream(HoxStream* stream, int32_t n, double* buffer, double a,
                                        double b, HoxdAbstractCallBack callback);
QOR_API int32_t __hoxsNewAbstractStream(HoxStream* stream, int32_t n, float* buffer, float a,
                                        float b, HoxsAbstractCallBack callback);

/* ---- chunks and shared read-only blocks ------------------------------------------------ */
/* Attaches a data block (from qor_serv_allocate) to a stream. A non-null, non-zero key shares
 * the block through the process-wide table: if the key is already there the chunk uses the
 * registered block instead of `data` (the caller keeps ownership of `data` then). */
QOR_API int32_t __hoxAddChunk(HoxStream stream, int32_t kind, const uint32_t* key, void* data,
                              int32_t size);
QOR_API void* __hoxSearchChunk(HoxStream stream, int32_t kind);
QOR_API int32_t __hoxGetNumChunks(HoxStream stream);
QOR_API int32_t __hoxDeleteChunksById(HoxStream stream, int32_t kind);
QOR_API int32_t __hoxDeleteChunks(HoxStream stream);
QOR_API int32_t __hoxCopyChunks(HoxStream destination, HoxStream source);

typedef struct HoxRODataEntry {
  uint32_t key[4];
  int32_t count;
  void* data;
} HoxRODataEntry;
/* Entries are copied out: the table may move them once the lock is released. */
QOR_API int32_t __hoxFindGlobRODataTableEntry(HoxRODataEntry* entry, const uint32_t* key);
QOR_API int32_t __hoxCreateGlobRODataTableEntry(HoxRODataEntry* entry, const uint32_t* key, void* data);
/* `chunk` is a chunk record; its data pointer is set to the entry's block. */
QOR_API int32_t __hoxRegisterGlobRODataReference(void* chunk, const uint32_t* key);
QOR_API int32_t __hoxUnregisterGlobRODataReference(const uint32_t* key);
QOR_API void __hoxGenerateNewGlobalRODataTableEntryId(uint32_t* key, uint32_t tag);

/* ---- basic generators: the four registry functions of each built one -------------------- */
#define HOX_BRNG_DECLS(Name)                                                                       \
  QOR_API int32_t __hoxBRng##Name##InitStream(int32_t method, HoxStream stream, int32_t n,        \
                                              const uint32_t* params);                             \
  QOR_API int32_t __hoxsBRng##Name(HoxStream stream, int32_t n, float* r, float a, float b);      \
  QOR_API int32_t __hoxdBRng##Name(HoxStream stream, int32_t n, double* r, double a, double b);   \
  QOR_API int32_t __hoxiBRng##Name(HoxStream stream, int32_t n, uint32_t* r);
HOX_BRNG_DECLS(MCG31M1)
HOX_BRNG_DECLS(MCG59)
HOX_BRNG_DECLS(MRG32K3A)
HOX_BRNG_DECLS(MT19937)
HOX_BRNG_DECLS(MT2203)
HOX_BRNG_DECLS(SFMT19937)
HOX_BRNG_DECLS(Sobol)
HOX_BRNG_DECLS(Niederr)
HOX_BRNG_DECLS(R250)
HOX_BRNG_DECLS(WH)
HOX_BRNG_DECLS(PHILOX4X32X10)
HOX_BRNG_DECLS(ARS5)
HOX_BRNG_DECLS(TRNG)
#undef HOX_BRNG_DECLS

/* Processor tests of the counter-based and hardware generators (CPUID leaf 1): 1 when the
 * processor has the AES instructions and SSE2 (ARS5), or the RDRAND instruction (the hardware
 * generator); else 0. */
QOR_API int32_t __hoxCPUisAES(void);
QOR_API int32_t __hoxCPUisRDRAND(void);

/* Wichmann-Hill parameters of the 273 members (member = identifier - HOX_BRNG_WH): four
 * multipliers, four prime moduli just below 2^24 and their reciprocals 1/m (double). */
QOR_API extern const uint8_t _hox_WH_A[273][4];
QOR_API extern const uint32_t _hox_WH_M[273][4];
QOR_API extern const double _hoxdWH_IM_Tab[273][4];

/* ---- jump-ahead over GF(2) (MT19937, SFMT19937) ----------------------------------------- */
/* The six operations a generator supplies on work states (blocks of stateBytes bytes):
 * clear one, add (exclusive-or) one into another, copy the generator state into one, advance
 * one by one element, copy one back into the generator state, and bring the generator state to
 * its canonical position (it may use up part of *n; returns 0 when nothing remains to skip). */
typedef void (*HoxZeroStateFn)(void* work);
typedef void (*HoxAddStateFn)(void* to, const void* from);
typedef void (*HoxCopyState1Fn)(void* work, const void* state);
typedef void (*HoxUpdateSFn)(void* work);
typedef void (*HoxCopyState2Fn)(void* state, const void* work);
typedef int32_t (*HoxProcessIdxFn)(void* state, uint64_t* n);
/* result (stateWords 32-bit words, bit i of word i / 32 = coefficient of x^i) = x^N mod P over
 * GF(2), P of the given degree with the nonzero terms at the listed exponents (any order; the
 * degree itself and terms at or above it are implied or ignored). stateWords must hold degree
 * bits. 0, HOX_ERR_BAD_ARGUMENT or HOX_ERR_NO_MEMORY. */
QOR_API int32_t __hoxPolyRem(uint64_t n, int32_t degree, int32_t nterms, const int32_t* terms,
                             int32_t stateWords, uint32_t* result);
/* state = (x^N mod P)(T) state, T the one-element step: by Horner's rule or with a table of the
 * 128 seven-bit windows. stateBytes is the size of one work state. */
QOR_API int32_t __hox_SkipAheadHorner(void* state, HoxZeroStateFn zero, HoxAddStateFn add,
                                      HoxCopyState1Fn copy1, HoxUpdateSFn update,
                                      HoxCopyState2Fn copy2, HoxProcessIdxFn process, uint32_t n_lo,
                                      uint32_t n_hi, int32_t stateWords, int32_t degree,
                                      int32_t stateBytes, int32_t nterms, const int32_t* terms);
QOR_API int32_t __hox_SkipAheadSWin(void* state, HoxZeroStateFn zero, HoxAddStateFn add,
                                    HoxCopyState1Fn copy1, HoxUpdateSFn update,
                                    HoxCopyState2Fn copy2, HoxProcessIdxFn process, uint32_t n_lo,
                                    uint32_t n_hi, int32_t stateWords, int32_t degree,
                                    int32_t stateBytes, int32_t nterms, const int32_t* terms);
/* Characteristic polynomials (exponents of the nonzero terms, ascending): MT19937's one-word
 * step (degree 19937, 135 terms) and SFMT19937's 128-bit step (degree 19968, 6711 terms). */
QOR_API extern const int32_t _hox_mt19937_poly[135];
QOR_API extern const int32_t _hox_sfmt19937_poly[6711];
/* MT2203 parameters (twist word a, tempering masks b, c) by member number; an all-zero row is
 * one not generated yet. */
QOR_API extern const uint32_t _hox_mt2203_table[6024][3];

/* ---- stream save and load --------------------------------------------------------------- */
/* Image: 16-byte header (version 1, "RNG", header size 16, state size, chunk count, 0,
 * identifier), the state bytes, then per chunk kind, key[4], size, data. nameLength < 0: a
 * zero-terminated name. */
QOR_API int32_t __hoxSaveStreamF(HoxStream stream, const char* name, int32_t nameLength);
QOR_API int32_t __hoxLoadStreamF(HoxStream* stream, const char* name, int32_t nameLength);
QOR_API int32_t __hoxSaveStreamM(HoxStream stream, void* memory);
QOR_API int32_t __hoxLoadStreamM(HoxStream* stream, const void* memory);
/* Bytes of the image of a stream (negative status for a stream of no valid generator). */
QOR_API int32_t __hoxGetStreamSize(HoxStream stream);
/* Byte movers of both forms: `file` is a FILE*; a memory position is a base address and the
 * current offset (limit: the bytes a reader may take from base, all ones for no limit).
 * Shortfalls give HOX_ERR_FILE_WRITE / HOX_ERR_FILE_READ (files) or HOX_ERR_BAD_MEMORY_IMAGE
 * (a read past the limit). */
typedef struct HoxMemoryPosition {
  unsigned char* base;
  uint64_t offset;
  uint64_t limit;
} HoxMemoryPosition;
QOR_API int32_t __hoxSaveToFile(void* file, const void* data, int32_t size, int32_t count);
QOR_API int32_t __hoxLoadFromFile(void* file, void* data, int32_t size, int32_t count);
QOR_API int32_t __hoxSaveToMemory(HoxMemoryPosition* position, const void* data, int32_t size, int32_t count);
QOR_API int32_t __hoxLoadFromMemory(HoxMemoryPosition* position, void* data, int32_t size, int32_t count);
QOR_API int32_t __hoxSkipLoadingFromFile(void* file, int32_t bytes);
QOR_API int32_t __hoxSkipLoadingFromMemory(HoxMemoryPosition* position, int32_t bytes);

/* ---- modular powers of the congruential generators ------------------------------------- */
/* base^e mod (2^31 - 1), e = e_hi:e_lo */
QOR_API uint32_t __hoxiPowMod2P31M1(uint32_t base, uint32_t e_lo, uint32_t e_hi);
/* base^e mod 2^59, base = b_hi:b_lo */
QOR_API uint64_t __hoxiPowMod2P59(uint32_t b_lo, uint32_t b_hi, uint32_t e_lo, uint32_t e_hi);
/* base^e mod modulus */
QOR_API uint32_t __hoxiPowMod(uint32_t base, uint32_t e_lo, uint32_t e_hi, uint32_t modulus);
/* v (three state words, oldest first) = C^e v mod m, with C the companion matrix whose last
 * row is `row` (row[0] multiplies the newest word, row[2] the oldest) and m = 2^32 - mdist. */
QOR_API void __hoxiVect3PowMod(uint32_t* v, const uint32_t* row, uint32_t mdist, uint32_t e_lo,
                               uint32_t e_hi);

/* ---- uniform distributions ------------------------------------------------------------- */
QOR_API int32_t _hoxsRngUniform(int32_t method, HoxStream stream, int32_t n, float* r, float a, float b);
QOR_API int32_t _hoxdRngUniform(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                                double b);
/* integers in [a, b) */
QOR_API int32_t _hoxiRngUniform(int32_t method, HoxStream stream, int32_t n, int32_t* r, int32_t a,
                                int32_t b);
/* raw generator words (wordBytes each) */
QOR_API int32_t _hoxiRngUniformBits(int32_t method, HoxStream stream, int32_t n, uint32_t* r);
QOR_API int32_t _hoxiRngUniformBits32(int32_t method, HoxStream stream, int32_t n, uint32_t* r);
QOR_API int32_t _hoxiRngUniformBits64(int32_t method, HoxStream stream, int32_t n, uint64_t* r);

/* ---- discrete distributions ------------------------------------------------------------ */
/* 32-bit integer variates. A parameter outside its range (or NaN) or a method not listed:
 * HOX_ERR_BAD_ARGUMENT, nothing drawn. Methods are 0 except Poisson's (0 PTPE, 1 normal-based). */
/* 1 where u < p (u single-precision uniform, p rounded to single), else 0; p in [0, 1]. */
QOR_API int32_t _hoxiRngBernoulli(int32_t method, HoxStream stream, int32_t n, int32_t* r, double p);
/* failures before the first success: floor(ln u / ln(1 - p)), p in (0, 1]. */
QOR_API int32_t _hoxiRngGeometric(int32_t method, HoxStream stream, int32_t n, int32_t* r, double p);
/* ntrial >= 0, p in [0, 1]; BTPE when ntrial min(p, 1 - p) >= 30, inversion below (set-up in the
 * stream's kind-5 chunk); ntrial = 0 gives zeros without touching the stream. */
QOR_API int32_t _hoxiRngBinomial(int32_t method, HoxStream stream, int32_t n, int32_t* r, int32_t ntrial,
                                 double p);
/* marked items in a sample of s from a lot of l with m marked (0 <= s, m <= l). */
QOR_API int32_t _hoxiRngHypergeometric(int32_t method, HoxStream stream, int32_t n, int32_t* r, int32_t l,
                                       int32_t s, int32_t m);
/* lambda in [0, 2e9]; methods 0 and 1. */
QOR_API int32_t _hoxiRngPoisson(int32_t method, HoxStream stream, int32_t n, int32_t* r, double lambda);
/* one result per lambda[i], each in [0, 2e9]. */
QOR_API int32_t _hoxiRngPoissonV(int32_t method, HoxStream stream, int32_t n, int32_t* r, const double* lambda);
/* failures before the a-th success, a > 0, p in (0, 1]; results saturate at 2^31 - 1. */
QOR_API int32_t _hoxiRngNegbinomial(int32_t method, HoxStream stream, int32_t n, int32_t* r, double a, double p);

/* ---- continuous distributions ---------------------------------------------------------- */
/* Exponential with shift a and scale beta: r = max(a, a - beta ln u), u uniform on [0, 1). */
QOR_API int32_t _hoxsRngExponential(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                                    float beta);
QOR_API int32_t _hoxdRngExponential(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                                    double beta);

/* Gaussian with mean a and deviation sigma. Methods: 0 Box-Muller (one result per pair of
 * uniforms), 1 Box-Muller with pairs (both results of each pair; an odd count keeps the last
 * pair in the stream's kind-2 chunk for the next call), 2 inverse error function. Any other
 * method: HOX_ERR_BAD_ARGUMENT, nothing drawn. */
QOR_API int32_t _hoxsRngGaussian(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                                 float sigma);
QOR_API int32_t _hoxdRngGaussian(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                                 double sigma);
/* Multivariate normal: n vectors of dimen values, a + L z. The factor L (lower triangular,
 * covariance L L^T) is stored by mstorage: 0 full dimen x dimen by rows, 1 packed by columns,
 * 2 its diagonal only. Methods as Gaussian. */
QOR_API int32_t _hoxsRngGaussianMV(int32_t method, HoxStream stream, int32_t n, float* r,
                                   int32_t dimen, int32_t mstorage, const float* a, const float* t);
QOR_API int32_t _hoxdRngGaussianMV(int32_t method, HoxStream stream, int32_t n, double* r,
                                   int32_t dimen, int32_t mstorage, const double* a, const double* t);
/* Laplace: a -/+ beta ln u, the sign from a second uniform. */
QOR_API int32_t _hoxsRngLaplace(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                                float beta);
QOR_API int32_t _hoxdRngLaplace(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                                double beta);
/* Weibull with shape alpha: max(a, a + beta (-ln u)^(1/alpha)). */
QOR_API int32_t _hoxsRngWeibull(int32_t method, HoxStream stream, int32_t n, float* r, float alpha,
                                float a, float beta);
QOR_API int32_t _hoxdRngWeibull(int32_t method, HoxStream stream, int32_t n, double* r, double alpha,
                                double a, double beta);
/* Cauchy: a + beta tan u, u uniform on [-pi/2, pi/2). */
QOR_API int32_t _hoxsRngCauchy(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                               float beta);
QOR_API int32_t _hoxdRngCauchy(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                               double beta);
/* Rayleigh: max(a, a + beta sqrt(-ln u)). */
QOR_API int32_t _hoxsRngRayleigh(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                                 float beta);
QOR_API int32_t _hoxdRngRayleigh(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                                 double beta);
/* Lognormal: max(b, b + beta exp(g)), g Gaussian(a, sigma) by the pair method (method 0) or
 * the inverse error function (any other method). */
QOR_API int32_t _hoxsRngLognormal(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                                  float sigma, float b, float beta);
QOR_API int32_t _hoxdRngLognormal(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                                  double sigma, double b, double beta);
/* Gumbel (smallest extreme): a + beta ln E, E standard exponential. */
QOR_API int32_t _hoxsRngGumbel(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                               float beta);
QOR_API int32_t _hoxdRngGumbel(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                               double beta);
/* Gamma with shape alpha: a + beta x, x standard gamma (the method follows alpha: Exponential at
 * 1, Marsaglia-Tsang above with its saved pair in the kind-7 chunk, rejection methods below).
 * A shape that is not a positive finite number: HOX_ERR_BAD_ARGUMENT. */
QOR_API int32_t _hoxsRngGamma(int32_t method, HoxStream stream, int32_t n, float* r, float alpha,
                              float a, float beta);
QOR_API int32_t _hoxdRngGamma(int32_t method, HoxStream stream, int32_t n, double* r, double alpha,
                              double a, double beta);
/* Beta with shapes p, q: a + beta x, x standard beta (the method follows p and q; a NaN shape
 * gives uniform results on [a, a + beta], a shape <= 0 HOX_ERR_BAD_ARGUMENT). */
QOR_API int32_t _hoxsRngBeta(int32_t method, HoxStream stream, int32_t n, float* r, float p, float q,
                             float a, float beta);
QOR_API int32_t _hoxdRngBeta(int32_t method, HoxStream stream, int32_t n, double* r, double p,
                             double q, double a, double beta);

QOR_EXTERN_C_END

#endif

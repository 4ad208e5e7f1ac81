/* A program outside the project using the installed library: one call into each area.
 * Built by check.sh with pkg-config and with find_package(qor); exits non-zero on a wrong
 * answer. Expected values are closed forms. */
#include <math.h>
#include <stdio.h>
#include <qor/qor.h>

static int bad(const char* what) { fprintf(stderr, "consumer: %s wrong\n", what); return 1; }

int main(void) {
  int fails = 0;
  double a[2] = {0.0, 1.0}, r[2];                  /* vector math: exp through the entry point */
  _fnxdExp(2, a, r);
  if (r[0] != 1.0 || fabs(r[1] - 2.718281828459045) > 1e-15) fails += bad("exp");
  HoxStream s = NULL;                              /* random numbers: MCG31m1 from seed 1 */
  uint32_t seed = 1;
  double u[2] = {-1.0, -1.0};
  if (__hoxNewStreamEx(&s, HOX_BRNG_MCG31, 1, &seed) != 0 || _hoxdRngUniform(0, s, 2, u, 0.0, 1.0) != 0 ||
      fabs(u[0] - 1.0 / 2147483647.0) > 1e-24 || fabs(u[1] - 1132489760.0 / 2147483647.0) > 1e-15 ||
      __hoxDeleteStream(&s) != 0) fails += bad("stream");
  int32_t keys[4] = {3, -1, 2, 0}, buf[4];         /* primitives: radix sort */
  if (qor_dft_e8r_ochaSortRadixAscend_32s_I(keys, buf, 4) != 0 || keys[0] != -1 || keys[3] != 3)
    fails += bad("sort");
  double x[4] = {1.0, 2.0, 3.0, 4.0}, mean = 0.0;  /* statistics: mean of one variable */
  int32_t p = 1, n = 4, storage = HOX_SS_STORAGE_ROWS;
  HoxSSTask* t = NULL;
  if (__hoxdSSNewTask(&t, &p, &n, &storage, x, NULL, NULL, NULL) != 0 ||
      __hoxdSSEditMoments(t, &mean, NULL, NULL, NULL, NULL, NULL, NULL) != 0 ||
      _hoxdSSBasic(t, HOX_SS_EST_MEAN, HOX_SS_METHOD_FAST, NULL) != 0 || mean != 2.5 ||
      __hoxSSDeleteTask(&t) != 0) fails += bad("mean");
  DfTask1D* f = NULL;                              /* data fitting: cell of 1.5 in 1, 2, 3, 4 */
  double site = 1.5;
  int32_t cell = -1;
  if (qor_df_kernel_dNewTask1D(&f, 4, x, QOR_DF_HINT_NON_UNIFORM, 0, NULL, 0, 0) != 0 ||
      qor_df_kernel_dDFSearch1D(f, 0, 1, &site, 0, NULL, &cell, NULL, NULL, NULL) != 0 || cell != 1 ||
      qor_df_kernel_DeleteTask(&f) != 0) fails += bad("cell search");
  void* block = qor_serv_allocate(100, 64);        /* services: aligned allocation */
  if (block == NULL || (uintptr_t)block % 64 != 0) fails += bad("allocation");
  qor_serv_deallocate(block);
  if (fails == 0) printf("consumer: exp, stream, sort, mean, cell search and allocation correct\n");
  return fails != 0;
}

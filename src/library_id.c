/* Identity of the shared library: the processor-version query the front library asks. */
__attribute__((visibility("default"))) int dll_cpu_version(void) { return 0; }

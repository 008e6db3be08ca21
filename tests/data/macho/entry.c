/* A stand-in module for the tests of cmake/check_macho.mjs: the entry, calling into libSystem. */
int puts(const char* text);

int c4d_main(int action, void* p1, void* p2, void* p3) {
  (void)p1;
  (void)p2;
  (void)p3;
  return action == 1 ? puts("started") : 0;
}

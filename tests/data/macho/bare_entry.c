/* An entry that calls nothing, so that a bundle of it can be linked without libSystem. */
int c4d_main(int action, void* p1, void* p2, void* p3) {
  (void)p1;
  (void)p2;
  (void)p3;
  return action == 1;
}

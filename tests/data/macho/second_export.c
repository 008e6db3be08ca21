/* A second function a module might leave visible. */
int vantor_extra(int value) { return value + 1; }

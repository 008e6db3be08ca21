/* A call to a function that libSystem.tbd below claims and macOS does not have. */
int vantor_not_in_macos(int value);

int vantor_ask_system(int value) { return vantor_not_in_macos(value); }

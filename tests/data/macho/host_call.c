/* A call into something only the loading process has: left to be looked up when loaded. */
int vantor_host_only(int value);

int vantor_ask_host(int value) { return vantor_host_only(value); }

// Runs a shared object's exit handlers when it is unloaded; linked into every shared object of the
// arm64 Linux build by its driver (cmake/zig-linux-arm64.sh), and into nothing else.
//
// The C++ runtime registers a shared object's static destructors with __cxa_atexit under the
// object's __dso_handle, and the crtbegin.o that other builds link calls
// __cxa_finalize(&__dso_handle) when the object is unloaded. Shared objects that zig 0.11 links
// for glibc have no such call: after dlclose their handlers stay registered, and exit() jumps into
// unmapped code.
extern "C" {
void __cxa_finalize(void* dso);
extern __attribute__((visibility("hidden"))) void* __dso_handle;
}

__attribute__((destructor)) static void RunExitHandlers() { __cxa_finalize(&__dso_handle); }

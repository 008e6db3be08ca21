// The one live host that the tables reach.
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "scene/model.h"

namespace vthost {
namespace {

Host* g_current = nullptr;

}  // namespace

Host::Host(HostOptions options)
    : options_(std::move(options)),
      events_(options_.log),
      spheres_(options_.keep.forgottenSphereShapes),
      spares_(options_.keep.spareStrings) {
  assert(g_current == nullptr && "only one Host may live at a time: destroy the previous one first");
  g_current = this;
}

// No longer current before its parts go: a string freed from now on is not kept in its spares.
Host::~Host() {
  if (g_current == this) g_current = nullptr;
}

Host& CurrentHost() {
  assert(g_current != nullptr && "a host table was called with no Host alive");
  return *g_current;
}

Host* LiveHost() { return g_current; }

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOR_LEAKS_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VANTOR_LEAKS_CHECKED 1
#endif

bool FreeAtExit() {
#if defined(VANTOR_LEAKS_CHECKED)
  return true;
#else
  static const bool asked = [] {
#if defined(_MSC_VER)
    char* value = nullptr;  // MSVC warns of getenv
    size_t length = 0;
    if (_dupenv_s(&value, &length, "VANTOR_FREE_AT_EXIT") != 0) return false;
    const bool set = value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
    std::free(value);
    return set;
#else
    const char* value = std::getenv("VANTOR_FREE_AT_EXIT");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
#endif
  }();
  return asked;
#endif
}

}  // namespace vthost

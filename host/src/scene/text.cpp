// Strings and file names as the host holds them: immutable text shared by reference count.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "scene/model.h"

namespace vthost {
namespace {

const std::string kEmpty;

// Released strings are kept for reuse, text capacity included: a reader makes a string per line
// and per field, and reuse spares an allocation for each. Every text is on the heap, a short one
// too, so a string reused for a longer text frees as many blocks as it allocates: the count of
// blocks outstanding, which a fuzzer watches for leaks, comes back after each use of the host.
constexpr size_t kSparesKept = 256;

struct Spares {
  std::vector<VtString*> strings;
  ~Spares() {
    for (VtString* text : strings) delete text;
  }
};

Spares g_spares;

}  // namespace

VtString* NewString(std::string_view text) {
  if (!CurrentHost().Faults().Allow(AllocKind::String)) return nullptr;
  std::vector<VtString*>& spares = g_spares.strings;
  if (spares.empty()) {
    auto* made = new VtString{1, std::string()};
    made->text.reserve(std::max(text.size(), made->text.capacity() + 1));  // past the short-string buffer
    made->text.append(text.data(), text.size());
    return made;
  }
  VtString* reused = spares.back();
  spares.pop_back();
  reused->references = 1;
  reused->text.clear();
  reused->text.append(text.data(), text.size());
  return reused;
}

void ReleaseString(VtString* text) {
  if (text == nullptr || --text->references != 0) return;
  std::vector<VtString*>& spares = g_spares.strings;
  if (spares.size() < kSparesKept) {
    spares.push_back(text);
  } else {
    delete text;
  }
}

const std::string& TextOf(const VtString* text) { return text ? text->text : kEmpty; }

VtFilename* NewFilename(std::string path) {
  if (!CurrentHost().Faults().Allow(AllocKind::Filename)) return nullptr;
  return new VtFilename{1, std::move(path)};
}

void ReleaseFilename(VtFilename* name) {
  if (name != nullptr && --name->references == 0) delete name;
}

const std::string& PathOf(const VtFilename* name) { return name ? name->path : kEmpty; }

}  // namespace vthost

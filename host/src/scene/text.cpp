// Strings and file names as the host holds them: immutable text shared by reference count.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "scene/model.h"

namespace vthost {
namespace {

const std::string kEmpty;

}  // namespace

// Freed strings are kept for reuse, text capacity included: a reader makes a string per line and
// per field, and reuse spares an allocation for each. Every text is on the heap, a short one too,
// so a string reused for a longer text frees as many blocks as it allocates: the count of blocks
// outstanding, which a fuzzer watches for leaks, comes back after each use of the host.
SpareStrings::~SpareStrings() {
  for (VtString* text : strings_) delete text;
}

VtString* SpareStrings::Take() {
  if (strings_.empty()) return nullptr;
  VtString* spare = strings_.back();
  strings_.pop_back();
  return spare;
}

void SpareStrings::Give(VtString* text) {
  if (strings_.size() < kept_) {
    strings_.push_back(text);
  } else {
    delete text;
  }
}

VtString* NewString(std::string_view text) {
  Host& host = CurrentHost();
  if (!host.Faults().Allow(AllocKind::String)) return nullptr;
  VtString* reused = host.Spares().Take();
  if (reused == nullptr) {
    auto* made = new VtString{1, std::string()};
    made->text.reserve(std::max(text.size(), made->text.capacity() + 1));  // past the short-string buffer
    made->text.append(text.data(), text.size());
    return made;
  }
  reused->references = 1;
  reused->text.clear();
  reused->text.append(text.data(), text.size());
  return reused;
}

// Strings are shared with the module by reference count, and it may free its last one after the
// host that made it has gone: with no host alive to keep it, the string goes back at once.
void ReleaseString(VtString* text) {
  if (text == nullptr || --text->references != 0) return;
  if (Host* host = LiveHost()) {
    host->Spares().Give(text);
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

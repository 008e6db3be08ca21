// Names resolved and compared as the file system does, and the files and descriptors they name.
#include "base/filenames.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "base/filesystem.h"
#include "vthost/files.h"

namespace vthost {
namespace {

namespace fs = std::filesystem;

// Links followed in one name before it is taken as it stands (Linux's own limit).
constexpr int kMaxLinks = 40;

// The resolved name as the file system compares names.
fs::path::string_type KeyOf(const fs::path& file) {
  fs::path::string_type key = Resolved(file).native();
  os::FoldCase(&key);
  return key;
}

}  // namespace

fs::path Resolved(const fs::path& file, int* descriptor) {
  std::error_code failure;
  const fs::path absolute = fs::absolute(file, failure);
  if (failure) return file.lexically_normal();
  fs::path done = absolute.root_path();
  const fs::path parts = absolute.relative_path();
  std::vector<fs::path> left(parts.begin(), parts.end());
  std::reverse(left.begin(), left.end());  // the next part last
  int links = 0;
  while (!left.empty()) {
    const fs::path part = std::move(left.back());
    left.pop_back();
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      done = done.parent_path();
      continue;
    }
    const fs::path next = done / part;
    if (descriptor != nullptr && left.empty() && (*descriptor = os::DescriptorNamed(next)) >= 0) return next;
    if (links < kMaxLinks && fs::is_symlink(fs::symlink_status(next, failure))) {
      const fs::path target = fs::read_symlink(next, failure);
      if (!failure) {
        ++links;
        if (target.is_absolute()) done = target.root_path();
        const fs::path relative = target.relative_path();
        const std::vector<fs::path> targetParts(relative.begin(), relative.end());
        left.insert(left.end(), targetParts.rbegin(), targetParts.rend());
        continue;
      }
    }
    done = next;
  }
  return done.lexically_normal();
}

bool IsSeparator(fs::path::value_type c) { return c == '/' || c == fs::path::preferred_separator; }

ResolvedName::ResolvedName(const fs::path& file) : file_(file), key_(KeyOf(file)) {}

const fs::path::string_type& ResolvedName::Key() const { return key_; }

bool ResolvedName::SameFile(const ResolvedName& other) const {
  std::error_code failure;
  return (fs::equivalent(file_, other.file_, failure) && !failure) || key_ == other.key_;
}

bool ResolvedName::InFolder(const ResolvedName& folder) const {
  const fs::path::string_type& inside = folder.key_;
  if (key_.size() < inside.size() || key_.compare(0, inside.size(), inside) != 0) return false;
  return key_.size() == inside.size() || IsSeparator(inside.back()) || IsSeparator(key_[inside.size()]);
}

bool SameFile(const fs::path& a, const fs::path& b) { return ResolvedName(a).SameFile(ResolvedName(b)); }

bool InFolder(const fs::path& file, const fs::path& folder) {
  return ResolvedName(file).InFolder(ResolvedName(folder));
}

int DescriptorOf(const fs::path& file) {
  int descriptor = -1;
  Resolved(file, &descriptor);
  return descriptor;
}

}  // namespace vthost

// Names resolved and compared as the file system does, and the files and descriptors they name.
#include "base/filenames.h"

#include <algorithm>
#include <array>
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

// The folders resolved last on this thread. The outputs of a run mostly share a few folders: each
// name then costs the walk of its last part, not of every folder above it. An entry holds while the
// folder's name and the name it resolved to still reach one folder, the one they reached then (a
// link changed or a folder moved since is walked again).
class FolderMemo {
 public:
  const fs::path* Find(const fs::path& folder) const {
    for (const Entry& entry : entries_) {
      if (entry.folder != folder.native()) continue;
      FileId id;
      if (!FileIdOf(folder, &id) || !Same(id, entry.id)) return nullptr;
      if (entry.resolved.native() == folder.native()) return &entry.resolved;  // no link on the way: one look is enough
      FileId reached;
      return FileIdOf(entry.resolved, &reached) && Same(reached, entry.id) ? &entry.resolved : nullptr;
    }
    return nullptr;
  }
  void Keep(const fs::path& folder, const fs::path& resolved) {
    FileId id;
    if (!FileIdOf(resolved, &id)) return;  // not there yet: walked again until it is
    entries_[next_] = {folder.native(), resolved, id};
    next_ = (next_ + 1) % entries_.size();
  }

 private:
  struct Entry {
    fs::path::string_type folder;
    fs::path resolved;
    FileId id;
  };
  static bool Same(const FileId& a, const FileId& b) { return a.device == b.device && a.index == b.index; }
  std::array<Entry, 8> entries_;
  size_t next_ = 0;
};

// The folder above the last part of absolute, resolved (from the memo when it holds it); false when
// the last part is not a plain name.
bool ResolvedFolder(const fs::path& absolute, fs::path* folder) {
  const fs::path last = absolute.filename();
  if (last.empty() || last == "." || last == "..") return false;
  const fs::path parent = absolute.parent_path();
  if (!parent.has_relative_path()) return false;
  thread_local FolderMemo memo;
  if (const fs::path* known = memo.Find(parent)) {
    *folder = *known;
    return true;
  }
  *folder = Resolved(parent);
  memo.Keep(parent, *folder);
  return true;
}

}  // namespace

fs::path Resolved(const fs::path& file, int* descriptor) {
  std::error_code failure;
  const fs::path absolute = fs::absolute(file, failure);
  if (failure) return file.lexically_normal();
  fs::path done;
  std::vector<fs::path> left;
  // a resolved folder and a plain name that is no link are already in normal form
  bool normal = ResolvedFolder(absolute, &done);
  if (normal) {
    left.push_back(absolute.filename());
  } else {
    done = absolute.root_path();
    const fs::path parts = absolute.relative_path();
    left.assign(parts.begin(), parts.end());
    std::reverse(left.begin(), left.end());  // the next part last
  }
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
        normal = false;
        if (target.is_absolute()) done = target.root_path();
        const fs::path relative = target.relative_path();
        const std::vector<fs::path> targetParts(relative.begin(), relative.end());
        left.insert(left.end(), targetParts.rbegin(), targetParts.rend());
        continue;
      }
    }
    done = next;
  }
  return normal ? done : done.lexically_normal();
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

// Names resolved and compared as the file system does, and the files and descriptors they name.
#include "base/filenames.h"

#include <algorithm>
#include <array>
#include <string_view>
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
  const fs::path* Find(const fs::path::string_type& folder) const {
    for (const Entry& entry : entries_) {
      if (entry.folder.native() != folder) continue;
      FileId id;
      if (!FileIdOf(entry.folder, &id) || !Same(id, entry.id)) return nullptr;
      if (entry.resolved.native() == folder) return &entry.resolved;  // no link on the way: one look is enough
      FileId reached;
      return FileIdOf(entry.resolved, &reached) && Same(reached, entry.id) ? &entry.resolved : nullptr;
    }
    return nullptr;
  }
  void Keep(const fs::path& folder, const fs::path& resolved) {
    FileId id;
    if (!FileIdOf(resolved, &id)) return;  // not there yet: walked again until it is
    entries_[next_] = {folder, resolved, id};
    next_ = (next_ + 1) % entries_.size();
  }

 private:
  struct Entry {
    fs::path folder;
    fs::path resolved;
    FileId id;
  };
  static bool Same(const FileId& a, const FileId& b) { return a.device == b.device && a.index == b.index; }
  std::array<Entry, 8> entries_;
  size_t next_ = 0;
};

FolderMemo& Memo() {
  thread_local FolderMemo memo;
  return memo;
}

// The folder above the last part of absolute, resolved (from the memo when it holds it); false when
// the last part is not a plain name.
bool ResolvedFolder(const fs::path& absolute, fs::path* folder) {
  const fs::path last = absolute.filename();
  if (last.empty() || last == "." || last == "..") return false;
  const fs::path parent = absolute.parent_path();
  if (!parent.has_relative_path()) return false;
  if (const fs::path* known = Memo().Find(parent.native())) {
    *folder = *known;
    return true;
  }
  *folder = Resolved(parent);
  Memo().Keep(parent, *folder);
  return true;
}

// What the walk below makes of a name whose last part is a plain name and no link, in a folder the
// memo holds, worked out on the name's text: one name made, where the walk makes one a part. False
// when the name is not one such (the walk then takes it).
bool ResolvedInKnownFolder(const fs::path& absolute, int* descriptor, fs::path* resolved) {
  using View = std::basic_string_view<fs::path::value_type>;
  const View text = absolute.native();
  size_t last = text.size();
  while (last > 0 && !IsSeparator(text[last - 1])) --last;
  const View leaf = text.substr(last);
  const bool dots = leaf.size() <= 2 && std::all_of(leaf.begin(), leaf.end(), [](auto c) { return c == '.'; });
  if (last == 0 || dots) return false;  // no folder, or no plain name
  size_t end = last - 1;
  while (end > 0 && IsSeparator(text[end - 1])) --end;
  if (end == 0) return false;  // in the root
  const fs::path* folder = Memo().Find(fs::path::string_type(text.substr(0, end)));
  if (folder == nullptr || folder->native().empty()) return false;
  fs::path::string_type name = folder->native();
  if (!IsSeparator(name.back())) name += fs::path::preferred_separator;
  name.append(leaf);
  fs::path next(std::move(name));
  if (descriptor != nullptr && (*descriptor = os::DescriptorNamed(next)) >= 0) {
    *resolved = std::move(next);
    return true;
  }
  std::error_code failure;
  if (fs::is_symlink(fs::symlink_status(next, failure))) return false;  // followed by the walk
  *resolved = std::move(next);
  return true;
}

}  // namespace

fs::path Resolved(const fs::path& file, int* descriptor) {
  std::error_code failure;
  const fs::path absolute = fs::absolute(file, failure);
  if (failure) return file.lexically_normal();
  if (fs::path quick; ResolvedInKnownFolder(absolute, descriptor, &quick)) return quick;
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

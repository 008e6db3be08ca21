// What the host may write over, and how: a new file moved over the old one once it is complete.
#include "base/outputfiles.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <vector>

#include "base/filenames.h"
#include "base/filesystem.h"
#include "base/newfile.h"

namespace vthost {
namespace {

namespace fs = std::filesystem;

// target replaced by a new file of bytes, flushed to disk first; false with the reason.
bool Replace(const fs::path& target, const Pieces& bytes, std::string* reason) {
  NewFile file;
  if (!file.Create(target, reason)) return false;
  if (!os::WriteAll(file.handle(), bytes) || !os::Flush(file.handle())) {
    *reason = os::LastReason();
    return false;
  }
  return file.Place(target, reason);
}

// How a file is written: replaced (the target, its links followed), written as it stands (a
// device, a FIFO, one of the process's own descriptors), or not at all (a folder).
struct Plan {
  enum { Replace, InPlace, Refused } how = Replace;
  fs::path target;
  int descriptor = -1;  // written through this descriptor in place of target
  std::string reason;   // why it is refused
};

// Whether the name can only be a folder's: it ends in a separator, `.` or `..`.
bool NamesAFolder(const fs::path& file) {
  const fs::path::string_type& name = file.native();
  if (!name.empty() && IsSeparator(name.back()) && file.has_relative_path()) return true;
  const fs::path last = file.filename();
  return last == "." || last == "..";
}

Plan PlanOf(const fs::path& file) {
  int descriptor = -1;
  const fs::path resolved = Resolved(file, &descriptor);
  if (descriptor >= 0) return {Plan::InPlace, file, descriptor, {}};
  const os::Kind kind = os::KindOf(file);
  if (kind == os::Kind::Folder) return {Plan::Refused, file, -1, "a folder"};
  // FILE/ names a folder, which a file (or nothing) is not
  if (NamesAFolder(file)) return {Plan::Refused, file, -1, "Not a directory"};
  if (kind == os::Kind::Other) return {Plan::InPlace, file, -1, {}};
  if (kind == os::Kind::Nothing) return {Plan::Replace, resolved, -1, {}};
  // a name whose links only the system can follow (/proc/self/fd/N of a deleted file) is written as
  // it is
  std::error_code failure;
  const bool same = fs::equivalent(file, resolved, failure);
  return {same ? Plan::Replace : Plan::InPlace, same ? resolved : file, -1, {}};
}

os::Handle OpenInPlace(const Plan& plan) {
  return plan.descriptor >= 0 ? os::OpenDescriptor(plan.descriptor) : os::OpenExisting(plan.target);
}

// A device, a FIFO or a descriptor, written as it is.
bool WriteInPlace(const Plan& plan, const Pieces& bytes, std::string* reason) {
  const os::Handle handle = OpenInPlace(plan);
  if (handle == os::kNoHandle) {
    *reason = os::LastReason();
    return false;
  }
  bool done = os::WriteAll(handle, bytes);
  if (!done) *reason = os::LastReason();
  if (!os::Close(handle) && done) done = false, *reason = os::LastReason();
  return done;
}

bool Write(const Plan& plan, const Pieces& bytes, std::string* reason) {
  switch (plan.how) {
    case Plan::Replace:
      return Replace(plan.target, bytes, reason);
    case Plan::InPlace:
      return WriteInPlace(plan, bytes, reason);
    case Plan::Refused:
      break;
  }
  *reason = plan.reason;
  return false;
}

}  // namespace

bool MayReplace(const fs::path& file, std::string_view magic, std::string_view kind, std::string* error) {
  std::error_code failure;
  const fs::file_status status = fs::status(file, failure);
  if (!fs::exists(status)) return true;
  if (fs::is_directory(status)) {
    *error = "cannot write " + file.u8string() + ": a folder";
    return false;
  }
  if (!fs::is_regular_file(status)) {
    *error = "cannot write " + file.u8string() + ": not a regular file";
    return false;
  }
  // a file stream would cost more than the rest of the check (its locale)
  std::vector<char> start(magic.size());
  const size_t read = os::ReadStart(file, start.data(), start.size());
  if (read == 0 || (read == magic.size() && std::string_view(start.data(), read) == magic)) return true;
  *error = file.u8string() + " is there and is not a " + std::string(kind) + ": not replaced";
  return false;
}

bool WriteWhole(const fs::path& file, const Pieces& bytes, std::string* error) {
  std::string reason;
  const bool written = Write(PlanOf(file), bytes, &reason);
  if (!written) *error = "cannot write " + file.u8string() + ": " + reason;
  return written;
}

OutputGroup::OutputGroup(const RunFiles& files) : files_(files) {}

OutputGroup::~OutputGroup() = default;  // what was staged and not committed goes with its NewFile

bool OutputGroup::Stage(const fs::path& file, const Pieces& bytes, std::string* error) {
  if (!files_.MayWrite(file, error)) return false;
  std::string reason;
  const Plan plan = PlanOf(file);
  bool written = false;
  if (plan.how == Plan::Replace) {
    Staged staged{file, plan.target, std::make_unique<NewFile>()};
    written = staged.created->Create(plan.target, &reason);
    if (written && !os::WriteAll(staged.created->handle(), bytes)) written = false, reason = os::LastReason();
    if (written) staged_.push_back(std::move(staged));
  } else {
    written = Write(plan, bytes, &reason);
  }
  if (!written) *error = "cannot write " + file.u8string() + ": " + reason;
  return written;
}

std::vector<std::string> OutputGroup::Commit() {
  std::vector<std::string> failures(staged_.size());
  std::vector<os::Handle> handles;
  for (const Staged& staged : staged_) handles.push_back(staged.created->handle());
  std::string flushFailure;
  const bool flushed = os::FlushAll(handles, &flushFailure);
  for (size_t i = 0; i < staged_.size(); ++i) {
    Staged& staged = staged_[i];
    std::string reason = flushFailure;
    if (flushed && staged.created->Place(staged.target, &reason)) continue;
    failures[i] = "cannot write " + staged.file.u8string() + ": " + reason;
  }
  staged_.clear();
  return failures;
}

GrowingOutput::GrowingOutput() = default;

GrowingOutput::~GrowingOutput() {
  if (handle_ != os::kNoHandle) os::Close(handle_);
}

bool GrowingOutput::Open(const RunFiles& files, const fs::path& file, std::string* error) {
  if (!files.MayWrite(file, error)) return false;
  file_ = file;
  const Plan plan = PlanOf(file);
  target_ = plan.target;
  std::string reason = plan.reason;
  bool opened = false;
  if (plan.how == Plan::InPlace) {
    handle_ = OpenInPlace(plan);
    opened = handle_ != os::kNoHandle;
    if (!opened) reason = os::LastReason();
  } else if (plan.how == Plan::Replace) {
    created_ = std::make_unique<NewFile>();
    opened = created_->Create(plan.target, &reason);
    if (!opened) created_.reset();
  }
  if (!opened) *error = "cannot write " + file.u8string() + ": " + reason;
  return opened;
}

bool GrowingOutput::Append(std::string_view bytes) {
  if (failed_ || (handle_ == os::kNoHandle && !created_)) return false;
  if (os::WriteAll(created_ ? created_->handle() : handle_, bytes)) return true;
  failed_ = true;
  reason_ = os::LastReason();
  return false;
}

bool GrowingOutput::Finish(std::string* error) {
  if (handle_ == os::kNoHandle && !created_) {
    *error = "cannot write " + file_.u8string() + ": not opened";
    return false;
  }
  bool done = !failed_;
  if (created_) {
    if (done && !os::Flush(created_->handle())) done = false, reason_ = os::LastReason();
    if (done && !created_->Place(target_, &reason_)) done = false;
    created_.reset();
  } else {
    if (!os::Close(handle_) && done) done = false, reason_ = os::LastReason();
    handle_ = os::kNoHandle;
  }
  if (!done) *error = "cannot write " + file_.u8string() + ": " + reason_;
  return done;
}

}  // namespace vthost

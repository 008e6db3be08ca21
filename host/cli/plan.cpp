// The molecules of a run read from its inputs a record at a time, and the names of their outputs.
#include "plan.h"

#include <algorithm>
#include <system_error>

namespace vantorcli {
namespace {

namespace fs = std::filesystem;

// Names are compared as the files they resolve to, by the one rule of vthost/files.h.
fs::path::string_type FileKey(const std::string& name) { return vthost::ResolvedName(fs::u8path(name)).Key(); }

}  // namespace

// The names of several molecules are told apart by the files they resolve to, whatever the
// templates: a title, a stem that ends in digits before {record}, a folder named two ways or a link
// to another output can each give two molecules one file.
Molecules::Molecules(const RunRequest& request) : request_(request), registry_(Several(request)) {
  std::string ignored;
  for (size_t i = 0; i < request.outputs.size(); ++i) {
    vthost::NameTemplate& parsed = templates_.emplace_back();
    if (!request.outputs[i].empty()) vthost::NameTemplate::Parse(request.outputs[i], &parsed, &ignored);
  }
  if (!request.manifest.empty() && request.manifest != "-") manifest_ = FileKey(request.manifest);
  std::vector<size_t> used;
  for (size_t i = 0; i < request.outputs.size(); ++i) {
    if (!request.outputs[i].empty()) used.push_back(i);
  }
  if (!registry_ || request.inputs.size() != 1 || used.size() != 1) return;
  const vthost::NameTemplate& only = templates_[used.front()];
  if (only.Has(vthost::NameTemplate::kRecord) && !only.Has(vthost::NameTemplate::kTitle) && only.FolderIsFixed()) {
    plain_ = PlainNames{used.front(), vthost::StemOf(request.inputs.front()), {}};
  }
}

bool Molecules::OpenNext() {
  while (next_ < request_.inputs.size()) {
    input_ = request_.inputs[next_++];
    stream_.close();
    stream_.clear();
    std::istream* in = &standardStream_;
    if (input_ != "-") {
      const fs::path file = fs::u8path(input_);
      std::error_code failure;
      if (!fs::is_regular_file(file, failure)) {
        // not there, a folder, a device: the module is handed it and says what it makes of it
        unreadable_ = true;
        unreadableWhy_ = fs::exists(file, failure) ? "not a regular file" : "not there";
        reader_.reset();
        return true;
      }
      stream_.open(file, std::ios::binary);
      in = &stream_;
    }
    unreadable_ = false;
    if (input_ == "-" || stream_.is_open()) {
      // where only the first record is wanted, the file itself is handed on: its title is all that is read
      const bool whole = IsMolFile(input_) || (input_ != "-" && request_.records.last == 1);
      reader_ = std::make_unique<vthost::RecordReader>(*in, whole);
      return true;
    }
    unreadable_ = true;  // there, but not for this process to read
    unreadableWhy_ = "cannot be read";
    return true;
  }
  return false;
}

bool Molecules::Take(Molecule* m, bool keep) {
  *m = Molecule{};
  m->input = input_;
  if (unreadable_) {
    unreadable_ = false;
    if (!request_.records.Contains(1)) {
      m->record = request_.records.first;
      m->failure = unreadableWhy_;
      m->failureStatus = kMoleculeNotLoaded;
    }
    m->fromInput = true;
    return Named(m);
  }
  vthost::Record record;
  const uint64_t number = reader_->NextNumber();
  const bool wanted = request_.records.Contains(number);
  if (number > request_.records.last || !reader_->Next(&record, wanted && keep && (input_ == "-" || number > 1))) {
    const bool failed = reader_->Failed();
    reader_.reset();
    if (failed) return Failed(m, number, "the file could not be read past record " + std::to_string(number - 1));
    if (number == 1 && request_.records.Contains(1) && input_ != "-") {
      m->fromInput = true;  // no record at all (an empty file): the module says what it makes of it
      return Named(m);
    }
    if (number <= request_.records.last && !request_.records.Several()) {
      return Failed(m, request_.records.first,
                    "there is no record " + std::to_string(request_.records.first) + ": the file holds " +
                        std::to_string(number - 1));
    }
    return false;
  }
  if (!wanted) return false;
  m->record = record.number;
  m->title = std::move(record.title);
  m->text = std::move(record.text);
  m->fromInput = input_ != "-" && number == 1;
  if (reader_->TooLong()) {
    m->failure = "record " + std::to_string(number) + " is longer than " +
                 std::to_string(vthost::RecordReader::kMaxRecordBytes >> 20) + " MiB: " + input_ +
                 " is read no further";
    m->failureStatus = kMoleculeNotLoaded;
  }
  return Named(m);
}

bool Molecules::Failed(Molecule* m, uint64_t record, const std::string& why) {
  m->record = record;
  m->failure = why;
  m->failureStatus = kMoleculeNotLoaded;
  return Named(m);
}

bool Molecules::Named(Molecule* m) {
  m->ordinal = ordinal_++;
  const std::string title = vthost::SafeTitle(m->title, m->record);
  const std::string stem = vthost::StemOf(m->input);
  for (size_t i = 0; i < templates_.size(); ++i) {
    if (!request_.outputs[i].empty()) m->outputs[i] = templates_[i].Expand(stem, m->record, title);
  }
  const Holder holder{next_ - 1, m->record};
  for (size_t i = 0; i < m->outputs.size(); ++i) {
    const std::string& name = m->outputs[i];
    if (name.empty() || name == "-" || !m->failure.empty() || (manifest_.empty() && !registry_)) continue;
    // a plain name, while every name so far was one and no manifest is written: its text tells it
    // apart, and it is not resolved
    if (manifest_.empty() && written_.empty() && !Kept(*m, i, name)) continue;
    const fs::path::string_type key = FileKey(name);
    std::optional<Holder> earlier;
    if (key == manifest_) {
      m->failure = name + " is the manifest of this run: not written";
      m->failureStatus = kFailed;
      continue;
    }
    if (!registry_) continue;
    const uint64_t hash = std::hash<fs::path::string_type>()(key);
    if (!Kept(*m, i, name)) {
      if (const auto found = written_.find(hash); found != written_.end()) earlier = found->second;
    } else if (const uint64_t record = PlainRecordAt(key)) {
      earlier = Holder{0, record};
    } else if (const auto [found, added] = written_.emplace(hash, holder); !added) {
      earlier = found->second;
    }
    if (earlier) {
      const std::string label = Label(holder), other = Label(*earlier);
      m->failure = name + " is written for " + (other == label ? "its other output" : other) + ": not written twice";
      m->failureStatus = kFailed;
    }
  }
  return true;
}

bool Molecules::Kept(const Molecule& m, size_t output, const std::string& name) {
  if (!plain_ || output != plain_->output) return true;
  std::error_code failure;
  if (fs::is_symlink(fs::symlink_status(fs::u8path(name), failure))) return true;
  std::vector<bool>& named = plain_->named;
  if (m.record >= named.size()) named.resize(std::max<size_t>(m.record + 1, named.size() * 2));
  named[m.record] = true;
  return false;
}

uint64_t Molecules::PlainRecordAt(const fs::path::string_type& key) const {
  if (!plain_) return 0;
  const fs::path::string_type leaf = fs::path(key).filename().native();
  const vthost::NameTemplate& only = templates_[plain_->output];
  // every run of digits in the name may be the record's number
  for (size_t start = 0; start < leaf.size(); ++start) {
    uint64_t record = 0;
    for (size_t at = start; at < leaf.size() && at - start < 19 && leaf[at] >= '0' && leaf[at] <= '9'; ++at) {
      record = record * 10 + static_cast<uint64_t>(leaf[at] - '0');
      if (record == 0 || record >= plain_->named.size() || !plain_->named[record]) continue;
      if (FileKey(only.Expand(plain_->stem, record, "")) == key) return record;
    }
  }
  return 0;
}

std::string Molecules::Label(const Holder& holder) const {
  return request_.inputs[holder.input] + " record " + std::to_string(holder.record);
}

}  // namespace vantorcli

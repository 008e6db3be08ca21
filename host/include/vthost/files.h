// Names of files compared as the file system resolves them, so that no output names an input or
// another output by a second path, and the files of a run: what it reads, and how it writes.
#pragma once

#include <cstdint>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vthost {

// Whether a and b are one file, or would be once written: each name is taken as the file system
// takes it, every symbolic link on its way followed (a dangling one too) and `.` and `..` applied;
// letters of either case are one on Windows and macOS, whose file systems usually ignore case; two
// hard links to one file are one file.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// Whether file is folder or lies inside it, by the same rules.
bool InFolder(const std::filesystem::path& file, const std::filesystem::path& folder);

// A name resolved once by those rules, to be compared with many: SameFile and InFolder resolve
// both their names on every call.
class ResolvedName {
 public:
  explicit ResolvedName(const std::filesystem::path& file);
  bool SameFile(const ResolvedName& other) const;
  bool InFolder(const ResolvedName& folder) const;
  const std::filesystem::path& Name() const { return file_; }
  // The resolved name, as names are compared.
  const std::filesystem::path::string_type& Key() const;

 private:
  std::filesystem::path file_;
  std::filesystem::path::string_type key_;  // resolved, and in one case where case does not matter
};

// A file as the system knows it, whatever its name: its device (volume) and its number there.
struct FileId {
  uint64_t device = 0;
  uint64_t index = 0;
  bool operator<(const FileId& other) const {
    return device != other.device ? device < other.device : index < other.index;
  }
};
// false when file is not there (or cannot be looked at).
bool FileIdOf(const std::filesystem::path& file, FileId* id);

// The descriptor of the process's own that file names (/dev/stdout is 1, /dev/fd/N and
// /proc/self/fd/N are N), which the host writes through in place; -1 for any other name.
int DescriptorOf(const std::filesystem::path& file);

// Signals that end the run (interrupt, terminate, hang-up) remove the new files not yet in place
// first. Called once by a program; a signal it was started to ignore stays ignored.
void RemoveNewFilesOnSignals();

// How many names of files those signals remove at most: new files not yet in place and scratch
// files together. A run stages fewer outputs at once.
constexpr size_t kNamesRemovedOnSignals = 1024;

// How many processes the handler knows of at once.
constexpr size_t kProcessesStoppedOnSignals = 64;

// A process the run started (a worker) that those signals end as well while this lives: where
// the system ends it with the run anyway (a Windows job), nothing is done.
class StoppedOnSignals {
 public:
  explicit StoppedOnSignals(unsigned long process);
  ~StoppedOnSignals();
  StoppedOnSignals(const StoppedOnSignals&) = delete;
  StoppedOnSignals& operator=(const StoppedOnSignals&) = delete;

 private:
  size_t slot_;
};

// A scratch file or folder of the run (a record handed to the module) that those signals remove
// too while this lives; files go before folders, so a folder they empty goes as well.
class RemovedOnSignals {
 public:
  RemovedOnSignals(const std::filesystem::path& name, bool folder);
  ~RemovedOnSignals();
  RemovedOnSignals(const RemovedOnSignals&) = delete;
  RemovedOnSignals& operator=(const RemovedOnSignals&) = delete;

 private:
  bool folder_;
  size_t slot_;  // where the handler finds the name; past the slots when none was free
};

// The bytes of a file in pieces, one after another (a large file written from what holds it, with no
// copy of the whole).
using Pieces = std::vector<std::string_view>;

// The files a run reads, which no output may replace: the module file and its res folder, every
// file the module looked up and found, and what the program adds (a script). Every output file is
// written through it.
class RunFiles {
 public:
  // what names the input in the reason an output is refused ("the module file this run loaded").
  void AddInput(const std::filesystem::path& file, const std::string& what);
  // Everything inside the folder is an input, by its names there and as a file (its links followed).
  void AddInputFolder(const std::filesystem::path& folder, const std::string& what);
  // bytes as the whole of file, replaced whole or not at all; false with the reason when file
  // names an input or cannot be written.
  bool WriteOutput(const std::filesystem::path& file, const Pieces& bytes, std::string* error) const;
  bool WriteOutput(const std::filesystem::path& file, std::string_view bytes, std::string* error) const {
    return WriteOutput(file, Pieces{bytes}, error);
  }
  // false with the reason when file names an input (WriteOutput asks this first).
  bool MayWrite(const std::filesystem::path& file, std::string* error) const;

 private:
  // inputs by resolved name and, where they were there, as files: a run of many files looks each
  // output up once, not once an input
  std::map<std::filesystem::path::string_type, std::string> names_;
  std::set<std::filesystem::path> added_;  // as named, looked up before a name is resolved
  std::map<FileId, std::string> files_;
  std::vector<std::pair<ResolvedName, std::string>> folders_;
  std::map<FileId, std::string> folderIds_;  // the input folders and the folders in them, as files
  // how far into an input folder its files are known by their ids
  static constexpr size_t kFolderEntries = 4096;
  static constexpr int kFolderDepth = 4;
};

// A new file that is to replace another, once whole.
class NewFile;

// Outputs written in groups, each whole or not at all as WriteOutput writes one, with one flush to
// disk for the group in place of one a file: each is written beside its target, and once all are
// on disk, moved over it. A run that ends before leaves no output half-written.
class OutputGroup {
 public:
  explicit OutputGroup(const RunFiles& files);
  ~OutputGroup();  // what was staged and not committed is removed
  OutputGroup(const OutputGroup&) = delete;
  OutputGroup& operator=(const OutputGroup&) = delete;

  // bytes staged to become the whole of file (a device or a FIFO is written at once); false with
  // the reason, and nothing left behind.
  bool Stage(const std::filesystem::path& file, const Pieces& bytes, std::string* error);
  bool Stage(const std::filesystem::path& file, std::string_view bytes, std::string* error) {
    return Stage(file, Pieces{bytes}, error);
  }
  size_t Size() const { return staged_.size(); }
  // Puts each staged file in place; one entry per staged file, in order: empty when written, else
  // the reason.
  std::vector<std::string> Commit();

 private:
  struct Staged {
    std::filesystem::path file;       // as named
    std::filesystem::path target;     // its links followed
    std::unique_ptr<NewFile> created;  // beside the target
  };
  const RunFiles& files_;
  std::vector<Staged> staged_;
};

// A file written a piece at a time and put in place whole when finished, as WriteOutput writes
// one (a device or a FIFO is written as it comes).
class GrowingOutput {
 public:
  GrowingOutput();
  ~GrowingOutput();  // one not finished is removed
  GrowingOutput(const GrowingOutput&) = delete;
  GrowingOutput& operator=(const GrowingOutput&) = delete;

  // false with the reason when file names an input or cannot be written.
  bool Open(const RunFiles& files, const std::filesystem::path& file, std::string* error);
  // false once a write has failed (Finish says why).
  bool Append(std::string_view bytes);
  // Flushed to disk and put in place; false with the reason, the old file as it was.
  bool Finish(std::string* error);

 private:
  std::filesystem::path file_, target_;
  std::unique_ptr<NewFile> created_;  // what replaces target_, or
  std::intptr_t handle_ = -1;         // the system's handle of what is written as it stands
  bool failed_ = false;
  std::string reason_;
};

}  // namespace vthost

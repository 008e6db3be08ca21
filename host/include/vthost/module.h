// A module loaded from its file and called through its entry, as the host application does, with
// the interface record this host hands it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "vantor_host.h"
#include "vthost/host.h"

namespace vthost {

class Module {
 public:
  // Null with the reason in *error when the file is not a regular file, cannot be loaded or
  // exports no entry. The module file and its res folder become inputs of the run.
  static std::unique_ptr<Module> Load(Host& host, const std::filesystem::path& file, std::string* error);
  // A module linked into the program, started from its entry function instead of a file (the
  // studio's WebAssembly build): folder is where its res folder lies, and names it.
  static std::unique_ptr<Module> FromEntry(Host& host, VtEntry entry, const std::filesystem::path& folder);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  int32_t Call(int32_t action, void* p1 = nullptr, void* p2 = nullptr, void* p3 = nullptr);
  // Action 1 with the record of the host's interface version and the module's folder as its
  // location.
  int32_t Init();
  // Action 1 with a chosen record and location (null allowed).
  int32_t Init(const VtHostInterface* record, const std::filesystem::path* location);
  int32_t Message(int32_t id, void* data = nullptr);
  int32_t Start();
  int32_t End();
  // The host application's order: 1, then 6 with message 1 and 2 unless 1 was refused. True when
  // each step answered success; otherwise false with the first step that did not in *error.
  bool StartUp(std::string* error);

  const std::filesystem::path& File() const { return file_; }
  const std::filesystem::path& Folder() const { return folder_; }
  const VtHostInterface* Record() const { return &record_; }

 private:
  Module(Host& host, void* library, VtEntry entry, std::filesystem::path file);
  Host& host_;
  void* library_ = nullptr;
  VtEntry entry_ = nullptr;
  std::filesystem::path file_;
  std::filesystem::path folder_;
  VtHostInterface record_;
};

// The file name of the vantor module in a plug-in folder on this platform ("vantor.so", ...).
std::string ModuleFileName(const std::string& base);

}  // namespace vthost

// Loading a module from its file and calling its entry, as the host application does.
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "vthost/module.h"
#include "vthost/record.h"

#include "scene/model.h"

namespace vthost {
namespace {

void* OpenLibrary(const std::filesystem::path& file, std::string* error) {
#if defined(_WIN32)
  HMODULE library = LoadLibraryW(file.wstring().c_str());
  if (library == nullptr) *error = "cannot load " + file.u8string() + " (error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void*>(library);
#else
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) *error = dlerror();
  return library;
#endif
}

VtEntry FindEntry(void* library) {
#if defined(_WIN32)
  // through void (*)(), the generic function pointer, as FARPROC's own signature is not the entry's
  const FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), VT_ENTRY_NAME);
  return reinterpret_cast<VtEntry>(reinterpret_cast<void (*)()>(entry));
#else
  return reinterpret_cast<VtEntry>(dlsym(library, VT_ENTRY_NAME));
#endif
}

void CloseLibrary(void* library) {
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(library));
#else
  dlclose(library);
#endif
}

}  // namespace

std::string ModuleFileName(const std::string& base) {
#if defined(_WIN32)
  return base + ".riz64";
#elif defined(__APPLE__)
  return base + ".dudi";
#else
  return base + ".so";
#endif
}

std::unique_ptr<Module> Module::Load(Host& host, const std::filesystem::path& file, std::string* error) {
  // loading reads the file: a folder, a device or a FIFO (which would wait for a writer) is refused
  std::error_code failure;
  if (!std::filesystem::is_regular_file(file, failure)) {
    *error = "cannot load " + file.u8string() +
             (std::filesystem::exists(file, failure) ? ": not a regular file" : ": no such file");
    return nullptr;
  }
  // the file checked, by a name the system's library search does not take for a bare name (which it
  // would look for in its own folders first)
  const std::filesystem::path exact = std::filesystem::absolute(file, failure);
  if (failure) return *error = "cannot load " + file.u8string() + ": " + failure.message(), nullptr;
  void* library = OpenLibrary(exact, error);
  if (library == nullptr) return nullptr;
  const VtEntry entry = FindEntry(library);
  if (entry == nullptr) {
    *error = file.u8string() + " exports no " VT_ENTRY_NAME;
    CloseLibrary(library);
    return nullptr;
  }
  auto module = std::unique_ptr<Module>(new Module(host, library, entry, file));
  host.Files().AddInput(file, "the module file this run loaded");
  host.Files().AddInputFolder(module->Folder() / "res", "in the res folder of the module this run loaded");
  return module;
}

std::unique_ptr<Module> Module::FromEntry(Host& host, VtEntry entry, const std::filesystem::path& folder) {
  auto module = std::unique_ptr<Module>(new Module(host, /*library=*/nullptr, entry, folder / "module"));
  host.Files().AddInputFolder(module->Folder() / "res", "in the res folder of the module this run started");
  return module;
}

Module::Module(Host& host, void* library, VtEntry entry, std::filesystem::path file)
    : host_(host),
      library_(library),
      entry_(entry),
      file_(std::move(file)),
      folder_(std::filesystem::absolute(file_).parent_path()),
      record_(InterfaceRecord(host.Options().interfaceVersion)) {}

Module::~Module() {
  host_.ForgetModule(folder_);
  if (library_ != nullptr) CloseLibrary(library_);
}

int32_t Module::Call(int32_t action, void* p1, void* p2, void* p3) {
  host_.Types().SetModuleFolder(folder_);
  return entry_(action, p1, p2, p3);
}

int32_t Module::Init() { return Init(&record_, &folder_); }

int32_t Module::Init(const VtHostInterface* record, const std::filesystem::path* location) {
  VtFilename* name = location ? NewFilename(location->u8string()) : nullptr;
  const int32_t result = Call(VT_ACTION_INIT, const_cast<VtHostInterface*>(record), nullptr, name);
  ReleaseFilename(name);
  return result;
}

int32_t Module::Message(int32_t id, void* data) {
  return Call(VT_ACTION_MESSAGE, reinterpret_cast<void*>(static_cast<intptr_t>(id)), data);
}

int32_t Module::Start() { return Call(VT_ACTION_START); }

int32_t Module::End() { return Call(VT_ACTION_END); }

bool Module::StartUp(std::string* error) {
  constexpr int32_t kLoadResources = 1;
  if (Init() != 1) {
    *error = "the module refused to start (action 1) with interface version " + std::to_string(record_.version);
    return false;
  }
  // like the host application, start goes ahead after a failed resource message
  const bool resources = Message(kLoadResources) == 1;
  const bool started = Start() == 1;
  if (!resources) *error = "the module could not load its resources (action 6): is res/ beside it?";
  if (resources && !started) *error = "the module did not register its object (action 2)";
  return resources && started;
}

}  // namespace vthost

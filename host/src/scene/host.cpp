// The host object: the record it hands to modules, what modules showed the user, the files the
// run reads, and the one live host that the tables reach.
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <ostream>

#include "base/outputfiles.h"
#include "scene/model.h"

namespace vthost {
namespace {

Host* g_current = nullptr;

// One box is one line: line breaks are written as \n.
std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else if (c != '\r') {
      line += c;
    }
  }
  return line;
}

}  // namespace

Host::Host(HostOptions options) : options_(options) {
  assert(g_current == nullptr && "only one Host may live at a time: destroy the previous one first");
  g_current = this;
  record_.version = options_.interfaceVersion;
  AssembleRecord(&record_);
}

Host::~Host() {
  ReleaseLooseObjects();
  if (g_current == this) g_current = nullptr;
}

Host* Host::Current() { return g_current; }

const ObjectType* Host::FindObjectType(int32_t id) const {
  for (const ObjectType& type : objectTypes_) {
    if (type.id == id) return &type;
  }
  return nullptr;
}

void Host::Record(Event event) {
  if (options_.log != nullptr) {
    std::ostream& log = *options_.log;
    switch (event.kind) {
      case Event::Kind::Console:
        log << "[console] " << OneLine(event.text) << '\n';
        break;
      case Event::Kind::Message:
        log << "[message] " << OneLine(event.text) << '\n';
        break;
      case Event::Kind::Question:
        log << "[question] " << OneLine(event.text) << " -> " << (event.answer ? "yes" : "no") << '\n';
        break;
    }
    log.flush();
  }
  events_.push_back(std::move(event));
}

std::vector<std::string> Host::Texts(Event::Kind kind) const {
  std::vector<std::string> texts;
  for (const Event& event : events_) {
    if (event.kind == kind) texts.push_back(event.text);
  }
  return texts;
}

void Host::AddInput(const std::filesystem::path& file, const std::string& what) { RememberInput(file, what, false); }

void Host::AddInputFolder(const std::filesystem::path& folder, const std::string& what) {
  RememberInput(folder, what, true);
}

void Host::RememberInput(const std::filesystem::path& file, const std::string& what, bool folder) {
  // the element table is looked up by every new object, a module's folder by every load
  const auto known = [&](const Input& input) { return input.name.Name() == file && input.folder == folder; };
  if (std::none_of(inputs_.begin(), inputs_.end(), known)) inputs_.push_back({ResolvedName(file), what, folder});
}

bool Host::WriteOutput(const std::filesystem::path& file, std::string_view bytes, std::string* error) const {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  const ResolvedName output(file);
  for (const Input& input : inputs_) {
    if (input.folder ? output.InFolder(input.name) : output.SameFile(input.name)) {
      return *error = file.u8string() + " is " + input.what + ": not written", false;
    }
  }
  return WriteWhole(file, bytes, error);
}

Host& CurrentHost() {
  assert(g_current != nullptr && "a host table was called with no Host alive");
  return *g_current;
}

}  // namespace vthost

// Resource sets in the host's JSON format, as a module's res folder holds them.
//
// res/strings.json:               {"strings": {"50000": "Molecule"}}
// res/description/<name>.json:    {"description": "<name>", "entries": [ {entry}, ... ]}
// entry: "id", "name", "type", optional "parent" (a group id), "label", "default", "choices"
// ({"0": "label", ...}), "min", "max", "step", "unit", "hidden", "help" (a sentence on
// what the parameter does). A file's shape is checked as it is read: anything missing or of another
// kind refuses the whole set with a reason.
#include "resources/resourceset.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <system_error>

#include "base/numbers.h"

namespace vthost {
namespace {

using nlohmann::json;

// The reasons below name no file: each reader of a file puts its name before them.
// The text is read whole first: nlohmann-json reads a stream a character at a time, at twice the
// cost of reading text in memory.
bool ReadJson(const std::filesystem::path& file, json* document, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot open it";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  *document = json::parse(text.str(), nullptr, false);
  if (document->is_discarded() || !document->is_object()) {
    *error = "not a JSON object";
    return false;
  }
  return true;
}

// A JSON value as one of the kinds entries hold; false with the reason when it is another kind (the
// kind is checked first: nlohmann's get throws on the wrong one).
bool Read(const json& value, const std::string& what, int32_t* out, std::string* error) {
  using Limits = std::numeric_limits<int32_t>;
  const bool fits = value.is_number_unsigned()
                        ? value.get<uint64_t>() <= uint64_t{Limits::max()}
                        : value.is_number_integer() && value.get<int64_t>() >= Limits::min() &&
                              value.get<int64_t>() <= Limits::max();
  if (!fits) return *error = what + " is not a 32-bit whole number", false;
  return *out = value.get<int32_t>(), true;
}
bool Read(const json& value, const std::string& what, double* out, std::string* error) {
  if (!value.is_number()) return *error = what + " is not a number", false;
  return *out = value.get<double>(), true;
}
bool Read(const json& value, const std::string& what, bool* out, std::string* error) {
  if (!value.is_boolean()) return *error = what + " is not true or false", false;
  return *out = value.get<bool>(), true;
}
bool Read(const json& value, const std::string& what, std::string* out, std::string* error) {
  if (!value.is_string()) return *error = what + " is not a string", false;
  return *out = value.get<std::string>(), true;
}
bool Read(const json& value, const std::string& what, std::optional<double>* out, std::string* error) {
  double number = 0.0;
  if (!Read(value, what, &number, error)) return false;
  return *out = number, true;
}

// A member of an object, read as its kind: one that is not there leaves *out as it is (Optional)
// or fails (Required).
template <typename T>
bool Optional(const json& object, const char* key, T* out, std::string* error) {
  const auto found = object.find(key);
  return found == object.end() || Read(*found, std::string("\"") + key + "\"", out, error);
}
template <typename T>
bool Required(const json& object, const char* key, T* out, std::string* error) {
  if (!object.contains(key)) return *error = std::string("no \"") + key + "\"", false;
  return Optional(object, key, out, error);
}

bool ToId(const std::string& text, int32_t* id, std::string* error) {
  return ParseInt32(text, id) || (*error = "not an id: " + text, false);
}

bool DefaultOf(const EntryKindName& kind, const json& value, Value* out, std::string* error) {
  if (value.is_null()) return true;
  const auto as = [&](auto held) { return Read(value, "the default", &held, error) && (*out = held, true); };
  switch (kind.kind) {
    case EntryKind::Bool: return as(false);
    case EntryKind::Int: return as(int32_t{0});
    case EntryKind::Float: return as(0.0);
    case EntryKind::String: return as(std::string());
    case EntryKind::Vector:
    case EntryKind::Colour: {
      const auto number = [](const json& item) { return item.is_number(); };
      if (!value.is_array() || value.size() != 3 || !std::all_of(value.begin(), value.end(), number)) {
        return *error = "a vector default needs three numbers", false;
      }
      return *out = VtVector{value[0].get<double>(), value[1].get<double>(), value[2].get<double>()}, true;
    }
    default: return *error = "no default allowed for type " + std::string(kind.name), false;
  }
}

bool ParseEntry(const json& item, DescriptionEntry* entry, std::string* error) {
  std::string type;
  if (!item.is_object()) return *error = "an entry is not an object", false;
  if (!Required(item, "id", &entry->id, error) || !Optional(item, "name", &entry->name, error) ||
      !Required(item, "type", &type, error)) {
    return false;
  }
  const EntryKindName* kind = FindEntryKind(type);
  if (kind == nullptr) return *error = "unknown type " + type, false;
  entry->kind = kind->kind;
  const auto value = item.find("default");
  if (!Optional(item, "parent", &entry->parent, error) || !Optional(item, "label", &entry->label, error) ||
      !DefaultOf(*kind, value == item.end() ? json() : *value, &entry->defaultValue, error)) {
    return false;
  }
  const auto choices = item.find("choices");
  if (choices != item.end()) {
    if (!choices->is_object()) return *error = "\"choices\" is not an object", false;
    for (const auto& [key, label] : choices->items()) {
      std::pair<int32_t, std::string> choice;
      if (!ToId(key, &choice.first, error) || !Read(label, "a choice", &choice.second, error)) return false;
      entry->choices.push_back(std::move(choice));
    }
  }
  return Optional(item, "min", &entry->minimum, error) && Optional(item, "max", &entry->maximum, error) &&
         Optional(item, "step", &entry->step, error) && Optional(item, "unit", &entry->unit, error) &&
         Optional(item, "hidden", &entry->hidden, error) && Optional(item, "help", &entry->help, error);
}

// Ids are unique and every parent is a group declared before its children.
bool Validate(const StaticDescription& description, std::string* error) {
  std::set<int32_t> ids, groups;
  for (const DescriptionEntry& entry : description.entries) {
    if (!ids.insert(entry.id).second) return *error = "duplicate id " + std::to_string(entry.id), false;
    if (entry.parent != 0 && groups.count(entry.parent) == 0) {
      return *error = "id " + std::to_string(entry.id) + " has no group " + std::to_string(entry.parent), false;
    }
    if (entry.kind == EntryKind::Group) groups.insert(entry.id);
  }
  return true;
}

std::shared_ptr<const StaticDescription> ParseDescription(const json& document, std::string* error) {
  auto description = std::make_shared<StaticDescription>();
  if (!Required(document, "description", &description->name, error)) return nullptr;
  const auto entries = document.find("entries");
  if (entries == document.end() || !entries->is_array()) return *error = "no array of \"entries\"", nullptr;
  for (const json& item : *entries) {
    if (!ParseEntry(item, &description->entries.emplace_back(), error)) return nullptr;
  }
  return Validate(*description, error) ? description : nullptr;
}

bool NameTheFile(const std::filesystem::path& file, std::string* error) {
  *error = file.u8string() + ": " + *error;
  return false;
}

bool ReadStrings(const std::filesystem::path& file, std::map<int32_t, std::string>* strings, std::string* error) {
  json document;
  if (!ReadJson(file, &document, error)) return NameTheFile(file, error);
  const auto table = document.find("strings");
  if (table == document.end() || !table->is_object()) {
    *error = "no object of \"strings\"";
    return NameTheFile(file, error);
  }
  for (const auto& [key, text] : table->items()) {
    int32_t id = 0;
    if (!ToId(key, &id, error) || !Read(text, "string " + key, &(*strings)[id], error)) return NameTheFile(file, error);
  }
  return true;
}

std::shared_ptr<const StaticDescription> ReadDescription(const std::filesystem::path& file, std::string* error) {
  json document;
  std::shared_ptr<const StaticDescription> description;
  if (ReadJson(file, &document, error)) description = ParseDescription(document, error);
  if (description == nullptr) NameTheFile(file, error);
  return description;
}

}  // namespace

const EntryKindName* FindEntryKind(std::string_view name) {
  for (const EntryKindName& kind : kEntryKinds) {
    if (kind.name == name) return &kind;
  }
  return nullptr;
}

const EntryKindName* FindEntryKind(int32_t dataType) {
  for (const EntryKindName& kind : kEntryKinds) {
    if (kind.dataType == dataType) return &kind;
  }
  return nullptr;
}

const EntryKindName& NameOf(EntryKind kind) {
  // the table lists the kinds in the order of their declaration
  return kEntryKinds[static_cast<size_t>(kind)];
}

const DescriptionEntry* StaticDescription::Find(int32_t id) const {
  for (const DescriptionEntry& entry : entries) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

const DescriptionEntry* StaticDescription::Find(const std::string& wanted) const {
  for (const DescriptionEntry& entry : entries) {
    if (entry.name == wanted) return &entry;
  }
  return nullptr;
}

bool ReadResourceSet(const std::filesystem::path& folder, ResourceSet* set, std::string* error) {
  std::error_code status;
  if (folder.empty() || !std::filesystem::is_directory(folder, status)) {
    return *error = "no resource folder " + folder.u8string(), false;
  }
  ResourceSet read;
  if (!ReadStrings(folder / "strings.json", &read.strings, error)) return false;
  const std::filesystem::path descriptions = folder / "description";
  if (std::filesystem::is_directory(descriptions, status)) {
    std::error_code failure;
    for (std::filesystem::directory_iterator file(descriptions, failure), end; !failure && file != end;
         file.increment(failure)) {
      if (file->path().extension() != ".json") continue;
      std::shared_ptr<const StaticDescription> description = ReadDescription(file->path(), error);
      if (description == nullptr) return false;
      read.descriptions[description->name] = std::move(description);
    }
    if (failure) return *error = "cannot read " + descriptions.u8string(), false;
  }
  *set = std::move(read);
  return true;
}

}  // namespace vthost

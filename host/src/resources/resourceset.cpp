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
#include <set>
#include <sstream>
#include <system_error>

#include "base/numbers.h"
#include "resources/jsontext.h"

namespace vthost {
namespace {

using Kind = JsonValue::Kind;

// The reasons below name no file: each reader of a file puts its name before them.
bool ReadJson(const std::filesystem::path& file, JsonValue* document, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot open it";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!ParseJson(text.str(), document) || document->kind != Kind::Object) {
    *error = "not a JSON object";
    return false;
  }
  return true;
}

// What a value is called in a reason: a member by its key in quotes, or in words. Only a reason
// spells it out: most values are of their kind.
struct Subject {
  std::string_view words;
  bool quoted = false;
  std::string Text() const { return quoted ? "\"" + std::string(words) + "\"" : std::string(words); }
};

// A JSON value as one of the kinds entries hold; false with the reason when it is another kind.
bool Read(const JsonValue& value, const Subject& what, int32_t* out, std::string* error) {
  using Limits = std::numeric_limits<int32_t>;
  const bool fits = value.kind == Kind::Unsigned ? value.whole <= uint64_t{Limits::max()}
                                                 : value.kind == Kind::Integer && value.integer >= Limits::min();
  if (!fits) {
    *error = what.Text() + " is not a 32-bit whole number";
    return false;
  }
  *out = static_cast<int32_t>(value.kind == Kind::Unsigned ? static_cast<int64_t>(value.whole) : value.integer);
  return true;
}
bool Read(const JsonValue& value, const Subject& what, double* out, std::string* error) {
  if (!value.IsNumber()) {
    *error = what.Text() + " is not a number";
    return false;
  }
  *out = value.AsDouble();
  return true;
}
bool Read(const JsonValue& value, const Subject& what, bool* out, std::string* error) {
  if (value.kind != Kind::Bool) {
    *error = what.Text() + " is not true or false";
    return false;
  }
  *out = value.flag;
  return true;
}
bool Read(const JsonValue& value, const Subject& what, std::string* out, std::string* error) {
  if (value.kind != Kind::String) {
    *error = what.Text() + " is not a string";
    return false;
  }
  *out = value.text;
  return true;
}
bool Read(const JsonValue& value, const Subject& what, std::optional<double>* out, std::string* error) {
  double number = 0.0;
  if (!Read(value, what, &number, error)) return false;
  *out = number;
  return true;
}

// A member of an object, read as its kind: one that is not there leaves *out as it is (Optional)
// or fails (Required).
template <typename T>
bool Optional(const JsonValue& object, const char* key, T* out, std::string* error) {
  const JsonValue* found = object.Find(key);
  return found == nullptr || Read(*found, Subject{key, /*quoted=*/true}, out, error);
}
template <typename T>
bool Required(const JsonValue& object, const char* key, T* out, std::string* error) {
  const JsonValue* found = object.Find(key);
  if (found == nullptr) {
    *error = std::string("no \"") + key + "\"";
    return false;
  }
  return Read(*found, Subject{key, /*quoted=*/true}, out, error);
}

bool ToId(const std::string& text, int32_t* id, std::string* error) {
  if (ParseInt32(text, id)) return true;
  *error = "not an id: " + text;
  return false;
}

bool VectorOf(const JsonValue& value, Value* out, std::string* error) {
  const auto number = [](const JsonValue& item) { return item.IsNumber(); };
  if (value.kind != Kind::Array || value.items.size() != 3 ||
      !std::all_of(value.items.begin(), value.items.end(), number)) {
    *error = "a vector default needs three numbers";
    return false;
  }
  *out = VtVector{value.items[0].AsDouble(), value.items[1].AsDouble(), value.items[2].AsDouble()};
  return true;
}

bool DefaultOf(const EntryKindName& kind, const JsonValue& value, Value* out, std::string* error) {
  if (value.kind == Kind::Null) return true;
  const auto as = [&](auto held) {
    if (!Read(value, Subject{"the default"}, &held, error)) return false;
    *out = held;
    return true;
  };
  switch (kind.kind) {
    case EntryKind::Bool: return as(false);
    case EntryKind::Int: return as(int32_t{0});
    case EntryKind::Float: return as(0.0);
    case EntryKind::String: return as(std::string());
    case EntryKind::Vector:
    case EntryKind::Colour: return VectorOf(value, out, error);
    default:
      *error = "no default allowed for type " + std::string(kind.name);
      return false;
  }
}

// The choices in the order of their keys' text ("10" before "2"), as they have always been read.
bool ChoicesOf(const JsonValue& choices, DescriptionEntry* entry, std::string* error) {
  if (choices.kind != Kind::Object) {
    *error = "\"choices\" is not an object";
    return false;
  }
  for (const auto* member : choices.ByKey()) {
    const auto& [key, label] = *member;
    std::pair<int32_t, std::string> choice;
    if (!ToId(key, &choice.first, error) || !Read(label, Subject{"a choice"}, &choice.second, error)) return false;
    entry->choices.push_back(std::move(choice));
  }
  return true;
}

bool ParseEntry(const JsonValue& item, DescriptionEntry* entry, std::string* error) {
  std::string type;
  if (item.kind != Kind::Object) {
    *error = "an entry is not an object";
    return false;
  }
  if (!Required(item, "id", &entry->id, error) || !Optional(item, "name", &entry->name, error) ||
      !Required(item, "type", &type, error)) {
    return false;
  }
  const EntryKindName* kind = FindEntryKind(type);
  if (kind == nullptr) {
    *error = "unknown type " + type;
    return false;
  }
  entry->kind = kind->kind;
  const JsonValue* value = item.Find("default");
  if (!Optional(item, "parent", &entry->parent, error) || !Optional(item, "label", &entry->label, error) ||
      !DefaultOf(*kind, value ? *value : JsonValue(), &entry->defaultValue, error)) {
    return false;
  }
  const JsonValue* choices = item.Find("choices");
  if (choices != nullptr && !ChoicesOf(*choices, entry, error)) return false;
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

std::shared_ptr<const StaticDescription> ParseDescription(const JsonValue& document, std::string* error) {
  auto description = std::make_shared<StaticDescription>();
  if (!Required(document, "description", &description->name, error)) return nullptr;
  const JsonValue* entries = document.Find("entries");
  if (entries == nullptr || entries->kind != Kind::Array) {
    *error = "no array of \"entries\"";
    return nullptr;
  }
  for (const JsonValue& item : entries->items) {
    if (!ParseEntry(item, &description->entries.emplace_back(), error)) return nullptr;
  }
  return Validate(*description, error) ? description : nullptr;
}

bool NameTheFile(const std::filesystem::path& file, std::string* error) {
  *error = file.u8string() + ": " + *error;
  return false;
}

bool ReadStrings(const std::filesystem::path& file, std::map<int32_t, std::string>* strings, std::string* error) {
  JsonValue document;
  if (!ReadJson(file, &document, error)) return NameTheFile(file, error);
  const JsonValue* table = document.Find("strings");
  if (table == nullptr || table->kind != Kind::Object) {
    *error = "no object of \"strings\"";
    return NameTheFile(file, error);
  }
  for (const auto* member : table->ByKey()) {
    const auto& [key, text] = *member;
    int32_t id = 0;
    const std::string what = "string " + key;
    if (!ToId(key, &id, error) || !Read(text, Subject{what}, &(*strings)[id], error)) return NameTheFile(file, error);
  }
  return true;
}

std::shared_ptr<const StaticDescription> ReadDescription(const std::filesystem::path& file, std::string* error) {
  JsonValue document;
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

// The Rs table over resource sets in the host's JSON format.
//
// res/strings.json:               {"strings": {"50000": "Molecule"}}
// res/description/<name>.json:    {"description": "<name>", "entries": [ {entry}, ... ]}
// entry: "id", "name", "type", optional "parent" (a group id), "label", "default", "choices"
// ({"0": "label", ...}), "min", "max", "step", "unit", "hidden", "help" (a sentence on
// what the parameter does).
#include "resources.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <system_error>

namespace vthost {
namespace {

using nlohmann::json;

const std::set<std::string> kEntryTypes = {"group", "button", "bool",   "int",      "float",
                                           "vector", "colour", "string", "filename", "link"};

std::optional<json> ReadJson(const std::filesystem::path& file, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot open " + file.u8string();
    return std::nullopt;
  }
  json document = json::parse(in, nullptr, false);
  if (document.is_discarded() || !document.is_object()) {
    *error = "not a JSON object: " + file.u8string();
    return std::nullopt;
  }
  return document;
}

int32_t ToId(const std::string& text) {
  int32_t id = 0;
  if (!ParseInt32(text, &id)) throw std::invalid_argument("not an id: " + text);
  return id;
}

Value DefaultOf(const std::string& type, const json& value) {
  if (value.is_null()) return {};
  if (type == "bool") return value.get<bool>();
  if (type == "int") return value.get<int32_t>();
  if (type == "float") return value.get<double>();
  if (type == "vector" || type == "colour") {
    const auto xyz = value.get<std::vector<double>>();
    if (xyz.size() != 3) throw std::invalid_argument("a vector default needs three numbers");
    return VtVector{xyz[0], xyz[1], xyz[2]};
  }
  if (type == "string") return value.get<std::string>();
  throw std::invalid_argument("no default allowed for type " + type);
}

DescriptionEntry ParseEntry(const json& item) {
  DescriptionEntry entry;
  entry.id = item.at("id").get<int32_t>();
  entry.name = item.value("name", std::string());
  entry.type = item.at("type").get<std::string>();
  if (kEntryTypes.count(entry.type) == 0) throw std::invalid_argument("unknown type " + entry.type);
  entry.parent = item.value("parent", 0);
  entry.label = item.value("label", std::string());
  entry.defaultValue = DefaultOf(entry.type, item.value("default", json()));
  if (item.contains("choices")) {
    for (const auto& [value, label] : item.at("choices").items()) entry.choices.emplace_back(ToId(value), label.get<std::string>());
  }
  if (item.contains("min")) entry.minimum = item.at("min").get<double>();
  if (item.contains("max")) entry.maximum = item.at("max").get<double>();
  if (item.contains("step")) entry.step = item.at("step").get<double>();
  entry.unit = item.value("unit", std::string());
  entry.hidden = item.value("hidden", false);
  entry.help = item.value("help", std::string());
  return entry;
}

// Ids are unique and every parent is a group declared before its children.
void Validate(const StaticDescription& description) {
  std::set<int32_t> ids, groups;
  for (const DescriptionEntry& entry : description.entries) {
    if (!ids.insert(entry.id).second) throw std::invalid_argument("duplicate id " + std::to_string(entry.id));
    if (entry.parent != 0 && groups.count(entry.parent) == 0) {
      throw std::invalid_argument("id " + std::to_string(entry.id) + " has no group " + std::to_string(entry.parent));
    }
    if (entry.type == "group") groups.insert(entry.id);
  }
}

std::shared_ptr<const StaticDescription> ParseDescription(const json& document) {
  auto description = std::make_shared<StaticDescription>();
  description->name = document.at("description").get<std::string>();
  for (const json& item : document.at("entries")) description->entries.push_back(ParseEntry(item));
  Validate(*description);
  return description;
}

VtResource* Load(const VtFilename* folder) {
  if (!CurrentHost().Faults().Allow(AllocKind::Resource)) return nullptr;
  std::string error;
  std::optional<ResourceSet> set = ReadResourceSet(std::filesystem::u8path(PathOf(folder)), &error);
  if (!set) return nullptr;
  return new VtResource{std::move(*set)};
}

void Free(VtResource* resource) { delete resource; }

VtString* GetString(const VtResource* resource, int32_t id) {
  if (resource == nullptr) return NewString({});
  const auto found = resource->set.strings.find(id);
  return NewString(found == resource->set.strings.end() ? std::string() : found->second);
}

}  // namespace

const VtRsTable kRsTable = {Load, Free, GetString};

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

std::optional<ResourceSet> ReadResourceSet(const std::filesystem::path& folder, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  std::error_code status;
  if (folder.empty() || !std::filesystem::is_directory(folder, status)) {
    *error = "no resource folder " + folder.u8string();
    return std::nullopt;
  }
  try {
    ResourceSet set;
    const std::optional<json> strings = ReadJson(folder / "strings.json", error);
    if (!strings) return std::nullopt;
    for (const auto& [id, text] : strings->at("strings").items()) set.strings[ToId(id)] = text.get<std::string>();

    const std::filesystem::path descriptions = folder / "description";
    if (std::filesystem::is_directory(descriptions, status)) {
      for (const auto& file : std::filesystem::directory_iterator(descriptions)) {
        if (file.path().extension() != ".json") continue;
        const std::optional<json> document = ReadJson(file.path(), error);
        if (!document) return std::nullopt;
        std::shared_ptr<const StaticDescription> description = ParseDescription(*document);
        set.descriptions[description->name] = std::move(description);
      }
    }
    return set;
  } catch (const std::exception& failure) {
    *error = failure.what();
    return std::nullopt;
  }
}

}  // namespace vthost

// The parameters of a static description as a Markdown table: what vantor-host --parameters prints
// and the README shows.
#include <cstdio>
#include <sstream>
#include <type_traits>
#include <variant>

#include "resources/resourceset.h"
#include "vthost/parametertable.h"

namespace vthost {
namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::string ValueText(const Value& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, int32_t>) return std::to_string(v);
        if constexpr (std::is_same_v<T, double>) return Number(v);
        if constexpr (std::is_same_v<T, bool>) return v ? "true" : "false";
        if constexpr (std::is_same_v<T, VtVector>) return Number(v.x) + " " + Number(v.y) + " " + Number(v.z);
        if constexpr (std::is_same_v<T, std::string>) return "\"" + v + "\"";
        return "";
      },
      value);
}

std::string TypeText(const DescriptionEntry& entry) {
  switch (entry.kind) {
    case EntryKind::Int: return entry.choices.empty() ? "integer" : "choice";
    case EntryKind::Filename: return "file name";
    default: return std::string(NameOf(entry.kind).name);
  }
}

std::string RangeText(const DescriptionEntry& entry) {
  if (!entry.choices.empty()) {
    std::string text;
    for (const auto& [value, label] : entry.choices) text += (text.empty() ? "" : ", ") + std::to_string(value) + " " + label;
    return text;
  }
  if (entry.minimum && entry.maximum) return Number(*entry.minimum) + " to " + Number(*entry.maximum);
  if (entry.minimum) return Number(*entry.minimum) + " or more";
  if (entry.maximum) return "up to " + Number(*entry.maximum);
  return "";
}

}  // namespace

std::string ParameterTable(const StaticDescription& description) {
  std::ostringstream table;
  table << "| parameter | id | type | default | range | what it does |\n|---|---|---|---|---|---|\n";
  for (const DescriptionEntry& entry : description.entries) {
    if (entry.kind == EntryKind::Group) continue;
    table << "| `" << entry.name << "` | " << entry.id << " | " << TypeText(entry) << " | "
          << ValueText(entry.defaultValue) << " | " << RangeText(entry) << " | " << entry.help << " |\n";
  }
  return table.str();
}

}  // namespace vthost

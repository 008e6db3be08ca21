// Parameters named and their values read from text.
#include "description/parametertext.h"

#include <cmath>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <variant>

#include "base/numbers.h"
#include "resources/resourceset.h"
#include "scene/model.h"
#include "vthost/description.h"
#include "vthost/molecule.h"

namespace vthost {
namespace {

// The row parameter of a name without its [row]; null for none.
const molecule::RowParameter* FindRowParameter(std::string_view name) {
  for (const molecule::RowParameter& parameter : molecule::kRowParameters) {
    if (parameter.name == name) return &parameter;
  }
  return nullptr;
}

// The data type of a row parameter's id, for rows the description does not show (yet); 0 for an
// id that is no row parameter.
int32_t RowDataType(int32_t id) {
  // a row's ids begin with its group, the first row parameter
  const int32_t first = molecule::RowParameterId(0, molecule::kRowParameters[0]);
  if (id < first || id >= first + molecule::kRowIdStride * molecule::kMaxRows) return 0;
  const int32_t offset = (id - first) % molecule::kRowIdStride + molecule::kRowParameters[0].offset;
  for (const molecule::RowParameter& parameter : molecule::kRowParameters) {
    if (parameter.offset == offset) return parameter.dataType;
  }
  return 0;
}

// Reads text as a value of the data type; false when it is not one.
bool ParseValue(int32_t dataType, const std::vector<std::string>& words, const std::string& rest, Value* value) {
  const std::string first = words.empty() ? std::string() : words[0];
  switch (dataType) {
    case VT_DATATYPE_INT32: {
      int32_t number = 0;
      if (words.size() != 1 || !ParseInt32(first, &number)) return false;  // 2.5 too, as a bool refuses 1
      return *value = number, true;
    }
    case VT_DATATYPE_FLOAT: {
      double real = 0.0;
      if (words.size() != 1 || !ParseFloat(first, &real)) return false;
      return *value = real, true;
    }
    case VT_DATATYPE_BOOL:
      if (words.size() != 1 || (first != "true" && first != "false")) return false;
      return *value = first == "true", true;
    case VT_DATATYPE_VECTOR:
    case VT_DATATYPE_COLOUR: {
      VtVector vector{};
      if (words.size() != 3 || !ParseFloat(words[0], &vector.x) || !ParseFloat(words[1], &vector.y) ||
          !ParseFloat(words[2], &vector.z)) {
        return false;
      }
      return *value = vector, true;
    }
    case VT_DATATYPE_FILENAME:
      return *value = std::filesystem::u8path(rest), true;
    case VT_DATATYPE_STRING:
      return *value = rest, true;
    default:
      return false;
  }
}

// The data type of the entry shown for id; for a row not shown yet, the row parameter's.
int32_t TypeShown(const ShownEntry* entry, int32_t id) { return entry ? entry->dataType : RowDataType(id); }

// A number as the shortest text that reads back as it; a whole one as an integer.
std::string Shortest(double number) {
  if (std::trunc(number) == number && std::fabs(number) < 1e15) return std::to_string(static_cast<int64_t>(number));
  char text[32];
  return std::string(text, WriteShortest(text, number));
}

// What the object takes for a number outside the range it shows for the parameter ("-5 is below the
// least MOLOBJ_SEGMENTS, 3, which the object takes"); empty for a number within it.
std::string ClampNotice(const ShownEntry* entry, const std::string& name, const Value& value) {
  if (entry == nullptr || !(std::holds_alternative<int32_t>(value) || std::holds_alternative<double>(value))) return {};
  const double number = std::holds_alternative<int32_t>(value) ? std::get<int32_t>(value) : std::get<double>(value);
  for (const auto& [key, below, word] : {std::tuple{VT_ATTRIBUTE_MINIMUM, true, "below the least"},
                                         std::tuple{VT_ATTRIBUTE_MAXIMUM, false, "above the largest"}}) {
    const Value* limit = Lookup(entry->attributes.get(), key);
    if (limit == nullptr) continue;
    const double bound = std::holds_alternative<int32_t>(*limit)  ? std::get<int32_t>(*limit)
                         : std::holds_alternative<double>(*limit) ? std::get<double>(*limit)
                                                                  : number;
    if (below ? number < bound : number > bound) {
      return Shortest(number) + " is " + word + " " + name + ", " + Shortest(bound) + ", which the object takes";
    }
  }
  return {};
}

}  // namespace

bool Words(std::string_view text, std::vector<Word>* words) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  words->clear();
  size_t at = text.find_first_not_of(kBlanks);
  while (at != std::string_view::npos) {
    Word word;
    bool quoted = false;
    for (; at < text.size() && (quoted || kBlanks.find(text[at]) == std::string_view::npos); ++at) {
      if (text[at] == '"') {
        quoted = !quoted;
        word.quoted = true;
      } else if (quoted && text[at] == '\\' && at + 1 < text.size() && (text[at + 1] == '"' || text[at + 1] == '\\')) {
        word.text += text[++at];
      } else {
        word.text += text[at];
      }
    }
    if (quoted) return false;
    word.end = at;
    words->push_back(std::move(word));
    at = text.find_first_not_of(kBlanks, at);
  }
  return true;
}

std::string DataTypeWithArticle(int32_t dataType) {
  const std::string name = DataTypeName(dataType);
  return (std::string_view("aeiou").find(name[0]) == std::string_view::npos ? "a " : "an ") + name;
}

std::string DataTypeName(int32_t dataType) {
  const EntryKindName* kind = FindEntryKind(dataType);
  return kind ? std::string(kind->name) : "unknown";
}

int32_t ParameterIdOf(Host& host, VtNode* node, const std::string& name) {
  std::string ignored;
  return FindParameterId(host, node, name, &ignored);
}

int32_t FindParameterId(Host& host, VtNode* node, const std::string& name, std::string* error) {
  int32_t id = 0;
  if (ParseInt32(name, &id) && id != 0) return id;
  const size_t bracket = name.find('[');
  if (bracket != std::string::npos && name.back() == ']') {
    const molecule::RowParameter* parameter = FindRowParameter(std::string_view(name).substr(0, bracket));
    int32_t row = 0;
    if (parameter == nullptr ||
        !ParseInt32(name.substr(bracket + 1, name.size() - bracket - 2), &row)) {
      *error = "unknown parameter '" + name + "'";
      return 0;
    }
    if (row < 0 || row >= molecule::kMaxRows) {
      *error = "no row " + std::to_string(row) + " in '" + name + "': an object has at most " +
               std::to_string(molecule::kMaxRows) + " material rows, 0 to " + std::to_string(molecule::kMaxRows - 1);
      return 0;
    }
    return molecule::RowParameterId(row, *parameter);
  }
  const StaticDescription* description = host.Types().Description(NodeType(node));
  const DescriptionEntry* entry = description ? description->Find(name) : nullptr;
  if (entry == nullptr) *error = "unknown parameter '" + name + "'";
  return entry ? entry->id : 0;
}

int32_t ShownDataType(Host& host, VtNode* node, int32_t id) {
  // as the attribute editor shows the object before anyone edits it
  return TypeShown(Describe(host, node).Find(id), id);
}

bool SetParameterFromText(Host& host, VtNode* node, const std::string& name, const std::string& text,
                          std::string* notice, std::string* error) {
  if (notice != nullptr) notice->clear();
  const int32_t id = FindParameterId(host, node, name, error);
  if (id == 0) return false;
  const std::string rest(Trim(text));
  std::vector<Word> split;
  std::vector<std::string> valueWords;
  if (Words(rest, &split)) {
    for (Word& word : split) valueWords.push_back(std::move(word.text));
  }
  const Description shown = Describe(host, node);
  const ShownEntry* entry = shown.Find(id);
  const int32_t dataType = TypeShown(entry, id);
  if (dataType == 0) {
    *error = "the object shows no parameter of the id " + name;
    return false;
  }
  Value value;
  if (!ParseValue(dataType, valueWords, rest, &value)) {
    *error = "'" + rest + "' is not " + DataTypeWithArticle(dataType) + " value for " + name;
    return false;
  }
  if (notice != nullptr) *notice = ClampNotice(entry, name, value);
  host.SetParameter(node, id, value);
  return true;
}

}  // namespace vthost

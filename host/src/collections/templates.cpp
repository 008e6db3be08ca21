// The names of a collection's outputs: templates with placeholders, and titles made safe for a
// file name on every system the host runs on.
#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "vthost/collection.h"

namespace vthost {
namespace {

constexpr std::pair<std::string_view, NameTemplate::Placeholder> kPlaceholders[] = {
    {"{stem}", NameTemplate::kStem}, {"{record}", NameTemplate::kRecord}, {"{title}", NameTemplate::kTitle}};

// The longest part of a name a title gives.
constexpr size_t kMaxTitleBytes = 100;

// Names Windows gives its devices in every folder, whatever follows a dot.
constexpr std::array<std::string_view, 22> kDeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }
bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The length of the UTF-8 sequence at text[at], or 0 where none starts.
size_t Utf8Length(std::string_view text, size_t at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  const size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

bool Unsafe(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
}

}  // namespace

bool NameTemplate::Parse(const std::string& text, NameTemplate* result, std::string* error) {
  NameTemplate parsed;
  parsed.text_ = text;
  std::string literal;
  for (size_t at = 0; at < text.size();) {
    const auto known = std::find_if(std::begin(kPlaceholders), std::end(kPlaceholders),
                                    [&](const auto& p) { return text.compare(at, p.first.size(), p.first) == 0; });
    if (known != std::end(kPlaceholders)) {
      if (!literal.empty()) parsed.parts_.push_back({std::move(literal), kStem});
      literal.clear();
      parsed.parts_.push_back({"", known->second});
      parsed.placeholders_ |= known->second;
      at += known->first.size();
      continue;
    }
    const size_t close = text.find('}', at);
    const bool name = text[at] == '{' && close != std::string::npos &&
                      std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                                  text.begin() + static_cast<std::ptrdiff_t>(close),
                                  [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    if (name && close > at + 1) {
      *error = text + " names a placeholder there is not, " + text.substr(at, close - at + 1) +
               ": the placeholders are {stem}, {record} and {title}";
      return false;
    }
    literal += text[at++];
  }
  if (!literal.empty()) parsed.parts_.push_back({std::move(literal), kStem});
  *result = std::move(parsed);
  return true;
}

std::string NameTemplate::Expand(std::string_view stem, uint64_t record, std::string_view safeTitle) const {
  std::string name;
  for (const Part& part : parts_) {
    if (!part.text.empty()) {
      name += part.text;
    } else if (part.placeholder == kStem) {
      name += stem;
    } else if (part.placeholder == kRecord) {
      name += std::to_string(record);
    } else {
      name += safeTitle;
    }
  }
  return name;
}

std::string NameTemplate::FixedFolder() const {
  const std::string fixed = parts_.empty() || parts_.front().text.empty() ? "" : parts_.front().text;
  const std::string prefix = HasAny() ? fixed : text_;
  const size_t separator = prefix.find_last_of(
#if defined(_WIN32)
      "/\\"
#else
      "/"
#endif
  );
  if (separator == std::string::npos) return ".";
  return separator == 0 ? prefix.substr(0, 1) : prefix.substr(0, separator);
}

std::string NameTemplate::LiteralEnd(bool start) const {
  if (!HasAny()) return Folded(text_);
  const Part& part = start ? parts_.front() : parts_.back();
  return part.text.empty() ? "" : Folded(part.text);
}

bool NameTemplate::Disjoint(const NameTemplate& other) const {
  const std::string a = LiteralEnd(true), b = other.LiteralEnd(true);
  const std::string c = LiteralEnd(false), d = other.LiteralEnd(false);
  const bool startsApart = !StartsWith(a, b) && !StartsWith(b, a);
  const bool endsApart = !EndsWith(c, d) && !EndsWith(d, c);
  return startsApart || endsApart;
}

std::string SafeTitle(std::string_view title, uint64_t record) {
  std::string safe;
  for (size_t at = 0; at < title.size();) {
    const size_t length = Utf8Length(title, at);
    if (length == 0 || (length == 1 && Unsafe(title[at]))) {
      safe += '_';
      ++at;
      continue;
    }
    if (safe.size() + length > kMaxTitleBytes) break;
    safe.append(title.substr(at, length));
    at += length;
  }
  const auto trimmed = [](char c) { return c == ' ' || c == '.'; };
  const size_t start = static_cast<size_t>(std::find_if_not(safe.begin(), safe.end(), trimmed) - safe.begin());
  safe.erase(0, start);
  if (safe.size() > kMaxTitleBytes) safe.resize(kMaxTitleBytes);  // only '_' stand past it
  while (!safe.empty() && trimmed(safe.back())) safe.pop_back();  // the cut may end on a blank
  if (safe.empty()) return "record-" + std::to_string(record);
  std::string base = safe.substr(0, safe.find('.'));
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (std::find(kDeviceNames.begin(), kDeviceNames.end(), base) != kDeviceNames.end()) safe.insert(base.size(), "_");
  return safe;
}

std::string StemOf(const std::string& input) {
  if (input == "-") return "stdin";
  return std::filesystem::u8path(input).stem().u8string();
}

}  // namespace vthost

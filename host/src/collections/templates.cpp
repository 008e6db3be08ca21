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

// What separates folders in a name.
#if defined(_WIN32)
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif

// The longest part of a name a title gives.
constexpr size_t kMaxTitleBytes = 100;

// Names Windows gives its devices in every folder, whatever follows a dot or blanks: COM and LPT
// with a digit, a superscript one, two and three (UTF-8) among them.
constexpr std::array<std::string_view, 32> kDeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "CONIN$", "CONOUT$",
    "COM0", "COM1", "COM2", "COM3", "COM4",   "COM5",    "COM6", "COM7", "COM8", "COM9",
    "COM\xC2\xB9", "COM\xC2\xB2", "COM\xC2\xB3",
    "LPT0", "LPT1", "LPT2", "LPT3", "LPT4",   "LPT5",    "LPT6", "LPT7", "LPT8", "LPT9",
    "LPT\xC2\xB9", "LPT\xC2\xB2", "LPT\xC2\xB3"};

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }
bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The length of the well-formed UTF-8 sequence at text[at], or 0 where none starts: overlong
// forms, surrogates and code points past U+10FFFF are none (a file system that keeps names as
// UTF-16 or checks them cannot keep them, and the manifest writes them as U+FFFD).
size_t Utf8Length(std::string_view text, size_t at) {
  const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byteAt(at);
  if (lead < 0x80) return 1;
  const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  // the second byte's range where the lead allows less than 80..BF
  const unsigned char second = byteAt(at + 1);
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if ((byteAt(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// The length of the name of a device Windows opens in place of a file of this name: the name up
// to its first dot, without the blanks at its end, as Windows reads it; 0 for none.
size_t DeviceNameLength(const std::string& name) {
  size_t length = std::min(name.find('.'), name.size());
  while (length > 0 && name[length - 1] == ' ') --length;
  std::string base = name.substr(0, length);
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return std::find(kDeviceNames.begin(), kDeviceNames.end(), base) != kDeviceNames.end() ? length : 0;
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
  const size_t separator = prefix.find_last_of(kSeparators);
  if (separator == std::string::npos) return ".";
  return separator == 0 ? prefix.substr(0, 1) : prefix.substr(0, separator);
}

bool NameTemplate::FolderIsFixed() const {
  const auto first = std::find_if(parts_.begin(), parts_.end(), [](const Part& part) { return part.text.empty(); });
  return std::none_of(first, parts_.end(), [](const Part& part) {
    return part.text.find_first_of(kSeparators) != std::string::npos;
  });
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

bool NameTemplate::KeepsRecordsApart() const {
  const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  const auto literal = [](const Part& part) { return !part.text.empty(); };
  for (size_t i = 0; i < parts_.size(); ++i) {
    if (!parts_[i].text.empty() || parts_[i].placeholder != kRecord) continue;
    const auto at = parts_.begin() + static_cast<std::ptrdiff_t>(i);
    const bool endsAfter = i + 1 == parts_.size() || (literal(at[1]) && !isDigit(at[1].text.front()));
    const bool endsBefore = i == 0 || (literal(at[-1]) && !isDigit(at[-1].text.back()));
    if ((std::all_of(parts_.begin(), at, literal) && endsAfter) ||
        (std::all_of(at + 1, parts_.end(), literal) && endsBefore)) {
      return true;
    }
  }
  return false;
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
  if (const size_t device = DeviceNameLength(safe)) safe.insert(device, "_");
  return safe;
}

std::string StemOf(const std::string& input) {
  if (input == "-") return "stdin";
  return std::filesystem::u8path(input).stem().u8string();
}

}  // namespace vthost

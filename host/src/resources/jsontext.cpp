// JSON text read into values, as strictly as RFC 8259 has it: anything else refuses the whole text.
// A res folder's few kilobytes were a twentieth of a conversion's instructions through a general
// JSON library's tree of maps; this reads them in one pass into vectors.
#include "resources/jsontext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vthost {
namespace {

using Members = std::vector<std::pair<std::string, JsonValue>>;

// Deeper nesting is refused rather than read on the stack; a description nests four deep.
constexpr int kMaxDepth = 256;
// Room made at once for an object's members: a description's entry has up to ten.
constexpr size_t kMembersExpected = 12;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Bytes a string holds as they are: not the quote, the backslash, a control character or the
// start of a multi-byte character.
bool IsPlain(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte < 0x80 && c != '"' && c != '\\';
}

bool InRange(const char* at, unsigned char low, unsigned char high) {
  const auto byte = static_cast<unsigned char>(*at);
  return byte >= low && byte <= high;
}

// The length of the well-formed UTF-8 character at the start of [at, end) (RFC 3629: no overlong
// forms, no surrogates, nothing past U+10FFFF), or 0.
size_t CharacterLength(const char* at, const char* end) {
  const auto lead = static_cast<unsigned char>(*at);
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (end - at < static_cast<std::ptrdiff_t>(length) || !InRange(at + 1, low, high)) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!InRange(at + i, 0x80, 0xBF)) return 0;
  }
  return length;
}

void AppendUtf8(uint32_t point, std::string* out) {
  if (point < 0x80) {
    out->push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (point >> 6)));
    out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

class Reader {
 public:
  explicit Reader(std::string_view text) : at_(text.data()), end_(text.data() + text.size()) {}

  bool Document(JsonValue* value) {
    Word("\xEF\xBB\xBF");  // a byte order mark
    if (!Value(value, 0)) return false;
    SkipBlanks();
    return at_ == end_;
  }

 private:
  void SkipBlanks() {
    while (at_ != end_ && (*at_ == ' ' || *at_ == '\t' || *at_ == '\n' || *at_ == '\r')) ++at_;
  }

  // Takes c after any blanks.
  bool Take(char c) {
    SkipBlanks();
    if (at_ == end_ || *at_ != c) return false;
    ++at_;
    return true;
  }

  bool Word(std::string_view word) {
    if (static_cast<size_t>(end_ - at_) < word.size() || std::string_view(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue* value, int depth) {
    SkipBlanks();
    if (at_ == end_ || depth > kMaxDepth) return false;
    switch (*at_) {
      case '{': return Object(value, depth + 1);
      case '[': return Array(value, depth + 1);
      case '"':
        value->kind = JsonValue::Kind::String;
        return String(&value->text);
      case 't':
      case 'f':
        value->kind = JsonValue::Kind::Bool;
        value->flag = *at_ == 't';
        return Word(value->flag ? "true" : "false");
      case 'n': return Word("null");
      default: return Number(value);
    }
  }

  bool Array(JsonValue* value, int depth) {
    ++at_;
    value->kind = JsonValue::Kind::Array;
    if (Take(']')) return true;
    do {
      if (!Value(&value->items.emplace_back(), depth)) return false;
    } while (Take(','));
    return Take(']');
  }

  bool Object(JsonValue* value, int depth) {
    ++at_;
    value->kind = JsonValue::Kind::Object;
    value->members.reserve(kMembersExpected);
    if (!Take('}')) {
      do {
        auto& member = value->members.emplace_back();
        SkipBlanks();
        if (at_ == end_ || *at_ != '"') return false;
        if (!String(&member.first) || !Take(':') || !Value(&member.second, depth)) return false;
      } while (Take(','));
      if (!Take('}')) return false;
    }
    return true;
  }

  bool String(std::string* out) {
    ++at_;  // the opening quote
    while (at_ != end_) {
      const char* run = at_;
      while (at_ != end_ && IsPlain(*at_)) ++at_;
      out->append(run, static_cast<size_t>(at_ - run));
      if (at_ == end_) return false;
      if (*at_ == '"') {
        ++at_;
        return true;
      }
      if (*at_ == '\\') {
        if (!Escape(out)) return false;
        continue;
      }
      const size_t length = CharacterLength(at_, end_);  // 0 for a control character too
      if (length == 0) return false;
      out->append(at_, length);
      at_ += length;
    }
    return false;
  }

  bool Escape(std::string* out) {
    ++at_;  // the backslash
    if (at_ == end_) return false;
    const char c = *at_++;
    switch (c) {
      case '"':
      case '\\':
      case '/': out->push_back(c); return true;
      case 'b': out->push_back('\b'); return true;
      case 'f': out->push_back('\f'); return true;
      case 'n': out->push_back('\n'); return true;
      case 'r': out->push_back('\r'); return true;
      case 't': out->push_back('\t'); return true;
      case 'u': return Unicode(out);
      default: return false;
    }
  }

  bool Hex4(uint32_t* unit) {
    if (end_ - at_ < 4) return false;
    const auto [stop, failure] = std::from_chars(at_, at_ + 4, *unit, 16);
    if (failure != std::errc() || stop != at_ + 4) return false;
    at_ += 4;
    return true;
  }

  // A character after \u: a surrogate pair (\uD83D\uDE00) stands for one past U+FFFF; a surrogate
  // alone is refused.
  bool Unicode(std::string* out) {
    uint32_t unit = 0;
    if (!Hex4(&unit) || (unit >= 0xDC00 && unit <= 0xDFFF)) return false;
    uint32_t point = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      uint32_t low = 0;
      if (!Word("\\u") || !Hex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
      point = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(point, out);
    return true;
  }

  bool Digits() {
    const char* first = at_;
    while (at_ != end_ && IsDigit(*at_)) ++at_;
    return at_ != first;
  }

  // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
  bool Number(JsonValue* value) {
    const char* start = at_;
    if (*at_ == '-') ++at_;
    if (at_ == end_ || !IsDigit(*at_)) return false;
    if (*at_ == '0') {
      ++at_;
    } else {
      Digits();
    }
    bool whole = true;
    if (at_ != end_ && *at_ == '.') {
      whole = false;
      ++at_;
      if (!Digits()) return false;
    }
    if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
      whole = false;
      ++at_;
      if (at_ != end_ && (*at_ == '+' || *at_ == '-')) ++at_;
      if (!Digits()) return false;
    }
    if (whole && WholeNumber(start, value)) return true;
    // too large a whole number is read as a float too; one past the largest double is refused
    value->kind = JsonValue::Kind::Float;
    value->number = std::strtod(std::string(start, at_).c_str(), nullptr);
    return std::isfinite(value->number);
  }

  bool WholeNumber(const char* start, JsonValue* value) {
    if (*start == '-') {
      value->kind = JsonValue::Kind::Integer;
      return std::from_chars(start, at_, value->integer).ec == std::errc();
    }
    value->kind = JsonValue::Kind::Unsigned;
    return std::from_chars(start, at_, value->whole).ec == std::errc();
  }

  const char* at_;
  const char* end_;
};

}  // namespace

double JsonValue::AsDouble() const {
  switch (kind) {
    case Kind::Integer: return static_cast<double>(integer);
    case Kind::Unsigned: return static_cast<double>(whole);
    case Kind::Float: return number;
    default: return 0.0;
  }
}

const JsonValue* JsonValue::Find(std::string_view key) const {
  for (auto member = members.rbegin(); member != members.rend(); ++member) {
    if (member->first == key) return &member->second;
  }
  return nullptr;
}

std::vector<const std::pair<std::string, JsonValue>*> JsonValue::ByKey() const {
  std::vector<const std::pair<std::string, JsonValue>*> sorted;
  for (const auto& member : members) sorted.push_back(&member);
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
  // of a key given twice, the last stands last among its equals
  const auto sameKey = [](const auto* a, const auto* b) { return a->first == b->first; };
  std::reverse(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end(), sameKey), sorted.end());
  std::reverse(sorted.begin(), sorted.end());
  return sorted;
}

bool ParseJson(std::string_view text, JsonValue* value) {
  *value = JsonValue();
  return Reader(text).Document(value);
}

}  // namespace vthost

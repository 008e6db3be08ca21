// JSON text (RFC 8259, UTF-8) read into plain values: the res folder's strings and descriptions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vthost {

struct JsonValue {
  // A number without fraction or exponent that fits 64 bits is Unsigned (from 0 up) or Integer
  // (below 0); any other number is Float.
  enum class Kind { Null, Bool, Integer, Unsigned, Float, String, Array, Object };
  Kind kind = Kind::Null;
  bool flag = false;
  int64_t integer = 0;
  uint64_t whole = 0;
  double number = 0.0;
  std::string text;
  std::vector<JsonValue> items;
  // In the order of the text, a key given twice twice.
  std::vector<std::pair<std::string, JsonValue>> members;

  bool IsNumber() const { return kind == Kind::Integer || kind == Kind::Unsigned || kind == Kind::Float; }
  // A number as a double; 0 for anything else.
  double AsDouble() const;
  // The member under key of an object (of a key given twice, the last), or null.
  const JsonValue* Find(std::string_view key) const;
  // The members in the order of their keys' bytes, one for each key (the last), as a JSON library
  // that keeps objects in an ordered map gives them.
  std::vector<const std::pair<std::string, JsonValue>*> ByKey() const;
};

// False when text is not one JSON value, with nothing but white space around it (a byte order mark
// may lead).
bool ParseJson(std::string_view text, JsonValue* value);

}  // namespace vthost

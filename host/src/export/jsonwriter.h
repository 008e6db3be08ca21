// JSON text written as it goes, without a document tree: the report and the glTF export write
// thousands of nodes, and building a tree of them first costs more than writing them.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vthost {

// Writes compact JSON (no blanks), with a line break wherever the caller asks for one. Strings and
// numbers are written as nlohmann-json's compact dump writes them, so text without line breaks,
// parsed and dumped again by nlohmann-json, is the same text, provided the caller gives each
// object's keys in sorted order (as nlohmann-json's objects keep them).
class JsonWriter {
 public:
  // With a sink, the text goes there as it grows (and at Flush), so a large document never needs
  // the memory of all of it.
  explicit JsonWriter(std::ostream* sink = nullptr);

  // The text written so far (not yet handed to a sink); the writer is empty afterwards.
  std::string Take();
  // Hands what is written to the sink; false when the sink failed.
  bool Flush();

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The key of the next value in the object being written.
  void Key(std::string_view key);
  // A key that needs no escaping (printable ASCII without quotes and backslashes), as the
  // writer's callers spell their own keys: written without looking at each byte.
  void PlainKey(std::string_view key);
  // The next value, or the closing bracket, starts a line of its own, indented by a blank per
  // open object or array.
  void BreakLine() { breakLine_ = true; }

  // Byte sequences that are not UTF-8 become U+FFFD, one for each maximal ill-formed part (as
  // nlohmann-json's replacing dump writes them).
  void String(std::string_view text);
  // Not finite: null, as nlohmann-json writes it (and noted: NonFinite).
  void Number(double value);
  // The shortest digits that read back as the same float.
  void Number(float value);
  void Integer(int64_t value);
  void Bool(bool value);
  void Null();

  // Where the text stands: Since(mark) is the text written after Mark, unless some of it went to
  // the sink meanwhile. Raw writes such text again as it is: text that leaves the writer in the
  // state it found it in (as the fields of an object between two of its keys do).
  std::pair<uint64_t, size_t> Mark() const;

  // Whether a number that is not finite was written (as null), and the key of the first one, as
  // written (empty when it is not known).
  bool NonFinite() const { return nonFinite_; }
  const std::string& NonFiniteKey() const { return nonFiniteKey_; }
  std::optional<std::string_view> Since(std::pair<uint64_t, size_t> mark) const;
  void Raw(std::string_view text);

 private:
  // The separator (and line break) before a value or key.
  void Next();
  void Open(char bracket);
  void Close(char bracket);
  void LineBreak();
  // Room for n more bytes at the end of the text.
  char* Room(size_t n) {
    if (text_.size() - used_ < n) Grow(n);
    return &text_[used_];
  }
  void Grow(size_t n);
  void Append(std::string_view text);
  void Quoted(std::string_view text);
  void NoteNonFinite();

  std::string text_;
  size_t used_ = 0;  // text_ is grown ahead of what is written
  std::ostream* sink_;
  uint64_t flushes_ = 0;
  std::vector<char> empty_;  // per open object or array: nothing written in it yet
  bool afterKey_ = false;
  bool breakLine_ = false;
  bool nonFinite_ = false;
  std::string nonFiniteKey_;

  // The digits of recently written numbers: a model repeats the same coordinates, radii and
  // colours many times over, and finding the shortest digits costs more than looking them up.
  struct CachedNumber {
    uint64_t bits = 0;
    uint8_t length = 0;  // 0: empty
    std::array<char, 31> digits{};
  };
  std::vector<CachedNumber> numbers_;
  size_t numbersWritten_ = 0;
};

}  // namespace vthost

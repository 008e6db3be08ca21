// JSON text written as it goes, without a document tree: the report and the glTF export write
// thousands of nodes, and building a tree of them first costs more than writing them.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/numbers.h"

namespace vthost {

// Writes compact JSON (no blanks), with a line break wherever the caller asks for one. Strings are
// written as nlohmann-json's compact dump writes them; the caller gives each object's keys in sorted
// order, as nlohmann-json's objects keep them.
class JsonWriter {
 public:
  // With a sink, the text goes there as it grows (and at Flush), so a large document never needs
  // the memory of all of it.
  explicit JsonWriter(std::ostream* sink = nullptr);

  // The text written so far (not yet handed to a sink); the writer is empty afterwards.
  std::string Take();
  // The text written so far, in one piece, valid until the next thing is written.
  std::string_view Text();
  // The text written so far as pieces in the order written, without a copy: their bytes move to
  // *held. The writer is empty afterwards.
  std::vector<std::string_view> TakePieces(std::vector<std::unique_ptr<char[]>>* held);
  // Hands what is written to the sink; false when the sink failed.
  bool Flush();

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // The key of the next value in the object being written.
  void Key(std::string_view key);
  // A key that needs no escaping (printable ASCII without quotes and backslashes), as the
  // writer's callers spell their own keys: written without looking at each byte. Its text must
  // stay valid until the object it is written in is ended.
  void PlainKey(std::string_view key);
  // A plain key spelt out where it is written: its length known there, it is copied without a call.
  template <size_t N>
  void PlainKey(const char (&key)[N]) {
    constexpr size_t kLength = N - 1;
    assert(IsPlain(std::string_view(key, kLength)) && "a key with bytes to escape goes through Key");
    Next();
    lastKey_ = std::string_view(key, kLength);
    char* at = Room(kLength + 3);
    at[0] = '"';
    std::memcpy(at + 1, key, kLength);
    at[kLength + 1] = '"';
    at[kLength + 2] = ':';
    used_ += kLength + 3;
    afterKey_ = true;
  }
  // The next value, or the closing bracket, starts a line of its own, indented by a blank per
  // open object or array.
  void BreakLine() { breakLine_ = true; }

  // Byte sequences that are not UTF-8 become U+FFFD, one for each maximal ill-formed part (as
  // nlohmann-json's replacing dump writes them).
  void String(std::string_view text);
  // The shortest digits that read back as the same double (or float); not finite: null, as
  // nlohmann-json writes it (and noted: NonFinite).
  void Number(double value);
  void Number(float value);
  void Integer(int64_t value);
  void Bool(bool value);
  void Null();

  // Whether a number that is not finite was written (as null), and the key it stands under, or the
  // key of the array it stands in (empty when it stands under none).
  bool NonFinite() const { return nonFinite_; }
  const std::string& NonFiniteKey() const { return nonFiniteKey_; }

 private:
  // The open objects and arrays and their keys forgotten, with the text they were in.
  void ForgetContainers();
  // Whether the key needs no escaping.
  static bool IsPlain(std::string_view key);
  // The separator (and line break) before a value or key: inline, as it comes before everything.
  void Next() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!empty_.empty()) {
      if (!empty_.back()) {
        *Room(1) = ',';
        ++used_;
      }
      empty_.back() = false;
    }
    if (breakLine_) LineBreak();
  }
  void Open(char bracket);
  void Close(char bracket);
  void LineBreak();
  // Room for n more bytes at the end of the text.
  char* Room(size_t n) {
    if (size_ - used_ < n) Grow(n);
    return text_.get() + used_;
  }
  void Grow(size_t n);
  void Append(std::string_view text);
  void Quoted(std::string_view text);
  void NoteNonFinite();

  // grown ahead of what is written, and never filled with anything but the text
  std::unique_ptr<char[]> text_;
  size_t size_ = 0;
  size_t used_ = 0;
  // Without a sink, a long text is written in blocks, each left where it is when the next begins
  // (rather than copied into one twice as large): the text before text_.
  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t used;
  };
  std::vector<Block> blocks_;
  std::ostream* sink_;
  std::vector<char> empty_;  // per open object or array: nothing written in it yet
  bool afterKey_ = false;
  bool breakLine_ = false;
  // The key the next value stands under (the last one written in the open object, or the key of
  // the open array): a plain key as the caller's text, not copied (a key is written for every
  // value), any other key copied. Per open object or array, the key it stands under.
  std::string_view lastKey_;
  std::vector<std::string_view> openKeys_;
  std::deque<std::string> ownKeys_;  // per depth: a copy stays where it is while deeper ones are made
  bool nonFinite_ = false;
  std::string nonFiniteKey_;

  // The text of numbers written before, by their bits, in the slot of a hash of them: a glTF
  // writes most of its floats more than once (a bond starts where its atom is; a tube is stretched
  // along its length only, scale 1 across), a report its doubles (the colour of an element, the
  // radius of a sphere, the position of an atom).
  template <typename Bits>
  struct NumberText {
    Bits bits;
    uint8_t length;
    char text[kShortestCachedBytes];
  };
  // The slots are left unset, a bit per slot telling which are filled: a writer of a small model
  // (one of a collection's thousands) clears 2 KB rather than the whole table.
  template <typename Bits>
  struct NumberCache {
    std::unique_ptr<NumberText<Bits>[]> slots;
    std::unique_ptr<uint64_t[]> filled;
  };
  template <typename T>
  using Bits = std::conditional_t<std::is_same_v<T, float>, uint32_t, uint64_t>;
  template <typename T>
  auto& CacheOf();
  // A number from its slot when it was written before, else NewShortest's.
  template <typename T>
  void Shortest(T value);
  // A number not in the cache: written (null when not finite), and kept in its slot.
  template <typename T>
  void NewShortest(T value);
  static constexpr int kSlotBits = 14;
  NumberCache<uint32_t> floats_;
  NumberCache<uint64_t> doubles_;
};

// The text with each byte sequence that is not UTF-8 made U+FFFD, as JsonWriter::String writes it.
std::string RepairedUtf8(std::string_view text);
// The same, with a text of ASCII throughout (most names: "C", "Sweep") copied as it is, inline:
// every node of a model has its name made well-formed.
inline std::string WellFormedUtf8(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return RepairedUtf8(text);
  }
  return std::string(text);
}

}  // namespace vthost

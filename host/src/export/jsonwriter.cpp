// JSON text written as it goes.
#include "export/jsonwriter.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ostream>
#include <type_traits>

#include "base/numbers.h"

namespace vthost {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kHexDigits[] = "0123456789abcdef";
// Enough for any whole number.
constexpr size_t kIntegerLength = 24;
// The most one byte of text becomes: \u00XX.
constexpr size_t kMostPerByte = 6;
constexpr size_t kFirstSize = 4096;
constexpr size_t kSinkSize = 1 << 16;
constexpr size_t kBlockSize = 1 << 16;

bool IsContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return byte >= low && byte <= high;
}

// The length of the well-formed UTF-8 sequence at text[i] (Unicode's table of well-formed byte
// sequences); 0 when it is ill-formed, with *skip the length of its maximal ill-formed part.
size_t SequenceAt(std::string_view text, size_t i, size_t* skip) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    *skip = 1;
    return 0;
  }
  size_t k = 1;
  for (; k < length && i + k < text.size(); ++k) {
    if (!(k == 1 ? IsContinuation(byte(k), low, high) : IsContinuation(byte(k)))) break;
  }
  if (k == length) return length;
  *skip = k;
  return 0;
}

// The bytes that go into a JSON string as they are.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> plain{};
  for (size_t c = 0x20; c < 0x80; ++c) plain[c] = c != '"' && c != '\\';
  return plain;
}();

bool Plain(unsigned char c) { return kPlain[c]; }

// Fibonacci hashing: the top bits of the product
template <typename Bits>
size_t SlotOf(Bits bits, int slotBits) {
  return static_cast<size_t>((uint64_t{bits} * 0x9E3779B97F4A7C15u) >> (64 - slotBits));
}

}  // namespace

std::string RepairedUtf8(std::string_view text) {
  std::string made;
  made.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t ascii = i;
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    made.append(text, ascii, i - ascii);
    if (i == text.size()) break;
    size_t skip = 0;
    const size_t length = SequenceAt(text, i, &skip);
    made += length > 0 ? text.substr(i, length) : std::string_view(kReplacement);
    i += length > 0 ? length : skip;
  }
  return made;
}

JsonWriter::JsonWriter(std::ostream* sink) : sink_(sink) {}

std::string JsonWriter::Take() {
  std::string text(Text());
  used_ = 0;
  ForgetContainers();
  return text;
}

void JsonWriter::ForgetContainers() {
  empty_.clear();
  openKeys_.clear();
  afterKey_ = false;
  lastKey_ = {};
}

std::string_view JsonWriter::Text() {
  if (!blocks_.empty()) {
    size_t total = used_;
    for (const Block& block : blocks_) total += block.used;
    std::unique_ptr<char[]> joined(new char[total]);
    char* at = joined.get();
    for (const Block& block : blocks_) {
      std::memcpy(at, block.bytes.get(), block.used);
      at += block.used;
    }
    if (used_ > 0) std::memcpy(at, text_.get(), used_);
    blocks_.clear();
    text_ = std::move(joined);
    size_ = used_ = total;
  }
  return {text_.get(), used_};
}

std::vector<std::string_view> JsonWriter::TakePieces(std::vector<std::unique_ptr<char[]>>* held) {
  std::vector<std::string_view> pieces;
  for (Block& block : blocks_) {
    pieces.emplace_back(block.bytes.get(), block.used);
    held->push_back(std::move(block.bytes));
  }
  if (used_ > 0) {
    pieces.emplace_back(text_.get(), used_);
    held->push_back(std::move(text_));
  }
  blocks_.clear();
  size_ = used_ = 0;
  ForgetContainers();
  return pieces;
}

bool JsonWriter::Flush() {
  if (sink_ == nullptr) return true;
  sink_->write(text_.get(), static_cast<std::streamsize>(used_));
  used_ = 0;
  return static_cast<bool>(*sink_);
}

void JsonWriter::Grow(size_t n) {
  // with a sink, what is written goes there rather than into more memory
  if (sink_ != nullptr && used_ > 0 && size_ >= n) {
    Flush();
    return;
  }
  if (sink_ == nullptr && size_ >= kBlockSize) {
    blocks_.push_back({std::move(text_), used_});
    text_.reset(new char[std::max(kBlockSize, n)]);
    size_ = std::max(kBlockSize, n);
    used_ = 0;
    return;
  }
  const size_t size = std::max({size_ * 2, used_ + n, sink_ != nullptr ? kSinkSize : kFirstSize});
  std::unique_ptr<char[]> grown(new char[size]);  // left unset: only written bytes are read
  if (used_ > 0) std::memcpy(grown.get(), text_.get(), used_);
  text_ = std::move(grown);
  size_ = size;
}

void JsonWriter::Append(std::string_view text) {
  std::memcpy(Room(text.size()), text.data(), text.size());
  used_ += text.size();
}

void JsonWriter::LineBreak() {
  const size_t blanks = empty_.size();
  char* at = Room(blanks + 1);
  *at = '\n';
  std::memset(at + 1, ' ', blanks);
  used_ += blanks + 1;
  breakLine_ = false;
}

void JsonWriter::Quoted(std::string_view text) {
  char* at = Room(text.size() * kMostPerByte + 2);
  char* const first = at;
  *at++ = '"';
  // most text is plain throughout: copied at once
  size_t i = 0;
  while (i < text.size() && Plain(static_cast<unsigned char>(text[i]))) ++i;
  std::memcpy(at, text.data(), i);
  at += i;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (Plain(c)) {
      *at++ = static_cast<char>(c);
      ++i;
      continue;
    }
    if (c >= 0x80) {
      size_t skip = 0;
      const size_t length = SequenceAt(text, i, &skip);
      if (length > 0) {
        std::memcpy(at, text.data() + i, length);
        at += length;
        i += length;
      } else {
        std::memcpy(at, kReplacement, 3);
        at += 3;
        i += skip;
      }
      continue;
    }
    *at++ = '\\';
    switch (c) {
      case '"': *at++ = '"'; break;
      case '\\': *at++ = '\\'; break;
      case '\b': *at++ = 'b'; break;
      case '\f': *at++ = 'f'; break;
      case '\n': *at++ = 'n'; break;
      case '\r': *at++ = 'r'; break;
      case '\t': *at++ = 't'; break;
      default:
        *at++ = 'u';
        *at++ = '0';
        *at++ = '0';
        *at++ = kHexDigits[c >> 4];
        *at++ = kHexDigits[c & 0xF];
    }
    ++i;
  }
  *at++ = '"';
  used_ += static_cast<size_t>(at - first);
}

void JsonWriter::Open(char bracket) {
  Next();
  *Room(1) = bracket;
  ++used_;
  empty_.push_back(true);
  openKeys_.push_back(lastKey_);
}

void JsonWriter::Close(char bracket) {
  lastKey_ = openKeys_.back();
  openKeys_.pop_back();
  empty_.pop_back();
  if (breakLine_) LineBreak();
  *Room(1) = bracket;
  ++used_;
}


void JsonWriter::Key(std::string_view key) {
  Next();
  if (ownKeys_.size() <= empty_.size()) ownKeys_.resize(empty_.size() + 1);
  std::string& own = ownKeys_[empty_.size()];
  own.assign(key);
  lastKey_ = own;
  Quoted(key);
  *Room(1) = ':';
  ++used_;
  afterKey_ = true;
}

bool JsonWriter::IsPlain(std::string_view key) {
  return std::all_of(key.begin(), key.end(), [](char c) { return Plain(static_cast<unsigned char>(c)); });
}

void JsonWriter::PlainKey(std::string_view key) {
  assert(IsPlain(key) && "a key with bytes to escape goes through Key");
  Next();
  lastKey_ = key;
  char* at = Room(key.size() + 3);
  *at++ = '"';
  std::memcpy(at, key.data(), key.size());
  at += key.size();
  *at++ = '"';
  *at = ':';
  used_ += key.size() + 3;
  afterKey_ = true;
}

void JsonWriter::String(std::string_view text) {
  Next();
  Quoted(text);
}

void JsonWriter::Number(double value) { Shortest(value); }

void JsonWriter::Number(float value) { Shortest(value); }

template <typename T>
auto& JsonWriter::CacheOf() {
  if constexpr (std::is_same_v<T, float>) return floats_;
  else return doubles_;
}

// The copy from a slot is kept apart from the writing of a new number, so that it needs none of the
// registers a call takes. No slot holds a number that is not finite.
template <typename T>
void JsonWriter::Shortest(T value) {
  Next();
  Bits<T> bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  NumberCache<Bits<T>>& cache = CacheOf<T>();
  if (cache.slots != nullptr) {
    const size_t hash = SlotOf(bits, kSlotBits);
    const NumberText<Bits<T>>& slot = cache.slots[hash];
    if ((cache.filled[hash / 64] & (uint64_t{1} << (hash % 64))) != 0 && slot.bits == bits) {
      std::memcpy(Room(kShortestCachedBytes), slot.text, kShortestCachedBytes);  // a copy of a known size
      used_ += slot.length;
      return;
    }
  }
  NewShortest(value);
}

template <typename T>
void JsonWriter::NewShortest(T value) {
  if (!std::isfinite(value)) {
    NoteNonFinite();
    Append("null");
    return;
  }
  NumberCache<Bits<T>>& cache = CacheOf<T>();
  constexpr size_t kSlots = size_t{1} << kSlotBits;
  if (cache.slots == nullptr) {
    cache.slots.reset(new NumberText<Bits<T>>[kSlots]);
    cache.filled.reset(new uint64_t[kSlots / 64]());
  }
  Bits<T> bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const size_t hash = SlotOf(bits, kSlotBits);
  char* const first = Room(kShortestNumberBytes);
  const auto length = static_cast<size_t>(WriteShortest(first, value) - first);
  used_ += length;
  if (length <= kShortestCachedBytes) {
    NumberText<Bits<T>>& slot = cache.slots[hash];
    cache.filled[hash / 64] |= uint64_t{1} << (hash % 64);
    slot.bits = bits;
    slot.length = static_cast<uint8_t>(length);
    std::memcpy(slot.text, first, kShortestCachedBytes);  // the room asked for holds as many
  }
}

void JsonWriter::Integer(int64_t value) {
  Next();
  char* const first = Room(kIntegerLength);
  used_ += static_cast<size_t>(std::to_chars(first, first + kIntegerLength, value).ptr - first);
}

void JsonWriter::Bool(bool value) {
  Next();
  Append(value ? "true" : "false");
}

void JsonWriter::NoteNonFinite() {
  if (nonFinite_) return;
  nonFinite_ = true;
  nonFiniteKey_ = lastKey_;
}

void JsonWriter::Null() {
  Next();
  Append("null");
}

}  // namespace vthost

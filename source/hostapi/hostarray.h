// A growable array whose storage comes from the host's allocator, so a refused allocation shows
// as a dropped record instead of an exception. Emptying keeps the storage.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>

#include "hostapi/hostmemory.h"

namespace vantor {

template <typename T>
class HostArray {
 public:
  HostArray() = default;
  HostArray(const HostArray&) = delete;
  HostArray& operator=(const HostArray&) = delete;
  HostArray(HostArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        count_(std::exchange(other.count_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  HostArray& operator=(HostArray&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
    return *this;
  }
  ~HostArray() { Release(); }

  int32_t Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  T& operator[](int32_t index) { return data_[index]; }
  const T& operator[](int32_t index) const { return data_[index]; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

  // False when the array could not grow: the item is dropped and the array is unchanged.
  bool Append(const T& item) {
    if (count_ == capacity_ && !Grow()) return false;
    new (data_ + count_) T(item);
    ++count_;
    return true;
  }

  // Count 0; the storage stays for the next fill.
  void Clear() {
    for (int32_t i = 0; i < count_; ++i) data_[i].~T();
    count_ = 0;
  }

  // Count 0 and the storage given back.
  void Release() {
    Clear();
    HostFree(data_);
    data_ = nullptr;
    capacity_ = 0;
  }

  // Empties this array and appends a copy of each of source's items. When the array cannot grow it
  // stays short and the answer is false.
  bool CopyFrom(const HostArray& source) {
    if (&source == this) return true;
    Clear();
    for (const T& item : source) {
      if (!Append(item)) return false;
    }
    return true;
  }

 private:
  static constexpr int32_t kFirstCapacity = 8;
  static constexpr int32_t kMaxCapacity =
      static_cast<int32_t>(std::min<size_t>(std::numeric_limits<int32_t>::max(), SIZE_MAX / sizeof(T)));

  bool Grow() {
    if (capacity_ >= kMaxCapacity) return false;
    const int32_t capacity = capacity_ == 0 ? kFirstCapacity
                             : capacity_ > kMaxCapacity / 2 ? kMaxCapacity
                                                             : capacity_ * 2;
    T* data = static_cast<T*>(HostAlloc(sizeof(T) * static_cast<size_t>(capacity)));
    if (data == nullptr) return false;
    for (int32_t i = 0; i < count_; ++i) {
      new (data + i) T(std::move(data_[i]));
      data_[i].~T();
    }
    HostFree(data_);
    data_ = data;
    capacity_ = capacity;
    return true;
  }

  T* data_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

}  // namespace vantor

// Parameter containers: the host's id-to-value maps, owned or borrowed.
#pragma once

#include <cstdint>

#include "hostapi/hostfilename.h"
#include "hostapi/hoststring.h"
#include "vantor_host.h"

namespace vantor {

struct Vector {
  double x = 0.0, y = 0.0, z = 0.0;
};

class Container {
 public:
  // A new, empty container of the module's own (check IsValid: the host may be out of memory).
  static Container Create();
  // A view of a container the host owns (a node's parameters); never freed by this value.
  static Container Borrow(VtContainer* handle);
  // Takes over a container the host returned as a copy.
  static Container Adopt(VtContainer* handle);

  Container() = default;
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;
  Container(Container&& other) noexcept;
  Container& operator=(Container&& other) noexcept;
  ~Container();

  bool IsValid() const { return handle_ != nullptr; }
  VtContainer* Handle() const { return handle_; }

  // A missing id reads as the fallback (0, 0.0, false, the zero vector or empty).
  int32_t GetInt32(int32_t id, int32_t fallback = 0) const;
  double GetFloat(int32_t id, double fallback = 0.0) const;
  bool GetBool(int32_t id, bool fallback = false) const;
  Vector GetVector(int32_t id) const;
  String GetString(int32_t id) const;
  Filename GetFilename(int32_t id) const;
  VtNode* GetLink(int32_t id, VtDocument* document) const;
  Container GetContainer(int32_t id) const;
  int32_t TypeOf(int32_t id) const;  // VT_VALUE_*

  // Each answers false when the host could not store the value.
  bool SetInt32(int32_t id, int32_t value);
  bool SetFloat(int32_t id, double value);
  bool SetBool(int32_t id, bool value);
  bool SetVector(int32_t id, const Vector& value);
  bool SetString(int32_t id, const String& value);
  bool SetFilename(int32_t id, const Filename& value);
  bool SetLink(int32_t id, VtNode* target);
  bool SetContainer(int32_t id, const Container& value);
  bool Remove(int32_t id);

 private:
  Container(VtContainer* handle, bool owned) : handle_(handle), owned_(owned) {}
  VtContainer* handle_ = nullptr;
  bool owned_ = false;
};

}  // namespace vantor

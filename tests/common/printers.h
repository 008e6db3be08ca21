// How failure messages show the host's values, rather than as the bytes of the object.
#pragma once

#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>

#include "vantor_host.h"
#include "vthost/host.h"

// The fewest digits that read back as the same double, so that two values an exact comparison
// tells apart never print alike (0.09 and 0.09000000000000001).
inline std::string ExactText(double value) {
  std::ostringstream text;
  for (int digits = 6; digits <= 17; ++digits) {
    text.str("");
    text.precision(digits);
    text << value;
    if (std::strtod(text.str().c_str(), nullptr) == value) break;
  }
  return text.str();
}

inline void PrintTo(const VtVector& vector, std::ostream* out) {
  *out << '(' << ExactText(vector.x) << ", " << ExactText(vector.y) << ", " << ExactText(vector.z) << ')';
}

namespace vthost {

inline void PrintTo(AllocKind kind, std::ostream* out) {
  switch (kind) {
    case AllocKind::Memory: *out << "Memory"; return;
    case AllocKind::String: *out << "String"; return;
    case AllocKind::Filename: *out << "Filename"; return;
    case AllocKind::Container: *out << "Container"; return;
    case AllocKind::Resource: *out << "Resource"; return;
    case AllocKind::Bitmap: *out << "Bitmap"; return;
    case AllocKind::Description: *out << "Description"; return;
    case AllocKind::Object: *out << "Object"; return;
    case AllocKind::Tag: *out << "Tag"; return;
    case AllocKind::Any: *out << "Any"; return;
  }
  *out << "AllocKind(" << static_cast<int>(kind) << ')';
}

inline void PrintTo(Event::Kind kind, std::ostream* out) {
  switch (kind) {
    case Event::Kind::Console: *out << "Console"; return;
    case Event::Kind::Message: *out << "Message"; return;
    case Event::Kind::Question: *out << "Question"; return;
  }
  *out << "Event::Kind(" << static_cast<int>(kind) << ')';
}

inline void PrintTo(NodeEvent::Kind kind, std::ostream* out) {
  switch (kind) {
    case NodeEvent::Kind::Renamed: *out << "Renamed"; return;
    case NodeEvent::Kind::Dirty: *out << "Dirty"; return;
    case NodeEvent::Kind::Message: *out << "Message"; return;
  }
  *out << "NodeEvent::Kind(" << static_cast<int>(kind) << ')';
}

inline void PrintTo(const NodeEvent& event, std::ostream* out) {
  *out << '{';
  PrintTo(event.kind, out);
  *out << ", " << event.value << ", \"" << event.text << "\"}";
}

}  // namespace vthost

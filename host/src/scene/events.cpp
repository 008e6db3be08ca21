// What modules showed the user: console lines, message boxes and questions, echoed as lines.
#include <ostream>

#include "vthost/host.h"

namespace vthost {
namespace {

// One box is one line: line breaks are written as \n.
std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else if (c != '\r') {
      line += c;
    }
  }
  return line;
}

}  // namespace

void EventLog::Record(Event event) {
  if (echo_ != nullptr) {
    switch (event.kind) {
      case Event::Kind::Console:
        *echo_ << "[console] " << OneLine(event.text) << '\n';
        break;
      case Event::Kind::Message:
        *echo_ << "[message] " << OneLine(event.text) << '\n';
        break;
      case Event::Kind::Question:
        *echo_ << "[question] " << OneLine(event.text) << " -> " << (event.answer ? "yes" : "no") << '\n';
        break;
    }
    echo_->flush();
  }
  events_.push_back(std::move(event));
}

std::vector<std::string> EventLog::Texts(Event::Kind kind) const {
  std::vector<std::string> texts;
  for (const Event& event : events_) {
    if (event.kind == kind) texts.push_back(event.text);
  }
  return texts;
}

}  // namespace vthost

// The Ge table (console) and the Dg table (message boxes): recorded as events and echoed as lines.
#include <ostream>

#include "values.h"

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

void ConsoleLine(const VtString* text) { CurrentHost().Record({Event::Kind::Console, TextOf(text), false}); }

int32_t MessageBox(const VtString* text, int32_t flags) {
  Host& host = CurrentHost();
  if (flags == VT_BOX_QUESTION_YES_NO) {
    const bool yes = host.Options().answerYes;
    host.Record({Event::Kind::Question, TextOf(text), yes});
    return yes ? VT_ANSWER_YES : VT_ANSWER_NO;
  }
  host.Record({Event::Kind::Message, TextOf(text), false});
  return VT_ANSWER_OK;
}

}  // namespace

const VtGeTable kGeTable = {ConsoleLine};
const VtDgTable kDgTable = {MessageBox};

void Host::Record(Event event) {
  if (options_.log != nullptr) {
    std::ostream& log = *options_.log;
    switch (event.kind) {
      case Event::Kind::Console:
        log << "[console] " << OneLine(event.text) << '\n';
        break;
      case Event::Kind::Message:
        log << "[message] " << OneLine(event.text) << '\n';
        break;
      case Event::Kind::Question:
        log << "[question] " << OneLine(event.text) << " -> " << (event.answer ? "yes" : "no") << '\n';
        break;
    }
    log.flush();
  }
  events_.push_back(std::move(event));
}

std::vector<std::string> Host::Texts(Event::Kind kind) const {
  std::vector<std::string> texts;
  for (const Event& event : events_) {
    if (event.kind == kind) texts.push_back(event.text);
  }
  return texts;
}

}  // namespace vthost

// The Ge table (console) and the Dg table (message boxes): recorded as the host's events.
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

void ConsoleLine(const VtString* text) { CurrentHost().Events().Record({Event::Kind::Console, TextOf(text), false}); }

int32_t MessageBox(const VtString* text, int32_t flags) {
  Host& host = CurrentHost();
  if (flags == VT_BOX_QUESTION_YES_NO) {
    const HostOptions& options = host.Options();
    const bool yes = options.ask ? options.ask(TextOf(text)) : options.answerYes;
    host.Events().Record({Event::Kind::Question, TextOf(text), yes});
    return yes ? VT_ANSWER_YES : VT_ANSWER_NO;
  }
  host.Events().Record({Event::Kind::Message, TextOf(text), false});
  return VT_ANSWER_OK;
}

}  // namespace

const VtGeTable kGeTable = {ConsoleLine};
const VtDgTable kDgTable = {MessageBox};

}  // namespace vthost

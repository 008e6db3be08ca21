// Console and dialogs over the Ge and Dg tables.
#include "hostapi/hostui.h"

#include "hostapi/hostbinding.h"

namespace vantor {

void ConsoleLine(const String& text) { host::Tables().Ge->ConsoleLine(text.Handle()); }

void ShowMessage(const String& text) { host::Tables().Dg->MessageBox(text.Handle(), VT_BOX_WARNING_OK); }

bool AskQuestion(const String& text) {
  return host::Tables().Dg->MessageBox(text.Handle(), VT_BOX_QUESTION_YES_NO) == VT_ANSWER_YES;
}

}  // namespace vantor

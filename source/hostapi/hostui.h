// What the user sees from the module: console lines, message boxes and questions.
#pragma once

#include "hostapi/hoststring.h"

namespace vantor {

void ConsoleLine(const String& text);
// A modal box with a warning icon and an OK button.
void ShowMessage(const String& text);
// A modal box with a question icon and yes and no buttons; true for yes.
bool AskQuestion(const String& text);

}  // namespace vantor

// The parameter table of an object type, as vantor-host --parameters prints it and the README shows it.
#pragma once

#include <string>

#include "vthost/host.h"

namespace vthost {

// Every parameter of a description as a Markdown table (name, id, type, default, range or choices,
// help), values written as --set and the script's set read them.
std::string ParameterTable(const StaticDescription& description);

}  // namespace vthost

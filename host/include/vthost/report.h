// The report of what a molecule object generated: every generated object with its parameters, as
// JSON, and the atoms and bonds it counts.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "vthost/budget.h"
#include "vthost/host.h"
#include "vthost/models.h"

namespace vthost {

// The report's text written to stream as it is made; false with the reason in *error when the
// stream failed, or when a number is not finite: JSON has no way to write one, so it stands as null
// and the reason names its key and the object that holds it (and asks about the scale, unless it
// is a colour). The stream's state tells the two apart.
// detail: what a triangle budget chose for the object (FitDetail), written as "detail"; or null.
bool WriteReport(const Host& host, const VtNode* object, std::ostream& stream, const Detail* detail,
                 std::string* error);
// The same text as the pieces of *bytes, which holds them, with no stream between and no copy of
// a large report; false only for a number that is not finite.
bool ReportBytes(const Host& host, const VtNode* object, const Detail* detail, ModelBytes* bytes,
                 std::string* error);

// The atoms and bonds of a generated hierarchy, as the report counts them (none holds none).
struct ModelCounts {
  int64_t atoms = 0;
  int64_t bonds = 0;
};
ModelCounts CountModel(const VtNode* root);

}  // namespace vthost

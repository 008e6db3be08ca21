// Keeps the host's interface record for the module's lifetime.
#include "hostapi/hostbinding.h"

#include <cassert>
#include <string>

namespace vantor::host {
namespace {

VtHostInterface g_record{};
bool g_bound = false;

// Every table the module calls, by the name the host gives it. The others (Dc, Di and the
// reserved slots) may be null.
struct NeededTable {
  const char* name;
  bool (*present)(const VtHostInterface& record);
};

#define VANTOR_TABLE(slot) {#slot, [](const VtHostInterface& record) { return record.slot != nullptr; }}
const NeededTable kNeededTables[] = {
    VANTOR_TABLE(Ge), VANTOR_TABLE(Mm), VANTOR_TABLE(St), VANTOR_TABLE(Fn), VANTOR_TABLE(Bc), VANTOR_TABLE(Rs),
    VANTOR_TABLE(Bm), VANTOR_TABLE(Pl), VANTOR_TABLE(Dg), VANTOR_TABLE(Nd), VANTOR_TABLE(Ob), VANTOR_TABLE(Tg),
    VANTOR_TABLE(Sp), VANTOR_TABLE(Pt), VANTOR_TABLE(Pr), VANTOR_TABLE(Hf), VANTOR_TABLE(Ds), VANTOR_TABLE(Tk),
    VANTOR_TABLE(Ex), VANTOR_TABLE(Bx), VANTOR_TABLE(Ca), VANTOR_TABLE(Dp), VANTOR_TABLE(Tx), VANTOR_TABLE(FL),
};
#undef VANTOR_TABLE

// A line on the console of a record that may lack other tables: it needs the console and strings.
void TellConsole(const VtHostInterface& record, const std::string& line) {
  if (record.Ge == nullptr || record.Ge->ConsoleLine == nullptr || record.St == nullptr ||
      record.St->FromBytes == nullptr || record.St->Release == nullptr) {
    return;
  }
  VtString* text = record.St->FromBytes(line.c_str(), -1, VT_ENCODING_PLATFORM);
  if (text == nullptr) return;
  record.Ge->ConsoleLine(text);
  record.St->Release(text);
}

}  // namespace

bool Bind(const VtHostInterface* record) {
  g_bound = false;
  if (record == nullptr) return false;
  g_record = *record;
  bool complete = true;
  for (const NeededTable& table : kNeededTables) {
    if (table.present(g_record)) continue;
    complete = false;
    TellConsole(g_record, std::string("Vantor: the host interface lacks the table ") + table.name + ".");
  }
  g_bound = complete;
  return g_bound;
}

void Unbind() {
  g_record = VtHostInterface{};
  g_bound = false;
}

bool IsBound() { return g_bound; }

int32_t InterfaceVersion() { return g_bound ? g_record.version : 0; }

const VtHostInterface& Tables() {
  assert(g_bound && "host tables used before c4d_main(1) bound them");
  return g_record;
}

}  // namespace vantor::host

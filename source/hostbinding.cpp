// Keeps the host's interface record for the module's lifetime.
#include "hostbinding.h"

#include <cassert>

namespace vantor::host {
namespace {

VtHostInterface g_record{};
bool g_bound = false;

}  // namespace

bool Bind(const VtHostInterface* record) {
  g_bound = false;
  if (record == nullptr) return false;
  g_record = *record;
  // every table the module calls without looking: a host without them cannot run it
  g_bound = g_record.Ge && g_record.Mm && g_record.St && g_record.Fn && g_record.Bc && g_record.Rs &&
            g_record.Bm && g_record.Pl && g_record.Dg && g_record.Nd && g_record.Hf &&
            g_record.Ds && g_record.Tk && g_record.Ex && g_record.Ob && g_record.Sp && g_record.Pt &&
            g_record.Pr && g_record.Tg && g_record.Tx && g_record.Dp && g_record.Bx && g_record.Ca && g_record.FL;
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

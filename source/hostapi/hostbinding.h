// The module's one binding to the host: the interface record handed to the entry, kept for every later call.
#pragma once

#include "vantor_host.h"

namespace vantor::host {

// Keeps a copy of the record's version and table pointers. Answers false for a null record or one
// that lacks a table the module calls (every table but Dc, Di and the reserved ones); the module
// then counts as unbound, and each missing table is named on the console when the record has
// the console and string tables to say it.
bool Bind(const VtHostInterface* record);
void Unbind();
bool IsBound();

// The host's interface version as bound; 0 when unbound.
int32_t InterfaceVersion();

// The bound tables. Only the host* layer calls these; everything else goes through its wrappers.
const VtHostInterface& Tables();

}  // namespace vantor::host

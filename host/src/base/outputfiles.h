// What the host may write over, and how it writes a file: replaced whole or not at all.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "vthost/files.h"

namespace vthost {

// Whether file may be replaced by a file of the given kind: true when nothing is there, or an
// empty file, or a file that begins with magic (one the host wrote before). Otherwise false with
// the reason ("… is there and is not a KIND: not replaced", a folder, a device).
bool MayReplace(const std::filesystem::path& file, std::string_view magic, std::string_view kind, std::string* error);

// bytes as the whole of file. A regular file, or a name where nothing is yet (through symbolic
// links, whose target is replaced while they stay links), gets a new file beside it, which no
// other user can open, flushed to disk and closed, then moved over it: on any failure that file is
// removed and the old one is as it was. A device, a FIFO or one of the process's own descriptors
// (/dev/stdout) is written to as it is, and never removed or replaced; a folder, or a name ending
// in a separator that is not one, is refused. False with "cannot write FILE: reason".
bool WriteWhole(const std::filesystem::path& file, const Pieces& bytes, std::string* error);

}  // namespace vthost

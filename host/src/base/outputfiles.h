// What the host may write over: a file it wrote itself before, never a user's other files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vthost {

// Whether file may be replaced by a file of the given kind: true when nothing is there, or an
// empty file, or a file that begins with magic (one the host wrote before). Otherwise false with
// the reason ("… is there and is not a KIND: not replaced", a folder, a device).
bool MayReplace(const std::filesystem::path& file, std::string_view magic, std::string_view kind, std::string* error);

}  // namespace vthost

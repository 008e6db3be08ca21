// Names resolved as the file system resolves them, for the writers beside the comparisons of
// vthost/files.h.
#pragma once

#include <filesystem>

namespace vthost {

// The name the file system reaches through file: every symbolic link on the way followed, a
// dangling one too, and `..` taken after the link before it. A link that reaches one of the
// process's descriptors ends the walk there, with the descriptor in *descriptor.
std::filesystem::path Resolved(const std::filesystem::path& file, int* descriptor = nullptr);

bool IsSeparator(std::filesystem::path::value_type c);

}  // namespace vthost

// Documents saved and opened, and the block each object writes into a document of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "vthost/host.h"

namespace vthost {

// The document as a file, replaced whole or not at all; only a document or an empty file is
// replaced. False with the reason.
bool SaveDocument(Host& host, const VtDocument* document, const std::filesystem::path& file, std::string* error);
// The document a file holds, with message 1001078 (sub-type 1001) sent to every object; null with
// the reason. The whole file is checked before anything is made, so a damaged one opens nothing.
VtDocument* OpenDocument(Host& host, const std::filesystem::path& file, std::string* error);

// A value an object wrote into its stored block.
using StoredValue = std::variant<int32_t, VtVector>;
// What the object writes into a stored document, value by value.
std::vector<StoredValue> StoredBlock(VtNode* node);
// Has the object read a stored block of these bytes (EncodeStoredBlock makes well-formed ones);
// its answer.
bool ReadStoredBlock(VtNode* node, const std::vector<uint8_t>& block, int32_t level = 0);
std::vector<uint8_t> EncodeStoredBlock(const std::vector<StoredValue>& values);

}  // namespace vthost

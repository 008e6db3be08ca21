// The Hf table: an object's own block in a document, read and written value by value.
#include "documents/storedblock.h"
#include "tables/tables.h"

namespace vthost {
namespace {

VtBool ReadInt32(VtStream* stream, int32_t* value) { return ReadBlockInt32(stream, value) ? 1 : 0; }
VtBool WriteInt32(VtStream* stream, int32_t value) { return WriteBlockInt32(stream, value) ? 1 : 0; }
VtBool ReadVector(VtStream* stream, VtVector* value) { return ReadBlockVector(stream, value) ? 1 : 0; }
VtBool WriteVector(VtStream* stream, const VtVector* value) { return WriteBlockVector(stream, value) ? 1 : 0; }

}  // namespace

const VtHfTable kHfTable = {ReadInt32, WriteInt32, ReadVector, WriteVector};

}  // namespace vthost

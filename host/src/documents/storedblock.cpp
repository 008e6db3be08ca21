// Objects' own blocks in documents, value by value.
#include "documents/storedblock.h"

#include <cstring>

#include "vthost/documents.h"

namespace vthost {
namespace {

constexpr uint8_t kTagInt32 = 'I';
constexpr uint8_t kTagVector = 'V';

// The stream's next bytes are the tag and a payload of size bytes, copied into value.
bool ReadTagged(VtStream* stream, uint8_t tag, void* value, size_t size) {
  if (stream == nullptr || stream->in == nullptr || stream->size - stream->position < 1 + size ||
      stream->in[stream->position] != tag) {
    return false;
  }
  if (value) std::memcpy(value, stream->in + stream->position + 1, size);
  stream->position += 1 + size;
  return true;
}

bool WriteTagged(VtStream* stream, uint8_t tag, const void* value, size_t size) {
  if (stream == nullptr || stream->out == nullptr) return false;
  stream->out->push_back(tag);
  AppendBytes(stream->out, value, size);
  return true;
}

VtStream ReadingStream(const std::vector<uint8_t>& block) {
  VtStream stream;
  stream.in = block.data();
  stream.size = block.size();
  return stream;
}

}  // namespace

void AppendBytes(std::vector<uint8_t>* out, const void* bytes, size_t size) {
  const auto* first = static_cast<const uint8_t*>(bytes);
  out->insert(out->end(), first, first + size);
}

bool ReadBlockInt32(VtStream* stream, int32_t* value) {
  if (value) *value = 0;
  return ReadTagged(stream, kTagInt32, value, sizeof(int32_t));
}

bool WriteBlockInt32(VtStream* stream, int32_t value) { return WriteTagged(stream, kTagInt32, &value, sizeof value); }

bool ReadBlockVector(VtStream* stream, VtVector* value) {
  if (value) *value = VtVector{0.0, 0.0, 0.0};
  double read[3];
  if (!ReadTagged(stream, kTagVector, read, sizeof read)) return false;
  if (value) *value = VtVector{read[0], read[1], read[2]};
  return true;
}

bool WriteBlockVector(VtStream* stream, const VtVector* value) {
  if (value == nullptr) return false;
  const double written[3] = {value->x, value->y, value->z};
  return WriteTagged(stream, kTagVector, written, sizeof written);
}

std::vector<uint8_t> WriteObjectBlock(VtNode* node) {
  std::vector<uint8_t> block;
  if (!HasModuleData(node) || node->module.operations->Write == nullptr) return block;
  VtStream stream;
  stream.out = &block;
  EnterModuleOf(node);
  node->module.operations->Write(node->module.data, node, &stream);
  return block;
}

std::vector<StoredValue> StoredBlock(VtNode* node) {
  std::vector<StoredValue> values;
  const std::vector<uint8_t> block = WriteObjectBlock(node);
  VtStream stream = ReadingStream(block);
  for (;;) {
    int32_t number = 0;
    VtVector vector{};
    if (ReadBlockInt32(&stream, &number)) {
      values.emplace_back(number);
    } else if (ReadBlockVector(&stream, &vector)) {
      values.emplace_back(vector);
    } else {
      return values;
    }
  }
}

bool ReadStoredBlock(VtNode* node, const std::vector<uint8_t>& block, int32_t level) {
  if (!HasModuleData(node) || node->module.operations->Read == nullptr) return false;
  VtStream stream = ReadingStream(block);
  EnterModuleOf(node);
  return node->module.operations->Read(node->module.data, node, &stream, level) != 0;
}

std::vector<uint8_t> EncodeStoredBlock(const std::vector<StoredValue>& values) {
  std::vector<uint8_t> block;
  VtStream stream;
  stream.out = &block;
  for (const StoredValue& value : values) {
    if (const auto* number = std::get_if<int32_t>(&value)) {
      WriteBlockInt32(&stream, *number);
    } else {
      WriteBlockVector(&stream, &std::get<VtVector>(value));
    }
  }
  return block;
}

}  // namespace vthost

// The model writers on hierarchies of any shape: nulls, spheres and bonds nested as the input says,
// with any names, positions, radii, segments and colours. Each model is written as glTF, USDA or
// USDZ, as the input's last byte picks, or refused with a reason; what is written must read back:
// the GLB's chunks and JSON, every accessor within its view and every view within the buffer, the
// package's zip records and CRCs, and the USDA's quotes and brackets.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "../tests/host/export/sample_hierarchy.h"
#include "vthost/models.h"
#include "vthost/host.h"

namespace {

using vthost::NodePtr;

void Check(bool holds) {
  if (!holds) std::abort();
}

// The checks' own loops over every byte written are left out of the coverage that guides the
// fuzzer (tracing their compares took a sixth of its time, and says nothing of the writers).
#define NOT_TRACED __attribute__((no_sanitize("coverage")))

uint32_t Word(std::string_view bytes, size_t at) {
  Check(at + 4 <= bytes.size());
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

uint16_t Half(std::string_view bytes, size_t at) {
  Check(at + 2 <= bytes.size());
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
}

void ReadGlb(std::string_view glb) {
  Check(Word(glb, 0) == 0x46546C67 && Word(glb, 4) == 2 && Word(glb, 8) == glb.size());
  const uint32_t jsonLength = Word(glb, 12);
  Check(Word(glb, 16) == 0x4E4F534A && jsonLength % 4 == 0 && 20 + size_t{jsonLength} <= glb.size());
  const auto document = nlohmann::json::parse(glb.substr(20, jsonLength));  // throws, and the fuzzer stops, when not JSON
  size_t binLength = 0;
  if (20 + size_t{jsonLength} < glb.size()) {
    binLength = Word(glb, 20 + jsonLength);
    Check(Word(glb, 24 + jsonLength) == 0x004E4942 && 28 + jsonLength + binLength == glb.size());
    Check(document.at("buffers").at(0).at("byteLength").get<size_t>() <= binLength);
  }
  const auto& views = document.value("bufferViews", nlohmann::json::array());
  for (const auto& view : views) {
    Check(view.value("byteOffset", size_t{0}) + view.at("byteLength").get<size_t>() <= binLength);
  }
  for (const auto& accessor : document.value("accessors", nlohmann::json::array())) {
    const auto& view = views.at(accessor.at("bufferView").get<size_t>());
    const size_t component = accessor.at("componentType") == 5126 || accessor.at("componentType") == 5125 ? 4 : 2;
    const std::string type = accessor.at("type");
    const size_t width = type == "VEC3" ? 3 : type == "VEC2" ? 2 : 1;
    Check(accessor.at("count").get<size_t>() * component * width <= view.at("byteLength").get<size_t>());
  }
  const size_t meshes = document.value("meshes", nlohmann::json::array()).size();
  const auto& nodes = document.value("nodes", nlohmann::json::array());
  for (const auto& node : nodes) {
    if (node.contains("mesh")) Check(node.at("mesh").get<size_t>() < meshes);
    for (const auto& child : node.value("children", nlohmann::json::array())) Check(child.get<size_t>() < nodes.size());
  }
}

NOT_TRACED uint32_t Crc32(std::string_view bytes) {
  static const auto table = [] {
    std::array<uint32_t, 256> entries{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t crc = i;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
      entries[i] = crc;
    }
    return entries;
  }();
  uint32_t crc = 0xFFFFFFFF;
  for (const char c : bytes) crc = (crc >> 8) ^ table[(crc ^ static_cast<unsigned char>(c)) & 0xFF];
  return ~crc;
}

// The package as a zip reader reads it: the end record, the central directory, each local header
// and its stored data.
void ReadUsdz(std::string_view zip) {
  Check(zip.size() >= 22 && Word(zip, zip.size() - 22) == 0x06054B50);
  const size_t end = zip.size() - 22;
  const uint16_t entries = Half(zip, end + 10);
  size_t at = Word(zip, end + 16);
  Check(at + Word(zip, end + 12) == end && entries == 1);  // one layer, the crate file
  for (uint16_t i = 0; i < entries; ++i) {
    Check(Word(zip, at) == 0x02014B50 && Half(zip, at + 10) == 0);  // stored
    const uint32_t crc = Word(zip, at + 16), size = Word(zip, at + 20);
    const uint16_t name = Half(zip, at + 28), extra = Half(zip, at + 30), comment = Half(zip, at + 32);
    const size_t local = Word(zip, at + 42);
    Check(Word(zip, local) == 0x04034B50 && Word(zip, local + 18) == size);
    const size_t data = local + 30 + Half(zip, local + 26) + Half(zip, local + 28);
    Check(data % 64 == 0 && data + size <= end && Crc32(zip.substr(data, size)) == crc);
    Check(zip.substr(data, 8) == "PXR-USDC");
    at += 46 + name + extra + comment;
  }
}

// Quotes closed on their line, brackets closed in order.
NOT_TRACED void ReadUsda(std::string_view text) {
  Check(text.substr(0, 10) == "#usda 1.0\n");
  std::string open;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '\\') ++i;
      if (c == '"') quoted = false;
      Check(c != '\n');
      continue;
    }
    if (c == '"') quoted = true;
    if (c == '(' || c == '[' || c == '{') open.push_back(c);
    if (c == ')' || c == ']' || c == '}') {
      Check(!open.empty() && open.back() == (c == ')' ? '(' : c == ']' ? '[' : '{'));
      open.pop_back();
    }
  }
  Check(!quoted && open.empty());
}

double Number(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return data.ConsumeFloatingPoint<double>();  // any finite one
    case 1: {
      const double infinite = std::numeric_limits<double>::infinity();
      return data.PickValueInArray({std::numeric_limits<double>::quiet_NaN(), infinite, -infinite});
    }
    case 2:
      return 0.0;
    default:
      return data.ConsumeFloatingPointInRange<double>(-200.0, 200.0);
  }
}

VtVector Vector(FuzzedDataProvider& data) { return {Number(data), Number(data), Number(data)}; }

bool OneIn(FuzzedDataProvider& data, int n) { return data.ConsumeIntegralInRange<int>(1, n) == 1; }

NodePtr Make(FuzzedDataProvider& data, int depth, int* left);

// Children below a node for as long as the input asks, each asking yes one time in every.
void AdoptChildren(FuzzedDataProvider& data, VtNode* parent, int depth, int* left, int every) {
  while (depth < 4 && *left > 0 && OneIn(data, every)) {
    --*left;
    vthost::Adopt(parent, Make(data, depth + 1, left));
  }
}

// A node and what the input makes of its children, to a depth of four: nulls; spheres, now and
// then without the primitive they came from (a plain polygon mesh) or without a display colour;
// bonds, now and then along a bent path. Spheres of up to 24 segments and 12 nodes in all reach
// the branches that larger ones do, in less time.
NodePtr Make(FuzzedDataProvider& data, int depth, int* left) {
  const std::string name = data.ConsumeRandomLengthString(12);
  NodePtr node = [&] {
    switch (data.ConsumeIntegralInRange<int>(0, 2)) {
      case 0: {
        NodePtr null = vthost::Null(name);
        null->position = Vector(data);
        return null;
      }
      case 1: {
        NodePtr sphere =
            vthost::MakeSphere(name, Number(data), data.ConsumeIntegralInRange<int32_t>(-2, 24), Vector(data));
        sphere->display = vthost::DisplayColour{!OneIn(data, 8), Vector(data), 1, data.ConsumeBool()};
        if (OneIn(data, 8)) sphere->primitive.reset();
        return sphere;
      }
      default: {
        const VtVector start = Vector(data), end = Vector(data);
        NodePtr bond = vthost::MakeBond(start, end, Number(data));
        bond->display.colour = Vector(data);
        bond->display.xray = data.ConsumeBool();
        if (bond->children.size() >= 2 && bond->children[1]->spline && OneIn(data, 8)) {
          bond->children[1]->spline->points.push_back(Vector(data));
        }
        return bond;
      }
    }
  }();
  AdoptChildren(data, node.get(), depth, left, node->type == VT_OBJECT_NULL ? 2 : 4);
  return node;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static vthost::Host* host = new vthost::Host();
  FuzzedDataProvider data(bytes, size);
  // Each writer builds the model anew, so one writer an input: three times the inputs a second
  // (2,142 against 650, with another target running beside) for the same work.
  const int writer = data.ConsumeIntegralInRange<int>(0, 2);
  int left = 12;
  NodePtr root = vthost::Null(data.ConsumeRandomLengthString(12));
  while (left > 0 && data.ConsumeBool()) {
    --left;
    vthost::Adopt(root.get(), Make(data, 1, &left));
  }
  const vthost::ExportedModel model{root.get(), nullptr, data.ConsumeRandomLengthString(16)};
  std::string bytesOut, error;
  switch (writer) {
    case 0:
      if (vthost::GltfBytes(*host, model, &bytesOut, &error)) ReadGlb(bytesOut);
      break;
    case 1:
      if (vthost::UsdBytes(*host, model, /*package=*/false, &bytesOut, &error)) ReadUsda(bytesOut);
      break;
    default:
      if (vthost::UsdBytes(*host, model, /*package=*/true, &bytesOut, &error)) ReadUsdz(bytesOut);
  }
  return 0;
}

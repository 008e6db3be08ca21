// The module started in-process as the host application starts it (init, resources, start-up),
// with its res/ in a folder of the test's own, a document to work in, and access to the objects.
#pragma once

#include "boundmodule.h"
#include "moleculeobject.h"
#include "molfiles.h"
#include "parameterids.h"
#include "scene/model.h"

class StartedModule : public BoundModule {
 protected:
  void SetUp() override {
    plugin_ = TempFolder() / "plugin";
    std::filesystem::create_directories(plugin_);
    std::filesystem::copy(SourceDir() / "res", plugin_ / "res", std::filesystem::copy_options::recursive);
    BoundModule::SetUp();
    ASSERT_EQ(c4d_main(VT_ACTION_MESSAGE, reinterpret_cast<void*>(intptr_t{1}), nullptr, nullptr), 1);
    ASSERT_EQ(c4d_main(VT_ACTION_START, nullptr, nullptr, nullptr), 1);
    document_ = host_.NewDocument();
    host_.Events().Clear();
  }
  void TearDown() override {
    host_.ForgetModule(plugin_);  // frees every object while the module is bound
    BoundModule::TearDown();
  }
  VtNode* NewMolecule(const std::string& name = "Molecule") {
    return host_.CreateObject(document_, vantor::kMoleculeObjectId, name);
  }
  // A molecule object with the molfile loaded from a file of that name; the document not yet evaluated.
  VtNode* Loaded(const std::string& molfile, const std::string& name = "m.sdf") {
    VtNode* node = NewMolecule();
    SetFile(node, WriteFile(TempFolder() / name, molfile));
    host_.Press(node, vantor::MOLOBJ_LOAD);
    return node;
  }
  std::filesystem::path PluginFolder() const override { return plugin_; }

 public:
  static vantor::MoleculeObject& Object(VtNode* node) {
    return *static_cast<vantor::MoleculeObject*>(static_cast<vantor::ObjectData*>(node->module.data));
  }
  static const vthost::Value* Get(VtNode* node, int32_t id) { return vthost::Lookup(&node->parameters, id); }
  template <typename T>
  static T GetAs(VtNode* node, int32_t id) {
    const vthost::Value* value = Get(node, id);
    return value && std::holds_alternative<T>(*value) ? std::get<T>(*value) : T{};
  }
  void SetFile(VtNode* node, const std::filesystem::path& file) {
    host_.SetParameter(node, vantor::MOLOBJ_FILE, vthost::Value(file));
  }

 protected:
  std::vector<int32_t> MessagesSent(VtNode* node, int32_t type) const {
    std::vector<int32_t> sent;
    for (const auto& event : vthost::NodeEvents(node)) {
      if (event.kind == vthost::NodeEvent::Kind::Message && event.value == type) sent.push_back(type);
    }
    return sent;
  }

  std::filesystem::path plugin_;
  VtDocument* document_ = nullptr;
};

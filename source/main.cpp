// The module's one exported entry: binding the host, loading resources, registering the molecule
// object, and tearing down at the last end action.
#include <cstdint>
#include <new>

#include "hostapi/hostbinding.h"
#include "hostapi/hostfilename.h"
#include "hostapi/hostplugin.h"
#include "hostapi/hostresource.h"
#include "hostapi/hostui.h"
#include "moleculeobject.h"
#include "vantor_host.h"

#ifndef VANTOR_MIN_HOST_VERSION
#error "VANTOR_MIN_HOST_VERSION must name the oldest host interface version this build accepts"
#endif

#if defined(_WIN32)
#define VANTOR_EXPORT extern "C" __declspec(dllexport)
#else
#define VANTOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vantor {
namespace {

constexpr int32_t kMinimumHostVersion = VANTOR_MIN_HOST_VERSION;

constexpr int32_t kEntryOk = 1;
constexpr int32_t kEntryFailed = -1;
constexpr int32_t kEntryRefused = -3;
constexpr int32_t kQueryAnswer = 5;

constexpr int32_t kMessageNone = 0;
constexpr int32_t kMessageLoadResources = 1;

constexpr int32_t kDisplayNameString = 50000;
// Bits 2 (generator), 10 and 15.
constexpr int32_t kMoleculeObjectInfo = 33796;
constexpr const char* kDescriptionName = "oxvantor";
constexpr const char* kIconFile = "icons8-test-tube.tif";
constexpr double kIconPixelRatio = 1.0;

// Module-wide state, from the first init action to the last end action. Held through pointers so
// nothing calls the host from a static destructor after the host has gone.
struct ModuleState {
  int32_t initCount = 0;
  Filename* location = nullptr;  // the folder holding the module; null when init was refused
  Resource* resource = nullptr;
  bool resourceTried = false;
  bool resourceLoaded = false;
};

ModuleState g_module;

Filename ResourceFolder() { return g_module.location ? *g_module.location + String("res") : Filename(); }

int32_t InitAction(const void* record, const void* location) {
  if (++g_module.initCount != 1) return kEntryOk;
  if (!host::Bind(static_cast<const VtHostInterface*>(record))) return kEntryRefused;
  if (host::InterfaceVersion() < kMinimumHostVersion || location == nullptr) return kEntryRefused;
  g_module.location = new Filename(Filename::Share(static_cast<const VtFilename*>(location)));
  return kEntryOk;
}

bool LoadResourceSet() {
  const Filename folder = ResourceFolder();
  if (!folder.IsEmpty()) {
    g_module.resource = new Resource();
    if (g_module.resource->Load(folder)) return true;
  }
  ConsoleLine("Vantor: failed to load resource file.");
  return false;
}

bool MessageStep(int32_t id) {
  switch (id) {
    case kMessageNone:
      return true;
    case kMessageLoadResources:
      if (!host::IsBound()) return false;
      if (!g_module.resourceTried) {
        g_module.resourceTried = true;
        g_module.resourceLoaded = LoadResourceSet();
      }
      return g_module.resourceLoaded;
    default:
      return false;
  }
}

bool RegisterMoleculeObject() {
  static const Resource kNoResource;
  const Resource& resource = g_module.resource ? *g_module.resource : kNoResource;
  const Filename folder = ResourceFolder();
  const Bitmap icon = folder.IsEmpty() ? Bitmap() : Bitmap::Load(folder + String(kIconFile), kIconPixelRatio);

  ObjectRegistration registration;
  registration.id = kMoleculeObjectId;
  registration.name = resource.GetString(kDisplayNameString);
  registration.info = kMoleculeObjectInfo;
  registration.operations = ObjectOperations<MoleculeObject>();
  registration.description = kDescriptionName;
  registration.icon = &icon;
  return RegisterObjectPlugin(registration, resource);
}

int32_t StartAction() {
  if (!host::IsBound()) return 0;
  const bool registered = RegisterMoleculeObject();
  ConsoleLine(registered ? "Quennet Software : Vantor successfully loaded." : "Quennet Software: Failed to load Vantor");
  return registered ? 1 : 0;
}

int32_t EndAction() {
  // an end without a matching init is ignored, so it cannot hold back the next init
  if (g_module.initCount == 0) return kEntryOk;
  if (--g_module.initCount != 0) return kEntryOk;
  // nothing to shut down beyond what start-up made
  delete g_module.resource;
  delete g_module.location;
  g_module = ModuleState{};
  host::Unbind();
  return kEntryOk;
}

int32_t Dispatch(int32_t action, void* p1, void* p2, void* p3) {
  (void)p2;
  switch (action) {
    case VT_ACTION_INIT:
      return InitAction(p1, p3);
    case VT_ACTION_START:
      return StartAction();
    case VT_ACTION_END:
      return EndAction();
    case VT_ACTION_QUERY:
      return kQueryAnswer;
    case VT_ACTION_MESSAGE:
      return MessageStep(static_cast<int32_t>(reinterpret_cast<intptr_t>(p1))) ? kEntryOk : kEntryFailed;
    default:
      return kEntryFailed;
  }
}

}  // namespace
}  // namespace vantor

VANTOR_EXPORT int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3) {
  try {
    return vantor::Dispatch(action, p1, p2, p3);
  } catch (...) {
    return vantor::kEntryFailed;
  }
}

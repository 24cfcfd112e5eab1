// The plug-in's entry points: bootstrap, registration of every described
// module with the host by its type, and the teardown at unload or exit.
#include <maya/MFnPlugin.h>
#include <maya/MMessage.h>
#include <maya/MObject.h>
#include <maya/MSceneMessage.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "quarn/HModuleInfo.h"
#include "quarn/Platform/Maya/HPluginModule_ImageTranslator.h"
#include "quarn/Platform/Maya/HPluginRuntime.h"

#if defined(_WIN32)
#define QUARN_EXPORT __declspec(dllexport)
#else
#define QUARN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
QUARN_EXPORT const char* MApiVersion = "850";
}

QUARN_EXPORT MStatus initializePlugin(MObject object);
QUARN_EXPORT MStatus uninitializePlugin(MObject object);

using quarn::ModuleInfoBase;
using namespace quarn::platform_maya;

namespace {

MObject& PluginObject() {
  static MObject object;
  return object;
}

MCallbackId g_exitCallbackId = 0;

void SendOnChannel(int channel, const char* start, const quarn::HString& name, const char* end) {
  kor::UMessageWriter(kor::GetCoreServices()->GetChannel(channel), start) << name << end;
}

// The extension an image-file module claims, asked of a temporary object.
MString ExtensionOf(const ModuleInfoBase& module) {
  void* object = module.create();
  if (object == nullptr) return MString();
  struct Destroyer {
    const ModuleInfoBase& module;
    void* object;
    ~Destroyer() { module.destroy(object); }
  } destroyer{module, object};
  auto* reader = dynamic_cast<HPluginModule_ImageTranslator_Reader*>(static_cast<MPxImageFile*>(object));
  assure(reader);
  return MString(reader->GetExtension().GetText());
}

MStatus RegisterModule(const ModuleInfoBase& module, MFnPlugin& plugin) {
  MString name(module.name.GetText());
  switch (module.type) {
    case quarn::MODULE_TYPE_COMMAND:
      return plugin.registerCommand(name, module.create, nullptr);
    case quarn::MODULE_TYPE_FILE_TRANSLATOR:
    case quarn::MODULE_TYPE_FILE_TRANSLATOR_2: {
      quarn::HString options = quarn::HString::Concatenate(module.name, "Options");
      char pixmap[] = "none";
      char noDefaults[] = "";
      return plugin.registerFileTranslator(name, pixmap, module.create,
                                           reinterpret_cast<char*>(options.GetChars()), noDefaults,
                                           false);
    }
    case quarn::MODULE_TYPE_IMAGE_FILE: {
      MStringArray extensions;
      extensions.append(ExtensionOf(module));
      return plugin.registerImageFile(name, module.create, extensions);
    }
    case quarn::MODULE_TYPE_RESERVED:
      assure(false);
      return MStatus(MStatus::kFailure);
    default:
      SendOnChannel(6, "Couldn't register module with name \"", module.name, "\". Unknown module type.");
      return MStatus(MStatus::kFailure);
  }
}

MStatus DeregisterModule(MFnPlugin& plugin, const ModuleInfoBase& module) {
  MString name(module.name.GetText());
  switch (module.type) {
    case quarn::MODULE_TYPE_COMMAND:
      return plugin.deregisterCommand(name);
    case quarn::MODULE_TYPE_FILE_TRANSLATOR:
    case quarn::MODULE_TYPE_FILE_TRANSLATOR_2:
      return plugin.deregisterFileTranslator(name);
    case quarn::MODULE_TYPE_IMAGE_FILE:
      return plugin.deregisterImageFile(name);
    case quarn::MODULE_TYPE_RESERVED:
      assure(false);
      return MStatus(MStatus::kFailure);
    default:
      SendOnChannel(6, "Couldn't deregister module with name \"", module.name,
                    "\". Unknown module type.");
      return MStatus(MStatus::kFailure);
  }
}

void OnProgramExit(void* clientData) {
  MObject object(*static_cast<MObject*>(clientData));
  uninitializePlugin(object);
}

MStatus RegisterAll(MObject& object) {
  quarn::PluginDescription& description = quarn::GetPluginDescription();
  quarn::HString vendor = quarn::ComposeVendorText(description);
  quarn::HString version = quarn::ComposeVersionText(description);
  MFnPlugin plugin(object, vendor.GetText(), version.GetText(), "Any");

  MStatus status;
  for (auto* node = description.modules.GetHead(); node; node = node->next) {
    status = RegisterModule(node->value, plugin);
    if (!status) return status;
  }

  PluginObject() = object;
  g_exitCallbackId = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, &OnProgramExit,
                                                &PluginObject(), &status);
  if (!status) {
    kor::UMessageWriter(kor::GetCoreServices()->GetChannel(5),
                        "Couldn't register callback upon program shutdown.");
    RestoreSavedAccessor();
  }
  return status;
}

MStatus DeregisterAll(MObject& object) {
  MFnPlugin plugin(object, "Unknown", "Unknown", "Any");
  MStatus status;
  for (auto* node = quarn::GetPluginDescription().modules.GetHead(); node; node = node->next) {
    status = DeregisterModule(plugin, node->value);
    if (!status) break;
  }
  MMessage::removeCallback(g_exitCallbackId);
  quarn::EmptyModuleList();
  RestoreSavedAccessor();
  return status;
}

}  // namespace

MStatus initializePlugin(MObject object) {
  QUARN_HOST_BOUNDARY_BEGIN
  InitializePlugin_Base();
  return RegisterAll(object);
  QUARN_HOST_BOUNDARY_END(MStatus(MStatus::kFailure))
}

MStatus uninitializePlugin(MObject object) {
  QUARN_HOST_BOUNDARY_BEGIN
  return DeregisterAll(object);
  QUARN_HOST_BOUNDARY_END(MStatus(MStatus::kFailure))
}

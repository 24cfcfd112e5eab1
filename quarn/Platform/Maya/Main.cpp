// The plug-in's entry points: bootstrap, registration of every described
// module with the host by its type, and the teardown at unload or exit.
//
// The one file of the plug-in that includes the function set without
// MNoVersionString: the host's header defines the exported version text here.
#include <maya/MFnPlugin.h>
#include <maya/MMessage.h>
#include <maya/MObject.h>
#include <maya/MSceneMessage.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MTypes.h>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "quarn/HModuleInfo.h"
#include "quarn/Platform/Maya/HPluginModule_ImageTranslator.h"
#include "quarn/Platform/Maya/HPluginRuntime.h"

PLUGIN_EXPORT MStatus initializePlugin(MObject object);
PLUGIN_EXPORT MStatus uninitializePlugin(MObject object);

using quarn::ModuleInfoBase;
using namespace quarn::platform_maya;

namespace {

MObject& PluginObject() {
  static MObject object;
  return object;
}

// The exit notification asked for by the last initialisation, if any: it is
// removed before another is asked for and when the plug-in goes, so that the
// host never calls into a library it has unloaded.
struct ExitNotification {
  bool registered = false;
  MCallbackId id = 0;
};
ExitNotification g_exitNotification;

void RemoveExitNotification() {
  if (!g_exitNotification.registered) return;
  g_exitNotification.registered = false;
  MMessage::removeCallback(g_exitNotification.id);
}

void SendOnChannel(int channel, const char* start, const quarn::HString& name, const char* end) {
  kor::UMessageWriter(kor::GetCoreServices()->GetChannel(channel), start) << name << end;
}

// The extension an image-file module claims, asked of a temporary object;
// empty when the module can't create one.
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
      MString extension = ExtensionOf(module);
      if (extension.length() == 0) {
        SendOnChannel(5, "Couldn't register module with name \"", module.name,
                      "\". It can't create its objects.");
        return MStatus(MStatus::kFailure);
      }
      MStringArray extensions;
      extensions.append(extension);
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

// Deregisters the first count modules of the description.
void DeregisterFirst(MFnPlugin& plugin, int count) {
  auto* node = quarn::GetPluginDescription().modules.GetHead();
  for (; node && count > 0; node = node->next, --count) DeregisterModule(plugin, node->value);
}

// Undoes a registration that failed part-way: the host unloads a plug-in
// whose initialisation failed without calling uninitializePlugin.
void AbandonRegistration(MFnPlugin& plugin, int registered) {
  DeregisterFirst(plugin, registered);
  quarn::EmptyModuleList();
  RestoreSavedAccessor();
}

MStatus RegisterAll(MObject& object) {
  quarn::PluginDescription& description = quarn::GetPluginDescription();
  quarn::HString vendor = quarn::ComposeVendorText(description);
  quarn::HString version = quarn::ComposeVersionText(description);
  MFnPlugin plugin(object, vendor.GetText(), version.GetText(), "Any");
  RemoveExitNotification();

  MStatus status;
  int registered = 0;
  try {
    for (auto* node = description.modules.GetHead(); node && status; node = node->next) {
      status = RegisterModule(node->value, plugin);
      if (status) ++registered;
    }
  } catch (...) {
    AbandonRegistration(plugin, registered);
    throw;
  }
  if (!status) {
    AbandonRegistration(plugin, registered);
    return status;
  }

  PluginObject() = object;
  MCallbackId id = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, &OnProgramExit, &PluginObject(), &status);
  if (!status) {
    kor::UMessageWriter(kor::GetCoreServices()->GetChannel(5), "Couldn't register callback upon program shutdown.");
    AbandonRegistration(plugin, registered);
    return status;
  }
  g_exitNotification.registered = true;
  g_exitNotification.id = id;
  return status;
}

MStatus DeregisterAll(MObject& object) {
  MFnPlugin plugin(object, "Unknown", "Unknown", "Any");
  MStatus status;
  for (auto* node = quarn::GetPluginDescription().modules.GetHead(); node; node = node->next) {
    status = DeregisterModule(plugin, node->value);
    if (!status) break;
  }
  RemoveExitNotification();
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

// The plug-in's description of itself: identifying texts, a version and the
// ordered list of its modules, each with the functions that make and
// destroy its objects.
#pragma once

#include "kor/Utils/UBaseString.h"
#include "kor/Utils/UList.h"

namespace quarn {

typedef kor::UBaseString<unsigned char> HString;

typedef void* (*ModuleCreator)();
typedef void (*ModuleDestroyer)(void* object);

// How the platform layer registers a module with the host.
enum ModuleType {
  MODULE_TYPE_COMMAND = 0,
  MODULE_TYPE_FILE_TRANSLATOR = 1,
  MODULE_TYPE_FILE_TRANSLATOR_2 = 2,
  MODULE_TYPE_IMAGE_FILE = 3,
  MODULE_TYPE_RESERVED = 4  // registering it is a broken invariant
};

struct ModuleInfoBase {
  HString name;
  int id;
  int type;
  ModuleCreator create;
  ModuleDestroyer destroy;

  // The listed module whose id matches; raises when there is none.
  static ModuleInfoBase& GetModuleInfoBaseFor(int id);
};

struct PluginDescription {
  enum { TEXT_NUM = 7 };
  HString texts[TEXT_NUM];
  int versionMajor;
  int versionMinor;
  HString versionSuffix;
  kor::UList<ModuleInfoBase> modules;

  PluginDescription() : versionMajor(0), versionMinor(0) {}
};

// The process-wide description.
PluginDescription& GetPluginDescription();

void ResetPluginDescription();
// Stores this plug-in's texts, version and module; the plug-in defines it.
void FillPluginDescription();
void AddModule(const ModuleInfoBase& module);
void EmptyModuleList();

// The texts handed to the host.
HString ComposeVendorText(const PluginDescription& description);
HString ComposeVersionText(const PluginDescription& description);

}  // namespace quarn

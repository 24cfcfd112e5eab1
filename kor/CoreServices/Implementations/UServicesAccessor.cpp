#include <new>

#include "kor/CoreServices/Implementations/CoreServicesVariants.h"

namespace kor {

const ChannelWiring CHANNEL_WIRING[7] = {
    {1, {1}, 1},       {2, {1, 2}, 2},    {3, {3, 1}, 2},    {4, {1, 3, 4}, 3},
    {5, {5, 1}, 2},    {6, {1, 3, 6}, 3}, {7, {1, 7, 4}, 3},
};

namespace {

// The portable services live in static storage, built on first use, so
// that allocations during static initialisation find them. At process end
// they are destroyed; allocations after that fall back to the C heap, which
// is where every pool takes its blocks from anyway.
struct DefaultServices {
  alignas(UCoreServices_ANSI) unsigned char storage[sizeof(UCoreServices_ANSI)];
  UCoreServices_ANSI* instance = nullptr;
  bool building = false;
  bool gone = false;

  ~DefaultServices() {
    if (instance) instance->~UCoreServices_ANSI();
    instance = nullptr;
    gone = true;
  }
};

DefaultServices& Defaults() {
  static DefaultServices defaults;
  return defaults;
}

CoreServicesAccessor g_accessor = &DefaultCoreServicesAccessor;

}  // namespace

CoreServicesFactory g_coreServicesFactory = &CreateCoreServices_Default;

ICoreServices* DefaultCoreServicesAccessor() {
  DefaultServices& defaults = Defaults();
  if (defaults.instance == nullptr && !defaults.building && !defaults.gone) {
    defaults.building = true;  // allocations while building use the C heap
    defaults.instance = new (defaults.storage) UCoreServices_ANSI();
    defaults.building = false;
  }
  return defaults.instance;
}

ICoreServices* GetCoreServices() { return g_accessor(); }

CoreServicesAccessor SetCoreServicesAccessor(CoreServicesAccessor accessor) {
  CoreServicesAccessor previous = g_accessor;
  g_accessor = accessor ? accessor : &DefaultCoreServicesAccessor;
  return previous;
}

CoreServicesAccessor GetCoreServicesAccessor() { return g_accessor; }

ICoreServices* CreateCoreServices_Default(int blockSize) {
  KOR_GUARD_BEGIN
  UCoreServices_Windows* services = NewObject<UCoreServices_Windows>();
  if (!services->Init(blockSize)) {
    DeleteObject(services);
    return nullptr;
  }
  return services;
  KOR_GUARD_END
}

}  // namespace kor

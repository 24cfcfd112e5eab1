// The one object through which the system obtains memory, files and message
// output, reached through a replaceable process-wide accessor.
#pragma once

#include "kor/CoreServices/Interfaces/IFileSystem.h"
#include "kor/CoreServices/Interfaces/IMemoryAllocator.h"
#include "kor/CoreServices/Interfaces/IMessageSink.h"

namespace kor {

class UMemoryPool;
class UMessageChannel;
class UOutputSlot;

class ICoreServices {
 public:
  enum { CHANNEL_NUM = 8 };

  virtual ~ICoreServices() noexcept(false) {}
  virtual UMemoryPool* CreateMemoryPool(int blockSize) = 0;
  virtual IMemoryAllocator* GetMemoryAllocator() = 0;
  virtual UMemoryPool* GetMemoryPool() = 0;
  virtual IFileSystem* GetFileSystem() = 0;
  // Numbers outside 0..7 give channel 0, which discards.
  virtual UMessageChannel* GetChannel(int number) = 0;
  // Numbers outside 0..7 give slot 0.
  virtual UOutputSlot* GetOutputSlot(int number) = 0;
  // Returns the sink attached before; numbers outside 0..7 change nothing.
  virtual IMessageSink* SetOutputSink(int number, IMessageSink* sink) = 0;
  virtual bool Init(int blockSize) = 0;
};

typedef ICoreServices* (*CoreServicesAccessor)();
typedef ICoreServices* (*CoreServicesFactory)(int blockSize);

// The services current now. Null only while the process-wide default
// services are being built or after they are gone at process end.
ICoreServices* GetCoreServices();

// Installs an accessor and returns the one in force before.
CoreServicesAccessor SetCoreServicesAccessor(CoreServicesAccessor accessor);
CoreServicesAccessor GetCoreServicesAccessor();

// The accessor in force at process start: it returns the portable services,
// built on its first call (without Init).
ICoreServices* DefaultCoreServicesAccessor();

// The factory: new Windows-variant services, initialised, or null.
ICoreServices* CreateCoreServices_Default(int blockSize);
extern CoreServicesFactory g_coreServicesFactory;

}  // namespace kor

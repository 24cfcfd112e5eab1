// The core services object, built from a platform allocator, the memory
// pool and a platform file system, with the eight message channels.
#pragma once

#include "kor/CoreServices/Implementations/UMemoryPool.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UOutputSlot.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"

namespace kor {

// Which output slots each channel feeds, in the order they hear a message.
struct ChannelWiring {
  int channel;
  int slots[3];
  int slotNum;
};
extern const ChannelWiring CHANNEL_WIRING[7];

template <class Allocator, class Pool, class FileSystem>
class UCoreServices : public ICoreServices {
 public:
  UCoreServices()
      : m_channels{UMessageChannel(CHANNEL_KIND_DISCARD), UMessageChannel(CHANNEL_KIND_PLAIN),
                   UMessageChannel(CHANNEL_KIND_DEBUG),   UMessageChannel(CHANNEL_KIND_PLAIN),
                   UMessageChannel(CHANNEL_KIND_PLAIN),   UMessageChannel(CHANNEL_KIND_PLAIN),
                   UMessageChannel(CHANNEL_KIND_PLAIN),   UMessageChannel(CHANNEL_KIND_WARNING)} {
    for (int i = 0; i < CHANNEL_NUM; ++i) m_channelTable[i] = &m_channels[i];
  }
  UCoreServices(const UCoreServices&) = delete;
  UCoreServices& operator=(const UCoreServices&) = delete;
  ~UCoreServices() noexcept(false) override {}

  UMemoryPool* CreateMemoryPool(int blockSize) override {
    KOR_GUARD_BEGIN
    UMemoryPool* pool = NewObject<Pool>();
    if (!pool->Init(blockSize)) {
      DeleteObject(pool);
      return nullptr;
    }
    return pool;
    KOR_GUARD_END
  }

  IMemoryAllocator* GetMemoryAllocator() override { return &m_allocator; }
  UMemoryPool* GetMemoryPool() override { return &m_pool; }
  IFileSystem* GetFileSystem() override { return &m_fileSystem; }

  UMessageChannel* GetChannel(int number) override {
    return m_channelTable[IsChannelNumber(number) ? number : 0];
  }

  UOutputSlot* GetOutputSlot(int number) override {
    return GetProcessOutputSlot(IsChannelNumber(number) ? number : 0);
  }

  IMessageSink* SetOutputSink(int number, IMessageSink* sink) override {
    if (!IsChannelNumber(number)) return nullptr;
    UOutputSlot* slot = GetProcessOutputSlot(number);
    return slot ? slot->Attach(sink) : nullptr;
  }

  bool Init(int blockSize) override {
    KOR_GUARD_BEGIN
    m_pool.Init(blockSize);
    for (const ChannelWiring& wiring : CHANNEL_WIRING)
      for (int i = 0; i < wiring.slotNum; ++i)
        GetChannel(wiring.channel)->AddListener(GetOutputSlot(wiring.slots[i]));
    return true;
    KOR_GUARD_END
  }

 private:
  static bool IsChannelNumber(int number) { return number >= 0 && number < CHANNEL_NUM; }

  // Members in this order: destruction runs channels 7 to 0, then the file
  // system, the pool and the allocator.
  Allocator m_allocator;
  Pool m_pool;
  FileSystem m_fileSystem;
  UMessageChannel m_channels[CHANNEL_NUM];
  UMessageChannel* m_channelTable[CHANNEL_NUM];
};

}  // namespace kor

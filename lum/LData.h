// The base of every loaded-data record: a reference count that several
// holders can share. Release never destroys the record: whoever drops the
// last reference does.
#pragma once

#include <cstdint>

namespace lum {

class LData {
 public:
  LData() : m_refCount(0) {}
  LData(const LData&) = delete;
  LData& operator=(const LData&) = delete;
  virtual ~LData() noexcept(false) {}

  virtual int32_t GetRefCount() const { return m_refCount; }
  // Both return the count after the change.
  virtual int32_t AddRef();
  virtual int32_t Release();

 private:
  volatile int32_t m_refCount;
};

}  // namespace lum

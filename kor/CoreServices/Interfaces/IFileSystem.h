// The file-system interface of the core services.
#pragma once

namespace kor {

class IFileSystem {
 public:
  virtual ~IFileSystem() noexcept(false) {}
};

}  // namespace kor

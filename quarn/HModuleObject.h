// The base of every module object the framework creates.
#pragma once

namespace quarn {

class ModuleObject {
 public:
  virtual ~ModuleObject() noexcept(false) {}
};

}  // namespace quarn

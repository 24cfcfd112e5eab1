// The file system over the Win32 kernel calls.
#pragma once

#include "kor/CoreServices/Interfaces/IFileSystem.h"

namespace kor {
namespace platform_windows {

class UFileSystem_Windows : public IFileSystem {};

}  // namespace platform_windows
}  // namespace kor

// The portable file system over the C standard library.
#pragma once

#include "kor/CoreServices/Interfaces/IFileSystem.h"

namespace kor {

class UFileSystem_ANSI : public IFileSystem {};

}  // namespace kor

// The two concrete services: Windows (made by the factory) and portable
// (the default accessor's).
#pragma once

#include "kor/CoreServices/Implementations/ANSI/UFileSystem_ANSI.h"
#include "kor/CoreServices/Implementations/ANSI/UMemoryAllocator_ANSI.h"
#include "kor/CoreServices/Implementations/UCoreServices.h"
#include "kor/CoreServices/Implementations/Windows/UFileSystem_Windows.h"
#include "kor/CoreServices/Implementations/Windows/UMemoryAllocator_Windows.h"

namespace kor {

typedef UCoreServices<platform_windows::UMemoryAllocator_Windows, UMemoryPool,
                      platform_windows::UFileSystem_Windows>
    UCoreServices_Windows;
typedef UCoreServices<UMemoryAllocator_ANSI, UMemoryPool, UFileSystem_ANSI> UCoreServices_ANSI;

}  // namespace kor

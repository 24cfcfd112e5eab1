#pragma once

#include <maya/MStatus.h>

namespace mayastandin { namespace detail {

// True when a failure was requested for `call`; `status` then holds its code.
bool injectedFailure(const char* call, MStatus& status);

// Stores `status` through a host call's optional status pointer.
inline void report(MStatus* target, const MStatus& status)
{
    if (target)
        *target = status;
}

}}  // namespace mayastandin::detail

#include "Access.h"

#include <mayastandin/Host.h>

namespace mayastandin {

const char* hostApiVersion()
{
    return "850";
}

void reset()
{
    detail::resetRegistry();
    detail::resetMessages();
    detail::resetCallbacks();
    detail::resetScene();
    detail::resetFailures();
}

}  // namespace mayastandin

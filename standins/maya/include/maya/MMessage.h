#pragma once

#include <maya/MStatus.h>

typedef unsigned int MCallbackId;

// Base of the host's notification classes.
class MMessage
{
public:
    typedef void (*MBasicFunction)(void* clientData);

    static MStatus removeCallback(MCallbackId id);
};

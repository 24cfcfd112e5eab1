#pragma once

#include <maya/MMessage.h>

// Scene and program notifications.
class MSceneMessage : public MMessage
{
public:
    enum Message
    {
        kMayaExiting = 27  // sent once when the program exits
    };

    static MCallbackId addCallback(Message message, MMessage::MBasicFunction func,
                                   void* clientData = 0, MStatus* ReturnStatus = 0);
};

#pragma once

#include <maya/MString.h>

// The host's message display.
class MGlobal
{
public:
    static void displayInfo(const MString& text);
    static void displayWarning(const MString& text);
    static void displayError(const MString& text);
};

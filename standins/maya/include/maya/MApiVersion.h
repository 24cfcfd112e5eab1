#pragma once

// Defines, in the file that includes it, the exported text the host reads to
// learn which API version a plug-in was built against: the decimal digits of
// MAYA_API_VERSION as a character array. Every other file of a plug-in that
// includes the function set defines MNoVersionString first, so that the
// library holds one definition.
#include <maya/MTypes.h>

#ifndef MNoVersionString
#define MAYA_API_VERSION_TEXT_(number) #number
#define MAYA_API_VERSION_TEXT(number) MAYA_API_VERSION_TEXT_(number)
extern "C" {
PLUGIN_EXPORT char MApiVersion[] = MAYA_API_VERSION_TEXT(MAYA_API_VERSION);
}
#endif

#pragma once

// The API version of these headers, as a bare number, and the mark that
// exports a plug-in's entry points.
#define MAYA_API_VERSION 850

#if defined(_WIN32)
#define PLUGIN_EXPORT __declspec(dllexport)
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

// Function types shared by the registration calls.
class MSyntax;

typedef void* (*MCreatorFunction)();
typedef MSyntax (*MCreateSyntaxFunction)();

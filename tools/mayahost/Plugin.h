#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <string>

// A plug-in library loaded the way the host loads one: the library, its
// exported API version text and its two entry points.
//
// The entry points are looked up by their C++ names, `MStatus
// initializePlugin(MObject)` and `MStatus uninitializePlugin(MObject)`, and by
// their plain names when the plug-in gave them C linkage. The version text is
// the exported character array `MApiVersion` that the host's <maya/MFnPlugin.h>
// defines, holding the decimal digits of the API version ("850"); the
// characters are read at the symbol.
class Plugin
{
public:
    Plugin() = default;
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;
    ~Plugin();  // unloads the library

    // False with `error` set when the library, a symbol or the version is unusable.
    bool load(const std::string& path, std::string& error);

    const std::string& apiVersion() const { return m_apiVersion; }
    const MObject& object() const { return m_object; }

    // Each reports its own failure (status or exception) as a host error.
    bool initialize();
    bool uninitialize();

private:
    typedef MStatus (*EntryPoint)(MObject);

    bool readApiVersion(std::string& error);
    bool call(const char* name, EntryPoint entry, bool initializing);

    void* m_library = nullptr;
    EntryPoint m_initialize = nullptr;
    EntryPoint m_uninitialize = nullptr;
    std::string m_apiVersion;
    MObject m_object;
};

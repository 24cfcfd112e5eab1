#include "Plugin.h"

#include <maya/MGlobal.h>
#include <mayastandin/Host.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <exception>

namespace {

// Longest version text accepted; the characters are read up to it and no further.
const std::size_t kMaxVersionLength = 16;

void* findEntryPoint(void* library, const char* mangledName, const char* plainName)
{
    void* symbol = dlsym(library, mangledName);
    return symbol ? symbol : dlsym(library, plainName);
}

bool allDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

void showError(const std::string& text)
{
    MGlobal::displayError(MString(text.c_str()));
}

}  // namespace

Plugin::~Plugin()
{
    if (m_library)
        dlclose(m_library);
}

bool Plugin::load(const std::string& path, std::string& error)
{
    // dlopen searches the library path for a bare name; the user means a file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    m_library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
        const char* reason = dlerror();
        error = "can't load plug-in '" + path + "': " + (reason ? reason : "unknown reason");
        return false;
    }
    if (!readApiVersion(error))
        return false;
    m_initialize = reinterpret_cast<EntryPoint>(
        findEntryPoint(m_library, "_Z16initializePlugin7MObject", "initializePlugin"));
    m_uninitialize = reinterpret_cast<EntryPoint>(
        findEntryPoint(m_library, "_Z18uninitializePlugin7MObject", "uninitializePlugin"));
    if (!m_initialize || !m_uninitialize) {
        error = "plug-in '" + path + "' does not export " +
                (m_initialize ? "uninitializePlugin" : "initializePlugin");
        return false;
    }
    m_object = mayastandin::createPluginObject(path);
    return true;
}

bool Plugin::readApiVersion(std::string& error)
{
    // The text is an exported character array: its characters are read at the
    // symbol, never past the size the library gives it.
    void* symbol = dlsym(m_library, "MApiVersion");
    Dl_info where;
    ElfW(Sym)* entry = nullptr;
    if (!symbol || !dladdr1(symbol, &where, reinterpret_cast<void**>(&entry), RTLD_DL_SYMENT) || !entry ||
        entry->st_size == 0) {
        error = "plug-in does not export the text MApiVersion";
        return false;
    }
    const char* text = static_cast<const char*>(symbol);
    std::size_t limit = entry->st_size < kMaxVersionLength + 1 ? entry->st_size : kMaxVersionLength + 1;
    std::size_t length = strnlen(text, limit);
    m_apiVersion.clear();
    for (std::size_t i = 0; i < length && i < kMaxVersionLength; ++i)
        m_apiVersion += std::isprint(static_cast<unsigned char>(text[i])) ? text[i] : '?';
    if (length == limit || !allDigits(m_apiVersion)) {
        error = "plug-in API version '" + m_apiVersion + "' is not a version number";
        return false;
    }
    // A plug-in built against an older API runs here; one built against a newer one may call
    // what this host lacks.
    if (std::strtoul(m_apiVersion.c_str(), nullptr, 10) > std::strtoul(mayastandin::hostApiVersion(), nullptr, 10)) {
        error = "plug-in needs API version " + m_apiVersion + "; this host provides " +
                mayastandin::hostApiVersion();
        return false;
    }
    return true;
}

bool Plugin::initialize()
{
    return call("initializePlugin", m_initialize, true);
}

bool Plugin::uninitialize()
{
    return call("uninitializePlugin", m_uninitialize, false);
}

bool Plugin::call(const char* name, EntryPoint entry, bool initializing)
{
    try {
        MStatus status = initializing ? mayastandin::runInitialize(entry, m_object) : entry(m_object);
        if (status)
            return true;
        showError(std::string(name) + " failed with status " + std::to_string(status.statusCode()));
    } catch (const std::exception& e) {
        showError(std::string(name) + " threw an exception: " + e.what());
    } catch (...) {
        showError(std::string(name) + " threw an exception");
    }
    return false;
}

// mayahost: the host application as a program, for running a plug-in where
// the host itself is absent. It loads the plug-in as the host does, reads
// images through the plug-in's image-file registrations and writes them as
// PNG. Host messages go to stderr as the host shows them.

#include "Commands.h"
#include "Options.h"
#include "Plugin.h"

#include <maya/MGlobal.h>
#include <mayastandin/Host.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

namespace {

std::string defaultPluginPath()
{
    std::error_code ec;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::path("Plugin_JNG.so") : program.parent_path() / "Plugin_JNG.so").string();
}

int fail(const std::string& text)
{
    std::fprintf(stderr, "mayahost: %s\n", text.c_str());
    return 1;
}

// A plug-in must take back what it put into the host when it is unloaded;
// what it leaves would point into a library that is about to go.
void dropLeftovers()
{
    if (std::size_t callbacks = mayastandin::callbackCount()) {
        MGlobal::displayWarning(MString(("uninitializePlugin left " + std::to_string(callbacks) +
                                         " callback(s) registered; removing them").c_str()));
        mayastandin::removeAllCallbacks();
    }
    if (std::size_t left = mayastandin::registrations().size())
        MGlobal::displayWarning(MString(("uninitializePlugin left " + std::to_string(left) +
                                         " registration(s) in place").c_str()));
}

// Unloads the plug-in, or lets it see the program exit. False when unloading fails.
bool shutDown(Plugin& plugin, bool unload)
{
    if (!unload) {
        mayastandin::notifyExit();
        return true;
    }
    bool ok = plugin.uninitialize();
    dropLeftovers();
    return ok;
}

int run(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "mayahost: %s\n%s", error.c_str(), usageText());
        return 1;
    }
    if (options.help) {
        std::printf("%s", usageText());
        return 0;
    }
    Plugin plugin;
    if (!plugin.load(options.plugin.empty() ? defaultPluginPath() : options.plugin, error))
        return fail(error);
    if (!plugin.initialize())
        return fail("initializePlugin failed; the plug-in is not loaded");
    bool ok = options.command == "info" ? printInfo(plugin) : loadFiles(options);
    ok = shutDown(plugin, options.unload) && ok;
    std::fflush(stdout);
    return ok ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    // Whatever goes wrong, the user learns why.
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        return fail(std::string("stopped: ") + e.what());
    } catch (...) {
        return fail("stopped by an unknown exception");
    }
}

#include "Commands.h"

#include "ImageReader.h"
#include "OutputNames.h"
#include "PngWriter.h"

#include <maya/MGlobal.h>
#include <mayastandin/Host.h>

#include <cstdio>

namespace {

void showError(const std::string& text)
{
    MGlobal::displayError(MString(text.c_str()));
}

void printRegistration(const mayastandin::Registration& entry)
{
    std::string line = std::string(mayastandin::kindName(entry.kind)) + ": " + entry.name;
    for (const std::string& extension : entry.extensions)
        line += " " + extension;
    std::printf("%s\n", line.c_str());
}

void printLoaded(const std::string& file, const MImage& image, const MImageFileInfo& info)
{
    unsigned int width = 0, height = 0;
    image.getSize(width, height);
    std::printf("%s: %ux%u, %u channels, alpha %s\n", file.c_str(), width, height, info.channels(),
                info.hasAlpha() ? "yes" : "no");
}

bool loadOne(const Options& options, const std::string& file, OutputNames* outputs)
{
    mayastandin::Registration format;
    MImage image;
    MImageFileInfo info;
    if (!chooseImageFile(file, options.module, format) ||
        !readImage(format, file, image, info))
        return false;
    printLoaded(file, image, info);
    if (!outputs)
        return true;
    std::string path, error;
    if (outputs->pathFor(file, path, error) && writePng(image, path, error))
        return true;
    showError("can't write '" + path + "': " + error);
    return false;
}

}  // namespace

bool printInfo(const Plugin& plugin)
{
    mayastandin::PluginInfo info;
    mayastandin::pluginInfo(plugin.object(), info);
    std::printf("vendor: %s\nversion: %s\napi: %s\n", info.vendor.c_str(), info.version.c_str(),
                plugin.apiVersion().c_str());
    for (const mayastandin::Registration& entry : mayastandin::registrations())
        printRegistration(entry);
    return true;
}

bool loadFiles(const Options& options)
{
    OutputNames outputs;
    std::string error;
    if (!options.output.empty() && !outputs.prepare(options, error)) {
        showError(error);
        return false;
    }
    bool allLoaded = true;
    for (const std::string& file : options.files)
        allLoaded = loadOne(options, file, options.output.empty() ? nullptr : &outputs) && allLoaded;
    return allLoaded;
}

#include "ImageReader.h"

#include <maya/MGlobal.h>
#include <maya/MPxImageFile.h>

#include <exception>

namespace {

void showError(const std::string& text)
{
    MGlobal::displayError(MString(text.c_str()));
}

std::string extensionOf(const std::string& file)
{
    std::string::size_type slash = file.rfind('/');
    std::string::size_type dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return file.substr(dot + 1);
}

bool onlyImageFile(mayastandin::Registration& chosen)
{
    std::vector<mayastandin::Registration> formats;
    for (const mayastandin::Registration& entry : mayastandin::registrations())
        if (entry.kind == mayastandin::RegistrationKind::ImageFile)
            formats.push_back(entry);
    if (formats.size() != 1)
        return false;
    chosen = formats.front();
    return true;
}

// Runs one call into the plug-in; an exception counts as a failed step.
template <typename Call>
bool guarded(const std::string& what, Call call)
{
    try {
        MStatus status = call();
        if (status)
            return true;
        showError(what + " failed with status " + std::to_string(status.statusCode()));
    } catch (const std::exception& e) {
        showError(what + " threw an exception: " + e.what());
    } catch (...) {
        showError(what + " threw an exception");
    }
    return false;
}

MPxImageFile* create(const mayastandin::Registration& format)
{
    void* made = nullptr;
    guarded(format.name + " creator", [&] {
        made = format.creator();
        return made ? MStatus::kSuccess : MStatus::kFailure;
    });
    return static_cast<MPxImageFile*>(made);
}

}  // namespace

bool chooseImageFile(const std::string& file, const std::string& module,
                     mayastandin::Registration& chosen)
{
    if (!module.empty()) {
        if (mayastandin::findImageFileByName(module, chosen))
            return true;
        showError("no image-file format named '" + module + "' is registered");
        return false;
    }
    if (mayastandin::findImageFile(extensionOf(file), chosen) || onlyImageFile(chosen))
        return true;
    showError("no image-file format is registered for '" + file + "'");
    return false;
}

bool readImage(const mayastandin::Registration& format, const std::string& file, MImage& image,
               MImageFileInfo& info)
{
    MPxImageFile* reader = create(format);
    if (!reader)
        return false;
    const std::string name = format.name + "::";
    bool ok = guarded(name + "open(" + file + ")", [&] { return reader->open(MString(file.c_str()), &info); });
    ok = ok && guarded(name + "load(" + file + ")", [&] { return reader->load(image, 0); });
    guarded(name + "close(" + file + ")", [&] { return reader->close(); });
    delete reader;
    if (ok && !image.pixels()) {
        showError(name + "load(" + file + ") succeeded but left the image without pixels");
        ok = false;
    }
    return ok;
}

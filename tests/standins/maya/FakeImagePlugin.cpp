// A small image-file plug-in for exercising the host stand-in: it claims
// ".fake" files and yields one fixed 3x2 image with alpha, whatever the file
// holds. FAKE_PLUGIN_FAULT selects a misbehaviour the host must survive:
// "init" (initializePlugin fails), "throw" (open throws), "leak"
// (uninitializePlugin leaves its callback and registrations behind).

#include "FakeImage.h"

// Included without MNoVersionString: this file exports the version text.
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MImage.h>
#include <maya/MImageFileInfo.h>
#include <maya/MPxImageFile.h>
#include <maya/MSceneMessage.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

bool fault(const char* name)
{
    const char* selected = std::getenv("FAKE_PLUGIN_FAULT");
    return selected && std::strcmp(selected, name) == 0;
}

bool fileExists(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file)
        std::fclose(file);
    return file != nullptr;
}

class FakeImageFile : public MPxImageFile
{
public:
    MStatus open(MString pathname, MImageFileInfo* info) override
    {
        if (fault("throw"))
            throw std::runtime_error("fake open fault");
        if (!fileExists(pathname.asChar())) {
            MGlobal::displayError("FakeImporter can't open " + pathname);
            return MStatus::kFailure;
        }
        MGlobal::displayWarning(MString("fake images are made up: ") + pathname);
        m_open = true;
        if (info) {
            info->width(fakeimage::kWidth);
            info->height(fakeimage::kHeight);
            info->channels(4);
            info->hasAlpha(true);
            info->numberOfImages(1);
            info->pixelType(MImage::kByte);
        }
        return MStatus::kSuccess;
    }

    MStatus load(MImage& image, unsigned int imageNumber) override
    {
        if (!m_open || imageNumber != 0)
            return MStatus::kFailure;
        MStatus status = image.create(fakeimage::kWidth, fakeimage::kHeight, 4, MImage::kByte);
        if (!status)
            return status;
        // Host rows run bottom first and hold blue, green, red, alpha.
        unsigned char* out = image.pixels();
        for (unsigned int row = fakeimage::kHeight; row-- > 0;)
            for (unsigned int x = 0; x < fakeimage::kWidth; ++x, out += 4) {
                const unsigned char* rgba = fakeimage::kTopDownRgba[row][x];
                out[0] = rgba[2];
                out[1] = rgba[1];
                out[2] = rgba[0];
                out[3] = rgba[3];
            }
        return MStatus::kSuccess;
    }

    MStatus close() override
    {
        m_open = false;
        return MStatus::kSuccess;
    }

private:
    bool m_open = false;
};

void* createImageFile()
{
    return static_cast<MPxImageFile*>(new FakeImageFile);
}

// Commands and translators are listed, never run.
void* createNothing()
{
    return nullptr;
}

MObject g_plugin;
MCallbackId g_exitCallback = 0;

}  // namespace

MStatus uninitializePlugin(MObject object);

namespace {

void onProgramExit(void* clientData)
{
    MGlobal::displayInfo("fake plug-in: program exiting");
    uninitializePlugin(*static_cast<MObject*>(clientData));
}

}  // namespace

MStatus initializePlugin(MObject object)
{
    if (fault("init"))
        return MStatus::kFailure;
    MFnPlugin plugin(object, "Fake Vendor", "1.2", "Any");
    MStringArray extensions;
    extensions.append("fake");
    MStatus status = plugin.registerImageFile("FakeImporter", createImageFile, extensions);
    if (status)
        status = plugin.registerCommand("fakeCommand", createNothing);
    if (status)
        status = plugin.registerFileTranslator("FakeTranslator", const_cast<char*>("none"), createNothing);
    if (!status)
        return status;
    g_plugin = object;
    g_exitCallback = MSceneMessage::addCallback(MSceneMessage::kMayaExiting, onProgramExit, &g_plugin, &status);
    return status;
}

MStatus uninitializePlugin(MObject object)
{
    MGlobal::displayInfo("fake plug-in: uninitialized");
    if (fault("leak"))
        return MStatus::kSuccess;
    MFnPlugin plugin(object);
    plugin.deregisterImageFile("FakeImporter");
    plugin.deregisterCommand("fakeCommand");
    plugin.deregisterFileTranslator("FakeTranslator");
    MMessage::removeCallback(g_exitCallback);
    return MStatus::kSuccess;
}

#pragma once

#include <maya/MStatus.h>
#include <maya/MString.h>

class MImage;
class MImageFileInfo;

// Base of image-file objects. The host calls the creator, open, then (after a
// successful open) load, then close, then deletes the object.
class MPxImageFile
{
public:
    MPxImageFile();
    virtual ~MPxImageFile();

    virtual MStatus open(MString pathname, MImageFileInfo* info);
    virtual MStatus load(MImage& image, unsigned int imageNumber);
    virtual MStatus glLoad(const MImageFileInfo& info, unsigned int imageNumber);
    virtual MStatus close();
};

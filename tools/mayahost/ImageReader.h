#pragma once

#include <maya/MImage.h>
#include <maya/MImageFileInfo.h>
#include <mayastandin/Host.h>

#include <string>

// Picks the image-file registration for `file`: the one named `module` when
// given; else the one claiming the file's extension (any case); else the only
// one registered. False, after a host error, when there is none.
bool chooseImageFile(const std::string& file, const std::string& module,
                     mayastandin::Registration& chosen);

// Reads `file` the way the host does: creator, open, (after a successful
// open) load, close, delete. False, after a host error, when any step fails
// or the image is left without pixels.
bool readImage(const mayastandin::Registration& format, const std::string& file, MImage& image,
               MImageFileInfo& info);

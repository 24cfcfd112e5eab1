#pragma once

#include <maya/MImage.h>

#include <string>

// Writes a host image as an 8-bit RGBA PNG, top row first. False with `error`
// set when the image has no pixels or the file cannot be written; a file
// that was there then stays as it was, and no partial one is left.
bool writePng(const MImage& image, const std::string& path, std::string& error);

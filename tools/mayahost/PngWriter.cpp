#include "PngWriter.h"

#include <mayastandin/Host.h>

#include <cstring>
#include <png.h>

bool writePng(const MImage& image, const std::string& path, std::string& error)
{
    std::vector<unsigned char> rgba = mayastandin::topDownRgba(image);
    mayastandin::ImageView source = mayastandin::view(image);
    if (rgba.empty()) {
        error = "the image has no pixels";
        return false;
    }
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = source.width;
    png.height = source.height;
    png.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&png, path.c_str(), 0, rgba.data(), 0, nullptr))
        return true;
    error = png.message;
    png_image_free(&png);
    return false;
}

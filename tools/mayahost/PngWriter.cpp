#include "PngWriter.h"

#include <mayastandin/Host.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <vector>

namespace {

// Every byte written, retrying what a signal interrupted.
bool writeAll(int fd, const unsigned char* bytes, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A new file beside path (never one that exists), open for writing; -1
// when none can be made.
int createBeside(const std::string& path, std::string& temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The bytes go to a new file that takes the target's name only once all of
// them are on the disk, so a failure (a full disk, say) leaves whatever was
// there before untouched and no partial file.
bool replaceFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error)
{
    std::string temporary;
    int fd = createBeside(path, temporary);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool written = writeAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    int failure = written ? 0 : errno;
    if (close(fd) != 0 && written) {
        written = false;
        failure = errno;
    }
    if (written) {
        if (std::rename(temporary.c_str(), path.c_str()) == 0)
            return true;
        failure = errno;
    }
    std::remove(temporary.c_str());
    error = std::strerror(failure);
    return false;
}

}  // namespace

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
    // Made in memory first: libpng's own file writer would write over the
    // target in place.
    png_alloc_size_t size = 0;
    std::vector<unsigned char> file;
    if (png_image_write_get_memory_size(png, size, 0, rgba.data(), 0, nullptr)) {
        file.resize(size);
        if (png_image_write_to_memory(&png, file.data(), &size, 0, rgba.data(), 0, nullptr)) {
            file.resize(size);
            return replaceFile(path, file, error);
        }
    }
    error = png.message;
    png_image_free(&png);
    return false;
}

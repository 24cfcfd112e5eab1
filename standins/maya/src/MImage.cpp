#include "Access.h"
#include "Failures.h"

#include <maya/MImage.h>
#include <mayastandin/Host.h>

#include <new>

namespace {

// Larger requests are refused as out of memory: a plug-in that asks for a
// size it read from a damaged file must get a failure, not take the machine.
const unsigned long long kMaxImageBytes = 1ull << 30;

}  // namespace

MImage::MImage() : m_pixels(nullptr), m_width(0), m_height(0), m_channels(0), m_type(kUnknown) {}

MImage::~MImage() { release(); }

void MImage::release()
{
    delete[] m_pixels;
    m_pixels = nullptr;
    m_width = m_height = m_channels = 0;
    m_type = kUnknown;
}

MStatus MImage::create(unsigned int width, unsigned int height, unsigned int channels, MPixelType type)
{
    MStatus status;
    if (mayastandin::detail::injectedFailure("MImage::create", status))
        return status;
    if (type == kFloat)
        return MStatus::kNotImplemented;  // the stand-in keeps byte images only
    if (type != kByte || width == 0 || height == 0 || channels == 0 || channels > 4)
        return MStatus::kInvalidParameter;
    unsigned long long bytes = 1ull * width * height * channels;  // cannot overflow 64 bits
    if (bytes > kMaxImageBytes)
        return MStatus::kInsufficientMemory;
    unsigned char* pixels = new (std::nothrow) unsigned char[bytes]();
    if (!pixels)
        return MStatus::kInsufficientMemory;
    release();
    m_pixels = pixels;
    m_width = width;
    m_height = height;
    m_channels = channels;
    m_type = type;
    return MStatus::kSuccess;
}

unsigned char* MImage::pixels() const { return m_pixels; }

MStatus MImage::getSize(unsigned int& width, unsigned int& height) const
{
    width = m_width;
    height = m_height;
    return m_pixels ? MStatus::kSuccess : MStatus::kFailure;
}

namespace mayastandin {
namespace {

void toRgba(const unsigned char* pixel, unsigned int channels, unsigned char* rgba)
{
    switch (channels) {
    case 1: rgba[0] = rgba[1] = rgba[2] = pixel[0]; rgba[3] = 255; break;
    case 2: rgba[0] = rgba[1] = rgba[2] = pixel[0]; rgba[3] = pixel[1]; break;
    case 3: rgba[0] = pixel[2]; rgba[1] = pixel[1]; rgba[2] = pixel[0]; rgba[3] = 255; break;
    default: rgba[0] = pixel[2]; rgba[1] = pixel[1]; rgba[2] = pixel[0]; rgba[3] = pixel[3]; break;
    }
}

}  // namespace

ImageView view(const MImage& image)
{
    ImageView result;
    image.getSize(result.width, result.height);
    result.channels = detail::Access::channels(image);
    result.type = detail::Access::type(image);
    result.pixels = image.pixels();
    return result;
}

std::vector<unsigned char> topDownRgba(const MImage& image)
{
    ImageView source = view(image);
    std::vector<unsigned char> rgba;
    if (!source.pixels)
        return rgba;
    rgba.resize(std::size_t(source.width) * source.height * 4);
    std::size_t rowBytes = std::size_t(source.width) * source.channels;
    unsigned char* out = rgba.data();
    for (unsigned int row = source.height; row-- > 0;) {
        const unsigned char* in = source.pixels + row * rowBytes;
        for (unsigned int x = 0; x < source.width; ++x, in += source.channels, out += 4)
            toRgba(in, source.channels, out);
    }
    return rgba;
}

}  // namespace mayastandin

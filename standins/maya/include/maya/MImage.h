#pragma once

#include <maya/MStatus.h>

namespace mayastandin { namespace detail { struct Access; } }

// Host image: rows one after another, bottom row first, `channels` bytes per
// pixel; a 4-byte pixel holds blue, green, red, alpha.
class MImage
{
public:
    enum MPixelType { kUnknown = 0, kByte = 1, kFloat = 2 };

    MImage();
    virtual ~MImage();
    MImage(const MImage&) = delete;
    MImage& operator=(const MImage&) = delete;

    MStatus create(unsigned int width, unsigned int height, unsigned int channels = 4,
                   MPixelType type = kByte);
    unsigned char* pixels() const;
    MStatus getSize(unsigned int& width, unsigned int& height) const;

private:
    friend struct mayastandin::detail::Access;
    void release();

    unsigned char* m_pixels;
    unsigned int m_width;
    unsigned int m_height;
    unsigned int m_channels;
    MPixelType m_type;
};

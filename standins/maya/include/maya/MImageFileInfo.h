#pragma once

#include <maya/MImage.h>

// What an image-file object reports about its file in open. Each property has
// a setter and a getter of the same name.
class MImageFileInfo
{
public:
    enum MImageType
    {
        kImageTypeUnknown = 0,
        kImageTypeColor = 1,
        kImageTypeNormal = 2,
        kImageTypeBump = 3
    };
    enum MHwTextureType
    {
        kHwTextureUnknown = 0,
        kHwTexture1D = 1,
        kHwTexture2D = 2,
        kHwTexture3D = 3,
        kHwTextureRectangle = 4,
        kHwTextureCubeMap = 5
    };

    MImageFileInfo();
    virtual ~MImageFileInfo();

    void width(unsigned int value);
    unsigned int width() const;
    void height(unsigned int value);
    unsigned int height() const;
    void channels(unsigned int value);
    unsigned int channels() const;
    void numberOfImages(unsigned int value);
    unsigned int numberOfImages() const;
    void pixelType(MImage::MPixelType value);
    MImage::MPixelType pixelType() const;
    void imageType(MImageType value);
    MImageType imageType() const;
    void hardwareType(MHwTextureType value);
    MHwTextureType hardwareType() const;
    void hasAlpha(bool value);
    bool hasAlpha() const;
    void hasMipMaps(bool value);
    bool hasMipMaps() const;

private:
    unsigned int m_width;
    unsigned int m_height;
    unsigned int m_channels;
    unsigned int m_numberOfImages;
    MImage::MPixelType m_pixelType;
    MImageType m_imageType;
    MHwTextureType m_hardwareType;
    bool m_hasAlpha;
    bool m_hasMipMaps;
};

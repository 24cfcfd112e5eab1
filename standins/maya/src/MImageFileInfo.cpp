#include <maya/MImageFileInfo.h>

MImageFileInfo::MImageFileInfo()
    : m_width(0), m_height(0), m_channels(0), m_numberOfImages(0), m_pixelType(MImage::kUnknown),
      m_imageType(kImageTypeUnknown), m_hardwareType(kHwTextureUnknown), m_hasAlpha(false),
      m_hasMipMaps(false)
{
}

MImageFileInfo::~MImageFileInfo() {}

void MImageFileInfo::width(unsigned int value) { m_width = value; }
unsigned int MImageFileInfo::width() const { return m_width; }
void MImageFileInfo::height(unsigned int value) { m_height = value; }
unsigned int MImageFileInfo::height() const { return m_height; }
void MImageFileInfo::channels(unsigned int value) { m_channels = value; }
unsigned int MImageFileInfo::channels() const { return m_channels; }
void MImageFileInfo::numberOfImages(unsigned int value) { m_numberOfImages = value; }
unsigned int MImageFileInfo::numberOfImages() const { return m_numberOfImages; }
void MImageFileInfo::pixelType(MImage::MPixelType value) { m_pixelType = value; }
MImage::MPixelType MImageFileInfo::pixelType() const { return m_pixelType; }
void MImageFileInfo::imageType(MImageType value) { m_imageType = value; }
MImageFileInfo::MImageType MImageFileInfo::imageType() const { return m_imageType; }
void MImageFileInfo::hardwareType(MHwTextureType value) { m_hardwareType = value; }
MImageFileInfo::MHwTextureType MImageFileInfo::hardwareType() const { return m_hardwareType; }
void MImageFileInfo::hasAlpha(bool value) { m_hasAlpha = value; }
bool MImageFileInfo::hasAlpha() const { return m_hasAlpha; }
void MImageFileInfo::hasMipMaps(bool value) { m_hasMipMaps = value; }
bool MImageFileInfo::hasMipMaps() const { return m_hasMipMaps; }

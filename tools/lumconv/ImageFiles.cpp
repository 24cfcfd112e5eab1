#include "ImageFiles.h"

#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

#include "OutputFile.h"

namespace {

struct PamLayout {
  int depth;
  int maxval;
  const char* tupleType;
};

bool PamLayoutOf(int format, PamLayout& layout) {
  switch (format) {
    case lum::TEXTURE_FORMAT_A8: case lum::TEXTURE_FORMAT_L8: layout = {1, 255, "GRAYSCALE"}; return true;
    case lum::TEXTURE_FORMAT_A8L8: layout = {2, 255, "GRAYSCALE_ALPHA"}; return true;
    case lum::TEXTURE_FORMAT_X8B8G8R8: layout = {3, 255, "RGB"}; return true;
    case lum::TEXTURE_FORMAT_A8B8G8R8: layout = {4, 255, "RGB_ALPHA"}; return true;
    case lum::TEXTURE_FORMAT_L16: layout = {1, 65535, "GRAYSCALE"}; return true;
    case lum::TEXTURE_FORMAT_A16B16G16R16: layout = {4, 65535, "RGB_ALPHA"}; return true;
    default: return false;
  }
}

uint16_t Word(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PutWord(std::vector<unsigned char>& out, uint16_t value) {
  out.push_back(static_cast<unsigned char>(value >> 8));  // PAM samples are big-endian
  out.push_back(static_cast<unsigned char>(value & 0xFF));
}

// One pixel's samples in PAM order; record pixels keep their channels last
// to first (alpha in byte 0).
void AppendPamPixel(int format, const unsigned char* s, std::vector<unsigned char>& out) {
  switch (format) {
    case lum::TEXTURE_FORMAT_A8: case lum::TEXTURE_FORMAT_L8: out.push_back(s[0]); break;
    case lum::TEXTURE_FORMAT_A8L8: out.push_back(s[1]); out.push_back(s[0]); break;
    case lum::TEXTURE_FORMAT_X8B8G8R8: out.insert(out.end(), {s[3], s[2], s[1]}); break;
    case lum::TEXTURE_FORMAT_A8B8G8R8: out.insert(out.end(), {s[3], s[2], s[1], s[0]}); break;
    case lum::TEXTURE_FORMAT_L16: PutWord(out, Word(s)); break;
    default:  // A16B16G16R16
      for (int w = 3; w >= 0; --w) PutWord(out, Word(s + 2 * w));
      break;
  }
}

bool WriteText(kor::IOutputStream& file, const std::string& text) {
  return WriteBytes(file, text.data(), text.size());
}

bool WritePam(const lum::LData_Image& data, const PamLayout& layout, kor::IOutputStream& file) {
  const lum::LData_ImagePart& part = *data.imageData;
  std::ostringstream header;
  header << "P7\nWIDTH " << part.width << "\nHEIGHT " << part.height << "\nDEPTH " << layout.depth
         << "\nMAXVAL " << layout.maxval << "\nTUPLTYPE " << layout.tupleType << "\nENDHDR\n";
  if (!WriteText(file, header.str())) return false;
  const int bytesPerPixel = lum::LData_Image::BytesPerPixel(data.format);
  std::vector<unsigned char> out;
  const unsigned char* s = part.pixels;
  for (size_t i = 0, n = static_cast<size_t>(part.width) * part.height; i < n; ++i, s += bytesPerPixel)
    AppendPamPixel(data.format, s, out);
  return WriteBytes(file, out.data(), out.size());
}

int FloatChannels(int format) {
  switch (format) {
    case lum::TEXTURE_FORMAT_R32F: return 1;
    case lum::TEXTURE_FORMAT_G32R32F: return 2;
    case lum::TEXTURE_FORMAT_A32B32G32R32F: return 4;
    default: return 0;
  }
}

// PFM: colour ("PF") or grey ("Pf"), little-endian floats, bottom row first.
bool WritePfm(const lum::LData_Image& data, int channels, kor::IOutputStream& file) {
  const lum::LData_ImagePart& part = *data.imageData;
  const bool grey = channels == 1;
  std::ostringstream header;
  header << (grey ? "Pf\n" : "PF\n") << part.width << " " << part.height << "\n-1.0\n";
  if (!WriteText(file, header.str())) return false;
  std::vector<float> row;
  for (int y = part.height - 1; y >= 0; --y) {
    row.clear();
    const float* s = reinterpret_cast<const float*>(part.pixels) +
                     static_cast<size_t>(y) * part.width * channels;
    for (int x = 0; x < part.width; ++x, s += channels) {
      if (grey) row.push_back(s[0]);
      else if (channels == 2) row.insert(row.end(), {s[1], s[0], 0.0f});
      else row.insert(row.end(), {s[3], s[2], s[1]});
    }
    if (!WriteBytes(file, row.data(), row.size() * sizeof(float))) return false;
  }
  return true;
}

}  // namespace

bool WriteRecordFile(kor::IFileSystem& files, const lum::LData_Image& data, const std::string& path,
                     std::string& error) {
  if (data.imageData == nullptr || data.imageData->pixels == nullptr) {
    error = "the image has no pixels";
    return false;
  }
  PamLayout layout = {0, 0, ""};
  const int floatChannels = FloatChannels(data.format);
  if (!PamLayoutOf(data.format, layout) && floatChannels == 0) {
    error = std::string("no file form for ") + FormatName(data.format);
    return false;
  }
  return WriteOutputFile(
      files, path,
      [&](kor::IOutputStream& file) {
        return floatChannels ? WritePfm(data, floatChannels, file) : WritePam(data, layout, file);
      },
      error);
}

const char* FormatName(int format) {
  static const char* const kNames[] = {
      "TEXTURE_FORMAT_A8B8G8R8", "TEXTURE_FORMAT_X8B8G8R8", "TEXTURE_FORMAT_G16R16",
      "TEXTURE_FORMAT_A16B16G16R16", "TEXTURE_FORMAT_A8", "TEXTURE_FORMAT_L8", "TEXTURE_FORMAT_L16",
      "TEXTURE_FORMAT_A8L8", "TEXTURE_FORMAT_R16F", "TEXTURE_FORMAT_G16R16F",
      "TEXTURE_FORMAT_A16B16G16R16F", "TEXTURE_FORMAT_R32F", "TEXTURE_FORMAT_G32R32F",
      "TEXTURE_FORMAT_A32B32G32R32F", "TEXTURE_FORMAT_A8B8G8R8_V", "TEXTURE_FORMAT_BLOCK_RGB",
      "TEXTURE_FORMAT_BLOCK_RGB_A1", "TEXTURE_FORMAT_BLOCK_RGBA_2", "TEXTURE_FORMAT_BLOCK_RGBA_3",
      "TEXTURE_FORMAT_BLOCK_RGBA_4", "TEXTURE_FORMAT_BLOCK_RGBA_5", "TEXTURE_FORMAT_BLOCK_RGB_V",
      "TEXTURE_FORMAT_BLOCK_RGB_A1_V", "TEXTURE_FORMAT_BLOCK_RGBA_3_V",
      "TEXTURE_FORMAT_BLOCK_RGBA_5_V", "TEXTURE_FORMAT_D16", "TEXTURE_FORMAT_D32",
      "TEXTURE_FORMAT_D24S8", "TEXTURE_FORMAT_NONE"};
  if (format < 0 || format > lum::TEXTURE_FORMAT_NONE) return "TEXTURE_FORMAT_NONE";
  return kNames[format];
}

#include "Encode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ImageFiles.h"
#include "OutputFile.h"
#include "kor/CoreServices/Interfaces/IFileSystem.h"
#include "kor/Utils/UMemory.h"
#include "lum/LData_Image.h"
#include "lum/LImageSaveOptions.h"
#include "lum/LLoader.h"

namespace {

struct WriterKey {
  const char* extension;
  int key;
};
const WriterKey kWriters[] = {{".jng", lum::IMAGE_LOADER_JNG}, {".png", lum::IMAGE_LOADER_PNG},
                              {".tga", lum::IMAGE_LOADER_TGA}, {".bmp", lum::IMAGE_LOADER_BMP}};

int WriterKeyOf(const std::string& path) {
  size_t dot = path.rfind('.');
  std::string extension = dot == std::string::npos ? "" : path.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const WriterKey& writer : kWriters)
    if (extension == writer.extension) return writer.key;
  return -1;
}

// Quality 0 to 100 is compression 1 - Q/100.
bool ParseQuality(const char* text, float& compression) {
  char* end = nullptr;
  long quality = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || quality < 0 || quality > 100) return false;
  compression = 1.0f - static_cast<float>(quality) / 100.0f;
  return true;
}

kor::UString* TextField(lum::LImageSaveOptions& options, const std::string& key) {
  kor::UString* fields[lum::LImageSaveOptions::TEXT_NUM] = {
      &options.title,     &options.author,   &options.description, &options.copyright,
      &options.creationTime, &options.software, &options.disclaimer, &options.warning,
      &options.source,    &options.comment};
  for (int i = 0; i < lum::LImageSaveOptions::TEXT_NUM; ++i)
    if (key == lum::LImageSaveOptions::GetKeyword(i)) return fields[i];
  return nullptr;
}

bool ParseOptions(int argc, char** argv, lum::LImageSaveOptions& options) {
  for (int i = 2; i < argc; ++i) {
    std::string word = argv[i];
    bool hasValue = i + 1 < argc;
    if (word == "--quality" && hasValue) {
      if (!ParseQuality(argv[++i], options.compression)) return false;
    } else if (word == "--alpha-quality" && hasValue) {
      if (!ParseQuality(argv[++i], options.alphaCompression)) return false;
    } else if (word == "--alpha-jpeg") {
      options.alphaAsJpeg = true;
    } else if (word == "--text" && hasValue) {
      std::string pair = argv[++i];
      size_t equals = pair.find('=');
      kor::UString* field = equals == std::string::npos ? nullptr : TextField(options, pair.substr(0, equals));
      if (field == nullptr) {
        std::fprintf(stderr, "lumconv: --text needs KEY=VALUE with one of the ten keywords\n");
        return false;
      }
      field->Assign(pair.substr(equals + 1).c_str());
    } else {
      std::fprintf(stderr, "lumconv: unknown option %s\n", word.c_str());
      return false;
    }
  }
  return true;
}

// The 8-bit format of a 16-bit integer one; -1 for any other.
int EightBitFormatOf(int format) {
  switch (format) {
    case lum::TEXTURE_FORMAT_A16B16G16R16: return lum::TEXTURE_FORMAT_A8B8G8R8;
    case lum::TEXTURE_FORMAT_L16: return lum::TEXTURE_FORMAT_L8;
    default: return -1;
  }
}

// Every 16-bit value becomes value / 257, as the plug-in turns 16-bit
// channels into the host's 8 bits; the channels keep their order.
void NarrowTo8Bits(lum::LData_Image& data, int format) {
  lum::LData_ImagePart& part = *data.imageData;
  const size_t values = static_cast<size_t>(part.width) * part.height *
                        static_cast<size_t>(lum::LData_Image::BytesPerPixel(format));
  unsigned char* narrow = new unsigned char[values ? values : 1];
  const unsigned char* wide = part.pixels;
  for (size_t i = 0; i < values; ++i, wide += 2)
    narrow[i] = static_cast<unsigned char>((wide[0] | (wide[1] << 8)) / 257);
  part.SetPixels(narrow);
  data.format = format;
}

}  // namespace

int Encode(kor::ICoreServices& services, int argc, char** argv) {
  if (argc < 2) return 2;
  lum::LImageSaveOptions options;
  if (!ParseOptions(argc, argv, options)) return 2;

  int key = WriterKeyOf(argv[1]);
  lum::LLoader_Image* writer = key < 0 ? nullptr : lum::GetImageLoaderTable().Get(key);
  if (writer == nullptr) {
    std::fprintf(stderr, "lumconv: no writer for %s (use .jng, .png, .tga or .bmp)\n", argv[1]);
    return 1;
  }

  kor::IFileSystem& files = *services.GetFileSystem();
  kor::IInputStream* input = files.CreateFileReader(kor::UString(argv[0]));
  if (input == nullptr) {
    std::fprintf(stderr, "lumconv: cannot open %s\n", argv[0]);
    return 1;
  }
  lum::LData_Image data;
  bool read = lum::LLoader_Image::Load(*input, data);
  kor::DeleteObject(input);
  if (!read) {
    std::fprintf(stderr, "lumconv: cannot read an image from %s\n", argv[0]);
    return 1;
  }
  const int eightBit = EightBitFormatOf(data.format);
  if (!writer->CanWrite(data.format) && eightBit >= 0 && writer->CanWrite(eightBit) &&
      data.imageData && data.imageData->pixels) {
    std::fprintf(stderr, "lumconv: %s has 16 bits per channel; %s gets 8 (%s)\n", argv[0], argv[1],
                 FormatName(eightBit));
    NarrowTo8Bits(data, eightBit);
  }
  if (!writer->CanWrite(data.format)) {
    std::fprintf(stderr, "lumconv: %s cannot be written as %s\n", FormatName(data.format), argv[1]);
    return 1;
  }
  std::string error;
  bool written = WriteOutputFile(
      files, argv[1],
      [&](kor::IOutputStream& output) { return writer->Write(output, data, &options); }, error);
  if (!written) std::fprintf(stderr, "lumconv: %s\n", error.c_str());
  return written ? 0 : 1;
}

#include "Encode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ImageFiles.h"
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
  if (!writer->CanWrite(data.format)) {
    std::fprintf(stderr, "lumconv: %s cannot be written as %s\n", FormatName(data.format), argv[1]);
    return 1;
  }
  kor::IOutputStream* output = files.CreateFileWriter(kor::UString(argv[1]), true, false);
  if (output == nullptr) {
    std::fprintf(stderr, "lumconv: cannot write %s\n", argv[1]);
    return 1;
  }
  bool written = writer->Write(*output, data, &options);
  kor::DeleteObject(output);
  if (!written) std::fprintf(stderr, "lumconv: writing %s failed\n", argv[1]);
  return written ? 0 : 1;
}

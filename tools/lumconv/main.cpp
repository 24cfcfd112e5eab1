// lumconv: the resource library on the command line.
//   lumconv info FILE          loader, format and size of an image
//   lumconv encode IN OUT ...  IN written by the loader OUT's extension names
//   lumconv decode FILE OUT    the decoded record as PAM (or PFM for floats);
//                              a sound's sample bytes as they are; a font's
//                              atlas of a text [--size PX] [--text TEXT]
//                              (printable ASCII at 32 pixels by default)
// Font loaders are asked first (OtherResources.h says why), then the image
// loaders, then the sound, model and map loaders, each table in key order.
#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>

#include "ConsoleServices.h"
#include "Encode.h"
#include "ImageFiles.h"
#include "OtherResources.h"
#include "kor/CoreServices/Interfaces/IFileSystem.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"
#include "lum/LData_Image.h"
#include "lum/LLoader.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: lumconv info FILE\n"
               "       lumconv decode FILE OUT.pam\n"
               "       lumconv decode FONT OUT.pam [--size PX] [--text TEXT]\n"
               "       lumconv encode IN OUT.{jng,png,tga,bmp} [--quality Q] [--alpha-jpeg]\n"
               "                      [--alpha-quality Q] [--text KEY=VALUE]...\n");
  return 2;
}

// The class name of a loader, without its namespace.
std::string ClassName(const lum::LLoader_Image& loader) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(typeid(loader).name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : typeid(loader).name();
  std::free(demangled);
  size_t colons = name.rfind("::");
  return colons == std::string::npos ? name : name.substr(colons + 2);
}

struct StreamDeleter {
  void operator()(kor::IInputStream* stream) const { kor::DeleteObject(stream); }
};
typedef std::unique_ptr<kor::IInputStream, StreamDeleter> StreamPtr;

// Loaders often say why they failed, but not always: a failure never
// leaves the exit status alone to tell of it.
int CannotRead(const char* path) {
  std::fprintf(stderr, "lumconv: cannot read %s\n", path);
  return 1;
}

StreamPtr OpenInput(kor::ICoreServices& services, const char* path) {
  StreamPtr stream(services.GetFileSystem()->CreateFileReader(kor::UString(path)));
  if (!stream) std::fprintf(stderr, "lumconv: cannot open %s\n", path);
  return stream;
}

int Info(kor::ICoreServices& services, const char* path) {
  StreamPtr stream = OpenInput(services, path);
  if (!stream) return 1;
  if (IsFont(*stream)) return PrintFontInfo(*stream) ? 0 : CannotRead(path);
  lum::LLoader_Image* loader = lum::LLoader_Image::FindReader(*stream);
  if (loader == nullptr) {
    if (PrintOtherResourceInfo(*stream)) return 0;
    std::fprintf(stderr, "lumconv: no loader recognises %s\n", path);
    return 1;
  }
  lum::LData_Image data;
  if (!loader->ReadInfo(*stream, data, nullptr) || !data.imageData) return CannotRead(path);
  std::printf("loader=%s format=%s width=%d height=%d\n", ClassName(*loader).c_str(),
              FormatName(data.format), data.imageData->width, data.imageData->height);
  return 0;
}

// What decode is told for a font's atlas.
struct AtlasOptions {
  bool given = false;
  int pixelSize = 32;
  std::string text;
};

// --size PX and --text TEXT, in any order; false for anything else.
bool ParseAtlasOptions(int count, char** arguments, AtlasOptions& options) {
  for (char c = ' '; c <= '~'; ++c) options.text += c;
  for (int i = 0; i < count; i += 2) {
    std::string name = arguments[i];
    if (i + 1 == count || (name != "--size" && name != "--text")) return false;
    options.given = true;
    if (name == "--text") {
      options.text = arguments[i + 1];
      continue;
    }
    char* end = nullptr;
    long size = std::strtol(arguments[i + 1], &end, 10);
    if (*arguments[i + 1] == 0 || *end != 0 || size < 0 || size > 100000) return false;
    options.pixelSize = int(size);
  }
  return true;
}

int DecodeFontFile(kor::IFileSystem& files, kor::IInputStream& stream, const char* path, const char* out,
                   const AtlasOptions& options) {
  std::string error;
  if (DecodeFont(files, stream, out, options.text, options.pixelSize, error)) return 0;
  if (error.empty()) return CannotRead(path);
  std::fprintf(stderr, "lumconv: %s\n", error.c_str());
  return 1;
}

int Decode(kor::ICoreServices& services, const char* path, const char* out, const AtlasOptions& options) {
  StreamPtr stream = OpenInput(services, path);
  if (!stream) return 1;
  kor::IFileSystem& files = *services.GetFileSystem();
  if (IsFont(*stream)) return DecodeFontFile(files, *stream, path, out, options);
  if (options.given) {
    std::fprintf(stderr, "lumconv: --size and --text are for fonts, and %s is none\n", path);
    return 1;
  }
  lum::LLoader_Image* loader = lum::LLoader_Image::FindReader(*stream);
  std::string error;
  if (loader == nullptr) {
    bool isSound = false;
    if (DecodeSound(files, *stream, out, isSound, error)) return 0;
    if (!isSound) std::fprintf(stderr, "lumconv: no image or sound loader recognises %s\n", path);
    else if (error.empty()) return CannotRead(path);
    else std::fprintf(stderr, "lumconv: %s\n", error.c_str());
    return 1;
  }
  lum::LData_Image data;
  if (!loader->Read(*stream, data, nullptr)) return CannotRead(path);
  if (!WriteRecordFile(files, data, out, error)) {
    std::fprintf(stderr, "lumconv: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int Run(int argc, char** argv) {
  if (argc < 3) return Usage();
  ConsoleServices console;
  std::string command = argv[1];
  if (command == "info" && argc == 3) return Info(console.Services(), argv[2]);
  AtlasOptions options;
  if (command == "decode" && argc >= 4) {
    if (!ParseAtlasOptions(argc - 4, argv + 4, options)) return Usage();
    return Decode(console.Services(), argv[2], argv[3], options);
  }
  if (command == "encode" && argc >= 4) {
    int code = Encode(console.Services(), argc - 2, argv + 2);
    return code == 2 ? Usage() : code;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const kor::ErrorDescription& error) {
    std::fprintf(stderr, "lumconv: %s\n  in %s\n", error.GetMessage(), error.GetHistory());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "lumconv: %s\n", error.what());
  }
  return 1;
}

// lumconv: the resource library on the command line.
//   lumconv info FILE          loader, format and size of an image
//   lumconv encode IN OUT ...  IN written by the loader OUT's extension names
//   lumconv decode FILE OUT    the decoded record as PAM (or PFM for floats);
//                              a sound's sample bytes as they are
// Image loaders are asked first, then the sound, model and map loaders,
// each table in key order.
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

int Decode(kor::ICoreServices& services, const char* path, const char* out) {
  StreamPtr stream = OpenInput(services, path);
  if (!stream) return 1;
  lum::LLoader_Image* loader = lum::LLoader_Image::FindReader(*stream);
  kor::IFileSystem& files = *services.GetFileSystem();
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
  if (command == "decode" && argc == 4) return Decode(console.Services(), argv[2], argv[3]);
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

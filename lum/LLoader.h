// The loader interfaces, one per kind of resource, and the operations on
// the process-wide image-loader table. Every interface has the same six
// operations in the same slot order: destructor, ReadInfo, Read, Write,
// CanRead, CanWrite. CanRead leaves the stream where it found it.
#pragma once

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "lum/LData_Image.h"
#include "lum/LImageSaveOptions.h"
#include "lum/LLoaderTable.h"

namespace lum {

// Records of the other kinds belong to their loaders.
class LData_Sound;
class LData_Font;
class LData_Model;
class LData_Map;

// Keys of the image-loader table, in probing order: the formats with a
// signature first, TGA (which has none) last.
enum ImageLoaderKey {
  IMAGE_LOADER_BMP = 0,
  IMAGE_LOADER_GIF = 1,
  IMAGE_LOADER_HDR = 2,
  IMAGE_LOADER_ICO = 3,
  IMAGE_LOADER_JNG = 4,
  IMAGE_LOADER_JPG = 5,
  IMAGE_LOADER_PNG = 6,
  IMAGE_LOADER_TGA = 7
};

class LLoader_Image;
typedef LLoaderTable<LLoader_Image> LImageLoaderTable;

// Image loaders keep no state: each call works on what it is given.
// Readers are called without options (null).
class LLoader_Image {
 public:
  virtual ~LLoader_Image() noexcept(false) {}
  virtual bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) = 0;
  virtual bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) = 0;
  virtual bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) = 0;
  virtual bool CanRead(kor::IInputStream& stream) = 0;
  virtual bool CanWrite(int format) = 0;

  // The first loader, in table order, whose CanRead accepts the stream.
  static LLoader_Image* FindReader(kor::IInputStream& stream);
  // The JNG loader when it exists and accepts the format: the one writer.
  static LLoader_Image* GetWriter(int format);
  static bool LoadInfo(kor::IInputStream& stream, LData_Image& data);
  static bool Load(kor::IInputStream& stream, LData_Image& data);
  static bool Save(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options);

  // The same operations on a table of the caller's.
  static LLoader_Image* FindReader(const LImageLoaderTable& loaders, kor::IInputStream& stream);
  static LLoader_Image* GetWriter(const LImageLoaderTable& loaders, int format);
  static bool LoadInfo(const LImageLoaderTable& loaders, kor::IInputStream& stream, LData_Image& data);
  static bool Load(const LImageLoaderTable& loaders, kor::IInputStream& stream, LData_Image& data);
  static bool Save(const LImageLoaderTable& loaders, kor::IOutputStream& stream, LData_Image& data,
                   const LImageSaveOptions* options);
};

// The other kinds take an untyped options argument that each loader
// interprets itself, and one integer for CanWrite.
class LLoader_Sound {
 public:
  virtual ~LLoader_Sound() noexcept(false) {}
  virtual bool ReadInfo(kor::IInputStream& stream, LData_Sound& data, const void* options) = 0;
  virtual bool Read(kor::IInputStream& stream, LData_Sound& data, const void* options) = 0;
  virtual bool Write(kor::IOutputStream& stream, LData_Sound& data, const void* options) = 0;
  virtual bool CanRead(kor::IInputStream& stream) = 0;
  virtual bool CanWrite(int value) = 0;
};

class LLoader_Font {
 public:
  virtual ~LLoader_Font() noexcept(false) {}
  virtual bool ReadInfo(kor::IInputStream& stream, LData_Font& data, const void* options) = 0;
  virtual bool Read(kor::IInputStream& stream, LData_Font& data, const void* options) = 0;
  virtual bool Write(kor::IOutputStream& stream, LData_Font& data, const void* options) = 0;
  virtual bool CanRead(kor::IInputStream& stream) = 0;
  virtual bool CanWrite(int value) = 0;
};

class LLoader_Model {
 public:
  virtual ~LLoader_Model() noexcept(false) {}
  virtual bool ReadInfo(kor::IInputStream& stream, LData_Model& data, const void* options) = 0;
  virtual bool Read(kor::IInputStream& stream, LData_Model& data, const void* options) = 0;
  virtual bool Write(kor::IOutputStream& stream, LData_Model& data, const void* options) = 0;
  virtual bool CanRead(kor::IInputStream& stream) = 0;
  virtual bool CanWrite(int value) = 0;
};

class LLoader_Map {
 public:
  virtual ~LLoader_Map() noexcept(false) {}
  virtual bool ReadInfo(kor::IInputStream& stream, LData_Map& data, const void* options) = 0;
  virtual bool Read(kor::IInputStream& stream, LData_Map& data, const void* options) = 0;
  virtual bool Write(kor::IOutputStream& stream, LData_Map& data, const void* options) = 0;
  virtual bool CanRead(kor::IInputStream& stream) = 0;
  virtual bool CanWrite(int value) = 0;
};

typedef LLoaderTable<LLoader_Sound> LSoundLoaderTable;
typedef LLoaderTable<LLoader_Font> LFontLoaderTable;
typedef LLoaderTable<LLoader_Model> LModelLoaderTable;
typedef LLoaderTable<LLoader_Map> LMapLoaderTable;

// The process-wide tables, built at library load in this order (and on
// first use, so that static initialisers elsewhere may already call them).
LImageLoaderTable& GetImageLoaderTable();
LSoundLoaderTable& GetSoundLoaderTable();
LFontLoaderTable& GetFontLoaderTable();
LModelLoaderTable& GetModelLoaderTable();
LMapLoaderTable& GetMapLoaderTable();

}  // namespace lum

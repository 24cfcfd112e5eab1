// The loaders of each table, under their keys. A loader joins by existing:
// its header is looked for where it belongs, and a loader whose header is
// absent is left out of its table. To add a kind of loader not listed yet,
// add one block like those below and name it in its table's list.
#include "lum/LLoader.h"

#define LUM_LOADER(Kind, key, Type) {key, &CreateLoader<Kind, Type>},

#if __has_include("lum/Image/LLoader_Image_BMP.h")
#include "lum/Image/LLoader_Image_BMP.h"
#define LUM_IMAGE_BMP LUM_LOADER(LLoader_Image, IMAGE_LOADER_BMP, LLoader_Image_BMP)
#else
#define LUM_IMAGE_BMP
#endif

#if __has_include("lum/Image/LLoader_Image_GIF.h")
#include "lum/Image/LLoader_Image_GIF.h"
#define LUM_IMAGE_GIF LUM_LOADER(LLoader_Image, IMAGE_LOADER_GIF, LLoader_Image_GIF)
#else
#define LUM_IMAGE_GIF
#endif

#if __has_include("lum/Image/LLoader_Image_HDR.h")
#include "lum/Image/LLoader_Image_HDR.h"
#define LUM_IMAGE_HDR LUM_LOADER(LLoader_Image, IMAGE_LOADER_HDR, LLoader_Image_HDR)
#else
#define LUM_IMAGE_HDR
#endif

#if __has_include("lum/Image/LLoader_Image_ICO.h")
#include "lum/Image/LLoader_Image_ICO.h"
#define LUM_IMAGE_ICO LUM_LOADER(LLoader_Image, IMAGE_LOADER_ICO, LLoader_Image_ICO)
#else
#define LUM_IMAGE_ICO
#endif

#if __has_include("lum/Image/LLoader_Image_JNG.h")
#include "lum/Image/LLoader_Image_JNG.h"
#define LUM_IMAGE_JNG LUM_LOADER(LLoader_Image, IMAGE_LOADER_JNG, LLoader_Image_JNG)
#else
#define LUM_IMAGE_JNG
#endif

#if __has_include("lum/Image/LLoader_Image_JPG.h")
#include "lum/Image/LLoader_Image_JPG.h"
#define LUM_IMAGE_JPG LUM_LOADER(LLoader_Image, IMAGE_LOADER_JPG, LLoader_Image_JPG)
#else
#define LUM_IMAGE_JPG
#endif

#if __has_include("lum/Image/LLoader_Image_PNG.h")
#include "lum/Image/LLoader_Image_PNG.h"
#define LUM_IMAGE_PNG LUM_LOADER(LLoader_Image, IMAGE_LOADER_PNG, LLoader_Image_PNG)
#else
#define LUM_IMAGE_PNG
#endif

#if __has_include("lum/Image/LLoader_Image_TGA.h")
#include "lum/Image/LLoader_Image_TGA.h"
#define LUM_IMAGE_TGA LUM_LOADER(LLoader_Image, IMAGE_LOADER_TGA, LLoader_Image_TGA)
#else
#define LUM_IMAGE_TGA
#endif

#if __has_include("lum/Font/LLoader_Font_OpenType.h")
#include "lum/Font/LLoader_Font_OpenType.h"
#define LUM_FONT_OPENTYPE LUM_LOADER(LLoader_Font, 0, LLoader_Font_OpenType)
#else
#define LUM_FONT_OPENTYPE
#endif

#if __has_include("lum/Model/LLoader_Model_Mesh.h")
#include "lum/Model/LLoader_Model_Mesh.h"
#define LUM_MODEL_MESH LUM_LOADER(LLoader_Model, 0, LLoader_Model_Mesh)
#else
#define LUM_MODEL_MESH
#endif

#if __has_include("lum/Map/LLoader_Map_Brushes.h")
#include "lum/Map/LLoader_Map_Brushes.h"
#define LUM_MAP_BRUSHES LUM_LOADER(LLoader_Map, 0, LLoader_Map_Brushes)
#else
#define LUM_MAP_BRUSHES
#endif

#if __has_include("lum/Sound/LLoader_Sound_AIFF.h")
#include "lum/Sound/LLoader_Sound_AIFF.h"
#define LUM_SOUND_AIFF LUM_LOADER(LLoader_Sound, 0, LLoader_Sound_AIFF)
#else
#define LUM_SOUND_AIFF
#endif

#if __has_include("lum/Sound/LLoader_Sound_OGG.h")
#include "lum/Sound/LLoader_Sound_OGG.h"
#define LUM_SOUND_OGG LUM_LOADER(LLoader_Sound, 1, LLoader_Sound_OGG)
#else
#define LUM_SOUND_OGG
#endif

#if __has_include("lum/Sound/LLoader_Sound_WAV.h")
#include "lum/Sound/LLoader_Sound_WAV.h"
#define LUM_SOUND_WAV LUM_LOADER(LLoader_Sound, 2, LLoader_Sound_WAV)
#else
#define LUM_SOUND_WAV
#endif

namespace lum {

namespace {

// In key order: the order of insertion and of probing.
const LLoaderEntry<LLoader_Image> IMAGE_LOADERS[] = {
    LUM_IMAGE_BMP LUM_IMAGE_GIF LUM_IMAGE_HDR LUM_IMAGE_ICO
    LUM_IMAGE_JNG LUM_IMAGE_JPG LUM_IMAGE_PNG LUM_IMAGE_TGA {0, nullptr}};

// Keys 0 AIFF, 1 Ogg Vorbis, 2 RIFF WAVE.
const LLoaderEntry<LLoader_Sound> SOUND_LOADERS[] = {LUM_SOUND_AIFF LUM_SOUND_OGG LUM_SOUND_WAV {0, nullptr}};

// Key 0, the OpenType/TrueType loader.
const LLoaderEntry<LLoader_Font> FONT_LOADERS[] = {LUM_FONT_OPENTYPE {0, nullptr}};

const LLoaderEntry<LLoader_Model> MODEL_LOADERS[] = {LUM_MODEL_MESH {0, nullptr}};

const LLoaderEntry<LLoader_Map> MAP_LOADERS[] = {LUM_MAP_BRUSHES {0, nullptr}};

// Touching the tables from a static object builds them all while the
// library loads, in a fixed order; they are torn down in the reverse order
// at unload.
struct BuildTablesAtLoad {
  BuildTablesAtLoad() {
    GetImageLoaderTable();
    GetSoundLoaderTable();
    GetFontLoaderTable();
    GetModelLoaderTable();
    GetMapLoaderTable();
  }
} g_buildTablesAtLoad;

}  // namespace

LImageLoaderTable& GetImageLoaderTable() {
  static LImageLoaderTable table(IMAGE_LOADERS);
  return table;
}

LSoundLoaderTable& GetSoundLoaderTable() {
  static LSoundLoaderTable table(SOUND_LOADERS);
  return table;
}

LFontLoaderTable& GetFontLoaderTable() {
  static LFontLoaderTable table(FONT_LOADERS);
  return table;
}

LModelLoaderTable& GetModelLoaderTable() {
  static LModelLoaderTable table(MODEL_LOADERS);
  return table;
}

LMapLoaderTable& GetMapLoaderTable() {
  static LMapLoaderTable table(MAP_LOADERS);
  return table;
}

}  // namespace lum

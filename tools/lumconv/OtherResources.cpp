#include "OtherResources.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "ImageFiles.h"
#include "OutputFile.h"

#include "lum/Font/LData_Font.h"
#include "lum/Font/LFontAtlas.h"
#include "lum/LLoader.h"
#include "lum/Map/LData_Map.h"
#include "lum/Model/LData_Model.h"
#include "lum/Sound/LData_Sound.h"

namespace {

template <class L>
std::string ClassNameOf(const L& loader) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(typeid(loader).name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : typeid(loader).name();
  std::free(demangled);
  size_t colons = name.rfind("::");
  return colons == std::string::npos ? name : name.substr(colons + 2);
}

// The first loader of a table, in key order, that recognises the stream.
template <class Table>
auto FindLoader(const Table& table, kor::IInputStream& stream) -> decltype(table.GetNode(0).value) {
  for (int i = 0; i < table.GetNodeNum(); ++i) {
    auto* loader = table.GetNode(i).value;
    if (loader && loader->CanRead(stream)) return loader;
  }
  return nullptr;
}

bool PrintSound(kor::IInputStream& stream) {
  lum::LLoader_Sound* loader = FindLoader(lum::GetSoundLoaderTable(), stream);
  lum::LData_Sound sound;
  if (!loader || !loader->ReadInfo(stream, sound, nullptr)) return false;
  std::printf("loader=%s format=%d frequency=%d frames=%u\n", ClassNameOf(*loader).c_str(),
              sound.format, sound.frequency, sound.frameCount);
  return true;
}

bool PrintModel(kor::IInputStream& stream) {
  lum::LLoader_Model* loader = FindLoader(lum::GetModelLoaderTable(), stream);
  lum::LData_Model model;
  if (!loader || !loader->ReadInfo(stream, model, nullptr)) return false;
  unsigned long long vertices = 0, triangles = 0;
  for (int i = 0; i < model.numMeshes; ++i) {
    vertices += model.meshes[i].numVertices;
    triangles += model.meshes[i].numTriangles;
  }
  std::printf("loader=%s meshes=%d bones=%d vertices=%llu triangles=%llu\n",
              ClassNameOf(*loader).c_str(), model.numMeshes, model.numBones, vertices, triangles);
  return true;
}

bool PrintMap(kor::IInputStream& stream) {
  lum::LLoader_Map* loader = FindLoader(lum::GetMapLoaderTable(), stream);
  lum::LData_Map map;
  if (!loader || !loader->ReadInfo(stream, map, nullptr)) return false;
  unsigned long long planes = 0;
  for (int b = 0; b < map.numBrushes; ++b)
    for (int c = 0; c < map.brushes[b].numConvexParts; ++c)
      planes += static_cast<unsigned long long>(map.brushes[b].convexParts[c].numPlanes);
  std::printf("loader=%s brushes=%d entities=%d planes=%llu\n", ClassNameOf(*loader).c_str(),
              map.numBrushes, map.numEntities, planes);
  return true;
}

}  // namespace

bool PrintOtherResourceInfo(kor::IInputStream& stream) {
  if (PrintSound(stream)) return true;
  stream.SeekToBegin();
  if (PrintModel(stream)) return true;
  stream.SeekToBegin();
  bool printed = PrintMap(stream);
  stream.SeekToBegin();
  return printed;
}

bool DecodeSound(kor::IFileSystem& files, kor::IInputStream& stream, const std::string& out,
                 bool& isSound, std::string& error) {
  lum::LLoader_Sound* loader = FindLoader(lum::GetSoundLoaderTable(), stream);
  isSound = loader != nullptr;
  lum::LData_Sound sound;
  if (!loader || !loader->Read(stream, sound, nullptr)) return false;
  return WriteOutputFile(
      files, out,
      [&](kor::IOutputStream& file) { return WriteBytes(file, sound.samples, sound.sampleByteNum); },
      error);
}

bool IsFont(kor::IInputStream& stream) { return FindLoader(lum::GetFontLoaderTable(), stream) != nullptr; }

bool PrintFontInfo(kor::IInputStream& stream) {
  lum::LLoader_Font* loader = FindLoader(lum::GetFontLoaderTable(), stream);
  lum::LData_Font font;
  if (!loader || !loader->ReadInfo(stream, font, nullptr)) return false;
  std::printf("loader=%s family=\"%s\" style=\"%s\" glyphs=%d unitsPerEm=%d\n", ClassNameOf(*loader).c_str(),
              font.family.GetText(), font.style.GetText(), font.glyphCount, font.unitsPerEm);
  return true;
}

bool DecodeFont(kor::IFileSystem& files, kor::IInputStream& stream, const std::string& out, const std::string& text,
                int pixelSize, std::string& error) {
  lum::LLoader_Font* loader = FindLoader(lum::GetFontLoaderTable(), stream);
  lum::LData_Font font;
  lum::LFontAtlas atlas;
  if (!loader || !loader->Read(stream, font, nullptr)) return false;
  if (!lum::RenderFontAtlas(font, text.c_str(), pixelSize, atlas)) {
    error = "cannot draw the atlas";
    return false;
  }
  return WriteRecordFile(files, atlas.image, out, error);
}

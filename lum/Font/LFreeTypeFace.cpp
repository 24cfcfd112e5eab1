#include "lum/Font/LFreeTypeFace.h"

#include <cstddef>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include "kor/Utils/UMemory.h"

namespace lum {

namespace {

const char* const LOCATION_FREETYPE = "FreeType font engine";

// What FreeType may hold at once for one face. It reads the font in place
// from our copy, so even large fonts need a small part of this; a hostile
// file that asks for more fails inside FreeType as if memory ran out.
const size_t FREETYPE_BUDGET = size_t(64) << 20;

// Every block starts with its size, which FreeType's free does not pass
// back; the header keeps the block aligned for any type.
const size_t HEADER = alignof(std::max_align_t) > sizeof(size_t) ? alignof(std::max_align_t) : sizeof(size_t);

}  // namespace

struct LFreeTypeFace::Engine {
  FT_MemoryRec_ memory;
  FT_Library library;
  FT_Face face;
  size_t used;

  static Engine& Of(FT_Memory memory) { return *static_cast<Engine*>(memory->user); }

  // FreeType is C: nothing may be thrown through it, so these answer null
  // for every failure.
  static void* Allocate(FT_Memory memory, long size) {
    Engine& engine = Of(memory);
    if (size <= 0 || size_t(size) > FREETYPE_BUDGET) return nullptr;
    size_t total = size_t(size) + HEADER;
    if (total > FREETYPE_BUDGET - engine.used) return nullptr;
    unsigned char* block = nullptr;
    try {
      block = static_cast<unsigned char*>(kor::TryAllocateMemory(total, LOCATION_FREETYPE));
    } catch (...) {
      return nullptr;
    }
    if (block == nullptr) return nullptr;
    std::memcpy(block, &total, sizeof total);
    engine.used += total;
    return block + HEADER;
  }

  static void Free(FT_Memory memory, void* user) {
    if (user == nullptr) return;
    unsigned char* block = static_cast<unsigned char*>(user) - HEADER;
    size_t total;
    std::memcpy(&total, block, sizeof total);
    Of(memory).used -= total;
    try {
      kor::FreeMemory(block, LOCATION_FREETYPE);
    } catch (...) {
    }
  }

  static void* Reallocate(FT_Memory memory, long oldSize, long newSize, void* user) {
    void* fresh = Allocate(memory, newSize);
    if (fresh == nullptr) return nullptr;  // FreeType keeps the old block
    if (user != nullptr) {
      std::memcpy(fresh, user, size_t(oldSize < newSize ? oldSize : newSize));
      Free(memory, user);
    }
    return fresh;
  }
};

LFreeTypeFace::LFreeTypeFace() : m_engine(kor::NewObject<Engine>()) {
  m_engine->memory.user = m_engine;
  m_engine->memory.alloc = &Engine::Allocate;
  m_engine->memory.free = &Engine::Free;
  m_engine->memory.realloc = &Engine::Reallocate;
  m_engine->library = nullptr;
  m_engine->face = nullptr;
  m_engine->used = 0;
}

LFreeTypeFace::~LFreeTypeFace() {
  if (m_engine->face != nullptr) FT_Done_Face(m_engine->face);
  if (m_engine->library != nullptr) FT_Done_Library(m_engine->library);
  kor::DeleteObject(m_engine);
}

bool LFreeTypeFace::Open(const unsigned char* bytes, uint64_t size) {
  if (m_engine->face != nullptr || size > uint64_t(0x7FFFFFFF)) return false;
  // Not FT_Init_FreeType: it would read FreeType's settings from the
  // environment.
  if (FT_New_Library(&m_engine->memory, &m_engine->library) != 0) return false;
  FT_Add_Default_Modules(m_engine->library);
  FT_Open_Args args;
  std::memset(&args, 0, sizeof args);
  args.flags = FT_OPEN_MEMORY;
  args.memory_base = bytes;
  args.memory_size = static_cast<FT_Long>(size);
  FT_Face face = nullptr;
  if (FT_Open_Face(m_engine->library, &args, 0, &face) != 0) return false;
  m_engine->face = face;
  return true;
}

FT_FaceRec_* LFreeTypeFace::Get() const { return m_engine->face; }

}  // namespace lum

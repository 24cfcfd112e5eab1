// The first face of a font file, opened by FreeType from memory in a
// FreeType library of its own. Its memory comes from the pool within a
// budget, and no setting from outside the system (such as FreeType's
// environment variable) reaches it. Nothing of FreeType shows here: the
// sources that use the face include FreeType's headers themselves.
#pragma once

#include <cstdint>

struct FT_FaceRec_;

namespace lum {

class LFreeTypeFace {
 public:
  LFreeTypeFace();
  LFreeTypeFace(const LFreeTypeFace&) = delete;
  LFreeTypeFace& operator=(const LFreeTypeFace&) = delete;
  ~LFreeTypeFace();

  // The bytes must outlive this object. False when FreeType refuses them
  // or would need more memory than the budget allows.
  bool Open(const unsigned char* bytes, uint64_t size);

  // An FT_Face once Open has succeeded, otherwise null.
  FT_FaceRec_* Get() const;

 private:
  struct Engine;
  Engine* m_engine;
};

}  // namespace lum

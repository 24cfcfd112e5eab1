#include "lum/Model/LModelMessages.h"

#include "lum/Image/LImageWarning.h"

namespace lum {

const char* const MODEL_WRONG_SIGNATURE = "\". Wrong file signature.";
const char* const MODEL_WRONG_VERSION = "\". Wrong file version information.";
const char* const MODEL_DATA_MISSING = "\". Some data is missing or corrupt.";
const char* const MODEL_CRC_POSITIONS = "\". CRCs don't match (for vertex positions).";
const char* const MODEL_CRC_NORMALS = "\". CRCs don't match (for vertex normals).";
const char* const MODEL_CRC_TEXCOORDS = "\". CRCs don't match (for texture coordinates).";
const char* const MODEL_CRC_WEIGHT_COUNTS = "\". CRCs don't match (for vertex weight counts).";
const char* const MODEL_CRC_WEIGHTS = "\". CRCs don't match (for weights).";
const char* const MODEL_CRC_TRIANGLES = "\". CRCs don't match (for triangle indices).";

bool RefuseModelFile(const kor::UString& name, const char* ending) {
  // The image loaders' warning has exactly the form these messages take.
  WarnAboutImage("Can't handle file \"", name, ending);
  return false;
}

}  // namespace lum

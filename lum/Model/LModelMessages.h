// The messages the model loader gives about a file, on channel 7:
// "Can't handle file \"", the stream's name and one of these endings.
#pragma once

#include "kor/Utils/UBaseString.h"

namespace lum {

extern const char* const MODEL_WRONG_SIGNATURE;
extern const char* const MODEL_WRONG_VERSION;
extern const char* const MODEL_DATA_MISSING;
extern const char* const MODEL_CRC_POSITIONS;
extern const char* const MODEL_CRC_NORMALS;
extern const char* const MODEL_CRC_TEXCOORDS;
extern const char* const MODEL_CRC_WEIGHT_COUNTS;
extern const char* const MODEL_CRC_WEIGHTS;
extern const char* const MODEL_CRC_TRIANGLES;

// Sends the message and returns false, so that a failing step can end
// with it.
bool RefuseModelFile(const kor::UString& name, const char* ending);

}  // namespace lum

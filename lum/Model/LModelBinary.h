// The binary form of model files ("vxmdl_b"): little-endian numbers,
// length-prefixed strings, and a CRC-32 after every data array.
#pragma once

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "lum/Model/LData_Model.h"

namespace lum {

// Reads from the stream's position, which holds the signature. With
// infoOnly the record gets its counts and empty bone and mesh records;
// names, bounds, matrices and arrays are stepped over. False after a
// message on channel 7.
bool ReadModelBinary(kor::IInputStream& stream, const kor::UString& name, LData_Model& data, bool infoOnly);

// False when the record lacks an array its counts call for, when an array
// is too large for one transfer, or when a write comes back short.
bool WriteModelBinary(kor::IOutputStream& stream, const LData_Model& data);

}  // namespace lum

// The text form of model files ("vxmdl_a"): brace blocks of keywords and
// numbers, read with the block grammar of the text parser.
#pragma once

#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "kor/Utils/UTextParserCursor.h"
#include "lum/Model/LData_Model.h"

namespace lum {

// Walks the top-level tokens of a text model. With infoOnly the record
// gets its counts and empty bone and mesh records, no names or arrays.
// False after a message on channel 7.
bool ReadModelText(kor::UTextParserCursor& cursor, const kor::UString& name, LData_Model& data,
                   bool infoOnly);

// False when the record lacks an array its counts call for, or when a
// write comes back short.
bool WriteModelText(kor::IOutputStream& stream, const LData_Model& data);

}  // namespace lum

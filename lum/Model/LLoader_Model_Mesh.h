// The model loader: skinned triangle meshes in the text form, whose first
// tokens are signature "vxmdl_a", and in the binary form, which starts
// with the bytes "vxmdl_b" and guards every array with a CRC-32. It reads
// and writes both.
#pragma once

#include "lum/LLoader.h"
#include "lum/Model/LData_Model.h"

namespace lum {

class LLoader_Model_Mesh : public LLoader_Model {
 public:
  // Counts and empty bone and mesh records only.
  bool ReadInfo(kor::IInputStream& stream, LData_Model& data, const void* options) override;
  bool Read(kor::IInputStream& stream, LData_Model& data, const void* options) override;
  // The first byte of options chooses the form: non-zero text, zero (or
  // no options) binary. False when the record lacks an array its counts
  // call for or a write comes back short.
  bool Write(kor::IOutputStream& stream, LData_Model& data, const void* options) override;
  // Either signature; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  // 0 (binary) and 1 (text).
  bool CanWrite(int value) override;

 private:
  bool ReadModel(kor::IInputStream& stream, LData_Model& data, bool infoOnly);
};

}  // namespace lum

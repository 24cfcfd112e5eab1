// Writing JNG files: JHDR, the metadata in one tEXt chunk, the alpha as
// deflated 8-bit samples in one IDAT chunk or as a grey JPEG stream in one
// JDAA chunk, the colour or grey JPEG stream in one JDAT chunk, and IEND.
// Every writer returns false when the stream takes fewer bytes than it was
// given, so that a file that was not wholly written is never reported as
// saved.
#pragma once

#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "lum/LData_Image.h"
#include "lum/LImageSaveOptions.h"

namespace lum {

// JHDR for the record's size and format (A8B8G8R8, X8B8G8R8, A8, L8 or
// A8L8). The alpha fields describe an 8-bit alpha, JPEG-coded when
// alphaAsJpeg is set, for the formats with alpha and are zero otherwise.
bool WriteJngHeaderChunk(const LData_Image& image, bool alphaAsJpeg, kor::IOutputStream& stream);

// Encodes a one-byte or X8B8G8R8 record as a JPEG stream of the given
// compression (0.0 best to 1.0) without a comment marker, and writes it
// whole as one chunk of type (JDAT or JDAA). libjpeg's errors are raised.
bool WriteJpegChunk(const char* type, LData_Image& image, float compression, kor::IOutputStream& stream);

// A whole JNG file. options may be null (the defaults). False when the
// record has no pixels or any part fails to be written. The record is left
// as it was found.
bool WriteJngFile(kor::IOutputStream& stream, LData_Image& image, const LImageSaveOptions* options);

// The formats WriteJngFile accepts.
bool CanWriteJng(int format);

}  // namespace lum

// Writing PNG-family chunks: the IHDR, IDAT, tEXt and IEND writers of the
// PNG writer, which the JNG encoder shares for its deflated alpha, its
// metadata and its end. Every chunk is length, type, data and the CRC-32 of
// type and data, numbers big-endian. Each writer returns false when the
// stream takes fewer bytes than it was given, so that a file that was not
// wholly written is never reported as saved.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "lum/LData_Image.h"
#include "lum/LImageSaveOptions.h"

namespace lum {

// One chunk of length data bytes (type is four characters).
bool WritePngChunk(kor::IOutputStream& stream, const char* type, const unsigned char* data, uint32_t length);

// IHDR for the record's size and format, non-interlaced. False, writing
// nothing, for a format PNG cannot express.
bool WritePngHeaderChunk(const LData_Image& image, kor::IOutputStream& stream);

// One IDAT chunk holding the whole image as a zlib stream, every row
// Paeth-filtered. False, writing nothing, for a format PNG cannot express,
// a record without pixels or an image too large to compress in memory.
bool WriteImageDataChunk(const LData_Image& image, kor::IOutputStream& stream);

// One tEXt chunk holding every set text of the options as keyword, zero
// byte, text, zero byte.
bool WriteTextChunk(const LImageSaveOptions& options, kor::IOutputStream& stream);

bool WriteEndChunk(kor::IOutputStream& stream);

// A whole PNG file: signature, IHDR, tEXt when a text is set, IDAT, IEND.
// False, writing nothing, without pixels or for a format PNG cannot express;
// false when any part fails to be written.
bool WritePngFile(kor::IOutputStream& stream, const LData_Image& image, const LImageSaveOptions* options);

// The formats WritePngFile accepts.
bool CanWritePng(int format);

}  // namespace lum

// Writing image records as PAM (integer formats) and PFM (float formats).
#pragma once

#include <string>

#include "kor/CoreServices/Interfaces/IFileSystem.h"
#include "lum/LData_Image.h"

// Writes the record; false with a message in error when the format has no
// file form here or the file cannot be written (an existing file then stays
// as it was).
bool WriteRecordFile(kor::IFileSystem& files, const lum::LData_Image& data, const std::string& path,
                     std::string& error);

// The TEXTURE_FORMAT_... name of a format code.
const char* FormatName(int format);

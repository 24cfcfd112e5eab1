// lumconv for sounds, fonts, models and maps: each table probed in key order.
#pragma once

#include <string>

#include "kor/CoreServices/Interfaces/IFileSystem.h"
#include "kor/CoreServices/Interfaces/IInputStream.h"

// Prints the info line of the first sound, model or map loader that reads
// the stream; false when none does (the stream is left at its start).
bool PrintOtherResourceInfo(kor::IInputStream& stream);

// Writes a sound's sample bytes as they are; false when no sound loader
// reads the stream (isSound false), the loader fails, or the file cannot be
// written (with a message in error; an existing file then stays as it was).
bool DecodeSound(kor::IFileSystem& files, kor::IInputStream& stream, const std::string& out,
                 bool& isSound, std::string& error);

// Whether a font loader recognises the stream; it is left where it was.
// lumconv asks this before the image loaders: font signatures match no
// image signature, but the TGA test, which has none, takes some fonts.
bool IsFont(kor::IInputStream& stream);

// Prints the font's info line; false when the loader fails.
bool PrintFontInfo(kor::IInputStream& stream);

// Writes the atlas of a UTF-8 text at a pixel size as PAM; false with a
// message in error when the loader or the atlas fails or the file cannot
// be written.
bool DecodeFont(kor::IFileSystem& files, kor::IInputStream& stream, const std::string& out, const std::string& text,
                int pixelSize, std::string& error);

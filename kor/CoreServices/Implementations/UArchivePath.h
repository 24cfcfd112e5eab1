// Paths that lead into ZIP archives: dir/textures.zip/wood/oak.png is the
// member wood/oak.png of dir/textures.zip when no file of the whole path
// exists. Shared by the file systems and by nested archives.
#pragma once

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/Utils/UBaseString.h"

namespace kor {

// The separator that splits path before index before: the last backslash
// there, or when there is none the last slash. -1 when neither exists.
// A backslash anywhere thus wins over a nearer slash.
int FindArchiveSeparator(const UBaseString<unsigned char>& path, int before);

// Opens a plain file for reading: an owning pointer (NewObject), or null.
typedef IInputStream* (*PlainFileOpener)(const UBaseString<unsigned char>& path);

// Searches path from its end for a prefix that opens as a file and returns
// the archive stream for the rest of the path inside it, even when that
// member cannot be read; null when no prefix opens. The archive file itself
// is closed again before this returns.
IInputStream* OpenThroughArchive(const UBaseString<unsigned char>& path, PlainFileOpener open);

}  // namespace kor

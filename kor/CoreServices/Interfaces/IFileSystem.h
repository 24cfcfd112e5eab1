// The file-system interface of the core services: files as streams, file
// and directory operations and the working directory. A path that does not
// open as a file may still reach a member of a ZIP archive on its way
// (dir/textures.zip/wood/oak.png).
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "kor/Utils/UArray.h"
#include "kor/Utils/UBaseString.h"

namespace kor {

// Receives the completed fraction of a copy or move, from 0.0 to 1.0.
typedef void (*FileProgressCallback)(float fraction);

class IFileSystem {
 public:
  virtual ~IFileSystem() noexcept(false) {}
  virtual void Init() = 0;
  virtual void Shutdown() = 0;

  // Owning pointers, created with NewObject (free them with DeleteObject);
  // null when nothing could be opened.
  virtual IInputStream* CreateFileReader(const UBaseString<unsigned char>& path) = 0;
  // Without the overwrite flag an existing file is not replaced (null);
  // with the append flag writing starts at the end of an existing file.
  virtual IOutputStream* CreateFileWriter(const UBaseString<unsigned char>& path, bool overwrite,
                                          bool append) = 0;

  // 0 when the file cannot be opened.
  virtual uint64_t GetFileSize(const UBaseString<unsigned char>& path) = 0;
  virtual bool ExistsFile(const UBaseString<unsigned char>& path) = 0;
  virtual bool Delete(const UBaseString<unsigned char>& path) = 0;
  // Without the overwrite flag an existing destination makes both fail. A
  // file copied onto itself, under any spelling of its path, stays as it is
  // and the copy fails with a warning; moved onto itself it stays in place,
  // which counts as done when the overwrite flag is set.
  virtual bool Copy(const UBaseString<unsigned char>& destination,
                    const UBaseString<unsigned char>& source, bool overwrite,
                    FileProgressCallback callback) = 0;
  virtual bool Move(const UBaseString<unsigned char>& destination,
                    const UBaseString<unsigned char>& source, bool overwrite,
                    FileProgressCallback callback) = 0;
  virtual bool MakeDirectory(const UBaseString<unsigned char>& path) = 0;
  virtual bool DeleteDirectory(const UBaseString<unsigned char>& path) = 0;
  virtual bool SetWorkingDirectory(const UBaseString<unsigned char>& path) = 0;
  // Cached after the first call; always ends with "/".
  virtual const UBaseString<unsigned char>& GetWorkingDirectory() = 0;
  virtual UArray<UBaseString<unsigned char>> FindFiles(const UBaseString<unsigned char>& directory,
                                                      const UBaseString<unsigned char>& pattern,
                                                      bool recursive) = 0;

  // Closes a writer that CreateFileWriter of this file system made, writing
  // out what it still holds: true when every byte it was ever given reached
  // the file. A stream of other origin is closed and counts as failed.
  virtual bool CloseFileWriter(IOutputStream& writer) = 0;
};

}  // namespace kor

// The file system over the Win32 kernel calls. A path that does not open as
// a file is searched for a ZIP archive on its way (see UArchivePath.h).
#pragma once

#include "kor/CoreServices/Interfaces/IFileSystem.h"

namespace kor {
namespace platform_windows {

class UFileSystem_Windows : public IFileSystem {
 public:
  UFileSystem_Windows() : m_initialised(0) {}
  ~UFileSystem_Windows() noexcept(false) override {}

  // Marks the object initialised and fills the working-directory cache.
  void Init() override;
  void Shutdown() override;
  IInputStream* CreateFileReader(const UBaseString<unsigned char>& path) override;
  IOutputStream* CreateFileWriter(const UBaseString<unsigned char>& path, bool overwrite,
                                  bool append) override;
  // The low 32 bits of the size.
  uint64_t GetFileSize(const UBaseString<unsigned char>& path) override;
  // A file held open without sharing, and a directory, count as absent.
  bool ExistsFile(const UBaseString<unsigned char>& path) override;
  bool Delete(const UBaseString<unsigned char>& path) override;
  bool Copy(const UBaseString<unsigned char>& destination, const UBaseString<unsigned char>& source,
            bool overwrite, FileProgressCallback callback) override;
  // Renames when it can, else copies and deletes the source (across volumes).
  bool Move(const UBaseString<unsigned char>& destination, const UBaseString<unsigned char>& source,
            bool overwrite, FileProgressCallback callback) override;
  bool MakeDirectory(const UBaseString<unsigned char>& path) override;
  bool DeleteDirectory(const UBaseString<unsigned char>& path) override;
  // The cache becomes the path as given followed by "/".
  bool SetWorkingDirectory(const UBaseString<unsigned char>& path) override;
  // Raises "current path longer than 4096 bytes" when the directory cannot be had.
  const UBaseString<unsigned char>& GetWorkingDirectory() override;
  // Searches nothing: the result is always empty.
  UArray<UBaseString<unsigned char>> FindFiles(const UBaseString<unsigned char>& directory,
                                              const UBaseString<unsigned char>& pattern,
                                              bool recursive) override;
  bool CloseFileWriter(IOutputStream& writer) override;

 private:
  int m_initialised;
  UBaseString<unsigned char> m_workingDirectory;
};

}  // namespace platform_windows
}  // namespace kor

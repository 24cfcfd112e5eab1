// The portable file system over the C standard library: the file system of
// the services that exist before the host layer installs its own. Like the
// Windows one, it opens members of ZIP archives on a path's way.
#pragma once

#include "kor/CoreServices/Interfaces/IFileSystem.h"

namespace kor {

class UFileSystem_ANSI : public IFileSystem {
 public:
  // Built during static initialisation: allocates nothing and calls no
  // services; the working-directory cache fills on first use.
  UFileSystem_ANSI() : m_initialised(0) {}
  ~UFileSystem_ANSI() noexcept(false) override {}

  // Marks the object initialised and fills the working-directory cache.
  void Init() override;
  void Shutdown() override;
  IInputStream* CreateFileReader(const UBaseString<unsigned char>& path) override;
  IOutputStream* CreateFileWriter(const UBaseString<unsigned char>& path, bool overwrite,
                                  bool append) override;
  uint64_t GetFileSize(const UBaseString<unsigned char>& path) override;
  // A directory counts as absent.
  bool ExistsFile(const UBaseString<unsigned char>& path) override;
  bool Delete(const UBaseString<unsigned char>& path) override;
  // Copies through this interface's streams, so archive members can be
  // copied out; progress after every piece of at most 1024 bytes.
  bool Copy(const UBaseString<unsigned char>& destination, const UBaseString<unsigned char>& source,
            bool overwrite, FileProgressCallback callback) override;
  // With the overwrite flag a rename where one can be made; otherwise (and
  // across volumes) a copy followed by deleting the source.
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
  bool CopyContents(const UBaseString<unsigned char>& destination,
                    const UBaseString<unsigned char>& source, bool overwrite,
                    FileProgressCallback callback);

  int m_initialised;
  UBaseString<unsigned char> m_workingDirectory;
};

}  // namespace kor

#include "kor/CoreServices/Implementations/ANSI/UFileSystem_ANSI.h"

#include <cstdio>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "kor/CoreServices/Implementations/ANSI/UFileReader_ANSI.h"
#include "kor/CoreServices/Implementations/ANSI/UFileWriter_ANSI.h"
#include "kor/CoreServices/Implementations/UArchivePath.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UScopedObject.h"

namespace kor {

namespace {

const int WORKING_DIRECTORY_BUFFER = 4096;
const uint64_t COPY_PIECE = 1024;

// The C runtime's directory calls under one name on every platform.
#ifdef _WIN32
int MakeDir(const char* path) { return _mkdir(path); }
int RemoveDir(const char* path) { return _rmdir(path); }
int ChangeDir(const char* path) { return _chdir(path); }
char* CurrentDir(char* buffer, int size) { return _getcwd(buffer, size); }
#else
int MakeDir(const char* path) { return mkdir(path, 0777); }
int RemoveDir(const char* path) { return rmdir(path); }
int ChangeDir(const char* path) { return chdir(path); }
char* CurrentDir(char* buffer, int size) { return getcwd(buffer, static_cast<size_t>(size)); }
#endif

// On POSIX systems fopen opens a directory too and only its first read
// fails; a directory must count as absent here as it does on Windows, or
// every missing file inside one would be searched for as an archive member.
std::FILE* OpenReadable(const UBaseString<unsigned char>& path, const char* mode) {
  std::FILE* file = std::fopen(path.GetText(), mode);
  if (file == nullptr) return nullptr;
  std::fgetc(file);
  if (std::ferror(file)) {
    std::fclose(file);
    return nullptr;
  }
  std::rewind(file);
  return file;
}

// The stream takes over the file; if it cannot be made the file is closed.
template <class Stream>
Stream* AdoptFile(std::FILE* file, const UBaseString<unsigned char>& name) {
  try {
    return NewObject<Stream>(file, name);
  } catch (...) {
    std::fclose(file);
    throw;
  }
}

IInputStream* OpenPlainReader(const UBaseString<unsigned char>& path) {
  std::FILE* file = OpenReadable(path, "rbS");
  return file ? AdoptFile<UFileReader_ANSI>(file, path) : nullptr;
}

// A piece counts as copied only when all of it was read and written.
bool CopyPieces(IInputStream& reader, IOutputStream& writer, uint64_t total,
                FileProgressCallback callback) {
  unsigned char piece[COPY_PIECE];
  for (uint64_t copied = 0; copied < total;) {
    uint64_t size = total - copied < COPY_PIECE ? total - copied : COPY_PIECE;
    if (reader.Serialize(piece, size) != size || writer.Serialize(piece, size) != size)
      return false;
    copied += size;
    if (callback) callback(static_cast<float>(copied) / static_cast<float>(total));
  }
  return true;
}

}  // namespace

void UFileSystem_ANSI::Init() {
  KOR_GUARD_BEGIN
  m_initialised = 1;
  GetWorkingDirectory();
  KOR_GUARD_END
}

void UFileSystem_ANSI::Shutdown() {
  KOR_GUARD_BEGIN
  m_initialised = 0;
  KOR_GUARD_END
}

IInputStream* UFileSystem_ANSI::CreateFileReader(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  if (IInputStream* file = OpenPlainReader(path)) return file;
  return OpenThroughArchive(path, &OpenPlainReader);
  KOR_GUARD_END
}

IOutputStream* UFileSystem_ANSI::CreateFileWriter(const UBaseString<unsigned char>& path,
                                                  bool overwrite, bool append) {
  KOR_GUARD_BEGIN
  // Appending keeps what is there, so only a writer that would empty an
  // existing file needs the overwrite flag; "x" refuses an existing file.
  const char* mode = append ? "abS" : overwrite ? "wbS" : "wbxS";
  std::FILE* file = std::fopen(path.GetText(), mode);
  return file ? AdoptFile<UFileWriter_ANSI>(file, path) : nullptr;
  KOR_GUARD_END
}

uint64_t UFileSystem_ANSI::GetFileSize(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  std::FILE* file = OpenReadable(path, "r");
  if (file == nullptr) return 0;
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fclose(file);
  return size > 0 ? static_cast<uint64_t>(size) : 0;
  KOR_GUARD_END
}

bool UFileSystem_ANSI::ExistsFile(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  std::FILE* file = OpenReadable(path, "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
  KOR_GUARD_END
}

bool UFileSystem_ANSI::Delete(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  return std::remove(path.GetText()) == 0;
  KOR_GUARD_END
}

bool UFileSystem_ANSI::Copy(const UBaseString<unsigned char>& destination,
                            const UBaseString<unsigned char>& source, bool overwrite,
                            FileProgressCallback callback) {
  KOR_GUARD_BEGIN
  if (callback) callback(0.0f);
  bool copied = CopyContents(destination, source, overwrite, callback);
  if (callback) callback(1.0f);
  return copied;
  KOR_GUARD_END
}

// A source that does not open, or opens as an archive member that could not
// be read, copies nothing; a copy that fails midway leaves no destination.
bool UFileSystem_ANSI::CopyContents(const UBaseString<unsigned char>& destination,
                                    const UBaseString<unsigned char>& source, bool overwrite,
                                    FileProgressCallback callback) {
  UScopedObject<IInputStream> reader(CreateFileReader(source));
  if (reader.Get() == nullptr || !reader->IsOpen()) return false;
  uint64_t total = reader->GetSize();
  UScopedObject<IOutputStream> writer(CreateFileWriter(destination, overwrite, false));
  if (writer.Get() == nullptr) return false;
  bool copied = CopyPieces(*reader.Get(), *writer.Get(), total, callback);
  writer->Close();
  reader->Close();
  if (!copied) Delete(destination);
  return copied;
}

bool UFileSystem_ANSI::Move(const UBaseString<unsigned char>& destination,
                            const UBaseString<unsigned char>& source, bool overwrite,
                            FileProgressCallback callback) {
  KOR_GUARD_BEGIN
  if (callback) callback(0.0f);
  bool moved = Copy(destination, source, overwrite, callback);
  if (moved && !Delete(source)) {
    Delete(destination);
    moved = false;
  }
  if (callback) callback(1.0f);
  return moved;
  KOR_GUARD_END
}

bool UFileSystem_ANSI::MakeDirectory(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  return MakeDir(path.GetText()) == 0;
  KOR_GUARD_END
}

bool UFileSystem_ANSI::DeleteDirectory(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  return RemoveDir(path.GetText()) == 0;
  KOR_GUARD_END
}

bool UFileSystem_ANSI::SetWorkingDirectory(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  if (ChangeDir(path.GetText()) != 0) return false;
  m_workingDirectory = path;
  m_workingDirectory.Append("/");
  return true;
  KOR_GUARD_END
}

const UBaseString<unsigned char>& UFileSystem_ANSI::GetWorkingDirectory() {
  KOR_GUARD_BEGIN
  if (!m_workingDirectory.IsEmpty()) return m_workingDirectory;
  char buffer[WORKING_DIRECTORY_BUFFER];
  if (CurrentDir(buffer, WORKING_DIRECTORY_BUFFER) == nullptr)
    KOR_RAISE("current path longer than 4096 bytes");
  m_workingDirectory = buffer;
  m_workingDirectory.Append("/");
  return m_workingDirectory;
  KOR_GUARD_END
}

UArray<UBaseString<unsigned char>> UFileSystem_ANSI::FindFiles(const UBaseString<unsigned char>&,
                                                              const UBaseString<unsigned char>&,
                                                              bool) {
  KOR_GUARD_BEGIN
  return UArray<UBaseString<unsigned char>>();
  KOR_GUARD_END
}

}  // namespace kor

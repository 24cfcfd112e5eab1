#include "kor/CoreServices/Implementations/ANSI/UFileSystem_ANSI.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "kor/CoreServices/Implementations/ANSI/UFileReader_ANSI.h"
#include "kor/CoreServices/Implementations/ANSI/UFileWriter_ANSI.h"
#include "kor/CoreServices/Implementations/UArchivePath.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
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
const int FULL_PATH_BUFFER = _MAX_PATH;
// The absolute spelling of a path; names differing only in case are one file.
bool FullPath(const char* path, char* buffer) { return _fullpath(buffer, path, FULL_PATH_BUFFER) != nullptr; }
bool SamePathText(const char* a, const char* b) { return _stricmp(a, b) == 0; }
#else
int MakeDir(const char* path) { return mkdir(path, 0777); }
int RemoveDir(const char* path) { return rmdir(path); }
int ChangeDir(const char* path) { return chdir(path); }
char* CurrentDir(char* buffer, int size) { return getcwd(buffer, static_cast<size_t>(size)); }
const int FULL_PATH_BUFFER = PATH_MAX;
// The absolute, symlink-free spelling of an existing file's path.
bool FullPath(const char* path, char* buffer) { return realpath(path, buffer) != nullptr; }
bool SamePathText(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
#endif

// Whether two paths name one existing file, however each is spelt (./x,
// dir/../x, absolute): copying a file onto itself would empty it first.
bool NameOneFile(const UBaseString<unsigned char>& first, const UBaseString<unsigned char>& second) {
  char a[FULL_PATH_BUFFER], b[FULL_PATH_BUFFER];
  return FullPath(first.GetText(), a) && FullPath(second.GetText(), b) && SamePathText(a, b);
}

void WarnCopyOntoItself(const UBaseString<unsigned char>& path) {
  ICoreServices* services = GetCoreServices();
  UMessageWriter(services ? services->GetChannel(7) : nullptr, "Can't copy the file \"")
      << path << "\" onto itself.";
}

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
  if (NameOneFile(destination, source)) {
    WarnCopyOntoItself(source);
    return false;
  }
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
  bool moved;
  if (NameOneFile(destination, source)) {
    // Already where it should be; only an existing destination's refusal applies.
    moved = overwrite;
  } else if (overwrite && ExistsFile(source) && std::rename(source.GetText(), destination.GetText()) == 0) {
    // A rename replaces the destination in one step: it is never seen half
    // written, and a failed move leaves it as it was.
    moved = true;
  } else {
    // Across volumes, or without the overwrite flag, which the copy's writer
    // honours where a rename would replace silently.
    moved = Copy(destination, source, overwrite, callback);
    if (moved && !Delete(source)) {
      Delete(destination);
      moved = false;
    }
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

bool UFileSystem_ANSI::CloseFileWriter(IOutputStream& writer) {
  KOR_GUARD_BEGIN
  if (UFileWriter_ANSI* own = dynamic_cast<UFileWriter_ANSI*>(&writer)) return own->Finish();
  writer.Close();
  return false;
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

#include "kor/CoreServices/Implementations/Windows/UFileSystem_Windows.h"

#include "Win32Kernel.h"
#include "kor/CoreServices/Implementations/UArchivePath.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Implementations/Windows/UFileReader_Windows.h"
#include "kor/CoreServices/Implementations/Windows/UFileWriter_Windows.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"

namespace kor {
namespace platform_windows {

namespace {

enum { WORKING_DIRECTORY_BUFFER = 4096 };

bool IsSeparator(unsigned char c) { return c == '/' || c == '\\'; }

bool IsAbsolute(const char* path) {
  return IsSeparator(static_cast<unsigned char>(path[0])) || (path[0] != '\0' && path[1] == ':');
}

// A path as the system itself resolves it, without asking the disk: made
// absolute against the process's current directory (not the cache, which
// may hold a relative path), one separator, no "." and no ".." components.
UBaseString<unsigned char> FullPath(const UBaseString<unsigned char>& path) {
  UBaseString<unsigned char> joined;
  if (!IsAbsolute(path.GetText())) {
    char current[WORKING_DIRECTORY_BUFFER] = {};
    DWORD length = GetCurrentDirectoryA(WORKING_DIRECTORY_BUFFER, current);
    if (length > 0 && length < WORKING_DIRECTORY_BUFFER) joined = current;
    joined.Append("/");
  }
  joined.Append(path);
  // Components are copied one by one; ".." takes the last one back.
  UArray<unsigned char> out;
  const char* text = joined.GetText();
  for (int start = 0; text[start] != '\0';) {
    int end = start;
    while (text[end] != '\0' && !IsSeparator(static_cast<unsigned char>(text[end]))) ++end;
    int length = end - start;
    if (length == 2 && text[start] == '.' && text[start + 1] == '.') {
      int slash = out.GetNum() - 1;
      while (slash > 0 && out[slash] != '/') --slash;
      if (slash >= 0) out.Erase(slash, out.GetNum() - slash);
    } else if (length > 0 && !(length == 1 && text[start] == '.')) {
      out.Add('/');
      for (int i = start; i < end; ++i) out.Add(static_cast<unsigned char>(text[i]));
    }
    start = text[end] == '\0' ? end : end + 1;
  }
  out.Add('\0');
  return UBaseString<unsigned char>(reinterpret_cast<const char*>(out.GetData()));
}

// Whether two paths name one file, however each is spelt (./x, dir/../x,
// absolute, backslashes): copying a file onto itself would empty it first.
bool NameOneFile(const UBaseString<unsigned char>& first, const UBaseString<unsigned char>& second) {
  UBaseString<unsigned char> a = FullPath(first), b = FullPath(second);
#ifdef _WIN32
  return lstrcmpiA(a.GetText(), b.GetText()) == 0;  // names differing in case are one file
#else
  return a == b;
#endif
}

// Readers share reading, so one file can be read by several at once; a file
// that someone holds open for writing, or without sharing, does not open.
HANDLE OpenForReading(const UBaseString<unsigned char>& path) {
  return CreateFileA(path.GetText(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The stream takes over the handle; if it cannot be made the handle is closed.
template <class Stream>
Stream* AdoptHandle(HANDLE handle, const UBaseString<unsigned char>& name) {
  try {
    return NewObject<Stream>(handle, name);
  } catch (...) {
    CloseHandle(handle);
    throw;
  }
}

IInputStream* OpenPlainReader(const UBaseString<unsigned char>& path) {
  HANDLE handle = OpenForReading(path);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return AdoptHandle<UFileReader_Windows>(handle, path);
}

DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                  LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                  LPVOID data) {
  FileProgressCallback callback = *static_cast<FileProgressCallback*>(data);
  // An empty file is complete as soon as it is copied; 0 / 0 would say nothing.
  float fraction = totalFileSize.QuadPart > 0
                       ? static_cast<float>(totalBytesTransferred.QuadPart) /
                             static_cast<float>(totalFileSize.QuadPart)
                       : 1.0f;
  callback(fraction);
  return PROGRESS_CONTINUE;
}

}  // namespace

void UFileSystem_Windows::Init() {
  KOR_GUARD_BEGIN
  m_initialised = 1;
  GetWorkingDirectory();
  KOR_GUARD_END
}

void UFileSystem_Windows::Shutdown() {
  KOR_GUARD_BEGIN
  m_initialised = 0;
  KOR_GUARD_END
}

IInputStream* UFileSystem_Windows::CreateFileReader(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  if (IInputStream* file = OpenPlainReader(path)) return file;
  return OpenThroughArchive(path, &OpenPlainReader);
  KOR_GUARD_END
}

IOutputStream* UFileSystem_Windows::CreateFileWriter(const UBaseString<unsigned char>& path,
                                                     bool overwrite, bool append) {
  KOR_GUARD_BEGIN
  // Appending keeps what is there, so only a writer that would empty an
  // existing file needs the overwrite flag.
  DWORD disposition = append ? OPEN_ALWAYS : overwrite ? CREATE_ALWAYS : CREATE_NEW;
  HANDLE handle = CreateFileA(path.GetText(), GENERIC_WRITE, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (append) SetFilePointer(handle, 0, nullptr, FILE_END);
  return AdoptHandle<UFileWriter_Windows>(handle, path);
  KOR_GUARD_END
}

uint64_t UFileSystem_Windows::GetFileSize(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  HANDLE handle = OpenForReading(path);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  DWORD size = ::GetFileSize(handle, nullptr);
  CloseHandle(handle);
  return size;
  KOR_GUARD_END
}

bool UFileSystem_Windows::ExistsFile(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  HANDLE handle = OpenForReading(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
  KOR_GUARD_END
}

bool UFileSystem_Windows::Delete(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  return DeleteFileA(path.GetText()) != FALSE;
  KOR_GUARD_END
}

bool UFileSystem_Windows::Copy(const UBaseString<unsigned char>& destination,
                               const UBaseString<unsigned char>& source, bool overwrite,
                               FileProgressCallback callback) {
  KOR_GUARD_BEGIN
  if (callback) callback(0.0f);
  if (NameOneFile(destination, source)) {
    ICoreServices* services = GetCoreServices();
    UMessageWriter(services ? services->GetChannel(7) : nullptr, "Can't copy the file \"")
        << source << "\" onto itself.";
    return false;
  }
  BOOL cancel = FALSE;
  bool copied = CopyFileExA(source.GetText(), destination.GetText(),
                            callback ? &ReportCopyProgress : nullptr, &callback, &cancel,
                            overwrite ? 0 : COPY_FILE_FAIL_IF_EXISTS) != FALSE;
  if (copied && callback) callback(1.0f);
  return copied;
  KOR_GUARD_END
}

bool UFileSystem_Windows::Move(const UBaseString<unsigned char>& destination,
                               const UBaseString<unsigned char>& source, bool overwrite,
                               FileProgressCallback callback) {
  KOR_GUARD_BEGIN
  if (callback) callback(0.0f);
  // Already where it should be; only an existing destination's refusal applies.
  if (NameOneFile(destination, source)) {
    if (callback) callback(1.0f);
    return overwrite;
  }
  DWORD flags = MOVEFILE_WRITE_THROUGH | (overwrite ? MOVEFILE_REPLACE_EXISTING : 0);
  bool moved = MoveFileExA(source.GetText(), destination.GetText(), flags) != FALSE;
  // The rename is refused across volumes: copy, then delete the source, and
  // take the copy back when the source stays.
  if (!moved && CopyFileA(source.GetText(), destination.GetText(), overwrite ? FALSE : TRUE)) {
    moved = Delete(source);
    if (!moved) Delete(destination);
  }
  if (callback) callback(1.0f);
  return moved;
  KOR_GUARD_END
}

bool UFileSystem_Windows::MakeDirectory(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  return CreateDirectoryA(path.GetText(), nullptr) != FALSE;
  KOR_GUARD_END
}

bool UFileSystem_Windows::DeleteDirectory(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  return RemoveDirectoryA(path.GetText()) != FALSE;
  KOR_GUARD_END
}

bool UFileSystem_Windows::SetWorkingDirectory(const UBaseString<unsigned char>& path) {
  KOR_GUARD_BEGIN
  if (!SetCurrentDirectoryA(path.GetText())) return false;
  m_workingDirectory = path;
  m_workingDirectory.Append("/");
  return true;
  KOR_GUARD_END
}

const UBaseString<unsigned char>& UFileSystem_Windows::GetWorkingDirectory() {
  KOR_GUARD_BEGIN
  if (!m_workingDirectory.IsEmpty()) return m_workingDirectory;
  char buffer[WORKING_DIRECTORY_BUFFER] = {};
  DWORD length = GetCurrentDirectoryA(WORKING_DIRECTORY_BUFFER, buffer);
  // 0 is a failure: caching "/" for it would send every relative path to the root.
  if (length == 0 || length > WORKING_DIRECTORY_BUFFER - 1)
    KOR_RAISE("current path longer than 4096 bytes");
  m_workingDirectory = buffer;
  m_workingDirectory.Append("/");
  return m_workingDirectory;
  KOR_GUARD_END
}

bool UFileSystem_Windows::CloseFileWriter(IOutputStream& writer) {
  KOR_GUARD_BEGIN
  if (UFileWriter_Windows* own = dynamic_cast<UFileWriter_Windows*>(&writer)) return own->Finish();
  writer.Close();
  return false;
  KOR_GUARD_END
}

UArray<UBaseString<unsigned char>> UFileSystem_Windows::FindFiles(
    const UBaseString<unsigned char>&, const UBaseString<unsigned char>&, bool) {
  KOR_GUARD_BEGIN
  return UArray<UBaseString<unsigned char>>();
  KOR_GUARD_END
}

}  // namespace platform_windows
}  // namespace kor

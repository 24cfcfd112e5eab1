#include "Win32Kernel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

static_assert(sizeof(off_t) >= 8, "file positions beyond 4 GiB need a 64-bit off_t");

namespace {

// What a handle stands for: the descriptor and what Windows remembers of the
// open, since the access and share modes decide whether later opens succeed.
struct OpenFile {
  int fd;
  DWORD access;
  DWORD share;
  dev_t device;
  ino_t inode;
};

// Handles are numbers rather than pointers so that a closed handle is
// recognised as invalid instead of touching freed memory.
struct Registry {
  std::mutex mutex;
  std::map<uintptr_t, OpenFile> files;
  uintptr_t lastHandle = 0;
};

// Never destroyed: static destructors of the caller may still close files at
// exit. std::map holds no memory while it is empty, so nothing leaks either.
Registry& TheRegistry() {
  alignas(Registry) static unsigned char storage[sizeof(Registry)];
  static Registry* registry = new (storage) Registry;
  return *registry;
}

const DWORD kCopyChunk = 64 * 1024;

// A path as POSIX spells it. It lives in the caller's frame: this code is
// linked into the plug-in, and a std::string would be grown by the C++
// runtime's allocator but freed by inline code with the plug-in's own.
struct PosixPath {
  char text[PATH_MAX];
  const char* c_str() const { return text; }
};

// The system writes Windows paths; POSIX only knows the slash. Paths longer
// than the system takes are refused.
bool ToPosix(LPCSTR path, PosixPath* out) {
  if (path == nullptr || *path == '\0') return false;
  size_t length = strnlen(path, sizeof out->text);
  if (length == sizeof out->text) return false;
  for (size_t i = 0; i <= length; ++i) out->text[i] = path[i] == '\\' ? '/' : path[i];
  return true;
}

bool SameFile(const OpenFile& file, const struct stat& info) {
  return file.device == info.st_dev && file.inode == info.st_ino;
}

DWORD SharingNeededFor(DWORD access) {
  DWORD needed = 0;
  if (access & GENERIC_READ) needed |= FILE_SHARE_READ;
  if (access & GENERIC_WRITE) needed |= FILE_SHARE_WRITE;
  return needed;
}

// Windows admits another open only when each side shares what the other does.
bool ConflictsWithOpen(const Registry& registry, const struct stat& info, DWORD access,
                       DWORD share) {
  for (const auto& entry : registry.files) {
    const OpenFile& held = entry.second;
    if (!SameFile(held, info)) continue;
    if ((SharingNeededFor(access) & ~held.share) != 0) return true;
    if ((SharingNeededFor(held.access) & ~share) != 0) return true;
  }
  return false;
}

// Deleting or renaming a file is refused while any handle on it does not
// share deletion.
bool HeldAgainstDeletion(const Registry& registry, const struct stat& info) {
  for (const auto& entry : registry.files)
    if (SameFile(entry.second, info) && (entry.second.share & FILE_SHARE_DELETE) == 0)
      return true;
  return false;
}

bool Lookup(HANDLE handle, OpenFile* out) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto found = registry.files.find(reinterpret_cast<uintptr_t>(handle));
  if (found == registry.files.end()) return false;
  *out = found->second;
  return true;
}

// O_NONBLOCK keeps a FIFO from blocking the open; it is cleared again once
// the file is known to be a regular one.
int OpenFlags(DWORD access, DWORD disposition) {
  bool read = (access & GENERIC_READ) != 0;
  bool write = (access & GENERIC_WRITE) != 0;
  int flags = O_CLOEXEC | O_NONBLOCK | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
  switch (disposition) {
    case CREATE_NEW:
      return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
      return flags | O_CREAT;
    case OPEN_EXISTING:
      return flags;
    case TRUNCATE_EXISTING:
      return write ? flags : -1;
    default:
      return -1;
  }
}

// Truncation waits until the sharing check has passed, so that a file held
// open by someone else is never emptied by an open that then fails.
bool FinishOpen(int fd, DWORD disposition, const struct stat& info) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
  bool truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  return !truncate || info.st_size == 0 || ftruncate(fd, 0) == 0;
}

bool WriteAll(int fd, const unsigned char* bytes, size_t size, size_t* done) {
  while (*done < size) {
    ssize_t n = write(fd, bytes + *done, size - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // zero bytes would loop forever: treat as full disk
    *done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, unsigned char* bytes, size_t size, size_t* done) {
  while (*done < size) {
    ssize_t n = read(fd, bytes + *done, size - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;  // end of file: a short count, not an error
    *done += static_cast<size_t>(n);
  }
  return true;
}

bool PositionOfBase(int fd, DWORD method, int64_t* base) {
  struct stat info;
  switch (method) {
    case FILE_BEGIN:
      *base = 0;
      return true;
    case FILE_CURRENT:
      *base = lseek(fd, 0, SEEK_CUR);
      return *base >= 0;
    case FILE_END:
      if (fstat(fd, &info) != 0) return false;
      *base = info.st_size;
      return true;
    default:
      return false;
  }
}

int64_t CombinedDistance(LONG low, const LONG* high) {
  if (high == nullptr) return low;  // a lone low part is a signed 32-bit distance
  uint64_t bits = (static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32) |
                  static_cast<uint32_t>(low);
  return static_cast<int64_t>(bits);
}

// Progress of one copy: the caller's routine, its data and cancel flag.
class CopyProgress {
 public:
  CopyProgress(LPPROGRESS_ROUTINE routine, LPVOID data, LPBOOL cancel)
      : m_routine(routine), m_data(data), m_cancel(cancel) {}

  // Reports a finished chunk; false when the caller wants the copy cancelled.
  bool ChunkDone(LONGLONG total, LONGLONG done, HANDLE source, HANDLE target) {
    if (m_cancel != nullptr && *m_cancel) return false;
    if (m_routine == nullptr || m_quiet) return true;
    LARGE_INTEGER size, transferred;
    size.QuadPart = total;
    transferred.QuadPart = done;
    DWORD answer = m_routine(size, transferred, size, transferred, 1, CALLBACK_CHUNK_FINISHED,
                             source, target, m_data);
    // Quiet means: carry on, but stop reporting.
    if (answer == PROGRESS_QUIET) m_quiet = true;
    return answer == PROGRESS_CONTINUE || answer == PROGRESS_QUIET;
  }

 private:
  LPPROGRESS_ROUTINE m_routine;
  LPVOID m_data;
  LPBOOL m_cancel;
  bool m_quiet = false;
};

bool CopyContents(HANDLE source, HANDLE target, CopyProgress& progress) {
  DWORD high = 0;
  DWORD low = GetFileSize(source, &high);
  LONGLONG total = static_cast<LONGLONG>((static_cast<uint64_t>(high) << 32) | low);
  LONGLONG done = 0;
  std::vector<unsigned char> chunk(kCopyChunk);
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(source, chunk.data(), kCopyChunk, &got, nullptr)) return false;
    if (got > 0 && (!WriteFile(target, chunk.data(), got, &put, nullptr) || put != got))
      return false;
    // The end fell on a chunk boundary, which has been reported already.
    if (got == 0 && done > 0) return true;
    done += got;
    if (done > total) total = done;  // the source grew while being copied
    if (!progress.ChunkDone(total, done, source, target)) return false;
    if (got < kCopyChunk) return true;
  }
}

BOOL CopyWith(LPCSTR existing, LPCSTR newName, DWORD copyFlags, CopyProgress& progress,
              bool flush) {
  // The source shares only reading, so a destination that is the source
  // itself fails to open instead of being emptied.
  HANDLE source = CreateFileA(existing, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source == INVALID_HANDLE_VALUE) return FALSE;
  DWORD disposition = (copyFlags & COPY_FILE_FAIL_IF_EXISTS) ? CREATE_NEW : CREATE_ALWAYS;
  HANDLE target = CreateFileA(newName, GENERIC_WRITE, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    CloseHandle(source);
    return FALSE;
  }
  bool copied = CopyContents(source, target, progress) && (!flush || FlushFileBuffers(target));
  CloseHandle(source);
  copied = CloseHandle(target) && copied;
  // A cancelled or failed copy leaves no partial destination behind.
  if (!copied) DeleteFileA(newName);
  return copied ? TRUE : FALSE;
}

// The text of the working directory, however deep, with its terminating 0.
bool CurrentDirectory(std::vector<char>* out) {
  out->resize(256);
  for (;;) {
    if (getcwd(out->data(), out->size()) != nullptr) {
      out->resize(std::strlen(out->data()) + 1);
      return true;
    }
    if (errno != ERANGE) return false;
    out->resize(out->size() * 2);
  }
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES, DWORD creationDisposition, DWORD, HANDLE) {
  PosixPath path;
  int flags = OpenFlags(desiredAccess, creationDisposition);
  if (!ToPosix(fileName, &path) || flags < 0) return INVALID_HANDLE_VALUE;
  Registry& registry = TheRegistry();
  // The sharing check and the new entry must be one step.
  std::lock_guard<std::mutex> lock(registry.mutex);
  int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      ConflictsWithOpen(registry, info, desiredAccess, shareMode) ||
      !FinishOpen(fd, creationDisposition, info)) {
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  // Multiples of four as on Windows; never 0 nor INVALID_HANDLE_VALUE.
  registry.lastHandle += 4;
  registry.files[registry.lastHandle] =
      OpenFile{fd, desiredAccess, shareMode, info.st_dev, info.st_ino};
  return reinterpret_cast<HANDLE>(registry.lastHandle);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped) {
  if (bytesRead != nullptr) *bytesRead = 0;
  OpenFile open;
  if (overlapped != nullptr || !Lookup(file, &open) || (open.access & GENERIC_READ) == 0 ||
      (buffer == nullptr && bytesToRead > 0))
    return FALSE;
  size_t done = 0;
  bool ok = ReadAll(open.fd, static_cast<unsigned char*>(buffer), bytesToRead, &done);
  if (bytesRead != nullptr) *bytesRead = static_cast<DWORD>(done);
  return ok ? TRUE : FALSE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  OpenFile open;
  if (overlapped != nullptr || !Lookup(file, &open) || (open.access & GENERIC_WRITE) == 0 ||
      (buffer == nullptr && bytesToWrite > 0))
    return FALSE;
  size_t done = 0;
  bool ok = WriteAll(open.fd, static_cast<const unsigned char*>(buffer), bytesToWrite, &done);
  if (bytesWritten != nullptr) *bytesWritten = static_cast<DWORD>(done);
  return ok ? TRUE : FALSE;
}

DWORD SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh,
                     DWORD moveMethod) {
  OpenFile open;
  int64_t base;
  if (!Lookup(file, &open) || !PositionOfBase(open.fd, moveMethod, &base))
    return INVALID_SET_FILE_POINTER;
  int64_t distance = CombinedDistance(distanceToMove, distanceToMoveHigh);
  if (distance > 0 && base > INT64_MAX - distance) return INVALID_SET_FILE_POINTER;
  int64_t target = base + distance;
  // Without a high part the caller could not learn a position beyond 32 bits.
  if (target < 0 || (distanceToMoveHigh == nullptr && target > 0xFFFFFFFFll))
    return INVALID_SET_FILE_POINTER;
  if (lseek(open.fd, static_cast<off_t>(target), SEEK_SET) < 0) return INVALID_SET_FILE_POINTER;
  if (distanceToMoveHigh != nullptr)
    *distanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
  return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  OpenFile open;
  struct stat info;
  if (!Lookup(file, &open) || fstat(open.fd, &info) != 0) return INVALID_FILE_SIZE;
  uint64_t size = static_cast<uint64_t>(info.st_size);
  if (fileSizeHigh != nullptr) *fileSizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

BOOL FlushFileBuffers(HANDLE file) {
  OpenFile open;
  if (!Lookup(file, &open) || (open.access & GENERIC_WRITE) == 0) return FALSE;
  int result;
  do {
    result = fsync(open.fd);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? TRUE : FALSE;
}

BOOL CloseHandle(HANDLE object) {
  Registry& registry = TheRegistry();
  int fd;
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto found = registry.files.find(reinterpret_cast<uintptr_t>(object));
    if (found == registry.files.end()) return FALSE;
    fd = found->second.fd;
    registry.files.erase(found);
  }
  // The descriptor is gone either way; a failure reports a lost delayed write.
  return close(fd) == 0 ? TRUE : FALSE;
}

BOOL DeleteFileA(LPCSTR fileName) {
  PosixPath path;
  if (!ToPosix(fileName, &path)) return FALSE;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode) ||
      HeldAgainstDeletion(registry, info))
    return FALSE;
  return unlink(path.c_str()) == 0 ? TRUE : FALSE;
}

BOOL CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
  CopyProgress silent(nullptr, nullptr, nullptr);
  return CopyWith(existingFileName, newFileName, failIfExists ? COPY_FILE_FAIL_IF_EXISTS : 0,
                  silent, false);
}

BOOL CopyFileExA(LPCSTR existingFileName, LPCSTR newFileName, LPPROGRESS_ROUTINE progress,
                 LPVOID data, LPBOOL cancel, DWORD copyFlags) {
  CopyProgress reporter(progress, data, cancel);
  return CopyWith(existingFileName, newFileName, copyFlags, reporter, false);
}

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
  PosixPath from, to;
  struct stat source, target;
  if (!ToPosix(existingFileName, &from) || !ToPosix(newFileName, &to)) return FALSE;
  bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
  int renameError;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (lstat(from.c_str(), &source) != 0 || HeldAgainstDeletion(registry, source)) return FALSE;
    if (lstat(to.c_str(), &target) == 0 &&
        (!replace || S_ISDIR(target.st_mode) || HeldAgainstDeletion(registry, target)))
      return FALSE;
    if (rename(from.c_str(), to.c_str()) == 0) return TRUE;
    renameError = errno;
  }
  if (renameError != EXDEV || (flags & MOVEFILE_COPY_ALLOWED) == 0 || S_ISDIR(source.st_mode))
    return FALSE;
  CopyProgress silent(nullptr, nullptr, nullptr);
  if (!CopyWith(existingFileName, newFileName, replace ? 0 : COPY_FILE_FAIL_IF_EXISTS, silent,
                (flags & MOVEFILE_WRITE_THROUGH) != 0))
    return FALSE;
  // As on Windows, a source that cannot be deleted stays behind and the
  // move still counts as done.
  DeleteFileA(existingFileName);
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES) {
  PosixPath path;
  return ToPosix(pathName, &path) && mkdir(path.c_str(), 0777) == 0 ? TRUE : FALSE;
}

BOOL RemoveDirectoryA(LPCSTR pathName) {
  PosixPath path;
  return ToPosix(pathName, &path) && rmdir(path.c_str()) == 0 ? TRUE : FALSE;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  std::vector<char> current;
  if (!CurrentDirectory(&current) || current.size() > 0xFFFFFFFFu) return 0;
  DWORD needed = static_cast<DWORD>(current.size());
  if (buffer == nullptr || bufferLength < needed) return needed;
  std::memcpy(buffer, current.data(), needed);
  return needed - 1;
}

BOOL SetCurrentDirectoryA(LPCSTR pathName) {
  PosixPath path;
  return ToPosix(pathName, &path) && chdir(path.c_str()) == 0 ? TRUE : FALSE;
}

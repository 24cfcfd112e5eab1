#include "kor/CoreServices/Implementations/UStream_Archive.h"

#include <cstring>

#include "kor/CoreServices/Implementations/UArchivePath.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/Utils/UCompressor.h"

namespace kor {

namespace {

// The end record plus the longest comment: the end record starts in this
// many bytes at the end of any archive.
const uint64_t END_RECORD_WINDOW =
    ZIP_END_OF_CENTRAL_DIRECTORY::SIZE + ZIP_END_OF_CENTRAL_DIRECTORY::MAX_COMMENT;

// The most bytes one array holds, and below the 2^31 bytes of a single transfer.
const uint64_t MAX_MEMBER_BYTES = 0x7FFFFFC0u;

// Moves to an absolute offset; false when the stream did not get there (a
// file stream cannot reach offsets of 2 GiB and more).
bool SeekTo(IInputStream& stream, uint64_t offset) {
  stream.SeekToBegin();
  if (offset > 0) stream.SeekForward(static_cast<int64_t>(offset));
  return stream.GetPosition() == offset;
}

// A short read is a failed one: bytes that did not arrive are never used.
bool ReadExactly(IInputStream& stream, void* buffer, uint64_t size) {
  return size == 0 || stream.Serialize(buffer, size) == size;
}

// Fills bytes with exactly size bytes read from stream.
bool ReadBytes(IInputStream& stream, UArray<unsigned char>& bytes, uint64_t size) {
  bytes.EmptyExact(static_cast<int>(size));
  bytes.Grow(static_cast<int>(size));
  if (ReadExactly(stream, bytes.GetData(), size)) return true;
  bytes.Empty();
  return false;
}

// The three fields are the array's whole state, and arrays are byte-relocatable.
void SwapBytes(UArray<unsigned char>& a, UArray<unsigned char>& b) {
  unsigned char* array = a.m_array;
  int num = a.m_arrayNum;
  int max = a.m_arrayMax;
  a.m_array = b.m_array;
  a.m_arrayNum = b.m_arrayNum;
  a.m_arrayMax = b.m_arrayMax;
  b.m_array = array;
  b.m_arrayNum = num;
  b.m_arrayMax = max;
}

IMessageSink* WarningChannel() {
  ICoreServices* services = GetCoreServices();
  return services ? services->GetChannel(7) : nullptr;
}

}  // namespace

UStream_Archive::UStream_Archive(IInputStream& archive, const UBaseString<unsigned char>& member)
    : m_archive(&archive), m_member(nullptr, 0) {
  int nestedBudget = MAX_NESTED_ARCHIVES;
  ReadCentralDirectory();
  OpenMember(member, nestedBudget);
}

UStream_Archive::UStream_Archive(IInputStream& archive, const UBaseString<unsigned char>& member,
                                 int& nestedBudget)
    : m_archive(&archive), m_member(nullptr, 0) {
  ReadCentralDirectory();
  OpenMember(member, nestedBudget);
}

// ---------------------------------------------------------------------------
// Central directory

void UStream_Archive::ReadCentralDirectory() {
  uint64_t position = m_archive->GetPosition();
  uint64_t archiveSize = m_archive->GetSize();
  ZIP_END_OF_CENTRAL_DIRECTORY record;
  if (!FindEndRecord(archiveSize, record) || !ReadDirectoryEntries(archiveSize, record))
    WarnNoCentralDirectory();
  SeekTo(*m_archive, position);
}

// The archive's tail is read in one request and searched from its end; the
// first candidate is the end record of an archive without comment. An end
// record at offset 0 (an archive of no members) counts as none: there is
// nothing in it to open.
bool UStream_Archive::FindEndRecord(uint64_t archiveSize, ZIP_END_OF_CENTRAL_DIRECTORY& record) {
  if (archiveSize < ZIP_END_OF_CENTRAL_DIRECTORY::SIZE) return false;
  uint64_t window = archiveSize < END_RECORD_WINDOW ? archiveSize : END_RECORD_WINDOW;
  uint64_t base = archiveSize - window;
  UArray<unsigned char> tail;
  if (!SeekTo(*m_archive, base) || !ReadBytes(*m_archive, tail, window)) return false;
  int64_t lowest = base > 0 ? static_cast<int64_t>(base) : 1;
  for (int64_t at = static_cast<int64_t>(archiveSize) - ZIP_END_OF_CENTRAL_DIRECTORY::SIZE;
       at >= lowest; --at) {
    const unsigned char* candidate = tail.GetData() + (at - static_cast<int64_t>(base));
    if (ZIP_END_OF_CENTRAL_DIRECTORY::StartsAt(candidate)) {
      std::memcpy(record.m_bytes, candidate, ZIP_END_OF_CENTRAL_DIRECTORY::SIZE);
      return true;
    }
  }
  return false;
}

// Every count, length and offset is checked against the archive's size
// before it is used; a defect stops the reading (entries read before it
// stay, their data is checked again when a member is opened).
bool UStream_Archive::ReadDirectoryEntries(uint64_t archiveSize,
                                           const ZIP_END_OF_CENTRAL_DIRECTORY& record) {
  uint64_t cursor = record.GetCentralDirectoryOffset();
  uint64_t entries = record.GetTotalEntryCount();
  if (cursor > archiveSize ||
      entries * ZIP_CENTRAL_DIRECTORY_FILE_HEADER::SIZE > archiveSize - cursor ||
      !SeekTo(*m_archive, cursor))
    return false;
  UArray<unsigned char> name;
  for (uint64_t i = 0; i < entries; ++i) {
    ZIP_CENTRAL_DIRECTORY_FILE_HEADER header;
    if (cursor > archiveSize || archiveSize - cursor < ZIP_CENTRAL_DIRECTORY_FILE_HEADER::SIZE ||
        !ReadExactly(*m_archive, header.m_bytes, ZIP_CENTRAL_DIRECTORY_FILE_HEADER::SIZE))
      return false;
    cursor += ZIP_CENTRAL_DIRECTORY_FILE_HEADER::SIZE;
    unsigned nameLength = header.GetFileNameLength();
    if (archiveSize - cursor < nameLength || !ReadBytes(*m_archive, name, nameLength)) return false;
    cursor += nameLength;
    UBaseString<unsigned char> key(reinterpret_cast<const char*>(name.GetData()),
                                   static_cast<int>(nameLength));
    // A later entry of the same name replaces an earlier one.
    if (ZIP_CENTRAL_DIRECTORY_FILE_HEADER* existing = m_directory.Find(key)) *existing = header;
    else m_directory.Insert(key, header);
    unsigned skipped = header.GetExtraFieldLength() + header.GetFileCommentLength();
    m_archive->SeekForward(skipped);
    cursor += skipped;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Members

void UStream_Archive::OpenMember(const UBaseString<unsigned char>& name, int& nestedBudget) {
  const ZIP_CENTRAL_DIRECTORY_FILE_HEADER* header = m_directory.Find(name);
  if (header == nullptr) {
    OpenNested(name, nestedBudget);
    return;
  }
  uint64_t position = m_archive->GetPosition();
  ReadMember(*header, name);
  SeekTo(*m_archive, position);
}

void UStream_Archive::ReadMember(const ZIP_CENTRAL_DIRECTORY_FILE_HEADER& header,
                                 const UBaseString<unsigned char>& name) {
  unsigned method = header.GetCompressionMethod();
  if (method != 0 && method != 8) {
    WarnUnsupportedMethod(name);
    return;
  }
  if (!SeekToMemberData(header)) {
    WarnNotFound(name);
    return;
  }
  if (method == 8) {
    Inflate(header.GetCompressedSize(), header.GetUncompressedSize(), name);
  } else if (!ReadStored(header.GetUncompressedSize())) {
    WarnNotFound(name);
  }
}

// Moves to the member's data behind its local header, once the header and
// the data are known to lie inside the archive.
bool UStream_Archive::SeekToMemberData(const ZIP_CENTRAL_DIRECTORY_FILE_HEADER& header) {
  uint64_t archiveSize = m_archive->GetSize();
  uint64_t local = header.GetLocalHeaderOffset();
  ZIP_LOCAL_FILE_HEADER localHeader;
  if (local > archiveSize || archiveSize - local < ZIP_LOCAL_FILE_HEADER::SIZE ||
      !SeekTo(*m_archive, local) ||
      !ReadExactly(*m_archive, localHeader.m_bytes, ZIP_LOCAL_FILE_HEADER::SIZE))
    return false;
  uint64_t offset = local + ZIP_LOCAL_FILE_HEADER::SIZE + localHeader.GetFileNameLength() +
                    localHeader.GetExtraFieldLength();
  uint64_t stored =
      header.GetCompressionMethod() == 8 ? header.GetCompressedSize() : header.GetUncompressedSize();
  return offset <= archiveSize && stored <= archiveSize - offset && stored <= MAX_MEMBER_BYTES &&
         SeekTo(*m_archive, offset);
}

bool UStream_Archive::ReadStored(uint32_t size) {
  if (!ReadBytes(*m_archive, m_bytes, size)) return false;
  Serve(size);
  return true;
}

// Inflating stops at the recorded size: data beyond it costs no memory.
// The stream never reaches beyond the bytes produced: a member that
// inflates to less than its recorded size is cut to what arrived, and one
// whose data is broken stays empty. Each of the three draws a warning.
void UStream_Archive::Inflate(uint32_t compressedSize, uint32_t uncompressedSize,
                              const UBaseString<unsigned char>& name) {
  UArray<unsigned char> compressed;
  if (!ReadBytes(*m_archive, compressed, compressedSize)) return;
  if (uncompressedSize > MAX_MEMBER_BYTES) {
    WarnBrokenMember(name, "Its size is too large.");
    return;
  }
  InflateResult result;
  {
    DecompressorPolicy_Deflate policy;
    result = DecompressAtMost(compressed, policy, m_bytes, static_cast<int>(uncompressedSize));
  }
  if (result == INFLATE_BROKEN) {
    m_bytes.Empty();
    WarnBrokenMember(name, "Its compressed data is corrupt.");
    return;
  }
  if (result == INFLATE_FULL) WarnBrokenMember(name, "It holds more data than its recorded size.");
  else if (static_cast<uint32_t>(m_bytes.GetNum()) < uncompressedSize)
    WarnBrokenMember(name, "It holds less data than its recorded size.");
  Serve(static_cast<uint64_t>(m_bytes.GetNum()));
}

// ---------------------------------------------------------------------------
// Nested archives

// A name that is not in the directory may lead through a member that is an
// archive itself: try each split of the name from its end.
void UStream_Archive::OpenNested(const UBaseString<unsigned char>& name, int& nestedBudget) {
  for (int before = name.GetLength();;) {
    int separator = FindArchiveSeparator(name, before);
    if (separator < 0) break;
    UBaseString<unsigned char> part(name.GetText(), separator);
    if (m_directory.Contains(part)) {
      if (nestedBudget <= 0) break;
      --nestedBudget;
      UBaseString<unsigned char> rest(name.GetText() + separator + 1);
      if (TakeOverNested(part, rest, nestedBudget)) return;
    }
    if (separator == 0) return;
    before = separator;
  }
  WarnNotFound(name);
}

bool UStream_Archive::TakeOverNested(const UBaseString<unsigned char>& archiveName,
                                     const UBaseString<unsigned char>& memberName,
                                     int& nestedBudget) {
  UStream_Archive nested(*m_archive, archiveName, nestedBudget);
  UStream_Archive inner(nested, memberName, nestedBudget);
  if (!inner.IsOpen()) return false;
  uint64_t size = inner.GetSize();
  SwapBytes(m_bytes, inner.m_bytes);
  Serve(size);
  return true;
}

void UStream_Archive::Serve(uint64_t size) { m_member = UStream_Memory(m_bytes.GetData(), size); }

// ---------------------------------------------------------------------------
// Warnings

void UStream_Archive::WarnNoCentralDirectory() {
  UMessageWriter(WarningChannel(), "Can't handle file \"")
      << m_archive->GetName() << "\". No central directory found.";
}

void UStream_Archive::WarnUnsupportedMethod(const UBaseString<unsigned char>& name) {
  UMessageWriter(WarningChannel(), "Can't handle file \"")
      << name << "\" in archive \"" << m_archive->GetName()
      << "\". Unsupported compression method used.";
}

void UStream_Archive::WarnBrokenMember(const UBaseString<unsigned char>& name, const char* problem) {
  UMessageWriter(WarningChannel(), "Can't handle file \"")
      << name << "\" in archive \"" << m_archive->GetName() << "\". " << problem;
}

void UStream_Archive::WarnNotFound(const UBaseString<unsigned char>& name) {
  UMessageWriter(WarningChannel(), "The file \"")
      << name << "\" can't be found inside the archive \"" << m_archive->GetName() << "\".";
}

}  // namespace kor

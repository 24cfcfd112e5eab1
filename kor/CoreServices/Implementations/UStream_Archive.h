// One member of a ZIP archive as an input stream. The whole member is read
// (and inflated, up to its recorded size) while the object is constructed; afterwards the archive is
// no longer touched and the bytes are served from memory. A member name may
// reach into archives inside the archive (inner.zip/readme.txt).
//
// Bad archives never raise: they draw a warning on channel 7 and leave the
// stream empty and not open. A deflated member whose data ends before or
// goes on after its recorded size is served as far as both agree, after a
// warning.
#pragma once

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/CoreServices/Implementations/UZipRecords.h"
#include "kor/Utils/UTable.h"

namespace kor {

class UStream_Archive : public IInputStream {
 public:
  // The archive is borrowed for the construction only; its position is
  // the same afterwards.
  UStream_Archive(IInputStream& archive, const UBaseString<unsigned char>& member);
  UStream_Archive(const UStream_Archive&) = delete;
  UStream_Archive& operator=(const UStream_Archive&) = delete;
  ~UStream_Archive() noexcept(false) override {}

  uint64_t Serialize(void* buffer, uint64_t size) override { return m_member.Serialize(buffer, size); }
  void Close() override { m_member.Close(); }
  bool IsOpen() override { return m_member.IsOpen(); }
  UBaseString<unsigned char> GetName() override { return m_member.GetName(); }
  uint64_t GetSize() override { return m_member.GetSize(); }
  uint64_t GetPosition() override { return m_member.GetPosition(); }
  void SeekToBegin() override { m_member.SeekToBegin(); }
  void SeekToEnd() override { m_member.SeekToEnd(); }
  IInputStream& SeekForward(int64_t distance) override {
    m_member.SeekForward(distance);
    return *this;
  }
  IInputStream& SeekBackward(int64_t distance) override {
    m_member.SeekBackward(distance);
    return *this;
  }
  bool IsEndOfStream() override { return m_member.IsEndOfStream(); }

  // How many archives one construction may open inside the archive, all
  // levels together: crafted archives must not make the nested search
  // recurse without end or try every split of a long name.
  enum { MAX_NESTED_ARCHIVES = 16 };

 private:
  typedef UTable<UBaseString<unsigned char>, ZIP_CENTRAL_DIRECTORY_FILE_HEADER> Directory;

  UStream_Archive(IInputStream& archive, const UBaseString<unsigned char>& member,
                  int& nestedBudget);

  void ReadCentralDirectory();
  bool FindEndRecord(uint64_t archiveSize, ZIP_END_OF_CENTRAL_DIRECTORY& record);
  bool ReadDirectoryEntries(uint64_t archiveSize, const ZIP_END_OF_CENTRAL_DIRECTORY& record);
  void OpenMember(const UBaseString<unsigned char>& name, int& nestedBudget);
  void ReadMember(const ZIP_CENTRAL_DIRECTORY_FILE_HEADER& header,
                  const UBaseString<unsigned char>& name);
  bool SeekToMemberData(const ZIP_CENTRAL_DIRECTORY_FILE_HEADER& header);
  bool ReadStored(uint32_t size);
  void Inflate(uint32_t compressedSize, uint32_t uncompressedSize,
               const UBaseString<unsigned char>& name);
  void OpenNested(const UBaseString<unsigned char>& name, int& nestedBudget);
  bool TakeOverNested(const UBaseString<unsigned char>& archiveName,
                      const UBaseString<unsigned char>& memberName, int& nestedBudget);
  void Serve(uint64_t size);

  void WarnNoCentralDirectory();
  void WarnUnsupportedMethod(const UBaseString<unsigned char>& name);
  void WarnBrokenMember(const UBaseString<unsigned char>& name, const char* problem);
  void WarnNotFound(const UBaseString<unsigned char>& name);

  IInputStream* m_archive;
  UArray<unsigned char> m_bytes;
  UStream_Memory m_member;
  Directory m_directory;
};

}  // namespace kor

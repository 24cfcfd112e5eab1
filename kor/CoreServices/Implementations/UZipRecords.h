// The fixed-size records of a ZIP file that the archive stream reads, kept
// as the bytes stored in the file (numbers little-endian) with accessors
// for the fields it uses.
#pragma once

#include <cstdint>

namespace kor {

inline unsigned ReadLittleEndian16(const unsigned char* bytes) {
  return static_cast<unsigned>(bytes[0]) | static_cast<unsigned>(bytes[1]) << 8;
}

inline uint32_t ReadLittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(ReadLittleEndian16(bytes)) |
         static_cast<uint32_t>(ReadLittleEndian16(bytes + 2)) << 16;
}

// One entry of the central directory; its name, extra field and comment
// follow it in the file.
struct ZIP_CENTRAL_DIRECTORY_FILE_HEADER {
  enum { SIZE = 46 };
  unsigned char m_bytes[SIZE];

  unsigned GetCompressionMethod() const { return ReadLittleEndian16(m_bytes + 10); }
  uint32_t GetCompressedSize() const { return ReadLittleEndian32(m_bytes + 20); }
  uint32_t GetUncompressedSize() const { return ReadLittleEndian32(m_bytes + 24); }
  unsigned GetFileNameLength() const { return ReadLittleEndian16(m_bytes + 28); }
  unsigned GetExtraFieldLength() const { return ReadLittleEndian16(m_bytes + 30); }
  unsigned GetFileCommentLength() const { return ReadLittleEndian16(m_bytes + 32); }
  uint32_t GetLocalHeaderOffset() const { return ReadLittleEndian32(m_bytes + 42); }
};

// The end-of-central-directory record; an archive comment of up to 65,535
// bytes may follow it.
struct ZIP_END_OF_CENTRAL_DIRECTORY {
  enum { SIZE = 22, MAX_COMMENT = 65535 };
  unsigned char m_bytes[SIZE];

  static bool StartsAt(const unsigned char* bytes) {
    return bytes[0] == 0x50 && bytes[1] == 0x4B && bytes[2] == 0x05 && bytes[3] == 0x06;
  }
  unsigned GetTotalEntryCount() const { return ReadLittleEndian16(m_bytes + 10); }
  uint32_t GetCentralDirectoryOffset() const { return ReadLittleEndian32(m_bytes + 16); }
};

// The header in front of each member's data; its name and extra field come
// between it and the data.
struct ZIP_LOCAL_FILE_HEADER {
  enum { SIZE = 30 };
  unsigned char m_bytes[SIZE];

  unsigned GetFileNameLength() const { return ReadLittleEndian16(m_bytes + 26); }
  unsigned GetExtraFieldLength() const { return ReadLittleEndian16(m_bytes + 28); }
};

}  // namespace kor

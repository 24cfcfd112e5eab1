// Builds ZIP archives in memory, independently of the code under test:
// members stored, deflated by zlib (raw, window bits -15) or tagged with any
// other method number, an optional archive comment, and the offsets of
// every record so that tests can corrupt them on purpose.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

inline Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline void Put16(Bytes& bytes, size_t at, unsigned value) {
  bytes[at] = static_cast<unsigned char>(value);
  bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

inline void Put32(Bytes& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

inline Bytes RawDeflate(const Bytes& data, int level = 6) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
  z.next_in = const_cast<unsigned char*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int status = deflate(&z, Z_FINISH);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  return out;
}

struct ZipImage {
  Bytes bytes;
  std::vector<size_t> localHeaders;   // offset of each member's local header
  std::vector<size_t> centralHeaders; // offset of each member's directory entry
  size_t endRecord = 0;
};

class ZipBuilder {
 public:
  enum { STORED = 0, DEFLATED = 8 };

  // Members with another method keep their data as given.
  ZipBuilder& Add(const std::string& name, const Bytes& data, unsigned method = STORED) {
    m_members.push_back(Member{name, data, method, {}, false, 0});
    return *this;
  }
  ZipBuilder& Add(const std::string& name, const std::string& text, unsigned method = STORED) {
    return Add(name, BytesOf(text), method);
  }
  // A deflated member of the given deflate data that records size as its
  // uncompressed size, whatever the data inflates to.
  ZipBuilder& AddDeflatedAs(const std::string& name, const Bytes& deflated, uint32_t size) {
    m_members.push_back(Member{name, {}, DEFLATED, deflated, true, size});
    return *this;
  }
  ZipBuilder& Comment(const std::string& comment) {
    m_comment = comment;
    return *this;
  }

  ZipImage Build() const {
    ZipImage image;
    Bytes& out = image.bytes;
    std::vector<Bytes> packed;
    for (const Member& member : m_members) {
      packed.push_back(member.prePacked ? member.packed
                       : member.method == DEFLATED ? RawDeflate(member.data)
                                                   : member.data);
      image.localHeaders.push_back(out.size());
      AppendLocalHeader(out, member, packed.back());
      out.insert(out.end(), packed.back().begin(), packed.back().end());
    }
    size_t directory = out.size();
    for (size_t i = 0; i < m_members.size(); ++i) {
      image.centralHeaders.push_back(out.size());
      AppendCentralHeader(out, m_members[i], packed[i], image.localHeaders[i]);
    }
    image.endRecord = out.size();
    AppendEndRecord(out, directory, out.size() - directory);
    return image;
  }

 private:
  struct Member {
    std::string name;
    Bytes data;
    unsigned method;
    Bytes packed;
    bool prePacked;
    uint32_t recordedSize;
    uint32_t Size() const { return prePacked ? recordedSize : static_cast<uint32_t>(data.size()); }
  };

  static uint32_t Crc(const Bytes& data) {
    return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
  }

  static void AppendName(Bytes& out, const std::string& name) {
    out.insert(out.end(), name.begin(), name.end());
  }

  static void AppendLocalHeader(Bytes& out, const Member& member, const Bytes& packed) {
    size_t at = out.size();
    out.resize(at + 30, 0);
    Put32(out, at, 0x04034B50);
    Put16(out, at + 4, 20);
    Put16(out, at + 8, member.method);
    Put32(out, at + 14, Crc(member.data));
    Put32(out, at + 18, static_cast<uint32_t>(packed.size()));
    Put32(out, at + 22, member.Size());
    Put16(out, at + 26, static_cast<unsigned>(member.name.size()));
    AppendName(out, member.name);
  }

  static void AppendCentralHeader(Bytes& out, const Member& member, const Bytes& packed,
                                  size_t localHeader) {
    size_t at = out.size();
    out.resize(at + 46, 0);
    Put32(out, at, 0x02014B50);
    Put16(out, at + 4, 20);
    Put16(out, at + 6, 20);
    Put16(out, at + 10, member.method);
    Put32(out, at + 16, Crc(member.data));
    Put32(out, at + 20, static_cast<uint32_t>(packed.size()));
    Put32(out, at + 24, member.Size());
    Put16(out, at + 28, static_cast<unsigned>(member.name.size()));
    Put32(out, at + 42, static_cast<uint32_t>(localHeader));
    AppendName(out, member.name);
  }

  void AppendEndRecord(Bytes& out, size_t directory, size_t directorySize) const {
    size_t at = out.size();
    out.resize(at + 22, 0);
    Put32(out, at, 0x06054B50);
    Put16(out, at + 8, static_cast<unsigned>(m_members.size()));
    Put16(out, at + 10, static_cast<unsigned>(m_members.size()));
    Put32(out, at + 12, static_cast<uint32_t>(directorySize));
    Put32(out, at + 16, static_cast<uint32_t>(directory));
    Put16(out, at + 20, static_cast<unsigned>(m_comment.size()));
    AppendName(out, m_comment);
  }

  std::vector<Member> m_members;
  std::string m_comment;
};

// Helpers for the compression tests: conversions between std::vector and
// UArray, zlib as an independent producer of deflate streams, and a bit
// writer for streams crafted by hand.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "kor/Utils/UArray.h"
#include "kor/Utils/UCompressor.h"

typedef std::vector<unsigned char> Bytes;

inline kor::UArray<unsigned char> ToArray(const Bytes& bytes) {
  kor::UArray<unsigned char> array(static_cast<int>(bytes.size()));
  if (!bytes.empty()) std::memcpy(array.GetData(), bytes.data(), bytes.size());
  return array;
}

inline Bytes ToBytes(const kor::UArray<unsigned char>& array) {
  return Bytes(array.GetData(), array.GetData() + array.GetNum());
}

// The outcome of one Decompress call.
struct Inflated {
  bool ok;
  Bytes output;
  int capacity;
};

inline Inflated Inflate(const Bytes& stream) {
  kor::UArray<unsigned char> input = ToArray(stream);
  kor::UArray<unsigned char> output;
  kor::DecompressorPolicy_Deflate policy;
  bool ok = kor::Decompress(input, policy, output);
  return Inflated{ok, ToBytes(output), output.GetMax()};
}

struct ZlibSettings {
  int level;
  int strategy;
  int windowBits;  // negative: raw deflate
  int memLevel;
};

// data compressed by zlib in one go, or in pieces of pieceSize bytes each
// followed by the flush mode flush.
inline Bytes ZlibDeflate(const Bytes& data, const ZlibSettings& settings, size_t pieceSize = 0,
                         int flush = Z_NO_FLUSH) {
  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  if (deflateInit2(&stream, settings.level, Z_DEFLATED, settings.windowBits, settings.memLevel,
                   settings.strategy) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64 +
            (pieceSize ? (data.size() / pieceSize + 1) * 16 : 0));
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  size_t position = 0;
  if (pieceSize) {
    while (position < data.size()) {
      size_t n = std::min(pieceSize, data.size() - position);
      stream.next_in = const_cast<unsigned char*>(data.data() + position);
      stream.avail_in = static_cast<uInt>(n);
      if (deflate(&stream, flush) == Z_STREAM_ERROR) throw std::runtime_error("deflate failed");
      position += n;
    }
  } else {
    stream.next_in = const_cast<unsigned char*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
  }
  int status = deflate(&stream, Z_FINISH);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

inline Bytes RawDeflate(const Bytes& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
  return ZlibDeflate(data, ZlibSettings{level, strategy, -15, 8});
}

// zlib's decoding of a zlib (windowBits 15) or raw (-15) stream; false when
// zlib refuses it.
inline bool ZlibInflate(const Bytes& stream, int windowBits, Bytes& out) {
  z_stream z;
  std::memset(&z, 0, sizeof(z));
  if (inflateInit2(&z, windowBits) != Z_OK) return false;
  z.next_in = const_cast<unsigned char*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  out.clear();
  unsigned char buffer[65536];
  int status;
  do {
    z.next_out = buffer;
    z.avail_out = sizeof(buffer);
    status = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof(buffer) - z.avail_out));
  } while (status == Z_OK);
  inflateEnd(&z);
  return status == Z_STREAM_END;
}

// Writes a deflate bit stream: numbers least significant bit first, Huffman
// codes most significant bit first.
class BitWriter {
 public:
  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  void Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  void AlignToByte() {
    while (m_bit != 0) Bit(0);
  }
  void Byte(unsigned char value) {
    AlignToByte();
    m_bytes.push_back(value);
  }
  // Block header: final flag, then the two type bits.
  void Header(bool final, int type) {
    Bits(final ? 1 : 0, 1);
    Bits(static_cast<uint32_t>(type), 2);
  }
  void StoredBlock(bool final, const Bytes& data) {
    Header(final, 0);
    AlignToByte();
    unsigned n = static_cast<unsigned>(data.size());
    Byte(n & 0xFF);
    Byte(n >> 8);
    Byte(~n & 0xFF);
    Byte((~n >> 8) & 0xFF);
    for (unsigned char c : data) Byte(c);
  }
  // Fixed-code symbols.
  void FixedLiteral(int symbol) {
    if (symbol < 144) Code(0x30 + symbol, 8);
    else if (symbol < 256) Code(0x190 + symbol - 144, 9);
    else if (symbol < 280) Code(symbol - 256, 7);
    else Code(0xC0 + symbol - 280, 8);
  }
  void FixedDistance(int code) { Code(static_cast<uint32_t>(code), 5); }
  // A match of length 3 to 258 at distance 1 to 32768 in the fixed code.
  void FixedMatch(unsigned length, unsigned distance) {
    int row = 0;
    while (kor::g_deflateLengthTable[row][2] < length || (row == 27 && length == 258)) ++row;
    FixedLiteral(257 + row);
    Bits(length - kor::g_deflateLengthTable[row][1], static_cast<int>(kor::g_deflateLengthTable[row][0]));
    int code = 0;
    while (kor::g_deflateDistanceTable[code][2] < distance) ++code;
    FixedDistance(code);
    Bits(distance - kor::g_deflateDistanceTable[code][1],
         static_cast<int>(kor::g_deflateDistanceTable[code][0]));
  }

  const Bytes& Data() const { return m_bytes; }
  int BitIndex() const { return m_bit; }

 private:
  void Bit(uint32_t bit) {
    if (m_bit == 0) m_bytes.push_back(0);
    m_bytes.back() = static_cast<unsigned char>(m_bytes.back() | (bit << m_bit));
    m_bit = (m_bit + 1) & 7;
  }
  Bytes m_bytes;
  int m_bit = 0;
};

// Canonical codes (RFC 1951 3.2.2) for code lengths; over-subscribed sets get
// the same out-of-range codes as the decoder's slots.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
  int count[16] = {};
  for (int length : lengths) ++count[length];
  count[0] = 0;
  uint32_t next[16] = {};
  uint32_t code = 0;
  for (int bits = 1; bits < 16; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  return codes;
}

// A dynamic block header whose code-length code gives each of the symbols 0
// to 15 four bits (16, 17 and 18 have none) and lists every length as it is.
// Returns the literal/length and distance codes for writing symbols.
struct DynamicCodes {
  std::vector<int> literalLengths, distanceLengths;
  std::vector<uint32_t> literalCodes, distanceCodes;
  void Literal(BitWriter& writer, int symbol) const {
    writer.Code(literalCodes.at(symbol), literalLengths.at(symbol));
  }
  void Distance(BitWriter& writer, int code) const {
    writer.Code(distanceCodes.at(code), distanceLengths.at(code));
  }
};

// Writes the HLIT/HDIST/HCLEN fields and the HCLEN 3-bit lengths.
inline void CodeLengthHeader(BitWriter& writer, int hlit, int hdist, const int (&clLengths)[19]) {
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  int hclen = 19;
  while (hclen > 4 && clLengths[order[hclen - 1]] == 0) --hclen;
  writer.Bits(static_cast<uint32_t>(hlit - 257), 5);
  writer.Bits(static_cast<uint32_t>(hdist - 1), 5);
  writer.Bits(static_cast<uint32_t>(hclen - 4), 4);
  for (int i = 0; i < hclen; ++i) writer.Bits(static_cast<uint32_t>(clLengths[order[i]]), 3);
}

inline DynamicCodes DynamicHeader(BitWriter& writer, bool final, const std::vector<int>& literal,
                                  const std::vector<int>& distance) {
  writer.Header(final, 2);
  int cl[19] = {};
  for (int s = 0; s < 16; ++s) cl[s] = 4;
  CodeLengthHeader(writer, static_cast<int>(literal.size()), static_cast<int>(distance.size()), cl);
  for (int length : literal) writer.Code(static_cast<uint32_t>(length), 4);
  for (int length : distance) writer.Code(static_cast<uint32_t>(length), 4);
  return DynamicCodes{literal, distance, CanonicalCodes(literal), CanonicalCodes(distance)};
}

// Test inputs.
inline Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(n);
  for (auto& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

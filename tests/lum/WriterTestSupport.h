// What the PNG and JNG writer tests share: records of every writable format,
// the chunks of a written file, and checks of single chunks.
#pragma once

#include <string>
#include <vector>

#include "TgaBmpTestSupport.h"

// A record of format whose samples follow a smooth pattern with a little
// noise, so that JPEG keeps them close and deflate still has work to do.
RecordPixels PatternRecord(int format, int width, int height, unsigned seed = 1);

struct ParsedChunk {
  std::string type;
  Bytes data;
  bool crcGood = false;
};

// The chunks after an 8-byte signature; stops at the end or at a chunk that
// runs past it (marked by a type "<cut>").
std::vector<ParsedChunk> ParseChunks(const Bytes& file);
std::vector<std::string> TypesOf(const std::vector<ParsedChunk>& chunks);

// The raw inflate of a zlib stream with zlib; false when zlib refuses it.
bool ZlibInflate(const Bytes& stream, Bytes& out);

uint32_t BigEndian32At(const Bytes& bytes, size_t at);

// libmng's decode of a JNG as 8-bit RGBA; false when libmng refuses it.
bool DecodeWithLibmng(const Bytes& file, int& width, int& height, Bytes& rgba);

// What the PNG reader's tests share: files built by hand chunk by chunk,
// libpng as the independent encoder and decoder, the pixels a decode must
// give worked out sample by sample, and our reader run in services of the
// test's own with channel 7 recorded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ImageReadSupport.h"
#include "lum/Image/LLoader_Image_PNG.h"

Bytes ReadFile(const std::string& path);

// An image as PNG stores it: rows in file layout (packed samples, 16-bit
// samples big-endian), de-interlaced, with the palette as RGB triples.
struct RawPng {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitDepth = 8;
  int colorType = 2;
  int interlace = 0;
  std::vector<Bytes> rows;
  Bytes palette;
};

// Channels per pixel of a colour type.
int ChannelsOf(int colorType);
size_t RowBytesOf(const RawPng& image);

// Random samples (palette indices within the palette) and, for the palette
// type, a random palette of 2^depth entries.
RawPng RandomImage(uint32_t width, uint32_t height, int colorType, int bitDepth, uint32_t seed);

// libpng's encoding with every row filtered by filter (PNG_FILTER_NONE ...
// PNG_FILTER_PAETH, or PNG_ALL_FILTERS to let libpng choose per row).
Bytes EncodeWithLibpng(const RawPng& image, int filters);

// libpng's decoding without transformations; false when libpng refuses.
bool DecodeWithLibpng(const Bytes& file, RawPng& image, std::string* error = nullptr);

// The record pixels our reader must give for an image: each sample turned
// into the record's layout, palette indices beyond the palette black.
Bytes ExpectedPixels(const RawPng& image);
int ExpectedFormat(int colorType, int bitDepth);

// Chunk by chunk.
Bytes Chunk(const char* type, const Bytes& data);
Bytes HeaderChunk(uint32_t width, uint32_t height, int bitDepth, int colorType, int interlace = 0);
Bytes ZlibStream(const Bytes& raw);
Bytes PngFile(const std::vector<Bytes>& chunks);
// Filter byte 0 before every row of a non-interlaced image.
Bytes UnfilteredData(const RawPng& image);
void AppendBigEndian32(Bytes& bytes, uint32_t value);

// Runs Read (or ReadInfo) on file in fresh services and reports what it did.
Decoded DecodeOurs(const Bytes& file, const char* name = "image.png", bool infoOnly = false);


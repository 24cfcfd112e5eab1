#include "PngTestSupport.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "kor/CoreServices/Implementations/UMessageChannel.h"

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

int ChannelsOf(int colorType) {
  switch (colorType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

size_t RowBytesOf(const RawPng& image) {
  return (static_cast<size_t>(image.width) * ChannelsOf(image.colorType) * image.bitDepth + 7) / 8;
}

RawPng RandomImage(uint32_t width, uint32_t height, int colorType, int bitDepth, uint32_t seed) {
  std::mt19937 random(seed);
  RawPng image;
  image.width = width;
  image.height = height;
  image.colorType = colorType;
  image.bitDepth = bitDepth;
  // Smooth rows with noise: the filters then have something to predict.
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row(RowBytesOf(image));
    for (size_t i = 0; i < row.size(); ++i)
      row[i] = static_cast<unsigned char>((i * 7 + y * 3) + random() % 16);
    image.rows.push_back(row);
  }
  if (colorType == 3) {
    image.palette.resize(3u << bitDepth);
    for (unsigned char& value : image.palette) value = static_cast<unsigned char>(random());
  }
  return image;
}

// ---------------------------------------------------------------------------
// libpng

namespace {

struct MemoryReader {
  const Bytes* file;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep to, png_size_t size) {
  MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (size > reader->file->size() - reader->at) png_error(png, "read past the end");
  std::memcpy(to, reader->file->data() + reader->at, size);
  reader->at += size;
}

void WriteToMemory(png_structp png, png_bytep from, png_size_t size) {
  Bytes* file = static_cast<Bytes*>(png_get_io_ptr(png));
  file->insert(file->end(), from, from + size);
}

void FlushNothing(png_structp) {}

void Quiet(png_structp, png_const_charp) {}

void Fail(png_structp png, png_const_charp message) {
  std::string* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error) *error = message;
  png_longjmp(png, 1);
}

}  // namespace

Bytes EncodeWithLibpng(const RawPng& image, int filters) {
  Bytes file;
  std::vector<png_bytep> rows;
  for (const Bytes& row : image.rows) rows.push_back(const_cast<png_bytep>(row.data()));
  std::string error;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, Fail, Quiet);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return Bytes();
  }
  png_set_write_fn(png, &file, WriteToMemory, FlushNothing);
  png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colorType, image.interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < image.palette.size(); i += 3)
    palette.push_back(png_color{image.palette[i], image.palette[i + 1], image.palette[i + 2]});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return file;
}

bool DecodeWithLibpng(const Bytes& file, RawPng& image, std::string* error) {
  image = RawPng();
  std::vector<png_bytep> rows;
  MemoryReader reader{&file, 0};
  std::string message;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, Fail, Quiet);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (error) *error = message;
    return false;
  }
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);
  image.width = png_get_image_width(png, info);
  image.height = png_get_image_height(png, info);
  image.bitDepth = png_get_bit_depth(png, info);
  image.colorType = png_get_color_type(png, info);
  image.interlace = png_get_interlace_type(png, info);
  png_colorp palette = nullptr;
  int entries = 0;
  if (png_get_PLTE(png, info, &palette, &entries) & PNG_INFO_PLTE)
    for (int i = 0; i < entries; ++i) {
      image.palette.push_back(palette[i].red);
      image.palette.push_back(palette[i].green);
      image.palette.push_back(palette[i].blue);
    }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  image.rows.assign(image.height, Bytes(png_get_rowbytes(png, info)));
  for (Bytes& row : image.rows) rows.push_back(row.data());
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// ---------------------------------------------------------------------------
// The expected pixels

namespace {

unsigned Sample(const Bytes& row, size_t index, int depth) {
  if (depth == 16) return (row[2 * index] << 8) | row[2 * index + 1];
  if (depth == 8) return row[index];
  size_t bit = index * depth;
  return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

void Put16(Bytes& out, unsigned value) {
  uint16_t word = static_cast<uint16_t>(value);
  unsigned char bytes[2];
  std::memcpy(bytes, &word, 2);
  out.push_back(bytes[0]);
  out.push_back(bytes[1]);
}

}  // namespace

int ExpectedFormat(int colorType, int bitDepth) {
  bool wide = bitDepth == 16;
  switch (colorType) {
    case 0: return wide ? lum::TEXTURE_FORMAT_L16 : lum::TEXTURE_FORMAT_L8;
    case 2: return wide ? lum::TEXTURE_FORMAT_A16B16G16R16 : lum::TEXTURE_FORMAT_X8B8G8R8;
    case 3: return lum::TEXTURE_FORMAT_X8B8G8R8;
    case 4: return lum::TEXTURE_FORMAT_A8L8;
    case 6: return wide ? lum::TEXTURE_FORMAT_A16B16G16R16 : lum::TEXTURE_FORMAT_A8B8G8R8;
    default: return lum::TEXTURE_FORMAT_NONE;
  }
}

Bytes ExpectedPixels(const RawPng& image) {
  Bytes out;
  const int depth = image.bitDepth;
  const int channels = ChannelsOf(image.colorType);
  for (const Bytes& row : image.rows)
    for (uint32_t x = 0; x < image.width; ++x) {
      unsigned s[4] = {};
      for (int c = 0; c < channels; ++c) s[c] = Sample(row, x * channels + c, depth);
      switch (image.colorType) {
        case 0:
          if (depth == 16) Put16(out, s[0]);
          else out.push_back(static_cast<unsigned char>(s[0] * 255 / ((1u << depth) - 1)));
          break;
        case 2:
          if (depth == 16) {
            Put16(out, 65535), Put16(out, s[2]), Put16(out, s[1]), Put16(out, s[0]);
          } else {
            out.insert(out.end(), {255, static_cast<unsigned char>(s[2]), static_cast<unsigned char>(s[1]),
                                   static_cast<unsigned char>(s[0])});
          }
          break;
        case 3: {
          bool inside = 3 * s[0] + 2 < image.palette.size();
          const unsigned char* entry = inside ? &image.palette[3 * s[0]] : nullptr;
          out.insert(out.end(), {255, static_cast<unsigned char>(entry ? entry[2] : 0),
                                 static_cast<unsigned char>(entry ? entry[1] : 0),
                                 static_cast<unsigned char>(entry ? entry[0] : 0)});
          break;
        }
        case 4:
          out.push_back(static_cast<unsigned char>(depth == 16 ? s[1] / 257 : s[1]));
          out.push_back(static_cast<unsigned char>(depth == 16 ? s[0] / 257 : s[0]));
          break;
        case 6:
          if (depth == 16) {
            Put16(out, s[3]), Put16(out, s[2]), Put16(out, s[1]), Put16(out, s[0]);
          } else {
            for (int c = 3; c >= 0; --c) out.push_back(static_cast<unsigned char>(s[c]));
          }
          break;
      }
    }
  return out;
}

// ---------------------------------------------------------------------------
// Files by hand

void AppendBigEndian32(Bytes& bytes, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<unsigned char>(value >> shift));
}

Bytes Chunk(const char* type, const Bytes& data) {
  Bytes chunk;
  AppendBigEndian32(chunk, static_cast<uint32_t>(data.size()));
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
  AppendBigEndian32(chunk, static_cast<uint32_t>(crc));
  return chunk;
}

Bytes HeaderChunk(uint32_t width, uint32_t height, int bitDepth, int colorType, int interlace) {
  Bytes data;
  AppendBigEndian32(data, width);
  AppendBigEndian32(data, height);
  data.insert(data.end(), {static_cast<unsigned char>(bitDepth), static_cast<unsigned char>(colorType), 0, 0,
                           static_cast<unsigned char>(interlace)});
  return Chunk("IHDR", data);
}

Bytes ZlibStream(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes stream(size);
  compress2(stream.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
  stream.resize(size);
  return stream;
}

Bytes PngFile(const std::vector<Bytes>& chunks) {
  Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Bytes& chunk : chunks) file.insert(file.end(), chunk.begin(), chunk.end());
  return file;
}

Bytes UnfilteredData(const RawPng& image) {
  Bytes data;
  for (const Bytes& row : image.rows) {
    data.push_back(0);
    data.insert(data.end(), row.begin(), row.end());
  }
  return data;
}

// ---------------------------------------------------------------------------
// Our reader

Decoded DecodeOurs(const Bytes& file, const char* name, bool infoOnly) {
  lum::LLoader_Image_PNG loader;
  return DecodeWith(loader, file, name, infoOnly);
}


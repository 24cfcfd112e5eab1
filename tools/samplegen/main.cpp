// samplegen: draws the demo picture (a shaded ring on a transparent
// background) and writes it as a JNG file: the colour as a baseline JPEG
// stream, the alpha as deflated 8-bit grey samples. It uses libjpeg and zlib
// directly so that the sample does not depend on the writer it demonstrates.
//   samplegen OUT.jng [WIDTH HEIGHT]
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

void PutU32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  PutU32(out, static_cast<uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutU32(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

struct Picture {
  int width, height;
  Bytes rgb, alpha;
};

// A ring whose colour turns with the angle and whose edges fade out.
Picture Draw(int width, int height) {
  Picture picture{width, height, Bytes(static_cast<size_t>(width) * height * 3),
                  Bytes(static_cast<size_t>(width) * height)};
  const double cx = width / 2.0, cy = height / 2.0, outer = std::min(cx, cy) * 0.95;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double dx = x + 0.5 - cx, dy = y + 0.5 - cy, r = std::sqrt(dx * dx + dy * dy) / outer;
      double angle = std::atan2(dy, dx);
      size_t i = static_cast<size_t>(y) * width + x;
      for (int c = 0; c < 3; ++c)
        picture.rgb[3 * i + c] = static_cast<unsigned char>(
            127.5 + 127.5 * std::cos(angle + c * 2.0944) * (0.6 + 0.4 * r));
      double ring = 1.0 - std::fabs(r - 0.7) / 0.3;  // 1 on the ring's middle, 0 at its edges
      picture.alpha[i] = static_cast<unsigned char>(ring <= 0 ? 0 : std::min(255.0, 255.0 * ring * 1.5));
    }
  return picture;
}

Bytes EncodeJpeg(const Picture& picture) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = picture.width;
  cinfo.image_height = picture.height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(&picture.rgb[cinfo.next_scanline * picture.width * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes jpeg(buffer, buffer + size);
  std::free(buffer);
  return jpeg;
}

// Alpha rows with filter type 0, zlib-wrapped.
Bytes DeflateAlpha(const Picture& picture) {
  Bytes rows;
  for (int y = 0; y < picture.height; ++y) {
    rows.push_back(0);
    rows.insert(rows.end(), picture.alpha.begin() + static_cast<long>(y) * picture.width,
                picture.alpha.begin() + static_cast<long>(y + 1) * picture.width);
  }
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  Bytes packed(size);
  compress2(packed.data(), &size, rows.data(), static_cast<uLong>(rows.size()), 9);
  packed.resize(size);
  return packed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: samplegen OUT.jng [WIDTH HEIGHT]\n");
    return 2;
  }
  int width = argc == 4 ? std::atoi(argv[2]) : 256;
  int height = argc == 4 ? std::atoi(argv[3]) : 256;
  Picture picture = Draw(width, height);

  Bytes file = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes jhdr;
  PutU32(jhdr, width);
  PutU32(jhdr, height);
  // Colour with alpha, 8-bit samples, baseline, deflated 8-bit alpha.
  jhdr.insert(jhdr.end(), {14, 8, 8, 0, 8, 0, 0, 0});
  PutChunk(file, "JHDR", jhdr);
  PutChunk(file, "IDAT", DeflateAlpha(picture));
  PutChunk(file, "JDAT", EncodeJpeg(picture));
  PutChunk(file, "IEND", Bytes());

  FILE* out = std::fopen(argv[1], "wb");
  if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
    std::fprintf(stderr, "samplegen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

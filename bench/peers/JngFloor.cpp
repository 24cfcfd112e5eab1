// jngfloor FILE: the least a program that loads a JNG file as an RGBA image
// must do. It reads the file, joins its colour stream and has libjpeg decode
// it straight into one RGBA buffer of the whole image, touched only by the
// decoder; the alpha channel is left out. Whole-process timings of a JNG
// load are set against this (scripts/bench-host.sh).
#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>  // after <cstdio>: it uses FILE and size_t

#include "../JngColourStream.h"
#include "WholeFile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: jngfloor FILE\n");
    return 2;
  }
  std::vector<unsigned char> file;
  JngColourStream colour;
  if (!ReadWholeFile(argv[1], file)) {
    std::fprintf(stderr, "jngfloor: cannot read %s\n", argv[1]);
    return 1;
  }
  if (!FindJngColourStream(file, colour)) {
    std::fprintf(stderr, "jngfloor: %s: no JNG colour stream\n", argv[1]);
    return 1;
  }
  // libjpeg's default error handler reports and exits: enough for a probe.
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, colour.jpeg.data(), colour.jpeg.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&info);
  size_t stride = size_t(info.output_width) * 4;
  // Left uninitialised: the decoder's writes are the only touch.
  std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * info.output_height]);
  std::vector<JSAMPROW> rows(info.output_height);
  for (JDIMENSION y = 0; y < info.output_height; ++y) rows[y] = pixels.get() + y * stride;
  while (info.output_scanline < info.output_height)
    jpeg_read_scanlines(&info, rows.data() + info.output_scanline, info.output_height - info.output_scanline);
  jpeg_finish_decompress(&info);
  std::printf("%s: %ux%u, first pixel %02x%02x%02x%02x\n", argv[1], info.output_width, info.output_height,
              pixels[0], pixels[1], pixels[2], pixels[3]);
  jpeg_destroy_decompress(&info);
  return 0;
}

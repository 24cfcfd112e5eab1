// JngDecode: our JNG reader beside libmng reading the same file, and beside
// libjpeg decoding the file's colour stream alone (the floor: a JNG read
// cannot beat the JPEG decode inside it). Inputs: the test data's JNG files
// and large JNG files built here, with and without alpha. Throughput counts
// the decoded image at four bytes per pixel for all three.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <libmng.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchInputs.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/Image/LLoader_Image_JNG.h"

namespace {

struct JngInput {
  std::string name;
  Bytes file;
  Bytes colourStream;  // the JDAT data, concatenated
  int width = 0;
  int height = 0;
};

uint32_t BigEndian32(const unsigned char* bytes) {
  return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
}

// The JDAT data up to JSEP or IEND, and the size from JHDR.
void TakeApart(JngInput& input) {
  for (size_t at = 8; at + 12 <= input.file.size();) {
    uint32_t length = BigEndian32(&input.file[at]);
    std::string type(input.file.begin() + at + 4, input.file.begin() + at + 8);
    const unsigned char* data = &input.file[at + 8];
    if (type == "JHDR") input.width = int(BigEndian32(data)), input.height = int(BigEndian32(data + 4));
    if (type == "JDAT") input.colourStream.insert(input.colourStream.end(), data, data + length);
    if (type == "JSEP" || type == "IEND") break;
    at += 12 + size_t(length);
  }
}

// ---------------------------------------------------------------------------
// Large files built chunk by chunk

void PutBigEndian32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutChunk(Bytes& file, const char* type, const unsigned char* data, size_t length) {
  size_t start = file.size();
  PutBigEndian32(file, uint32_t(length));
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data, data + length);
  PutBigEndian32(file, uint32_t(crc32(0, file.data() + start + 4, uInt(length + 4))));
}

// Large streams go into chunks of 32 KiB, as writers commonly split them.
void PutChunks(Bytes& file, const char* type, const Bytes& data) {
  for (size_t at = 0; at < data.size(); at += 32768)
    PutChunk(file, type, data.data() + at, std::min<size_t>(32768, data.size() - at));
}

Bytes EncodeJpeg(const Bytes& pixels, int width, int height, int components, int quality) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&info, &out, &outSize);
  info.image_width = width;
  info.image_height = height;
  info.input_components = components;
  info.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&pixels[size_t(info.next_scanline) * width * components]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  Bytes result(out, out + outSize);
  jpeg_destroy_compress(&info);
  std::free(out);
  return result;
}

// A photograph-like picture: smooth waves with a little noise.
Bytes Picture(int width, int height) {
  Bytes pixels(size_t(width) * height * 3);
  uint32_t noise = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &pixels[(size_t(y) * width + x) * 3];
      for (int c = 0; c < 3; ++c) {
        noise = noise * 1664525u + 1013904223u;
        double wave = std::sin(x * (0.011 + 0.004 * c) + y * 0.007) * std::cos(y * (0.013 - 0.003 * c));
        p[c] = static_cast<unsigned char>(std::clamp(128.0 + 100.0 * wave + double(noise >> 28), 0.0, 255.0));
      }
    }
  return pixels;
}

// A soft vignette: what an alpha channel usually looks like.
Bytes AlphaMask(int width, int height) {
  Bytes alpha(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double dx = (x - width / 2.0) / width, dy = (y - height / 2.0) / height;
      alpha[size_t(y) * width + x] = static_cast<unsigned char>(std::clamp(400.0 - 1200.0 * (dx * dx + dy * dy), 0.0, 255.0));
    }
  return alpha;
}

Bytes DeflatedRows(const Bytes& alpha, int width, int height) {
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), alpha.begin() + size_t(y) * width, alpha.begin() + size_t(y + 1) * width);
  }
  uLongf size = compressBound(uLong(raw.size()));
  Bytes deflated(size);
  compress2(deflated.data(), &size, raw.data(), uLong(raw.size()), 6);
  deflated.resize(size);
  return deflated;
}

// alphaCompression: -1 none, 0 deflated rows (IDAT), 8 a JPEG stream (JDAA).
JngInput LargeJng(const std::string& name, int width, int height, int alphaCompression) {
  Bytes file = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes header;
  PutBigEndian32(header, uint32_t(width));
  PutBigEndian32(header, uint32_t(height));
  unsigned char colorType = alphaCompression < 0 ? 10 : 14;
  unsigned char method = alphaCompression < 0 ? 0 : static_cast<unsigned char>(alphaCompression);
  unsigned char alphaDepth = alphaCompression < 0 ? 0 : 8;
  header.insert(header.end(), {colorType, 8, 8, 0, alphaDepth, method, 0, 0});
  PutChunk(file, "JHDR", header.data(), header.size());
  if (alphaCompression == 0) PutChunks(file, "IDAT", DeflatedRows(AlphaMask(width, height), width, height));
  if (alphaCompression == 8) PutChunks(file, "JDAA", EncodeJpeg(AlphaMask(width, height), width, height, 1, 90));
  PutChunks(file, "JDAT", EncodeJpeg(Picture(width, height), width, height, 3, 85));
  PutChunk(file, "IEND", nullptr, 0);
  JngInput input;
  input.name = name;
  input.file = file;
  TakeApart(input);
  return input;
}

const std::vector<JngInput>& Inputs() {
  static const std::vector<JngInput> inputs = [] {
    std::vector<JngInput> all;
    std::string folder = std::string(LUM_TESTDATA_DIR) + "/imagemagick/jng";
    if (std::filesystem::exists(folder)) {
      std::vector<std::string> paths;
      for (const auto& entry : std::filesystem::directory_iterator(folder)) paths.push_back(entry.path().string());
      std::sort(paths.begin(), paths.end());
      for (const std::string& path : paths) {
        std::ifstream stream(path, std::ios::binary);
        JngInput input;
        input.name = std::filesystem::path(path).stem().string();
        input.file.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
        TakeApart(input);
        all.push_back(input);
      }
    }
    all.push_back(LargeJng("large-rgb", 2048, 1536, -1));
    all.push_back(LargeJng("large-rgb-idat", 2048, 1536, 0));
    all.push_back(LargeJng("large-rgb-jdaa", 2048, 1536, 8));
    return all;
  }();
  return inputs;
}

void SetThroughput(benchmark::State& state, const JngInput* input) {
  state.SetBytesProcessed(int64_t(state.iterations()) * input->width * input->height * 4);
}

// ---------------------------------------------------------------------------
// The three readers

void DecodeOurs(benchmark::State& state, const JngInput* input) {
  lum::LLoader_Image_JNG loader;
  for (auto _ : state) {
    kor::UStream_Memory stream(input->file.data(), input->file.size());
    lum::LData_Image image;
    if (!loader.Read(stream, image, nullptr)) state.SkipWithError("Read failed");
    benchmark::DoNotOptimize(image.imageData->pixels);
  }
  SetThroughput(state, input);
}

// libjpeg with its default settings on the colour stream alone, into a
// buffer kept across iterations.
void DecodeLibjpeg(benchmark::State& state, const JngInput* input) {
  Bytes pixels(size_t(input->width) * input->height * 4);
  for (auto _ : state) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, input->colourStream.data(), input->colourStream.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    size_t stride = size_t(info.output_width) * info.output_components;
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = pixels.data() + info.output_scanline * stride;
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(pixels.data());
  }
  SetThroughput(state, input);
}

struct MngSession {
  const Bytes* file;
  size_t position;
  Bytes canvas;
  uint32_t width;
  std::string error;
};

MngSession& SessionOf(mng_handle handle) { return *static_cast<MngSession*>(mng_get_userdata(handle)); }

mng_ptr MNG_DECL MngAlloc(mng_size_t size) { return std::calloc(1, size); }
void MNG_DECL MngFree(mng_ptr block, mng_size_t) { std::free(block); }
mng_bool MNG_DECL MngOpen(mng_handle) { return MNG_TRUE; }
mng_bool MNG_DECL MngClose(mng_handle) { return MNG_TRUE; }
mng_bool MNG_DECL MngRead(mng_handle handle, mng_ptr buffer, mng_uint32 size, mng_uint32p read) {
  MngSession& session = SessionOf(handle);
  size_t left = session.file->size() - session.position;
  *read = mng_uint32(std::min<size_t>(size, left));
  std::memcpy(buffer, session.file->data() + session.position, *read);
  session.position += *read;
  return MNG_TRUE;
}
mng_bool MNG_DECL MngHeader(mng_handle handle, mng_uint32 width, mng_uint32 height) {
  MngSession& session = SessionOf(handle);
  session.width = width;
  session.canvas.resize(size_t(width) * height * 4);
  return MNG_TRUE;
}
mng_ptr MNG_DECL MngLine(mng_handle handle, mng_uint32 line) {
  MngSession& session = SessionOf(handle);
  return session.canvas.data() + size_t(line) * session.width * 4;
}
mng_bool MNG_DECL MngRefresh(mng_handle, mng_uint32, mng_uint32, mng_uint32, mng_uint32) { return MNG_TRUE; }
mng_uint32 MNG_DECL MngTicks(mng_handle) { return 0; }
mng_bool MNG_DECL MngTimer(mng_handle, mng_uint32) { return MNG_TRUE; }
mng_bool MNG_DECL MngError(mng_handle handle, mng_int32 code, mng_int8, mng_chunkid, mng_uint32, mng_int32, mng_int32,
                           mng_pchar text) {
  SessionOf(handle).error = "libmng error " + std::to_string(code) + ": " + (text ? text : "");
  return MNG_FALSE;
}

// libmng reading and displaying the file onto an RGBA canvas.
bool MngDecode(MngSession& session) {
  mng_handle handle = mng_initialize(&session, MngAlloc, MngFree, MNG_NULL);
  if (handle == MNG_NULL) return false;
  mng_setcb_errorproc(handle, MngError);
  mng_setcb_openstream(handle, MngOpen);
  mng_setcb_closestream(handle, MngClose);
  mng_setcb_readdata(handle, MngRead);
  mng_setcb_processheader(handle, MngHeader);
  mng_setcb_getcanvasline(handle, MngLine);
  mng_setcb_refresh(handle, MngRefresh);
  mng_setcb_gettickcount(handle, MngTicks);
  mng_setcb_settimer(handle, MngTimer);
  mng_set_canvasstyle(handle, MNG_CANVAS_RGBA8);
  mng_set_doprogressive(handle, MNG_FALSE);
  mng_retcode status = mng_readdisplay(handle);
  // libmng pauses while it shows a large image and after showing it, as
  // between animation frames; the clock stands still, so each pause ends at once.
  for (int pause = 0; status == MNG_NEEDTIMERWAIT && pause < 100000; ++pause) status = mng_display_resume(handle);
  mng_cleanup(&handle);
  if (status != MNG_NOERROR && session.error.empty()) session.error = "libmng status " + std::to_string(status);
  return status == MNG_NOERROR && !session.canvas.empty();
}

void DecodeLibmng(benchmark::State& state, const JngInput* input) {
  MngSession session{&input->file, 0, Bytes(), 0, std::string()};
  for (auto _ : state) {
    session.position = 0;
    if (!MngDecode(session)) {
      state.SkipWithError(session.error.empty() ? "libmng refuses this file" : session.error.c_str());
      break;
    }
    benchmark::DoNotOptimize(session.canvas.data());
  }
  SetThroughput(state, input);
}

void Register(const BenchInputs&) {
  for (const JngInput& input : Inputs()) {
    benchmark::RegisterBenchmark(("JngDecode/ours/" + input.name).c_str(), DecodeOurs, &input);
    benchmark::RegisterBenchmark(("JngDecode/libmng/" + input.name).c_str(), DecodeLibmng, &input);
    benchmark::RegisterBenchmark(("JngDecode/libjpeg/" + input.name).c_str(), DecodeLibjpeg, &input);
  }
}

const BenchRegistrar registrar(Register);

}  // namespace

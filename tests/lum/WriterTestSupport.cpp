#include "WriterTestSupport.h"

#include <libmng.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include <random>

#include "lum/LData_Image.h"

namespace {

// Rises to 251 and falls back, without the jump of a wrapping byte (which
// JPEG blurs far beyond its usual error).
int Triangle(int value) {
  int phase = value % 502;
  return phase <= 251 ? phase : 502 - phase;
}

}  // namespace

RecordPixels PatternRecord(int format, int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  int pixelBytes = lum::LData_Image::BytesPerPixel(format);
  RecordPixels record{format, width, height, Bytes()};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int b = 0; b < pixelBytes; ++b)
        record.pixels.push_back(static_cast<unsigned char>(Triangle(x * 6 + y * 4 + b * 50) + random() % 4));
  return record;
}

uint32_t BigEndian32At(const Bytes& bytes, size_t at) {
  return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) | (uint32_t(bytes[at + 2]) << 8) |
         bytes[at + 3];
}

std::vector<ParsedChunk> ParseChunks(const Bytes& file) {
  std::vector<ParsedChunk> chunks;
  size_t at = 8;
  while (at + 12 <= file.size()) {
    uint32_t length = BigEndian32At(file, at);
    if (length > file.size() - at - 12) {
      chunks.push_back({"<cut>", Bytes(), false});
      break;
    }
    ParsedChunk chunk;
    chunk.type.assign(file.begin() + at + 4, file.begin() + at + 8);
    chunk.data.assign(file.begin() + at + 8, file.begin() + at + 8 + length);
    uLong crc = crc32(0, file.data() + at + 4, 4 + length);
    chunk.crcGood = crc == BigEndian32At(file, at + 8 + length);
    chunks.push_back(chunk);
    at += 12 + length;
  }
  return chunks;
}

std::vector<std::string> TypesOf(const std::vector<ParsedChunk>& chunks) {
  std::vector<std::string> types;
  for (const ParsedChunk& chunk : chunks) types.push_back(chunk.type);
  return types;
}

bool ZlibInflate(const Bytes& stream, Bytes& out) {
  z_stream z = {};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  out.clear();
  unsigned char buffer[4096];
  int status;
  do {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    status = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
  } while (status == Z_OK);
  inflateEnd(&z);
  return status == Z_STREAM_END && z.avail_in == 0;
}

// ---------------------------------------------------------------------------
// libmng as an independent JNG decoder: it reads through callbacks and draws
// into a canvas of ours.

namespace {

struct MngSession {
  const Bytes* file;
  size_t at = 0;
  int width = 0;
  int height = 0;
  Bytes canvas;
  bool failed = false;
};

MngSession& SessionOf(mng_handle handle) { return *static_cast<MngSession*>(mng_get_userdata(handle)); }

mng_ptr MNG_DECL Allocate(mng_size_t length) { return std::calloc(1, length); }
void MNG_DECL Free(mng_ptr block, mng_size_t) { std::free(block); }
mng_bool MNG_DECL OpenStream(mng_handle) { return MNG_TRUE; }
mng_bool MNG_DECL CloseStream(mng_handle) { return MNG_TRUE; }

mng_bool MNG_DECL ReadData(mng_handle handle, mng_ptr buffer, mng_uint32 length, mng_uint32p read) {
  MngSession& session = SessionOf(handle);
  size_t left = session.file->size() - session.at;
  size_t count = length < left ? length : left;
  std::memcpy(buffer, session.file->data() + session.at, count);
  session.at += count;
  *read = static_cast<mng_uint32>(count);
  return MNG_TRUE;
}

mng_bool MNG_DECL ProcessHeader(mng_handle handle, mng_uint32 width, mng_uint32 height) {
  MngSession& session = SessionOf(handle);
  session.width = static_cast<int>(width);
  session.height = static_cast<int>(height);
  session.canvas.assign(size_t(width) * height * 4, 0);
  return mng_set_canvasstyle(handle, MNG_CANVAS_RGBA8) == MNG_NOERROR ? MNG_TRUE : MNG_FALSE;
}

mng_ptr MNG_DECL CanvasLine(mng_handle handle, mng_uint32 line) {
  MngSession& session = SessionOf(handle);
  return session.canvas.data() + size_t(line) * session.width * 4;
}

mng_bool MNG_DECL Refresh(mng_handle, mng_uint32, mng_uint32, mng_uint32, mng_uint32) { return MNG_TRUE; }
mng_uint32 MNG_DECL TickCount(mng_handle) { return 0; }
mng_bool MNG_DECL SetTimer(mng_handle, mng_uint32) { return MNG_TRUE; }

mng_bool MNG_DECL Error(mng_handle handle, mng_int32, mng_int8, mng_chunkid, mng_uint32, mng_int32, mng_int32,
                        mng_pchar) {
  SessionOf(handle).failed = true;
  return MNG_FALSE;
}

}  // namespace

bool DecodeWithLibmng(const Bytes& file, int& width, int& height, Bytes& rgba) {
  MngSession session;
  session.file = &file;
  mng_handle handle = mng_initialize(&session, &Allocate, &Free, MNG_NULL);
  if (handle == MNG_NULL) return false;
  mng_setcb_errorproc(handle, &Error);
  mng_setcb_openstream(handle, &OpenStream);
  mng_setcb_closestream(handle, &CloseStream);
  mng_setcb_readdata(handle, &ReadData);
  mng_setcb_processheader(handle, &ProcessHeader);
  mng_setcb_getcanvasline(handle, &CanvasLine);
  mng_setcb_refresh(handle, &Refresh);
  mng_setcb_gettickcount(handle, &TickCount);
  mng_setcb_settimer(handle, &SetTimer);
  // A still image may still ask for its frame's delay; the drawing is done.
  mng_retcode status = mng_readdisplay(handle);
  for (int turn = 0; status == MNG_NEEDTIMERWAIT && turn < 16; ++turn) status = mng_display_resume(handle);
  mng_cleanup(&handle);
  if (session.failed || status != MNG_NOERROR || session.width == 0) return false;
  width = session.width;
  height = session.height;
  rgba = session.canvas;
  return true;
}

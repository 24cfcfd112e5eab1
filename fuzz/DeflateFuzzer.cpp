// Compress on arbitrary bytes: the stream must inflate back to them with our
// decoder and with zlib, and stay within the room of stored blocks.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kor/Utils/UCompressor.h"

namespace {

bool ZlibInflate(const unsigned char* data, size_t size, std::vector<unsigned char>& out,
                 size_t expected) {
  z_stream z;
  std::memset(&z, 0, sizeof(z));
  if (inflateInit2(&z, -15) != Z_OK) return false;
  out.resize(expected + 1);
  z.next_in = const_cast<unsigned char*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int status = inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return status == Z_STREAM_END && z.avail_in == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kor::UArray<unsigned char> input(static_cast<int>(size));
  if (size) std::memcpy(input.GetData(), data, size);
  kor::UArray<unsigned char> stream;
  bool ok = kor::Compress(input, stream);
  if (ok != (size > 0)) std::abort();
  if (!ok) return 0;
  if (stream.GetNum() > static_cast<int>(size + 5 * (size / 32768) + 5)) std::abort();

  kor::UArray<unsigned char> output;
  {
    kor::DecompressorPolicy_Deflate policy;
    if (!kor::Decompress(stream, policy, output)) std::abort();
  }
  if (static_cast<size_t>(output.GetNum()) != size ||
      std::memcmp(output.GetData(), data, size) != 0)
    std::abort();

  std::vector<unsigned char> viaZlib;
  if (!ZlibInflate(stream.GetData(), static_cast<size_t>(stream.GetNum()), viaZlib, size) ||
      viaZlib.size() != size || std::memcmp(viaZlib.data(), data, size) != 0)
    std::abort();
  return 0;
}

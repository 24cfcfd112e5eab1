// Decompress on arbitrary bytes: it must stay inside its buffers, never
// throw, agree with zlib on every stream zlib accepts, and with a limit give
// the same bytes cut at the limit.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kor/Utils/UCompressor.h"

namespace {

// zlib's raw inflate of data, or false when zlib refuses it.
bool ZlibInflate(const uint8_t* data, size_t size, std::vector<unsigned char>& out) {
  z_stream z;
  std::memset(&z, 0, sizeof(z));
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = static_cast<uInt>(size);
  unsigned char buffer[16384];
  int status;
  do {
    z.next_out = buffer;
    z.avail_out = sizeof(buffer);
    status = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof(buffer) - z.avail_out));
  } while (status == Z_OK && out.size() < (64u << 20));
  inflateEnd(&z);
  return status == Z_STREAM_END;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kor::UArray<unsigned char> input(static_cast<int>(size));
  if (size) std::memcpy(input.GetData(), data, size);
  kor::UArray<unsigned char> output;
  bool ok;
  {
    kor::DecompressorPolicy_Deflate policy;
    ok = kor::Decompress(input, policy, output);
  }
  if (output.GetNum() < 0 || output.GetNum() > output.GetMax()) std::abort();

  // With a limit the output is what the unlimited decode gives, cut there.
  int limit = size ? data[0] * 97 : 0;
  kor::UArray<unsigned char> limited;
  kor::InflateResult result;
  {
    kor::DecompressorPolicy_Deflate policy;
    result = kor::DecompressAtMost(input, policy, limited, limit);
  }
  if (limited.GetMax() > limit || limited.GetNum() > output.GetNum() ||
      (limited.GetNum() && std::memcmp(limited.GetData(), output.GetData(), limited.GetNum()) != 0))
    std::abort();
  if (ok && output.GetNum() <= limit && (result != kor::INFLATE_COMPLETE || limited.GetNum() != output.GetNum()))
    std::abort();
  if (output.GetNum() > limit && (result != kor::INFLATE_FULL || limited.GetNum() != limit)) std::abort();

  std::vector<unsigned char> expected;
  if (ZlibInflate(data, size, expected)) {
    // Every stream zlib accepts is valid deflate: ours must decode it alike.
    if (!ok || expected.size() != static_cast<size_t>(output.GetNum()) ||
        (!expected.empty() && std::memcmp(expected.data(), output.GetData(), expected.size()) != 0))
      std::abort();
  }
  return 0;
}

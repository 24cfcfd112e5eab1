// Inflate: our decoder, zlib's inflate and libdeflate on the same raw
// deflate streams, each told the original size and keeping its output
// buffer across iterations. Ours creates its policy per call and is given
// the original size as its limit, as its callers are.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#include <memory>

#include "BenchInputs.h"
#include "kor/Utils/UCompressor.h"

namespace {

void InflateOurs(benchmark::State& state, const DeflatedInput* input) {
  kor::UArray<unsigned char> stream(static_cast<int>(input->stream.size()));
  std::memcpy(stream.GetData(), input->stream.data(), input->stream.size());
  kor::UArray<unsigned char> output;
  const int size = static_cast<int>(input->original->data.size());
  for (auto _ : state) {
    kor::DecompressorPolicy_Deflate policy;
    if (kor::DecompressAtMost(stream, policy, output, size) != kor::INFLATE_COMPLETE)
      state.SkipWithError("DecompressAtMost failed");
    benchmark::DoNotOptimize(output.GetData());
  }
  if (static_cast<size_t>(output.GetNum()) != input->original->data.size() ||
      std::memcmp(output.GetData(), input->original->data.data(), input->original->data.size()) != 0)
    state.SkipWithError("output differs from the original");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input->original->data.size()));
}

void InflateZlib(benchmark::State& state, const DeflatedInput* input) {
  z_stream z;
  std::memset(&z, 0, sizeof(z));
  inflateInit2(&z, -15);
  Bytes output(input->original->data.size());
  for (auto _ : state) {
    inflateReset(&z);
    z.next_in = const_cast<unsigned char*>(input->stream.data());
    z.avail_in = static_cast<uInt>(input->stream.size());
    z.next_out = output.data();
    z.avail_out = static_cast<uInt>(output.size());
    if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(output.data());
  }
  inflateEnd(&z);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(output.size()));
}

void InflateLibdeflate(benchmark::State& state, const DeflatedInput* input) {
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  Bytes output(input->original->data.size());
  for (auto _ : state) {
    size_t produced = 0;
    if (libdeflate_deflate_decompress(decompressor, input->stream.data(), input->stream.size(),
                                      output.data(), output.size(), &produced) != LIBDEFLATE_SUCCESS)
      state.SkipWithError("libdeflate failed");
    benchmark::DoNotOptimize(output.data());
  }
  libdeflate_free_decompressor(decompressor);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(output.size()));
}

void Register(const BenchInputs& inputs) {
  for (const DeflatedInput& input : inputs.deflated) {
    benchmark::RegisterBenchmark(("Inflate/ours/" + input.name).c_str(), InflateOurs, &input);
    benchmark::RegisterBenchmark(("Inflate/zlib/" + input.name).c_str(), InflateZlib, &input);
    benchmark::RegisterBenchmark(("Inflate/libdeflate/" + input.name).c_str(), InflateLibdeflate, &input);
  }
}

const BenchRegistrar registrar(Register);

}  // namespace

// CRC-32 and Adler-32: ours, zlib's and libdeflate's over the same bytes.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include "BenchInputs.h"
#include "kor/Utils/UCompressor.h"

namespace {

template <class Checksum>
void Run(benchmark::State& state, const BenchInput* input, Checksum checksum) {
  const unsigned char* data = input->data.data();
  const unsigned length = static_cast<unsigned>(input->data.size());
  for (auto _ : state) benchmark::DoNotOptimize(checksum(data, length));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}

void Register(const BenchInputs& inputs) {
  for (const BenchInput& in : inputs.raw) {
    const BenchInput* input = &in;
    benchmark::RegisterBenchmark(("Crc32/ours/" + in.name).c_str(), [input](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return kor::UpdateCrc32(0, p, n); });
    });
    benchmark::RegisterBenchmark(("Crc32/zlib/" + in.name).c_str(), [input](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return crc32(0, p, n); });
    });
    benchmark::RegisterBenchmark(("Crc32/libdeflate/" + in.name).c_str(), [input](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return libdeflate_crc32(0, p, n); });
    });
    benchmark::RegisterBenchmark(("Adler32/ours/" + in.name).c_str(), [input](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return kor::ComputeAdler32(p, n); });
    });
    benchmark::RegisterBenchmark(("Adler32/zlib/" + in.name).c_str(), [input](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return adler32(1, p, n); });
    });
    benchmark::RegisterBenchmark(("Adler32/libdeflate/" + in.name).c_str(), [input](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return libdeflate_adler32(1, p, n); });
    });
  }
}

const BenchRegistrar registrar(Register);

}  // namespace

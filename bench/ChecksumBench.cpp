// CRC-32 and Adler-32: ours, zlib's and libdeflate's over the same bytes.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <string>

#include "BenchInputs.h"
#include "kor/Utils/UCompressor.h"

namespace {

// length 0 sums the whole input.
template <class Checksum>
void Run(benchmark::State& state, const BenchInput* input, Checksum checksum, unsigned length = 0) {
  const unsigned char* data = input->data.data();
  if (length == 0) length = static_cast<unsigned>(input->data.size());
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

// The short ranges PNG chunks and small zlib streams hand over, where the
// set-up and the last bytes weigh as much as the wide steps.
void RegisterShort(const BenchInputs& inputs) {
  if (inputs.raw.empty()) return;
  const BenchInput* input = &inputs.raw.front();
  for (unsigned length : {256u, 4096u}) {
    if (input->data.size() < length) continue;
    const std::string suffix = "/" + input->name + "-" + std::to_string(length);
    benchmark::RegisterBenchmark(("Crc32/ours" + suffix).c_str(), [input, length](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return kor::UpdateCrc32(0, p, n); }, length);
    });
    benchmark::RegisterBenchmark(("Crc32/libdeflate" + suffix).c_str(), [input, length](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return libdeflate_crc32(0, p, n); }, length);
    });
    benchmark::RegisterBenchmark(("Adler32/ours" + suffix).c_str(), [input, length](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return kor::ComputeAdler32(p, n); }, length);
    });
    benchmark::RegisterBenchmark(("Adler32/libdeflate" + suffix).c_str(), [input, length](benchmark::State& s) {
      Run(s, input, [](const unsigned char* p, unsigned n) { return libdeflate_adler32(1, p, n); }, length);
    });
  }
}

const BenchRegistrar registrar(Register);
const BenchRegistrar shortRegistrar(RegisterShort);

}  // namespace

// Deflate: our encoder beside zlib's deflate at level 6 (raw) on the same
// inputs, each with the size of what it wrote as the counter bytes_out, so
// that a run shows both the throughput and the size ratios. zlib keeps its
// state and output buffer across iterations; ours sizes its output per call,
// as its callers do.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>

#include "BenchInputs.h"
#include "kor/Utils/UCompressor.h"

namespace {

void DeflateOurs(benchmark::State& state, const BenchInput* input) {
  kor::UArray<unsigned char> data(static_cast<int>(input->data.size()));
  std::memcpy(data.GetData(), input->data.data(), input->data.size());
  kor::UArray<unsigned char> output;
  for (auto _ : state) {
    if (!kor::Compress(data, output)) state.SkipWithError("Compress failed");
    benchmark::DoNotOptimize(output.GetData());
  }
  state.counters["bytes_out"] = static_cast<double>(output.GetNum());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(input->data.size()));
}

void DeflateZlib(benchmark::State& state, const BenchInput* input) {
  z_stream z;
  std::memset(&z, 0, sizeof(z));
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes output(deflateBound(&z, static_cast<uLong>(input->data.size())));
  size_t written = 0;
  for (auto _ : state) {
    deflateReset(&z);
    z.next_in = const_cast<unsigned char*>(input->data.data());
    z.avail_in = static_cast<uInt>(input->data.size());
    z.next_out = output.data();
    z.avail_out = static_cast<uInt>(output.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("deflate failed");
    written = z.total_out;
    benchmark::DoNotOptimize(output.data());
  }
  deflateEnd(&z);
  state.counters["bytes_out"] = static_cast<double>(written);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(input->data.size()));
}

void Register(const BenchInputs& inputs) {
  for (const BenchInput& input : inputs.raw) {
    benchmark::RegisterBenchmark(("Deflate/ours/" + input.name).c_str(), DeflateOurs, &input);
    benchmark::RegisterBenchmark(("Deflate/zlib/" + input.name).c_str(), DeflateZlib, &input);
  }
}

const BenchRegistrar registrar(Register);

}  // namespace

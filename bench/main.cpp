// lumbench: our implementations beside the peer libraries, in one run.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "BenchInputs.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const BenchInputs& inputs = GetBenchInputs();
  for (const BenchInput& input : inputs.raw)
    std::fprintf(stderr, "input %s: %zu bytes\n", input.name.c_str(), input.data.size());
  for (const DeflatedInput& input : inputs.deflated)
    std::fprintf(stderr, "input %s: %zu -> %zu bytes\n", input.name.c_str(), input.original->data.size(),
                 input.stream.size());
  RunBenchRegistrations(inputs);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

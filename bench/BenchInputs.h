// The inputs every benchmark shares, built once per run, and the hook by
// which each benchmark file registers its cases.
//
// Benchmarks are named <Operation>/<implementation>/<input>, the
// implementation being "ours" or the peer's name, so that the JSON output of
// any run reads as ratios (scripts/bench-ratios.py).
#pragma once

#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

struct BenchInput {
  std::string name;  // "text", "pixels", "alpha16"
  Bytes data;
};

// One input deflated (raw, zlib level `level`).
struct DeflatedInput {
  std::string name;  // "text-l6"
  int level;
  const BenchInput* original;
  Bytes stream;
};

struct BenchInputs {
  std::vector<BenchInput> raw;
  std::vector<BenchInput> inflateOnly;  // originals of deflated inputs only
  std::vector<DeflatedInput> deflated;
};

// Builds the inputs: the project's own sources concatenated, and the pixel
// data (decompressed image data) of the largest PNG files of the test data,
// each deflated at levels 1, 6 and 9; and the rows of a large 16-bit alpha
// channel, deflated at level 6 as PNG writers do, for inflate alone.
const BenchInputs& GetBenchInputs();

typedef void (*BenchRegistration)(const BenchInputs&);

// A file's static BenchRegistrar adds its cases when the run starts.
struct BenchRegistrar {
  explicit BenchRegistrar(BenchRegistration registration);
};

void RunBenchRegistrations(const BenchInputs& inputs);

// stb_image, the peer of several decode benchmarks, built once for the
// formats they compare (PNG, GIF, BMP, TGA).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "BenchInputs.h"

// Whether stb_image decodes file, with channels samples per pixel (0: as
// the file stores them); its size when it does.
bool StbDecodes(const Bytes& file, int channels, int& width, int& height);

// One benchmark case: stb_image decoding file afresh each iteration, each
// decode counted as bytesPerDecode bytes processed.
void BenchmarkStbDecode(benchmark::State& state, const Bytes& file, int channels, int64_t bytesPerDecode);

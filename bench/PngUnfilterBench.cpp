// PngUnfilter: restoring PNG rows of each filter type and pixel step in
// place, beside memcpy of the same bytes (the speed of the memory). The row
// set is 256 rows of 4096 bytes of random data, each row filtered against
// the one above; restoring it again and again changes the bytes, not the
// work. "ours" restores one row at a time, "ours-rows" the whole set in one
// call, as the decoder does, each row after its filter-type byte.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "BenchInputs.h"
#include "lum/Image/LPngFilter.h"

namespace {

const size_t ROW_BYTES = 4096;
const size_t ROWS = 256;

Bytes RandomRows() {
  std::mt19937 random(3);
  Bytes rows(ROW_BYTES * ROWS);
  for (unsigned char& byte : rows) byte = static_cast<unsigned char>(random());
  return rows;
}

void Unfilter(benchmark::State& state, int filterType, size_t bpp) {
  Bytes rows = RandomRows();
  for (auto _ : state) {
    for (size_t y = 1; y < ROWS; ++y)
      lum::UnfilterPngRow(filterType, &rows[y * ROW_BYTES], &rows[(y - 1) * ROW_BYTES], ROW_BYTES, bpp);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (ROWS - 1) * ROW_BYTES));
}

void UnfilterRows(benchmark::State& state, int filterType, size_t bpp) {
  const size_t stride = ROW_BYTES + 1;
  Bytes rows = RandomRows();
  rows.resize(ROWS * stride);
  for (size_t y = 0; y < ROWS; ++y) rows[y * stride] = static_cast<unsigned char>(filterType);
  for (auto _ : state) {
    lum::UnfilterPngRows(&rows[stride], &rows[1], ROWS - 1, ROW_BYTES, stride, bpp);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (ROWS - 1) * ROW_BYTES));
}

void Copy(benchmark::State& state) {
  Bytes from = RandomRows();
  Bytes to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data() + ROW_BYTES, (ROWS - 1) * ROW_BYTES);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (ROWS - 1) * ROW_BYTES));
}

void Register(const BenchInputs&) {
  const struct {
    const char* name;
    int type;
  } filters[] = {{"sub", lum::ROW_FILTER_SUB},
                 {"up", lum::ROW_FILTER_UP},
                 {"average", lum::ROW_FILTER_AVERAGE},
                 {"paeth", lum::ROW_FILTER_PAETH}};
  for (const auto& filter : filters)
    for (size_t bpp : {1, 2, 3, 4, 6, 8}) {
      std::string input = std::string(filter.name) + "-bpp" + std::to_string(bpp);
      int type = filter.type;
      benchmark::RegisterBenchmark(("PngUnfilter/ours/" + input).c_str(),
                                   [type, bpp](benchmark::State& s) { Unfilter(s, type, bpp); });
      benchmark::RegisterBenchmark(("PngUnfilter/ours-rows/" + input).c_str(),
                                   [type, bpp](benchmark::State& s) { UnfilterRows(s, type, bpp); });
      benchmark::RegisterBenchmark(("PngUnfilter/memcpy/" + input).c_str(), Copy);
    }
}

const BenchRegistrar registrar(Register);

}  // namespace

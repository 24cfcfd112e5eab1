// A pass over an image's rows shared by two threads, for passes bound by
// memory, which one core alone does not keep busy.
#pragma once

#include <cstddef>
#include <system_error>
#include <thread>

namespace lum {

// Passes over fewer pixels are not worth starting a thread for.
const size_t TWO_HALVES_PIXELS = size_t(1) << 20;

// Runs work(first, end) over the rows from begin to end: the later half on
// a second thread while this one takes the earlier half, or all of them
// here when the system gives no thread. work must not raise.
template <class Work>
void RunInTwoHalves(int begin, int end, Work work) {
  int middle = begin + (end - begin) / 2;
  std::thread second;
  try {
    second = std::thread(work, middle, end);
  } catch (const std::system_error&) {
    middle = end;
  }
  work(begin, middle);
  if (second.joinable()) second.join();
}

}  // namespace lum

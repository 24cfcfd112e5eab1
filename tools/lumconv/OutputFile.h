// Every file lumconv writes is written whole or not at all: a failure part
// way (a full disk, memory running out) leaves what was there untouched and
// no partial file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kor/CoreServices/Implementations/UFileReplacement.h"
#include "kor/CoreServices/Interfaces/IFileSystem.h"

// Hands write a stream on a new file beside path and puts the file in place
// when write returns true and every byte reached it; otherwise false with a
// message in error.
template <class Writer>
bool WriteOutputFile(kor::IFileSystem& files, const std::string& path, Writer write,
                     std::string& error) {
  kor::UFileReplacement output(files, kor::UString(path.c_str()));
  bool written = output.GetStream() != nullptr && write(*output.GetStream()) && output.Commit();
  if (!written && error.empty()) error = "cannot write " + path;
  return written;
}

// Writes size bytes in pieces a single transfer can take; false when any
// piece comes back short.
inline bool WriteBytes(kor::IOutputStream& stream, const void* bytes, size_t size) {
  const size_t piece = size_t(1) << 24;
  const unsigned char* next = static_cast<const unsigned char*>(bytes);
  for (size_t left = size; left > 0;) {
    size_t count = left < piece ? left : piece;
    if (stream.Serialize(next, count) != count) return false;
    next += count;
    left -= count;
  }
  return true;
}

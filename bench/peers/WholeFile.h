// The peer programs read their input whole, as the host's reader does: in
// one read of the file's size, so that reading costs them no more than it
// must (a floor that read byte by byte would flatter what is set against it).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

inline bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bool read = std::fseek(file, 0, SEEK_END) == 0;
  long size = read ? std::ftell(file) : -1;
  read = size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (read) {
    bytes.resize(static_cast<size_t>(size));
    read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  std::fclose(file);
  return read;
}

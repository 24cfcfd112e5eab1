// The peer programs read their input whole, as the host's reader does.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

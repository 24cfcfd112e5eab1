// libmng reading a whole JNG or MNG file from memory and displaying it onto
// an RGBA canvas of 8 bits per sample: the peer of the JNG benchmarks, in
// process (lumbench) and as a program of its own (bench/peers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MngSession {
  const std::vector<unsigned char>* file = nullptr;
  size_t position = 0;  // how far libmng has read file
  std::vector<unsigned char> canvas;  // rows of width x 4 bytes, top first
  uint32_t width = 0;
  uint32_t height = 0;
  std::string error;
};

// Reads session.file from the start into session.canvas; false, with
// session.error saying why, when libmng refuses the file or fails.
bool MngDecode(MngSession& session);

// The colour stream of a JNG file: the data of its JDAT chunks joined, as a
// JPEG decoder takes it, and the image size from JHDR. The JNG benchmarks'
// floor decodes it alone: a JNG read cannot beat the JPEG decode inside it.
// The alpha stream beside it, where the file has one, is kept for the floor
// of a read with alpha.
#pragma once

#include <vector>

struct JngColourStream {
  std::vector<unsigned char> jpeg;
  int width = 0;
  int height = 0;
  // The data of the IDAT chunks (a zlib stream of PNG rows) or of the JDAA
  // chunks (a JPEG stream) joined; empty without alpha.
  std::vector<unsigned char> alpha;
  bool alphaIsJpeg = false;
};

// Walks file's chunks up to JSEP or IEND; false when file has no JHDR or
// JDAT, or a chunk runs past its end.
bool FindJngColourStream(const std::vector<unsigned char>& file, JngColourStream& colour);

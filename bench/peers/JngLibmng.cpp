// jnglibmng FILE: libmng reading a JNG (or MNG) file and displaying it onto
// an RGBA canvas of the whole image, as a program that loads it would.
// Whole-process timings of a JNG load are set against this
// (scripts/bench-host.sh).
#include <cstdio>
#include <vector>

#include "../MngDecode.h"
#include "WholeFile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: jnglibmng FILE\n");
    return 2;
  }
  std::vector<unsigned char> file;
  if (!ReadWholeFile(argv[1], file)) {
    std::fprintf(stderr, "jnglibmng: cannot read %s\n", argv[1]);
    return 1;
  }
  MngSession session;
  session.file = &file;
  if (!MngDecode(session)) {
    std::fprintf(stderr, "jnglibmng: %s: %s\n", argv[1], session.error.c_str());
    return 1;
  }
  const unsigned char* first = session.canvas.data();
  std::printf("%s: %ux%u, first pixel %02x%02x%02x%02x\n", argv[1], session.width, session.height, first[0], first[1],
              first[2], first[3]);
  return 0;
}

// One image file read from memory by one loader: the loader must stay
// inside its buffers, answer with true or false only (or raise the one
// error it is allowed), and hand back every pixel whenever it says true.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/LData_Image.h"
#include "lum/LLoader.h"

// Where the sum of the pixels goes, so that reading them is not optimised away.
inline volatile unsigned& ImageFuzzSink() {
  static volatile unsigned sink = 0;
  return sink;
}

struct ImageFuzzRules {
  // A text that the message of a raised error may contain (libjpeg's
  // failure, say); null when nothing may be raised.
  const char* allowedError = nullptr;
  // True when a success without pixels is legal for this input, as it is
  // for a file that declares no image data.
  bool mayHaveNoPixels = false;
};

inline int ReadImageForFuzzing(lum::LLoader_Image& loader, const uint8_t* data, size_t size,
                               const ImageFuzzRules& rules = ImageFuzzRules()) {
  kor::UStream_Memory stream(data, size);
  lum::LData_Image image;
  try {
    if (!loader.Read(stream, image, nullptr)) return 0;
  } catch (const kor::ErrorDescription& error) {
    if (rules.allowedError == nullptr || std::strstr(error.GetMessage(), rules.allowedError) == nullptr) std::abort();
    return 0;
  }
  const lum::LData_ImagePart* part = image.imageData;
  if (part == nullptr) std::abort();
  size_t bytes = size_t(part->width) * size_t(part->height) * size_t(lum::LData_Image::BytesPerPixel(image.format));
  if (part->pixels == nullptr) {
    if (bytes > 0 && !rules.mayHaveNoPixels) std::abort();
    return 0;
  }
  // Touching every byte lets the sanitizers see a buffer that is short.
  unsigned sum = 0;
  for (size_t i = 0; i < bytes; ++i) sum += part->pixels[i];
  ImageFuzzSink() = sum;
  return 0;
}

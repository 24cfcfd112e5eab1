// The bridge between image records and libjpeg: a JPEG stream held in
// memory decodes into a record, and a record encodes into a JPEG stream held
// in a growing byte array. The JPEG loader is a thin layer on top; the JNG
// loader uses the bridge for its colour stream and a JPEG-coded alpha.
//
// libjpeg is C, so no C++ exception may cross its frames. Its error exit
// jumps back into the bridge, which destroys the libjpeg object and only
// then raises the error: "Error during JPEG decompression", for compression
// too.
#pragma once

#include <cstddef>

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/Utils/UArray.h"
#include "lum/LData_Image.h"
#include "lum/LImageSaveOptions.h"

struct jpeg_common_struct;
struct jpeg_decompress_struct;

namespace lum {

class LLoader_Image_JPG_Base {
 public:
  // A libjpeg decompression object with the bridge's error manager, alive
  // from construction to destruction. Kept behind a pointer so that
  // libjpeg's headers and macros stay out of every file that includes this.
  class Decompressor {
   public:
    Decompressor();
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // libjpeg's own object, for callers that include libjpeg themselves.
    jpeg_decompress_struct& Get();

    // Opaque outside the bridge: the object with its error manager and source.
    struct State;
    State& GetState() { return *m_state; }

   private:
    State* m_state;
  };

  // Reads the JPEG header of buffer and gives the record an image part of
  // the output size (replacing any part it had) and the format:
  // TEXTURE_FORMAT_L8 for grey, TEXTURE_FORMAT_A8B8G8R8 for four components,
  // TEXTURE_FORMAT_X8B8G8R8 otherwise. The buffer must outlive the
  // decompressor's use of it. True, or raises libjpeg's error.
  static bool ReadJpegHeader(const unsigned char* buffer, size_t length, Decompressor& decompressor,
                             LData_Image& image);

  // Told about the rows of an image as they become ready, while they are
  // still in the cache.
  class RowListener {
   public:
    virtual ~RowListener() {}
    virtual void RowsReady(int firstRow, int rowCount) = 0;
  };

  // Decodes the whole stream into the record: L8 one byte per pixel;
  // X8B8G8R8 as 255, blue, green, red; four-component streams as libjpeg
  // delivers them. Rows that truncated data never delivered are black. True,
  // or raises libjpeg's error.
  static bool DecodeJpeg(const unsigned char* buffer, size_t length, LData_Image& image);

  // The decoding half of DecodeJpeg, after ReadJpegHeader has given the
  // record its part and format: allocates the pixels and fills them,
  // telling listener (when there is one) about every batch of rows.
  static bool DecodePixels(Decompressor& decompressor, LData_Image& image, RowListener* listener);

  // Encodes a TEXTURE_FORMAT_X8B8G8R8 record as RGB or a one-byte record as
  // grey into output, which afterwards holds exactly the stream. The quality
  // comes from options.compression; set texts go into one COM marker. True,
  // or raises libjpeg's error.
  static bool EncodeJpeg(LData_Image& image, kor::UArray<unsigned char>& output, const LImageSaveOptions& options);

  // The whole rest of the stream with one read, as the JPEG-based loaders
  // take their input. False when the remainder is too large for one read or
  // the stream delivers fewer bytes than it announced.
  static bool ReadRemainder(kor::IInputStream& stream, kor::UArray<unsigned char>& buffer);

  // libjpeg's error exit: records the error and returns control to the
  // bridge step that was running.
  static void IJG_ErrorAndAbort(jpeg_common_struct* info);
};

}  // namespace lum

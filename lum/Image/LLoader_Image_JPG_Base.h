// The bridge between image records and the JPEG library: a JPEG stream held
// in memory decodes into a record, and a record encodes into a JPEG stream
// held in a byte array. The JPEG loader is a thin layer on top; the JNG
// loader uses the bridge for its colour stream and a JPEG-coded alpha.
//
// The library is TurboJPEG, which keeps its JPEG code to itself and exports
// only its own versioned functions: the plug-in never binds to a JPEG
// library the host process loaded, and never offers its own to the host.
// It decodes with the accurate integer transform and smooth upsampling.
// Every error the library reports is raised as "Error during JPEG
// decompression", for compression too.
#pragma once

#include <cstddef>

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/Utils/UArray.h"
#include "kor/Utils/UBaseString.h"
#include "lum/LData_Image.h"
#include "lum/LImageSaveOptions.h"

namespace lum {

class LLoader_Image_JPG_Base {
 public:
  // A decompression in progress: the library's handle, the stream and what
  // its markers told, alive from construction to destruction. Warnings about
  // the stream name streamName. A handle every call succeeded on is kept
  // for the next decompression, on whichever thread it comes.
  class Decompressor {
   public:
    // With a handleOwner, which must outlive it, it decodes with that one's
    // library handle: two streams decoded one after the other need only one
    // handle (making one costs about 2% of decoding a 70 x 46 grey image).
    // The library starts every stream afresh, so nothing of one stream
    // reaches the next; the two must not be in use at the same time.
    explicit Decompressor(const kor::UString& streamName = kor::UString(), Decompressor* handleOwner = nullptr);
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Opaque outside the bridge.
    struct State;
    State& GetState() { return *m_state; }

   private:
    State* m_state;
  };

  // Reads the JPEG header of buffer and gives the record an image part of
  // the output size (replacing any part it had) and the format:
  // TEXTURE_FORMAT_L8 for grey, TEXTURE_FORMAT_A8B8G8R8 for four components,
  // TEXTURE_FORMAT_X8B8G8R8 otherwise. A stream whose scan data is too short
  // to code one bit for each of the blocks it claims is refused here, before
  // anything is allocated for its size. The buffer must outlive the
  // decompressor's use of it. True, or raises the bridge's error.
  static bool ReadJpegHeader(const unsigned char* buffer, size_t length, Decompressor& decompressor,
                             LData_Image& image);

  // Told about the rows of an image once they are decoded.
  class RowListener {
   public:
    virtual ~RowListener() {}
    virtual void RowsReady(int firstRow, int rowCount) = 0;
  };

  // Decodes the whole stream into the record: L8 one byte per pixel;
  // X8B8G8R8 as 255, blue, green, red; four-component streams as the
  // library delivers them. A stream that ends early keeps the rows decoded
  // before its end, and the rows it never delivered are black; a stream the
  // library finds damaged is decoded as far as it goes. Either gives a
  // warning naming streamName. True, or raises the bridge's error.
  static bool DecodeJpeg(const unsigned char* buffer, size_t length, LData_Image& image,
                         const kor::UString& streamName = kor::UString());

  // The decoding half of DecodeJpeg, after ReadJpegHeader has given the
  // record its part and format: allocates the pixels and fills them, then
  // tells listener (when there is one) about every row.
  static bool DecodePixels(Decompressor& decompressor, LData_Image& image, RowListener* listener);

  // Encodes a TEXTURE_FORMAT_X8B8G8R8 record as colour (4:2:0) or a
  // one-byte record as grey into output, which afterwards holds exactly the
  // stream. The quality comes from options.compression; set texts go into
  // one COM marker after the JFIF header. True, or raises the bridge's
  // error.
  static bool EncodeJpeg(LData_Image& image, kor::UArray<unsigned char>& output, const LImageSaveOptions& options);

  // The whole rest of the stream with one read, as the JPEG-based loaders
  // take their input. False when the remainder is too large for one read or
  // the stream delivers fewer bytes than it announced.
  static bool ReadRemainder(kor::IInputStream& stream, kor::UArray<unsigned char>& buffer);
};

}  // namespace lum

// The PNG image loader. Reading interprets IHDR, PLTE, IDAT and IEND and
// skips every other chunk (transparency, gamma and text included); only the
// IHDR CRC is checked. The pieces of the read are public because the JNG
// decoder reads its deflate-coded alpha channel through DecodeImageData.
#pragma once

#include "kor/Utils/UArray.h"
#include "kor/Utils/UBaseString.h"
#include "lum/Image/LPngHeader.h"
#include "lum/LLoader.h"

namespace lum {

class LLoader_Image_PNG : public LLoader_Image {
 public:
  // The header only: the record gets its format and an image part of the
  // header's size, without pixels. Options are not used.
  bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The whole image. Options are not used.
  bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // Signature, IHDR, tEXt when a text is set, one IDAT, IEND (LPngWriter.h).
  // False without pixels or when any write comes back short.
  bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The 8-byte PNG signature; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int format) override;

  // Reads the signature and the IHDR chunk, checks the IHDR CRC, sets an
  // image part of the header's size as data's image data and data's format
  // from the colour type. Widths and heights beyond 2^31 - 1 are refused.
  // False after a message on channel 7.
  static bool ReadPngHeader(kor::IInputStream& stream, PngHeader& header, LData_Image& data);

  // Checks the interlace method and the zlib header of the gathered image
  // data, inflates it and fills the pixels of image, whose format and image
  // part must be set already. palette is null when there is none (the
  // indices then select black). Sizes are checked before anything is
  // allocated for them: the buffers must hold them and the data present
  // must be able to inflate to them. Inflating stops at the bytes the image
  // needs; more data draws a warning. False after a message.
  static bool DecodeImageData(const PngHeader& header, const kor::UArray<unsigned char>& data,
                              const kor::UString& name, const PngPalette* palette, LData_Image& image);

  // Unfilters the inflated data in place, de-interlaces it and unpacks the
  // samples into image's pixels. Only pixels inside image's part are
  // written; those the header's size does not reach are zero. False,
  // writing nothing, when the colour type and depth do not exist, the
  // record's pixel size does not match them or data is shorter than the
  // image needs.
  static bool ReconstructImage(LData_Image& image, const PngHeader& header, kor::UArray<unsigned char>& data,
                               const PngPalette* palette);
};

}  // namespace lum

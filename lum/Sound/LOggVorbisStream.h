// One Vorbis stream read from an Ogg stream through libogg and libvorbis:
// the three header packets, then either a scan of the remaining pages for
// the length or the decode of the audio packets into 16-bit samples. Every
// failure has given its message (on the stream's name) when false comes
// back.
#pragma once

#include <cstdint>

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include "kor/CoreServices/Interfaces/IInputStream.h"

namespace lum {

class LOggVorbisStream {
 public:
  explicit LOggVorbisStream(kor::IInputStream& stream);
  LOggVorbisStream(const LOggVorbisStream&) = delete;
  LOggVorbisStream& operator=(const LOggVorbisStream&) = delete;
  ~LOggVorbisStream();

  // Reads from the stream position up to the end of the third header.
  bool ReadHeaders();
  // The pages up to the one marked end-of-stream; the frame count is the
  // last granule position read, which must be one the audio packets can
  // reach.
  bool ScanFrames(uint32_t& frameCount);
  // Decodes the audio packets into frameCount interleaved frames of 16-bit
  // little-endian samples; frames beyond them are dropped, frames the
  // stream lacks stay as they are.
  void Decode(unsigned char* samples, uint32_t frameCount);

  int Channels() const { return m_info.channels; }
  long Rate() const { return m_info.rate; }

 private:
  // Hands the next read of the stream to the sync layer; its byte count.
  uint64_t Feed();
  // The next whole page, feeding as needed; false when the stream has no
  // more bytes. A gap in the pages gives pageError and is stepped over.
  bool NextPage(ogg_page& page, const char* pageError);
  bool TakeFirstPage();
  bool TakeFirstHeader();
  bool TakeOtherHeaders();
  void Refuse(const char* end);
  // Converts the PCM that synthesis holds, in batches.
  void TakePcm(unsigned char* samples, uint32_t frameCount, uint64_t& framesDone);

  kor::IInputStream& m_stream;
  ogg_sync_state m_sync;
  ogg_stream_state m_logical;
  vorbis_info m_info;
  vorbis_comment m_comment;
  vorbis_dsp_state m_dsp;
  vorbis_block m_block;
  bool m_logicalMade;
  bool m_synthesisMade;
  uint64_t m_firstRead;
};

}  // namespace lum

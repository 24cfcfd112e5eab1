#include "lum/Sound/LOggVorbisStream.h"

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "lum/Sound/LSoundMessage.h"

namespace lum {

namespace {

const long READ_SIZE = 4096;
// PCM is converted in batches of this many samples over all channels.
const int BATCH_SAMPLES = 4096;

// Scales, truncates toward zero and clamps; true when clamped.
bool ToSample16(float value, int& sample) {
  double scaled = value * 32767.0;
  if (scaled >= 32768.0) {
    sample = 32767;
    return true;
  }
  if (scaled <= -32769.0) {
    sample = -32768;
    return true;
  }
  // A NaN from a broken stream would make the conversion undefined.
  sample = scaled == scaled ? static_cast<int>(scaled) : 0;
  return false;
}

}  // namespace

LOggVorbisStream::LOggVorbisStream(kor::IInputStream& stream)
    : m_stream(stream), m_logicalMade(false), m_synthesisMade(false), m_firstRead(0) {
  ogg_sync_init(&m_sync);
  vorbis_info_init(&m_info);
  vorbis_comment_init(&m_comment);
}

LOggVorbisStream::~LOggVorbisStream() {
  if (m_synthesisMade) {
    vorbis_block_clear(&m_block);
    vorbis_dsp_clear(&m_dsp);
  }
  vorbis_comment_clear(&m_comment);
  vorbis_info_clear(&m_info);
  if (m_logicalMade) ogg_stream_clear(&m_logical);
  ogg_sync_clear(&m_sync);
}

void LOggVorbisStream::Refuse(const char* end) { ReportAboutSound("Can't handle stream \"", m_stream.GetName(), end); }

uint64_t LOggVorbisStream::Feed() {
  char* buffer = ogg_sync_buffer(&m_sync, READ_SIZE);
  if (buffer == nullptr) return 0;
  uint64_t got = m_stream.Serialize(buffer, READ_SIZE);
  ogg_sync_wrote(&m_sync, static_cast<long>(got));
  return got;
}

bool LOggVorbisStream::TakeFirstPage() {
  m_firstRead = Feed();
  ogg_page page;
  // Bytes before the first page are stepped over, within the first read.
  int pageResult = ogg_sync_pageout(&m_sync, &page);
  while (pageResult < 0) pageResult = ogg_sync_pageout(&m_sync, &page);
  if (pageResult != 1) {
    // Too short to hold a page is no stream of ours, and not worth a word.
    if (m_firstRead >= static_cast<uint64_t>(READ_SIZE)) Refuse("\". It isn't an ogg stream.");
    return false;
  }
  ogg_stream_init(&m_logical, ogg_page_serialno(&page));
  m_logicalMade = true;
  if (ogg_stream_pagein(&m_logical, &page) < 0) {
    Refuse("\". It is corrupt.");
    return false;
  }
  return true;
}

bool LOggVorbisStream::TakeFirstHeader() {
  ogg_packet packet;
  if (ogg_stream_packetout(&m_logical, &packet) != 1 || vorbis_synthesis_headerin(&m_info, &m_comment, &packet) < 0) {
    Refuse("\". It is corrupt.");
    return false;
  }
  return true;
}

bool LOggVorbisStream::TakeOtherHeaders() {
  int headers = 1;
  while (headers < 3) {
    ogg_page page;
    int pageResult = ogg_sync_pageout(&m_sync, &page);
    if (pageResult == 0) {
      if (Feed() == 0) {
        Refuse("\". Some data is missing.");
        return false;
      }
      continue;
    }
    // A gap before the headers are complete is skipped like the sync layer does.
    if (pageResult < 0) continue;
    ogg_stream_pagein(&m_logical, &page);
    ogg_packet packet;
    while (headers < 3) {
      int packetResult = ogg_stream_packetout(&m_logical, &packet);
      if (packetResult == 0) break;
      if (packetResult < 0 || vorbis_synthesis_headerin(&m_info, &m_comment, &packet) < 0) {
        Refuse("\". Some data is corrupt or missing.");
        return false;
      }
      ++headers;
    }
  }
  return true;
}

bool LOggVorbisStream::ReadHeaders() { return TakeFirstPage() && TakeFirstHeader() && TakeOtherHeaders(); }

bool LOggVorbisStream::ScanFrames(uint32_t& frameCount) {
  int64_t granule = 0;
  uint64_t audioPackets = 0;
  bool ended = false;
  ogg_page page;
  // Audio packets may share the last header page, so the queue is emptied
  // before each page is taken.
  for (;;) {
    ogg_packet packet;
    int packetResult;
    while ((packetResult = ogg_stream_packetout(&m_logical, &packet)) != 0) {
      if (packetResult < 0) continue;
      ++audioPackets;
      if (packet.granulepos >= 0) granule = packet.granulepos;
    }
    if (ended || !NextPage(page, "\". Some data is missing.")) break;
    ogg_stream_pagein(&m_logical, &page);
    ended = ogg_page_eos(&page) != 0;
  }
  // Each audio packet yields at most half a long block: a position beyond
  // that is a claim the stream cannot back, and would size the buffer.
  uint64_t reachable = audioPackets * static_cast<uint64_t>(vorbis_info_blocksize(&m_info, 1) / 2);
  if (static_cast<uint64_t>(granule) > reachable || granule > 0xFFFFFFFF) {
    Refuse("\". It is corrupt.");
    return false;
  }
  frameCount = static_cast<uint32_t>(granule);
  return true;
}

bool LOggVorbisStream::NextPage(ogg_page& page, const char* pageError) {
  for (;;) {
    int pageResult = ogg_sync_pageout(&m_sync, &page);
    if (pageResult == 1) return true;
    if (pageResult < 0) Refuse(pageError);
    else if (Feed() == 0) return false;
  }
}

void LOggVorbisStream::TakePcm(unsigned char* samples, uint32_t frameCount, uint64_t& framesDone) {
  const int channels = m_info.channels;
  const int batch = BATCH_SAMPLES / channels;
  float** pcm = nullptr;
  int available;
  while ((available = vorbis_synthesis_pcmout(&m_dsp, &pcm)) > 0) {
    int frames = available < batch ? available : batch;
    bool clipped = false;
    for (int frame = 0; frame < frames; ++frame, ++framesDone) {
      for (int channel = 0; channel < channels; ++channel) {
        int sample = 0;
        clipped |= ToSample16(pcm[channel][frame], sample);
        if (framesDone >= frameCount) continue;
        unsigned char* out = samples + (framesDone * channels + channel) * 2;
        out[0] = static_cast<unsigned char>(sample & 0xFF);
        out[1] = static_cast<unsigned char>((sample >> 8) & 0xFF);
      }
    }
    if (clipped) {
      kor::ICoreServices* services = kor::GetCoreServices();
      kor::UMessageWriter(services ? services->GetChannel(7) : nullptr, "Clipping stream \"")
          << m_stream.GetName() << "\" in frame: " << static_cast<int64_t>(m_dsp.sequence);
    }
    vorbis_synthesis_read(&m_dsp, frames);
  }
}

void LOggVorbisStream::Decode(unsigned char* samples, uint32_t frameCount) {
  if (vorbis_synthesis_init(&m_dsp, &m_info) != 0) return;
  vorbis_block_init(&m_dsp, &m_block);
  m_synthesisMade = true;
  uint64_t framesDone = 0;
  ogg_page page;
  for (;;) {
    ogg_packet packet;
    int packetResult;
    while ((packetResult = ogg_stream_packetout(&m_logical, &packet)) != 0) {
      if (packetResult < 0) continue;
      if (vorbis_synthesis(&m_block, &packet) == 0) vorbis_synthesis_blockin(&m_dsp, &m_block);
      TakePcm(samples, frameCount, framesDone);
    }
    if (!NextPage(page, "\". Some data is corrupt or missing.")) break;
    ogg_stream_pagein(&m_logical, &page);
  }
}

}  // namespace lum

// The Ogg Vorbis loader on streams made by oggenc, checked against
// libvorbisfile's decode of the same files, and on streams that are not
// Ogg, cut short or damaged.
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "SoundTestSupport.h"
#include "lum/Sound/LLoader_Sound_OGG.h"

namespace {

// libvorbisfile's decode, scaled as the record holds it: times 32767,
// truncated toward zero, clamped, interleaved 16-bit little-endian.
struct Reference {
  int channels = 0;
  long rate = 0;
  int64_t frames = 0;
  Bytes samples;
  bool clipped = false;
};

bool DecodeWithVorbisfile(const std::string& name, Reference& reference) {
  std::string path = std::string(LUM_SOUND_FIXTURES) + "/" + name;
  OggVorbis_File file;
  if (ov_fopen(path.c_str(), &file) != 0) return false;
  vorbis_info* info = ov_info(&file, -1);
  reference.channels = info->channels;
  reference.rate = info->rate;
  reference.frames = ov_pcm_total(&file, -1);
  float** pcm = nullptr;
  int section = 0;
  long frames;
  while ((frames = ov_read_float(&file, &pcm, 1024, &section)) > 0) {
    for (long frame = 0; frame < frames; ++frame) {
      for (int channel = 0; channel < reference.channels; ++channel) {
        double scaled = std::trunc(pcm[channel][frame] * 32767.0);
        if (scaled > 32767 || scaled < -32768) reference.clipped = true;
        int sample = static_cast<int>(std::fmax(-32768.0, std::fmin(32767.0, scaled)));
        reference.samples.push_back(static_cast<unsigned char>(sample & 0xFF));
        reference.samples.push_back(static_cast<unsigned char>((sample >> 8) & 0xFF));
      }
    }
  }
  ov_clear(&file);
  return true;
}

std::string ClippingNotices(const std::string& messages) {
  std::string notices;
  for (size_t at = messages.find("WARNING: "); at != std::string::npos; at = messages.find("WARNING: ", at + 1))
    notices += messages.substr(at, messages.find("\r\n", at) + 2 - at);
  return notices;
}

void CheckAgainstVorbisfile(const char* name, int format) {
  SCOPED_TRACE(name);
  Reference reference;
  ASSERT_TRUE(DecodeWithVorbisfile(name, reference));
  lum::LLoader_Sound_OGG loader;
  Bytes file = ReadFixture(name);
  SoundRun info = RunLoader(loader, file, name, true);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(format, info.format);
  EXPECT_EQ(reference.rate, info.frequency);
  EXPECT_EQ(reference.frames, int64_t(info.frames));
  EXPECT_EQ("", info.messages);
  SoundRun read = RunLoader(loader, file, name);
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(reference.frames, int64_t(read.frames));
  EXPECT_EQ(reference.samples.size(), read.samples.size());
  EXPECT_TRUE(reference.samples == read.samples);
  EXPECT_FALSE(reference.clipped);
  EXPECT_EQ("", read.messages);
  EXPECT_EQ(0, read.blocksLeft);
}

TEST(OggLoader, DecodesAsLibvorbisfileDoes) {
  CheckAgainstVorbisfile("mono.ogg", lum::SOUND_FORMAT_MONO16);
  CheckAgainstVorbisfile("stereo.ogg", lum::SOUND_FORMAT_MULTI_CHANNEL);
}

TEST(OggLoader, ClampsAStreamBeyondFullScaleWithANoticePerBatch) {
  Reference reference;
  ASSERT_TRUE(DecodeWithVorbisfile("clipping.ogg", reference));
  ASSERT_TRUE(reference.clipped) << "the fixture no longer overshoots";
  lum::LLoader_Sound_OGG loader;
  SoundRun read = RunLoader(loader, ReadFixture("clipping.ogg"), "clipping.ogg");
  ASSERT_TRUE(read.ok);
  EXPECT_TRUE(reference.samples == read.samples);
  std::string notices = ClippingNotices(read.messages);
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(read.messages, notices);
  // Each names the packet the decoder had reached.
  const std::string start = "WARNING: Clipping stream \"clipping.ogg\" in frame: ";
  for (size_t at = 0; at < notices.size(); at = notices.find("\r\n", at) + 2) {
    ASSERT_EQ(start, notices.substr(at, start.size()));
    size_t digits = notices.find("\r\n", at) - at - start.size();
    EXPECT_GT(digits, 0u);
    EXPECT_EQ(std::string::npos, notices.substr(at + start.size(), digits).find_first_not_of("0123456789"));
  }
}

// Sets the first page's checksum again after a change to its bytes.
void ResealFirstPage(Bytes& file) {
  ogg_page page;
  page.header = file.data();
  page.header_len = 27 + file[26];
  page.body = file.data() + page.header_len;
  page.body_len = 0;
  for (int segment = 0; segment < file[26]; ++segment) page.body_len += file[27 + segment];
  ogg_page_checksum_set(&page);
}

std::string OggError(const std::string& end) { return Warning("Can't handle stream \"a.ogg\". " + end); }

TEST(OggLoader, RefusesWhatHoldsNoOggPage) {
  lum::LLoader_Sound_OGG loader;
  Bytes shortJunk(4000, 'x');
  std::memcpy(shortJunk.data(), "OggS", 4);
  for (bool infoOnly : {true, false}) {
    SoundRun quiet = RunLoader(loader, shortJunk, "a.ogg", infoOnly);
    EXPECT_FALSE(quiet.ok);
    EXPECT_EQ("", quiet.messages);
    SoundRun loud = RunLoader(loader, Bytes(5000, 'x'), "a.ogg", infoOnly);
    EXPECT_FALSE(loud.ok);
    EXPECT_EQ(OggError("It isn't an ogg stream."), loud.messages);
  }
}

TEST(OggLoader, RefusesAStreamWhoseHeadersAreCut) {
  lum::LLoader_Sound_OGG loader;
  Bytes file = ReadFixture("mono.ogg");
  // The first page holds the identification header alone; the other two
  // follow on the next pages.
  Bytes cut(file.begin(), file.begin() + 200);
  SoundRun run = RunLoader(loader, cut, "a.ogg");
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(OggError("Some data is missing."), run.messages);
  // Not Vorbis: the first page is whole, its packet is refused.
  Bytes other = file;
  other[28 + 1] = 'X';  // "vorbis" of the first packet
  ResealFirstPage(other);
  SoundRun corrupt = RunLoader(loader, other, "a.ogg");
  EXPECT_FALSE(corrupt.ok);
  EXPECT_EQ(OggError("It is corrupt."), corrupt.messages);
}

TEST(OggLoader, StepsOverJunkBetweenPagesWithAMessage) {
  lum::LLoader_Sound_OGG loader;
  Bytes file = ReadFixture("mono.ogg");
  SoundRun clean = RunLoader(loader, file, "a.ogg");
  ASSERT_TRUE(clean.ok);
  // Junk before the last page, after the headers and the first audio.
  size_t last = file.size() - 4;
  while (last > 0 && std::memcmp(&file[last], "OggS", 4) != 0) --last;
  ASSERT_GT(last, 1000u);
  Bytes junk(file.begin(), file.begin() + last);
  junk.insert(junk.end(), 50, 'j');
  junk.insert(junk.end(), file.begin() + last, file.end());
  SoundRun info = RunLoader(loader, junk, "a.ogg", true);
  EXPECT_TRUE(info.ok);
  EXPECT_EQ(clean.frames, info.frames);
  EXPECT_EQ(OggError("Some data is missing."), info.messages);
  SoundRun read = RunLoader(loader, junk, "a.ogg");
  ASSERT_TRUE(read.ok);
  EXPECT_TRUE(clean.samples == read.samples);
  EXPECT_EQ(OggError("Some data is missing.") + OggError("Some data is corrupt or missing."), read.messages);
}

TEST(OggLoader, DamagedStreamsAnswerWithoutLeavingTheirBuffers) {
  lum::LLoader_Sound_OGG loader;
  Bytes file = ReadFixture("stereo.ogg");
  for (size_t length = 0; length < file.size(); length += 97) {
    SoundRun run = RunLoader(loader, Bytes(file.begin(), file.begin() + length), "a.ogg");
    if (run.ok) {
      EXPECT_EQ(size_t(run.frames) * 4, run.samples.size());
    }
  }
  for (size_t position = 0; position < file.size(); position += 61) {
    Bytes flipped = file;
    flipped[position] ^= 0x5A;
    SoundRun run = RunLoader(loader, flipped, "a.ogg");
    if (run.ok) {
      EXPECT_EQ(size_t(run.frames) * 4, run.samples.size()) << position;
    }
  }
}

}  // namespace

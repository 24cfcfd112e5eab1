// The RIFF WAVE and AIFF loaders on files made by sox (checked against
// sox's own raw decodes of them) and on files built here: the refusals
// with their messages, the chunk walk, the rate conversion and damaged
// copies.
#include <algorithm>
#include <cstring>
#include <functional>

#include "SoundTestSupport.h"
#include "lum/Sound/LLoader_Sound_AIFF.h"
#include "lum/Sound/LLoader_Sound_OGG.h"
#include "lum/Sound/LLoader_Sound_WAV.h"

namespace {

struct Fixture {
  const char* file;
  int format;
  int frequency;
  uint32_t frames;
  bool eightBit;
};

// Frame counts as soxi reports them.
const Fixture WAVE_FIXTURES[] = {
    {"mono8.wav", lum::SOUND_FORMAT_MONO8, 8000, 400, true},
    {"stereo8.wav", lum::SOUND_FORMAT_MULTI_CHANNEL, 8000, 400, true},
    {"mono16.wav", lum::SOUND_FORMAT_MONO16, 11025, 551, false},
    {"stereo16.wav", lum::SOUND_FORMAT_MULTI_CHANNEL, 11025, 551, false},
    {"mono24.wav", lum::SOUND_FORMAT_MONO_OTHER, 22050, 1103, false},
    {"stereo24.wav", lum::SOUND_FORMAT_MULTI_CHANNEL, 22050, 1103, false},
};

const Fixture AIFF_FIXTURES[] = {
    {"mono8.aiff", lum::SOUND_FORMAT_MONO8, 8000, 400, true},
    {"stereo16.aiff", lum::SOUND_FORMAT_MULTI_CHANNEL, 11025, 551, false},
    {"mono24.aiff", lum::SOUND_FORMAT_MONO_OTHER, 22050, 1103, false},
    {"stereo24.aiff", lum::SOUND_FORMAT_MULTI_CHANNEL, 22050, 1103, false},
};

std::string ChannelNotice(const std::string& name) {
  return Warning("The file \"" + name +
                 "\" uses more than one channel. This may lead to subtle problems in a 3D environment.");
}

// sox's decode in the record's representation: 8-bit samples raised by 129.
Bytes ExpectedSamples(const Fixture& fixture) {
  Bytes raw = ReadFixture(std::string(fixture.file) + ".raw");
  if (fixture.eightBit)
    for (unsigned char& byte : raw) byte = static_cast<unsigned char>(byte + 129);
  return raw;
}

void CheckFixture(lum::LLoader_Sound& loader, const Fixture& fixture) {
  SCOPED_TRACE(fixture.file);
  Bytes file = ReadFixture(fixture.file);
  ASSERT_FALSE(file.empty()) << "fixture missing";
  std::string notice = fixture.format == lum::SOUND_FORMAT_MULTI_CHANNEL ? ChannelNotice(fixture.file) : "";
  SoundRun info = RunLoader(loader, file, fixture.file, true);
  EXPECT_TRUE(info.ok);
  EXPECT_EQ(fixture.format, info.format);
  EXPECT_EQ(fixture.frequency, info.frequency);
  EXPECT_EQ(fixture.frames, info.frames);
  EXPECT_TRUE(info.samples.empty());
  EXPECT_EQ(notice, info.messages);
  SoundRun read = RunLoader(loader, file, fixture.file);
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(fixture.frames, read.frames);
  EXPECT_EQ(ExpectedSamples(fixture), read.samples);
  EXPECT_EQ(notice, read.messages);
  if (notice.empty()) {
    EXPECT_EQ(0, read.blocksLeft);
  }
}

TEST(WavLoader, ReadsSoxFilesAtEachDepthAndLayout) {
  lum::LLoader_Sound_WAV loader;
  for (const Fixture& fixture : WAVE_FIXTURES) CheckFixture(loader, fixture);
}

TEST(AiffLoader, ReadsSoxFilesAtEachDepthAndLayout) {
  lum::LLoader_Sound_AIFF loader;
  for (const Fixture& fixture : AIFF_FIXTURES) CheckFixture(loader, fixture);
}

TEST(SoundLoaders, EachProbeAcceptsOnlyItsFormatAndLeavesTheStream) {
  lum::LLoader_Sound_AIFF aiff;
  lum::LLoader_Sound_OGG ogg;
  lum::LLoader_Sound_WAV wav;
  const char* files[] = {"mono8.wav", "stereo24.wav", "mono8.aiff", "stereo16.aiff", "mono.ogg"};
  for (const char* name : files) {
    Bytes file = ReadFixture(name);
    NamedStream stream(file, name);
    stream.SeekForward(0);
    std::string type = std::strrchr(name, '.');
    EXPECT_EQ(type == ".aiff", aiff.CanRead(stream)) << name;
    EXPECT_EQ(type == ".ogg", ogg.CanRead(stream)) << name;
    EXPECT_EQ(type == ".wav", wav.CanRead(stream)) << name;
    EXPECT_EQ(0u, stream.GetPosition()) << name;
  }
  Bytes shortFile = {'R', 'I', 'F'};
  NamedStream stream(shortFile, "short");
  EXPECT_FALSE(wav.CanRead(stream));
  EXPECT_EQ(0u, stream.GetPosition());
  EXPECT_FALSE(aiff.CanWrite(0) || ogg.CanWrite(0) || wav.CanWrite(0));
}

TEST(SoundLoaders, SitInTheTableUnderTheirKeys) {
  lum::LSoundLoaderTable& table = lum::GetSoundLoaderTable();
  EXPECT_EQ(3, table.GetNodeNum());
  EXPECT_NE(nullptr, dynamic_cast<lum::LLoader_Sound_AIFF*>(table.Get(0)));
  EXPECT_NE(nullptr, dynamic_cast<lum::LLoader_Sound_OGG*>(table.Get(1)));
  EXPECT_NE(nullptr, dynamic_cast<lum::LLoader_Sound_WAV*>(table.Get(2)));
}

// Files built here, numbers in either byte order.
class ChunkWriter {
 public:
  explicit ChunkWriter(bool bigEndian) : m_bigEndian(bigEndian) {}
  ChunkWriter& Tag(const char* tag) {
    m_bytes.insert(m_bytes.end(), tag, tag + 4);
    return *this;
  }
  ChunkWriter& Number(uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
      int shift = m_bigEndian ? 8 * (size - 1 - i) : 8 * i;
      m_bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
    return *this;
  }
  ChunkWriter& Raw(const Bytes& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }
  ChunkWriter& Chunk(const char* tag, const Bytes& body) { return Tag(tag).Number(uint32_t(body.size()), 4).Raw(body); }
  // With the pad byte that follows a body of odd size.
  ChunkWriter& PaddedChunk(const char* tag, const Bytes& body) {
    Chunk(tag, body);
    if (body.size() % 2 != 0) m_bytes.push_back(0xEE);
    return *this;
  }
  // The file header, with the size of what follows it.
  Bytes File(const char* form, const char* type) const {
    ChunkWriter file(m_bigEndian);
    file.Tag(form).Number(uint32_t(m_bytes.size() + 4), 4).Tag(type).Raw(m_bytes);
    return file.m_bytes;
  }
  Bytes Body() const { return m_bytes; }

 private:
  bool m_bigEndian;
  Bytes m_bytes;
};

struct WavFields {
  uint32_t tag = 1;
  uint32_t channels = 1;
  uint32_t rate = 8000;
  uint32_t bits = 16;
  Bytes extra;  // after the 16 bytes of the format chunk
};

Bytes WavFile(const WavFields& fields, const Bytes& data, const Bytes& before = {}) {
  ChunkWriter format(false);
  format.Number(fields.tag, 2).Number(fields.channels, 2).Number(fields.rate, 4);
  format.Number(fields.rate * fields.channels * fields.bits / 8, 4).Number(fields.channels * fields.bits / 8, 2);
  format.Number(fields.bits, 2).Raw(fields.extra);
  ChunkWriter file(false);
  file.Raw(before).Chunk("fmt ", format.Body()).Chunk("data", data);
  return file.File("RIFF", "WAVE");
}

std::string WavError(const std::string& end) { return Warning("Can't handle file \"a.wav\". " + end); }

TEST(WavLoader, RefusesWhatItDoesNotTakeWithItsMessage) {
  lum::LLoader_Sound_WAV loader;
  WavFields adpcm;
  adpcm.tag = 2;
  WavFields twelve;
  twelve.bits = 12;
  WavFields silent;
  silent.channels = 0;
  WavFields noBits;
  noBits.bits = 0;
  Bytes notWave = WavFile(WavFields(), Bytes(4));
  notWave[8] = 'X';
  Bytes zeroSize = WavFile(WavFields(), Bytes(4));
  std::memset(zeroSize.data() + 4, 0, 4);
  const std::string corrupt = WavError("Some data is missing or corrupt.");
  const struct {
    Bytes file;
    std::string message;
  } cases[] = {
      {notWave, WavError("It isn't a wav file.")},
      {zeroSize, WavError("It isn't a wav file.")},
      {Bytes{'R', 'I', 'F', 'F'}, WavError("It isn't a wav file.")},
      {WavFile(adpcm, Bytes(4)),
       WavError("There is no support for wav files which aren't in the \"MS Pulse Code Modulation (PCM)\" "
                "format. Please send in the file to get the support.")},
      {WavFile(twelve, Bytes(6)), WavError("Sample point depths which aren't a multiple of 8 are not supported.")},
      {WavFile(silent, Bytes(4)), corrupt},
      {WavFile(noBits, Bytes(4)), corrupt},
      {ChunkWriter(false).Chunk("data", Bytes(4)).File("RIFF", "WAVE"), corrupt},
  };
  for (const auto& item : cases) {
    for (bool infoOnly : {true, false}) {
      SoundRun run = RunLoader(loader, item.file, "a.wav", infoOnly);
      EXPECT_FALSE(run.ok) << item.message;
      EXPECT_EQ(item.message, run.messages);
    }
  }
}

TEST(WavLoader, RefusesAChunkLargerThanTheRestOfTheFile) {
  lum::LLoader_Sound_WAV loader;
  Bytes data = WavFile(WavFields(), Bytes(8));
  // The data chunk's size field sits just before its 8 bytes.
  size_t sizeField = data.size() - 8 - 4;
  for (uint32_t claimed : {9u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    Bytes file = data;
    for (int i = 0; i < 4; ++i) file[sizeField + i] = static_cast<unsigned char>(claimed >> (8 * i));
    SoundRun run = RunLoader(loader, file, "a.wav");
    EXPECT_FALSE(run.ok) << claimed;
    EXPECT_EQ(WavError("Some data is missing or corrupt."), run.messages);
  }
  Bytes skipped = WavFile(WavFields(), Bytes(8), ChunkWriter(false).Tag("LIST").Number(0x10000000, 4).Body());
  EXPECT_FALSE(RunLoader(loader, skipped, "a.wav").ok);
}

TEST(WavLoader, WalksPastOtherChunksAndALongerFormatChunk) {
  lum::LLoader_Sound_WAV loader;
  WavFields fields;
  fields.channels = 2;
  fields.bits = 8;
  fields.rate = 22050;
  fields.extra = {0, 0};  // the size of an empty extension
  Bytes data = {0, 127, 128, 255, 1, 2};
  SoundRun run = RunLoader(loader, WavFile(fields, data, ChunkWriter(false).Chunk("JUNK", Bytes(6)).Body()), "a.wav");
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(lum::SOUND_FORMAT_MULTI_CHANNEL, run.format);
  EXPECT_EQ(22050, run.frequency);
  EXPECT_EQ(3u, run.frames);
  EXPECT_EQ((Bytes{129, 0, 1, 128, 130, 131}), run.samples);
  EXPECT_EQ(ChannelNotice("a.wav"), run.messages);
}

TEST(WavLoader, CountsWholeFramesOnly) {
  lum::LLoader_Sound_WAV loader;
  WavFields fields;
  fields.bits = 24;
  SoundRun run = RunLoader(loader, WavFile(fields, Bytes(10)), "a.wav");
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(lum::SOUND_FORMAT_MONO_OTHER, run.format);
  EXPECT_EQ(3u, run.frames);
  EXPECT_EQ(10u, run.samples.size());
}

const unsigned char RATE_8000[10] = {0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};

struct AiffFields {
  uint32_t channels = 1;
  uint32_t bits = 16;
  Bytes rate = Bytes(RATE_8000, RATE_8000 + 10);
  uint32_t blockSize = 0;
};

Bytes AiffFile(const AiffFields& fields, const Bytes& data, const Bytes& before = {}, const Bytes& commonExtra = {}) {
  ChunkWriter common(true);
  common.Number(fields.channels, 2).Number(0, 4).Number(fields.bits, 2).Raw(fields.rate).Raw(commonExtra);
  ChunkWriter sound(true);
  sound.Number(0, 4).Number(fields.blockSize, 4).Raw(data);
  ChunkWriter file(true);
  file.Raw(before).PaddedChunk("COMM", common.Body()).Chunk("SSND", sound.Body());
  return file.File("FORM", "AIFF");
}

std::string AiffError(const std::string& end) { return Warning("Can't handle file \"a.aiff" + end); }

TEST(AiffLoader, RefusesWhatItDoesNotTakeWithItsMessage) {
  lum::LLoader_Sound_AIFF loader;
  Bytes notAiff = AiffFile(AiffFields(), Bytes(2));
  notAiff[11] = 'C';  // AIFC
  SoundRun info = RunLoader(loader, notAiff, "a.aiff", true);
  EXPECT_FALSE(info.ok);
  EXPECT_EQ(AiffError("\". Perhaps it is an unsupported aiff file or just a corrupt one."), info.messages);
  SoundRun read = RunLoader(loader, notAiff, "a.aiff");
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(AiffError("\". It isn't an aiff file."), read.messages);

  AiffFields twelve;
  twelve.bits = 12;
  SoundRun depth = RunLoader(loader, AiffFile(twelve, Bytes(4)), "a.aiff");
  EXPECT_FALSE(depth.ok);
  EXPECT_EQ(AiffError("\". Sample point depths which aren't a multiple of 8 are not supported."), depth.messages);

  AiffFields aligned;
  aligned.blockSize = 4096;
  EXPECT_TRUE(RunLoader(loader, AiffFile(aligned, Bytes(4)), "a.aiff", true).ok);
  SoundRun blocks = RunLoader(loader, AiffFile(aligned, Bytes(4)), "a.aiff");
  EXPECT_FALSE(blocks.ok);
  EXPECT_EQ(Warning("The file \"a.aiff\" uses the unsupported aiff \"block-alignment\" mode. Please send in the "
                    "file to get the support."),
            blocks.messages);

  AiffFields silent;
  silent.channels = 0;
  AiffFields noBits;
  noBits.bits = 0;
  const std::string corrupt = AiffError("\". Some data is corrupt or missing.");
  for (const Bytes& file : {AiffFile(silent, Bytes(4)), AiffFile(noBits, Bytes(4)),
                            ChunkWriter(true).Chunk("SSND", Bytes(8)).File("FORM", "AIFF")}) {
    SoundRun run = RunLoader(loader, file, "a.aiff");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(corrupt, run.messages);
  }
}

TEST(AiffLoader, RoundsTheRateHalfUpAndRefusesExponentsNoShiftTakes) {
  lum::LLoader_Sound_AIFF loader;
  auto rateOf = [&](Bytes rate, bool& ok) {
    AiffFields fields;
    fields.rate = rate;
    SoundRun run = RunLoader(loader, AiffFile(fields, Bytes(2)), "a.aiff", true);
    ok = run.ok;
    return run.frequency;
  };
  bool ok = false;
  EXPECT_EQ(44100, rateOf({0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}, ok));
  EXPECT_TRUE(ok);
  // 8000.5 and 8000.25: the last bit shifted out rounds.
  EXPECT_EQ(8001, rateOf({0x40, 0x0B, 0xFA, 0x04, 0, 0, 0, 0, 0, 0}, ok));
  EXPECT_EQ(8000, rateOf({0x40, 0x0B, 0xFA, 0x02, 0, 0, 0, 0, 0, 0}, ok));
  EXPECT_EQ(3, rateOf({0x40, 0x00, 0xA0, 0, 0, 0, 0, 0, 0, 0}, ok));  // 2.5, the widest shift
  EXPECT_TRUE(ok);
  // A negative shift, and no shift at all, which leaves more than the record holds.
  for (unsigned char low : {0x1E, 0x1F, 0x40, 0xFF}) {
    rateOf({0x40, low, 0x80, 0, 0, 0, 0, 0, 0, 0}, ok);
    EXPECT_FALSE(ok) << int(low);
  }
}

TEST(AiffLoader, TurnsDeepSamplesLittleEndianAndRaisesEightBitOnes) {
  lum::LLoader_Sound_AIFF loader;
  AiffFields deep;
  deep.bits = 32;
  SoundRun wide = RunLoader(loader, AiffFile(deep, {1, 2, 3, 4, 5, 6, 7, 8, 9}), "a.aiff");
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(2u, wide.frames);
  EXPECT_EQ((Bytes{4, 3, 2, 1, 8, 7, 6, 5, 9}), wide.samples);  // the odd byte left alone
  AiffFields eight;
  eight.bits = 8;
  SoundRun narrow = RunLoader(loader, AiffFile(eight, {0x80, 0xFF, 0x00, 0x7F}), "a.aiff");
  ASSERT_TRUE(narrow.ok);
  EXPECT_EQ(lum::SOUND_FORMAT_MONO8, narrow.format);
  EXPECT_EQ((Bytes{1, 128, 129, 0}), narrow.samples);
}

// Every prefix and every byte flipped: each read answers, stays inside
// its buffers (the sanitizer build watches) and holds whole frames.
void ReadDamagedCopies(lum::LLoader_Sound& loader, const Bytes& file, const char* name) {
  auto check = [&](const Bytes& copy, const std::string& what) {
    SoundRun run = RunLoader(loader, copy, name);
    if (run.ok) {
      ASSERT_FALSE(run.samples.empty()) << what;
    }
  };
  for (size_t length = 0; length < file.size(); length += 7)
    check(Bytes(file.begin(), file.begin() + length), "cut to " + std::to_string(length));
  for (size_t position = 0; position < 128 && position < file.size(); ++position) {
    Bytes flipped = file;
    flipped[position] ^= static_cast<unsigned char>(0x80 >> (position % 8));
    check(flipped, "flipped at " + std::to_string(position));
  }
}

TEST(SoundLoaders, DamagedWaveAndAiffFilesAreRefusedCleanly) {
  lum::LLoader_Sound_WAV wav;
  lum::LLoader_Sound_AIFF aiff;
  ReadDamagedCopies(wav, ReadFixture("stereo16.wav"), "stereo16.wav");
  ReadDamagedCopies(aiff, ReadFixture("stereo16.aiff"), "stereo16.aiff");
}

}  // namespace

// Both formats follow a chunk of odd size with a pad byte its size leaves out.
TEST(SoundLoaders, OddSizedChunksAreFollowedByAPadByte) {
  Bytes list = ChunkWriter(false).PaddedChunk("LIST", Bytes{'a', 'b', 'c'}).Body();
  lum::LLoader_Sound_WAV wav;
  for (const Bytes& extra : {Bytes(), Bytes{7}}) {
    WavFields fields;
    fields.extra = extra;
    Bytes file = WavFile(fields, Bytes{1, 2, 3, 4}, list);
    if (!extra.empty()) {
      // The pad after a format chunk of 17 bytes.
      Bytes data = {'d', 'a', 't', 'a'};
      file.insert(std::search(file.begin(), file.end(), data.begin(), data.end()), 0xEE);
    }
    SoundRun run = RunLoader(wav, file, "a.wav");
    ASSERT_TRUE(run.ok) << run.messages;
    EXPECT_EQ((Bytes{1, 2, 3, 4}), run.samples);
  }
  lum::LLoader_Sound_AIFF aiff;
  Bytes name = ChunkWriter(true).PaddedChunk("NAME", Bytes{'x'}).Body();
  for (const Bytes& extra : {Bytes(), Bytes{7}}) {
    SoundRun run = RunLoader(aiff, AiffFile(AiffFields(), Bytes{1, 2, 3, 4}, name, extra), "a.aiff");
    ASSERT_TRUE(run.ok) << run.messages;
    EXPECT_EQ((Bytes{2, 1, 4, 3}), run.samples);
  }
}

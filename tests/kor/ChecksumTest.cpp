// CRC-32 and Adler-32 against their check values and against zlib's.
#include <gtest/gtest.h>

#include <zlib.h>

#include <thread>
#include <vector>

#include "DeflateStreams.h"

namespace {

const unsigned char DIGITS[] = "123456789";

// Lengths around the block sizes the fast paths work in, and random ones.
std::vector<size_t> Lengths() {
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (size_t n : {511u, 512u, 513u, 5551u, 5552u, 5553u, 11104u, 11105u, 65536u, 100003u})
    lengths.push_back(n);
  // Each side of the wide steps (64 bytes, and runs of 128 of them) and of
  // the folds (64, 128 and 256 bytes at once).
  for (size_t block : {8192u, 16384u, 1024u, 2048u, 4096u})
    for (size_t n = block - 65; n <= block + 65; n += 13) lengths.push_back(n);
  // Every remainder of the CRC's 272-byte steps of folding beside slicing,
  // from where that starts.
  for (size_t n = 16384 - 3; n <= 16384 + 280; ++n) lengths.push_back(n);
  std::mt19937 random(17);
  for (int i = 0; i < 200; ++i) lengths.push_back(random() % 40000);
  return lengths;
}

}  // namespace

TEST(Crc32, CheckValueAndContinuation) {
  EXPECT_EQ(0xCBF43926u, kor::UpdateCrc32(0, DIGITS, 9));
  EXPECT_EQ(0xCBF43926u, kor::UpdateCrc32(kor::UpdateCrc32(0, DIGITS, 5), DIGITS + 5, 4));
  EXPECT_EQ(0u, kor::UpdateCrc32(0, DIGITS, 0));
  EXPECT_EQ(0x12345678u, kor::UpdateCrc32(0x12345678u, nullptr, 0));
}

TEST(Crc32, EqualsZlibForAnyLengthAlignmentAndStart) {
  const Bytes data = RandomBytes(120000, 1);
  std::mt19937 random(2);
  for (size_t length : Lengths()) {
    size_t offset = random() % 16;
    unsigned start = (length % 3 == 0) ? 0 : static_cast<unsigned>(random());
    const unsigned char* p = data.data() + offset;
    ASSERT_EQ(crc32(start, p, static_cast<uInt>(length)),
              kor::UpdateCrc32(start, p, static_cast<unsigned>(length)))
        << "length " << length << " offset " << offset << " start " << start;
  }
}

TEST(Crc32, PiecesJoinToTheWhole) {
  const Bytes data = RandomBytes(70000, 3);
  const unsigned whole = kor::UpdateCrc32(0, data.data(), static_cast<unsigned>(data.size()));
  std::mt19937 random(4);
  for (int trial = 0; trial < 50; ++trial) {
    unsigned crc = 0;
    size_t at = 0;
    while (at < data.size()) {
      size_t n = std::min<size_t>(data.size() - at, random() % 3000);
      crc = kor::UpdateCrc32(crc, data.data() + at, static_cast<unsigned>(n));
      at += n;
    }
    ASSERT_EQ(whole, crc);
  }
}

// The table is ready from the start; one that was emptied is filled again by
// the next CRC, whoever asks. Code that folds bytes itself with the table gets
// what UpdateCrc32 gets.
TEST(Crc32, TableIsFilledOnFirstUseAndServesDirectFolding) {
  EXPECT_EQ(1, kor::g_crc32TableReady);
  EXPECT_EQ(0x2D02EF8Du, kor::g_crc32Table[255]);
  kor::g_crc32TableReady = 0;
  std::memset(kor::g_crc32Table, 0, sizeof(kor::g_crc32Table));
  EXPECT_EQ(0xCBF43926u, kor::UpdateCrc32(0, DIGITS, 9));
  EXPECT_EQ(1, kor::g_crc32TableReady);
  EXPECT_EQ(0u, kor::g_crc32Table[0]);
  EXPECT_EQ(0x77073096u, kor::g_crc32Table[1]);
  EXPECT_EQ(0xEDB88320u, kor::g_crc32Table[128]);
  EXPECT_EQ(0x2D02EF8Du, kor::g_crc32Table[255]);

  unsigned table[256];
  std::memcpy(table, kor::g_crc32Table, sizeof(table));
  kor::BuildCrc32Table();
  EXPECT_EQ(0, std::memcmp(table, kor::g_crc32Table, sizeof(table)));

  // A PNG chunk: its type folded by hand, its data by UpdateCrc32.
  const unsigned char chunk[] = {'I', 'E', 'N', 'D', 1, 2, 3, 4, 5};
  unsigned c = 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i) c = kor::g_crc32Table[(c ^ chunk[i]) & 0xFF] ^ (c >> 8);
  EXPECT_EQ(kor::UpdateCrc32(0, chunk, 4), ~c);
  EXPECT_EQ(kor::UpdateCrc32(0, chunk, 9), kor::UpdateCrc32(~c, chunk + 4, 5));
}

// Threads that check sums at once, some folding with the table themselves
// after asking for it to be built, all get the right value.
TEST(Crc32, ThreadsUsingTheTableAtOnceAgree) {
  std::vector<unsigned char> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + 3);
  const unsigned expected = static_cast<unsigned>(crc32(0, data.data(), data.size()));
  std::vector<int> wrong(8, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < wrong.size(); ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        if (!kor::g_crc32TableReady || round % 2) kor::BuildCrc32Table();
        unsigned c = 0xFFFFFFFFu;
        for (unsigned char byte : data) c = kor::g_crc32Table[(c ^ byte) & 0xFF] ^ (c >> 8);
        wrong[t] += (~c != expected) + (kor::UpdateCrc32(0, data.data(), 1000) != expected);
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::vector<int>(8, 0), wrong);
}

TEST(Adler32, CheckValues) {
  EXPECT_EQ(1u, kor::ComputeAdler32(nullptr, 0));
  EXPECT_EQ(0x024D0127u, kor::ComputeAdler32(reinterpret_cast<const unsigned char*>("abc"), 3));
  EXPECT_EQ(0x091E01DEu, kor::ComputeAdler32(DIGITS, 9));
}

TEST(Adler32, EqualsZlibForAnyLengthAndAlignment) {
  const Bytes data = RandomBytes(120000, 5);
  std::mt19937 random(6);
  for (size_t length : Lengths()) {
    size_t offset = random() % 32;
    const unsigned char* p = data.data() + offset;
    ASSERT_EQ(adler32(1, p, static_cast<uInt>(length)),
              kor::ComputeAdler32(p, static_cast<unsigned>(length)))
        << "length " << length << " offset " << offset;
  }
}

// Long inputs: the CRC joins a folded and a sliced part with a shift over
// up to five hexadecimal digits of the sliced length, and Adler-32 reduces
// once per 4 MiB block.
TEST(Checksums, LongInputsEqualZlib) {
  Bytes data(20000003);
  uint32_t state = 12345;
  for (unsigned char& byte : data) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    byte = static_cast<unsigned char>(state >> 7);
  }
  const size_t block = 64 * 65536;
  for (size_t length : {block - 1, block, block + 1, block + 63, block + 64, block + 65, 2 * block + 100,
                        data.size() - 3}) {
    for (size_t offset : {0u, 3u}) {
      const unsigned char* p = data.data() + offset;
      ASSERT_EQ(crc32(0, p, static_cast<uInt>(length)), kor::UpdateCrc32(0, p, static_cast<unsigned>(length)))
          << "length " << length << " offset " << offset;
      ASSERT_EQ(adler32(1, p, static_cast<uInt>(length)), kor::ComputeAdler32(p, static_cast<unsigned>(length)))
          << "length " << length << " offset " << offset;
    }
  }
}

// All bytes 0xFF: the sums grow fastest, so a run that is too long for the
// deferred reduction would show.
TEST(Adler32, LargestBytesOverLongRuns) {
  for (size_t length : {5552u, 5553u, 8191u, 8192u, 8193u, 65536u, 3000000u, 4194303u, 4194304u, 4194305u,
                        4194367u, 8388608u + 17u}) {
    Bytes ones(length, 0xFF);
    EXPECT_EQ(adler32(1, ones.data(), static_cast<uInt>(length)),
              kor::ComputeAdler32(ones.data(), static_cast<unsigned>(length)))
        << length;
  }
}

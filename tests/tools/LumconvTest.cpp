// lumconv as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "SmallDisk.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int exitCode;
  std::string output;
};

Result Lumconv(const std::string& arguments) {
  Result result{-1, ""};
  FILE* pipe = popen((std::string(LUMCONV_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spill(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

const fs::path kSounds = fs::path(SOURCE_DIR) / "tests" / "lum" / "sounds";
const std::string kSample = std::string(SOURCE_DIR) + "/samples/ring.jng";

// A scratch folder of the test's own, removed afterwards.
class LumconvFiles : public ScratchFolderTest {
 protected:
  std::vector<std::string> Names(const fs::path& directory) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

// The samples of a PAM file after its header, and the header's depth.
std::vector<unsigned char> PamSamples(const std::string& pam, int& depth, int& maxval) {
  size_t end = pam.find("ENDHDR\n");
  size_t at = pam.find("DEPTH ");
  size_t max = pam.find("MAXVAL ");
  if (end == std::string::npos || at == std::string::npos || max == std::string::npos) return {};
  depth = std::atoi(pam.c_str() + at + 6);
  maxval = std::atoi(pam.c_str() + max + 7);
  return std::vector<unsigned char>(pam.begin() + static_cast<long>(end) + 7, pam.end());
}

}  // namespace

TEST(Lumconv, InfoNamesLoaderFormatAndSize) {
  Result result = Lumconv(std::string(SOURCE_DIR) + "/samples/ring.jng");
  EXPECT_NE(0, result.exitCode);  // no command
  result = Lumconv("info " + std::string(SOURCE_DIR) + "/samples/ring.jng");
  ASSERT_EQ(0, result.exitCode) << result.output;
  EXPECT_EQ("loader=LLoader_Image_JNG format=TEXTURE_FORMAT_A8B8G8R8 width=256 height=256\n",
            result.output);
}

TEST(Lumconv, InfoOfASound) {
  Result result = Lumconv("info " + (kSounds / "mono16.wav").string());
  ASSERT_EQ(0, result.exitCode) << result.output;
  EXPECT_EQ("loader=LLoader_Sound_WAV format=1 frequency=11025 frames=551\n", result.output);
}

TEST(Lumconv, UnknownFilesFailWithAMessage) {
  Result result = Lumconv("info " + std::string(SOURCE_DIR) + "/README.md");
  EXPECT_EQ(1, result.exitCode);
  EXPECT_NE(std::string::npos, result.output.find("no loader recognises"));
}

TEST(Lumconv, DecodeWritesPamAndSoundBytes) {
  fs::path out = fs::temp_directory_path() / "lumconv-test.pam";
  Result result = Lumconv("decode " + std::string(SOURCE_DIR) + "/samples/ring.jng " + out.string());
  ASSERT_EQ(0, result.exitCode) << result.output;
  std::string pam = Slurp(out);
  const std::string header = "P7\nWIDTH 256\nHEIGHT 256\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  ASSERT_EQ(header, pam.substr(0, header.size()));
  EXPECT_EQ(header.size() + 256u * 256u * 4u, pam.size());
  EXPECT_EQ(0, pam[header.size() + 3]);  // the top-left corner is transparent

  fs::path raw = fs::temp_directory_path() / "lumconv-test.raw";
  result = Lumconv("decode " + (kSounds / "mono16.wav").string() + " " + raw.string());
  ASSERT_EQ(0, result.exitCode) << result.output;
  EXPECT_EQ(Slurp(kSounds / "mono16.wav.raw"), Slurp(raw));
  fs::remove(out);
  fs::remove(raw);
}

TEST(Lumconv, EncodeWritesTheFormatItsExtensionNames) {
  fs::path png = fs::temp_directory_path() / "lumconv-encode.png";
  fs::path jng = fs::temp_directory_path() / "lumconv-encode.jng";
  std::string sample = std::string(SOURCE_DIR) + "/samples/ring.jng";
  Result result = Lumconv("encode " + sample + " " + png.string() + " --text Title=Ring");
  ASSERT_EQ(0, result.exitCode) << result.output;
  EXPECT_EQ("loader=LLoader_Image_PNG format=TEXTURE_FORMAT_A8B8G8R8 width=256 height=256\n",
            Lumconv("info " + png.string()).output);
  EXPECT_NE(std::string::npos, Slurp(png).find("tEXtTitle"));
  result = Lumconv("encode " + png.string() + " " + jng.string() + " --quality 80 --alpha-jpeg");
  ASSERT_EQ(0, result.exitCode) << result.output;
  EXPECT_EQ("loader=LLoader_Image_JNG format=TEXTURE_FORMAT_A8B8G8R8 width=256 height=256\n",
            Lumconv("info " + jng.string()).output);
  EXPECT_EQ(1, Lumconv("encode " + sample + " /tmp/lumconv-encode.gif").exitCode);
  EXPECT_NE(0, Lumconv("encode " + sample + " " + png.string() + " --quality 101").exitCode);
  EXPECT_NE(0, Lumconv("encode " + sample + " " + png.string() + " --text Nonsense=1").exitCode);
  fs::remove(png);
  fs::remove(jng);
}

TEST_F(LumconvFiles, SixteenBitImagesBecomeEightBitJngs) {
  fs::path png16 = fs::path(LUM_TESTDATA_DIR) / "image-rs" / "images" / "png" / "16bpc";
  if (!fs::exists(png16)) GTEST_SKIP() << "test data not found at " << png16;
  struct Case {
    const char* file;
    const char* format;
    int depth;
  } const cases[] = {{"basn6a16.png", "TEXTURE_FORMAT_A8B8G8R8", 4},
                     {"basi0g16.png", "TEXTURE_FORMAT_L8", 1}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.file);
    fs::path jng = m_dir / "narrow.jng";
    Result result = Lumconv("encode " + (png16 / test.file).string() + " " + jng.string());
    ASSERT_EQ(0, result.exitCode) << result.output;
    EXPECT_NE(std::string::npos, result.output.find("has 16 bits per channel")) << result.output;
    EXPECT_NE(std::string::npos, Lumconv("info " + jng.string()).output.find(test.format));

    // Each value is the 16-bit one divided by 257: exactly where the alpha
    // is stored losslessly, within the JPEG's error for the colour.
    ASSERT_EQ(0, Lumconv("decode " + (png16 / test.file).string() + " " + (m_dir / "wide.pam").string()).exitCode);
    ASSERT_EQ(0, Lumconv("decode " + jng.string() + " " + (m_dir / "narrow.pam").string()).exitCode);
    int wideDepth = 0, wideMax = 0, depth = 0, maxval = 0;
    std::vector<unsigned char> wide = PamSamples(Slurp(m_dir / "wide.pam"), wideDepth, wideMax);
    std::vector<unsigned char> narrow = PamSamples(Slurp(m_dir / "narrow.pam"), depth, maxval);
    ASSERT_EQ(65535, wideMax);
    ASSERT_EQ(255, maxval);
    ASSERT_EQ(test.depth, depth);
    ASSERT_EQ(wide.size(), narrow.size() * 2);
    long error = 0, colours = 0;
    for (size_t i = 0; i < narrow.size(); ++i) {
      int expected = ((wide[2 * i] << 8) | wide[2 * i + 1]) / 257;
      if (depth == 4 && i % 4 == 3) {
        ASSERT_EQ(expected, narrow[i]) << "alpha at " << i / 4;
      } else {
        error += std::abs(expected - narrow[i]);
        ++colours;
      }
    }
    EXPECT_LE(error, 2 * colours);  // on average; single edge pixels ring more
  }
}

TEST_F(LumconvFiles, FontsGiveTheirNamesAndAnAtlasOfTheirGlyphs) {
  const std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!fs::exists(font)) GTEST_SKIP() << "fonts-dejavu-core not installed";
  Result result = Lumconv("info " + font);
  ASSERT_EQ(0, result.exitCode) << result.output;
  EXPECT_EQ(0u, result.output.find("loader=LLoader_Font_OpenType family=\"DejaVu Sans\" style=\"Book\" glyphs="));
  EXPECT_NE(std::string::npos, result.output.find(" unitsPerEm=2048\n"));
  int depth = 0, maxval = 0;
  std::string out = (m_dir / "atlas.pam").string();
  ASSERT_EQ(0, Lumconv("decode " + font + " " + out).exitCode);
  std::vector<unsigned char> ascii = PamSamples(Slurp(out), depth, maxval);
  EXPECT_EQ(1, depth);
  ASSERT_EQ(0, Lumconv("decode " + font + " " + out + " --text 'AA A' --size 16").exitCode);
  std::vector<unsigned char> letter = PamSamples(Slurp(out), depth, maxval);
  EXPECT_LT(0u, letter.size());
  EXPECT_LT(20 * letter.size(), ascii.size());  // one glyph beside 95
  EXPECT_EQ(2, Lumconv("decode " + font + " " + out + " --size").exitCode);
  EXPECT_EQ(1, Lumconv("decode " + font + " " + out + " --size 0").exitCode);
  EXPECT_EQ(1, Lumconv("decode " + kSample + " " + out + " --size 12").exitCode);
}

TEST_F(LumconvFiles, EveryFailureSaysWhy) {
  std::string ring = Slurp(kSample);
  ASSERT_GT(ring.size(), 1000u);
  // Cuts inside each part of the file and damaged bytes in its chunks.
  std::vector<std::string> damaged;
  for (size_t cut : {8, 12, 30, 60, 200, 1000})
    damaged.push_back(ring.substr(0, cut));
  damaged.push_back(ring.substr(0, ring.size() / 2));
  damaged.push_back(ring.substr(0, ring.size() - 12));
  for (size_t at : {13, 17, 33, 41, 60, 100, 400}) {
    std::string copy = ring;
    copy[at] = static_cast<char>(copy[at] ^ 0x5A);
    damaged.push_back(copy);
  }
  int failures = 0;
  for (size_t i = 0; i < damaged.size(); ++i) {
    fs::path file = m_dir / ("damaged" + std::to_string(i) + ".jng");
    Spill(file, damaged[i]);
    for (const std::string& command :
         {"info " + file.string(), "decode " + file.string() + " " + (m_dir / "out.pam").string(),
          "encode " + file.string() + " " + (m_dir / "out.png").string()}) {
      Result result = Lumconv(command);
      if (result.exitCode == 0) continue;
      ++failures;
      EXPECT_NE("", result.output) << command << " failed without a word";
    }
  }
  EXPECT_GT(failures, 20);
}

TEST_F(LumconvFiles, AFullDiskKeepsTheFileThatWasThere) {
  fs::path disk = m_dir / "disk";
  fs::create_directory(disk);
  SmallDisk small(disk.string());
  if (!small.IsMounted()) GTEST_SKIP() << SmallDisk::SkipReason();
  const std::string good = "a good file that must survive\n";
  // No room at all, or room for a part of the file.
  struct Case {
    std::string arguments, output;
    std::vector<size_t> rooms;
  } const cases[] = {
      {"decode " + kSample, "ring.pam", {0, 8192}},
      {"encode " + kSample, "ring.png", {0, 8192}},
      {"encode " + kSample, "ring.jng", {0, 8192}},
      {"decode " + (kSounds / "mono16.wav").string(), "mono16.raw", {0}},
  };
  for (const Case& test : cases) {
    for (size_t room : test.rooms) {
      SCOPED_TRACE(test.arguments + " -> " + test.output + " with room " + std::to_string(room));
      fs::path out = disk / test.output;
      fs::remove(disk / "filler");
      Spill(out, good);
      ASSERT_EQ(good, Slurp(out));
      ASSERT_TRUE(small.Fill(room));
      Result result = Lumconv(test.arguments + " " + out.string());
      EXPECT_EQ(1, result.exitCode);
      EXPECT_NE(std::string::npos, result.output.find("cannot write " + out.string())) << result.output;
      EXPECT_EQ(good, Slurp(out));
      // A new name is not left behind as an empty or partial file either.
      fs::remove(out);
      ASSERT_TRUE(small.Fill(room));
      result = Lumconv(test.arguments + " " + out.string());
      EXPECT_EQ(1, result.exitCode);
      EXPECT_EQ((std::vector<std::string>{"filler"}), Names(disk));
    }
  }
}

// lumconv as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

const fs::path kSounds = fs::path(SOURCE_DIR) / "tests" / "lum" / "sounds";

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

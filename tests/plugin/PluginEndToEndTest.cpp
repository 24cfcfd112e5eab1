// The built plug-in in the host program, as a user runs it.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int exitCode;
  std::string output;  // stdout and stderr together
};

Result Execute(const std::string& command) {
  Result run{-1, ""};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Host(const std::string& arguments) {
  return std::string(MAYAHOST_PATH) + " --plugin " + PLUGIN_PATH + " " + arguments;
}

struct Rgba {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> pixels;
};

bool ReadPng(const fs::path& path, Rgba& image) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  png.format = PNG_FORMAT_RGBA;
  image.pixels.resize(PNG_IMAGE_SIZE(png));
  bool read = png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr) != 0;
  image.width = png.width;
  image.height = png.height;
  png_image_free(&png);
  return read;
}

fs::path TestData() { return fs::path(LUM_TESTDATA_DIR); }

class PluginInHost : public ScratchFolderTest {
 protected:
};

}  // namespace

TEST_F(PluginInHost, InfoShowsTheDescriptionAndTheOneModule) {
  Result run = Execute(Host("info"));
  ASSERT_EQ(0, run.exitCode) << run.output;
  std::istringstream lines(run.output);
  std::string vendor, version, api, module;
  std::getline(lines, vendor);
  std::getline(lines, version);
  std::getline(lines, api);
  std::getline(lines, module);
  // Name, description, web address and contact, joined by single spaces.
  EXPECT_EQ(
      "vendor: Lumen Imaging JNG image loader https://lumen-imaging.example.org "
      "plugins@lumen-imaging.example.org",
      vendor);
  EXPECT_EQ("version: 0.8", version);
  EXPECT_EQ("api: 850", api);
  EXPECT_EQ("imageFile: JNGImporter jng", module);
}

TEST_F(PluginInHost, ExportsOnlyTheThreeEntryPoints) {
  Result run = Execute(std::string("nm -D --defined-only ") + PLUGIN_PATH);
  ASSERT_EQ(0, run.exitCode) << run.output;
  std::set<std::string> exported;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    std::string name = line.substr(line.rfind(' ') + 1);
    exported.insert(name.substr(0, name.find('@')));
  }
  EXPECT_EQ((std::set<std::string>{"MApiVersion", "_Z16initializePlugin7MObject",
                                   "_Z18uninitializePlugin7MObject"}),
            exported);
}

TEST_F(PluginInHost, EveryTestJngMatchesItsReference) {
  fs::path jng = TestData() / "imagemagick" / "jng";
  if (!fs::exists(jng)) GTEST_SKIP() << "test data not found at " << jng;
  for (const auto& entry : fs::directory_iterator(jng)) {
    const fs::path& file = entry.path();
    fs::path out = m_dir / (file.stem().string() + ".png");
    Result run = Execute(Host("load " + file.string() + " -o " + out.string()));
    ASSERT_EQ(0, run.exitCode) << file << "\n" << run.output;
    Rgba ours, reference;
    ASSERT_TRUE(ReadPng(out, ours)) << file;
    ASSERT_TRUE(ReadPng(TestData() / "imagemagick" / "jng-reference" / out.filename(), reference));
    ASSERT_EQ(reference.width, ours.width);
    ASSERT_EQ(reference.height, ours.height);
    bool grey = file.filename().string().find("gray") != std::string::npos;
    bool hasAlpha = file.filename().string().find("idat") != std::string::npos ||
                    file.filename().string().find("jdaa") != std::string::npos;
    int worst = 0;
    for (size_t i = 0; i < ours.pixels.size(); i += 4) {
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(ours.pixels[i + c] - reference.pixels[i + c]));
      ASSERT_EQ(reference.pixels[i + 3], ours.pixels[i + 3]) << file << " alpha at " << i / 4;
      if (!hasAlpha) {
        ASSERT_EQ(255, ours.pixels[i + 3]);
      }
      if (grey) {
        ASSERT_EQ(ours.pixels[i], ours.pixels[i + 1]) << file;
        ASSERT_EQ(ours.pixels[i], ours.pixels[i + 2]) << file;
      }
    }
    EXPECT_LE(worst, 1) << file << " colour differs from the reference by " << worst;
  }
}

TEST_F(PluginInHost, OtherFormatsReadThroughTheSameModule) {
  fs::path misc = TestData() / "imagemagick" / "misc";
  if (!fs::exists(misc)) GTEST_SKIP() << "test data not found at " << misc;
  int loaded = 0;
  for (const auto& entry : fs::directory_iterator(misc)) {
    std::string extension = entry.path().extension().string();
    if (extension != ".png" && extension != ".jpg" && extension != ".jpeg") continue;
    Result run = Execute(Host("load " + entry.path().string()));
    EXPECT_EQ(0, run.exitCode) << entry.path() << "\n" << run.output;
    ++loaded;
  }
  EXPECT_GT(loaded, 0);
}

TEST_F(PluginInHost, AFileNoLoaderKnowsFailsWithTheHostMessage) {
  fs::path junk = m_dir / "junk.jng";
  FILE* file = std::fopen(junk.c_str(), "wb");
  std::fputs("this is not an image", file);
  std::fclose(file);
  Result run = Execute(Host("load " + junk.string()));
  EXPECT_EQ(1, run.exitCode);
  EXPECT_NE(std::string::npos,
            run.output.find("Can't read image information out of file \"" + junk.string() + "\"."))
      << run.output;
}

TEST_F(PluginInHost, TheDemoSampleLoadsWithItsTransparency) {
  fs::path out = m_dir / "ring.png";
  Result run = Execute(Host("load " + std::string(SAMPLE_PATH) + " -o " + out.string()));
  ASSERT_EQ(0, run.exitCode) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("4 channels, alpha yes")) << run.output;
  Rgba image;
  ASSERT_TRUE(ReadPng(out, image));
  EXPECT_EQ(0, image.pixels[3]);  // the corner is transparent
  size_t middleRow = image.height / 2 * image.width * 4;
  bool opaqueSomewhere = false;
  for (size_t x = 0; x < image.width; ++x) opaqueSomewhere |= image.pixels[middleRow + 4 * x + 3] == 255;
  EXPECT_TRUE(opaqueSomewhere);
}

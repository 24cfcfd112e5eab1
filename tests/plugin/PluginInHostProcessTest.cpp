// The plug-in loaded into this process the way the host loads it, beside a
// JPEG library the process loaded first: the plug-in must keep to its own.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <maya/MImage.h>
#include <maya/MImageFileInfo.h>
#include <mayastandin/Host.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ImageReader.h"
#include "Plugin.h"

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> ReadPngRgba(const fs::path& path) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  std::vector<unsigned char> rgba;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return rgba;
  png.format = PNG_FORMAT_RGBA;
  rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr)) rgba.clear();
  return rgba;
}

// The image as the host program writes it when the plug-in is all it loaded.
std::vector<unsigned char> ReadInOwnHost(const fs::path& file, const fs::path& out) {
  std::string command = std::string("'") + MAYAHOST_PATH + "' --plugin '" + PLUGIN_PATH + "' load '" +
                        file.string() + "' -o '" + out.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  return ReadPngRgba(out);
}

}  // namespace

TEST(PluginInHostProcess, ExportsTheVersionTextAsCharacters) {
  void* library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, library) << dlerror();
  void* symbol = dlsym(library, "MApiVersion");
  ASSERT_NE(nullptr, symbol);
  Dl_info where;
  ElfW(Sym)* entry = nullptr;
  ASSERT_NE(0, dladdr1(symbol, &where, reinterpret_cast<void**>(&entry), RTLD_DL_SYMENT));
  ASSERT_NE(nullptr, entry);
  EXPECT_EQ(4u, entry->st_size);
  EXPECT_EQ(0, std::memcmp(symbol, "850", 4));
  dlclose(library);
}

// JNGs with a deflated and with a JPEG-coded alpha, read through the
// plug-in after a JPEG library whose every entry point aborts: the same
// pixels as in a process without it.
TEST(PluginInHostProcess, ReadsJngsBesideADecoyJpegLibraryLoadedFirst) {
  std::vector<fs::path> files = {SAMPLE_PATH};
  fs::path testdata = fs::path(LUM_TESTDATA_DIR) / "imagemagick" / "jng";
  for (const char* name : {"input_idat.jng", "input_jdaa.jng", "input_prog_jdaa.jng", "input_gray_prog_idat.jng"})
    if (fs::exists(testdata / name)) files.push_back(testdata / name);

  fs::path out = fs::temp_directory_path() / ("decoy-test-" + std::to_string(getpid()));
  fs::create_directories(out);
  std::vector<std::vector<unsigned char>> expected;
  for (const fs::path& file : files) {
    expected.push_back(ReadInOwnHost(file, out / (file.stem().string() + ".png")));
    ASSERT_FALSE(expected.back().empty()) << file;
  }
  fs::remove_all(out);

  void* decoy = dlopen(DECOY_JPEG_PATH, RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(nullptr, decoy) << dlerror();
  mayastandin::setEchoToStderr(false);
  Plugin plugin;
  std::string error;
  ASSERT_TRUE(plugin.load(PLUGIN_PATH, error)) << error;
  ASSERT_TRUE(plugin.initialize());
  for (size_t i = 0; i < files.size(); ++i) {
    mayastandin::Registration format;
    ASSERT_TRUE(chooseImageFile(files[i].string(), "", format));
    MImage image;
    MImageFileInfo info;
    ASSERT_TRUE(readImage(format, files[i].string(), image, info)) << files[i];
    EXPECT_TRUE(expected[i] == mayastandin::topDownRgba(image)) << files[i];
  }
  EXPECT_TRUE(plugin.uninitialize());
}
